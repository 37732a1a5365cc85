// The composed song: that it can be written, always the same way, and that it
// stays inside what the screen saver's replay plays: its length, channels,
// effects and volume-column bytes, and the instrument features it relies on.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <set>

#include "song.h"
#include "xm_writer.h"

namespace {

class SongTest : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        std::string error;
        composed_ = song::ComposeSong(module_, error);
        error_ = error;
    }
    static xm::Module module_;
    static bool composed_;
    static std::string error_;
};

xm::Module SongTest::module_;
bool SongTest::composed_ = false;
std::string SongTest::error_;

// Seconds for one pass from order 0 to the end of the order list, following
// speed and tempo changes, pattern breaks and position jumps the way the replay
// does (a row lasts speed x 2.5 / bpm seconds).
double PlayLength(const xm::Module& module) {
    int speed = module.defaultTempo;
    int bpm = module.defaultBpm;
    double seconds = 0;
    size_t order = 0;
    int row = 0;
    for (int guard = 0; order < module.orders.size() && guard < 100000; ++guard) {
        const xm::Pattern& pattern = module.patterns[module.orders[order]];
        int nextOrder = -1;
        int nextRow = -1;
        for (int c = 0; c < module.channelCount; ++c) {
            const xm::Cell& cell =
                pattern.cells[static_cast<size_t>(row) * module.channelCount + c];
            if (cell.effect == xm::kEffectSpeedTempo) {
                if (cell.parameter < 32)
                    speed = cell.parameter;
                else
                    bpm = cell.parameter;
            } else if (cell.effect == xm::kEffectPatternBreak) {
                nextRow = (cell.parameter >> 4) * 10 + (cell.parameter & 15);
                nextOrder = static_cast<int>(order) + 1;
            } else if (cell.effect == xm::kEffectPositionJump) {
                nextRow = 0;
                nextOrder = cell.parameter;
            }
        }
        seconds += std::max(speed, 1) * 2.5 / bpm;
        if (nextOrder >= 0) {
            if (nextOrder <= static_cast<int>(order))
                break; // a jump back closes the loop
            order = static_cast<size_t>(nextOrder);
            row = nextRow;
        } else if (++row >= pattern.rows) {
            ++order;
            row = 0;
        }
    }
    return seconds;
}

// The first cell of every row of one pass through the orders, in play order,
// following pattern breaks.
std::vector<const xm::Cell*> PlayedRows(const xm::Module& module) {
    std::vector<const xm::Cell*> rows;
    size_t order = 0;
    int row = 0;
    while (order < module.orders.size() && rows.size() < 100000) {
        const xm::Pattern& pattern = module.patterns[module.orders[order]];
        const xm::Cell* cells = &pattern.cells[static_cast<size_t>(row) * module.channelCount];
        rows.push_back(cells);
        int breakTo = -1;
        for (int c = 0; c < module.channelCount; ++c)
            if (cells[c].effect == xm::kEffectPatternBreak)
                breakTo = (cells[c].parameter >> 4) * 10 + (cells[c].parameter & 15);
        if (breakTo >= 0 || ++row >= pattern.rows) {
            ++order;
            row = breakTo >= 0 ? breakTo : 0;
        }
    }
    return rows;
}

bool VolumeByteSupported(uint8_t v) {
    return v == 0 || (v >= 0x10 && v <= 0x50) || v >= 0x60;
}

TEST_F(SongTest, ComposesAndWritesTheSameBytesEveryTime) {
    ASSERT_TRUE(composed_) << error_;
    std::vector<uint8_t> first, second;
    std::string error;
    ASSERT_TRUE(xm::WriteModule(module_, first, error)) << error;
    xm::Module again;
    ASSERT_TRUE(song::ComposeSong(again, error)) << error;
    ASSERT_TRUE(xm::WriteModule(again, second, error)) << error;
    EXPECT_EQ(first, second);
}

