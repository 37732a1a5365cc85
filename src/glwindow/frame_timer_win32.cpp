// The program's frame timer over the performance counter and timeGetTime.
#include <windows.h>

#include <mmsystem.h>

#include "glwindow/frame_timer.h"

FrameTimer frameTimer;

namespace {

bool QueryFrequency(int64_t* frequency) {
    LARGE_INTEGER value;
    if (!QueryPerformanceFrequency(&value))
        return false;
    *frequency = value.QuadPart;
    return true;
}

int64_t QueryCounter() {
    LARGE_INTEGER value;
    QueryPerformanceCounter(&value);
    return value.QuadPart;
}

uint32_t Milliseconds() {
    return timeGetTime();
}

const TimerClock windowsClock = {QueryFrequency, QueryCounter, Milliseconds};

// Static initialisation sets the timer up before the entry point runs.
struct InitFrameTimer {
    InitFrameTimer() { InitTimer(frameTimer, windowsClock); }
} initFrameTimer;

} // namespace
