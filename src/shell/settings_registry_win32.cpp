// The settings in the registry under HKEY_CURRENT_USER.
#include <windows.h>

#include "shell/settings_store.h"

namespace {

void QueryInto(HKEY key, const char* name, void* field, DWORD size) {
    DWORD length = size;
    RegQueryValueExA(key, name, nullptr, nullptr, static_cast<BYTE*>(field), &length);
}

void SetDword(HKEY key, const char* name, const void* data, DWORD size) {
    RegSetValueExA(key, name, 0, REG_DWORD, static_cast<const BYTE*>(data), size);
}

bool CreateKey(HKEY& key) {
    DWORD disposition = 0;
    return RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, const_cast<char*>(""),
                           REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                           &disposition) == ERROR_SUCCESS;
}

} // namespace

void LoadSettings(Settings& s) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return;
    QueryInto(key, "ninja", &s.ninja, 1);
    QueryInto(key, "sombras", &s.sombras, 1);
    QueryInto(key, "invtex", &s.invtex, 1);
    QueryInto(key, "autocam", &s.autocam, 1);
    QueryInto(key, "musica", &s.musica, 1);
    QueryInto(key, "interpol", &s.interpol, 1);
    QueryInto(key, "tipoIlum", &s.tipoIlum, 4);
    QueryInto(key, "nCamara", &s.nCamara, 4);
    QueryInto(key, "nSuelo", &s.nSuelo, 4);
    QueryInto(key, "frames", &s.frames, 4);
    RegCloseKey(key);
}

void SaveSettings(const Settings& s) {
    HKEY key;
    if (!CreateKey(key))
        return;
    SetDword(key, "ninja", &s.ninja, 1);
    SetDword(key, "sombras", &s.sombras, 1);
    SetDword(key, "invtex", &s.invtex, 1);
    SetDword(key, "autocam", &s.autocam, 1);
    SetDword(key, "musica", &s.musica, 1);
    SetDword(key, "interpol", &s.interpol, 1);
    SetDword(key, "tipoIlum", &s.tipoIlum, 4);
    SetDword(key, "nCamara", &s.nCamara, 4);
    SetDword(key, "nSuelo", &s.nSuelo, 4);
    RegCloseKey(key);
}

void StoreFrames(float frames) {
    HKEY key;
    if (!CreateKey(key))
        return;
    uint8_t bytes[4];
    FramesToBytes(frames, bytes);
    SetDword(key, "frames", bytes, 4);
    RegCloseKey(key);
}
