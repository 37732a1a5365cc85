#include <gtest/gtest.h>

#include <cstdint>

#include "scene/animation.h"

namespace {

// The keyframe part of one frame at tick count now (milliseconds), as the
// frame runs it. Returns true when it stepped.
bool Frame(KeyframeClock& clock, uint64_t now, int32_t (&index)[3]) {
    if (!KeyframeStepDue(clock, now))
        return false;
    MarkKeyframeStep(clock, now);
    AdvanceKeyframeIndices(index[0], index[1], index[2]);
    return true;
}

TEST(KeyframeClock, TheFirstFrameStepsOnceWithBlendZeroWhateverTheTickCount) {
    for (uint64_t start : {uint64_t{0}, uint64_t{50}, uint64_t{4294967000}, uint64_t{1} << 62}) {
        KeyframeClock clock;
        int32_t index[3] = {1, 2, 33};
        EXPECT_TRUE(Frame(clock, start, index)) << start;
        EXPECT_EQ(clock.blendFraction, 0.0f);
        EXPECT_EQ(index[0], 3);
        EXPECT_EQ(index[1], 4);
        EXPECT_EQ(index[2], 34);
        // A second frame at the same tick does not step again.
        EXPECT_FALSE(Frame(clock, start, index));
        EXPECT_EQ(clock.blendFraction, 0.0f);
    }
}

TEST(KeyframeClock, BlendsThroughTheIntervalAndStepsOnlyAfterIt) {
    KeyframeClock clock;
    int32_t index[3] = {1, 2, 33};
    const uint64_t start = 1000000;
    Frame(clock, start, index);
    EXPECT_FALSE(Frame(clock, start + 50, index));
    EXPECT_NEAR(clock.blendFraction, 0.5f, 1e-6f);
    EXPECT_FALSE(Frame(clock, start + 100, index)); // exactly 0.1 s is not more
    EXPECT_EQ(clock.blendFraction, 1.0f);
    EXPECT_TRUE(Frame(clock, start + 101, index));
    EXPECT_EQ(clock.blendFraction, 0.0f);
    EXPECT_EQ(index[0], 5);
}

TEST(KeyframeClock, AtFiveFramesPerSecondEveryFrameSteps) {
    KeyframeClock clock;
    int32_t index[3] = {1, 2, 33};
    for (int frame = 0; frame < 40; ++frame) {
        EXPECT_TRUE(Frame(clock, 123456 + 200 * static_cast<uint64_t>(frame), index));
        EXPECT_EQ(clock.blendFraction, 0.0f);
    }
}

TEST(KeyframeClock, StepsStayATenthApartAtAnyUptime) {
    // 60 frames per second for 20 s around the uptimes where a 32-bit tick
    // wraps and where float seconds would lose the interval, and far beyond.
    for (uint64_t around :
         {uint64_t{0xFFFFFFFF}, uint64_t{1} << 34, uint64_t{1} << 50, UINT64_MAX - 30000}) {
        KeyframeClock clock;
        int32_t index[3] = {1, 2, 33};
        const uint64_t start = around - 10000;
        uint64_t lastStep = 0;
        int steps = 0;
        for (int frame = 0; frame < 1200; ++frame) {
            const uint64_t now = start + static_cast<uint64_t>(frame) * 1000 / 60;
            const bool stepped = Frame(clock, now, index);
            ASSERT_GE(clock.blendFraction, 0.0f);
            ASSERT_LE(clock.blendFraction, 1.0f);
            if (stepped && steps > 0) {
                EXPECT_GT(now - lastStep, 100u);
                EXPECT_LE(now - lastStep, 117u); // the first frame after 0.1 s
            }
            if (stepped) {
                lastStep = now;
                ++steps;
            }
        }
        EXPECT_GE(steps, 170) << around; // about 20 s / 0.117 s
    }
}

TEST(KeyframeClock, ATickThatGoesBackRestartsTheInterval) {
    KeyframeClock clock;
    int32_t index[3] = {1, 2, 33};
    Frame(clock, 5000, index);
    EXPECT_TRUE(Frame(clock, 4000, index));
    EXPECT_EQ(clock.blendFraction, 0.0f);
    EXPECT_FALSE(Frame(clock, 4060, index));
    EXPECT_NEAR(clock.blendFraction, 0.6f, 1e-6f);
}

TEST(KeyframeIndices, SixteenStepsBringEveryPartBackAndTheyWrapTogether) {
    int32_t body = 1, head = 2, sword = 33;
    for (int step = 1; step <= 16; ++step) {
        AdvanceKeyframeIndices(body, head, sword);
        if (step < 16) {
            EXPECT_EQ(body, 1 + 2 * step);
            EXPECT_EQ(head, 2 + 2 * step);
            EXPECT_EQ(sword, 33 + step);
        }
    }
    EXPECT_EQ(body, 1);
    EXPECT_EQ(head, 2);
    EXPECT_EQ(sword, 33);

    // Off-ring indices restart their rings.
    body = 2;
    head = 0;
    sword = 60;
    AdvanceKeyframeIndices(body, head, sword);
    EXPECT_EQ(body, 1);
    EXPECT_EQ(head, 2);
    EXPECT_EQ(sword, 33);
}

} // namespace
