#include "song.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "instruments.h"

// "Dusk Walk": form and arrangement.
//
//   section    bars  chords            what plays
//   intro        4   Dm Bb F  C        pad swells in, harp arpeggios, hats creep in
//   verse A      4   Dm Bb F  C        + bass, half-time drums, the lead's theme
//   verse B      4   Dm Bb Gm C        busier kick and bass, the theme's answer
//   fill         2   Bb A              tom run with falling pitch, bass rise (pattern break)
//   chorus A     4   Dm C  Bb C        full drums, crash, driving bass, soaring lead
//   chorus B     4   Dm C  Bb A        the lead climbs to D6, snare fill
//   bridge       4   Bb F  Gm A        sparse drums, gliding bass, bell chords (arpeggio)
//   chorus A2    4   Dm C  Bb C        as chorus A, the lead doubled in harmony
//   chorus B2    4   Dm C  Bb A
//   outro        4   Dm Bb Gm A        everything thins out, ritardando, back to the intro
//
// 16 rows per bar, speed 6 at 96 BPM: a row is a sixteenth note, a bar 2.5 s,
// the whole loop 38 bars, about 95 s. The lead's echo channel repeats it a dotted
// eighth later, softer and off to the side.
namespace song {

namespace {

constexpr int kChannelCount = 11;
constexpr int kRowsPerBar = 16;
constexpr int kPatternRows = 64;
constexpr uint8_t kC4 = 49; // XM note that plays drums at their recorded rate

enum Channel {
    kKickChannel,
    kSnareChannel, // snare and toms
    kHatChannel,   // hats
    kCrashChannel, // the crash alone, so that nothing cuts it short
    kBassChannel,
    kPadChannelA,
    kPadChannelB,
    kPadChannelC,
    kArpChannel, // harp arpeggios, bell chords in the bridge
    kLeadChannel,
    kEchoChannel, // the lead's echo, or its harmony in the second chorus
};

enum SectionIndex {
    kIntro,
    kVerseA,
    kVerseB,
    kFill,
    kChorusA,
    kChorusB,
    kBridge,
    kChorusA2,
    kChorusB2,
    kOutro,
    kSectionCount,
};

struct Section {
    const char* name;
    int bars;
    const char* chords;
};

const Section kSections[kSectionCount] = {
    {"intro", 4, "Dm Bb F C"},  {"verse A", 4, "Dm Bb F C"},   {"verse B", 4, "Dm Bb Gm C"},
    {"fill", 2, "Bb A"},        {"chorus A", 4, "Dm C Bb C"},  {"chorus B", 4, "Dm C Bb A"},
    {"bridge", 4, "Bb F Gm A"}, {"chorus A2", 4, "Dm C Bb C"}, {"chorus B2", 4, "Dm C Bb A"},
    {"outro", 4, "Dm Bb Gm A"},
};

struct Chord {
    const char* name;
    int rootClass; // pitch class of the root, 0 = C
    bool minor;
    int voicing[3]; // the pad's three notes (MIDI numbers), close voice leading
};

const Chord kChords[] = {
    {"Dm", 2, true, {57, 62, 65}}, {"Bb", 10, false, {58, 62, 65}}, {"F", 5, false, {57, 60, 65}},
    {"C", 0, false, {55, 60, 64}}, {"Gm", 7, true, {55, 58, 62}},   {"A", 9, false, {57, 61, 64}},
};

// MIDI number to XM note: middle C (60) is C-4 (49).
uint8_t XmNote(int midi) {
    return static_cast<uint8_t>(midi - 11);
}
uint8_t Volume(int volume) {
    return static_cast<uint8_t>(0x10 + volume);
}

// "C#5", "Bb4", "D6" to a MIDI number; -1 when the text is not a note.
int ParseNote(const std::string& text) {
    static const int kClasses[7] = {9, 11, 0, 2, 4, 5, 7}; // A..G
    if (text.empty() || text[0] < 'A' || text[0] > 'G')
        return -1;
    int pitch = kClasses[text[0] - 'A'];
    size_t at = 1;
    if (at < text.size() && text[at] == '#') {
        ++pitch;
        ++at;
    } else if (at < text.size() && text[at] == 'b') {
        --pitch;
        ++at;
    }
    if (at + 1 != text.size() || text[at] < '0' || text[at] > '9')
        return -1;
    return (text[at] - '0' + 1) * 12 + pitch;
}

struct MelodyNote {
    int row;    // from the start of the melody
    int length; // in rows
    int midi;   // -1 for a rest
    bool glide; // reach this note with tone portamento instead of striking it
};

class Composer {
  public:
    Composer() {
        int bar = 0;
        for (int s = 0; s < kSectionCount; ++s) {
            sectionBar_[s] = bar;
            const std::string chords = kSections[s].chords;
            size_t from = 0;
            for (int b = 0; b < kSections[s].bars; ++b) {
                size_t to = chords.find(' ', from);
                if (to == std::string::npos)
                    to = chords.size();
                barChords_.push_back(FindChord(chords.substr(from, to - from)));
                from = to + 1;
            }
            bar += kSections[s].bars;
        }
        rows_ = bar * kRowsPerBar;
        cells_.assign(static_cast<size_t>(rows_) * kChannelCount, xm::Cell{});
        ChooseBassRoots();
    }

