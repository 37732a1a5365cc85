// The Windows wave output as a WaveDevice: one looping WAVEHDR over the whole
// ring on the wave mapper, polled through waveOutGetPosition, and a mixer
// thread of time-critical priority.
#include <windows.h>

#include <mmsystem.h>

#include <cstdio>

#include "music/wave_device.h"

namespace {

HWAVEOUT device = nullptr;
WAVEHDR header = {};
HANDLE thread = nullptr;
void (*threadBody)() = nullptr;
char lastError[192] = "";

// The system's words for a failed waveOut call.
void NoteError(const char* step, MMRESULT result) {
    char text[MAXERRORLENGTH] = "";
    if (waveOutGetErrorTextA(result, text, sizeof text) != MMSYSERR_NOERROR)
        std::snprintf(text, sizeof text, "error %u", static_cast<unsigned>(result));
    std::snprintf(lastError, sizeof lastError, "wave mapper: %s: %s", step, text);
}

bool Open(int32_t rate) {
    WAVEFORMATEX format = {};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = 2;
    format.nSamplesPerSec = static_cast<DWORD>(rate);
    format.wBitsPerSample = 16;
    format.nBlockAlign = 4;
    format.nAvgBytesPerSec = static_cast<DWORD>(rate) * 4;
    format.cbSize = 0;
    HWAVEOUT opened = nullptr;
    const MMRESULT result = waveOutOpen(&opened, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL);
    if (result != MMSYSERR_NOERROR) {
        NoteError("cannot open it", result);
        return false;
    }
    lastError[0] = '\0';
    device = opened;
    return true;
}

void Unprepare() {
    if (header.dwFlags & WHDR_PREPARED)
        waveOutUnprepareHeader(device, &header, sizeof header);
    header.dwFlags &= ~static_cast<DWORD>(WHDR_PREPARED);
}

bool Play(const void* ring, uint32_t bytes) {
    if (device == nullptr) {
        NoteError("cannot play", MMSYSERR_INVALHANDLE);
        return false;
    }
    header = WAVEHDR{};
    header.lpData = static_cast<LPSTR>(const_cast<void*>(ring));
    header.dwBufferLength = bytes;
    header.dwFlags = WHDR_BEGINLOOP | WHDR_ENDLOOP;
    header.dwLoops = 0xFFFFFFFF;
    MMRESULT result = waveOutPrepareHeader(device, &header, sizeof header);
    if (result != MMSYSERR_NOERROR) {
        NoteError("cannot prepare the ring", result);
        header.dwFlags = 0;
        return false;
    }
    // The loop marks must survive the preparation on every driver.
    header.dwFlags |= WHDR_BEGINLOOP | WHDR_ENDLOOP;
    result = waveOutWrite(device, &header, sizeof header);
    if (result != MMSYSERR_NOERROR) {
        NoteError("cannot play the ring", result);
        waveOutReset(device);
        Unprepare();
        return false;
    }
    lastError[0] = '\0';
    return true;
}

// Asks for bytes; a driver may answer in another unit, which the playback
// control converts. An answer in a unit it cannot convert is no reading.
WaveReading Position() {
    MMTIME time = {};
    time.wType = TIME_BYTES;
    if (waveOutGetPosition(device, &time, sizeof time) != MMSYSERR_NOERROR)
        return WaveReading{0, WaveUnit::None};
    switch (time.wType) {
    case TIME_BYTES:
        return WaveReading{time.u.cb, WaveUnit::Bytes};
    case TIME_SAMPLES:
        return WaveReading{time.u.sample, WaveUnit::Samples};
    case TIME_MS:
        return WaveReading{time.u.ms, WaveUnit::Milliseconds};
    default:
        return WaveReading{0, WaveUnit::None};
    }
}

void Stop() {
    if (device == nullptr)
        return;
    // The device lets go of the header only once it is reset.
    waveOutReset(device);
    Unprepare();
}

void Close() {
    if (device == nullptr)
        return;
    Stop();
    waveOutClose(device);
    device = nullptr;
}

DWORD WINAPI ThreadMain(LPVOID) {
    threadBody();
    return 0;
}

bool StartThread(void (*body)()) {
    threadBody = body;
    thread = CreateThread(nullptr, 0, ThreadMain, nullptr, 0, nullptr);
    if (thread == nullptr)
        return false;
    SetThreadPriority(thread, THREAD_PRIORITY_TIME_CRITICAL);
    return true;
}

void EndThread() {
    if (thread != nullptr)
        CloseHandle(thread);
    thread = nullptr;
}

void SleepFor(int32_t milliseconds) {
    Sleep(static_cast<DWORD>(milliseconds));
}

const char* LastError() {
    return lastError;
}

const WaveDevice waveOutDevice = {Open,        Play,      Position, Stop,     Close,
                                  StartThread, EndThread, SleepFor, LastError};

} // namespace

const WaveDevice& PlatformWaveDevice() {
    return waveOutDevice;
}
