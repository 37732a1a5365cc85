#include <gtest/gtest.h>

#include <cmath>
#include <utility>
#include <vector>

#include "music/channel.h"
#include "music/replay.h"
#include "music_test_util.h"

namespace {

using Position = std::pair<int, int>; // order position, row

class ReplayTest : public MixerTest {
  protected:
    Song* Start(const XmSong& xm) {
        song = LoadXm(xm);
        EXPECT_TRUE(song);
        StartSong(song.get());
        return song.get();
    }
    void Tick() { ReplayTick(song.get()); }
    void Ticks(int n) {
        for (int i = 0; i < n; ++i)
            Tick();
    }
    // Runs ticks until `count` rows have started; where each one was.
    std::vector<Position> Rows(int count) {
        std::vector<Position> rows;
        while (static_cast<int>(rows.size()) < count) {
            const bool rowStart = song->tick == 0;
            Tick();
            if (rowStart)
                rows.emplace_back(song->orderPosition, song->row);
        }
        return rows;
    }
    SongPtr song;
};

// A one-channel song with a note (C-4, realNote 48) on row 0.
XmSong NoteSong(XmCell firstRow = {49, 1, 0, 0, 0}) {
    XmSong xm = OneInstrumentSong();
    xm.patterns[0].At(0, 0) = firstRow;
    return xm;
}

struct TickCounter {
    int ticks = 0;
    int rows = 0;
} counter;

void CountingTick(Song* song) {
    counter.rows += song->tick == 0;
    counter.ticks += 1;
    ReplayTick(song);
}

} // namespace

TEST_F(ReplayTest, TickLengthFollowsTheTempo) {
    Start(NoteSong());
    EXPECT_EQ(song->samplesPerTick, 882);
    for (int bpm = 32; bpm <= 255; ++bpm) {
        SetBpm(song.get(), bpm);
        ASSERT_EQ(song->samplesPerTick, 110250 / bpm) << bpm;
    }
    SetBpm(song.get(), 0); // a damaged header's tempo: the slowest one
    EXPECT_EQ(song->bpm, 32);
    EXPECT_EQ(song->samplesPerTick, 3445);
    SetBpm(song.get(), -5);
    EXPECT_EQ(song->samplesPerTick, 3445);
    SetBpm(song.get(), 30000);
    EXPECT_EQ(song->bpm, 999);
    EXPECT_GE(song->samplesPerTick, 1);
}

TEST_F(ReplayTest, RowsLast5292SamplesAtSpeed6And125Bpm) {
    // Ticks come every 882 frames across block boundaries, a row every 6.
    for (int blocks : {1, 5, 6, 7, 12, 30}) {
        Start(NoteSong());
        song->tickHandler = CountingTick;
        counter = TickCounter{};
        for (int b = 0; b < blocks; ++b)
            FillBlock();
        const int frames = blocks * mixRing.blockSamples;
        EXPECT_EQ(counter.ticks, (frames + 881) / 882) << blocks;
        EXPECT_EQ(counter.rows, (frames + 5291) / 5292) << blocks;
        EXPECT_EQ(song->samplesLeftInTick, counter.ticks * 882 - frames);
    }
}

TEST_F(ReplayTest, SpeedAndTempoEffects) {
    XmSong xm = NoteSong({49, 1, 0, 0x0F, 0x00}); // F00
    Start(xm);
    for (int t = 0; t < 4; ++t) {
        Tick();
        EXPECT_EQ(song->row, t); // every tick starts a row
        EXPECT_EQ(song->tick, 0);
    }

    Start(NoteSong({49, 1, 0, 0x0F, 0x1F})); // F1F
    int ticks = 0;
    do {
        Tick();
        ++ticks;
    } while (song->tick != 0);
    EXPECT_EQ(song->speed, 31);
    EXPECT_EQ(ticks, 31);

    // F20: 32 BPM, and the tick that sets it already has the new length.
    Start(NoteSong({49, 1, 0, 0x0F, 0x20}));
    FillBlock();
    EXPECT_EQ(song->bpm, 32);
    EXPECT_EQ(song->samplesPerTick, 3445);
    EXPECT_EQ(song->samplesLeftInTick, 3445 - 884);
}