    bool Compose(xm::Module& module, std::string& error) {
        Tempo();
        Drums();
        Bass();
        Pads();
        Arpeggios();
        Lead();
        EchoAndHarmony();
        if (!error_.empty()) {
            error = error_;
            return false;
        }
        return Assemble(module, error);
    }

  private:
    int Bar(SectionIndex section, int bar = 0) const { return sectionBar_[section] + bar; }
    int Row(int bar, int row = 0) const { return bar * kRowsPerBar + row; }
    const Chord& ChordAt(int bar) const { return *barChords_.at(static_cast<size_t>(bar)); }

    const Chord* FindChord(const std::string& name) {
        for (const Chord& chord : kChords)
            if (name == chord.name)
                return &chord;
        Fail("unknown chord " + name);
        return &kChords[0];
    }

    void Fail(const std::string& what) {
        if (error_.empty())
            error_ = what;
    }

    xm::Cell& At(int row, int channel) {
        return cells_.at(static_cast<size_t>(row) * kChannelCount + channel);
    }

    void Strike(int row, int channel, int xmNote, int instrument, int volume) {
        xm::Cell& cell = At(row, channel);
        cell.note = static_cast<uint8_t>(xmNote);
        cell.instrument = static_cast<uint8_t>(instrument);
        cell.volume = Volume(volume);
    }

    void KeyOff(int row, int channel) { At(row, channel).note = xm::kNoteKeyOff; }

    // Writes an effect into a free effect column; two parts of the arrangement
    // wanting the same column is a composition mistake.
    void SetEffect(int row, int channel, uint8_t effect, uint8_t parameter) {
        xm::Cell& cell = At(row, channel);
        if (cell.effect != 0 || cell.parameter != 0) {
            Fail("effect column taken at row " + std::to_string(row) + ", channel " +
                 std::to_string(channel));
            return;
        }
        cell.effect = effect;
        cell.parameter = parameter;
    }

    // ---- Tempo --------------------------------------------------------------

    // Speed and tempo are set again on the first row because the loop comes
    // back there from the ritardando at the end.
    void Tempo() {
        SetEffect(0, kKickChannel, xm::kEffectSpeedTempo, 6);
        SetEffect(0, kSnareChannel, xm::kEffectSpeedTempo, 96);
        // A gentle ritardando over the last bar before the loop starts again.
        const int last = Bar(kOutro, 3);
        const uint8_t slower[4] = {93, 90, 86, 82};
        for (int i = 0; i < 4; ++i)
            SetEffect(Row(last, i * 4), kSnareChannel, xm::kEffectSpeedTempo, slower[i]);
    }

    // ---- Drums --------------------------------------------------------------

    // One bar of a drum part, one character per row: 'X' loud, 'x' soft, for hats
    // 'O' and 'o' the open hat, '.' nothing.
    void DrumBar(int bar, int channel, const char* pattern, int instrument, int loud, int soft) {
        if (std::strlen(pattern) != kRowsPerBar) {
            Fail(std::string("drum bar of wrong length: ") + pattern);
            return;
        }
        for (int r = 0; r < kRowsPerBar; ++r) {
            const char c = pattern[r];
            if (c == '.')
                continue;
            const bool open = c == 'O' || c == 'o';
            const bool strong = c == 'X' || c == 'O';
            Strike(Row(bar, r), channel, open ? kC4 + 2 : kC4, instrument, strong ? loud : soft);
        }
    }

