// Replay engine: the tick clock, row and tick processing, the volume column
// and one function per effect, found through kEffects by effect type.
#include "music/replay.h"

#include <cstring>

#include "music/channel.h"
#include "music/mixer.h"

namespace {

const Cell kEmptyCell{};

// What the effects of one row ask of the song's position, in channel order.
struct RowJumps {
    bool jumped = false;       // a B came earlier in this row
    bool positionJump = false; // a B or a D: the next row is in another order
    bool loopJump = false;     // a pattern loop plays back to its start row
};

// What an effect or volume-column function works on.
struct EffectContext {
    Song& song;
    Channel& channel;
    const Cell& cell;
    const Instrument& instrument;
    const Sample& sample;
    bool firstTick; // the row's first tick
    RowJumps& jumps;
};

constexpr uint8_t kEffectTonePortamento = 3;
constexpr uint8_t kEffectTonePortamentoVolumeSlide = 5;
constexpr uint8_t kEffectExtended = 14;
constexpr uint8_t kEffectKeyOff = 20;

// Extended (E) sub-commands the row processing looks at.
constexpr uint8_t kExtendedFinetune = 5;
constexpr uint8_t kExtendedNoteDelay = 13;

// Periods a fine portamento keeps inside, as the tracker does.
constexpr int32_t kFinePortaLowest = 1;
constexpr int32_t kFinePortaHighest = 31999;

// Arpeggio and glissando notes reach at most C-8 (realNote 96); the nearest
// note of a period is looked for among realNotes 0..95.
constexpr int32_t kHighestArpeggioNote = 96;
constexpr int32_t kSearchedNotes = 96;
// Notes (realNote) a cell can play; one moved outside by its sample's
// relative note is ignored.
constexpr int32_t kPlayableNotes = 119;

template <typename T> T Clamp(T value, T low, T high) {
    return value < low ? low : (value > high ? high : value);
}

uint8_t High(const Cell& cell) {
    return cell.parameter >> 4;
}
uint8_t Low(const Cell& cell) {
    return cell.parameter & 15;
}

const Pattern* CurrentPattern(const Song& song) {
    if (song.orderPosition < 0 || song.orderPosition >= song.songLength)
        return nullptr;
    const int number = song.orderTable[song.orderPosition];
    return number < song.patternSlots ? &song.patterns[number] : nullptr;
}

int32_t RowsOf(const Pattern* pattern) {
    return pattern != nullptr ? pattern->rows : 0;
}

// The cell of a channel in the current row; a pattern without stored cells
// reads as empty cells.
const Cell& CellAt(const Song& song, const Pattern* pattern, int channel) {
    if (pattern == nullptr || pattern->cells == nullptr || song.row < 0 ||
        song.row >= pattern->rows)
        return kEmptyCell;
    return pattern->cells[song.row * song.channelCount + channel];
}

const Instrument& InstrumentOf(const Song& song, const Channel& channel) {
    if (channel.instrument >= song.instrumentCount)
        return emptyInstrument;
    return song.instruments[channel.instrument];
}

const Sample& SampleOf(const Instrument& instrument, const Channel& channel) {
    if (&instrument == &emptyInstrument || channel.note >= 96)
        return emptySample;
    const uint8_t slot = instrument.keymap[channel.note];
    if (slot >= kSampleSlots || instrument.samples[slot] == nullptr)
        return emptySample;
    return *instrument.samples[slot];
}

void SetPeriod(Channel& channel, int64_t period) {
    channel.period = static_cast<int32_t>(Clamp<int64_t>(period, kMinPeriod, kMaxPeriod));
}

bool Linear(const Song& song) {
    return song.flags & kLinearFrequencies;
}

// Has the voice sound at `output` this tick without moving the channel's
// period: periodDelta raises the pitch in the linear table and lowers it in
// the Amiga one (channel.h).
void SetOutputPeriod(Channel& channel, const Song& song, int32_t output) {
    channel.periodDelta = Linear(song) ? channel.period - output : output - channel.period;
    channel.flags |= kUpdateFrequency;
}

// Period of realNote with a finetune of −255..127 (1/128 semitone): below
// −128 it is the note under, so that half a semitone down always exists.
int32_t FinePeriod(int32_t realNote, int32_t finetune, const Song& song) {
    if (finetune < -128)
        return NotePeriod(realNote - 1, finetune + 128, song);
    return NotePeriod(realNote, finetune, song);
}

// The note (0..95) nearest to period in the channel's finetune; exactly half
// way it is the lower one. Periods fall as notes rise.
int32_t NearestNote(const Channel& channel, const Song& song, int32_t period) {
    int32_t low = 0, high = kSearchedNotes; // the answer lies in [low, high)
    while (high - low > 1) {
        const int32_t middle = (low + high) / 2;
        // Half a semitone below middle: a period at or above it is nearer a
        // lower note.
        if (period >= FinePeriod(middle, channel.finetune - 64, song))
            high = middle;
        else
            low = middle;
    }
    return low;
}

// Period of the note nearest to period, moved up by semitones, at most C-8.
int32_t SemitonePeriod(const Channel& channel, const Song& song, int32_t period,
                       int32_t semitones) {
    int32_t note = NearestNote(channel, song, period) + semitones;
    if (note > kHighestArpeggioNote)
        note = kHighestArpeggioNote;
    return NotePeriod(note, channel.finetune, song);
}

void SetVolume(Channel& channel, int32_t volume) {
    channel.volume = Clamp(volume, 0, 64);
    channel.tremorSilent = false;
    channel.flags |= kUpdateVolume;
}

// Volume slide by the memory of A, 5 and 6: up by its high nibble, else down
// by its low one.
void VolumeSlide(Channel& channel) {
    const uint8_t m = channel.volumeSlideMemory;
    if (m >> 4)
        channel.volume = Clamp(channel.volume + (m >> 4), 0, 64);
    else if (m & 15)
        channel.volume = Clamp(channel.volume - (m & 15), 0, 64);
    channel.tremorSilent = false;
    channel.flags |= kUpdateVolume;
}

// While glissando is on, a tone portamento sounds in semitones.
void Glissando(EffectContext& c) {
    if (c.channel.glissando)
        SetOutputPeriod(c.channel, c.song, SemitonePeriod(c.channel, c.song, c.channel.period, 0));
}

// Tone portamento of a tick after the first.
void SlideToNote(EffectContext& c) {
    TonePortamento(c.channel);
    Glissando(c);
}

// ---- Volume column ----

// The volume column acts as the tracker has it: setting commands on the
// row's first tick, slides on the ticks after it.
void VolumeColumn(EffectContext& c) {
    Channel& channel = c.channel;
    const uint8_t byte = c.cell.volume;
    const int x = byte & 15;
    const bool first = c.firstTick;
    switch (byte >> 4) {
    case 0x1: // set volume; 0x51..0x5F set the most there is
    case 0x2:
    case 0x3:
    case 0x4:
    case 0x5:
        if (first)
            SetVolume(channel, byte - 0x10);
        break;
    case 0x6: // slide down
        if (!first)
            SetVolume(channel, channel.volume - x);
        break;
    case 0x7: // slide up
        if (!first)
            SetVolume(channel, channel.volume + x);
        break;
    case 0x8: // fine slide down, once
        if (first)
            SetVolume(channel, channel.volume - x);
        break;
    case 0x9: // fine slide up, once
        if (first)
            SetVolume(channel, channel.volume + x);
        break;
    case 0xA: // vibrato speed
        if (first && x != 0)
            channel.vibratoSpeed = static_cast<uint8_t>(x);
        break;
    case 0xB: // vibrato, with the depth when given
        if (x != 0)
            channel.vibratoDepth = static_cast<uint8_t>(x);
        Vibrato(channel);
        if (!first)
            AdvanceVibrato(channel);
        break;
    case 0xC: // set panning
        if (first) {
            channel.pan = x * 16;
            channel.flags |= kUpdatePanning;
        }
        break;
    case 0xD: // panning slide left
        if (!first) {
            channel.pan = Clamp(channel.pan - x, 0, 255);
            channel.flags |= kUpdatePanning;
        }
        break;
    case 0xE: // panning slide right
        if (!first) {
            channel.pan = Clamp(channel.pan + x, 0, 255);
            channel.flags |= kUpdatePanning;
        }
        break;
    case 0xF: // tone portamento
        if (first) {
            if (x != 0)
                channel.tonePortaSpeed = static_cast<uint8_t>(x * 16);
            channel.tonePortaTarget = channel.notePeriod;
            channel.flags &= static_cast<uint8_t>(~kTrigger);
            Glissando(c);
        } else {
            SlideToNote(c);
        }
        break;
    default: // 0x01..0x0F
        break;
    }
}

// ---- Effects, one function each, indexed by effect type ----

// Which part of the arpeggio a tick plays (0 the note, 1 and 2 its nibbles):
// the tracker counts the ticks left in the row, so that at speed 6 the low
// nibble comes first. Past 16 ticks its table runs out into the low nibble.
int ArpeggioStep(const Song& song) {
    const int32_t left = song.speed - song.tick;
    if (left > 16)
        return 2;
    return left == 16 ? 0 : left % 3;
}

void Arpeggio(EffectContext& c) { // 0xy
    if (c.firstTick || c.cell.parameter == 0)
        return;
    Channel& channel = c.channel;
    switch (ArpeggioStep(c.song)) {
    case 1:
        SetOutputPeriod(channel, c.song,
                        SemitonePeriod(channel, c.song, channel.period, High(c.cell)));
        break;
    case 2:
        SetOutputPeriod(channel, c.song,
                        SemitonePeriod(channel, c.song, channel.period, Low(c.cell)));
        break;
    default: // the note itself
        channel.flags |= kUpdateFrequency;
        break;
    }
}

void PortamentoUp(EffectContext& c) { // 1xx
    Channel& channel = c.channel;
    if (c.firstTick) {
        if (c.cell.parameter != 0)
            channel.portaUpMemory = c.cell.parameter;
        return;
    }
    const int32_t period = channel.period - 4 * channel.portaUpMemory;
    channel.period = period < 56 ? 56 : period;
    channel.flags |= kUpdateFrequency;
}

void PortamentoDown(EffectContext& c) { // 2xx
    Channel& channel = c.channel;
    if (c.firstTick) {
        if (c.cell.parameter != 0)
            channel.portaDownMemory = c.cell.parameter;
        return;
    }
    SetPeriod(channel, static_cast<int64_t>(channel.period) + 4 * channel.portaDownMemory);
    channel.flags |= kUpdateFrequency;
}

// The first tick of 3xx and 5xy: the note does not restart, it becomes the
// target of the slide.
void AimTonePortamento(Channel& channel) {
    channel.tonePortaTarget = channel.notePeriod;
    channel.flags &= static_cast<uint8_t>(~(kTrigger | kUpdateFrequency));
}

void TonePortamentoEffect(EffectContext& c) { // 3xx
    if (c.firstTick) {
        // Beside a volume-column portamento the speed is the column's.
        if (c.cell.parameter != 0 && c.cell.volume < 0xF0)
            c.channel.tonePortaSpeed = c.cell.parameter;
        AimTonePortamento(c.channel);
        Glissando(c);
    } else {
        SlideToNote(c);
    }
}

void VibratoEffect(EffectContext& c) { // 4xy
    Channel& channel = c.channel;
    if (c.firstTick) {
        if (High(c.cell) != 0)
            channel.vibratoSpeed = High(c.cell);
        if (Low(c.cell) != 0)
            channel.vibratoDepth = Low(c.cell);
        Vibrato(channel);
    } else {
        Vibrato(channel);
        AdvanceVibrato(channel);
    }
}

void TonePortamentoVolumeSlide(EffectContext& c) { // 5xy
    if (c.firstTick) {
        if (c.cell.parameter != 0)
            c.channel.volumeSlideMemory = c.cell.parameter;
        AimTonePortamento(c.channel);
        Glissando(c);
    } else {
        SlideToNote(c);
        VolumeSlide(c.channel);
    }
}

void VibratoVolumeSlide(EffectContext& c) { // 6xy
    if (c.firstTick) {
        if (c.cell.parameter != 0)
            c.channel.volumeSlideMemory = c.cell.parameter;
        Vibrato(c.channel);
    } else {
        Vibrato(c.channel);
        AdvanceVibrato(c.channel);
        VolumeSlide(c.channel);
    }
}

void TremoloEffect(EffectContext& c) { // 7xy
    Channel& channel = c.channel;
    if (c.firstTick) {
        if (High(c.cell) != 0)
            channel.tremoloSpeed = High(c.cell);
        if (Low(c.cell) != 0)
            channel.tremoloDepth = Low(c.cell);
        ApplyTremolo(channel);
    } else {
        Tremolo(channel);
    }
}

void SetPanning(EffectContext& c) { // 8xx
    if (!c.firstTick)
        return;
    c.channel.pan = c.cell.parameter;
    c.channel.flags |= kUpdatePanning;
}

void SampleOffset(EffectContext& c) { // 9xx: only beside a note that starts
    Channel& channel = c.channel;
    if (!c.firstTick || !(channel.flags & kTrigger))
        return;
    if (c.cell.parameter != 0)
        channel.sampleOffsetMemory = c.cell.parameter;
    const uint32_t offset = static_cast<uint32_t>(channel.sampleOffsetMemory) * 256;
    if (offset < static_cast<uint64_t>(c.sample.loopStart) + c.sample.loopLength) {
        channel.voice->startOffset = offset;
    } else {
        // Past the loop end: the note does not play.
        channel.flags &= static_cast<uint8_t>(~kTrigger);
        channel.flags |= kStopVoice;
    }
}

void VolumeSlideEffect(EffectContext& c) { // Axy
    if (c.firstTick) {
        if (c.cell.parameter != 0)
            c.channel.volumeSlideMemory = c.cell.parameter;
    } else {
        VolumeSlide(c.channel);
    }
}

void PositionJump(EffectContext& c) { // Bxx: to row 0 of order xx
    if (!c.firstTick)
        return;
    c.song.breakRow = 0;
    c.song.nextOrder = c.cell.parameter >= c.song.songLength ? 0 : c.cell.parameter;
    c.jumps.jumped = true;
    c.jumps.positionJump = true;
}

void SetVolumeEffect(EffectContext& c) { // Cxx
    if (!c.firstTick)
        return;
    // Volumes above 64 do not exist; taking them would overdrive the voice.
    SetVolume(c.channel, c.cell.parameter);
}

void PatternBreak(EffectContext& c) { // Dxy: to row 10 × x + y of the next order
    if (!c.firstTick)
        return;
    const int row = High(c.cell) * 10 + Low(c.cell);
    c.song.breakRow = row > 63 ? 0 : row;
    c.jumps.positionJump = true;
}

// ---- Extended effects (Exy), one function each, indexed by x ----

void FinePortamentoUp(EffectContext& c) { // E1y: once, by its own memory
    Channel& channel = c.channel;
    if (!c.firstTick)
        return;
    if (Low(c.cell) != 0)
        channel.finePortaUpMemory = Low(c.cell);
    channel.period =
        Clamp(channel.period - 4 * channel.finePortaUpMemory, kFinePortaLowest, kFinePortaHighest);
    channel.flags |= kUpdateFrequency;
}

void FinePortamentoDown(EffectContext& c) { // E2y
    Channel& channel = c.channel;
    if (!c.firstTick)
        return;
    if (Low(c.cell) != 0)
        channel.finePortaDownMemory = Low(c.cell);
    channel.period = Clamp(channel.period + 4 * channel.finePortaDownMemory, kFinePortaLowest,
                           kFinePortaHighest);
    channel.flags |= kUpdateFrequency;
}

void GlissandoControl(EffectContext& c) { // E3y: y ≠ 0 slides in semitones
    if (c.firstTick)
        c.channel.glissando = Low(c.cell) != 0;
}

void VibratoWaveform(EffectContext& c) { // E4y
    if (c.firstTick)
        c.channel.vibratoWaveform = Low(c.cell) & 7;
}

// E5y acts where the note beside it starts (StartNote).

void PatternLoop(EffectContext& c) { // E60 marks the row, E6y plays back to it y times
    if (!c.firstTick)
        return;
    Channel& channel = c.channel;
    if (Low(c.cell) == 0) {
        channel.loopRow = c.song.row;
        return;
    }
    if (channel.loopCount == 0)
        channel.loopCount = Low(c.cell);
    else if (--channel.loopCount == 0)
        return; // played often enough: on with the next row
    c.song.breakRow = channel.loopRow;
    c.jumps.loopJump = true;
}

void TremoloWaveform(EffectContext& c) { // E7y
    if (c.firstTick)
        c.channel.tremoloWaveform = Low(c.cell) & 7;
}

void StartNote(EffectContext& c, uint8_t note, bool withEffect);

void Retrigger(EffectContext& c) { // E9y: the note again every y ticks
    // (E90's start on the first tick is the row's own, see StartRow.)
    const uint8_t interval = Low(c.cell);
    if (c.firstTick || interval == 0 || c.song.tick % interval != 0 || c.channel.notePeriod == 0)
        return;
    StartNote(c, static_cast<uint8_t>(c.channel.note + 1), false);
    RestartInstrument(c.channel);
}

void FineVolumeUp(EffectContext& c) { // EAy: once, by its own memory
    if (!c.firstTick)
        return;
    if (Low(c.cell) != 0)
        c.channel.fineVolumeUpMemory = Low(c.cell);
    SetVolume(c.channel, c.channel.volume + c.channel.fineVolumeUpMemory);
}

void FineVolumeDown(EffectContext& c) { // EBy
    if (!c.firstTick)
        return;
    if (Low(c.cell) != 0)
        c.channel.fineVolumeDownMemory = Low(c.cell);
    SetVolume(c.channel, c.channel.volume - c.channel.fineVolumeDownMemory);
}

void NoteCut(EffectContext& c) { // ECy: volume 0 on tick y
    if (c.song.tick == Low(c.cell))
        SetVolume(c.channel, 0);
}

void NoteDelay(EffectContext& c) { // EDy: the row's note starts on tick y
    if (c.firstTick || c.song.tick != Low(c.cell))
        return;
    Channel& channel = c.channel;
    const Cell& cell = c.cell;
    if (cell.instrument != 0)
        channel.instrument = static_cast<uint8_t>(cell.instrument - 1);
    if (cell.note == kKeyOff) {
        KeyOff(channel, InstrumentOf(c.song, channel));
        return;
    }
    if (cell.note != 0)
        channel.note = static_cast<uint8_t>(cell.note - 1);
    const Instrument& instrument = InstrumentOf(c.song, channel);
    const Sample& sample = SampleOf(instrument, channel);
    EffectContext now{c.song, channel, cell, instrument, sample, false, c.jumps};
    StartNote(now, static_cast<uint8_t>(channel.note + 1), false);
    if (cell.instrument != 0)
        ResetVolumes(channel, sample);
    RestartInstrument(channel);
    if (cell.volume >= 0x10 && cell.volume <= 0x50) {
        SetVolume(channel, cell.volume - 0x10);
    } else if (cell.volume >= 0xC0 && cell.volume <= 0xCF) {
        channel.pan = (cell.volume & 15) * 16;
        channel.flags |= kUpdatePanning;
    }
}

void PatternDelay(EffectContext& c) { // EEy: the row plays y more times
    if (c.firstTick)
        c.song.rowRepeats = Low(c.cell);
}

using EffectFunction = void (*)(EffectContext&);

// By x of Exy. E0 (filter), E5 (finetune, see StartNote), E8 and EF do
// nothing here.
constexpr EffectFunction kExtendedEffects[16] = {
    nullptr,            // E0
    FinePortamentoUp,   // E1
    FinePortamentoDown, // E2
    GlissandoControl,   // E3
    VibratoWaveform,    // E4
    nullptr,            // E5
    PatternLoop,        // E6
    TremoloWaveform,    // E7
    nullptr,            // E8
    Retrigger,          // E9
    FineVolumeUp,       // EA
    FineVolumeDown,     // EB
    NoteCut,            // EC
    NoteDelay,          // ED
    PatternDelay,       // EE
    nullptr,            // EF
};

void Extended(EffectContext& c) { // Exy
    if (kExtendedEffects[High(c.cell)] != nullptr)
        kExtendedEffects[High(c.cell)](c);
}

void SetSpeed(EffectContext& c) { // Fxx: speed below 32, tempo from 32
    if (!c.firstTick)
        return;
    if (c.cell.parameter < 32)
        c.song.speed = c.cell.parameter;
    else
        SetBpm(&c.song, c.cell.parameter);
}

// A new global volume reaches every channel on the tick it is set
// (ReplayTick).
void GlobalVolume(EffectContext& c) { // Gxx
    if (!c.firstTick)
        return;
    c.song.globalVolume = c.cell.parameter > 64 ? 64 : c.cell.parameter;
}

void GlobalVolumeSlide(EffectContext& c) { // Hxy
    Song& song = c.song;
    if (c.firstTick) {
        if (c.cell.parameter != 0)
            song.globalVolumeSlideMemory = c.cell.parameter;
        return;
    }
    const uint8_t m = song.globalVolumeSlideMemory;
    if (m >> 4)
        song.globalVolume = Clamp(song.globalVolume + (m >> 4), 0, 64);
    else if (m & 15)
        song.globalVolume = Clamp(song.globalVolume - (m & 15), 0, 64);
}

void EnvelopePosition(EffectContext& c) { // Lxx: volume envelope to tick xx
    if (!c.firstTick || !(c.instrument.volumeType & kEnvelopeOn))
        return;
    Channel& channel = c.channel;
    EnvelopeState& state = channel.volumeEnvelope;
    const EnvelopeShape envelope = VolumeEnvelopeOf(c.instrument);
    const int32_t p = c.cell.parameter;
    const int count = envelope.pointCount;
    // Only the points present: with 12 points there is no thirteenth.
    int i = 0;
    while (i + 1 < count && p > envelope.points[i + 1].x)
        ++i;
    state.index = i;
    if (i >= count - 1) {
        channel.envelopeVolume = envelope.points[count - 1].y;
        state.stopped = true;
        return;
    }
    const EnvelopePoint& point = envelope.points[i];
    const EnvelopePoint& next = envelope.points[i + 1];
    state.stopped = false;
    state.tick = p;
    state.delta = next.x == point.x ? 0 : ((next.y - point.y) * 65536) / (next.x - point.x);
    state.index = i + 1;
    // Before point 0 (a first point past tick 0) this extrapolates; the
    // value is kept inside the envelope's range.
    state.fraction = static_cast<int32_t>(
        Clamp<int64_t>(point.y * 65536 + static_cast<int64_t>(p - point.x) * state.delta, 0,
                       kEnvelopeFractionMax));
    channel.envelopeVolume = state.fraction >> 16;
}

void PanningSlide(EffectContext& c) { // Pxy
    Channel& channel = c.channel;
    if (c.firstTick) {
        if (c.cell.parameter != 0) {
            channel.panSlideMemory = c.cell.parameter;
            channel.flags |= kUpdatePanning;
        }
        return;
    }
    const uint8_t m = channel.panSlideMemory;
    if (m >> 4) {
        channel.pan += m >> 4;
        if (channel.pan > 255)
            channel.pan = 255;
    } else if (m & 15) {
        channel.pan -= m & 15;
        if (channel.pan < 0)
            channel.pan = 0;
    }
    channel.flags |= kUpdatePanning;
}

int32_t RetrigVolume(int32_t v, int change) {
    switch (change) {
    case 1:
        return v - 1;
    case 2:
        return v - 2;
    case 3:
        return v - 4;
    case 4:
        return v - 8;
    case 5:
        return v - 16;
    case 6:
        return 2 * v / 3;
    case 7:
        return v >> 1;
    case 9:
        return v + 1;
    case 10:
        return v + 2;
    case 11:
        return v + 4;
    case 12:
        return v + 8;
    case 13:
        return v + 16;
    case 14:
        return 3 * v / 2;
    case 15:
        return 2 * v;
    default: // 8 (and 0, handled by the caller): unchanged
        return v;
    }
}

void MultiRetrig(EffectContext& c) { // Rxy: retrigger every y ticks, volume by x
    Channel& channel = c.channel;
    if (c.firstTick) {
        if (c.cell.parameter != 0) {
            channel.retrigVolumeChange = High(c.cell);
            channel.retrigInterval = Low(c.cell);
        }
        return;
    }
    if (channel.retrigInterval == 0 || c.song.tick % channel.retrigInterval != 0)
        return;
    channel.flags |= kTrigger;
    if (channel.retrigVolumeChange == 0)
        return;
    SetVolume(channel, RetrigVolume(channel.volume, channel.retrigVolumeChange));
}

void KeyOffEffect(EffectContext& c) { // Kxx: the key is released on tick xx
    // (K00 acts with the row's first tick, see StartRow.)
    if (!c.firstTick && c.song.tick == c.cell.parameter)
        KeyOff(c.channel, c.instrument);
}

void TremorEffect(EffectContext& c) { // Txy: x + 1 ticks sounding, y + 1 silent
    Channel& channel = c.channel;
    if (c.cell.parameter != 0)
        channel.tremorMemory = c.cell.parameter;
    if (!c.firstTick)
        Tremor(channel);
}

void ExtraFinePortamento(EffectContext& c) { // X1y up, X2y down, by y once
    if (!c.firstTick)
        return;
    Channel& channel = c.channel;
    const uint8_t lo = Low(c.cell);
    if (High(c.cell) == 1) {
        if (lo != 0)
            channel.extraFineUpMemory = lo;
        SetPeriod(channel, static_cast<int64_t>(channel.period) - channel.extraFineUpMemory);
    } else if (High(c.cell) == 2) {
        if (lo != 0)
            channel.extraFineDownMemory = lo;
        SetPeriod(channel, static_cast<int64_t>(channel.period) + channel.extraFineDownMemory);
    }
}

// By effect type: 0-9, then A = 10 up to X = 33; the types not listed do
// nothing.
constexpr EffectFunction kEffects[34] = {
    Arpeggio,                  // 0
    PortamentoUp,              // 1
    PortamentoDown,            // 2
    TonePortamentoEffect,      // 3
    VibratoEffect,             // 4
    TonePortamentoVolumeSlide, // 5
    VibratoVolumeSlide,        // 6
    TremoloEffect,             // 7
    SetPanning,                // 8
    SampleOffset,              // 9
    VolumeSlideEffect,         // A
    PositionJump,              // B
    SetVolumeEffect,           // C
    PatternBreak,              // D
    Extended,                  // E
    SetSpeed,                  // F
    GlobalVolume,              // G
    GlobalVolumeSlide,         // H
    nullptr,                   // I
    nullptr,                   // J
    KeyOffEffect,              // K
    EnvelopePosition,          // L
    nullptr,                   // M
    nullptr,                   // N
    nullptr,                   // O
    PanningSlide,              // P
    nullptr,                   // Q
    MultiRetrig,               // R
    nullptr,                   // S
    TremorEffect,              // T
    nullptr,                   // U
    nullptr,                   // V
    nullptr,                   // W
    ExtraFinePortamento,       // X
};

void RunEffect(EffectContext& c) {
    if (c.cell.effect < sizeof kEffects / sizeof kEffects[0] && kEffects[c.cell.effect] != nullptr)
        kEffects[c.cell.effect](c);
}

// Envelopes and fade-out of one tick.
void RunEnvelopes(Channel& channel, const Instrument& instrument) {
    if ((instrument.volumeType & kEnvelopeOn) && !channel.volumeEnvelope.stopped)
        StepEnvelope(channel, VolumeEnvelopeOf(instrument), channel.volumeEnvelope, kUpdateVolume);
    if ((instrument.panningType & kEnvelopeOn) && !channel.panningEnvelope.stopped)
        StepEnvelope(channel, PanningEnvelopeOf(instrument), channel.panningEnvelope,
                     kUpdatePanning);
    if (channel.keyOff)
        FadeOut(channel, instrument);
}

// The note (1..96, of the cell's numbering) starts on the channel's
// instrument: its period from the sample's relative note and finetune, or
// from the E5x beside it when the cell's effect counts (withEffect), and the
// voice starts again. A note the relative note moves out of range is
// ignored: whatever played goes on.
void StartNote(EffectContext& c, uint8_t note, bool withEffect) {
    Channel& channel = c.channel;
    const int32_t realNote = note - 1 + c.sample.relativeNote;
    if (note == 0 || note > 96 || realNote < 0 || realNote >= kPlayableNotes)
        return;
    const Cell& cell = c.cell;
    if (withEffect && cell.effect == kEffectExtended && High(cell) == kExtendedFinetune)
        channel.finetune = static_cast<int8_t>(Low(cell) * 16 - 128);
    else
        channel.finetune = c.sample.finetune;
    channel.realNote = static_cast<uint8_t>(realNote);
    channel.notePeriod = NotePeriod(realNote, channel.finetune, c.song);
    channel.period = channel.notePeriod;
    channel.flags |= kTrigger;
}

// A slide's note (3xx, 5xy, Mx) becomes its target; nothing starts again.
void AimAtNote(EffectContext& c) {
    const int32_t realNote = c.cell.note - 1 + c.sample.relativeNote;
    if (realNote < 0 || realNote >= kPlayableNotes)
        return;
    c.channel.realNote = static_cast<uint8_t>(realNote);
    c.channel.notePeriod = NotePeriod(realNote, c.channel.finetune, c.song);
}

bool IsNoteDelay(const Cell& cell) {
    return cell.effect == kEffectExtended && High(cell) == kExtendedNoteDelay && Low(cell) != 0;
}

// E90: the row's note, or else the last one, starts whatever the row says.
bool IsRetrigger(const Cell& cell) {
    return cell.effect == kEffectExtended && cell.parameter == 0x90;
}

// A row whose note is a tone portamento's target rather than a new note.
bool IsSlide(const Cell& cell) {
    return cell.effect == kEffectTonePortamento ||
           cell.effect == kEffectTonePortamentoVolumeSlide ||
           (cell.volume >= 0xF0 && !IsRetrigger(cell));
}

// What a row's note and instrument do on its first tick, in the tracker's
// order: a slide aims at its note; K00 releases the key, and the note beside
// it does not start; otherwise a key off releases, a note starts; an
// instrument then resets the volumes and restarts envelopes and modulation
// (after a key off too, which that undoes).
void StartRow(EffectContext& c) {
    Channel& channel = c.channel;
    const Cell& cell = c.cell;
    const bool hasNote = cell.note != 0 && cell.note != kKeyOff;
    if (IsSlide(cell)) {
        if (cell.note == kKeyOff)
            KeyOff(channel, c.instrument);
        else if (hasNote)
            AimAtNote(c);
        if (cell.instrument != 0) {
            ResetVolumes(channel, c.sample);
            if (cell.note != kKeyOff)
                RestartInstrument(channel);
        }
        return;
    }
    if (cell.effect == kEffectKeyOff && cell.parameter == 0 && !IsRetrigger(cell)) {
        KeyOff(channel, c.instrument);
        if (cell.instrument != 0)
            ResetVolumes(channel, c.sample);
        return;
    }
    if (cell.note == kKeyOff)
        KeyOff(channel, c.instrument);
    else if (hasNote)
        StartNote(c, cell.note, true);
    else if (IsRetrigger(cell) && channel.notePeriod != 0)
        StartNote(c, static_cast<uint8_t>(channel.note + 1), true);
    if (cell.instrument != 0)
        ResetChannelInstrument(channel, c.sample);
}

// Where play goes after the row, as the row's jumps ask: on to the next row;
// back to a pattern loop's start; or, after a break, a jump or the pattern's
// last row, to breakRow of another order (the next one, B's, or the restart
// position after the last).
void NextPosition(Song& song, const RowJumps& jumps, int32_t rows) {
    int32_t row = song.row + 1;
    if (jumps.loopJump)
        row = song.breakRow;
    if (row >= rows || jumps.positionJump) {
        row = song.breakRow;
        song.breakRow = 0;
        if (!jumps.jumped)
            song.nextOrder = song.orderPosition + 1;
        if (song.nextOrder >= song.songLength)
            song.nextOrder = song.restartPosition;
    }
    song.nextRow = row;
}

// Marks the row just started as played, unless a pattern loop repeats it; a
// row played before means the song has come back: a pass is complete and the
// next one starts here.
void MarkPlayedRow(Song& song) {
    if (song.playedRows == nullptr || song.orderPosition < 0 ||
        song.orderPosition >= kMaxPatterns || song.row < 0 || song.row >= kMaxPatternRows)
        return;
    for (int i = 0; i < song.channelCount; ++i)
        if (channels[i].loopCount != 0)
            return;
    const int32_t bit = song.orderPosition * kMaxPatternRows + song.row;
    const uint32_t mask = 1u << (bit & 31);
    if (song.playedRows[bit >> 5] & mask) {
        song.passes += 1;
        std::memset(song.playedRows, 0, kPlayedRowWords * sizeof(uint32_t));
    }
    song.playedRows[bit >> 5] |= mask;
}

} // namespace

