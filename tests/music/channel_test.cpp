#include <gtest/gtest.h>

#include <cmath>

#include "music/channel.h"
#include "music_test_util.h"

namespace {

// Frequency in Hz a voice step stands for at 44,100 Hz.
double StepHz(uint64_t step) {
    return static_cast<double>(step) * 44100.0 / 4294967296.0;
}

class ChannelTest : public MixerTest {
  protected:
    void SetUp() override {
        MixerTest::SetUp();
        channel = Channel{};
        channel.voice = &voices[0];
        song = Song{};
        song.flags = kLinearFrequencies;
        song.globalVolume = 64;
    }
    // The frequency UpdateVoice gives a period (and delta).
    double FrequencyOf(int32_t period, int32_t delta = 0) {
        channel.period = period;
        channel.periodDelta = delta;
        channel.flags = kUpdateFrequency;
        UpdateVoice(channel, emptySample, song);
        return StepHz(voices[0].step);
    }
    Channel channel;
    Song song;
};

} // namespace

TEST_F(ChannelTest, LinearPeriodsAndFrequencies) {
    EXPECT_EQ(NotePeriod(48, 0, song), 4608);
    EXPECT_EQ(NotePeriod(60, 0, song), 3840);
    EXPECT_EQ(NotePeriod(0, 0, song), 7680);
    EXPECT_EQ(NotePeriod(48, 127, song), 4608 - 63);
    EXPECT_EQ(NotePeriod(48, -127, song), 4608 + 63); // the halving truncates toward zero
    EXPECT_NEAR(FrequencyOf(4608), 8363, 0.001);
    EXPECT_NEAR(FrequencyOf(3840), 16726, 0.001);
    EXPECT_NEAR(FrequencyOf(7680), 522, 0.001);
    // In the linear table a positive delta raises the pitch: 64 is a semitone.
    EXPECT_NEAR(FrequencyOf(4608, 768), 16726, 0.001);
    EXPECT_NEAR(FrequencyOf(4608, 64), 8363 * std::pow(2.0, 1 / 12.0), 1.0);
}

TEST_F(ChannelTest, AmigaPeriodsAndFrequencies) {
    song.flags = 0;
    EXPECT_EQ(AmigaPeriod(0, 0), 27392);
    EXPECT_EQ(AmigaPeriod(48, 0), 1712);
    EXPECT_EQ(AmigaPeriod(60, 0), 856);
    EXPECT_EQ(AmigaPeriod(95, 0), 113);
    EXPECT_EQ(AmigaPeriod(48, -52), 1753);
    EXPECT_EQ(AmigaPeriod(48, 64), 1664);
    EXPECT_EQ(AmigaPeriod(48, -128), 1813);
    // Below note 0 there is no neighbour: the interval above is used.
    EXPECT_EQ(AmigaPeriod(0, -128), 27392 + (27392 - 25854));
    EXPECT_EQ(NotePeriod(48, 0, song), 1712);
    // Notes past the table (a high note plus an arpeggio) stay defined.
    EXPECT_GE(AmigaPeriod(255 + 15, 127), 0);
    EXPECT_NEAR(FrequencyOf(1712), 8362, 0.001);
    EXPECT_NEAR(FrequencyOf(856), 16725, 0.001);
    // In the Amiga table a positive delta lowers the pitch.
    EXPECT_NEAR(FrequencyOf(856, 856), 8362, 0.001);
}

TEST_F(ChannelTest, FrequenciesHaveAFloorAndSurviveExtremePeriods) {
    EXPECT_NEAR(FrequencyOf(20000), 100, 0.001);
    song.flags = 0;
    EXPECT_NEAR(FrequencyOf(1000000), 100, 0.001);
    EXPECT_NEAR(FrequencyOf(-56), 100, 0.001); // a negative period plays the floor
    // A period of zero leaves the step as it was instead of dividing by it.
    const uint64_t before = voices[0].step;
    FrequencyOf(40, -40);
    EXPECT_EQ(voices[0].step, before);
    song.flags = kLinearFrequencies;
    const double high = FrequencyOf(kMinPeriod);
    EXPECT_GT(high, 44100.0 * 1000); // far above any rate, but a defined step
}

