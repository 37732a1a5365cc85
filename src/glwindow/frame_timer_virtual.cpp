// In the host tools and tests the frame timer runs on the virtual clock.
#include "glwindow/frame_timer.h"
#include "glwindow/virtual_clock.h"

FrameTimer frameTimer;

namespace {
struct InitFrameTimer {
    InitFrameTimer() { InitTimer(frameTimer, VirtualTimerClock()); }
} initFrameTimer;
} // namespace
