// Software mixer: 32 voices mixed into a ring of 16-bit stereo blocks.
//
// The ring is the contract with an output device. A device back-end (the
// Windows wave output, xm2wav's file writer, a test) does:
//   SetMixRate (rate)        once the device rate is known; clears the voices
//   AllocateMixRing ()       the float mix area and the 16-bit ring
//   StartSong (song)         silences every voice and resets the replay
//   FillBlock ()             as often as it likes: mixes block fillBlock into
//                            pcmRing and moves fillBlock on, wrapping at
//                            blockCount; the device plays the ring in a loop
//   FreeSong (song)          (song.h) detaches the song from the mixer
//   FreeMixRing ()           when the device no longer holds pcmRing
// FillBlock runs the replay tick whenever a tick's worth of samples has been
// mixed, so the song advances only as fast as blocks are filled. None of it
// allocates or blocks; it runs on one thread at a time (the wave output's
// mixer thread, or the caller's thread before that thread exists).
//
// The hand-over from one song to the next, without a gap: with followingSong
// set, FillBlock plays it from the first tick at which currentSong has come
// back to a row it had played (a once-through pass, replay.h), or has played
// handOverFrames frames (a bound for a song whose return goes unnoticed),
// whichever comes first. The voices are silenced there and the following
// song starts from its first row, exactly as StartSong would start it; the
// song handed over from is left in retiredSong for its owner to free.
#pragma once

#include <cstdint>

#include "music/song.h"

inline constexpr int kVoiceCount = kMaxChannels;
inline constexpr uint8_t kForward = 1;
inline constexpr uint8_t kBackward = 2;

// One mixer voice; voice i belongs to channel i. UpdateVoice (channel.h)
// writes the targets and starts and stops the voice; the mixer moves it.
struct Voice {
    int32_t volume;                          // 0..127
    int32_t pan;                             // 0..255, 0 = left
    uint32_t startOffset;                    // sample offset for the next trigger
    const Sample* sample;                    // none: silent
    uint8_t leftVolume;                      // target gain × 255, left output
    uint8_t rightVolume;                     // target gain × 255, right output
    uint64_t position;                       // 32.32 fixed point, in samples
    uint64_t step;                           // 32.32 fixed point, samples per output frame
    int32_t direction;                       // kForward, or kBackward in a ping-pong loop
    uint8_t lastLeftTarget, lastRightTarget; // targets when the running ramp began
    uint8_t currentLeft, currentRight;       // gains × 255 actually applied
    float leftStep, rightStep;               // per-frame gain change of the ramp
    int32_t rampRemaining;                   // frames left in the running ramp
};

// Output geometry (as ComputeRingGeometry in wave_ring.h makes it), the
// ring and what plays into it.
struct MixRing {
    int32_t mixRate;      // output frames per second
    int32_t blockSamples; // frames per block, about 20 ms, a multiple of 4
    int32_t ringSamples;  // frames in the ring, about 2 s
    int32_t blockCount;   // blocks in the ring
    int32_t rampSamples;  // frames of a volume ramp (128 at 44,100 Hz)
    float inverseRate;
    float inverseRampSamples;
    int16_t* pcmRing;  // ringSamples interleaved left/right 16-bit frames
    float* mixBuffer;  // ringSamples float frames (left, right), 16-byte aligned
    int32_t fillBlock; // next block to mix, 0..blockCount − 1
    Song* currentSong; // what FillBlock plays; none mixes silence
    float* mixStorage; // the allocation mixBuffer lies in
    // The hand-over (above). StartSong and DetachSong forget both songs and
    // restart the count; whoever sets followingSong sets handOverFrames.
    Song* followingSong;    // plays after currentSong; none: currentSong plays on
    Song* retiredSong;      // the song handed over from, until its owner takes it
    int64_t songFrames;     // frames mixed of currentSong since it started
    int64_t handOverFrames; // songFrames from which followingSong takes over anyway
};

extern MixRing mixRing;
extern Voice voices[kVoiceCount];

inline constexpr int32_t kMinMixRate = 4000;
inline constexpr int32_t kMaxMixRate = 192000;

// Sets the rate and derives the geometry; clears every voice. False, with
// nothing changed, for a rate outside kMinMixRate..kMaxMixRate or while a
// ring is allocated (its size depends on the rate).
bool SetMixRate(int32_t rate);
// Allocates the zero-filled ring and mix area for the current geometry,
// replacing any earlier ones: never while a device still plays pcmRing.
// False when memory runs out or no rate is set.
bool AllocateMixRing();
void FreeMixRing();

// Every voice stops and forgets its gains and ramps: the next note starts
// from silence. For starting another song after one has played.
void SilenceVoices();
// Silences the voices, resets the replay of song (replay.h) and makes it the
// one FillBlock plays, from block 0. Song none just stops the mixing.
void StartSong(Song* song);
// The mixer forgets its song and silences the voices.
void DetachSong();

// Mixes block fillBlock into mixBuffer, converts it into pcmRing and moves
// fillBlock on. Does nothing without a ring.
void FillBlock();
// The 16-bit frames of block b of the ring.
inline int16_t* BlockPcm(int32_t block) {
    return mixRing.pcmRing + 2 * static_cast<int64_t>(block) * mixRing.blockSamples;
}

// Adds count frames of every sounding voice to the interleaved float frames
// at destination. The mixer's hot loop; nothing for count < 1.
void MixVoices(float* destination, int32_t count);
// The inner loop: adds `frames` frames of one voice at fixed gains to the
// (left, right) floats at out, from `position` on by `step` (32.32, negated to
// go backward; the caller keeps every frame's data[i + 1] inside the sample);
// per frame s = a + t × (b − a), left += s × gainLeft, right += s × gainRight.
// Leaves `position` one step past the last frame.
void MixFrames(const int16_t* data, uint64_t& position, uint64_t step, float gainLeft,
               float gainRight, float* out, int32_t frames);
// The same during a volume ramp: after each frame the gains move by stepLeft
// and stepRight, and are left where the last frame's step took them.
void MixRampFrames(const int16_t* data, uint64_t& position, uint64_t step, float& gainLeft,
                   float& gainRight, float stepLeft, float stepRight, float* out, int32_t frames);
// Rounds 2 × frames floats to the nearest integer (ties to even) and clamps
// them to 16 bits. Nothing for frames < 1 or a missing buffer.
void ConvertToPcm16(int16_t* destination, const float* source, int32_t frames);
