// Any page query applies without reading past its end, leaves the settings
// within their rules, and a refusal always says why in a cut message.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "core/settings.h"
#include "shell/page_options.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string query(reinterpret_cast<const char*>(data), size);
    PageOptions options;
    Settings settings;
    SetDefaultSettings(settings);
    char message[40];
    const bool accepted = ParsePageQuery(query.c_str(), options, settings, message, sizeof message);
    if (settings.tipoIlum < 0 || settings.tipoIlum > 2 ||
        (settings.nSuelo != 2 && settings.nSuelo != 8) || options.stillSeconds > kMaxPageSeconds ||
        options.benchSeconds < 0.0 || options.benchSeconds > kMaxPageSeconds ||
        std::strlen(message) >= sizeof message || accepted != (message[0] == '\0'))
        __builtin_trap();
    return 0;
}