TEST_F(SongTest, LoopLengthAndChannels) {
    ASSERT_TRUE(composed_) << error_;
    const double seconds = PlayLength(module_);
    EXPECT_GE(seconds, 60.0);
    EXPECT_LE(seconds, 120.0);
    EXPECT_GE(module_.channelCount, 6);
    EXPECT_LE(module_.channelCount, 12);
    EXPECT_TRUE(module_.linearFrequencies);
    EXPECT_LT(module_.restartPosition, module_.orders.size());

    // Every channel plays, and every instrument is played.
    std::set<int> channelsPlaying, instrumentsPlayed;
    for (const xm::Pattern& pattern : module_.patterns)
        for (size_t i = 0; i < pattern.cells.size(); ++i)
            if (pattern.cells[i].instrument != 0) {
                channelsPlaying.insert(static_cast<int>(i % module_.channelCount));
                instrumentsPlayed.insert(pattern.cells[i].instrument);
            }
    EXPECT_EQ(static_cast<size_t>(module_.channelCount), channelsPlaying.size());
    EXPECT_EQ(module_.instruments.size(), instrumentsPlayed.size());
    EXPECT_EQ(static_cast<int>(module_.instruments.size()), *instrumentsPlayed.rbegin());
}

TEST_F(SongTest, UsesOnlyWhatTheReplaySupports) {
    ASSERT_TRUE(composed_) << error_;
    // The effects the song was composed with (the replay plays more: E and
    // its sub-commands among others).
    const std::set<int> supported = {0x0,  0x1,  0x2,  0x3,  0x4,  0x5,  0x6, 0x7,
                                     0x8,  0x9,  0xA,  0xB,  0xC,  0xD,  0xF, 0x10,
                                     0x11, 0x14, 0x15, 0x19, 0x1B, 0x1D, 0x21};
    std::set<int> used;
    bool arpeggio = false, keyOffNote = false, speed = false, tempo = false;
    for (const xm::Pattern& pattern : module_.patterns) {
        for (const xm::Cell& cell : pattern.cells) {
            EXPECT_TRUE(supported.count(cell.effect)) << "effect " << int(cell.effect);
            EXPECT_TRUE(VolumeByteSupported(cell.volume)) << "volume byte " << int(cell.volume);
            EXPECT_TRUE(cell.note <= 96 || cell.note == xm::kNoteKeyOff);
            if (cell.effect != 0 || cell.parameter != 0)
                used.insert(cell.effect);
            arpeggio = arpeggio || (cell.effect == 0 && cell.parameter != 0);
            keyOffNote = keyOffNote || cell.note == xm::kNoteKeyOff;
            speed = speed || (cell.effect == xm::kEffectSpeedTempo && cell.parameter < 32);
            tempo = tempo || (cell.effect == xm::kEffectSpeedTempo && cell.parameter >= 32);
            // A tone portamento names no instrument: that would restart its envelopes.
            if (cell.effect == xm::kEffectTonePorta) {
                EXPECT_EQ(0, cell.instrument);
            }
        }
    }
    EXPECT_TRUE(arpeggio);
    EXPECT_TRUE(keyOffNote);
    EXPECT_TRUE(speed);
    EXPECT_TRUE(tempo);
    for (int effect : {xm::kEffectPortaUp, xm::kEffectPortaDown, xm::kEffectTonePorta,
                       xm::kEffectVibrato, xm::kEffectVibratoVolumeSlide, xm::kEffectSetPanning,
                       xm::kEffectKeyOff, xm::kEffectPatternBreak})
        EXPECT_TRUE(used.count(effect)) << "effect " << effect << " unused";
}

TEST_F(SongTest, InstrumentsUseEnvelopesLoopsAndBothSampleWidths) {
    ASSERT_TRUE(composed_) << error_;
    bool volumeSustain = false, volumeLoop = false, panningSustain = false, panningLoop = false;
    bool fadeout = false, autoVibrato = false, forward = false, pingPong = false;
    bool eightBit = false, sixteenBit = false, multiSample = false;
    for (const xm::Instrument& instrument : module_.instruments) {
        ASSERT_FALSE(instrument.samples.empty()) << instrument.name;
        const xm::Envelope& volume = instrument.volumeEnvelope;
        const xm::Envelope& panning = instrument.panningEnvelope;
        volumeSustain = volumeSustain || (volume.on && volume.sustain);
        volumeLoop = volumeLoop || (volume.on && volume.loop);
        panningSustain = panningSustain || (panning.on && panning.sustain);
        panningLoop = panningLoop || (panning.on && panning.loop);
        fadeout = fadeout || instrument.fadeout != 0;
        autoVibrato =
            autoVibrato || (instrument.autoVibratoDepth != 0 && instrument.autoVibratoRate != 0);
        multiSample = multiSample || instrument.samples.size() > 1;
        for (const xm::Sample& sample : instrument.samples) {
            forward = forward || sample.loopMode == xm::LoopMode::kForward;
            pingPong = pingPong || sample.loopMode == xm::LoopMode::kPingPong;
            eightBit = eightBit || !sample.sixteenBit;
            sixteenBit = sixteenBit || sample.sixteenBit;
        }
    }
    EXPECT_TRUE(volumeSustain);
    EXPECT_TRUE(volumeLoop);
    EXPECT_TRUE(panningSustain);
    EXPECT_TRUE(panningLoop);
    EXPECT_TRUE(fadeout);
    EXPECT_TRUE(autoVibrato);
    EXPECT_TRUE(forward);
    EXPECT_TRUE(pingPong);
    EXPECT_TRUE(eightBit);
    EXPECT_TRUE(sixteenBit);
    EXPECT_TRUE(multiSample);
}

