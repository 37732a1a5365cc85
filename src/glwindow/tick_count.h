// The system tick count that paces the keyframes: milliseconds since an
// arbitrary start, 64 bits wide so that it never wraps during a run. Each
// platform defines it once: the system's uptime on Windows, the virtual clock
// on the host (so that off-screen frames can be made at any virtual time).
#pragma once

#include <cstdint>

uint64_t ReadTickCount();
