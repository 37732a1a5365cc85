// The contract between the music's playback control (wave_output.h) and a
// sound device back-end.
//
// A back-end plays one ring of 16-bit stereo PCM in an endless loop and says
// how many bytes it has played; the playback control refills the ring behind
// it from a thread the back-end starts. Each platform's wave_device_*.cpp
// defines PlatformWaveDevice once (cmake/platforms.cmake chooses it); the
// null device is built everywhere so that the playback control can be tested
// without sound hardware.
//
// All operations but position and sleep are called on the main thread only;
// position and sleep are called by the mixer thread while it runs.
#pragma once

#include <atomic>
#include <cstdint>

// What a device's play position counts. A device answers in the unit it
// can; the playback control turns every known unit into bytes.
enum class WaveUnit : uint8_t {
    None,         // no reading this time (the query failed)
    Bytes,        // 4 bytes a frame
    Samples,      // frames
    Milliseconds, // of playing time
};

// One reading of the play position: the count since play, modulo 2^32.
struct WaveReading {
    uint32_t count;
    WaveUnit unit;
};

struct WaveDevice {
    // Opens the device for 16-bit stereo PCM at rate frames per second
    // (4 bytes a frame). False when there is no device or it refuses.
    bool (*open)(int32_t rate);
    // Starts playing the bytes bytes at ring (whole frames) over and over,
    // from the start; the byte position restarts at 0. The ring stays in
    // use until stop. False, with nothing held, when the device refuses.
    bool (*play)(const void* ring, uint32_t bytes);
    // How much has been played since play, counted across the loops,
    // modulo 2^32, in the unit the device answers in.
    WaveReading (*position)();
    // Stops playing and lets go of the ring: afterwards it may be freed.
    // Harmless when nothing plays.
    void (*stop)();
    // Closes the device (stopping it first). Harmless when it is closed.
    void (*close)();
    // Runs body on a new thread of the highest priority. False when no
    // thread could be made.
    bool (*startThread)(void (*body)());
    // Lets go of the thread started last, once its body has returned or is
    // returning.
    void (*endThread)();
    // Suspends the calling thread for about that many milliseconds.
    void (*sleep)(int32_t milliseconds);
    // Why the last open or play failed, in one line that names the device;
    // empty when it succeeded. The text stays valid until the next call.
    const char* (*lastError)();
};

// The program's device.
const WaveDevice& PlatformWaveDevice();

// The null device: opens at any rate, plays nothing, and its position moves
// only when someone moves it (NullWaveAdvance); it answers in bytes unless
// told another unit. Its thread is a real thread and its sleeps are real
// sleeps. Tests drive it and can make each step refuse through NullWaveState.
const WaveDevice& NullWaveDevice();

// What the null device has been asked to do, and what it should refuse.
struct NullWaveState {
    bool refuseOpen = false;   // open fails, as without a sound card
    bool refusePlay = false;   // play fails, as a failed prepare or write would
    bool refuseThread = false; // startThread fails
    bool isOpen = false;
    bool playing = false;
    int32_t rate = 0;
    const void* ring = nullptr;
    uint32_t ringBytes = 0;
    int32_t opens = 0, plays = 0, stops = 0, closes = 0;
    int32_t threadsStarted = 0, threadsEnded = 0;
    std::atomic<uint32_t> position{0}; // played, in unit, modulo 2^32
    std::atomic<WaveUnit> unit{WaveUnit::Bytes};
    std::atomic<int32_t> sleeps{0}; // sleeps made on any thread
};

// The null device's state; ResetNullWave puts it back to the start.
NullWaveState& NullWave();
void ResetNullWave();
// Moves the null device's position on by count of its unit (modulo 2^32).
void NullWaveAdvance(uint32_t count);