void SetBpm(Song* song, int32_t bpm) {
    song->bpm = Clamp(bpm, 32, 999);
    const double samples = 1000.0 / (song->bpm * static_cast<double>(0.4f)) * mixRing.mixRate *
                           static_cast<double>(0.001f);
    song->samplesPerTick = samples < 1.0 ? 1 : static_cast<int32_t>(samples);
}

void ResetReplay(Song* song) {
    song->speed = song->defaultTempo;
    song->globalVolume = song->defaultGlobalVolume;
    song->globalVolumeSlideMemory = 0;
    song->nextRow = -1;
    song->nextOrder = -1;
    song->row = 0;
    song->orderPosition = 0;
    song->tick = 0;
    song->samplesLeftInTick = 0;
    song->breakRow = 0;
    song->rowRepeats = 0;
    song->passes = 0;
    if (song->playedRows != nullptr)
        std::memset(song->playedRows, 0, kPlayedRowWords * sizeof(uint32_t));
    SetBpm(song, song->defaultBpm);
    for (int i = 0; i < kMaxChannels; ++i) {
        channels[i] = Channel{};
        channels[i].voice = &voices[i];
        channels[i].index = i;
    }
}

void ProcessRow(Song* song) {
    song->nextRow = -1;
    song->nextOrder = -1;
    RowJumps jumps;
    const Pattern* pattern = CurrentPattern(*song);
    const int32_t rows = RowsOf(pattern);
    for (int i = 0; i < song->channelCount && song->row < rows; ++i) {
        const Cell& cell = CellAt(*song, pattern, i);
        Channel& channel = channels[i];
        // A delayed note (EDx) and everything beside it wait for its tick.
        const bool delayed = IsNoteDelay(cell);
        const bool slide = IsSlide(cell);
        if (!delayed && cell.instrument != 0 && !slide)
            channel.instrument = static_cast<uint8_t>(cell.instrument - 1);
        if (!delayed && cell.note != 0 && cell.note != kKeyOff && !slide)
            channel.note = static_cast<uint8_t>(cell.note - 1);
        const Instrument& instrument = InstrumentOf(*song, channel);
        const Sample& sample = SampleOf(instrument, channel);

        // A tremolo's offset ends with it (tremolo sets its own again).
        channel.volumeDelta = 0;
        channel.flags = 0;
        EffectContext context{*song, channel, cell, instrument, sample, true, jumps};
        if (!delayed)
            StartRow(context);
        channel.periodDelta = 0;
        channel.flags |= kUpdateFrequency | kUpdateVolume;
        if (cell.volume != 0 && !delayed)
            VolumeColumn(context);
        RunEnvelopes(channel, instrument);
        RunEffect(context);
        AutoVibrato(channel, instrument);
        UpdateVoice(channel, sample, *song);
    }
    NextPosition(*song, jumps, rows);
}