TEST_F(ChannelTest, VolumeEnvelopeRunsToItsLastPoint) {
    Instrument instrument{};
    instrument.volumeEnvelope[0] = {0, 64};
    instrument.volumeEnvelope[1] = {10, 0};
    instrument.volumePointCount = 2;
    instrument.volumeType = kEnvelopeOn;
    Sample sample{};
    ResetChannelInstrument(channel, sample);
    const EnvelopeShape shape = VolumeEnvelopeOf(instrument);
    std::vector<int> values;
    for (int tick = 0; tick <= 12 && !channel.volumeEnvelope.stopped; ++tick) {
        channel.flags = 0;
        StepEnvelope(channel, shape, channel.volumeEnvelope, kUpdateVolume);
        EXPECT_EQ(channel.flags, kUpdateVolume);
        values.push_back(channel.envelopeVolume);
    }
    const std::vector<int> expected{64, 57, 51, 44, 38, 32, 25, 19, 12, 6, 0};
    EXPECT_EQ(values, expected);
    EXPECT_TRUE(channel.volumeEnvelope.stopped);
}

TEST_F(ChannelTest, SustainHoldsUntilKeyOff) {
    Instrument instrument{};
    instrument.volumeEnvelope[0] = {0, 64};
    instrument.volumeEnvelope[1] = {4, 0};
    instrument.volumePointCount = 2;
    instrument.volumeType = kEnvelopeOn | kEnvelopeSustain;
    instrument.volumeSustain = 0;
    Sample sample{};
    ResetChannelInstrument(channel, sample);
    const EnvelopeShape shape = VolumeEnvelopeOf(instrument);
    for (int tick = 0; tick < 20; ++tick) {
        StepEnvelope(channel, shape, channel.volumeEnvelope, kUpdateVolume);
        EXPECT_EQ(channel.envelopeVolume, 64);
    }
    channel.keyOff = true;
    std::vector<int> values;
    for (int tick = 0; tick < 6; ++tick) {
        StepEnvelope(channel, shape, channel.volumeEnvelope, kUpdateVolume);
        values.push_back(channel.envelopeVolume);
    }
    EXPECT_EQ(values, (std::vector<int>{64, 48, 32, 16, 0, 0}));
}

TEST_F(ChannelTest, EnvelopeLoopJumpsBack) {
    Instrument instrument{};
    instrument.panningEnvelope[0] = {0, 0};
    instrument.panningEnvelope[1] = {2, 64};
    instrument.panningEnvelope[2] = {4, 32};
    instrument.panningEnvelope[3] = {8, 0};
    instrument.panningPointCount = 4;
    instrument.panningType = kEnvelopeOn | kEnvelopeLoop;
    instrument.panningLoopStart = 1;
    instrument.panningLoopEnd = 2;
    Sample sample{};
    ResetChannelInstrument(channel, sample);
    const EnvelopeShape shape = PanningEnvelopeOf(instrument);
    std::vector<int> values;
    for (int tick = 0; tick < 9; ++tick) {
        channel.flags = 0;
        StepEnvelope(channel, shape, channel.panningEnvelope, kUpdatePanning);
        EXPECT_EQ(channel.flags, kUpdatePanning);
        values.push_back(channel.envelopePan);
    }
    // 0, 32, then 64 → 32 twice over between points 1 and 2.
    EXPECT_EQ(values, (std::vector<int>{0, 32, 64, 48, 64, 48, 64, 48, 64}));
    EXPECT_FALSE(channel.panningEnvelope.stopped);
}

TEST_F(ChannelTest, VibratoValues) {
    channel.vibratoDepth = 8;
    channel.vibratoPosition = 8;
    Vibrato(channel);
    EXPECT_EQ(channel.periodDelta, -44); // 181 × 8 >> 5 = 45, low bits cleared
    channel.vibratoPosition = 16;
    Vibrato(channel);
    EXPECT_EQ(channel.periodDelta, -60); // 255, not 256
    channel.vibratoPosition = -16;
    Vibrato(channel);
    EXPECT_EQ(channel.periodDelta, 60);
    channel.vibratoPosition = 0;
    Vibrato(channel);
    EXPECT_EQ(channel.periodDelta, 0);
    // The position wraps within −32..31.
    channel.vibratoPosition = 30;
    channel.vibratoSpeed = 15;
    AdvanceVibrato(channel);
    EXPECT_EQ(channel.vibratoPosition, -19);
}

TEST_F(ChannelTest, TremoloStaysInsideTheVolumeRange) {
    channel.tremoloDepth = 15;
    channel.tremoloSpeed = 7;
    for (int volume : {0, 3, 32, 60, 64}) {
        channel.volume = volume;
        int highest = 0;
        int lowest = 64;
        for (int tick = 0; tick < 128; ++tick) {
            Tremolo(channel);
            const int v = channel.volume + channel.volumeDelta;
            EXPECT_GE(v, 0);
            EXPECT_LE(v, 64);
            highest = std::max(highest, v);
            lowest = std::min(lowest, v);
        }
        EXPECT_EQ(highest, std::min(64, volume + 59)); // 15 × 255 >> 6 = 59
        EXPECT_EQ(lowest, std::max(0, volume - 59));
    }
}

