// Software mixer: FillBlock runs the replay tick by tick and mixes every voice
// with linear interpolation and volume ramps into float frames, then rounds
// the block to 16-bit PCM.
//
// Positions and steps are unsigned 32.32 fixed point. Sample lengths stay
// below 2^31 (the loader caps them at the file size), so every position, loop
// boundary and distance below fits in 63 bits, and a difference of two of them
// read as a signed 64-bit value has the right sign even when the unsigned
// subtraction wrapped.
#include "music/mixer.h"

#include <cmath>
#include <cstring>
#include <new>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "music/replay.h"
#include "music/wave_ring.h"

MixRing mixRing{};
Voice voices[kVoiceCount]{};

namespace {

constexpr float kGainScale = 0.003921568859368563f;      // 1/255, gains are bytes
constexpr float kFractionScale = 4.656612873077393e-10f; // 2^-31

// Interpolated sample value at a 32.32 position; reads data[i] and data[i + 1].
inline float SampleAt(const int16_t* data, uint64_t position) {
    const uint32_t i = static_cast<uint32_t>(position >> 32);
    const float t = static_cast<float>(static_cast<int32_t>(static_cast<uint32_t>(position) >> 1)) *
                    kFractionScale;
    const float a = data[i];
    const float b = data[i + 1];
    return a + t * (b - a);
}

#if defined(__SSE2__)
// The SSE2 paths below do, lane for lane, the single-precision operations of
// the scalar code in the same order, so both give the same bits.

// data[i] in the low and data[i + 1] in the high half of one 32-bit value
// (x86 is little-endian), for the integer part i of a 32.32 position.
inline int32_t SamplePair(const int16_t* data, uint64_t position) {
    int32_t pair;
    std::memcpy(&pair, data + static_cast<uint32_t>(position >> 32), sizeof pair);
    return pair;
}

// The low 32 bits (the fractions) of p, p + step, p + 2 step and p + 3 step;
// adding the low bits of 4 step moves them on by four frames, exactly.
inline __m128i Fractions4(uint64_t p, uint64_t step) {
    return _mm_setr_epi32(static_cast<int32_t>(p), static_cast<int32_t>(p + step),
                          static_cast<int32_t>(p + 2 * step), static_cast<int32_t>(p + 3 * step));
}

// SampleAt at p, p + step, p + 2 step and p + 3 step, one frame a lane, with
// their fractions from Fractions4.
inline __m128 SampleAt4(const int16_t* data, uint64_t p, uint64_t step, __m128i fractions) {
    const uint64_t p1 = p + step;
    const uint64_t p2 = p1 + step;
    const uint64_t p3 = p2 + step;
    const __m128i pairs = _mm_setr_epi32(SamplePair(data, p), SamplePair(data, p1),
                                         SamplePair(data, p2), SamplePair(data, p3));
    const __m128 a = _mm_cvtepi32_ps(_mm_srai_epi32(_mm_slli_epi32(pairs, 16), 16));
    const __m128 b = _mm_cvtepi32_ps(_mm_srai_epi32(pairs, 16));
    const __m128 t =
        _mm_mul_ps(_mm_cvtepi32_ps(_mm_srli_epi32(fractions, 1)), _mm_set1_ps(kFractionScale));
    return _mm_add_ps(a, _mm_mul_ps(t, _mm_sub_ps(b, a)));
}

// Adds the four frames of s times the gains (left, right, left, right) to out.
inline void AddFrames4(float* out, __m128 s, __m128 gains01, __m128 gains23) {
    _mm_storeu_ps(out, _mm_add_ps(_mm_loadu_ps(out), _mm_mul_ps(_mm_unpacklo_ps(s, s), gains01)));
    _mm_storeu_ps(out + 4,
                  _mm_add_ps(_mm_loadu_ps(out + 4), _mm_mul_ps(_mm_unpackhi_ps(s, s), gains23)));
}
#endif

} // namespace

