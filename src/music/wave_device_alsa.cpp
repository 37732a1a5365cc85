// The wave device over ALSA (libasound), as the native saver's sound output.
//
// ALSA has no device that loops a ring by itself, so this one acts as such a
// device: whenever the mixer thread asks for the play position, the ring is
// handed to ALSA from where the last hand-over stopped, as much as ALSA's
// buffer (about 200 ms) takes without waiting, wrapping at the ring's end. The
// position is the number of bytes handed over; those bytes have left the
// ring, so the mixer may mix the next round into them, as it does behind a
// real looping device. The hand-over never waits (the stream is non-blocking)
// and stopping drops whatever ALSA still holds, so that the saver ends at
// once however the sound server behaves.
//
// Because only the mixer thread hands the ring over, and only bytes it has
// mixed, the device plays exactly the mixed music in order, also on a device
// that takes sound faster than real time. A thread that stalls for longer
// than ALSA's buffer lets it run dry: the sound pauses and goes on where it
// was (ALSA's underrun is recovered from on the next hand-over).
#include <alsa/asoundlib.h>
#include <errno.h>
#include <pthread.h>
#include <signal.h>
#include <time.h>

#include <cstdarg>
#include <cstdio>

#include "music/wave_device.h"

namespace {

// The PCM device the music plays on: ALSA's "default", through which
// PulseAudio and PipeWire play it too.
constexpr const char* kDeviceName = "default";
// How much sound ALSA holds ahead of the speaker, in microseconds.
constexpr unsigned kLatencyMicroseconds = 200000;
constexpr int kBytesPerFrame = 4; // 16-bit stereo

snd_pcm_t* pcm = nullptr;
const uint8_t* ringData = nullptr; // the ring being played, or none
uint32_t ringSize = 0;             // its size in bytes, whole frames
uint32_t readOffset = 0;           // where the next hand-over starts in it
uint32_t handedOver = 0;           // bytes handed over since play, modulo 2^32
bool failed = false;               // the stream broke for good: hand nothing more over
char lastError[192] = "";

pthread_t thread;
bool threadMade = false;
void (*threadBody)() = nullptr;

// libasound prints its complaints on standard error by itself; the saver
// says what went wrong in one line of its own.
void Quiet(const char*, int, const char*, int, const char*, ...) {}

void NoteError(const char* step, int error) {
    std::snprintf(lastError, sizeof lastError, "ALSA device \"%s\": %s: %s", kDeviceName, step,
                  snd_strerror(error));
}

// Starts the stream again after an underrun (the thread stalled) or a
// suspended device, at once: never waits for a resume, which can take
// seconds. Any other error ends the music for this run.
bool Restart(snd_pcm_sframes_t error) {
    if ((error == -EPIPE || error == -ESTRPIPE) && snd_pcm_prepare(pcm) >= 0)
        return true;
    failed = true;
    return false;
}

// Hands the ring over from readOffset, as much as ALSA takes without waiting
// and never more than half the ring at once: the mixer has mixed all of that
// since it was last handed over.
void HandOver() {
    if (pcm == nullptr || ringData == nullptr || failed)
        return;
    snd_pcm_sframes_t room = snd_pcm_avail_update(pcm);
    if (room < 0) {
        if (!Restart(room))
            return;
        room = snd_pcm_avail_update(pcm);
    }
    const snd_pcm_sframes_t limit = ringSize / kBytesPerFrame / 2;
    if (room > limit)
        room = limit;
    bool restarted = false;
    while (room > 0) {
        const snd_pcm_sframes_t toEnd = (ringSize - readOffset) / kBytesPerFrame;
        const snd_pcm_sframes_t written =
            snd_pcm_writei(pcm, ringData + readOffset,
                           static_cast<snd_pcm_uframes_t>(room < toEnd ? room : toEnd));
        if (written == -EAGAIN || written == 0)
            return; // ALSA's buffer is full
        if (written < 0) {
            if (restarted || !Restart(written))
                return;
            restarted = true;
            continue;
        }
        const uint32_t bytes = static_cast<uint32_t>(written) * kBytesPerFrame;
        handedOver += bytes;
        readOffset += bytes;
        if (readOffset >= ringSize)
            readOffset = 0;
        room -= written;
    }
}

bool Open(int32_t rate) {
    lastError[0] = '\0';
    snd_lib_error_set_handler(Quiet);
    snd_pcm_t* opened = nullptr;
    int error = snd_pcm_open(&opened, kDeviceName, SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK);
    if (error < 0) {
        NoteError("cannot open it", error);
        return false;
    }
    error = snd_pcm_set_params(opened, SND_PCM_FORMAT_S16_LE, SND_PCM_ACCESS_RW_INTERLEAVED, 2,
                               static_cast<unsigned>(rate), 1, kLatencyMicroseconds);
    if (error < 0) {
        NoteError("it refuses 16-bit stereo", error);
        snd_pcm_close(opened);
        return false;
    }
    pcm = opened;
    return true;
}

bool Play(const void* ring, uint32_t bytes) {
    lastError[0] = '\0';
    if (pcm == nullptr || bytes < kBytesPerFrame) {
        NoteError(pcm == nullptr ? "not open" : "no ring to play", -EINVAL);
        return false;
    }
    snd_pcm_drop(pcm);
    const int error = snd_pcm_prepare(pcm);
    if (error < 0) {
        NoteError("cannot start it", error);
        return false;
    }
    ringData = static_cast<const uint8_t*>(ring);
    ringSize = bytes - bytes % kBytesPerFrame;
    readOffset = 0;
    handedOver = 0;
    failed = false;
    HandOver(); // fills ALSA's buffer, which starts the stream
    if (failed) {
        NoteError("it refuses the sound", -EIO);
        snd_pcm_drop(pcm);
        ringData = nullptr;
        ringSize = 0;
        return false;
    }
    return true;
}

WaveReading Position() {
    HandOver();
    return WaveReading{handedOver, WaveUnit::Bytes};
}

void Stop() {
    if (pcm != nullptr && ringData != nullptr)
        snd_pcm_drop(pcm);
    ringData = nullptr;
    ringSize = 0;
}

void Close() {
    if (pcm == nullptr)
        return;
    Stop();
    snd_pcm_close(pcm);
    pcm = nullptr;
}

void* ThreadMain(void*) {
    threadBody();
    return nullptr;
}

// The thread takes no signals: the saver's stop signals go to the main
// thread, whose wait they end at once.
bool StartThread(void (*body)()) {
    threadBody = body;
    sigset_t all;
    sigset_t previous;
    sigfillset(&all);
    pthread_sigmask(SIG_SETMASK, &all, &previous);
    threadMade = pthread_create(&thread, nullptr, ThreadMain, nullptr) == 0;
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    if (threadMade)
        pthread_setname_np(thread, "tazro-mixer"); // as ps and /proc show it
    return threadMade;
}

void EndThread() {
    if (threadMade)
        pthread_join(thread, nullptr);
    threadMade = false;
}

void SleepFor(int32_t milliseconds) {
    timespec left = {milliseconds / 1000, static_cast<long>(milliseconds % 1000) * 1000000};
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}

const char* LastError() {
    return lastError;
}

const WaveDevice alsaDevice = {Open,        Play,      Position, Stop,     Close,
                               StartThread, EndThread, SleepFor, LastError};

} // namespace

const WaveDevice& PlatformWaveDevice() {
    return alsaDevice;
}
