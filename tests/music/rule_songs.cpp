#include "rule_songs.h"

#include <cmath>
#include <utility>

namespace {

// A sine of 16 samples a cycle (522 Hz at C-4 in the linear table).
int Sine(int i, int amplitude) {
    return static_cast<int>(std::lround(amplitude * std::sin(i * 3.14159265358979 / 8)));
}

XmInstrument SineInstrument() {
    XmSample sample = SixteenBitSample(256, [](int i) { return Sine(i, 20000); });
    sample.loopType = 1;
    sample.loopLength = 256;
    return OneSampleInstrument(sample);
}

XmInstrument EnvelopeInstrument() {
    XmInstrument in = SineInstrument();
    in.volume.points = {{0, 64}, {8, 64}, {40, 16}};
    in.volume.type = 1 | 2;
    in.volume.sustain = 1;
    in.fadeout = 2048; // silent 16 ticks after the key off
    return in;
}

XmInstrument DecayInstrument() {
    const int n = 8000;
    return OneSampleInstrument(
        SixteenBitSample(n, [](int i) { return Sine(i, 24000) * (n - i) / n; }));
}

using Row = std::vector<XmCell>; // one cell a channel, from channel 0

// A song of one pattern a list of rows, played in that order.
XmSong Song(int channels, const std::vector<std::vector<Row>>& patterns) {
    XmSong song;
    song.channels = channels;
    song.instruments = {SineInstrument(), EnvelopeInstrument(), DecayInstrument()};
    song.orders.clear();
    for (const std::vector<Row>& rows : patterns) {
        XmPattern pattern = EmptyPattern(song, static_cast<int>(rows.size()));
        for (size_t r = 0; r < rows.size(); ++r)
            for (size_t c = 0; c < rows[r].size(); ++c)
                pattern.At(static_cast<int>(r), static_cast<int>(c)) = rows[r][c];
        song.orders.push_back(static_cast<uint8_t>(song.patterns.size()));
        song.patterns.push_back(std::move(pattern));
    }
    return song;
}

XmSong Song(const std::vector<Row>& rows) {
    return Song(1, {rows});
}

constexpr uint8_t kE = 0x0E;
const XmCell kStart{kC4, kSineInstrument, 0, 0, 0};
const XmCell kNone{};

XmCell E(uint8_t sub, uint8_t x) {
    return {0, 0, 0, kE, static_cast<uint8_t>(sub << 4 | x)};
}
XmCell Fx(uint8_t effect, uint8_t parameter) {
    return {0, 0, 0, effect, parameter};
}
XmCell Note(uint8_t note, uint8_t instrument = 0, uint8_t volume = 0, uint8_t effect = 0,
            uint8_t parameter = 0) {
    return {note, instrument, volume, effect, parameter};
}

} // namespace