    // A crash that rings through its envelope's decay for a bar, then is
    // released so that its fade-out takes the tail away.
    void Crash(int bar, int volume) {
        Strike(Row(bar), kCrashChannel, kC4, kCrash, volume);
        KeyOff(Row(bar + 1), kCrashChannel);
    }

    // A tom that drops in pitch while it rings.
    void Tom(int row, int midi, int volume) {
        Strike(row, kSnareChannel, XmNote(midi), kTom, volume);
        SetEffect(row, kSnareChannel, xm::kEffectPortaDown, 6);
        SetEffect(row + 1, kSnareChannel, xm::kEffectPortaDown, 0);
    }

    // A sixteenth-note snare roll that grows from `from` to `to`.
    void SnareRoll(int bar, int firstRow, int from, int to) {
        const int count = kRowsPerBar - firstRow;
        for (int i = 0; i < count; ++i)
            Strike(Row(bar, firstRow + i), kSnareChannel, kC4, kSnare,
                   from + (to - from) * i / (count > 1 ? count - 1 : 1));
    }

    void Drums() {
        // Intro: only the hats, creeping in during the last bar.
        for (int r = 0; r < kRowsPerBar; r += 2)
            Strike(Row(Bar(kIntro, 3), r), kHatChannel, kC4, kHat, 4 + r);

        // Verses: a half-time groove.
        for (int b = 0; b < 4; ++b) {
            const int bar = Bar(kVerseA, b);
            DrumBar(bar, kKickChannel, "X.........x.....", kKick, 52, 40);
            DrumBar(bar, kSnareChannel, "........X.......", kSnare, 34, 20);
            DrumBar(bar, kHatChannel, b == 3 ? "x.X.x.X.x.X.x.O." : "x.X.x.X.x.X.x.X.", kHat, 28,
                    18);
        }
        for (int b = 0; b < 4; ++b) {
            const int bar = Bar(kVerseB, b);
            DrumBar(bar, kKickChannel, "X.....x...X.....", kKick, 56, 44);
            DrumBar(bar, kSnareChannel, b == 3 ? "........X.....x." : "........X.......", kSnare,
                    38, 18);
            DrumBar(bar, kHatChannel, b % 2 == 1 ? "x.X.x.X.x.X.xxO." : "x.X.x.X.x.X.x.X.", kHat,
                    30, 18);
        }

        // Fill: a pushing bar, then toms falling from high to low and a roll.
        const int push = Bar(kFill, 0);
        DrumBar(push, kKickChannel, "X.......X.X.....", kKick, 54, 46);
        DrumBar(push, kSnareChannel, "....X.......X.x.", kSnare, 42, 24);
        DrumBar(push, kHatChannel, "X.x.X.x.X.x.X.x.", kHat, 30, 20);
        const int run = Bar(kFill, 1);
        DrumBar(run, kKickChannel, "X.......X.......", kKick, 56, 48);
        const int toms[6] = {67, 67, 64, 64, 60, 60};
        for (int i = 0; i < 6; ++i)
            Tom(Row(run, i * 2), toms[i], 44 + i * 2);
        SnareRoll(run, 12, 30, 56);

        // Choruses: full groove with a crash on each four-bar phrase.
        for (SectionIndex section : {kChorusA, kChorusB, kChorusA2, kChorusB2}) {
            const bool ending = section == kChorusB || section == kChorusB2;
            Crash(Bar(section), 38);
            for (int b = 0; b < 4; ++b) {
                const int bar = Bar(section, b);
                DrumBar(bar, kKickChannel, b == 3 ? "X.....x.X...x..." : "X.....x.X.......", kKick,
                        58, 50);
                if (ending && b == 3) {
                    DrumBar(bar, kSnareChannel, "....X...........", kSnare, 48, 30);
                    SnareRoll(bar, 12, 28, 52);
                } else {
                    DrumBar(bar, kSnareChannel, "....X.......X...", kSnare, 48, 30);
                }
                if (b > 0)
                    DrumBar(bar, kHatChannel, b % 2 == 1 ? "X.x.X.x.X.x.X.O." : "X.x.X.x.X.x.X.x.",
                            kHat, 32, 20);
                else
                    DrumBar(bar, kHatChannel, "....X.x.X.x.X.x.", kHat, 32, 20);
            }
        }

        // Bridge: a heartbeat kick and quiet hats, then a build into the chorus.
        for (int b = 0; b < 3; ++b) {
            const int bar = Bar(kBridge, b);
            DrumBar(bar, kKickChannel, "X.........x.....", kKick, 44, 30);
            DrumBar(bar, kHatChannel, "x...x...x...x...", kHat, 12, 10);
        }
        const int build = Bar(kBridge, 3);
        DrumBar(build, kKickChannel, "X.......X...X...", kKick, 56, 48);
        for (int r = 0; r < 12; r += 2)
            Strike(Row(build, r), kSnareChannel, kC4, kSnare, 14 + r * 2);
        SnareRoll(build, 12, 38, 56);

        // Outro: one last crash, then the drums fade and stop.
        const int outro = Bar(kOutro);
        Crash(outro, 36);
        DrumBar(outro, kKickChannel, "X...............", kKick, 52, 40);
        DrumBar(outro, kHatChannel, "....x.x.x.x.x.x.", kHat, 14, 12);
        DrumBar(outro + 1, kKickChannel, "X...............", kKick, 40, 30);
        DrumBar(outro + 1, kHatChannel, "x.x.x.x.x.x.x.x.", kHat, 10, 10);
        DrumBar(outro + 2, kHatChannel, "x...x...x...x...", kHat, 8, 8);
    }

