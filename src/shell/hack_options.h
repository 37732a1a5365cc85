// The native saver's command line: XScreenSaver's options for where to draw
// and how fast, and the settings, named after their stored values, over the
// defaults. Every option takes one dash or two (-root and --root).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "core/settings.h"

// The time from one frame to the next unless told otherwise, the frame's own
// time included: 30,000 us, about 33 frames per second, the default of most
// of XScreenSaver's GL hacks (gears, glmatrix, flyingtoasters and some forty
// others). The scene's motion is timed by the clock, not by the frame count,
// so it moves at the same speed, and the saver takes about half the
// processor time it took at 60 frames per second.
inline constexpr int32_t kDefaultDelayMicroseconds = 30000;

struct HackOptions {
    bool root = false;        // --root (--window: not)
    uint32_t windowId = 0;    // --window-id; 0 when not given
    bool musicaAsked = false; // the last of --musica and --no-musica was --musica
    bool fps = false;         // --fps: the frame rate over the scene
    int32_t delayMicroseconds = kDefaultDelayMicroseconds; // --delay; 0 uncapped
    // --archivo-musica: a module file or a folder of them, played instead of
    // the embedded song (playlist.h); none when not given or empty. Points
    // into argv.
    const char* musicPath = nullptr;
};

enum class HackCommand {
    Run,     // draw the scene with the options and settings
    Help,    // print the usage on standard output, exit 0
    Version, // print the version on standard output, exit 0
    Error,   // print the message and the usage on standard error, exit 2
};

// Parses argv[1..argc-1] into options and into settings (which hold the
// defaults on entry). The last of repeated options wins. A --window-id run is
// a preview (xscreensaver-settings' thumbnail) and plays no music unless
// --musica is on the command line itself. On Error, message (of messageSize
// bytes) says what was wrong. argv may be reordered.
HackCommand ParseHackOptions(int argc, char** argv, HackOptions& options, Settings& settings,
                             char* message, size_t messageSize);

// The usage text, for --help and after an error.
void PrintHackUsage(FILE* out, const char* program);

// A window number as XScreenSaver writes them: decimal, or hexadecimal after
// 0x or 0X, nothing else around it, from 1 to 2^32 - 1.
bool ParseWindowId(const char* text, uint32_t& id);

// Where the scene is drawn.
enum class WindowTargetKind {
    Own,   // a window of the program's own
    Root,  // the screen's root window
    Given, // a window somebody else made: never changed, no input read
};

struct WindowTarget {
    WindowTargetKind kind = WindowTargetKind::Own;
    uint32_t id = 0; // for Given
};

// --window-id names the window; --root takes $XSCREENSAVER_WINDOW
// (environment, null when unset) when it is set and not empty, else the root
// window; neither gives a window of the program's own. False, with message
// filled, when $XSCREENSAVER_WINDOW holds no window number.
bool ResolveWindowTarget(const HackOptions& options, const char* environment, WindowTarget& target,
                         char* message, size_t messageSize);