std::vector<RuleSong> RuleSongs() {
    std::vector<RuleSong> songs;
    songs.push_back({"fine-portamento",
                     "E1x and E2x slide once a row, each with its own memory, apart from 1xx",
                     Song({{kStart},
                           {E(1, 8)},
                           {E(1, 0)},
                           {E(2, 4)},
                           {E(2, 0)},
                           {Fx(1, 0)},
                           {E(1, 0)},
                           {kNone}})});
    songs.push_back({"glissando", "E31 makes tone portamento move in semitones",
                     Song({{kStart},
                           {E(3, 1)},
                           {Note(kE4, 0, 0, 3, 0x02)},
                           {Fx(3, 0)},
                           {Fx(3, 0)},
                           {Fx(3, 0)},
                           {Fx(3, 0)},
                           {E(3, 0)},
                           {Note(kC4, 0, 0, 3, 0x02)},
                           {Fx(3, 0)},
                           {Fx(3, 0)},
                           {Fx(3, 0)}})});
    songs.push_back({"vibrato-waveform", "E4x chooses sine, ramp or square vibrato",
                     Song({{Note(kC4, kSineInstrument, 0, 4, 0x2C)},
                           {Fx(4, 0)},
                           {Fx(4, 0)},
                           {E(4, 1)},
                           {Fx(4, 0)},
                           {Fx(4, 0)},
                           {Fx(4, 0)},
                           {E(4, 2)},
                           {Fx(4, 0)},
                           {Fx(4, 0)},
                           {Fx(4, 0)},
                           {kNone}})});
    songs.push_back({"finetune", "E5x sets the finetune of the note beside it",
                     Song({{kStart},
                           {Note(kC4, 0, 0, kE, 0x5F)},
                           {Note(kC4, 0, 0, kE, 0x50)},
                           {Note(kC4, 0, 0, kE, 0x54)},
                           {kNone},
                           {E(5, 0xF)},
                           {Note(kC4)},
                           {kNone}})});
    songs.push_back({"pattern-loop", "E60 marks a row, E6x plays back to it x times",
                     Song(1, {{{kStart},
                               {Note(kD4, 0, 0, kE, 0x60)},
                               {Note(kE4)},
                               {Note(kF4, 0, 0, kE, 0x62)},
                               {Note(kG4)},
                               {Note(kA4)}},
                              {{Note(kC5)}, {Note(kB4)}, {Note(kA4)}, {Note(kG4)}}})});
    songs.push_back({"tremolo-waveform", "E7x chooses sine, ramp or square tremolo",
                     Song({{Note(kC4, kSineInstrument, 0, 7, 0x28)},
                           {Fx(7, 0)},
                           {Fx(7, 0)},
                           {E(7, 1)},
                           {Fx(7, 0)},
                           {Fx(7, 0)},
                           {Fx(7, 0)},
                           {E(7, 2)},
                           {Fx(7, 0)},
                           {Fx(7, 0)},
                           {Fx(7, 0)},
                           {kNone}})});
    songs.push_back({"retrigger", "E9x starts the sample again every x ticks",
                     Song({{Note(kC4, kDecayInstrument)},
                           {E(9, 3)},
                           {E(9, 2)},
                           {E(9, 0)},
                           {Note(kC4, kDecayInstrument, 0, kE, 0x94)},
                           {kNone}})});
    songs.push_back({"fine-volume-slide", "EAx and EBx slide once a row, each with its memory",
                     Song({{kStart},
                           {E(0xB, 8)},
                           {E(0xB, 0)},
                           {E(0xA, 4)},
                           {E(0xA, 0)},
                           {Fx(0xA, 0)},
                           {E(0xB, 0)},
                           {kNone}})});
    songs.push_back({"note-cut", "ECx sets the volume to 0 on tick x",
                     Song({{kStart},
                           {Note(kC4, kSineInstrument, 0, kE, 0xC3)},
                           {Note(kC4, kSineInstrument, 0, kE, 0xC0)},
                           {Note(kC4, kSineInstrument, 0, kE, 0xC9)},
                           {Note(kC4, kSineInstrument, 0, kE, 0xC2)},
                           {Note(kC4)},
                           {Note(kC4, kSineInstrument)},
                           {kNone}})});
    songs.push_back({"note-delay", "EDx starts the row's note on tick x",
                     Song({{Note(kC4, kDecayInstrument)},
                           {Note(kE4, kDecayInstrument, 0, kE, 0xD3)},
                           {Note(kG4, kDecayInstrument, 0, kE, 0xD0)},
                           {Note(kC5, kDecayInstrument, 0, kE, 0xD9)},
                           {Note(kC4, kDecayInstrument, 0x20, kE, 0xD2)},
                           {Note(kOff, 0, 0, kE, 0xD4)},
                           {kNone}})});
    songs.push_back({"pattern-delay", "EEx plays its row x more times without new notes",
                     Song(2, {{{kStart, kNone},
                               {Note(kD4), E(0xE, 2)},
                               {Note(kE4, 0, 0, 0xA, 0x02), E(0xE, 1)},
                               {Note(kF4, kSineInstrument), kNone},
                               {Note(kG4, 0, 0, kE, 0x93), E(0xE, 1)},
                               {kNone, kNone}}})});
    songs.push_back({"volume-column-portamento", "Mx slides to the note like 3xx",
                     Song({{kStart},
                           {Note(kE4, 0, 0xF1)},
                           {kNone},
                           {Note(kG4, 0, 0xF1)},
                           {Note(0, 0, 0xF0)},
                           {Note(kC4, 0, 0xF1, 3, 0x01)},
                           {kNone}})});
    songs.push_back({"volume-column", "the volume column's slides act on the ticks after the first",
                     Song({{kStart},
                           {Note(0, 0, 0x64)},
                           {Note(0, 0, 0x73)},
                           {Note(0, 0, 0x88)},
                           {Note(0, 0, 0x94)},
                           {Note(0, 0, 0x60)},
                           {Note(kC4, kSineInstrument, 0x30)},
                           {Note(0, 0, 0xA6)},
                           {Note(0, 0, 0xB8)},
                           {Note(0, 0, 0xB0)},
                           {kNone}})});
    songs.push_back({"key-off",
                     "key off: without envelope volume 0, a volume or instrument beside it "
                     "still counts; with envelope release and fade",
                     Song({{kStart},
                           {Note(kOff)},
                           {kNone},
                           {Note(kC4, kSineInstrument)},
                           {Note(kOff, 0, 0x30)},
                           {kNone},
                           {Note(kOff, kSineInstrument)},
                           {kNone},
                           {Note(kC4, kEnvelopeInstrument)},
                           {Note(kOff)},
                           {kNone},
                           {kNone},
                           {kNone}})});
    songs.push_back({"key-off-effect", "Kxx releases the key on tick xx",
                     Song({{kStart},
                           {Fx(0x14, 3)},
                           {Note(kC4, kSineInstrument)},
                           {Note(kE4, 0, 0, 0x14, 0)},
                           {Note(kC4, kSineInstrument)},
                           {Fx(0x14, 9)},
                           {Note(kC4, kEnvelopeInstrument, 0, 0x14, 2)},
                           {kNone},
                           {kNone}})});
    songs.push_back({"global-volume", "G and H reach every channel on the next tick",
                     Song(2, {{{kStart, kNone},
                               {kNone, Fx(0x10, 0x20)},
                               {kNone, Fx(0x11, 0x02)},
                               {kNone, Fx(0x11, 0x30)},
                               {kNone, Fx(0x10, 0x40)},
                               {kNone, kNone}}})});
    XmSong range =
        Song({{kStart}, {Note(1, 4)}, {Note(96, 5)}, {Note(kC4, 4)}, {Note(kC4, 5)}, {kNone}});
    for (int8_t relative : {-1, 24}) {
        XmInstrument shifted = SineInstrument();
        shifted.samples[0].relativeNote = relative;
        range.instruments.push_back(shifted);
    }
    songs.push_back(
        {"note-range", "a note the relative note moves out of range is ignored", range});
    songs.push_back({"tremor", "Txy sounds x + 1 ticks, is silent y + 1, with its memory",
                     Song({{Note(kC4, kSineInstrument, 0, 0x1D, 0x00)},
                           {Note(kC4, kSineInstrument, 0, 0x1D, 0x12)},
                           {Fx(0x1D, 0)},
                           {Note(kC4, kSineInstrument)},
                           {kNone}})});
    songs.push_back({"sample-offset", "9xx acts with a note only; its memory serves a later 900",
                     Song({{Note(kC4, kDecayInstrument)},
                           {Fx(9, 0x10)},
                           {Note(kC4, kDecayInstrument)},
                           {Note(kC4, kDecayInstrument, 0, 9, 0x08)},
                           {Note(kC4, kDecayInstrument, 0, 9, 0x00)},
                           {Note(kC4, kDecayInstrument)},
                           {kNone}})});
    songs.push_back({"arpeggio", "arpeggio order, and notes held below the top of the table",
                     Song({{kStart},
                           {Fx(0, 0x47)},
                           {Note(93, kSineInstrument, 0, 0, 0xFC)},
                           {Fx(0, 0xC0)},
                           {kNone}})});
    XmSong header = Song({{kStart}, {Note(kE4)}, {Note(kG4)}, {kNone}});
    header.patterns[0].rawHeaderLength = 13;
    header.instruments[0].rawSampleHeaderSize = 44;
    songs.push_back({"header-sizes", "pattern headers of 13 bytes, sample headers of 44", header});
    return songs;
}
