#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "glwindow/fps_overlay.h"

namespace {

TEST(FpsCounter, CountsWholeSecondsAfterTheFirstFrame) {
    struct Case {
        std::vector<double> deltas;
        std::string text;
    };
    const Case cases[] = {
        {{}, ""},
        {{5.0}, ""}, // the first frame's delta covers the set-up
        {{5.0, 0.125, 0.125, 0.125, 0.125, 0.125, 0.125, 0.125}, ""},
        {{5.0, 0.125, 0.125, 0.125, 0.125, 0.125, 0.125, 0.125, 0.125}, "FPS: 8.0"},
        {{5.0, 0.5, 0.75}, "FPS: 1.6"},
        {{5.0, 0.5, 0.75, 0.25, 0.25, 0.25, 0.25}, "FPS: 4.0"}, // a second figure
        {{5.0, -1.0, 0.0, 2.0}, "FPS: 1.5"}, // a delta that is no time counts as none
    };
    for (const Case& c : cases) {
        FpsCounter counter;
        for (double delta : c.deltas)
            CountFpsFrame(counter, delta);
        EXPECT_EQ(std::string(counter.text), c.text) << c.deltas.size() << " frames";
    }
}

} // namespace
