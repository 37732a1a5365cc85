#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "music/mixer.h"
#include "music/song_source.h"
#include "music/wave_ring.h"
#include "music_test_util.h"

namespace {

constexpr uint64_t kOne = uint64_t{1} << 32; // 1.0 in 32.32

// A sample of n values from generate, with 8 guard samples, as the loader
// leaves it.
struct TestSample {
    std::vector<int16_t> data;
    Sample sample{};
    template <typename F>
    TestSample(uint32_t n, F generate, uint8_t loopMode = kLoopNone, uint32_t loopStart = 0,
               uint32_t loopLength = 0)
        : data(n + 8) {
        for (uint32_t i = 0; i < n; ++i)
            data[i] = static_cast<int16_t>(generate(i));
        sample.data = data.data();
        sample.length = n;
        sample.loopMode = loopMode;
        sample.loopStart = loopMode == kLoopNone ? 0 : loopStart;
        sample.loopLength = loopMode == kLoopNone ? n : loopLength;
        const uint32_t end = sample.loopStart + sample.loopLength;
        if (loopMode == kLoopForward)
            data[end] = data[sample.loopStart];
        else if (loopMode == kLoopPingPong)
            data[end] = data[end - 1];
    }
};

// A voice at full left gain with no ramp pending.
Voice& PlayingVoice(int index, const Sample& sample, uint64_t position, uint64_t step) {
    Voice& voice = voices[index];
    voice = Voice{};
    voice.sample = &sample;
    voice.position = position;
    voice.step = step;
    voice.direction = kForward;
    voice.leftVolume = voice.currentLeft = voice.lastLeftTarget = 255;
    return voice;
}

std::vector<float> Mix(int32_t frames) {
    std::vector<float> out(2 * static_cast<size_t>(frames), 0.0f);
    MixVoices(out.data(), frames);
    return out;
}

} // namespace

TEST_F(MixerTest, RingFollowsTheRate) {
    const RingGeometry cd = ComputeRingGeometry(44100);
    EXPECT_EQ(mixRing.mixRate, 44100);
    EXPECT_EQ(mixRing.blockSamples, cd.blockSamples);
    EXPECT_EQ(mixRing.blockCount, cd.blockCount);
    EXPECT_EQ(mixRing.rampSamples, cd.rampSamples);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(mixRing.mixBuffer) % 16, 0u);
    EXPECT_EQ(BlockPcm(1) - BlockPcm(0), 2 * cd.blockSamples);
    EXPECT_FALSE(SetMixRate(22050)); // not while a ring is allocated
    FreeMixRing();
    ASSERT_TRUE(SetMixRate(22050));
    EXPECT_EQ(mixRing.ringSamples, ComputeRingGeometry(22050).ringSamples);
    EXPECT_EQ(mixRing.rampSamples, 64);
    EXPECT_FALSE(SetMixRate(kMinMixRate - 1));
    EXPECT_FALSE(SetMixRate(kMaxMixRate + 1));
    EXPECT_EQ(mixRing.mixRate, 22050);
    ASSERT_TRUE(SetMixRate(44100));
    ASSERT_TRUE(AllocateMixRing());
}

TEST_F(MixerTest, ForwardLoopWrapsByOneLoop) {
    TestSample s(
        100, [](uint32_t i) { return 100 * static_cast<int>(i); }, kLoopForward, 90, 10);
    Voice& voice = PlayingVoice(0, s.sample, 99 * kOne + 3 * kOne / 4, kOne / 2);
    const std::vector<float> out = Mix(2);
    EXPECT_EQ(voice.position, 90 * kOne + 3 * kOne / 4); // 99.75 → 100.25 → 90.25, then 90.75
    // Frame 0 at 99.75 leans on the guard sample (= sample 90), frame 1 at 90.25.
    EXPECT_NEAR(out[0], 9900 + 0.75f * (9000 - 9900), 0.01);
    EXPECT_NEAR(out[2], 9000 + 0.25f * 100, 0.01);
    EXPECT_EQ(out[1], 0.0f); // nothing on the right
}