// The crash cymbal rings: no note comes on its channel while its volume
// envelope lasts, and a key off lets its fade-out sound before the envelope
// has ended.
TEST_F(SongTest, TheCrashRingsOutAndFades) {
    ASSERT_TRUE(composed_) << error_;
    int crash = 0;
    for (size_t i = 0; i < module_.instruments.size(); ++i)
        if (module_.instruments[i].name == "crash")
            crash = static_cast<int>(i) + 1;
    ASSERT_NE(crash, 0);
    const xm::Envelope& envelope = module_.instruments[crash - 1].volumeEnvelope;
    ASSERT_TRUE(envelope.on && !envelope.sustain && !envelope.loop);
    const size_t ringing =
        (envelope.points.back().x + module_.defaultTempo - 1) / module_.defaultTempo; // rows
    const std::vector<const xm::Cell*> rows = PlayedRows(module_);
    int strikes = 0;
    for (size_t r = 0; r < rows.size(); ++r) {
        for (int c = 0; c < module_.channelCount; ++c) {
            if (rows[r][c].instrument != crash)
                continue;
            ++strikes;
            bool released = false;
            for (size_t next = r + 1; next < std::min(rows.size(), r + 1 + ringing); ++next) {
                const uint8_t note = rows[next][c].note;
                EXPECT_TRUE(note == 0 || note == xm::kNoteKeyOff)
                    << "row " << next << " cuts the crash of row " << r;
                released = released || note == xm::kNoteKeyOff;
            }
            EXPECT_TRUE(released) << "the crash of row " << r << " is never released";
        }
    }
    EXPECT_GE(strikes, 5);
}

TEST_F(SongTest, SamplesLoopWithoutClicks) {
    ASSERT_TRUE(composed_) << error_;
    for (const xm::Instrument& instrument : module_.instruments) {
        for (const xm::Sample& sample : instrument.samples) {
            const std::vector<int16_t>& d = sample.data;
            int peak = 0;
            for (int16_t v : d)
                peak = std::max(peak, std::abs(static_cast<int>(v)));
            // Loud but not at full scale, so interpolation cannot overshoot it.
            const int full = sample.sixteenBit ? 32767 : 127;
            EXPECT_GT(peak, full * 8 / 10) << sample.name;
            EXPECT_LT(peak, full) << sample.name;
            if (sample.loopMode == xm::LoopMode::kNone)
                continue;
            const size_t start = sample.loopStart;
            const size_t end = start + sample.loopLength; // one past the last
            int largestStep = 0;
            for (size_t i = start + 1; i < end; ++i)
                largestStep = std::max(largestStep, std::abs(d[i] - d[i - 1]));
            if (sample.loopMode == xm::LoopMode::kForward) {
                // The wrap from the last sample back to the first is one more
                // ordinary step of the wave, not a jump.
                EXPECT_LE(std::abs(d[start] - d[end - 1]), largestStep * 21 / 20 + 2)
                    << sample.name;
            } else {
                // A ping-pong loop turns where the wave itself turns (or is flat).
                ASSERT_LT(end, d.size()) << sample.name;
                EXPECT_LE((d[start + 1] - d[start]) * (d[start] - d[start - 1]), 0) << sample.name;
                EXPECT_LE((d[end - 1] - d[end - 2]) * (d[end] - d[end - 1]), 0) << sample.name;
            }
        }
    }
}

} // namespace
