// The signals that end the native saver: SIGTERM (XScreenSaver ends its
// hacks with it), SIGINT and SIGHUP.
//
// They are blocked from the start in every thread, and taken only where the
// main thread waits or looks for them; their handler only sets a flag. So a
// signal at any moment, also during start-up, ends the run at the next look,
// and a waiting main thread wakes at once, whichever thread the system would
// otherwise have given the signal to.
#pragma once

#include <cstdint>

// Installs the handlers and blocks the three signals; the writes to a closed
// X connection report an error instead of raising SIGPIPE. Call first thing,
// before any other thread exists.
void InstallStopSignals();

// True once a stop signal has come (taking any that waits).
bool StopSignalled();

// Waits until fd is readable, a stop signal comes, or microseconds pass.
void WaitForInputOrStop(int fd, int64_t microseconds);

// The monotonic clock in microseconds.
int64_t MonotonicMicroseconds();