TEST_F(ReplayTest, OrdersRowsAndRestart) {
    XmSong xm = OneInstrumentSong();
    xm.patterns = {EmptyPattern(xm, 2), EmptyPattern(xm, 3)};
    xm.orders = {0, 1, 0};
    xm.restartPosition = 1;
    xm.tempo = 2;
    Start(xm);
    const std::vector<Position> expected{{0, 0}, {0, 1}, {1, 0}, {1, 1}, {1, 2},
                                         {2, 0}, {2, 1}, {1, 0}, {1, 1}};
    EXPECT_EQ(Rows(9), expected);
}

TEST_F(ReplayTest, BreaksAndJumps) {
    XmSong xm = OneInstrumentSong(2);
    xm.tempo = 1;
    xm.patterns = {EmptyPattern(xm, 4), EmptyPattern(xm, 64), EmptyPattern(xm, 32),
                   EmptyPattern(xm, 4)};
    xm.patterns[0].At(1, 0) = {0, 0, 0, 0x0D, 0x64};  // row 64 does not exist: row 0
    xm.patterns[1].At(0, 0) = {0, 0, 0, 0x0D, 0x1F};  // 1 × 10 + 15: row 25 of the next order
    xm.patterns[2].At(25, 1) = {0, 0, 0, 0x0D, 0x40}; // row 40 of a 4-row pattern: row 0
    xm.patterns[3].At(0, 0) = {0, 0, 0, 0x0B, 0x03};  // B then D: order from B, row from D
    xm.patterns[3].At(0, 1) = {0, 0, 0, 0x0D, 0x02};
    xm.patterns[3].At(2, 0) = {0, 0, 0, 0x0D, 0x01}; // D then B: B decides both,
    xm.patterns[3].At(2, 1) = {0, 0, 0, 0x0B, 0x09}; // and past the song it means order 0
    xm.orders = {0, 1, 2, 3};
    Start(xm);
    const std::vector<Position> expected{{0, 0}, {0, 1}, {1, 0}, {2, 25}, {3, 0},
                                         {3, 2}, {0, 0}, {0, 1}, {1, 0}};
    EXPECT_EQ(Rows(9), expected);

    // A break in the last order goes to order 0.
    xm.orders = {3, 3};
    xm.patterns[3].At(0, 0) = {};
    xm.patterns[3].At(0, 1) = {};
    xm.patterns[3].At(2, 1) = {};
    Start(xm);
    const std::vector<Position> last{{0, 0}, {0, 1}, {0, 2}, {1, 1}, {1, 2}, {0, 1}};
    EXPECT_EQ(Rows(6), last);
}

TEST_F(ReplayTest, OddOrderListsStayInsideTheSong) {
    XmSong xm = OneInstrumentSong();
    xm.tempo = 1;
    xm.patterns = {EmptyPattern(xm, 2), EmptyPattern(xm, 0)}; // pattern 1 has no rows
    xm.orders = {1, 0, 7};                                    // 7 is not stored: 64 empty rows
    Start(xm);
    std::vector<Position> rows = Rows(70);
    EXPECT_EQ(rows[0], Position(0, 0));
    EXPECT_EQ(rows[1], Position(1, 0));
    EXPECT_EQ(rows[3], Position(2, 0));
    EXPECT_EQ(rows[66], Position(2, 63));
    EXPECT_EQ(rows[67], Position(0, 0));

    // An order list longer than the table: its 256 entries, then the restart.
    xm.orders.assign(256, 0);
    xm.orders[255] = 1;
    xm.rawSongLength = 1000;
    Start(xm);
    rows = Rows(2 * 256 + 1);
    EXPECT_EQ(rows[2 * 255], Position(255, 0));
    EXPECT_EQ(rows[2 * 255 + 1], Position(0, 0));
}

TEST_F(ReplayTest, PortamentoLimits) {
    XmSong xm = NoteSong({49, 1, 0, 0x01, 0x08});
    for (int row = 1; row < 64; ++row)
        xm.patterns[0].At(row, 0) = {0, 0, 0, 0x01, 0x00}; // memory
    Start(xm);
    Ticks(6);
    EXPECT_EQ(channels[0].period, 4608 - 5 * 4 * 8);
    Ticks(240);
    EXPECT_EQ(channels[0].period, 56);

    xm = NoteSong({49, 1, 0, 0x02, 0x40});
    for (int row = 1; row < 64; ++row)
        xm.patterns[0].At(row, 0) = {0, 0, 0, 0x02, 0x00};
    Start(xm);
    Ticks(6 * 64);
    EXPECT_EQ(channels[0].period, 4608 + 64 * 5 * 4 * 0x40); // no limit
}

