// Geometry of the output ring and the mixer thread's fill decisions.
//
// The wave-output device plays a ring of 16-bit stereo blocks in an endless
// loop; the mixer thread mixes each block again right after the device has
// played it, trailing the play position by one block. Everything here is
// arithmetic on sample and block numbers, the same on every platform.
#pragma once

#include <cstdint>

struct RingGeometry {
    int32_t mixRate = 0;      // stereo samples per second
    int32_t blockSamples = 0; // stereo samples per block (about 20 ms, a multiple of 4)
    int32_t ringSamples = 0;  // stereo samples in the ring (about 2 s)
    int32_t blockCount = 0;   // blocks in the ring
    int32_t rampSamples = 0;  // length of a volume ramp, in samples
    float inverseRate = 0.0f; // 1 / mixRate
};

// The ring for a mix rate in samples per second; rates below 1 are taken as 1
// so that every figure stays positive.
RingGeometry ComputeRingGeometry(int32_t mixRate);

// Turns the device's 32-bit byte position into a 64-bit count of bytes
// played, so that the play block stays continuous when the device's counter
// wraps at 2^32 bytes (about 6.8 hours at 44,100 Hz).
struct PlayPosition {
    uint32_t lastBytes = 0;
    uint64_t totalBytes = 0;
};

// Feeds one reading of the device's byte position (which starts at 0 when
// playback starts); returns the total bytes played.
uint64_t AdvancePlayPosition(PlayPosition& position, uint32_t deviceBytes);

// The block the device is playing after totalBytes (4 bytes per stereo sample).
int32_t PlayBlockOf(const RingGeometry& ring, uint64_t totalBytes);

// Whether the mixer thread mixes fillBlock now, given the block the device
// plays: it fills up to (not including) the play block, and holds back while
// the fill position is ahead of the block before the play block, which
// happens when a stall let the device pass the writer.
bool ShouldFillBlock(int32_t fillBlock, int32_t playBlock, int32_t blockCount);
