// Time between consecutive frames, in seconds.
//
// Prefers a high-resolution counter and falls back to a millisecond clock when
// the machine has none. The clock reads are injected (TimerClock) so that the
// arithmetic is the same on every platform and can be driven by tests and by
// the off-screen renderer's virtual time.
#pragma once

#include <cstdint>

struct TimerClock {
    // Counts per second of the high-resolution counter; false when there is none.
    bool (*queryFrequency)(int64_t* frequency);
    // Current value of the high-resolution counter.
    int64_t (*queryCounter)();
    // Milliseconds since system start (the fallback clock); wraps at 2^32.
    uint32_t (*milliseconds)();
};

struct FrameTimer {
    double now = 0.0;      // seconds: accumulated (counter) or the clock (milliseconds)
    double previous = 0.0; // now at the previous reading
    double delta = 0.0;    // seconds between the last two readings
    int32_t updates = 0;   // readings taken; only zero or not matters
    int64_t frequency = 0; // counter counts per second, unshifted
    double secondsPerTick = 0.0;
    int32_t shift = 0; // right shift applied to raw counter values
    bool usePerformanceCounter = false;
    uint32_t lastTicks = 0; // shifted counter at the previous reading
    int32_t stillCount = 0; // consecutive readings in which now did not change
    const TimerClock* clock = nullptr;
};

// Chooses the counter or the millisecond path and, for the counter, the shift
// that keeps the shifted rate at or below 2 MHz.
void InitTimer(FrameTimer& timer, const TimerClock& clock);
// Takes one reading and updates now, previous and delta.
void UpdateTimer(FrameTimer& timer);

// The program's one timer, defined by the platform with its own clock.
extern FrameTimer frameTimer;