TEST_F(ReplayTest, InstrumentBeyondTheCountPlaysNothing) {
    XmSong xm = NoteSong({49, 5, 0, 0, 0});
    for (int i = 0; i < 3; ++i)
        xm.instruments.push_back(xm.instruments[0]);
    Start(xm);
    Tick();
    EXPECT_EQ(voices[0].sample, nullptr);
    xm.patterns[0].At(0, 0).instrument = 4;
    Start(xm);
    Tick();
    EXPECT_NE(voices[0].sample, nullptr);
}

TEST_F(ReplayTest, KeyOffWithoutEnvelopeSilences) {
    XmSong xm = NoteSong();
    xm.patterns[0].At(1, 0) = {97, 0, 0, 0, 0};
    Start(xm);
    Ticks(6);
    EXPECT_EQ(voices[0].volume, 127);
    Tick();
    EXPECT_TRUE(channels[0].keyOff);
    EXPECT_EQ(voices[0].volume, 0);
    EXPECT_NE(voices[0].sample, nullptr); // silenced, not stopped

    // Effect K releases the key too.
    xm.patterns[0].At(1, 0) = {0, 0, 0, 20, 0};
    Start(xm);
    Ticks(7);
    EXPECT_EQ(voices[0].volume, 0);
}

TEST_F(ReplayTest, KeyOffReleasesTheSustainAndFades) {
    XmSong xm = NoteSong();
    XmInstrument& in = xm.instruments[0];
    in.volume.points = {{0, 64}, {4, 64}, {8, 0}};
    in.volume.type = kEnvelopeOn | kEnvelopeSustain;
    in.volume.sustain = 1;
    in.fadeout = 4096; // 8192 a tick
    xm.patterns[0].At(1, 0) = {97, 0, 0, 0, 0};
    Start(xm);
    Ticks(6);
    EXPECT_EQ(channels[0].envelopeVolume, 64); // held at the sustain point
    EXPECT_EQ(channels[0].fadeVolume, 65536);
    Tick();
    EXPECT_EQ(channels[0].fadeVolume, 65536 - 8192);
    std::vector<int> envelope;
    for (int t = 0; t < 5; ++t) {
        Tick();
        envelope.push_back(channels[0].envelopeVolume);
    }
    EXPECT_EQ(envelope, (std::vector<int>{48, 32, 16, 0, 0}));
    EXPECT_EQ(channels[0].fadeVolume, 65536 - 6 * 8192);
    Ticks(5);
    EXPECT_EQ(channels[0].fadeVolume, 0);
    EXPECT_EQ(voices[0].volume, 0);
}

TEST_F(ReplayTest, VolumeColumnSlides) {
    XmSong xm = NoteSong();
    xm.patterns[0].At(1, 0) = {0, 0, 0x65, 0, 0};
    xm.patterns[0].At(2, 0) = {0, 0, 0x85, 0, 0};
    xm.patterns[0].At(3, 0) = {0, 0, 0x7F, 0, 0};
    xm.patterns[0].At(4, 0) = {0, 0, 0x20, 0, 0};
    xm.patterns[0].At(5, 0) = {0, 0, 0x94, 0, 0};
    Start(xm);
    Ticks(6);
    EXPECT_EQ(channels[0].volume, 64);
    Ticks(6);
    EXPECT_EQ(channels[0].volume, 39); // 5 on each tick after the first
    Ticks(6);
    EXPECT_EQ(channels[0].volume, 34); // once
    Ticks(6);
    EXPECT_EQ(channels[0].volume, 64); // capped
    Ticks(6);
    EXPECT_EQ(channels[0].volume, 16);
    Ticks(6);
    EXPECT_EQ(channels[0].volume, 20);
}

TEST_F(ReplayTest, SampleOffsetPastTheLoopEndStopsTheVoice) {
    Start(NoteSong({49, 1, 0, 0x09, 0x03}));
    Tick();
    ASSERT_NE(voices[0].sample, nullptr);
    EXPECT_EQ(voices[0].position, uint64_t{768} << 32);

    Start(NoteSong({49, 1, 0, 0x09, 0x04})); // 1024 ≥ the loop end at 1000
    Tick();
    EXPECT_EQ(voices[0].sample, nullptr);
}

