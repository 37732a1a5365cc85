// Any command line and any $XSCREENSAVER_WINDOW give a run with settings the
// scene can use, a clear refusal, or help or the version, never a crash. The
// input is split at its NUL bytes: the first piece is $XSCREENSAVER_WINDOW
// (unset when the input starts with 0xFF), the others are the arguments.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "core/settings.h"
#include "shell/hack_options.h"

namespace {

constexpr size_t kMaxArguments = 64;

// The message was written within its buffer and ends there.
bool Terminated(const char* message, size_t size) {
    return std::memchr(message, '\0', size) != nullptr;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> pieces(1);
    for (size_t i = 0; i < size; ++i) {
        if (data[i] != '\0')
            pieces.back().push_back(static_cast<char>(data[i]));
        else if (pieces.size() <= kMaxArguments)
            pieces.emplace_back();
    }
    const bool environmentSet = size == 0 || data[0] != 0xFF;
    std::vector<std::string> arguments(pieces.begin() + 1, pieces.end());
    arguments.insert(arguments.begin(), "tazroscr");
    std::vector<char*> argv;
    for (std::string& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);

    HackOptions options;
    Settings settings;
    SetDefaultSettings(settings);
    char message[96];
    const HackCommand command = ParseHackOptions(static_cast<int>(arguments.size()), argv.data(),
                                                 options, settings, message, sizeof message);
    if (!Terminated(message, sizeof message))
        __builtin_trap();
    if (command == HackCommand::Error && message[0] == '\0')
        __builtin_trap(); // a refusal always says why
    if (command != HackCommand::Run)
        return 0;
    if (settings.tipoIlum < 0 || settings.tipoIlum > 2 ||
        (settings.nSuelo != 2 && settings.nSuelo != 8) || options.delayMicroseconds < 0)
        __builtin_trap();
    if (options.windowId != 0 && settings.musica && !options.musicaAsked)
        __builtin_trap(); // a preview plays only when asked to

    WindowTarget target;
    const char* environment = environmentSet ? pieces[0].c_str() : nullptr;
    const bool resolved =
        ResolveWindowTarget(options, environment, target, message, sizeof message);
    if (!Terminated(message, sizeof message))
        __builtin_trap();
    if (resolved && target.kind == WindowTargetKind::Given && target.id == 0)
        __builtin_trap();
    if (!resolved && (message[0] == '\0' || !options.root || options.windowId != 0))
        __builtin_trap(); // only --root reads the variable, and a refusal says why
    return 0;
}
