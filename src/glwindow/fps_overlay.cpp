#include "glwindow/fps_overlay.h"

#include <cmath>
#include <cstdio>

#include "glwindow/gl_state.h"

namespace {
// Half the height of the plane one unit in front of the eye.
const double kHalfHeight = std::tan(kFieldOfViewDegrees / 2 * 3.14159265358979323846 / 180.0);
} // namespace

void CountFpsFrame(FpsCounter& counter, double delta) {
    if (counter.frames < 0) {
        counter.frames = 0;
        return;
    }
    if (!(delta >= 0.0) || !std::isfinite(delta))
        delta = 0.0;
    ++counter.frames;
    counter.elapsed += delta;
    if (counter.elapsed < 1.0)
        return;
    counter.fps = static_cast<float>(counter.frames / counter.elapsed);
    std::snprintf(counter.text, sizeof counter.text, "FPS: %.1f", counter.fps);
    counter.frames = 0;
    counter.elapsed = 0.0;
}

void OverlayPrintPosition(int32_t width, int32_t height, float pixelX, float pixelY, float& x,
                          float& y) {
    if (width < 1)
        width = 1;
    if (height < 1)
        height = 1;
    const double halfWidth = kHalfHeight * width / height;
    const double eyeX = (2.0 * pixelX / width - 1.0) * halfWidth;
    const double eyeY = (2.0 * pixelY / height - 1.0) * kHalfHeight;
    x = static_cast<float>(eyeX + kPrintOffsetX);
    y = static_cast<float>(kPrintOffsetY - eyeY);
}
