// The tick count from the monotonic clock, in milliseconds.
#include <time.h>

#include "glwindow/tick_count.h"

uint64_t ReadTickCount() {
    timespec now = {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint64_t>(now.tv_sec) * 1000 + static_cast<uint64_t>(now.tv_nsec) / 1000000;
}