    // ---- Bass ---------------------------------------------------------------

    // Each bar's root in the octave from A1 to A2 nearest to the previous root.
    void ChooseBassRoots() {
        int previous = 38; // D2
        for (size_t bar = 0; bar < barChords_.size(); ++bar) {
            int best = -1;
            for (int midi = 33; midi <= 45; ++midi)
                if (midi % 12 == barChords_[bar]->rootClass &&
                    (best < 0 || std::abs(midi - previous) < std::abs(best - previous)))
                    best = midi;
            bassRoots_.push_back(best);
            previous = best;
        }
    }

    // One bar of bass, one character per row: 'R' root, 'O' root an octave up,
    // 'F' the fifth above, 'k' release, '.' nothing (the note rings on).
    void BassBar(int bar, const char* pattern, int volume) {
        if (std::strlen(pattern) != kRowsPerBar) {
            Fail(std::string("bass bar of wrong length: ") + pattern);
            return;
        }
        const int root = bassRoots_[static_cast<size_t>(bar)];
        for (int r = 0; r < kRowsPerBar; ++r) {
            const int row = Row(bar, r);
            switch (pattern[r]) {
            case 'R':
                Strike(row, kBassChannel, XmNote(root), kBass, volume);
                break;
            case 'O':
                Strike(row, kBassChannel, XmNote(root + 12), kBass, volume - 6);
                break;
            case 'F':
                Strike(row, kBassChannel, XmNote(root + 7), kBass, volume - 4);
                break;
            case 'k':
                SetEffect(row, kBassChannel, xm::kEffectKeyOff, 0);
                break;
            default:
                break;
            }
        }
    }

    // A bass note reached by gliding from the one before.
    void BassGlide(int bar) {
        const int row = Row(bar);
        At(row, kBassChannel).note = XmNote(bassRoots_[static_cast<size_t>(bar)]);
        SetEffect(row, kBassChannel, xm::kEffectTonePorta, 0x0C);
        for (int r = 1; r < 3; ++r)
            SetEffect(row + r, kBassChannel, xm::kEffectTonePorta, 0);
    }

