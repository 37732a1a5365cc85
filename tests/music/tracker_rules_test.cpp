// The playback rules of the format as the tracker that defined it plays
// them, tick by tick: the E sub-commands, the volume column, key off and K,
// global volume, note range, tremor, sample offset and arpeggio, pattern loop
// and delay. One table; each case a few rows, what it watches after every
// tick, and the values the rule gives. (scripts/compare_players.sh measures
// the same rules against outside players.)
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "music/channel.h"
#include "music/replay.h"
#include "music_test_util.h"

namespace {

// Instruments of the rule table: 1 plain (a looped sample, no envelope),
// 2 with a sustained volume envelope, 3 and 4 with relative notes −1 and +24.
XmSong RulesSong(int speed, int channels) {
    XmSong xm = OneInstrumentSong(channels);
    xm.tempo = static_cast<uint16_t>(speed);
    XmInstrument enveloped = xm.instruments[0];
    enveloped.volume.points = {{0, 64}, {8, 64}, {40, 16}};
    enveloped.volume.type = kEnvelopeOn | kEnvelopeSustain;
    enveloped.volume.sustain = 1;
    xm.instruments.push_back(enveloped);
    for (int8_t relative : {-1, 24}) {
        xm.instruments.push_back(xm.instruments[0]);
        xm.instruments.back().samples[0].relativeNote = relative;
    }
    return xm;
}

using Probe = int (*)(const Song& song);

int Pitch(const Song&) { // the period the voice sounds at (linear table)
    return channels[0].period - channels[0].periodDelta;
}
int PeriodDelta(const Song&) {
    return channels[0].periodDelta;
}
int Volume(const Song&) { // the channel's volume with this tick's tremolo
    return channels[0].volume + channels[0].volumeDelta;
}
int Heard(const Song&) { // the voice's volume, 0..127
    return voices[0].volume;
}
int Pan(const Song&) {
    return channels[0].pan;
}
int Triggered(const Song&) {
    return (channels[0].flags & kTrigger) != 0;
}
int Released(const Song&) {
    return channels[0].keyOff;
}
int VibratoPosition(const Song&) {
    return channels[0].vibratoPosition;
}
int Row(const Song& song) {
    return song.row;
}
int SamplePosition(const Song&) {
    return static_cast<int>(voices[0].position >> 32);
}

struct Case {
    std::string what;
    int speed;
    std::vector<XmCell> rows;   // channel 0, from row 0
    std::vector<XmCell> second; // channel 1, when given
    Probe probe;
    std::vector<int> expected; // after every tick
};

// Plays the case's rows and probes after every tick.
std::vector<int> Play(const Case& c) {
    XmSong xm = RulesSong(c.speed, c.second.empty() ? 1 : 2);
    for (size_t r = 0; r < c.rows.size(); ++r)
        xm.patterns[0].At(static_cast<int>(r), 0) = c.rows[r];
    for (size_t r = 0; r < c.second.size(); ++r)
        xm.patterns[0].At(static_cast<int>(r), 1) = c.second[r];
    SongPtr song = LoadXm(xm);
    EXPECT_TRUE(song);
    if (!song)
        return {};
    StartSong(song.get());
    std::vector<int> values;
    while (values.size() < c.expected.size()) {
        ReplayTick(song.get());
        values.push_back(c.probe(*song));
    }
    DetachSong();
    return values;
}

constexpr uint8_t kC4 = 49, kE4 = 53, kF4 = 54, kG4 = 56, kOff = 97;
constexpr uint8_t kE = 0x0E;

XmCell Fx(uint8_t effect, uint8_t parameter) {
    return {0, 0, 0, effect, parameter};
}
XmCell Column(uint8_t volume, uint8_t effect = 0, uint8_t parameter = 0) {
    return {0, 0, volume, effect, parameter};
}

class TrackerRules : public MixerTest {};

} // namespace

