// The system tick count that paces the keyframes: milliseconds since an
// arbitrary start, 64 bits wide so that it never wraps during a run. Each
// platform defines it once (tick_count_*.cpp; the off-screen platform's
// follows the virtual clock, so that frames can be made at any virtual time).
#pragma once

#include <cstdint>

uint64_t ReadTickCount();