TEST_F(ReplayTest, MultiRetrig) {
    for (uint8_t parameter : {0x02, 0x82, 0x12}) {
        Start(NoteSong({49, 1, 0, 0x1B, parameter}));
        std::vector<int> triggered;
        std::vector<int> volumes;
        for (int t = 0; t < 6; ++t) {
            Tick();
            triggered.push_back((channels[0].flags & kTrigger) != 0);
            volumes.push_back(channels[0].volume);
        }
        EXPECT_EQ(triggered, (std::vector<int>{1, 0, 1, 0, 1, 0})) << int{parameter};
        if (parameter == 0x12)
            EXPECT_EQ(volumes, (std::vector<int>{64, 64, 63, 63, 62, 62}));
        else
            EXPECT_EQ(volumes, (std::vector<int>(6, 64))) << int{parameter};
    }
}

TEST_F(ReplayTest, Arpeggio047) {
    Start(NoteSong({49, 1, 0, 0x00, 0x47}));
    std::vector<int> deltas;
    for (int t = 0; t < 6; ++t) {
        Tick();
        deltas.push_back(channels[0].periodDelta);
    }
    // At speed 6 the tracker plays the low nibble first.
    EXPECT_EQ(deltas, (std::vector<int>{0, 448, 256, 0, 448, 256}));

    XmSong amiga = NoteSong({49, 1, 0, 0x00, 0x47});
    amiga.flags = 0;
    Start(amiga);
    std::vector<double> hz;
    for (int t = 0; t < 6; ++t) {
        Tick();
        hz.push_back(static_cast<double>(voices[0].step) * 44100 / 4294967296.0);
    }
    EXPECT_NEAR(hz[1] / hz[0], std::pow(2.0, 7 / 12.0), 0.01); // up, in both tables
    EXPECT_NEAR(hz[2] / hz[0], std::pow(2.0, 4 / 12.0), 0.01);
    EXPECT_EQ(hz[3], hz[0]);
}

TEST_F(ReplayTest, VolumesStayInRange) {
    XmSong xm = NoteSong({49, 1, 0, 0x0C, 0xFF});    // set volume 255
    xm.patterns[0].At(1, 0) = {0, 0, 0, 0x10, 0x20}; // global volume 32
    xm.patterns[0].At(2, 0) = {0, 0, 0, 0x11, 0x0F}; // global slide down
    Start(xm);
    Tick();
    EXPECT_EQ(channels[0].volume, 64);
    EXPECT_EQ(voices[0].volume, 127);
    Ticks(6);
    EXPECT_EQ(song->globalVolume, 32);
    EXPECT_EQ(voices[0].volume, 63);
    Ticks(11);
    EXPECT_EQ(song->globalVolume, 0);
}

TEST_F(ReplayTest, EnvelopePositionWithTwelvePoints) {
    XmSong xm = NoteSong();
    XmInstrument& in = xm.instruments[0];
    for (int i = 0; i < 12; ++i)
        in.volume.points.push_back(
            {static_cast<uint16_t>(10 * i), static_cast<uint16_t>(64 - 4 * i)});
    in.volume.type = kEnvelopeOn;
    xm.patterns[0].At(1, 0) = {0, 0, 0, 21, 0xFF}; // past the last point
    xm.patterns[0].At(2, 0) = {0, 0, 0, 21, 25};   // between points 2 and 3
    Start(xm);
    Ticks(7);
    EXPECT_TRUE(channels[0].volumeEnvelope.stopped);
    EXPECT_EQ(channels[0].envelopeVolume, 64 - 44);
    Ticks(5);
    Tick();
    EXPECT_FALSE(channels[0].volumeEnvelope.stopped);
    // Tick 25 lies between points 2 (20, 56) and 3 (30, 52).
    EXPECT_EQ(channels[0].volumeEnvelope.index, 3);
    EXPECT_EQ(channels[0].volumeEnvelope.tick, 25);
    EXPECT_EQ(channels[0].envelopeVolume, 54);
}

