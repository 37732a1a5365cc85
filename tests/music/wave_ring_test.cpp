#include <gtest/gtest.h>

#include <vector>

#include "music/wave_ring.h"

namespace {

// The ring slots the mixer thread fills in one look at the device, which
// plays block `playing`; next is the block it mixes next (both counted from
// the start of playback).
std::vector<int32_t> SlotsFilled(int64_t& next, int64_t playing, int32_t blockCount) {
    std::vector<int32_t> filled;
    next = CatchUpFill(next, playing);
    while (FillDue(next, playing, blockCount)) {
        filled.push_back(static_cast<int32_t>(next % blockCount));
        ++next;
        if (filled.size() > static_cast<size_t>(blockCount))
            break; // would loop for ever
    }
    return filled;
}

std::vector<int32_t> Range(int32_t from, int32_t to) {
    std::vector<int32_t> slots;
    for (int32_t s = from; s < to; ++s)
        slots.push_back(s);
    return slots;
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
    // Started: the ring holds blocks 0 to 99; slot 0 is mixed again once the
    // device has left it.
    int64_t next = 100;
    EXPECT_TRUE(SlotsFilled(next, 0, 100).empty());
    EXPECT_EQ(SlotsFilled(next, 1, 100), (std::vector<int32_t>{0}));

    // Playing slot 0 of a later loop with the writer at slot 99: slot 99 only.
    next = 199;
    EXPECT_EQ(SlotsFilled(next, 100, 100), (std::vector<int32_t>{99}));
    EXPECT_EQ(next, 200);
    // Playing slot 1 with the writer at 98: 98, 99 and 0.
    next = 198;
    EXPECT_EQ(SlotsFilled(next, 101, 100), (std::vector<int32_t>{98, 99, 0}));
    EXPECT_EQ(next, 201);
    // Playing slot 5 with the writer at 98, after a stall of seven blocks
    // across the end of the ring: 98 to 4 are still ahead of the device, so
    // they are mixed now, in time to be heard (taken for a writer ahead of the
    // device, they would wait a whole ring and the ring would play twice).
    next = 198;
    std::vector<int32_t> expected = Range(98, 100);
    for (int32_t s : Range(0, 5))
        expected.push_back(s);
    EXPECT_EQ(SlotsFilled(next, 105, 100), expected);
    EXPECT_EQ(next, 205);
    // Nothing more while the device stays in that block.
    EXPECT_TRUE(SlotsFilled(next, 105, 100).empty());

    // A stall of more than a ring: the device has played slot 98 and on with
    // stale music. The writer goes on after the playing block (slot 6 of block
    // 206) and fills the whole ring but the playing slot.
    next = 198;
    expected = Range(6, 100);
    for (int32_t s : Range(0, 5))
        expected.push_back(s);
    EXPECT_EQ(SlotsFilled(next, 205, 100), expected);
    EXPECT_EQ(next, 305);
}

TEST(WaveRing, PlayBlockFollowsTheDevicePosition) {
    const RingGeometry ring = ComputeRingGeometry(44100);
    PlayPosition position;
    EXPECT_EQ(PlayingBlock(ring, AdvancePlayPosition(position, 0, ring)), 0);
    EXPECT_EQ(PlayingBlock(ring, AdvancePlayPosition(position, 884 * 4 - 4, ring)), 0);
    EXPECT_EQ(PlayingBlock(ring, AdvancePlayPosition(position, 884 * 4, ring)), 1);
    // Counted across the loops of the ring.
    EXPECT_EQ(PlayingBlock(ring, AdvancePlayPosition(position, 88400 * 4 + 884 * 4 * 3, ring)),
              103);
    // A reading that goes back a little is no movement, not a wrap.
    EXPECT_EQ(AdvancePlayPosition(position, 88400 * 4 + 884 * 4 * 3 - 8, ring),
              88400 * 4 + 884 * 4 * 3);
    EXPECT_EQ(AdvancePlayPosition(position, 88400 * 4 + 884 * 4 * 4, ring),
              88400 * 4 + 884 * 4 * 4);
}

TEST(WaveRing, AStepBackIsARestartOnlyWhenItCannotBeJitter) {
    const RingGeometry ring = ComputeRingGeometry(44100);
    constexpr uint32_t kMs = 44100 * 4 / 1000; // bytes in a millisecond (176.4, rounded down)
    constexpr uint32_t kRing = 88400 * 4;
    struct Case {
        const char* what;
        uint32_t start;                 // the device's reading before
        std::vector<uint32_t> readings; // the readings that follow
        uint64_t total;                 // bytes played afterwards, counted from start
    };
    const Case cases[] = {
        // A wobble of 40 ms, once or on two looks, is no movement until the
        // device is past where it was; nothing is skipped.
        {"a wobble", 10000 * kMs, {9960 * kMs, 10020 * kMs}, 10020 * kMs},
        {"a wobble on two looks", 10000 * kMs, {9960 * kMs, 9965 * kMs, 10010 * kMs}, 10010 * kMs},
        {"a wobble in the first ring", 1500 * kMs, {1460 * kMs, 1505 * kMs}, 1505 * kMs},
        {"a wobble of most of a second", 10000 * kMs, {9100 * kMs, 9200 * kMs}, 10000 * kMs},
        // A counter that starts again from 0: below one ring's bytes and far
        // back, it is followed at once to its place in the ring.
        {"a restart",
         10000 * kMs,
         {100 * kMs},
         10000 * kMs + 100 * kMs + kRing - 10000 * kMs % kRing},
        // Far back but above a ring: a restart once the next reading agrees.
        {"a restart seen late", 10000 * kMs, {3000 * kMs}, 10000 * kMs},
        {"... and agreed",
         10000 * kMs,
         {3000 * kMs, 3005 * kMs},
         10000 * kMs + (3005 * kMs % kRing + kRing - 10000 * kMs % kRing) % kRing},
        {"... and not agreed", 10000 * kMs, {3000 * kMs, 10010 * kMs}, 10010 * kMs},
    };
    for (const Case& c : cases) {
        PlayPosition position;
        position.lastBytes = c.start;
        position.totalBytes = c.start;
        uint64_t total = 0;
        for (uint32_t reading : c.readings)
            total = AdvancePlayPosition(position, reading, ring);
        EXPECT_EQ(total, c.total) << c.what;
    }
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
    int64_t block = PlayingBlock(ring, position.totalBytes);
    for (int i = 0; i < 10; ++i) {
        device += step; // wraps once on the way
        const int64_t next = PlayingBlock(ring, AdvancePlayPosition(position, device, ring));
        EXPECT_EQ(next, block + 1) << "step " << i;
        block = next;
    }
    EXPECT_GT(position.totalBytes, uint64_t{0xFFFFFFFF});
}

} // namespace
