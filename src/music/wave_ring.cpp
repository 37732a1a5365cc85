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

uint64_t AdvancePlayPosition(PlayPosition& position, uint32_t deviceBytes) {
    // The modular difference is right across the device's wrap.
    position.totalBytes += static_cast<uint32_t>(deviceBytes - position.lastBytes);
    position.lastBytes = deviceBytes;
    return position.totalBytes;
}

int32_t PlayBlockOf(const RingGeometry& ring, uint64_t totalBytes) {
    const uint64_t played = totalBytes / 4;
    return static_cast<int32_t>((played % static_cast<uint64_t>(ring.ringSamples)) /
                                static_cast<uint64_t>(ring.blockSamples));
}

bool ShouldFillBlock(int32_t fillBlock, int32_t playBlock, int32_t blockCount) {
    if (fillBlock == playBlock)
        return false;
    const int32_t previous = playBlock == 0 ? blockCount - 1 : playBlock - 1;
    return !(fillBlock > previous && (previous != 0 || fillBlock == 1));
}