    void Bass() {
        BassBar(Bar(kIntro, 2), "R...............", 30);
        BassBar(Bar(kIntro, 3), "R.............k.", 34);
        for (int b = 0; b < 4; ++b)
            BassBar(Bar(kVerseA, b), "R.....R.....R...", 50);
        for (int b = 0; b < 4; ++b)
            BassBar(Bar(kVerseB, b), b == 3 ? "R.....R.....O.F." : "R.....R.....R.O.", 52);
        BassBar(Bar(kFill, 0), "R.R.R.R.R.R.R.R.", 50);
        BassBar(Bar(kFill, 1), "R...............", 54);
        // A rise out of the fill into the chorus.
        for (int r = 12; r < 16; ++r)
            SetEffect(Row(Bar(kFill, 1), r), kBassChannel, xm::kEffectPortaUp, r == 12 ? 8 : 0);
        for (SectionIndex section : {kChorusA, kChorusB, kChorusA2, kChorusB2})
            for (int b = 0; b < 4; ++b)
                BassBar(Bar(section, b), "R.R.O.R.R.R.O.R.", 54);
        BassBar(Bar(kBridge, 0), "R...............", 48);
        BassGlide(Bar(kBridge, 1));
        BassGlide(Bar(kBridge, 2));
        BassGlide(Bar(kBridge, 3));
        BassBar(Bar(kBridge, 3), "........R.R.R.R.", 50);
        BassBar(Bar(kOutro, 0), "R...............", 46);
        BassBar(Bar(kOutro, 1), "R...............", 42);
        BassBar(Bar(kOutro, 2), "R...............", 38);
        BassBar(Bar(kOutro, 3), "R.......k.......", 34);
    }

    // ---- Pads ---------------------------------------------------------------

    // Strikes the chord of `bar` afresh on the three pad channels.
    void PadAttack(int bar, int volume) {
        const uint8_t pans[3] = {0x50, 0x80, 0xB0};
        for (int v = 0; v < 3; ++v) {
            const int note = ChordAt(bar).voicing[v];
            Strike(Row(bar), kPadChannelA + v, XmNote(note), kPad, volume);
            SetEffect(Row(bar), kPadChannelA + v, xm::kEffectSetPanning, pans[v]);
            padNotes_[v] = note;
        }
    }

    // Moves the held pad to the chord of `bar`: voices whose note changes glide
    // to it, common notes ring on untouched. A volume of -1 leaves it as it is.
    void PadMove(int bar, int volume) {
        for (int v = 0; v < 3; ++v) {
            const int channel = kPadChannelA + v;
            const int note = ChordAt(bar).voicing[v];
            if (volume >= 0)
                At(Row(bar), channel).volume = Volume(volume);
            if (note == padNotes_[v])
                continue;
            At(Row(bar), channel).note = XmNote(note);
            SetEffect(Row(bar), channel, xm::kEffectTonePorta, 0x0C);
            SetEffect(Row(bar, 1), channel, xm::kEffectTonePorta, 0);
            padNotes_[v] = note;
        }
    }

    // Volume slide on the pad channels on every tick of the row, the first
    // one included: positive up, negative down. The volume column's fine
    // slide takes the first tick, effect A the others (the volume column's
    // own slide skips the first tick, as effect A does).
    void PadSlide(int row, int amount) {
        for (int v = 0; v < 3; ++v) {
            At(row, kPadChannelA + v).volume =
                static_cast<uint8_t>(amount > 0 ? 0x90 + amount : 0x80 - amount);
            SetEffect(row, kPadChannelA + v, xm::kEffectVolumeSlide,
                      static_cast<uint8_t>(amount > 0 ? amount << 4 : -amount));
        }
    }

    void Pads() {
        PadAttack(Bar(kIntro), 32);
        const int total = rows_ / kRowsPerBar;
        for (int bar = 1; bar < total; ++bar) {
            int volume = -1;
            if (bar == Bar(kVerseA))
                volume = 26;
            else if (bar == Bar(kChorusA) || bar == Bar(kChorusA2))
                volume = 34;
            else if (bar == Bar(kBridge))
                volume = 30;
            else if (bar == Bar(kOutro))
                volume = 30;
            PadMove(bar, volume);
        }
        // Swell through the tom run into the chorus.
        PadSlide(Row(Bar(kFill, 1), 8), 1);
        // Fade in the outro, then let go before the loop comes round.
        for (int r = 2; r < 16; r += 4)
            PadSlide(Row(Bar(kOutro, 2), r), -1);
        for (int v = 0; v < 3; ++v)
            KeyOff(Row(Bar(kOutro, 3), 8), kPadChannelA + v);
    }

    // ---- Arpeggios and bell -------------------------------------------------

