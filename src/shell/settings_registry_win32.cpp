// The settings in the registry under HKEY_CURRENT_USER: opening and closing
// the key and the two value calls. What the values mean is decided by the
// portable rules in settings_store.cpp.
#include <windows.h>

#include "shell/settings_store.h"

namespace {

class RegistryKey final : public SettingsKey {
  public:
    explicit RegistryKey(HKEY key) : key_(key) {}

    // The type is not asked for. A value longer than capacity makes the
    // call fail with ERROR_MORE_DATA, and the buffer is then undefined.
    bool Read(const char* name, uint8_t* buffer, uint32_t capacity, uint32_t& length) override {
        DWORD size = capacity;
        if (RegQueryValueExA(key_, name, nullptr, nullptr, buffer, &size) != ERROR_SUCCESS ||
            size > capacity)
            return false;
        length = size;
        return true;
    }

    void WriteDword(const char* name, const uint8_t* data, uint32_t length) override {
        RegSetValueExA(key_, name, 0, REG_DWORD, data, length);
    }

  private:
    HKEY key_;
};

// Opens the key for writing, creating it when missing.
bool CreateKey(HKEY& key) {
    DWORD disposition = 0;
    return RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, const_cast<char*>(""),
                           REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                           &disposition) == ERROR_SUCCESS;
}

} // namespace

void LoadSettings(Settings& s) {
    // Full access is asked for although the key is only read.
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return;
    RegistryKey values(key);
    ReadSettingsValues(values, s);
    RegCloseKey(key);
}

void SaveSettings(const Settings& s) {
    HKEY key;
    if (!CreateKey(key))
        return;
    RegistryKey values(key);
    WriteSettingsValues(values, s);
    RegCloseKey(key);
}

void StoreFrames(float frames) {
    HKEY key;
    if (!CreateKey(key))
        return;
    RegistryKey values(key);
    WriteFramesValue(values, frames);
    RegCloseKey(key);
}
