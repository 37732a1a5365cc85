#include "scene/frame_rate.h"

#include <cmath>

void UpdateFrameRate(FrameRate& rate, double delta) {
    if (!(delta > 0.0) || !std::isfinite(delta))
        return;
    const float instant = static_cast<float>(1.0 / delta);
    if (!std::isfinite(instant))
        return;
    rate.instantFps = instant;
    rate.averageFps = (rate.averageFps + rate.instantFps) * 0.5f;
}