TEST_F(ReplayTest, VibratoAndTonePortamento) {
    XmSong xm = NoteSong({49, 1, 0, 0x04, 0x88});
    xm.patterns[0].At(1, 0) = {61, 0, 0, 0x03, 0x40}; // slide toward C-5
    Start(xm);
    std::vector<int> deltas;
    for (int t = 0; t < 6; ++t) {
        Tick();
        deltas.push_back(channels[0].periodDelta);
    }
    // Position 0, then 8, 16, 24, −32 + … after each tick's step.
    EXPECT_EQ(deltas[0], 0);
    EXPECT_EQ(deltas[1], 0);
    EXPECT_EQ(deltas[2], -44);
    EXPECT_EQ(deltas[3], -60);
    Tick();
    EXPECT_EQ(channels[0].period, 4608); // the new note only becomes the target
    EXPECT_EQ(channels[0].tonePortaTarget, 3840);
    Tick();
    EXPECT_EQ(channels[0].period, 4608 - 256);
    Ticks(4);
    EXPECT_EQ(channels[0].period, 3840);
}

TEST_F(ReplayTest, StartingAnotherSongSilencesEveryVoice) {
    XmSong xm = OneInstrumentSong(4);
    for (int c = 0; c < 4; ++c)
        xm.patterns[0].At(0, c) = {static_cast<uint8_t>(49 + c), 1, 0, 0, 0};
    Start(xm);
    FillBlock();
    for (int c = 0; c < 4; ++c)
        EXPECT_NE(voices[c].sample, nullptr);
    SongPtr other = LoadXm(OneInstrumentSong());
    StartSong(other.get());
    for (const Voice& voice : voices) {
        EXPECT_EQ(voice.sample, nullptr);
        EXPECT_EQ(voice.currentLeft, 0);
        EXPECT_EQ(voice.currentRight, 0);
    }
    DetachSong();
}

namespace {
Song* stoppedSong = nullptr;
void RecordStop(Song* song) {
    stoppedSong = song;
}
} // namespace

TEST_F(ReplayTest, FreeingThePlayingSongStopsItFirst) {
    SetFreeSongHook(RecordStop);
    SongPtr idle = LoadXm(OneInstrumentSong());
    Start(NoteSong());
    FillBlock();
    FreeSong(idle.release());
    EXPECT_EQ(stoppedSong, nullptr); // not playing: playback goes on
    EXPECT_EQ(mixRing.currentSong, song.get());
    Song* playing = song.get();
    FreeSong(song.release());
    EXPECT_EQ(stoppedSong, playing);
    EXPECT_EQ(mixRing.currentSong, nullptr);
    EXPECT_EQ(voices[0].sample, nullptr);
    FillBlock(); // nothing left to read
    SetFreeSongHook(nullptr);
}

namespace {

// One channel playing rows from row 0 at speed 6: the value field reads after
// the last tick of each row.
using Field = int (*)();
std::vector<int> AfterEachRow(const std::vector<XmCell>& rows, Field field) {
    XmSong xm = OneInstrumentSong();
    for (size_t row = 0; row < rows.size(); ++row)
        xm.patterns[0].At(static_cast<int>(row), 0) = rows[row];
    SongPtr song = LoadXm(xm);
    StartSong(song.get());
    std::vector<int> values;
    for (size_t row = 0; row < rows.size(); ++row) {
        for (int tick = 0; tick < 6; ++tick)
            ReplayTick(song.get());
        values.push_back(field());
    }
    DetachSong();
    return values;
}

int Volume() {
    return channels[0].volume;
}
int Period() {
    return channels[0].period;
}
int Pan() {
    return channels[0].pan;
}
int PeriodDelta() {
    return channels[0].periodDelta;
}
int GlobalVolume() {
    return mixRing.currentSong->globalVolume;
}
int SamplePosition() {
    return static_cast<int>(voices[0].position >> 32);
}

} // namespace