TEST_F(ChannelTest, TremorTwoOnThreeOff) {
    channel.tremorMemory = 0x12; // T12: two ticks sounding, three silent
    std::vector<int> silent;
    for (int tick = 0; tick < 10; ++tick) {
        Tremor(channel);
        silent.push_back(channel.tremorSilent);
    }
    EXPECT_EQ(silent, (std::vector<int>{0, 0, 1, 1, 1, 0, 0, 1, 1, 1}));
    // The silent phase holds the voice at 0 until a volume is set again.
    channel.flags = kUpdateVolume;
    UpdateVoice(channel, emptySample, song);
    EXPECT_EQ(channel.voice->volume, 0);
    ResetVolumes(channel, emptySample);
    EXPECT_FALSE(channel.tremorSilent);
}

TEST_F(ChannelTest, AutoVibratoWaveforms) {
    Instrument instrument{};
    instrument.autoVibratoDepth = 64;
    instrument.autoVibratoRate = 64;
    const auto deltas = [&](uint8_t type) {
        instrument.autoVibratoType = type;
        channel.autoVibratoPosition = 0;
        std::vector<int> out;
        for (int tick = 0; tick < 4; ++tick) {
            channel.periodDelta = 0;
            AutoVibrato(channel, instrument);
            out.push_back(channel.periodDelta);
        }
        return out;
    };
    // Sine at 0, 64, 128 and 192: the constant falls short of π/128, so the
    // peaks come out at 63.
    EXPECT_EQ(deltas(0), (std::vector<int>{0, 63, 0, -63}));
    EXPECT_EQ(deltas(1), (std::vector<int>{64, 64, -64, -64})); // square
    EXPECT_EQ(deltas(2), (std::vector<int>{0, -32, 64, 32}));   // ramp
    EXPECT_EQ(deltas(3), (std::vector<int>{0, 32, 64, -32}));
    EXPECT_EQ(deltas(4), (std::vector<int>{0, 0, 0, 0})); // no such waveform: none
    EXPECT_EQ(deltas(255), (std::vector<int>{0, 0, 0, 0}));

    // The sweep brings the depth in over that many ticks.
    instrument.autoVibratoType = 1;
    instrument.autoVibratoRate = 0;
    instrument.autoVibratoSweep = 4;
    channel.autoVibratoPosition = 0;
    channel.autoVibratoSweepCount = 0;
    std::vector<int> swept;
    for (int tick = 0; tick < 6; ++tick) {
        channel.periodDelta = 0;
        AutoVibrato(channel, instrument);
        swept.push_back(channel.periodDelta);
    }
    EXPECT_EQ(swept, (std::vector<int>{0, 16, 32, 48, 64, 64}));
}

TEST_F(ChannelTest, VoiceVolumeAndPanning) {
    Sample sample{};
    sample.volume = 64;
    sample.panning = 128;
    ResetChannelInstrument(channel, sample);
    channel.flags = kUpdateVolume | kUpdatePanning;
    UpdateVoice(channel, sample, song);
    EXPECT_EQ(voices[0].volume, 127); // full scale
    EXPECT_EQ(voices[0].pan, 128);

    // Panning 0 is the left side, 255 the right.
    channel.pan = 0;
    channel.flags = kUpdatePanning;
    UpdateVoice(channel, sample, song);
    EXPECT_EQ(voices[0].leftVolume, 127);
    EXPECT_EQ(voices[0].rightVolume, 0);
    channel.pan = 255;
    channel.flags = kUpdatePanning;
    UpdateVoice(channel, sample, song);
    EXPECT_EQ(voices[0].leftVolume, 0);
    EXPECT_EQ(voices[0].rightVolume, 127);

    // The envelope moves a centred pan over the whole range.
    channel.pan = 128;
    channel.envelopePan = 0;
    channel.flags = kUpdatePanning;
    UpdateVoice(channel, sample, song);
    EXPECT_EQ(voices[0].pan, 0);
    channel.envelopePan = 64;
    channel.flags = kUpdatePanning;
    UpdateVoice(channel, sample, song);
    EXPECT_EQ(voices[0].pan, 255); // 256, clamped
    // Near a side it has less room: 16 + (64 − 32) × (16 / 32 = 0).
    channel.pan = 16;
    channel.flags = kUpdatePanning;
    UpdateVoice(channel, sample, song);
    EXPECT_EQ(voices[0].pan, 16);
    // Slides may have pushed the channel far outside; the voice stays inside.
    channel.pan = -3000;
    channel.flags = kUpdatePanning;
    UpdateVoice(channel, sample, song);
    EXPECT_EQ(voices[0].pan, 0);

    // Gains never wrap, whatever pushed the factors out of range.
    channel.volume = 200;
    channel.envelopeVolume = 300;
    channel.fadeVolume = 1 << 20;
    song.globalVolume = 99;
    channel.flags = kUpdateVolume;
    UpdateVoice(channel, sample, song);
    EXPECT_EQ(voices[0].volume, 127);
    channel.volume = 32;
    channel.envelopeVolume = 64;
    channel.fadeVolume = 65536;
    song.globalVolume = 64;
    channel.volumeDelta = -40;
    channel.flags = kUpdateVolume;
    UpdateVoice(channel, sample, song);
    EXPECT_EQ(voices[0].volume, 0);
}