TEST_F(MixerTest, NonLoopingVoiceStopsAtItsEnd) {
    TestSample s(100, [](uint32_t) { return 1000; });
    Voice& voice = PlayingVoice(0, s.sample, 90 * kOne, kOne);
    const std::vector<float> out = Mix(30);
    for (int f = 0; f < 30; ++f)
        EXPECT_EQ(out[2 * f], f < 10 ? 1000.0f : 0.0f) << f;
    EXPECT_EQ(voice.sample, nullptr);
    EXPECT_EQ(voice.position, 0u);

    // Step 2.0 from 97: frames at 97 and 99, then the end.
    TestSample ramp(100, [](uint32_t i) { return static_cast<int>(i); });
    PlayingVoice(1, ramp.sample, 97 * kOne, 2 * kOne);
    const std::vector<float> two = Mix(5);
    EXPECT_EQ(two[0], 97.0f);
    EXPECT_EQ(two[2], 99.0f);
    EXPECT_EQ(two[4], 0.0f);
    EXPECT_EQ(voices[1].sample, nullptr);
}

TEST_F(MixerTest, TheLastFrameBeforeTheEndIsMixedHoweverClose) {
    // One 2^-32 short of the loop end: that frame is still mixed (toward the
    // guard sample) before the wrap, and the wrap lands just inside the loop.
    TestSample s(
        10, [](uint32_t i) { return 100 + 10 * static_cast<int>(i); }, kLoopForward, 0, 10);
    Voice& voice = PlayingVoice(0, s.sample, 10 * kOne - 1, kOne);
    const std::vector<float> out = Mix(2);
    EXPECT_NEAR(out[0], 100.0f, 0.01); // 190 leaning all the way to the guard (= 100)
    EXPECT_NEAR(out[2], 110.0f, 0.01);
    EXPECT_EQ(voice.position, 2 * kOne - 1);
}

TEST_F(MixerTest, LargeStepsNeverReadPastTheSample) {
    // 20 samples a frame against a 30-sample sample: frames at 0, 20; then
    // the end. The guard room is 8 samples, so a frame past the end would be
    // an out-of-bounds read (the sanitizer build catches it).
    TestSample s(30, [](uint32_t i) { return static_cast<int>(i); });
    PlayingVoice(0, s.sample, 0, 20 * kOne + 12345);
    const std::vector<float> out = Mix(4);
    EXPECT_EQ(out[0], 0.0f);
    EXPECT_NEAR(out[2], 20.0f, 0.01);
    EXPECT_EQ(out[4], 0.0f);
    EXPECT_EQ(voices[0].sample, nullptr);

    // The same step in a forward loop of 3 samples lands inside it each time.
    TestSample loop(
        30, [](uint32_t i) { return static_cast<int>(i); }, kLoopForward, 20, 3);
    Voice& voice = PlayingVoice(0, loop.sample, 0, 20 * kOne + 12345);
    for (int call = 0; call < 50; ++call) {
        Mix(7);
        ASSERT_NE(voice.sample, nullptr);
        EXPECT_GE(voice.position, 20 * kOne);
        EXPECT_LT(voice.position, 23 * kOne);
    }
}

TEST_F(MixerTest, PingPongReflectsAtBothEnds) {
    TestSample s(
        20, [](uint32_t i) { return static_cast<int>(i); }, kLoopPingPong, 10, 10);
    Voice& voice = PlayingVoice(0, s.sample, 18 * kOne, kOne);
    const std::vector<float> out = Mix(6);
    // 18, 19, then about 20 → 19.99…, backward: 18.99…, 17.99…, 16.99…
    EXPECT_EQ(out[0], 18.0f);
    EXPECT_EQ(out[2], 19.0f);
    EXPECT_NEAR(out[4], 19.0f, 0.01);
    EXPECT_NEAR(out[6], 19.0f, 0.01);
    EXPECT_NEAR(out[8], 18.0f, 0.01);
    EXPECT_EQ(voice.direction, kBackward);
    EXPECT_EQ(voice.position, 16 * kOne - 1);
}

