#include "shell/stop_signals.h"

#include <errno.h>
#include <poll.h>
#include <signal.h>
#include <time.h>

#include <atomic>

namespace {

const int kStopSignals[] = {SIGTERM, SIGINT, SIGHUP};
std::atomic<bool> stopSignalled{false};
sigset_t stopSignals;
sigset_t waitMask; // the thread's mask with the stop signals let through

void OnStopSignal(int) {
    stopSignalled.store(true, std::memory_order_release);
}

} // namespace

void InstallStopSignals() {
    sigemptyset(&stopSignals);
    struct sigaction action = {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    for (int signal : kStopSignals) {
        sigaddset(&stopSignals, signal);
        sigaction(signal, &action, nullptr);
    }
    pthread_sigmask(SIG_BLOCK, &stopSignals, &waitMask);
    for (int signal : kStopSignals)
        sigdelset(&waitMask, signal);

    struct sigaction ignore = {};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGPIPE, &ignore, nullptr);
}

bool StopSignalled() {
    // Letting the signals through for a moment delivers any that waits.
    pthread_sigmask(SIG_UNBLOCK, &stopSignals, nullptr);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    return stopSignalled.load(std::memory_order_acquire);
}

void WaitForInputOrStop(int fd, int64_t microseconds) {
    if (microseconds < 0)
        microseconds = 0;
    pollfd watched = {fd, POLLIN, 0};
    const timespec timeout = {static_cast<time_t>(microseconds / 1000000),
                              static_cast<long>(microseconds % 1000000) * 1000};
    // The stop signals come through only during the wait, which they end.
    ppoll(&watched, fd >= 0 ? 1 : 0, &timeout, &waitMask);
}

int64_t MonotonicMicroseconds() {
    timespec now = {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000000 + now.tv_nsec / 1000;
}