// The inner loop: `frames` frames of one voice at fixed gains added to out (contract in
// mixer.h); four frames at a time, then one by one.
void MixFrames(const int16_t* data, uint64_t& position, uint64_t step, float gainLeft,
               float gainRight, float* out, int32_t frames) {
    uint64_t p = position;
#if defined(__SSE2__)
    const __m128 gains = _mm_setr_ps(gainLeft, gainRight, gainLeft, gainRight);
    const __m128i fractionStep = _mm_set1_epi32(static_cast<int32_t>(4 * step));
    __m128i fractions = Fractions4(p, step);
    for (; frames >= 4; frames -= 4, out += 8) {
        AddFrames4(out, SampleAt4(data, p, step, fractions), gains, gains);
        p += 4 * step;
        fractions = _mm_add_epi32(fractions, fractionStep);
    }
#endif
    for (; frames > 0; --frames, out += 2) {
        const float s = SampleAt(data, p);
        p += step;
        out[0] += s * gainLeft;
        out[1] += s * gainRight;
    }
    position = p;
}

// The inner loop during a ramp: the gains change by a step after each frame.
void MixRampFrames(const int16_t* data, uint64_t& position, uint64_t step, float& gainLeft,
                   float& gainRight, float stepLeft, float stepRight, float* out, int32_t frames) {
    uint64_t p = position;
    float left = gainLeft;
    float right = gainRight;
#if defined(__SSE2__)
    const __m128i fractionStep = _mm_set1_epi32(static_cast<int32_t>(4 * step));
    __m128i fractions = Fractions4(p, step);
    for (; frames >= 4; frames -= 4, out += 8) {
        // The gains still move one frame at a time, as in the scalar loop.
        const float left1 = left + stepLeft;
        const float right1 = right + stepRight;
        const float left2 = left1 + stepLeft;
        const float right2 = right1 + stepRight;
        const float left3 = left2 + stepLeft;
        const float right3 = right2 + stepRight;
        AddFrames4(out, SampleAt4(data, p, step, fractions),
                   _mm_setr_ps(left, right, left1, right1),
                   _mm_setr_ps(left2, right2, left3, right3));
        p += 4 * step;
        fractions = _mm_add_epi32(fractions, fractionStep);
        left = left3 + stepLeft;
        right = right3 + stepRight;
    }
#endif
    for (; frames > 0; --frames, out += 2) {
        const float s = SampleAt(data, p);
        p += step;
        out[0] += s * left;
        out[1] += s * right;
        left += stepLeft;
        right += stepRight;
    }
    position = p;
    gainLeft = left;
    gainRight = right;
}

