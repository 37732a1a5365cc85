// The wave device over ALSA (libasound), as the native saver's sound output.
//
// ALSA has no device that loops a ring by itself, so this one acts as such a
// device: whenever the mixer thread asks for the play position, the ring is
// handed to ALSA from where the last hand-over stopped, as much as ALSA's
// buffer (about a second) takes without waiting, wrapping at the ring's end.
// The position is the number of bytes handed over; those bytes have left the
// ring, so the mixer may mix the next round into them, as it does behind a
// real looping device. The hand-over never waits (the stream is non-blocking)
// and stopping drops whatever ALSA still holds, so that the saver ends at
// once however the sound server behaves.
//
// Because only the mixer thread hands the ring over, and only bytes it has
// mixed, the device plays exactly the mixed music in order, also on a device
// that takes sound faster than real time. The second that ALSA holds covers
// the stalls of a loaded machine; the thread asks for a real-time priority
// too. A stall longer than that lets ALSA run dry: the sound pauses and goes
// on where it was (the underrun is recovered from on the next hand-over).
// When the stream stops for anything else (a suspended device, a sound
// server that went away), the music waits where it was, one line on standard
// error says so, and later passes start the stream again, or open the device
// anew, until it takes sound again.
#include <alsa/asoundlib.h>
#include <errno.h>
#include <pthread.h>
#include <sched.h>
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
constexpr unsigned kLatencyMicroseconds = 1000000;
constexpr int kBytesPerFrame = 4; // 16-bit stereo
// How long a stream that stopped waits before the next try, in milliseconds.
constexpr int64_t kRetryMs = 250;

snd_pcm_t* pcm = nullptr;
int32_t openRate = 0;              // the rate it was opened at, for opening it anew
const uint8_t* ringData = nullptr; // the ring being played, or none
uint32_t ringSize = 0;             // its size in bytes, whole frames
uint32_t readOffset = 0;           // where the next hand-over starts in it
uint32_t handedOver = 0;           // bytes handed over since play, modulo 2^32
bool waiting = false;              // the stream stopped: nothing is handed over until retryAt
int64_t retryAt = 0;               // monotonic milliseconds
int32_t tries = 0;                 // tries since the stream stopped
bool told = false;                 // the line of this stop was printed
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

int64_t NowMs() {
    timespec now = {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

// The device at kDeviceName for 16-bit stereo at rate, or none with
// lastError filled.
snd_pcm_t* OpenPcm(int32_t rate) {
    snd_pcm_t* opened = nullptr;
    int error = snd_pcm_open(&opened, kDeviceName, SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK);
    if (error < 0) {
        NoteError("cannot open it", error);
        return nullptr;
    }
    error = snd_pcm_set_params(opened, SND_PCM_FORMAT_S16_LE, SND_PCM_ACCESS_RW_INTERLEAVED, 2,
                               static_cast<unsigned>(rate), 1, kLatencyMicroseconds);
    if (error < 0) {
        NoteError("it refuses 16-bit stereo", error);
        snd_pcm_close(opened);
        return nullptr;
    }
    return opened;
}

// The stream stopped for something other than an underrun: the music waits
// where it is, and one line (the first of this stop) says why.
void Interrupted(const char* what, int error) {
    if (!told)
        std::fprintf(stderr,
                     "tazroscr: the music stops: %s: %s; it goes on when the device is back\n",
                     what, snd_strerror(error));
    told = true;
    waiting = true;
    retryAt = NowMs() + kRetryMs;
}

// Starts the stream again after error, at once; never waits (a resume can
// take seconds). An underrun (the thread stalled) says nothing; anything the
// stream cannot be started again from at once stops it (Interrupted).
bool Restart(snd_pcm_sframes_t error) {
    if (error == -ESTRPIPE) {
        const int resumed = snd_pcm_resume(pcm);
        if (resumed == 0 || (resumed != -EAGAIN && snd_pcm_prepare(pcm) >= 0))
            return true;
        Interrupted("the device is suspended", static_cast<int>(error));
        return false;
    }
    if (snd_pcm_prepare(pcm) >= 0)
        return true;
    Interrupted("the device cannot start again", static_cast<int>(error));
    return false;
}

// A later pass's try to start a stopped stream: a suspended device is
// resumed, any other prepared again; from the second try on (a sound server
// that went away leaves a stream that prepares but never plays), the device
// is opened anew. True when the stream can take sound again.
bool Revive() {
    ++tries;
    if (pcm != nullptr && tries == 1) {
        const int resumed =
            snd_pcm_state(pcm) == SND_PCM_STATE_SUSPENDED ? snd_pcm_resume(pcm) : -ENOSYS;
        if (resumed == 0 || (resumed != -EAGAIN && snd_pcm_prepare(pcm) >= 0))
            return true;
        if (resumed == -EAGAIN)
            tries = 0; // still resuming: the same try again
        return false;
    }
    if (pcm != nullptr)
        snd_pcm_close(pcm);
    pcm = OpenPcm(openRate);
    return pcm != nullptr;
}

// Hands the ring over from readOffset, as much as ALSA takes without waiting
// and never more than half the ring at once: the mixer has mixed all of that
// since it was last handed over.
void HandOver() {
    if (ringData == nullptr)
        return;
    if (waiting) {
        if (NowMs() < retryAt)
            return;
        if (!Revive()) {
            retryAt = NowMs() + kRetryMs;
            return;
        }
        waiting = false;
    }
    snd_pcm_sframes_t room = snd_pcm_avail_update(pcm);
    if (room < 0) {
        if (!Restart(room))
            return;
        room = snd_pcm_avail_update(pcm);
        if (room < 0) {
            Interrupted("the device fails", static_cast<int>(room));
            return;
        }
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
            if (restarted) {
                Interrupted("the device refuses the sound", static_cast<int>(written));
                return;
            }
            if (!Restart(written))
                return;
            restarted = true;
            continue;
        }
        // The sound flows: a later stop is told of again.
        told = false;
        tries = 0;
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
    pcm = OpenPcm(rate);
    openRate = rate;
    return pcm != nullptr;
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
    waiting = false;
    tries = 0;
    told = true; // a refusal here is the caller's to tell of
    HandOver();  // fills ALSA's buffer, which starts the stream
    if (waiting || handedOver == 0) {
        NoteError("it refuses the sound", -EIO);
        waiting = false;
        told = false;
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
    waiting = false;
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
// thread, whose wait they end at once. It asks for the lowest real-time
// priority, which puts it before every ordinary thread (the renderer's
// among them); without the right to one (an ordinary user, as a rule) it
// runs at the ordinary priority.
bool StartThread(void (*body)()) {
    threadBody = body;
    sigset_t all;
    sigset_t previous;
    sigfillset(&all);
    pthread_sigmask(SIG_SETMASK, &all, &previous);
    pthread_attr_t realTime;
    pthread_attr_init(&realTime);
    pthread_attr_setinheritsched(&realTime, PTHREAD_EXPLICIT_SCHED);
    pthread_attr_setschedpolicy(&realTime, SCHED_RR);
    sched_param priority = {};
    priority.sched_priority = sched_get_priority_min(SCHED_RR);
    pthread_attr_setschedparam(&realTime, &priority);
    threadMade = pthread_create(&thread, &realTime, ThreadMain, nullptr) == 0 ||
                 pthread_create(&thread, nullptr, ThreadMain, nullptr) == 0; // refused
    pthread_attr_destroy(&realTime);
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