TEST_F(MixerTest, PingPongFromSampleStartStaysInside) {
    // A ping-pong loop from sample 0, moving backward with a step that lands
    // exactly on it: the reflection must not step below 0 (which would wrap
    // the position to the far end of memory).
    TestSample s(
        16, [](uint32_t i) { return static_cast<int>(i); }, kLoopPingPong, 0, 16);
    Voice& voice = PlayingVoice(0, s.sample, 8 * kOne, kOne);
    voice.direction = kBackward;
    const std::vector<float> first = Mix(10);
    EXPECT_EQ(first[2 * 7], 1.0f);
    EXPECT_EQ(first[2 * 8], 0.0f); // the reflection lands on 0 itself
    EXPECT_EQ(first[2 * 9], 1.0f);
    EXPECT_EQ(voice.direction, kForward);
    int backwardPasses = 0;
    for (int call = 0; call < 40; ++call) {
        Mix(5);
        ASSERT_NE(voice.sample, nullptr);
        EXPECT_LT(voice.position, 16 * kOne);
        backwardPasses += voice.direction == kBackward;
    }
    EXPECT_GT(backwardPasses, 0);
}

TEST_F(MixerTest, RampsArriveAtTheirTargets) {
    TestSample s(
        1000, [](uint32_t) { return 1000; }, kLoopForward, 0, 1000);
    Voice& voice = PlayingVoice(0, s.sample, 0, kOne);
    voice.currentLeft = voice.lastLeftTarget = 0;
    voice.leftVolume = 128;
    std::vector<float> out = Mix(200);
    EXPECT_EQ(voice.currentLeft, 128);
    EXPECT_EQ(voice.rampRemaining, 0);
    EXPECT_EQ(out[0], 0.0f); // the ramp starts at the applied gain
    for (int f = 1; f < 128; ++f)
        EXPECT_GT(out[2 * f], out[2 * f - 2]) << f;
    EXPECT_NEAR(out[2 * 127], 1000.0f * 127 / 128 * 128 / 255, 0.5);
    EXPECT_NEAR(out[2 * 150], 1000.0f * 128 / 255, 0.01);

    // Split over calls (a tick boundary 50 frames in), it still lands.
    voice.leftVolume = 0;
    voice.rightVolume = 200;
    Mix(50);
    EXPECT_EQ(voice.rampRemaining, 78);
    EXPECT_GT(voice.currentLeft, 0);
    EXPECT_LT(voice.currentLeft, 128);
    Mix(30);
    Mix(100);
    EXPECT_EQ(voice.currentLeft, 0);
    EXPECT_EQ(voice.currentRight, 200);
    out = Mix(4);
    EXPECT_EQ(out[0], 0.0f);
    EXPECT_NEAR(out[1], 1000.0f * 200 / 255, 0.01);

    // A side that does not change keeps its gain, whatever its step held.
    voice.leftVolume = 90;
    Mix(128);
    voice.rightVolume = 10;
    voice.leftStep = 0.5f;
    out = Mix(60);
    voice.leftStep = 0.5f;
    const std::vector<float> rest = Mix(68);
    for (int f = 0; f < 60; ++f)
        ASSERT_NEAR(out[2 * f], 1000.0f * 90 / 255, 0.01) << f;
    for (int f = 0; f < 68; ++f)
        ASSERT_NEAR(rest[2 * f], 1000.0f * 90 / 255, 0.01) << f;
    EXPECT_EQ(voice.currentLeft, 90);
    EXPECT_EQ(voice.currentRight, 10);

    // A new target in the middle of a ramp starts a fresh ramp from there.
    voice.leftVolume = 250;
    Mix(64);
    const uint8_t halfway = voice.currentLeft;
    EXPECT_GT(halfway, 150);
    EXPECT_LT(halfway, 190);
    voice.leftVolume = 0;
    Mix(1);
    EXPECT_EQ(voice.rampRemaining, 127);
    Mix(127);
    EXPECT_EQ(voice.currentLeft, 0);
}

