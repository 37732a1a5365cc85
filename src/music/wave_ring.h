// Geometry of the output ring and the mixer thread's fill decisions.
//
// The wave-output device plays a ring of 16-bit stereo blocks in an endless
// loop; the mixer thread mixes each block again right after the device has
// played it, trailing the play position by one block. Everything here is
// arithmetic on sample and block numbers, the same on every platform.
#pragma once

#include <cstdint>

#include "music/wave_device.h"

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
    // A reading far behind lastBytes that may be the first of a restarted
    // counter, waiting for the next reading to agree.
    bool backSeen = false;
    uint32_t backBytes = 0;
};

// The bytes (modulo 2^32) a device's reading stands for at mixRate frames
// per second, 4 bytes a frame: a millisecond answer is turned into the bytes
// played in that time. False for a reading without a unit.
bool ReadingBytes(const WaveReading& reading, int32_t mixRate, uint32_t& bytes);

// Feeds one reading of the device's byte position (which starts at 0 when
// playback starts); returns the total bytes played. A reading below the last
// one (by less than 2^31 bytes, as a wrap never is) counts as no movement
// unless it cannot be jitter: then the device's counter has restarted (a
// driver reset, another device) and it plays the ring from its start again.
// It cannot be jitter when it is back by half a ring or more (a second: no
// device wobbles that far) and either lies below one ring's bytes (a counter
// that started again from 0) or agrees with the reading before, which was as
// far back and at most a ring behind it (the new counter runs on). On a
// restart the total moves on to the first count from here that lies at the
// same place of the ring, and the writer, trailing that, fills ahead of the
// new play position.
uint64_t AdvancePlayPosition(PlayPosition& position, uint32_t deviceBytes,
                             const RingGeometry& ring);

// The block the device is playing after totalBytes (4 bytes per stereo
// sample), counted from the start of playback across the loops; it lies in
// ring slot PlayingBlock % blockCount.
int64_t PlayingBlock(const RingGeometry& ring, uint64_t totalBytes);

// The mixer thread's fill decisions, over block counts that never wrap.
// Block n of the music goes into slot n % blockCount and is heard while the
// device plays block n. The writer mixes block next once the device has
// played what that slot held before (block next − blockCount): it fills
// while next < playing + blockCount, so that it trails the device by one
// block and the ring always holds the coming two seconds.
bool FillDue(int64_t next, int64_t playing, int32_t blockCount);
// After a stall of a whole ring or more, the device has already played the
// slot of block next with stale music (next <= playing): the writer goes on
// from the block after the playing one rather than mix music that would be
// heard a ring late. Returns the block to mix next.
int64_t CatchUpFill(int64_t next, int64_t playing);
