// The tick count from the system's 64-bit uptime in milliseconds.
#include <windows.h>

#include "glwindow/tick_count.h"

uint64_t ReadTickCount() {
    return GetTickCount64();
}
