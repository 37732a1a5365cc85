#include "glwindow/frame_timer.h"

namespace {

// A step back of less than this is taken as a counter that did not advance;
// a larger one is a wrap of the 32-bit shifted value.
constexpr uint32_t kWrapThreshold = 1u << 28;
constexpr int32_t kStillLimit = 100000;

void UpdateFromCounter(FrameTimer& t) {
    const uint64_t raw = static_cast<uint64_t>(t.clock->queryCounter());
    const uint32_t ticks = static_cast<uint32_t>(raw >> t.shift);
    if (t.updates == 0) {
        t.lastTicks = ticks;
    } else if (ticks <= t.lastTicks && t.lastTicks - ticks < kWrapThreshold) {
        // Not advanced (or stepped back a little): keep the previous delta.
        t.lastTicks = ticks;
    } else {
        const uint32_t elapsed = ticks - t.lastTicks; // modulo 2^32
        t.lastTicks = ticks;
        t.delta = elapsed * t.secondsPerTick;
        t.now += t.delta;
        if (t.now == t.previous) {
            // The addition was lost to precision: nudge the clock on after a
            // long run of such readings so that now keeps moving.
            if (++t.stillCount > kStillLimit) {
                t.now += 1.0;
                t.stillCount = 0;
            }
        } else {
            t.stillCount = 0;
        }
        t.previous = t.now;
    }
    ++t.updates;
}

void UpdateFromMilliseconds(FrameTimer& t) {
    if (t.updates == 0) {
        const uint32_t ms = t.clock->milliseconds();
        ++t.updates;
        t.delta = 0.0;
        t.now = ms * t.secondsPerTick;
        t.previous = t.now;
        return;
    }
    t.previous = t.now;
    const uint32_t ms = t.clock->milliseconds();
    ++t.updates;
    t.now = ms * t.secondsPerTick;
    t.delta = t.now - t.previous;
}

} // namespace

void InitTimer(FrameTimer& t, const TimerClock& clock) {
    t.clock = &clock;
    t.now = 0.0;
    t.delta = 0.0;
    t.updates = 0;
    t.frequency = 0;
    if (clock.queryFrequency == nullptr || !clock.queryFrequency(&t.frequency) ||
        t.frequency <= 0) {
        // The millisecond clock, scaled by the single-precision 0.001.
        t.secondsPerTick = static_cast<double>(0.001f);
        t.usePerformanceCounter = false;
        return;
    }
    t.usePerformanceCounter = true;
    t.shift = 0;
    uint64_t f = static_cast<uint64_t>(t.frequency);
    while ((f >> 32) != 0 || f > 2000000) {
        ++t.shift;
        f >>= 1;
    }
    t.secondsPerTick = 1.0 / static_cast<double>(f);
}

void UpdateTimer(FrameTimer& t) {
    if (t.clock == nullptr)
        return;
    if (t.usePerformanceCounter)
        UpdateFromCounter(t);
    else
        UpdateFromMilliseconds(t);
}