namespace {

uint8_t GainByte(float gain) {
    const float scaled = std::nearbyint(gain * 255.0f);
    if (scaled <= 0.0f)
        return 0;
    if (scaled >= 255.0f)
        return 255;
    return static_cast<uint8_t>(scaled);
}

// Starts, continues or skips the ramp of one pass. A ramp that continues into
// a later pass with unchanged targets takes its steps again from the gains
// applied now to the targets over the frames it has left, so it always lands
// on them. True while a ramp runs.
bool PrepareRamp(Voice& voice) {
    if (voice.rampRemaining > 0 && voice.leftVolume == voice.lastLeftTarget &&
        voice.rightVolume == voice.lastRightTarget) {
        const float inverse = 1.0f / static_cast<float>(voice.rampRemaining);
        voice.leftStep =
            static_cast<float>(voice.leftVolume - voice.currentLeft) * kGainScale * inverse;
        voice.rightStep =
            static_cast<float>(voice.rightVolume - voice.currentRight) * kGainScale * inverse;
        return true;
    }
    voice.lastLeftTarget = voice.leftVolume;
    voice.lastRightTarget = voice.rightVolume;
    if (voice.leftVolume == voice.currentLeft && voice.rightVolume == voice.currentRight) {
        voice.rampRemaining = 0;
        return false;
    }
    voice.leftStep = static_cast<float>(voice.leftVolume - voice.currentLeft) * kGainScale *
                     mixRing.inverseRampSamples;
    voice.rightStep = static_cast<float>(voice.rightVolume - voice.currentRight) * kGainScale *
                      mixRing.inverseRampSamples;
    voice.rampRemaining = mixRing.rampSamples;
    return true;
}

// Ping-pong reflections about the loop ends, one fraction unit inside them.
void ReflectAtEnd(Voice& voice, uint64_t loopEnd) {
    const uint64_t over = voice.position - loopEnd;
    voice.position = loopEnd - 1 - over;
    voice.direction = kBackward;
}
void ReflectAtStart(Voice& voice, uint64_t loopStart) {
    const uint64_t under = loopStart - voice.position;
    // Landing exactly on the start must not step one unit below it: at a
    // loop start of 0 that would wrap the position to the far end of memory.
    voice.position = under > 0 ? loopStart + under - 1 : loopStart;
    voice.direction = kForward;
}

// The position has reached the boundary of its direction. Wraps or reflects
// it into the loop; false when the voice has stopped.
bool HandleEnd(Voice& voice, const Sample& sample, uint64_t loopStart, uint64_t loopEnd) {
    const uint64_t loopLength = loopEnd - loopStart;
    if (sample.loopMode == kLoopForward) {
        // Back by one loop; by more when a large step went past it.
        voice.position -= loopLength;
        if (static_cast<int64_t>(voice.position - loopStart) < 0)
            voice.position = loopStart;
        if (voice.position >= loopEnd)
            voice.position = loopStart + (voice.position - loopStart) % loopLength;
        return true;
    }
    if (sample.loopMode == kLoopPingPong) {
        if (voice.direction == kBackward) {
            ReflectAtStart(voice, loopStart);
            if (voice.position >= loopEnd)
                ReflectAtEnd(voice, loopEnd);
        } else {
            ReflectAtEnd(voice, loopEnd);
            if (static_cast<int64_t>(voice.position - loopStart) < 0)
                ReflectAtStart(voice, loopStart);
        }
        // A step longer than twice the loop can still be outside.
        if (static_cast<int64_t>(voice.position - loopStart) < 0 || voice.position >= loopEnd) {
            voice.position = loopStart;
            voice.direction = kForward;
        }
        return true;
    }
    voice.position = 0;
    voice.sample = nullptr;
    return false;
}

// Mixes count frames of one sounding voice, pass by pass: a pass ends at the
// loop or sample end, or where a ramp ends, so the inner loops test nothing.
void MixVoice(Voice& voice, float* out, int32_t count) {
    const Sample& sample = *voice.sample;
    const int16_t* data = sample.data;
    const uint64_t loopStart = static_cast<uint64_t>(sample.loopStart) << 32;
    const uint64_t loopEnd = (static_cast<uint64_t>(sample.loopStart) + sample.loopLength) << 32;
    int32_t remaining = count;
    int emptyPasses = 0;
    while (remaining > 0) {
        // Frames until the position first reaches or passes the boundary of
        // its direction: an exact 64-bit division, so no frame is ever mixed
        // past the end whatever the step.
        int32_t passCount = remaining;
        bool hitEnd = false;
        const uint64_t step = voice.step;
        const bool backward = voice.direction == kBackward;
        if (step != 0) {
            const int64_t distance = backward ? static_cast<int64_t>(voice.position - loopStart)
                                              : static_cast<int64_t>(loopEnd - voice.position);
            const uint64_t toEnd =
                distance <= 0 ? 0 : (static_cast<uint64_t>(distance) + step - 1) / step;
            if (toEnd <= static_cast<uint64_t>(passCount)) {
                passCount = static_cast<int32_t>(toEnd);
                hitEnd = true;
            }
        }
        const bool ramping = PrepareRamp(voice);
        if (ramping && voice.rampRemaining < passCount) {
            passCount = voice.rampRemaining;
            hitEnd = false;
        }

        const uint64_t signedStep = backward ? 0 - step : step;
        float* frames = out + 2 * static_cast<int64_t>(count - remaining);
        if (ramping) {
            float gainLeft = voice.currentLeft * kGainScale;
            float gainRight = voice.currentRight * kGainScale;
            MixRampFrames(data, voice.position, signedStep, gainLeft, gainRight, voice.leftStep,
                          voice.rightStep, frames, passCount);
            voice.rampRemaining -= passCount;
            if (voice.rampRemaining == 0) {
                voice.currentLeft = voice.lastLeftTarget;
                voice.currentRight = voice.lastRightTarget;
            } else {
                voice.currentLeft = GainByte(gainLeft);
                voice.currentRight = GainByte(gainRight);
            }
        } else if (voice.leftVolume == 0 && voice.rightVolume == 0) {
            // Silent: the position moves exactly as if it had been mixed.
            voice.position += signedStep * static_cast<uint64_t>(passCount);
        } else {
            MixFrames(data, voice.position, signedStep, voice.leftVolume * kGainScale,
                      voice.rightVolume * kGainScale, frames, passCount);
        }
        remaining -= passCount;

        if (hitEnd) {
            // Passes that mix nothing are boundary corrections; a loop of at
            // least one sample needs at most two in a row.
            emptyPasses = passCount == 0 ? emptyPasses + 1 : 0;
            if (emptyPasses > 2 || !HandleEnd(voice, sample, loopStart, loopEnd)) {
                voice.position = 0;
                voice.sample = nullptr;
                return;
            }
        }
    }
}

} // namespace

