#include <gtest/gtest.h>

#include "glwindow/frame_timer.h"

namespace {

// A fake clock: the test sets the counter, the frequency and the milliseconds.
struct FakeClock {
    static bool hasCounter;
    static int64_t frequency;
    static int64_t counter;
    static uint32_t milliseconds;

    static bool QueryFrequency(int64_t* f) {
        if (!hasCounter)
            return false;
        *f = frequency;
        return true;
    }
    static int64_t QueryCounter() { return counter; }
    static uint32_t Milliseconds() { return milliseconds; }
};
bool FakeClock::hasCounter = true;
int64_t FakeClock::frequency = 0;
int64_t FakeClock::counter = 0;
uint32_t FakeClock::milliseconds = 0;

const TimerClock fakeClock = {FakeClock::QueryFrequency, FakeClock::QueryCounter,
                              FakeClock::Milliseconds};

FrameTimer CounterTimer(int64_t frequency) {
    FakeClock::hasCounter = true;
    FakeClock::frequency = frequency;
    FakeClock::counter = 0;
    FrameTimer timer;
    InitTimer(timer, fakeClock);
    return timer;
}

TEST(FrameTimer, CounterShiftKeepsTheRateAtMostTwoMegahertz) {
    FrameTimer t = CounterTimer(1193182);
    EXPECT_TRUE(t.usePerformanceCounter);
    EXPECT_EQ(t.shift, 0);
    EXPECT_DOUBLE_EQ(t.secondsPerTick, 1.0 / 1193182);

    t = CounterTimer(3579545);
    EXPECT_EQ(t.shift, 1);
    EXPECT_DOUBLE_EQ(t.secondsPerTick, 1.0 / 1789772);
    EXPECT_EQ(t.frequency, 3579545);

    t = CounterTimer(10000000); // a common modern rate
    EXPECT_EQ(t.shift, 3);
    EXPECT_DOUBLE_EQ(t.secondsPerTick, 1.0 / 1250000);

    const int64_t huge = (int64_t{1} << 40) + 12345;
    t = CounterTimer(huge);
    const uint64_t shifted = static_cast<uint64_t>(huge) >> t.shift;
    EXPECT_LE(shifted, 2000000u);
    EXPECT_GT(shifted, 1000000u);
    EXPECT_DOUBLE_EQ(t.secondsPerTick, 1.0 / static_cast<double>(shifted));
}

TEST(FrameTimer, FirstCounterReadingGivesZero) {
    FrameTimer t = CounterTimer(1000000);
    FakeClock::counter = 987654321;
    UpdateTimer(t);
    EXPECT_EQ(t.delta, 0.0);
    EXPECT_EQ(t.now, 0.0);
    EXPECT_EQ(t.updates, 1);

    FakeClock::counter += 20000; // 20 ms
    UpdateTimer(t);
    EXPECT_DOUBLE_EQ(t.delta, 0.02);
    EXPECT_DOUBLE_EQ(t.now, 0.02);
}

TEST(FrameTimer, UnchangedOrSlightlyBackwardCounterKeepsThePreviousDelta) {
    FrameTimer t = CounterTimer(1000000);
    FakeClock::counter = 5000;
    UpdateTimer(t);
    FakeClock::counter = 15000;
    UpdateTimer(t);
    ASSERT_DOUBLE_EQ(t.delta, 0.01);

    UpdateTimer(t); // same shifted value
    EXPECT_DOUBLE_EQ(t.delta, 0.01);
    EXPECT_DOUBLE_EQ(t.now, 0.01);

    FakeClock::counter = 14000; // a little back
    UpdateTimer(t);
    EXPECT_DOUBLE_EQ(t.delta, 0.01);
    EXPECT_DOUBLE_EQ(t.now, 0.01);
    EXPECT_EQ(t.lastTicks, 14000u);

    FakeClock::counter = 16000; // measured from the stepped-back value
    UpdateTimer(t);
    EXPECT_DOUBLE_EQ(t.delta, 0.002);
}

TEST(FrameTimer, LargeStepBackIsAWrapOfTheShiftedValue) {
    FrameTimer t = CounterTimer(1000000);
    FakeClock::counter = 0xFFFFFF00;
    UpdateTimer(t);
    FakeClock::counter = 0x1000000FF; // low 32 bits wrapped to 0xFF
    UpdateTimer(t);
    EXPECT_DOUBLE_EQ(t.delta, 0x1FF / 1e6);

    // Exactly 2^28 back also counts as a wrap.
    t = CounterTimer(1000000);
    FakeClock::counter = int64_t{1} << 29;
    UpdateTimer(t);
    FakeClock::counter = (int64_t{1} << 29) - (int64_t{1} << 28);
    UpdateTimer(t);
    EXPECT_DOUBLE_EQ(t.delta, ((uint64_t{1} << 32) - (uint64_t{1} << 28)) / 1e6);
}

TEST(FrameTimer, ShiftIsAppliedBeforeTheLow32Bits) {
    FrameTimer t = CounterTimer(4000000); // shift 1
    ASSERT_EQ(t.shift, 1);
    FakeClock::counter = int64_t{3} << 33; // above 32 bits
    UpdateTimer(t);
    FakeClock::counter += 4000000; // one second
    UpdateTimer(t);
    EXPECT_DOUBLE_EQ(t.delta, 1.0);
}

TEST(FrameTimer, LostPrecisionNudgesTheClockAfterManyStillReadings) {
    FrameTimer t = CounterTimer(1000000);
    FakeClock::counter = 0;
    UpdateTimer(t);
    // A clock so far on that one microsecond no longer changes it.
    t.now = 1e12;
    t.previous = 1e12;
    for (int i = 0; i < 100000; ++i) {
        ++FakeClock::counter;
        UpdateTimer(t);
    }
    EXPECT_EQ(t.now, 1e12);
    EXPECT_EQ(t.stillCount, 100000);
    ++FakeClock::counter;
    UpdateTimer(t);
    EXPECT_EQ(t.now, 1e12 + 1.0);
    EXPECT_EQ(t.stillCount, 0);
    EXPECT_DOUBLE_EQ(t.delta, 1e-6); // the extra second is not part of delta
}

TEST(FrameTimer, MillisecondPathWithoutACounter) {
    FakeClock::hasCounter = false;
    FakeClock::milliseconds = 10000;
    FrameTimer t;
    InitTimer(t, fakeClock);
    EXPECT_FALSE(t.usePerformanceCounter);
    EXPECT_EQ(t.secondsPerTick, static_cast<double>(0.001f));

    UpdateTimer(t);
    EXPECT_EQ(t.delta, 0.0);
    EXPECT_EQ(t.now, 10000 * static_cast<double>(0.001f));

    UpdateTimer(t); // same millisecond
    EXPECT_EQ(t.delta, 0.0);

    FakeClock::milliseconds = 10016;
    UpdateTimer(t);
    EXPECT_NEAR(t.delta, 0.016, 1e-9);
    EXPECT_EQ(t.previous, 10000 * static_cast<double>(0.001f));
    FakeClock::hasCounter = true;
}

TEST(FrameTimer, ZeroFrequencyFallsBackToMilliseconds) {
    FrameTimer t = CounterTimer(0);
    EXPECT_FALSE(t.usePerformanceCounter);
}

} // namespace
