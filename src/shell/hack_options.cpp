#include "shell/hack_options.h"

#include <getopt.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "terrain/name_lists.h"

namespace {

enum OptionCode {
    kRoot = 256,
    kWindow,
    kWindowId,
    kFps,
    kDelay,
    kHelp,
    kVersion,
    kNinja,
    kSombras,
    kNoSombras,
    kInvtex,
    kAutocam,
    kNoAutocam,
    kMusica,
    kNoMusica,
    kInterpol,
    kNoInterpol,
    kTipoIlum,
    kSuelo,
    kArchivoMusica,
};

const option kOptions[] = {
    {"root", no_argument, nullptr, kRoot},
    // XScreenSaver's own-window option; named in full, so that it is not
    // taken as the start of --window-id.
    {"window", no_argument, nullptr, kWindow},
    {"window-id", required_argument, nullptr, kWindowId},
    {"fps", no_argument, nullptr, kFps},
    {"delay", required_argument, nullptr, kDelay},
    {"help", no_argument, nullptr, kHelp},
    {"version", no_argument, nullptr, kVersion},
    {"ninja", no_argument, nullptr, kNinja},
    {"sombras", no_argument, nullptr, kSombras},
    {"no-sombras", no_argument, nullptr, kNoSombras},
    {"invtex", no_argument, nullptr, kInvtex},
    {"autocam", no_argument, nullptr, kAutocam},
    {"no-autocam", no_argument, nullptr, kNoAutocam},
    {"musica", no_argument, nullptr, kMusica},
    {"no-musica", no_argument, nullptr, kNoMusica},
    {"interpol", no_argument, nullptr, kInterpol},
    {"no-interpol", no_argument, nullptr, kNoInterpol},
    {"tipo-ilum", required_argument, nullptr, kTipoIlum},
    {"suelo", required_argument, nullptr, kSuelo},
    {"archivo-musica", required_argument, nullptr, kArchivoMusica},
    {nullptr, 0, nullptr, 0},
};

// A whole decimal number from 0 to 2^31 - 1, nothing around it.
bool ParseCount(const char* text, int32_t& value) {
    if (text == nullptr || *text < '0' || *text > '9')
        return false;
    char* end = nullptr;
    errno = 0;
    const long long parsed = std::strtoll(text, &end, 10);
    if (errno != 0 || *end != '\0' || parsed > INT32_MAX)
        return false;
    value = static_cast<int32_t>(parsed);
    return true;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n';
}

} // namespace

bool ParseWindowId(const char* text, uint32_t& id) {
    if (text == nullptr)
        return false;
    int base = 10;
    if (text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text += 2;
    }
    uint64_t value = 0;
    const char* p = text;
    for (; *p != '\0'; ++p) {
        int digit;
        if (*p >= '0' && *p <= '9')
            digit = *p - '0';
        else if (base == 16 && *p >= 'a' && *p <= 'f')
            digit = *p - 'a' + 10;
        else if (base == 16 && *p >= 'A' && *p <= 'F')
            digit = *p - 'A' + 10;
        else
            return false;
        value = value * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
        if (value > UINT32_MAX)
            return false;
    }
    if (p == text || value == 0)
        return false;
    id = static_cast<uint32_t>(value);
    return true;
}

