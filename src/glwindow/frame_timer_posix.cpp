// The program's frame timer over the monotonic clock: nanoseconds as the
// high-resolution counter (the timer shifts them down to below 2 MHz), the
// same clock in milliseconds as the fallback.
#include <time.h>

#include "glwindow/frame_timer.h"

FrameTimer frameTimer;

namespace {

int64_t MonotonicNanoseconds() {
    timespec now = {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

bool QueryFrequency(int64_t* frequency) {
    *frequency = 1000000000;
    return true;
}

uint32_t Milliseconds() {
    return static_cast<uint32_t>(MonotonicNanoseconds() / 1000000);
}

const TimerClock monotonicClock = {QueryFrequency, MonotonicNanoseconds, Milliseconds};

// Static initialisation sets the timer up before the entry point runs.
struct InitFrameTimer {
    InitFrameTimer() { InitTimer(frameTimer, monotonicClock); }
} initFrameTimer;

} // namespace