TEST_F(MixerTest, RampEndsInsideALoopPass) {
    // A ramp of 128 frames over a loop of 50: the passes split at the loop
    // end and at the ramp end, and the gain still lands on its target.
    TestSample s(
        50, [](uint32_t) { return 500; }, kLoopForward, 0, 50);
    Voice& voice = PlayingVoice(0, s.sample, 0, kOne);
    voice.currentLeft = voice.lastLeftTarget = 0;
    voice.leftVolume = 255;
    const std::vector<float> out = Mix(300);
    EXPECT_EQ(voice.currentLeft, 255);
    EXPECT_EQ(out[2 * 299], 500.0f);
    for (int f = 1; f < 128; ++f)
        EXPECT_GE(out[2 * f], out[2 * f - 2]);
}

TEST_F(MixerTest, NothingToMix) {
    std::vector<float> out{1.0f, 2.0f};
    TestSample s(10, [](uint32_t) { return 1000; });
    PlayingVoice(0, s.sample, 0, kOne);
    MixVoices(out.data(), 0);
    EXPECT_EQ(out, (std::vector<float>{1.0f, 2.0f}));
    MixVoices(nullptr, 5);

    // A voice without a sample adds nothing; a silent block is zeros.
    SilenceVoices();
    voices[3].leftVolume = voices[3].currentLeft = 255;
    mixRing.fillBlock = 7;
    std::fill(BlockPcm(7), BlockPcm(8), int16_t{99});
    FillBlock();
    EXPECT_EQ(mixRing.fillBlock, 8);
    for (const int16_t* p = BlockPcm(7); p != BlockPcm(8); ++p)
        ASSERT_EQ(*p, 0);
    mixRing.fillBlock = mixRing.blockCount - 1;
    FillBlock();
    EXPECT_EQ(mixRing.fillBlock, 0);
}

TEST_F(MixerTest, SilentVoicesKeepTheirPlace) {
    // Zero gains skip the arithmetic but move the position exactly the same.
    TestSample s(
        1000, [](uint32_t i) { return static_cast<int>(i); }, kLoopPingPong, 100, 333);
    Voice& heard = PlayingVoice(0, s.sample, 5 * kOne, kOne + 987654321);
    Voice& silent = PlayingVoice(1, s.sample, 5 * kOne, kOne + 987654321);
    silent.leftVolume = silent.currentLeft = silent.lastLeftTarget = 0;
    for (int call = 0; call < 20; ++call) {
        Mix(97);
        ASSERT_EQ(silent.position, heard.position);
        ASSERT_EQ(silent.direction, heard.direction);
    }
}

namespace {

// A song of `rows` rows at `tempo` ticks a row (882 frames a tick at 44,100
// Hz and 125 BPM) with a note of its own every other row.
SongPtr NoteSong(int rows, int tempo, uint8_t firstNote) {
    XmSong xm = OneInstrumentSong(1);
    xm.tempo = static_cast<uint16_t>(tempo);
    xm.patterns[0] = EmptyPattern(xm, rows);
    for (int row = 0; row < rows; row += 2)
        xm.patterns[0].At(row, 0) = {static_cast<uint8_t>(firstNote + row % 12), 1, 0, 0, 0};
    return LoadXm(xm);
}

// What FillBlock makes of first with next following it (mixRing.handOverFrames
// bound), block after block from first's start, at least `frames` frames.
std::vector<int16_t> Followed(Song* first, Song* next, int64_t bound, int64_t frames) {
    StartSong(first);
    mixRing.followingSong = next;
    mixRing.handOverFrames = bound;
    std::vector<int16_t> out;
    while (static_cast<int64_t>(out.size()) < 2 * frames) {
        const int32_t block = mixRing.fillBlock;
        FillBlock();
        out.insert(out.end(), BlockPcm(block), BlockPcm(block) + 2 * mixRing.blockSamples);
    }
    return out;
}

} // namespace

