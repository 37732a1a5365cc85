#include "core/shell_state.h"

#include <cstdlib>

SaverMode saverMode = SaverMode::Configure;
WindowHandle hostWindow = nullptr;
InstanceHandle instanceHandle = nullptr;
ScreenPoint startCursor;

bool CursorLeftStart(const ScreenPoint& start, int32_t x, int32_t y) {
    // 64-bit differences: coordinates far apart must not overflow.
    const int64_t dx = static_cast<int64_t>(x) - start.x;
    const int64_t dy = static_cast<int64_t>(y) - start.y;
    return std::llabs(dx) > 50 || std::llabs(dy) > 50;
}
