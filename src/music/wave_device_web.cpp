// The page's sound device: Web Audio at 44,100 Hz, through a
// ScriptProcessorNode.
//
// A page has no threads to spare, so the mixer's "thread" is the audio
// callback itself: on the page's main thread, each callback hands the next
// 4,096 frames of the ring to Web Audio and then runs one pass of the mixer
// (MixerPass), which refills the blocks just handed over. startThread only
// lets the callbacks run the pass. Between two callbacks the mixer is at
// rest, so when the playback control waits for the thread's end (through
// sleep, after it has asked the thread to stop), the thread's body is run
// once, sees the stop request and marks itself finished.
//
// The browser may keep the audio context suspended until the user clicks or
// presses a key (the page's script then resumes it): until then no callback
// comes, the position stays at 0, and the music starts from its beginning.
//
// The position counts the bytes handed to Web Audio. The test hook
// ?capture=SECONDS hashes the first SECONDS of them (Module.page.captureBytes
// bytes), exactly the bytes of the ring that were handed over.
#include "music/wave_device_web.h"

#include <emscripten.h>

#include <cstdio>

#include "music/wave_device.h"
#include "music/wave_output.h"

namespace {

// clang-format off
// 0 when open, else why not (an OpenRefusal).
EM_JS(int, SoundOpen, (int rate, int pulled), {
    var sound = {context: null, node: null, ring: 0, frames: 0, position: 0, played: 0,
                 handed: 0, capture: null, handOver: null, left: null, right: null};
    if (pulled) {
        sound.left = new Float32Array(4096);
        sound.right = new Float32Array(4096);
    } else {
        var AudioContextType = window.AudioContext || window.webkitAudioContext;
        if (!AudioContextType)
            return 1;
        try {
            sound.context = new AudioContextType({sampleRate: rate});
        } catch (e) {
            return 2;
        }
        if (sound.context.sampleRate !== rate) {
            sound.context.close();
            return 2;
        }
        Module.page.audioContext(sound.context);
    }
    Module.tazroSound = sound;
    return 0;
});

EM_JS(int, SoundPlay, (const void* ring, uint32_t bytes), {
    var sound = Module.tazroSound;
    sound.ring = ring;
    sound.frames = bytes / 4;
    sound.position = 0;
    sound.played = 0;
    sound.handed = 0;
    var captureBytes = Module.page.captureBytes || 0;
    sound.capture = captureBytes > 0 ? {bytes: new Uint8Array(captureBytes), filled: 0} : null;
    // Hands the next left.length frames of the ring over as floats, keeps
    // them for the capture, and lets the mixer refill behind them.
    sound.handOver = function(left, right) {
        var count = left.length;
        if (sound.ring === 0) {
            left.fill(0);
            right.fill(0);
            return;
        }
        var samples = HEAP16, base = sound.ring >> 1, frames = sound.frames;
        var first = sound.position, position = first;
        for (var i = 0; i < count; ++i) {
            var j = base + 2 * position;
            left[i] = samples[j] / 32768;
            right[i] = samples[j + 1] / 32768;
            if (++position === frames)
                position = 0;
        }
        var capture = sound.capture;
        if (capture !== null && capture.filled < capture.bytes.length) {
            var start = sound.ring + 4 * first, end = sound.ring + 4 * frames;
            var want = Math.min(4 * count, capture.bytes.length - capture.filled);
            while (want > 0) {
                var part = Math.min(want, end - start);
                capture.bytes.set(HEAPU8.subarray(start, start + part), capture.filled);
                capture.filled += part;
                want -= part;
                start = sound.ring;
            }
            if (capture.filled === capture.bytes.length)
                setTimeout(sound.digest, 0);
        }
        sound.position = position;
        sound.played = (sound.played + 4 * count) >>> 0;
        sound.handed += count;
        _TazroSoundPass();
    };
    // The capture's hash, outside the callback; an empty text where the
    // page has no Web Crypto (an address that is not secure).
    sound.digest = function() {
        if (typeof crypto === "undefined" || !crypto.subtle) {
            Module.page.captured("");
            return;
        }
        crypto.subtle.digest("SHA-256", sound.capture.bytes).then(function(hash) {
            var hex = "";
            new Uint8Array(hash).forEach(function(b) { hex += (b < 16 ? "0" : "") + b.toString(16); });
            Module.page.captured(hex);
        });
    };
    if (sound.context !== null) {
        try {
            sound.node = sound.context.createScriptProcessor(4096, 0, 2);
        } catch (e) {
            return 0;
        }
        sound.node.onaudioprocess = function(event) {
            var out = event.outputBuffer;
            sound.handOver(out.getChannelData(0), out.getChannelData(1));
        };
        sound.node.connect(sound.context.destination);
    }
    return 1;
});

EM_JS(uint32_t, SoundPlayed, (), {
    return Module.tazroSound ? Module.tazroSound.played : 0;
});

EM_JS(void, SoundPull, (double frames), {
    var sound = Module.tazroSound;
    if (!sound || sound.context !== null || sound.handOver === null)
        return;
    while (sound.handed < frames)
        sound.handOver(sound.left, sound.right);
});

EM_JS(void, SoundStop, (), {
    var sound = Module.tazroSound;
    if (!sound)
        return;
    if (sound.node !== null) {
        sound.node.onaudioprocess = null;
        sound.node.disconnect();
        sound.node = null;
    }
    sound.ring = 0;
    sound.handOver = null;
});

EM_JS(void, SoundClose, (), {
    var sound = Module.tazroSound;
    if (!sound)
        return;
    if (sound.context !== null)
        sound.context.close();
    Module.tazroSound = null;
});
// clang-format on

bool pulledByPage = false;
bool isOpen = false;
// The body the playback control started, while the callbacks run its passes.
void (*threadBody)() = nullptr;
char error[96] = "";

bool Open(int32_t rate) {
    const int refusal = SoundOpen(rate, pulledByPage ? 1 : 0);
    if (refusal == 1)
        std::snprintf(error, sizeof error, "Web Audio: this browser has no audio context");
    else if (refusal == 2)
        std::snprintf(error, sizeof error,
                      "Web Audio: the browser refuses an audio context at %d Hz", rate);
    else
        error[0] = '\0';
    isOpen = refusal == 0;
    return isOpen;
}

bool Play(const void* ring, uint32_t bytes) {
    const char* refusal = !isOpen                   ? "Web Audio: not open"
                          : !SoundPlay(ring, bytes) ? "Web Audio: the browser refuses to play"
                                                    : "";
    std::snprintf(error, sizeof error, "%s", refusal);
    return refusal[0] == '\0';
}

WaveReading Position() {
    return WaveReading{SoundPlayed(), WaveUnit::Bytes};
}

void Stop() {
    SoundStop();
}

void Close() {
    SoundStop();
    SoundClose();
    isOpen = false;
}

bool StartThread(void (*body)()) {
    threadBody = body;
    return true;
}

void EndThread() {
    threadBody = nullptr;
}

// Only the playback control's wait for the thread's end sleeps here, after
// the stop request: the body, at rest between callbacks, runs to its end.
void Sleep(int32_t) {
    if (threadBody == nullptr)
        return;
    void (*body)() = threadBody;
    threadBody = nullptr;
    body();
}

const char* LastError() {
    return error;
}

const WaveDevice webDevice = {Open,        Play,      Position, Stop,     Close,
                              StartThread, EndThread, Sleep,    LastError};

} // namespace

// The audio callback's mixer pass, after each hand-over.
extern "C" EMSCRIPTEN_KEEPALIVE void TazroSoundPass() {
    if (threadBody != nullptr)
        MixerPass();
}

const WaveDevice& PlatformWaveDevice() {
    return webDevice;
}

void SetSoundPulledByPage(bool pulled) {
    pulledByPage = pulled;
}

void PullSound(uint64_t frames) {
    SoundPull(static_cast<double>(frames));
}
