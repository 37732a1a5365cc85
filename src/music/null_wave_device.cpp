// The null wave device: a device that plays nothing, for the host and the
// tests. The thread is a standard thread, detached so that it never needs
// joining: the playback control knows from its own flag when the body ends.
#include <chrono>
#include <thread>

#include "music/wave_device.h"

namespace {

NullWaveState state;
const char* error = "";

bool Open(int32_t rate) {
    error = state.refuseOpen ? "null device: refused to open, as told" : "";
    if (state.refuseOpen)
        return false;
    state.isOpen = true;
    state.rate = rate;
    ++state.opens;
    return true;
}

bool Play(const void* ring, uint32_t bytes) {
    error = !state.isOpen      ? "null device: not open"
            : state.refusePlay ? "null device: refused to play, as told"
                               : "";
    if (error[0] != '\0')
        return false;
    state.playing = true;
    state.ring = ring;
    state.ringBytes = bytes;
    state.position.store(0);
    ++state.plays;
    return true;
}

WaveReading Position() {
    return WaveReading{state.position.load(), state.unit.load()};
}

void Stop() {
    if (!state.playing)
        return;
    state.playing = false;
    state.ring = nullptr;
    state.ringBytes = 0;
    ++state.stops;
}

void Close() {
    if (!state.isOpen)
        return;
    Stop();
    state.isOpen = false;
    ++state.closes;
}

bool StartThread(void (*body)()) {
    if (state.refuseThread)
        return false;
    std::thread(body).detach();
    ++state.threadsStarted;
    return true;
}

void EndThread() {
    ++state.threadsEnded;
}

void SleepFor(int32_t milliseconds) {
    state.sleeps.fetch_add(1);
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

const char* LastError() {
    return error;
}

const WaveDevice nullDevice = {Open,        Play,      Position, Stop,     Close,
                               StartThread, EndThread, SleepFor, LastError};

} // namespace

const WaveDevice& NullWaveDevice() {
    return nullDevice;
}

NullWaveState& NullWave() {
    return state;
}

void ResetNullWave() {
    state.refuseOpen = state.refusePlay = state.refuseThread = false;
    state.isOpen = state.playing = false;
    state.rate = 0;
    state.ring = nullptr;
    state.ringBytes = 0;
    state.opens = state.plays = state.stops = state.closes = 0;
    state.threadsStarted = state.threadsEnded = 0;
    state.position.store(0);
    state.unit.store(WaveUnit::Bytes);
    state.sleeps.store(0);
    error = "";
}

void NullWaveAdvance(uint32_t count) {
    state.position.fetch_add(count);
}
