#include <gtest/gtest.h>

#include <vector>

#include "music/wave_ring.h"

namespace {

// The blocks the mixer thread fills for one play position, starting at fill.
std::vector<int32_t> BlocksFilled(int32_t& fill, int32_t play, int32_t blockCount) {
    std::vector<int32_t> filled;
    while (ShouldFillBlock(fill, play, blockCount)) {
        filled.push_back(fill);
        fill = (fill + 1) % blockCount;
        if (filled.size() > static_cast<size_t>(blockCount))
            break; // would loop for ever
    }
    return filled;
}

TEST(WaveRing, GeometryAtTheUsualRates) {
    const RingGeometry cd = ComputeRingGeometry(44100);
    EXPECT_EQ(cd.blockSamples, 884);
    EXPECT_EQ(cd.ringSamples, 88400);
    EXPECT_EQ(cd.blockCount, 100);
    EXPECT_EQ(cd.rampSamples, 128);
    EXPECT_FLOAT_EQ(cd.inverseRate, 1.0f / 44100.0f);

    const RingGeometry half = ComputeRingGeometry(22050);
    EXPECT_EQ(half.blockSamples, 444);
    EXPECT_EQ(half.ringSamples, 44400);
    EXPECT_EQ(half.blockCount, 100);
    EXPECT_EQ(half.rampSamples, 64);

    const RingGeometry odd = ComputeRingGeometry(0);
    EXPECT_GT(odd.blockSamples, 0);
    EXPECT_GT(odd.rampSamples, 0);
    EXPECT_EQ(odd.blockCount, 100);
}

TEST(WaveRing, FillDecisions) {
    int32_t fill = 99;
    EXPECT_EQ(BlocksFilled(fill, 0, 100), (std::vector<int32_t>{99}));
    EXPECT_EQ(fill, 0);

    fill = 98;
    EXPECT_EQ(BlocksFilled(fill, 1, 100), (std::vector<int32_t>{98, 99, 0}));
    EXPECT_EQ(fill, 1);

    fill = 98;
    EXPECT_TRUE(BlocksFilled(fill, 5, 100).empty());
    EXPECT_EQ(fill, 98);

    // The writer catches up with a device that moved on by a few blocks.
    fill = 10;
    EXPECT_EQ(BlocksFilled(fill, 13, 100), (std::vector<int32_t>{10, 11, 12}));
    // Nothing to do when the writer is right behind the device.
    EXPECT_TRUE(BlocksFilled(fill, 13, 100).empty());
}

TEST(WaveRing, PlayBlockFollowsTheDevicePosition) {
    const RingGeometry ring = ComputeRingGeometry(44100);
    PlayPosition position;
    EXPECT_EQ(PlayBlockOf(ring, AdvancePlayPosition(position, 0)), 0);
    EXPECT_EQ(PlayBlockOf(ring, AdvancePlayPosition(position, 884 * 4 - 4)), 0);
    EXPECT_EQ(PlayBlockOf(ring, AdvancePlayPosition(position, 884 * 4)), 1);
    EXPECT_EQ(PlayBlockOf(ring, AdvancePlayPosition(position, 88400 * 4 + 884 * 4 * 3)), 3);
}

TEST(WaveRing, DeviceCounterWrapKeepsTheBlockContinuous) {
    const RingGeometry ring = ComputeRingGeometry(44100);
    PlayPosition position;
    // Walk the device counter in 20 ms steps up to and over 2^32 bytes: the
    // play block must advance by one (mod the ring) at every step, never jump.
    const uint32_t step = static_cast<uint32_t>(ring.blockSamples) * 4;
    uint32_t device = (0xFFFFFFFFu / step - 2) * step;
    // Bring the tracker to that point as a long run of readings would.
    position.lastBytes = device;
    position.totalBytes = device;
    int32_t block = PlayBlockOf(ring, position.totalBytes);
    for (int i = 0; i < 10; ++i) {
        device += step; // wraps once on the way
        const int32_t next = PlayBlockOf(ring, AdvancePlayPosition(position, device));
        EXPECT_EQ(next, (block + 1) % ring.blockCount) << "step " << i;
        block = next;
    }
    EXPECT_GT(position.totalBytes, uint64_t{0xFFFFFFFF});
}

} // namespace
