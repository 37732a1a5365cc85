// A clock whose time the caller sets: the off-screen renderer and the tests
// drive the frame timer and the keyframe tick with it, so any frame can be
// produced at a chosen virtual time.
#pragma once

#include <cstdint>

#include "glwindow/frame_timer.h"

// The virtual counter runs at this many counts per second (1 MHz, no shift).
inline constexpr int64_t kVirtualCounterFrequency = 1000000;

// Sets the virtual time, in microseconds since an arbitrary start.
void SetVirtualTime(int64_t microseconds);
int64_t VirtualTime();

// Timer clock over the virtual time: counter at 1 MHz, milliseconds derived.
const TimerClock& VirtualTimerClock();