    // Harp arpeggio over the pad chord of `bar`: up through the chord and an
    // octave above, then back down; in eighths (step 2) or sixteenths (step 1).
    void HarpBar(int bar, int octave, int step, int loud, int soft) {
        const int* v = ChordAt(bar).voicing;
        const int figure[8] = {v[0], v[1], v[2], v[0] + 12, v[1] + 12, v[0] + 12, v[2], v[1]};
        for (int i = 0; i * step < kRowsPerBar; ++i) {
            const int r = i * step;
            Strike(Row(bar, r), kArpChannel, XmNote(figure[i % 8] + octave), kPluck,
                   r % 4 == 0 ? loud : soft);
        }
    }

    // A bell holding a chord by fast arpeggio: `offsets` are the two intervals
    // above the written note, in semitones, in the order they sound (hi and
    // lo nibble). At speed 6 the replay plays the low nibble first, so they
    // are written the other way round.
    void BellBar(int bar, int midi, uint8_t offsets, int volume) {
        Strike(Row(bar), kArpChannel, XmNote(midi), kBell, volume);
        const uint8_t written = static_cast<uint8_t>(offsets << 4 | offsets >> 4);
        for (int r = 0; r < kRowsPerBar; ++r)
            SetEffect(Row(bar, r), kArpChannel, xm::kEffectArpeggio, written);
    }

    void Arpeggios() {
        for (int b = 0; b < 4; ++b)
            HarpBar(Bar(kIntro, b), 12, 2, 30, 22);
        for (int b = 0; b < 4; ++b)
            HarpBar(Bar(kVerseA, b), 0, 2, 24, 18);
        for (int b = 0; b < 4; ++b)
            HarpBar(Bar(kVerseB, b), 0, 2, 24, 18);
        HarpBar(Bar(kFill, 0), 0, 1, 22, 16);
        HarpBar(Bar(kFill, 1), 0, 1, 26, 20);
        for (SectionIndex section : {kChorusA, kChorusB, kChorusA2, kChorusB2})
            for (int b = 0; b < 4; ++b)
                HarpBar(Bar(section, b), 0, 1, 22, 14);
        // Bridge: bell chords in close position around C5-D5.
        BellBar(Bar(kBridge, 0), 74, 0x38, 22); // D F Bb
        BellBar(Bar(kBridge, 1), 72, 0x59, 22); // C F A
        BellBar(Bar(kBridge, 2), 74, 0x58, 22); // D G Bb
        BellBar(Bar(kBridge, 3), 73, 0x38, 22); // C# E A
        KeyOff(Row(Bar(kBridge, 3), 12), kArpChannel);
        for (int b = 0; b < 4; ++b)
            HarpBar(Bar(kOutro, b), 12, 2, 26 - b * 4, 18 - b * 3);
    }

    // ---- Lead ---------------------------------------------------------------

    // Parses "A4:2 D5:1 ~E5:1 .:1 | ..." (durations in beats, '~' glides, '.'
    // rests, '|' marks a bar line and must fall on one).
    std::vector<MelodyNote> ParseMelody(const std::string& text) {
        std::vector<MelodyNote> notes;
        int row = 0;
        size_t from = 0;
        while (from < text.size()) {
            size_t to = text.find(' ', from);
            if (to == std::string::npos)
                to = text.size();
            const std::string token = text.substr(from, to - from);
            from = to + 1;
            if (token.empty())
                continue;
            if (token == "|") {
                if (row % kRowsPerBar != 0)
                    Fail("bar line off the bar in melody: " + text);
                continue;
            }
            const size_t colon = token.find(':');
            if (colon == std::string::npos) {
                Fail("melody token without length: " + token);
                continue;
            }
            MelodyNote note;
            note.glide = token[0] == '~';
            const std::string name = token.substr(note.glide ? 1 : 0, colon - (note.glide ? 1 : 0));
            note.midi = name == "." ? -1 : ParseNote(name);
            if (name != "." && note.midi < 0)
                Fail("bad note in melody: " + token);
            note.row = row;
            note.length = static_cast<int>(std::atof(token.c_str() + colon + 1) * 4 + 0.5);
            row += note.length;
            notes.push_back(note);
        }
        if (row % kRowsPerBar != 0)
            Fail("melody does not end on a bar line: " + text);
        return notes;
    }