void ProcessTick(Song* song) {
    const Pattern* pattern = CurrentPattern(*song);
    RowJumps jumps; // breaks and jumps act on the first tick only
    for (int i = 0; i < song->channelCount; ++i) {
        const Cell& cell = CellAt(*song, pattern, i);
        Channel& channel = channels[i];
        const Instrument& instrument = InstrumentOf(*song, channel);
        const Sample& sample = SampleOf(instrument, channel);
        channel.volumeDelta = 0;
        channel.periodDelta = 0;
        channel.flags = 0;
        RunEnvelopes(channel, instrument);
        EffectContext context{*song, channel, cell, instrument, sample, false, jumps};
        if (cell.volume != 0)
            VolumeColumn(context);
        RunEffect(context);
        // A delayed note may have started another instrument and note.
        const Instrument& playing = InstrumentOf(*song, channel);
        AutoVibrato(channel, playing);
        UpdateVoice(channel, SampleOf(playing, channel), *song);
    }
}

void ReplayTick(Song* song) {
    const int32_t globalVolume = song->globalVolume;
    if (song->tick != 0) {
        ProcessTick(song);
    } else if (song->rowRepeats > 0) {
        // A pattern delay: the row once more, its notes not read again and
        // its effects acting as on the ticks after the first.
        song->rowRepeats -= 1;
        ProcessTick(song);
    } else {
        if (song->nextOrder >= 0)
            song->orderPosition = song->nextOrder;
        if (song->nextRow >= 0)
            song->row = song->nextRow;
        if (song->orderPosition < 0 || song->orderPosition >= song->songLength)
            song->orderPosition = 0;
        // A break, jump or loop may name a row the pattern does not have
        // (D40 into a 32-row pattern): it starts at its first row instead.
        if (song->row < 0 || song->row >= RowsOf(CurrentPattern(*song)))
            song->row = 0;
        MarkPlayedRow(*song);
        ProcessRow(song);
    }
    // A new global volume reaches every channel on this tick, also those
    // processed before it changed.
    if (song->globalVolume != globalVolume)
        for (int i = 0; i < song->channelCount; ++i)
            UpdateVoiceVolume(channels[i], *song);
    song->tick += 1;
    if (song->tick >= song->speed)
        song->tick = 0;
}
