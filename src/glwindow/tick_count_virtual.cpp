// In the host tools and tests the tick count follows the virtual clock.
#include "glwindow/tick_count.h"
#include "glwindow/virtual_clock.h"

uint64_t ReadTickCount() {
    const int64_t microseconds = VirtualTime();
    return microseconds > 0 ? static_cast<uint64_t>(microseconds) / 1000 : 0;
}