    // Writes a melody on the lead channel from the start of `bar`. Held notes get
    // vibrato after a beat, and the longest ones also fade a little at their end.
    void Melody(int bar, const std::string& text, int volume) {
        const int start = Row(bar);
        bool sounding = false;
        for (const MelodyNote& note : ParseMelody(text)) {
            const int row = start + note.row;
            if (note.midi < 0) {
                if (sounding)
                    KeyOff(row, kLeadChannel);
                sounding = false;
                continue;
            }
            if (note.glide) {
                At(row, kLeadChannel).note = XmNote(note.midi);
                SetEffect(row, kLeadChannel, xm::kEffectTonePorta, 0x04);
                for (int r = 1; r < 4 && r < note.length; ++r)
                    SetEffect(row + r, kLeadChannel, xm::kEffectTonePorta, 0);
            } else {
                Strike(row, kLeadChannel, XmNote(note.midi), kLead, volume);
            }
            sounding = true;
            if (note.length >= 8) {
                const int fadeFrom = note.length >= 12 ? note.length - 4 : note.length;
                for (int r = 4; r < note.length; ++r) {
                    if (r < fadeFrom)
                        SetEffect(row + r, kLeadChannel, xm::kEffectVibrato, r == 4 ? 0x52 : 0);
                    else
                        SetEffect(row + r, kLeadChannel, xm::kEffectVibratoVolumeSlide, 0x01);
                }
            }
        }
    }

    void Lead() {
        const char* verseA = "A4:2 D5:1 E5:1 | F5:1.5 E5:0.5 D5:2 | C5:1 A4:1 C5:1 F5:1 | E5:3 .:1";
        const char* verseB =
            "A4:2 D5:1 E5:1 | F5:1.5 G5:0.5 F5:1 D5:1 | D5:1.5 C5:0.5 Bb4:1 D5:1 | C5:1 D5:1 E5:2";
        const char* chorusA = "D5:1 F5:1 A5:2 | G5:1.5 F5:0.5 E5:1 C5:1 | D5:1.5 E5:0.5 F5:2 | "
                              "C5:1 E5:1 G5:2";
        const char* chorusB = "D5:1 F5:1 A5:1 D6:1 | C6:1.5 Bb5:0.5 A5:1 G5:1 | "
                              "F5:1 G5:1 A5:1 Bb5:1 | A5:3 .:1";
        const char* chorusB2 = "D5:1 F5:1 A5:1 D6:1 | C6:1.5 Bb5:0.5 A5:1 G5:1 | "
                               "F5:1 G5:1 A5:1 Bb5:1 | A5:2 G5:1 E5:1";
        const char* bridge = "D5:3 C5:1 | A4:3 C5:1 | Bb4:2 A4:1 G4:1 | A4:2 C#5:1 E5:1";
        const char* outro = "D5:4 | F5:2 D5:2 | Bb4:4 | A4:3 .:1";

        Melody(Bar(kVerseA), verseA, 40);
        Melody(Bar(kVerseB), verseB, 42);
        // Fill: hold F5, then sink to E5 and swell into the chorus.
        Strike(Row(Bar(kFill)), kLeadChannel, XmNote(77), kLead, 42);
        for (int r = 4; r < kRowsPerBar; ++r)
            SetEffect(Row(Bar(kFill), r), kLeadChannel, xm::kEffectVibrato, r == 4 ? 0x52 : 0);
        const int sink = Row(Bar(kFill, 1));
        At(sink, kLeadChannel).note = XmNote(76);
        SetEffect(sink, kLeadChannel, xm::kEffectTonePorta, 0x02);
        for (int r = 1; r < 6; ++r)
            SetEffect(sink + r, kLeadChannel, xm::kEffectTonePorta, 0);
        for (int r = 6; r < kRowsPerBar; ++r)
            SetEffect(sink + r, kLeadChannel, xm::kEffectVibratoVolumeSlide, r % 2 == 0 ? 0x10 : 0);
        Melody(Bar(kChorusA), chorusA, 46);
        Melody(Bar(kChorusB), chorusB, 48);
        Melody(Bar(kBridge), bridge, 38);
        Melody(Bar(kChorusA2), chorusA, 46);
        Melody(Bar(kChorusB2), chorusB2, 48);
        Melody(Bar(kOutro), outro, 38);
    }

    // ---- Echo and harmony ---------------------------------------------------