TEST_F(MixerTest, TheFollowingSongTakesOverAtTheFirstPassOrAtTheBoundWithoutAGap) {
    const SongPtr shortSong = NoteSong(8, 2, 49), longSong = NoteSong(64, 6, 49),
                  next = NoteSong(64, 3, 61);
    XmSong silentXm = OneInstrumentSong(1);
    silentXm.patterns[0] = EmptyPattern(silentXm, 256);
    const SongPtr silent = LoadXm(silentXm);
    const int64_t after = 30000; // frames of the following song looked at

    // The volume ramps of a note's start depend on where the blocks split it,
    // so the following song is compared with a hand-over at the same frame
    // from a silent song; and one at a block boundary (882 × 442 = 884 ×
    // 441 frames) is exactly the song from its start.
    const int64_t aligned = 882 * 442;
    std::vector<int16_t> fromSilence = Followed(silent.get(), next.get(), aligned, aligned + after);
    fromSilence.erase(fromSilence.begin(), fromSilence.begin() + 2 * aligned);
    fromSilence.resize(2 * after);
    ASSERT_TRUE(fromSilence == RenderFrames(next.get(), after));

    struct Case {
        const char* what;
        Song* first;
        int64_t bound; // handOverFrames
        int64_t at;    // the frame the following song starts at
    };
    const int64_t never = std::numeric_limits<int64_t>::max();
    const Case cases[] = {
        {"back at its first row after 8 rows of 2 ticks", shortSong.get(), never, 16 * 882},
        {"the pass before the bound", shortSong.get(), 20000, 16 * 882},
        {"the bound, at the first tick from it", longSong.get(), 10000, 12 * 882},
        {"the bound before the pass", shortSong.get(), 5000, 6 * 882},
    };
    for (const Case& c : cases) {
        const std::vector<int16_t> first = RenderFrames(c.first, c.at);
        const std::vector<int16_t> reference =
            Followed(silent.get(), next.get(), c.at, c.at + after);
        const std::vector<int16_t> out = Followed(c.first, next.get(), c.bound, c.at + after);
        EXPECT_TRUE(std::equal(first.begin(), first.end(), out.begin())) << c.what;
        EXPECT_TRUE(std::equal(out.begin() + 2 * c.at, out.begin() + 2 * (c.at + after),
                               reference.begin() + 2 * c.at))
            << c.what;
        EXPECT_EQ(mixRing.currentSong, next.get()) << c.what;
        EXPECT_EQ(mixRing.followingSong, nullptr) << c.what;
        EXPECT_EQ(mixRing.retiredSong, c.first) << c.what;
        EXPECT_EQ(mixRing.songFrames, static_cast<int64_t>(out.size()) / 2 - c.at) << c.what;
    }
    // A fresh start forgets a hand-over.
    StartSong(shortSong.get());
    EXPECT_EQ(mixRing.retiredSong, nullptr);
    EXPECT_EQ(mixRing.songFrames, 0);
}

TEST(ConvertToPcm16, RoundsAndClamps) {
    const float in[] = {40000.0f, -40000.0f, 1.5f,      2.5f,  -0.5f,
                        -1.5f,    32767.4f,  -32768.6f, 0.49f, -7.7f};
    int16_t out[10] = {};
    ConvertToPcm16(out, in, 5);
    const int16_t expected[] = {32767, -32768, 2, 2, 0, -2, 32767, -32768, 0, -8};
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(out[i], expected[i]) << i;
    int16_t untouched[2] = {5, 6};
    ConvertToPcm16(untouched, in, 0);
    ConvertToPcm16(nullptr, in, 1);
    ConvertToPcm16(untouched, nullptr, 1);
    EXPECT_EQ(untouched[0], 5);
    EXPECT_EQ(untouched[1], 6);
}