HackCommand ParseHackOptions(int argc, char** argv, HackOptions& options, Settings& settings,
                             char* message, size_t messageSize) {
    message[0] = '\0';
    opterr = 0; // the messages are ours
    optind = 0; // a full restart of getopt, so that parsing can be repeated
    for (;;) {
        const int previous = optind == 0 ? 1 : optind;
        // "+": stop at the first argument that is no option (no reordering);
        // ":": a missing value is told apart from an unknown option.
        const int code = getopt_long_only(argc, argv, "+:", kOptions, nullptr);
        if (code == -1)
            break;
        const char* given = previous < argc ? argv[previous] : "";
        switch (code) {
        case kRoot:
            options.root = true;
            break;
        case kWindow:
            options.root = false;
            options.windowId = 0;
            break;
        case kWindowId:
            if (!ParseWindowId(optarg, options.windowId)) {
                std::snprintf(message, messageSize,
                              "--window-id wants a window number (decimal or 0x hex), not '%s'",
                              optarg);
                return HackCommand::Error;
            }
            break;
        case kFps:
            options.fps = true;
            break;
        case kDelay:
            if (!ParseCount(optarg, options.delayMicroseconds)) {
                std::snprintf(message, messageSize,
                              "--delay wants microseconds from 0 to 2147483647, not '%s'", optarg);
                return HackCommand::Error;
            }
            break;
        case kHelp:
            return HackCommand::Help;
        case kVersion:
            return HackCommand::Version;
        case kNinja:
            settings.ninja = true;
            break;
        case kSombras:
        case kNoSombras:
            settings.sombras = code == kSombras;
            break;
        case kInvtex:
            settings.invtex = true;
            break;
        case kAutocam:
        case kNoAutocam:
            settings.autocam = code == kAutocam;
            break;
        case kMusica:
        case kNoMusica:
            settings.musica = code == kMusica;
            options.musicaAsked = code == kMusica;
            break;
        case kInterpol:
        case kNoInterpol:
            settings.interpol = code == kInterpol;
            break;
        case kTipoIlum: {
            int32_t value = -1;
            if (!ParseCount(optarg, value) || value > 2) {
                std::snprintf(
                    message, messageSize,
                    "--tipo-ilum wants 0 (none), 1 (per face) or 2 (per vertex), not '%s'", optarg);
                return HackCommand::Error;
            }
            settings.tipoIlum = value;
            break;
        }
        case kSuelo: {
            int32_t value = -1;
            if (!ParseCount(optarg, value) || !IsFloorId(value)) {
                std::snprintf(message, messageSize, "--suelo wants 2 (Seco) or 8 (Lava), not '%s'",
                              optarg);
                return HackCommand::Error;
            }
            settings.nSuelo = value;
            break;
        }
        case kArchivoMusica:
            options.musicPath = optarg[0] != '\0' ? optarg : nullptr;
            break;
        case ':':
            std::snprintf(message, messageSize, "option '%s' wants a value", given);
            return HackCommand::Error;
        default:
            std::snprintf(message, messageSize, "unknown or ambiguous option '%s'", given);
            return HackCommand::Error;
        }
    }
    if (optind < argc) {
        std::snprintf(message, messageSize, "unexpected argument '%s'", argv[optind]);
        return HackCommand::Error;
    }
    // xscreensaver-settings' thumbnail passes no music option for the default
    // and restarts the program on every change: it stays silent, as the
    // Windows preview does.
    if (options.windowId != 0 && !options.musicaAsked)
        settings.musica = false;
    return HackCommand::Run;
}

void PrintHackUsage(FILE* out, const char* program) {
    std::fprintf(
        out,
        "usage: %s [options]\n"
        "TazroScr 3D: a character with a sword walks on a bowl-shaped terrain under a sky\n"
        "dome while the camera tours around it and a tracker module plays.\n"
        "\n"
        "Where to draw (by default in a window of its own: Escape or q closes it):\n"
        "  --root              the window in $XSCREENSAVER_WINDOW, else the root window\n"
        "  --window            a window of its own\n"
        "  --window-id ID      the window ID (decimal or 0x hex), as a preview: silent\n"
        "                      unless --musica is given\n"
        "  --fps               show the frame rate\n"
        "  --delay US          microseconds from one frame to the next (default %d,\n"
        "                      about 33 frames per second; 0 draws as fast as it can)\n"
        "\n"
        "Settings (defaults as in the Windows screen saver):\n"
        "  --ninja             the character in dark clothing (Version Ninja)\n"
        "  --sombras, --no-sombras       shadows (default on)\n"
        "  --invtex            textures with red and blue exchanged (Texturas invertidas)\n"
        "  --autocam, --no-autocam       the camera tour (default on)\n"
        "  --musica, --no-musica         music through ALSA's default device (default on)\n"
        "  --archivo-musica PATH  your own music instead of the embedded song: an XM\n"
        "                      module, or a folder whose .xm modules play one after\n"
        "                      another in random order, each once through\n"
        "  --interpol, --no-interpol     smooth animation (default on)\n"
        "  --tipo-ilum N       lighting: 2 per vertex (default), 1 per face, 0 none\n"
        "  --suelo N           floor: 2 Seco (default), 8 Lava\n"
        "\n"
        "  --help              this text\n"
        "  --version           the version number\n"
        "Every option takes one dash or two (-root, --root). It ends on SIGTERM, SIGINT\n"
        "or SIGHUP.\n",
        program, kDefaultDelayMicroseconds);
}

bool ResolveWindowTarget(const HackOptions& options, const char* environment, WindowTarget& target,
                         char* message, size_t messageSize) {
    message[0] = '\0';
    target = WindowTarget{};
    if (options.windowId != 0) {
        target.kind = WindowTargetKind::Given;
        target.id = options.windowId;
        return true;
    }
    if (!options.root)
        return true;
    if (environment == nullptr || environment[0] == '\0') {
        target.kind = WindowTargetKind::Root;
        return true;
    }
    // Blanks around the number are tolerated.
    const char* start = environment;
    while (IsBlank(*start))
        ++start;
    size_t length = std::strlen(start);
    while (length > 0 && IsBlank(start[length - 1]))
        --length;
    char trimmed[32];
    uint32_t id = 0;
    if (length < sizeof trimmed) {
        std::memcpy(trimmed, start, length);
        trimmed[length] = '\0';
        if (ParseWindowId(trimmed, id)) {
            target.kind = WindowTargetKind::Given;
            target.id = id;
            return true;
        }
    }
    std::snprintf(message, messageSize, "$XSCREENSAVER_WINDOW holds no window number: '%.40s'",
                  environment);
    return false;
}