TEST_F(ReplayTest, EffectsAndTheVolumeColumnRowByRow) {
    struct Case {
        const char* what;
        std::vector<XmCell> rows; // note, instrument, volume column, effect, parameter
        Field field;
        std::vector<int> expected;
    };
    const XmCell c4{49, 1, 0, 0, 0}; // period 4608
    const std::vector<Case> cases{
        {"A slides by its memory",
         {{49, 1, 0, 0xA, 0x04}, {0, 0, 0, 0xA, 0}, {0, 0, 0, 0xA, 0x30}},
         Volume,
         {44, 24, 39}},
        {"3 keeps its speed for a new target",
         {c4, {61, 0, 0, 3, 0x08}, {73, 0, 0, 3, 0}},
         Period,
         {4608, 4448, 4288}},
        {"5 slides on toward the note and the volume",
         {c4, {61, 0, 0, 3, 0x08}, {0, 0, 0, 5, 0x02}, {0, 0, 0, 5, 0}},
         Period,
         {4608, 4448, 4288, 4128}},
        {"5's volume",
         {c4, {61, 0, 0, 3, 0x08}, {0, 0, 0, 5, 0x02}, {0, 0, 0, 5, 0}},
         Volume,
         {64, 64, 54, 44}},
        {"6 vibrates on", {{49, 1, 0, 4, 0x88}, {0, 0, 0, 6, 0x03}}, PeriodDelta, {0, -44}},
        {"6's volume",
         {{49, 1, 0, 4, 0x88}, {0, 0, 0, 6, 0x03}, {0, 0, 0, 6, 0}},
         Volume,
         {64, 49, 34}},
        {"8 sets the panning; P slides it, clamped",
         {{49, 1, 0, 8, 0xFA}, {0, 0, 0, 0x19, 0x80}, {0, 0, 0, 8, 0x0A}, {0, 0, 0, 0x19, 0x0F}},
         Pan,
         {250, 255, 10, 0}},
        {"H slides the global volume up",
         {{49, 1, 0, 0x10, 0x20}, {0, 0, 0, 0x11, 0x20}, {0, 0, 0, 0x11, 0}, {0, 0, 0, 0x11, 0xF0}},
         GlobalVolume,
         {32, 42, 52, 64}},
        {"X moves the period once a row, by its memories",
         {{49, 1, 0, 0x21, 0x14},
          {0, 0, 0, 0x21, 0x10},
          {0, 0, 0, 0x21, 0x22},
          {0, 0, 0, 0x21, 0x20}},
         Period,
         {4604, 4600, 4602, 4604}},
        {"9 starts a note at its memory",
         {{49, 1, 0, 9, 3}, {49, 0, 0, 9, 0}, c4},
         SamplePosition,
         {768, 768, 0}},
        {"Cx sets the panning; Dx and Ex slide it on the ticks after the first",
         {{49, 1, 0xC4}, {0, 0, 0xD3}, {0, 0, 0xE2}},
         Pan,
         {64, 49, 59}},
        {"Ax and Bx vibrate", {{49, 1, 0xA4}, {0, 0, 0xB8}}, PeriodDelta, {0, -60}},
        {"Fx slides toward the last note, by its memory",
         {c4, {61, 0, 0, 3, 0x01}, {0, 0, 0xF2}, {0, 0, 0xF0}},
         Period,
         {4608, 4588, 3948, 3840}},
        {"tremolo leaves the volume as it was",
         {{49, 1, 0x30}, {0, 0, 0, 7, 0x48}, {}},
         Volume,
         {32, 32, 32}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(AfterEachRow(c.rows, c.field), c.expected) << c.what;
}

TEST_F(ReplayTest, TremorAndEveryMultiRetrigVolumeChange) {
    // T12: on for two ticks, off for three, counted from the tick after the
    // first.
    Start(NoteSong({49, 1, 0, 0x1D, 0x12}));
    std::vector<int> heard;
    for (int t = 0; t < 6; ++t) {
        Tick();
        heard.push_back(voices[0].volume);
    }
    EXPECT_EQ(heard, (std::vector<int>{127, 127, 127, 0, 0, 0}));

    // Rx1 from volume 40: the volume after ticks 1 and 2, for x = 0 to 15.
    const int expected[16][2] = {{40, 40}, {39, 38}, {38, 36}, {36, 32}, {32, 24}, {24, 8},
                                 {26, 17}, {20, 10}, {40, 40}, {41, 42}, {42, 44}, {44, 48},
                                 {48, 56}, {56, 64}, {60, 64}, {64, 64}};
    for (int change = 0; change < 16; ++change) {
        Start(NoteSong({49, 1, 0x38, 0x1B, static_cast<uint8_t>(change << 4 | 1)}));
        Tick();
        for (int t = 1; t <= 2; ++t) {
            Tick();
            EXPECT_TRUE(channels[0].flags & kTrigger) << change;
            EXPECT_EQ(channels[0].volume, expected[change][t - 1]) << change << " tick " << t;
        }
    }
}