bool SetMixRate(int32_t rate) {
    if (rate < kMinMixRate || rate > kMaxMixRate || mixRing.mixStorage != nullptr)
        return false;
    const RingGeometry ring = ComputeRingGeometry(rate);
    mixRing.mixRate = ring.mixRate;
    mixRing.blockSamples = ring.blockSamples;
    mixRing.ringSamples = ring.ringSamples;
    mixRing.blockCount = ring.blockCount;
    mixRing.rampSamples = ring.rampSamples;
    mixRing.inverseRate = ring.inverseRate;
    mixRing.inverseRampSamples = 1.0f / static_cast<float>(ring.rampSamples);
    mixRing.fillBlock = 0;
    SilenceVoices();
    return true;
}

bool AllocateMixRing() {
    if (mixRing.mixRate == 0)
        return false;
    FreeMixRing();
    const size_t floats = 2 * static_cast<size_t>(mixRing.ringSamples);
    mixRing.pcmRing = new (std::nothrow) int16_t[floats]();
    // Four spare floats let the working start move up to a 16-byte boundary.
    mixRing.mixStorage = new (std::nothrow) float[floats + 4]();
    if (mixRing.pcmRing == nullptr || mixRing.mixStorage == nullptr) {
        FreeMixRing();
        return false;
    }
    const uintptr_t address = reinterpret_cast<uintptr_t>(mixRing.mixStorage);
    mixRing.mixBuffer = mixRing.mixStorage + ((16 - address % 16) % 16) / sizeof(float);
    mixRing.fillBlock = 0;
    return true;
}

void FreeMixRing() {
    delete[] mixRing.pcmRing;
    delete[] mixRing.mixStorage;
    mixRing.pcmRing = nullptr;
    mixRing.mixStorage = nullptr;
    mixRing.mixBuffer = nullptr;
}

void SilenceVoices() {
    for (Voice& voice : voices)
        voice = Voice{};
}

