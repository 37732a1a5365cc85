// The web page's query string: the settings under the native saver's option
// names without their dashes (?ninja, ?sombras=0, ?tipo-ilum=1, ?suelo=8, ...)
// and the page's own switches and test hooks.
//
// A flag is on when it stands alone or is 1 and off when it is 0. The query
// is applied over the settings the page starts from (the defaults with the
// stored values over them), so what the query says wins.
#pragma once

#include <cstddef>

#include "core/settings.h"

struct PageOptions {
    bool fps = false; // ?fps: the frame-rate figure over the canvas
    // ?still=S: the test hook that freezes the clocks: the set-up at the
    // virtual uptime, frames every 1/30 s as scene2png makes them, and the
    // frame at S seconds stays on the canvas. Negative when not asked for.
    double stillSeconds = -1.0;
    // ?bench=S: the benchmark: main-thread milliseconds per frame over S
    // seconds of drawing, printed on the console. 0 when not asked for.
    double benchSeconds = 0.0;
    // ?lapse: the test hook that drives the scene and the sound by virtual
    // time, 1/30 s at every frame of the browser, as far as the page's
    // script asks.
    bool lapse = false;
};

// The longest still or benchmark time the query may ask for, in seconds.
inline constexpr double kMaxPageSeconds = 3600.0;

// Applies query (with or without its leading '?', parts separated by '&')
// to options and settings. Keys it does not know are left alone (the page's
// script reads its own, such as capture). A known key with a bad value
// changes nothing and is described in message; the other parts still apply.
// Returns false when some part was refused (message says which: the first).
bool ParsePageQuery(const char* query, PageOptions& options, Settings& settings, char* message,
                    size_t messageSize);