TEST_F(ChannelTest, TriggerAndStop) {
    Sample sample{};
    int16_t data[40] = {};
    sample.data = data;
    sample.length = 30;
    sample.loopStart = 0;
    sample.loopLength = 30;
    voices[0].startOffset = 12;
    voices[0].direction = kBackward;
    voices[0].step = uint64_t{1} << 32; // a pitch from an earlier frequency update
    channel.period = 4608;              // a note with a pitch
    channel.flags = kTrigger;
    UpdateVoice(channel, sample, song);
    EXPECT_EQ(voices[0].sample, &sample);
    EXPECT_EQ(voices[0].position, uint64_t{12} << 32);
    EXPECT_EQ(voices[0].direction, kForward);
    EXPECT_EQ(voices[0].startOffset, 0u);

    voices[0].startOffset = 30; // at the end: from the start instead
    UpdateVoice(channel, sample, song);
    EXPECT_EQ(voices[0].position, 0u);

    // The empty sample leaves the voice silent.
    UpdateVoice(channel, emptySample, song);
    EXPECT_EQ(voices[0].sample, nullptr);

    UpdateVoice(channel, sample, song);
    channel.flags = kStopVoice;
    UpdateVoice(channel, sample, song);
    EXPECT_EQ(voices[0].sample, nullptr);
}

// A note whose period comes to 0 has no pitch: the voice stays silent (it
// would hold one sample value as a constant offset) until the channel's next
// note, which plays normally.
TEST_F(ChannelTest, ANoteOutOfRangeIsIgnored) {
    struct Case {
        bool linear;
        uint8_t note;
        int8_t relativeNote;   // real note = note + relativeNote − 1, 0..118 play
        bool afterPitchedNote; // a note with a pitch plays first, for two rows
    };
    for (const Case& c :
         {Case{true, 96, 25, false}, Case{false, 96, 82, false}, Case{false, 90, 95, false},
          Case{true, 96, 25, true}, Case{true, 1, -1, true}}) {
        XmSong xm = OneInstrumentSong();
        xm.flags = c.linear ? 1 : 0;
        xm.instruments[0].samples[0].relativeNote = c.relativeNote;
        const int32_t row = c.afterPitchedNote ? 2 : 0;
        if (c.afterPitchedNote)
            xm.patterns[0].At(0, 0) = {49, 1, 0, 0, 0};
        xm.patterns[0].At(row, 0) = {c.note, 1, 0, 0, 0};
        xm.patterns[0].At(row + 2, 0) = {13, 0, 0, 0, 0}; // the next note, rows later
        SongPtr loaded = LoadXm(xm);
        ASSERT_TRUE(loaded);
        StartSong(loaded.get());
        // The loudest sample of the next blocks.
        const auto loudest = [](int32_t blocks) {
            int32_t loud = 0;
            for (int32_t b = 0; b < blocks; ++b) {
                const int16_t* pcm = BlockPcm(mixRing.fillBlock);
                FillBlock();
                for (int32_t i = 0; i < 2 * mixRing.blockSamples; ++i)
                    loud = std::max<int32_t>(loud, std::abs(pcm[i]));
            }
            return loud;
        };
        // Two rows last 2 × 5,292 frames: 11 whole blocks, the 12th shared.
        if (c.afterPitchedNote) {
            EXPECT_GT(loudest(12), 1000) << "the pitched note sounds";
            const uint64_t step = voices[0].step;
            // It goes on through the ignored note, at its pitch.
            EXPECT_GT(loudest(11), 1000) << int{c.note} << " + " << int{c.relativeNote};
            EXPECT_EQ(voices[0].step, step);
        } else {
            EXPECT_EQ(loudest(11), 0) << int{c.note} << " + " << int{c.relativeNote};
        }
        EXPECT_GT(loudest(4), 1000) << "the next note sounds";
        DetachSong();
    }
}
