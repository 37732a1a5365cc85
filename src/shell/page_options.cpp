#include "shell/page_options.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "terrain/name_lists.h"

namespace {

// One part of the query: the key and the value (empty when there is none),
// both as pointers into the query with their lengths.
struct Part {
    const char* key;
    size_t keyLength;
    const char* value;
    size_t valueLength;
};

bool KeyIs(const Part& part, const char* name) {
    return part.keyLength == std::strlen(name) && std::strncmp(part.key, name, part.keyLength) == 0;
}

bool ValueIs(const Part& part, const char* text) {
    return part.valueLength == std::strlen(text) &&
           std::strncmp(part.value, text, part.valueLength) == 0;
}

// The value as a C string, cut to fit; for numbers and messages.
void CopyValue(const Part& part, char* out, size_t capacity) {
    const size_t length = part.valueLength < capacity - 1 ? part.valueLength : capacity - 1;
    std::memcpy(out, part.value, length);
    out[length] = '\0';
}

// A flag: on alone or with 1, off with 0.
bool ParseFlag(const Part& part, bool& out) {
    if (part.valueLength == 0 || ValueIs(part, "1")) {
        out = true;
        return true;
    }
    if (ValueIs(part, "0")) {
        out = false;
        return true;
    }
    return false;
}

// A whole decimal number from 0 to 99, nothing around it.
bool ParseSmallCount(const Part& part, int32_t& out) {
    if (part.valueLength == 0 || part.valueLength > 2)
        return false;
    int32_t value = 0;
    for (size_t i = 0; i < part.valueLength; ++i) {
        if (part.value[i] < '0' || part.value[i] > '9')
            return false;
        value = value * 10 + (part.value[i] - '0');
    }
    out = value;
    return true;
}

// Seconds from 0 to kMaxPageSeconds, a decimal number and nothing around it.
bool ParseSeconds(const Part& part, double& out) {
    char text[32];
    if (part.valueLength == 0 || part.valueLength >= sizeof text)
        return false;
    CopyValue(part, text, sizeof text);
    if (text[0] < '0' || text[0] > '9')
        return false;
    char* end = nullptr;
    errno = 0;
    const double value = std::strtod(text, &end);
    if (errno != 0 || *end != '\0' || !std::isfinite(value) || value > kMaxPageSeconds)
        return false;
    out = value;
    return true;
}

// Applies one part. False, with message filled, when its value is refused.
bool ApplyPart(const Part& part, PageOptions& options, Settings& s, char* message,
               size_t messageSize) {
    struct FlagKey {
        const char* name;
        bool* field;
    };
    const FlagKey flags[] = {
        {"ninja", &s.ninja},     {"sombras", &s.sombras},   {"invtex", &s.invtex},
        {"autocam", &s.autocam}, {"musica", &s.musica},     {"interpol", &s.interpol},
        {"fps", &options.fps},   {"lapse", &options.lapse},
    };
    char value[40];
    CopyValue(part, value, sizeof value);
    for (const FlagKey& flag : flags) {
        if (!KeyIs(part, flag.name))
            continue;
        if (ParseFlag(part, *flag.field))
            return true;
        std::snprintf(message, messageSize, "?%s wants 1 or 0 (or nothing), not '%s'", flag.name,
                      value);
        return false;
    }
    int32_t number = -1;
    if (KeyIs(part, "tipo-ilum")) {
        if (ParseSmallCount(part, number) && number <= 2) {
            s.tipoIlum = number;
            return true;
        }
        std::snprintf(message, messageSize,
                      "?tipo-ilum wants 0 (none), 1 (per face) or 2 (per vertex), not '%s'", value);
        return false;
    }
    if (KeyIs(part, "suelo")) {
        if (ParseSmallCount(part, number) && IsFloorId(number)) {
            s.nSuelo = number;
            return true;
        }
        std::snprintf(message, messageSize, "?suelo wants 2 (Seco) or 8 (Lava), not '%s'", value);
        return false;
    }
    struct SecondsKey {
        const char* name;
        double* field;
    };
    const SecondsKey times[] = {{"still", &options.stillSeconds}, {"bench", &options.benchSeconds}};
    for (const SecondsKey& time : times) {
        if (!KeyIs(part, time.name))
            continue;
        if (ParseSeconds(part, *time.field))
            return true;
        std::snprintf(message, messageSize, "?%s wants seconds from 0 to %.0f, not '%s'", time.name,
                      kMaxPageSeconds, value);
        return false;
    }
    return true; // not ours
}

} // namespace

bool ParsePageQuery(const char* query, PageOptions& options, Settings& settings, char* message,
                    size_t messageSize) {
    if (messageSize > 0)
        message[0] = '\0';
    if (query == nullptr)
        return true;
    if (*query == '?')
        ++query;
    bool allApplied = true;
    while (*query != '\0') {
        const char* end = std::strchr(query, '&');
        if (end == nullptr)
            end = query + std::strlen(query);
        const char* equals = static_cast<const char*>(std::memchr(query, '=', end - query));
        Part part;
        part.key = query;
        part.keyLength = static_cast<size_t>((equals != nullptr ? equals : end) - query);
        part.value = equals != nullptr ? equals + 1 : end;
        part.valueLength = static_cast<size_t>(end - part.value);
        if (part.keyLength > 0) {
            // Only the first refusal is told; later ones write into a scratch.
            char scratch[8];
            const bool first = allApplied;
            if (!ApplyPart(part, options, settings, first ? message : scratch,
                           first ? messageSize : sizeof scratch))
                allApplied = false;
        }
        query = *end == '&' ? end + 1 : end;
    }
    return allApplied;
}
