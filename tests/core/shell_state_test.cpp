#include <gtest/gtest.h>

#include <cstdint>

#include "core/shell_state.h"

namespace {

TEST(ShellState, MouseMoveEndsTheRunOnlyBeyondFiftyPixelsOnAnAxis) {
    const ScreenPoint start{400, 300};
    EXPECT_FALSE(CursorLeftStart(start, 400, 300));
    EXPECT_FALSE(CursorLeftStart(start, 450, 350));
    EXPECT_FALSE(CursorLeftStart(start, 350, 250));
    EXPECT_TRUE(CursorLeftStart(start, 451, 300));
    EXPECT_TRUE(CursorLeftStart(start, 400, 249));
    EXPECT_TRUE(CursorLeftStart(start, 349, 351));
}

TEST(ShellState, FarApartCoordinatesDoNotOverflow) {
    const ScreenPoint start{INT32_MIN, INT32_MAX};
    EXPECT_TRUE(CursorLeftStart(start, INT32_MAX, INT32_MAX));
    EXPECT_TRUE(CursorLeftStart(start, INT32_MIN, INT32_MIN));
    EXPECT_FALSE(CursorLeftStart(start, INT32_MIN + 50, INT32_MAX - 50));
}

} // namespace
