// Any stored values read into the settings leave a record the dialog and the
// scene can use: booleans 0 or 1, a floor that is a texture slot, a finite
// frame rate. The input is split into the ten values in store order: one
// length byte each (0x80 and above: the value is missing), then its data.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "shell/settings_store.h"

namespace {

class FuzzKey final : public SettingsKey {
  public:
    bool Read(const char* name, uint8_t* buffer, uint32_t capacity, uint32_t& length) override {
        const auto found = values.find(name);
        if (found == values.end() || found->second.size() > capacity)
            return false;
        if (!found->second.empty())
            std::memcpy(buffer, found->second.data(), found->second.size());
        length = static_cast<uint32_t>(found->second.size());
        return true;
    }
    void WriteDword(const char*, const uint8_t*, uint32_t) override {}

    std::map<std::string, std::vector<uint8_t>> values;
};

bool IsBool(const bool& field) {
    uint8_t raw;
    std::memcpy(&raw, &field, 1);
    return raw <= 1;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const char* const names[] = {"ninja",    "sombras",  "invtex",  "autocam", "musica",
                                        "interpol", "tipoIlum", "nCamara", "nSuelo",  "frames"};
    FuzzKey key;
    size_t at = 0;
    for (const char* name : names) {
        if (at >= size)
            break;
        const uint8_t length = data[at++];
        if (length >= 0x80)
            continue;
        const size_t taken = std::min<size_t>(length, size - at);
        key.values[name] = std::vector<uint8_t>(data + at, data + at + taken);
        at += taken;
    }
    Settings s;
    SetDefaultSettings(s);
    ReadSettingsValues(key, s);
    if (!IsBool(s.ninja) || !IsBool(s.sombras) || !IsBool(s.invtex) || !IsBool(s.autocam) ||
        !IsBool(s.musica) || !IsBool(s.interpol))
        __builtin_trap();
    if (s.nSuelo < 0 || s.nSuelo > 8 || !std::isfinite(s.frames))
        __builtin_trap();
    return 0;
}