    // The nearest note of the bar's chord at least a minor third below `midi`.
    int HarmonyBelow(int midi, int bar) const {
        const Chord& chord = ChordAt(bar);
        const int third = chord.rootClass + (chord.minor ? 3 : 4);
        for (int candidate = midi - 3; candidate > midi - 12; --candidate) {
            const int pc = candidate % 12;
            if (pc == chord.rootClass || pc == third % 12 || pc == (chord.rootClass + 7) % 12)
                return candidate;
        }
        return midi - 12;
    }

    // The echo channel repeats the lead three rows later at 36 % of its volume;
    // during the second chorus it sings a chord-tone harmony under the lead instead.
    void EchoAndHarmony() {
        const int harmonyFrom = Row(Bar(kChorusA2));
        const int harmonyTo = Row(Bar(kOutro));
        const int delay = 3;
        for (int row = 0; row < rows_; ++row) {
            const xm::Cell lead = At(row, kLeadChannel);
            const bool inHarmony = row >= harmonyFrom && row < harmonyTo;
            const int target = inHarmony ? row : (row + delay) % rows_;
            if (!inHarmony && target >= harmonyFrom && target < harmonyTo)
                continue;
            xm::Cell cell = lead;
            if (cell.volume >= 0x10 && cell.volume <= 0x50) {
                const int volume = cell.volume - 0x10;
                cell.volume = Volume(inHarmony ? volume * 55 / 100 : volume * 36 / 100);
            }
            if (inHarmony && cell.note >= 1 && cell.note <= 96)
                cell.note = XmNote(HarmonyBelow(cell.note + 11, row / kRowsPerBar));
            if (cell.effect == xm::kEffectSetPanning)
                cell.effect = cell.parameter = 0;
            // Swells are the lead's alone: an echo that rose by the same steps
            // would end up as loud as the lead.
            if (cell.effect == xm::kEffectVibratoVolumeSlide && (cell.parameter >> 4) != 0) {
                cell.effect = xm::kEffectVibrato;
                cell.parameter = 0;
            }
            if (cell.instrument != 0 && cell.effect == 0 && cell.parameter == 0) {
                cell.effect = xm::kEffectSetPanning;
                cell.parameter = inHarmony ? 0xA8 : 0x50;
            }
            At(target, kEchoChannel) = cell;
        }
    }

    // ---- Patterns -----------------------------------------------------------

    // One 64-row pattern per section, in play order. A shorter section ends with
    // a pattern break on its last row, which skips the rest of its pattern.
    bool Assemble(xm::Module& module, std::string& error) {
        module = xm::Module{};
        module.name = "Dusk Walk";
        module.channelCount = kChannelCount;
        module.restartPosition = 0;
        module.linearFrequencies = true;
        module.defaultTempo = 6;
        module.defaultBpm = 96;
        module.instruments = MakeInstruments();
        for (int s = 0; s < kSectionCount; ++s) {
            const int played = kSections[s].bars * kRowsPerBar;
            xm::Pattern pattern;
            pattern.rows = kPatternRows;
            pattern.cells.assign(static_cast<size_t>(kPatternRows) * kChannelCount, xm::Cell{});
            for (int r = 0; r < played; ++r)
                for (int c = 0; c < kChannelCount; ++c)
                    pattern.cells[static_cast<size_t>(r) * kChannelCount + c] =
                        At(Row(Bar(static_cast<SectionIndex>(s)), r), c);
            if (played < kPatternRows) {
                bool placed = false;
                for (int c = kChannelCount - 1; c >= 0 && !placed; --c) {
                    xm::Cell& cell =
                        pattern.cells[static_cast<size_t>(played - 1) * kChannelCount + c];
                    if (cell.effect == 0 && cell.parameter == 0) {
                        cell.effect = xm::kEffectPatternBreak;
                        placed = true;
                    }
                }
                if (!placed) {
                    error =
                        std::string("no free effect column for the break in ") + kSections[s].name;
                    return false;
                }
            }
            module.patterns.push_back(pattern);
            module.orders.push_back(static_cast<uint8_t>(s));
        }
        return true;
    }

    int sectionBar_[kSectionCount] = {};
    std::vector<const Chord*> barChords_;
    std::vector<int> bassRoots_;
    int padNotes_[3] = {-1, -1, -1};
    int rows_ = 0;
    std::vector<xm::Cell> cells_;
    std::string error_;
};

} // namespace

bool ComposeSong(xm::Module& module, std::string& error) {
    Composer composer;
    return composer.Compose(module, error);
}

} // namespace song
