#include "music/wave_ring.h"

RingGeometry ComputeRingGeometry(int32_t mixRate) {
    if (mixRate < 1)
        mixRate = 1;
    RingGeometry ring;
    ring.mixRate = mixRate;
    // 20 ms rounded up by 3 and down to a multiple of 4.
    ring.blockSamples = static_cast<int32_t>((static_cast<int64_t>(mixRate) * 20 / 1000 + 3) & ~3);
    if (ring.blockSamples < 4)
        ring.blockSamples = 4;
    // Two seconds' worth of 20 ms blocks.
    ring.ringSamples = (1000 / 20) * 2 * ring.blockSamples;
    ring.blockCount = ring.ringSamples / ring.blockSamples;
    ring.rampSamples = static_cast<int32_t>(static_cast<int64_t>(mixRate) * 128 / 44100);
    if (ring.rampSamples < 1)
        ring.rampSamples = 1;
    ring.inverseRate = 1.0f / static_cast<float>(mixRate);
    return ring;
}

bool ReadingBytes(const WaveReading& reading, int32_t mixRate, uint32_t& bytes) {
    const uint64_t count = reading.count;
    switch (reading.unit) {
    case WaveUnit::Bytes:
        bytes = reading.count;
        return true;
    case WaveUnit::Samples:
        bytes = static_cast<uint32_t>(count * 4);
        return true;
    case WaveUnit::Milliseconds:
        // Exact in 64 bits; taken modulo 2^32 like a byte counter.
        bytes = static_cast<uint32_t>(count * static_cast<uint64_t>(mixRate) * 4 / 1000);
        return true;
    case WaveUnit::None:
        break;
    }
    return false;
}

uint64_t AdvancePlayPosition(PlayPosition& position, uint32_t deviceBytes,
                             const RingGeometry& ring) {
    // The modular difference is right across the device's wrap; one of 2^31
    // or more would be over three hours between two readings, so it is a
    // reading that went back.
    const uint32_t moved = deviceBytes - position.lastBytes;
    if (moved < 0x80000000u) {
        position.totalBytes += moved;
        position.lastBytes = deviceBytes;
        position.backSeen = false;
        return position.totalBytes;
    }
    const uint64_t back = position.lastBytes - deviceBytes;
    const uint64_t ringBytes = static_cast<uint64_t>(ring.ringSamples) * 4;
    if (ringBytes == 0 || back < ringBytes / 2) {
        position.backSeen = false;
        return position.totalBytes; // jitter: no movement
    }
    const bool agrees = position.backSeen && deviceBytes - position.backBytes < ringBytes;
    if (deviceBytes >= ringBytes && !agrees) {
        position.backSeen = true;
        position.backBytes = deviceBytes;
        return position.totalBytes;
    }
    // A restart: the device is at deviceBytes into the ring's loops.
    const uint64_t place = deviceBytes % ringBytes;
    const uint64_t here = position.totalBytes % ringBytes;
    position.totalBytes += (place + ringBytes - here) % ringBytes;
    position.lastBytes = deviceBytes;
    position.backSeen = false;
    return position.totalBytes;
}

int64_t PlayingBlock(const RingGeometry& ring, uint64_t totalBytes) {
    return static_cast<int64_t>(totalBytes / 4 / static_cast<uint64_t>(ring.blockSamples));
}

bool FillDue(int64_t next, int64_t playing, int32_t blockCount) {
    return next < playing + blockCount;
}

int64_t CatchUpFill(int64_t next, int64_t playing) {
    return next > playing ? next : playing + 1;
}
