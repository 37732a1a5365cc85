#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "scene/frame_rate.h"

namespace {

TEST(FrameRate, SmoothsHalfwayEachFrame) {
    FrameRate rate;
    UpdateFrameRate(rate, 0.01);
    EXPECT_FLOAT_EQ(rate.instantFps, 100.0f);
    EXPECT_FLOAT_EQ(rate.averageFps, 65.0f);
    UpdateFrameRate(rate, 0.01);
    EXPECT_FLOAT_EQ(rate.averageFps, 82.5f);
}

TEST(FrameRate, ZeroOrBrokenDeltaKeepsTheFiguresFinite) {
    FrameRate rate;
    UpdateFrameRate(rate, 0.02);
    const FrameRate before = rate;
    for (double delta : {0.0, -0.01, std::numeric_limits<double>::quiet_NaN(),
                         std::numeric_limits<double>::infinity(), 1e-300}) {
        UpdateFrameRate(rate, delta);
        EXPECT_EQ(rate.instantFps, before.instantFps);
        EXPECT_EQ(rate.averageFps, before.averageFps);
    }
    EXPECT_TRUE(std::isfinite(rate.averageFps));
}

} // namespace