namespace {

// Forgets any hand-over and restarts the count of the song's frames.
void ForgetHandOver() {
    mixRing.followingSong = nullptr;
    mixRing.retiredSong = nullptr;
    mixRing.songFrames = 0;
}

// At a tick boundary, after the playing song's tick: whether the following
// song takes over here.
bool HandOverDue(const Song& song) {
    return mixRing.followingSong != nullptr &&
           (song.passes > 0 || mixRing.songFrames >= mixRing.handOverFrames);
}

// The following song takes over from its first tick, as StartSong would
// start it; the one it follows is retired. Returns the song now playing.
Song* HandOver() {
    Song* next = mixRing.followingSong;
    mixRing.retiredSong = mixRing.currentSong;
    mixRing.followingSong = nullptr;
    mixRing.songFrames = 0;
    SilenceVoices();
    ResetReplay(next);
    mixRing.currentSong = next;
    if (next->tickHandler != nullptr)
        next->tickHandler(next);
    return next;
}

} // namespace

void StartSong(Song* song) {
    SilenceVoices();
    ForgetHandOver();
    if (song != nullptr)
        ResetReplay(song);
    mixRing.currentSong = song;
    mixRing.fillBlock = 0;
}

void DetachSong() {
    mixRing.currentSong = nullptr;
    ForgetHandOver();
    SilenceVoices();
}

void FillBlock() {
    if (mixRing.mixBuffer == nullptr || mixRing.pcmRing == nullptr)
        return;
    const int32_t blockSamples = mixRing.blockSamples;
    float* block = mixRing.mixBuffer + 2 * static_cast<int64_t>(mixRing.fillBlock) * blockSamples;
    std::memset(block, 0, 2 * sizeof(float) * static_cast<size_t>(blockSamples));
    Song* song = mixRing.currentSong;
    if (song != nullptr) {
        int32_t left = song->samplesLeftInTick;
        int32_t done = 0;
        while (done < blockSamples) {
            if (left <= 0) {
                // The tick may change the tempo; its own length is read after it.
                if (song->tickHandler != nullptr)
                    song->tickHandler(song);
                if (HandOverDue(*song))
                    song = HandOver();
                left = song->samplesPerTick > 0 ? song->samplesPerTick : 1;
            }
            const int32_t n = left < blockSamples - done ? left : blockSamples - done;
            MixVoices(block + 2 * done, n);
            mixRing.songFrames += n;
            done += n;
            left -= n;
        }
        song->samplesLeftInTick = left;
    } else {
        MixVoices(block, blockSamples);
    }
    ConvertToPcm16(BlockPcm(mixRing.fillBlock), block, blockSamples);
    mixRing.fillBlock = mixRing.fillBlock + 1 >= mixRing.blockCount ? 0 : mixRing.fillBlock + 1;
}

void MixVoices(float* destination, int32_t count) {
    if (count < 1 || destination == nullptr)
        return;
    for (Voice& voice : voices) {
        if (voice.sample != nullptr && voice.sample->data != nullptr)
            MixVoice(voice, destination, count);
    }
}

void ConvertToPcm16(int16_t* destination, const float* source, int32_t frames) {
    if (frames < 1 || destination == nullptr || source == nullptr)
        return;
    const int32_t values = 2 * frames;
    int32_t i = 0;
#if defined(__SSE2__)
    // The conversion rounds to nearest, ties to even (the default rounding
    // mode, as nearbyint below); packing saturates to 16 bits. Values at or
    // above 32767 are capped first, since a float beyond 2^31 converts to the
    // integer minimum; a NaN passes the cap and also ends as −32768.
    const __m128 high = _mm_set1_ps(32767.0f);
    for (; i + 8 <= values; i += 8) {
        const __m128i low4 = _mm_cvtps_epi32(_mm_min_ps(high, _mm_loadu_ps(source + i)));
        const __m128i high4 = _mm_cvtps_epi32(_mm_min_ps(high, _mm_loadu_ps(source + i + 4)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(destination + i), _mm_packs_epi32(low4, high4));
    }
#endif
    for (; i < values; ++i) {
        const float v = source[i];
        int32_t s;
        if (v >= 32767.0f)
            s = 32767;
        else if (v > -32768.0f)
            s = static_cast<int32_t>(std::nearbyint(v));
        else
            s = -32768; // also what a NaN would become
        destination[i] = static_cast<int16_t>(s);
    }
}
