#include "glwindow/virtual_clock.h"

namespace {

int64_t virtualMicroseconds = 0;

bool Frequency(int64_t* frequency) {
    *frequency = kVirtualCounterFrequency;
    return true;
}

int64_t Counter() {
    return virtualMicroseconds;
}

uint32_t Milliseconds() {
    return static_cast<uint32_t>(static_cast<uint64_t>(virtualMicroseconds) / 1000);
}

const TimerClock virtualClock = {Frequency, Counter, Milliseconds};

} // namespace

void SetVirtualTime(int64_t microseconds) {
    virtualMicroseconds = microseconds;
}

int64_t VirtualTime() {
    return virtualMicroseconds;
}

const TimerClock& VirtualTimerClock() {
    return virtualClock;
}
