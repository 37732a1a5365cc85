#include "shell/settings_store.h"

#include <cmath>
#include <cstring>

void FramesToBytes(float frames, uint8_t out[4]) {
    uint32_t bits;
    std::memcpy(&bits, &frames, sizeof bits);
    for (int i = 0; i < 4; ++i)
        out[i] = static_cast<uint8_t>(bits >> (8 * i));
}

namespace {

// Reads up to size bytes of a value as a little-endian number, zero-extended.
// False (and value untouched) when the value is missing, empty or too long.
bool ReadNumber(SettingsKey& key, const char* name, uint32_t size, uint32_t& value) {
    uint8_t buffer[4] = {0, 0, 0, 0};
    uint32_t length = 0;
    if (!key.Read(name, buffer, size, length) || length == 0 || length > size)
        return false;
    value = 0;
    for (uint32_t i = 0; i < length; ++i)
        value |= static_cast<uint32_t>(buffer[i]) << (8 * i);
    return true;
}

void ReadBool(SettingsKey& key, const char* name, bool& field) {
    uint32_t value = 0;
    if (ReadNumber(key, name, 1, value))
        field = value != 0;
}

void ReadInt(SettingsKey& key, const char* name, int32_t& field) {
    uint32_t value = 0;
    if (ReadNumber(key, name, 4, value))
        field = static_cast<int32_t>(value);
}

void WriteBool(SettingsKey& key, const char* name, bool field) {
    const uint8_t byte = field ? 1 : 0;
    key.WriteDword(name, &byte, 1);
}

void WriteInt(SettingsKey& key, const char* name, int32_t field) {
    const uint32_t bits = static_cast<uint32_t>(field);
    uint8_t bytes[4];
    for (int i = 0; i < 4; ++i)
        bytes[i] = static_cast<uint8_t>(bits >> (8 * i));
    key.WriteDword(name, bytes, 4);
}

} // namespace

void ReadSettingsValues(SettingsKey& key, Settings& s) {
    ReadBool(key, "ninja", s.ninja);
    ReadBool(key, "sombras", s.sombras);
    ReadBool(key, "invtex", s.invtex);
    ReadBool(key, "autocam", s.autocam);
    ReadBool(key, "musica", s.musica);
    ReadBool(key, "interpol", s.interpol);
    ReadInt(key, "tipoIlum", s.tipoIlum);
    ReadInt(key, "nCamara", s.nCamara);
    ReadInt(key, "nSuelo", s.nSuelo);
    uint32_t bits = 0;
    if (ReadNumber(key, "frames", 4, bits))
        std::memcpy(&s.frames, &bits, sizeof bits);

    // The floor id is also the index into the nine texture slots: a value the
    // dialog never writes must not reach that table.
    if (s.nSuelo < 0 || s.nSuelo > 8)
        s.nSuelo = Settings{}.nSuelo;
    // Only a measured rate is shown; a damaged one reads as no measurement.
    if (!std::isfinite(s.frames))
        s.frames = 0.0f;
}

void WriteSettingsValues(SettingsKey& key, const Settings& s) {
    WriteBool(key, "ninja", s.ninja);
    WriteBool(key, "sombras", s.sombras);
    WriteBool(key, "invtex", s.invtex);
    WriteBool(key, "autocam", s.autocam);
    WriteBool(key, "musica", s.musica);
    WriteBool(key, "interpol", s.interpol);
    WriteInt(key, "tipoIlum", s.tipoIlum);
    WriteInt(key, "nCamara", s.nCamara);
    WriteInt(key, "nSuelo", s.nSuelo);
}

void WriteFramesValue(SettingsKey& key, float frames) {
    uint8_t bytes[4];
    FramesToBytes(frames, bytes);
    key.WriteDword("frames", bytes, 4);
}