TEST_F(TrackerRules, TickByTick) {
    const XmCell c4{kC4, 1, 0, 0, 0};
    const std::vector<Case> cases{
        {"E1x/E2x slide once, on the first tick, each by its own memory; 1xx keeps its own",
         1,
         {c4, Fx(kE, 0x18), Fx(kE, 0x10), Fx(kE, 0x24), Fx(kE, 0x20), Fx(1, 0), Fx(kE, 0x10)},
         {},
         Pitch,
         {4608, 4576, 4544, 4560, 4576, 4576, 4544}},
        {"EAx/EBx slide once, each by its own memory; Axy keeps its own",
         1,
         {c4, Fx(kE, 0xB8), Fx(kE, 0xB0), Fx(kE, 0xA4), Fx(kE, 0xA0), Fx(0xA, 0), Fx(kE, 0xB0)},
         {},
         Volume,
         {64, 56, 48, 52, 56, 56, 48}},
        {"E31: tone portamento sounds in semitones, half way still the lower one",
         3,
         {c4, Fx(kE, 0x31), {kE4, 0, 0, 3, 0x08}, Fx(3, 0)},
         {},
         Pitch,
         {4608, 4608, 4608, 4608, 4608, 4608, 4608, 4608, 4544, 4544, 4544, 4480}},
        {"E41: ramp vibrato",
         3,
         {{kC4, 1, 0, kE, 0x41}, Fx(4, 0x84), Fx(4, 0), Fx(4, 0)},
         {},
         PeriodDelta,
         {0, 0, 0, 0, 0, -8, -16, -16, -24, 28, 28, 20}},
        {"E42: square vibrato",
         3,
         {{kC4, 1, 0, kE, 0x42}, Fx(4, 0x84), Fx(4, 0), Fx(4, 0)},
         {},
         PeriodDelta,
         {0, 0, 0, -28, -28, -28, -28, -28, -28, 28, 28, 28}},
        {"E46: a struck instrument leaves the vibrato position",
         3,
         {{kC4, 1, 0, kE, 0x46}, Fx(4, 0x84), c4},
         {},
         VibratoPosition,
         {0, 0, 0, 0, 8, 16, 16, 16, 16}},
        {"E5x: the finetune of the note beside it, and of no other",
         1,
         {{kC4, 0, 0, kE, 0x5F}, {kC4, 0, 0, kE, 0x50}, {kC4}, Fx(kE, 0x5F), {kC4, 0, 0, kE, 0x54}},
         {},
         Pitch,
         {4552, 4672, 4608, 4608, 4640}},
        {"E71: ramp tremolo, turned over by the vibrato's position as in the tracker; on "
         "the first tick it stands still, and its offset ends with it",
         3,
         {{kC4, 1, 0x30, kE, 0x71}, Fx(7, 0x88), Fx(7, 0), Fx(7, 0), {}},
         {},
         Volume,
         {32, 32, 32, 32, 32, 40, 48, 48, 56, 32, 32, 24, 32, 32, 32}},
        {"E72: square tremolo",
         3,
         {{kC4, 1, 0x30, kE, 0x72}, Fx(7, 0x88), Fx(7, 0), Fx(7, 0)},
         {},
         Volume,
         {32, 32, 32, 63, 63, 63, 63, 63, 63, 1, 1, 1}},
        {"E9x: the note again every x ticks; E90 on the first tick alone",
         6,
         {c4, Fx(kE, 0x93), Fx(kE, 0x90), {kC4, 1, 0, kE, 0x92}},
         {},
         Triggered,
         {1, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0, 1, 0, 1, 0}},
        {"ECx: volume 0 on tick x (x = 0 at once, past the row never); it stays 0",
         3,
         {{kC4, 1, 0, kE, 0xC1}, {kC4}, c4, {kC4, 1, 0, kE, 0xC0}, {kC4, 1, 0, kE, 0xC9}},
         {},
         Volume,
         {64, 0, 0, 0, 0, 0, 64, 64, 64, 0, 0, 0, 64, 64, 64}},
        {"EDx: the note on tick x; past the row never",
         3,
         {c4, {kE4, 1, 0, kE, 0xD2}, {kG4, 1, 0, kE, 0xD5}, {kC4, 1, 0x20, kE, 0xD1}},
         {},
         Pitch,
         {4608, 4608, 4608, 4608, 4608, 4352, 4352, 4352, 4352, 4352, 4608, 4608}},
        {"EDx: the delayed note's volume column and instrument act on its tick",
         3,
         {c4, Column(0x20), {kC4, 1, 0x30, kE, 0xD2}},
         {},
         Volume,
         {64, 64, 64, 16, 16, 16, 16, 16, 32}},
        {"EEx: the row x more times, its slides on every tick of the repeats",
         3,
         {c4, {kE4, 0, 0, 0xA, 0x02}, {kF4}},
         {{}, Fx(kE, 0xE1), {}},
         Volume,
         {64, 64, 64, 64, 62, 60, 58, 56, 54, 54, 54, 54}},
        {"EEx: rows during a delay",
         3,
         {c4, {kE4, 0, 0, 0xA, 0x02}, {kF4}},
         {{}, Fx(kE, 0xE1), {}},
         Row,
         {0, 0, 0, 1, 1, 1, 1, 1, 1, 2, 2, 2}},
        {"Mx slides to the note instead of jumping; M0 goes on",
         3,
         {c4, {kE4, 0, 0xF1}, Column(0xF0)},
         {},
         Pitch,
         {4608, 4608, 4608, 4608, 4544, 4480, 4480, 4416, 4352}},
        {"Mx beside 3xx: both slide, at the column's speed",
         3,
         {c4, {kE4, 0, 0xF1, 3, 0x01}},
         {},
         Pitch,
         {4608, 4608, 4608, 4608, 4480, 4352}},
        {"volume-column slides act after the first tick; 5x above 50 sets 64",
         3,
         {{kC4, 1, 0x30}, Column(0x64), Column(0x60), Column(0x72), Column(0x55)},
         {},
         Volume,
         {32, 32, 32, 32, 28, 24, 24, 24, 24, 24, 26, 28, 64, 64, 64}},
        {"volume-column panning slides act after the first tick and stop at the edges",
         3,
         {{kC4, 1, 0xC4}, Column(0xD3), Column(0xE2), Column(0xC0), Column(0xDF)},
         {},
         Pan,
         {64, 64, 64, 64, 61, 58, 58, 60, 62, 0, 0, 0, 0, 0, 0}},
        {"key off without envelope: volume 0; a volume or an instrument beside it counts",
         3,
         {c4, {kOff}, c4, {kOff, 0, 0x30}, {kOff, 1}},
         {},
         Heard,
         {127, 127, 127, 0, 0, 0, 127, 127, 127, 63, 63, 63, 127, 127, 127}},
        {"key off beside an instrument is undone by it",
         3,
         {{kC4, 2}, {kOff}, {kOff, 2}},
         {},
         Released,
         {0, 0, 0, 1, 1, 1, 0, 0, 0}},
        {"Kxx on tick xx; K00 at once, and the note beside it does not start",
         6,
         {c4, Fx(0x14, 3), c4, {kE4, 0, 0, 0x14, 0}, c4, Fx(0x14, 9)},
         {},
         Heard,
         {127, 127, 127, 127, 127, 127, 127, 127, 127, 0,   0,   0,
          127, 127, 127, 127, 127, 127, 0,   0,   0,   0,   0,   0,
          127, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127}},
        {"K00's note does not start",
         3,
         {c4, {kE4, 0, 0, 0x14, 0}},
         {},
         Pitch,
         {4608, 4608, 4608, 4608, 4608, 4608}},
        {"G and H reach a channel before theirs on the tick they act",
         3,
         {c4},
         {{}, Fx(0x10, 0x20), Fx(0x11, 0x02)},
         Heard,
         {127, 127, 127, 63, 63, 63, 63, 59, 55}},
        {"a note its relative note moves out of range is ignored",
         1,
         {c4, {1, 3}, {96, 4}, {kC4, 3}},
         {},
         Pitch,
         {4608, 4608, 4608, 4672}},
        {"Txy: x + 1 ticks on, y + 1 off; T00 by its memory; silent until a volume is set",
         6,
         {{kC4, 1, 0, 0x1D, 0}, {kC4, 1, 0, 0x1D, 0x12}, Fx(0x1D, 0), {}, c4},
         {},
         Heard,
         {127, 127, 0, 127, 0, 127, 127, 127, 127, 0,   0,   0,   0,   127, 127,
          0,   0,   0, 0,   0, 0,   0,   0,   0,   127, 127, 127, 127, 127, 127}},
        {"9xx with a note only; its memory from such a row",
         1,
         {{kC4, 1, 0, 9, 3}, Fx(9, 5), {kC4}, {kC4, 0, 0, 9, 0}},
         {},
         SamplePosition,
         {768, 768, 0, 768}},
        {"arpeggio: the low nibble first at speed 6",
         6,
         {{kC4, 1, 0, 0, 0x47}},
         {},
         Pitch,
         {4608, 4160, 4352, 4608, 4160, 4352}},
        {"arpeggio: no higher than C-8", 3, {{93, 1, 0, 0, 0xFC}}, {}, Pitch, {1792, 1536, 1536}},
        {"arpeggio: from the note nearest the period",
         3,
         {c4, {0, 0, 0, kE, 0x18}, Fx(0, 0x0C)},
         {},
         Pitch,
         {4608, 4608, 4608, 4576, 4576, 4576, 4576, 3840, 4608}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Play(c), c.expected) << c.what;
}

// Pattern loops and delays, and where play goes: the order of rows, and when
// the song has been played once through (the length xm2wav renders).
TEST_F(TrackerRules, LoopsAndDelaysInTheSongLength) {
    XmSong xm = RulesSong(1, 2);
    xm.patterns = {EmptyPattern(xm, 5), EmptyPattern(xm, 3)};
    xm.orders = {0, 1};
    xm.patterns[0].At(1, 0) = Fx(kE, 0x60);
    xm.patterns[0].At(3, 0) = Fx(kE, 0x62); // rows 1-3 three times
    xm.patterns[0].At(2, 1) = Fx(kE, 0xE2); // row 2 three times on every pass
    SongPtr song = LoadXm(xm);
    ASSERT_TRUE(song);
    StartSong(song.get());
    std::vector<std::pair<int, int>> rows;
    int ticks = 0;
    while (song->passes == 0 && ticks < 1000) {
        ReplayTick(song.get());
        ++ticks;
        rows.emplace_back(song->orderPosition, song->row); // speed 1: a row a tick
    }
    // After the loop the next pattern starts at the loop's row, as the
    // tracker has it; the tick that comes back to order 0 ends the pass.
    const std::vector<std::pair<int, int>> expected{
        {0, 0}, {0, 1}, {0, 2}, {0, 2}, {0, 2}, {0, 3}, {0, 1}, {0, 2}, {0, 2}, {0, 2},
        {0, 3}, {0, 1}, {0, 2}, {0, 2}, {0, 2}, {0, 3}, {0, 4}, {1, 1}, {1, 2}, {0, 0}};
    EXPECT_EQ(rows, expected);
    EXPECT_EQ(ticks, 20);
    EXPECT_EQ(song->passes, 1);
    DetachSong();
}
