// The settings in the browser's local storage: one item per value, named
// "tazroscr." and the registry value's name, holding the value's bytes in
// hexadecimal ("01" for a true boolean, "08000000" for nSuelo 8), so that the
// portable rules of settings_store.cpp read them exactly as they read the
// registry's. An item that is not whole hexadecimal reads as missing. A
// browser that refuses the storage (switched off, private mode) leaves the
// defaults in force, as a registry failure does.
#include <emscripten.h>

#include <cstdint>

#include "shell/settings_store.h"

namespace {

// The item's text for value name, at most capacity - 1 characters and a
// NUL, into out. Returns the text's length, or -1 when there is no item or
// the storage refuses; a length of capacity or more means it did not fit.
// clang-format off
EM_JS(int, ReadStorageItem, (const char* name, char* out, int capacity), {
    try {
        var text = window.localStorage.getItem("tazroscr." + UTF8ToString(name));
        if (text === null)
            return -1;
        stringToUTF8(text, out, capacity);
        return text.length;
    } catch (e) {
        return -1;
    }
});

EM_JS(void, WriteStorageItem, (const char* name, const char* text), {
    try {
        window.localStorage.setItem("tazroscr." + UTF8ToString(name), UTF8ToString(text));
    } catch (e) {
    }
});
// clang-format on

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

class StorageKey final : public SettingsKey {
  public:
    bool Read(const char* name, uint8_t* buffer, uint32_t capacity, uint32_t& length) override {
        char text[2 * kMaxBytes + 2];
        const int count = ReadStorageItem(name, text, sizeof text);
        if (count < 0 || count >= static_cast<int>(sizeof text) || count % 2 != 0 ||
            static_cast<uint32_t>(count / 2) > capacity)
            return false;
        for (int i = 0; i < count; i += 2) {
            const int high = HexDigit(text[i]), low = HexDigit(text[i + 1]);
            if (high < 0 || low < 0)
                return false;
            buffer[i / 2] = static_cast<uint8_t>(high * 16 + low);
        }
        length = static_cast<uint32_t>(count / 2);
        return true;
    }

    void WriteDword(const char* name, const uint8_t* data, uint32_t length) override {
        static const char kDigits[] = "0123456789abcdef";
        char text[2 * kMaxBytes + 1];
        if (length > kMaxBytes)
            return;
        for (uint32_t i = 0; i < length; ++i) {
            text[2 * i] = kDigits[data[i] >> 4];
            text[2 * i + 1] = kDigits[data[i] & 15];
        }
        text[2 * length] = '\0';
        WriteStorageItem(name, text);
    }

  private:
    // No value of the store is longer; a longer item is not one of ours.
    static constexpr uint32_t kMaxBytes = 16;
};

} // namespace

void LoadSettings(Settings& s) {
    StorageKey key;
    ReadSettingsValues(key, s);
}

void SaveSettings(const Settings& s) {
    StorageKey key;
    WriteSettingsValues(key, s);
}

void StoreFrames(float frames) {
    StorageKey key;
    WriteFramesValue(key, frames);
}
