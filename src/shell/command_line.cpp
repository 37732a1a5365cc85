#include "shell/command_line.h"

namespace {

bool IsBlank(char c) {
    return c == ' ';
}

const char* SkipBlanksAndColons(const char* p) {
    while (IsBlank(*p) || *p == ':')
        ++p;
    return p;
}

} // namespace

uint32_t ParseWindowNumber(const char* text) {
    const char* p = text;
    while (*p == ' ' || (*p >= '\t' && *p <= '\r'))
        ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = *p == '-';
        ++p;
    }
    uint64_t magnitude = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        magnitude = magnitude * 10 + static_cast<uint64_t>(*p - '0');
        if (magnitude > UINT32_MAX)
            return 0;
    }
    const uint32_t value = static_cast<uint32_t>(magnitude);
    return negative ? 0u - value : value;
}

CommandLine DecodeCommandLine(const char* line) {
    CommandLine result;
    if (line == nullptr)
        return result;

    // Skip the program name: quoted up to the closing quote, else up to a blank.
    const char* p = line;
    if (*p == '"') {
        ++p;
        while (*p != '\0' && *p != '"')
            ++p;
    } else {
        while (*p != '\0' && !IsBlank(*p))
            ++p;
    }
    if (*p != '\0')
        ++p;
    while (IsBlank(*p))
        ++p;
    if (*p == '\0')
        return result;

    if (*p == '-' || *p == '/')
        ++p;

    switch (*p) {
    case 'p':
    case 'P':
    case 'l':
    case 'L':
        result.mode = SaverMode::Preview;
        result.hostWindow = ParseWindowNumber(SkipBlanksAndColons(p + 1));
        break;
    case 's':
    case 'S':
        result.mode = SaverMode::FullScreen;
        break;
    case 'c':
    case 'C':
        p = SkipBlanksAndColons(p + 1);
        if (*p == '\0')
            result.ownerIsForeground = true;
        else
            result.hostWindow = ParseWindowNumber(p);
        break;
    case 'a':
    case 'A':
        result.mode = SaverMode::ChangePassword;
        result.hostWindow = ParseWindowNumber(SkipBlanksAndColons(p + 1));
        break;
    default:
        break;
    }
    return result;
}