// The inner loops work eight or four frames at a time with a one-frame tail;
// all must give the same bits. Random voices are mixed in one call and frame
// by frame (the tail alone), over random earlier mixes, forward and backward,
// with eight-frame steps where the processor has them and without.
TEST(MixerLoops, StepsOfEightAndFourEqualFrameByFrame) {
    std::mt19937 random(20240607);
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    std::vector<int16_t> data(5008);
    for (int16_t& value : data)
        value = static_cast<int16_t>(random());
    for (int trial = 0; trial < 600; ++trial) {
        const bool wide = SetWideMixing(trial % 2 == 0);
        const int32_t frames = 1 + static_cast<int32_t>(random() % 67);
        const uint64_t step = (uint64_t{random() % 4} << 32) | random(); // below 4 samples
        const bool backward = trial % 3 == 0;
        const uint64_t signedStep = backward ? 0 - step : step;
        const uint64_t start =
            (uint64_t{backward ? 4700 + random() % 200 : random() % 200} << 32) | random();
        const float left = unit(random) + 1.0f;
        const float right = unit(random) + 1.0f;
        const float stepLeft = unit(random) * 0.01f;
        const float stepRight = unit(random) * 0.01f;
        std::vector<float> earlier(2 * static_cast<size_t>(frames));
        for (float& value : earlier)
            value = unit(random) * 30000.0f;

        for (const bool ramp : {false, true}) {
            std::vector<float> whole = earlier;
            std::vector<float> single = earlier;
            uint64_t p = start;
            uint64_t q = start;
            float wholeLeft = left, wholeRight = right;
            float singleLeft = left, singleRight = right;
            if (ramp) {
                MixRampFrames(data.data(), p, signedStep, wholeLeft, wholeRight, stepLeft,
                              stepRight, whole.data(), frames);
                for (int32_t f = 0; f < frames; ++f)
                    MixRampFrames(data.data(), q, signedStep, singleLeft, singleRight, stepLeft,
                                  stepRight, single.data() + 2 * f, 1);
            } else {
                MixFrames(data.data(), p, signedStep, left, right, whole.data(), frames);
                for (int32_t f = 0; f < frames; ++f)
                    MixFrames(data.data(), q, signedStep, left, right, single.data() + 2 * f, 1);
            }
            ASSERT_EQ(p, q) << trial;
            ASSERT_EQ(std::memcmp(whole.data(), single.data(), whole.size() * sizeof(float)), 0)
                << "trial " << trial << (ramp ? ", ramp" : "") << (wide ? ", wide" : "");
            ASSERT_EQ(wholeLeft, singleLeft) << trial;
            ASSERT_EQ(wholeRight, singleRight) << trial;
        }
    }
    SetWideMixing(true);
}

// The same for the conversion: a block at once equals frame by frame, over
// random values around and beyond the 16-bit range, halves and NaN.
TEST(ConvertToPcm16, BlockEqualsFrameByFrame) {
    std::mt19937 random(7);
    std::uniform_real_distribution<float> wide(-70000.0f, 70000.0f);
    const float special[] = {32767.0f,
                             32766.5f,
                             32767.5f,
                             -32768.0f,
                             -32768.5f,
                             -32767.5f,
                             0.5f,
                             -0.0f,
                             3e9f,
                             -3e9f,
                             std::numeric_limits<float>::quiet_NaN(),
                             std::numeric_limits<float>::infinity(),
                             -std::numeric_limits<float>::infinity()};
    std::vector<float> in(2 * 203);
    for (size_t i = 0; i < in.size(); ++i)
        in[i] = i % 5 == 0 ? special[random() % std::size(special)]
                           : std::round(wide(random) * 2.0f) / (i % 3 == 0 ? 2.0f : 1.7f);
    for (const int32_t frames : {1, 3, 4, 7, 203}) {
        std::vector<int16_t> block(in.size(), 1);
        std::vector<int16_t> single(in.size(), 1);
        ConvertToPcm16(block.data(), in.data(), frames);
        for (int32_t f = 0; f < frames; ++f)
            ConvertToPcm16(single.data() + 2 * f, in.data() + 2 * f, 1);
        EXPECT_EQ(block, single) << frames << " frames";
    }
}
