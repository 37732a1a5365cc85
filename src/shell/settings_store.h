// Reading and writing the settings in the platform's store (the registry on
// Windows). Every failure is silent: the record keeps what it had.
//
// The store is one key of named values. The rules for what a stored value
// means are portable (settings_store.cpp) and work on an open key through the
// small SettingsKey interface; each platform opens and closes its key and
// implements the two value calls.
#pragma once

#include <cstdint>

#include "core/settings.h"

// The registry key under the current user that holds the values.
inline constexpr const char* kSettingsKey = "Software\\Velmorix\\TazroSrc3D\\V01";

// The four bytes "frames" is stored as: the float's bit pattern, little-endian.
void FramesToBytes(float frames, uint8_t out[4]);

// One open key of the store.
class SettingsKey {
  public:
    // Reads the value called name into buffer. Returns true and sets length
    // (0 to capacity bytes) when the value exists and fits; false when it is
    // missing, cannot be read or is longer than capacity (buffer is then
    // meaningless). The value's type tag is not looked at.
    virtual bool Read(const char* name, uint8_t* buffer, uint32_t capacity, uint32_t& length) = 0;
    // Writes length bytes under name with the DWORD type tag, whatever the
    // length. Failures are ignored.
    virtual void WriteDword(const char* name, const uint8_t* data, uint32_t length) = 0;

  protected:
    ~SettingsKey() = default;
};

// The value rules, on an open key.
//
// ReadSettingsValues reads the ten values in store order over s:
// - the six booleans from 1 byte (any non-zero byte is true), the three
//   integers and "frames" from up to 4 bytes, little-endian; data shorter than
//   the field is zero-extended, an empty value is ignored;
// - a value that is missing or longer than its field leaves the field as it was;
// - an nSuelo outside the nine texture slots (0 to 8) becomes the default 2;
// - a "frames" that is not a finite number becomes 0.
void ReadSettingsValues(SettingsKey& key, Settings& s);
// Writes every field except frames, in store order: the booleans as 1 byte
// (0 or 1), the integers as 4 bytes little-endian.
void WriteSettingsValues(SettingsKey& key, const Settings& s);
// Writes "frames" alone: the 4 bytes of the float.
void WriteFramesValue(SettingsKey& key, float frames);

// The platform's store (settings_registry_win32.cpp on Windows).
//
// Reads the stored values over s (defaults stay where nothing is stored).
void LoadSettings(Settings& s);
// Writes every field except frames.
void SaveSettings(const Settings& s);
// Writes frames alone, at the end of a full-screen run.
void StoreFrames(float frames);
