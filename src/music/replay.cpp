// Replay engine: the tick clock, row and tick processing, the volume column
// and one function per effect, found through kEffects by effect type.
#include "music/replay.h"

#include "music/channel.h"
#include "music/mixer.h"

namespace {

const Cell kEmptyCell{};

// What an effect or volume-column function works on.
struct EffectContext {
    Song& song;
    Channel& channel;
    const Cell& cell;
    const Instrument& instrument;
    const Sample& sample;
    bool firstTick; // the row's first tick
    bool& jumped;   // a B came earlier in this row
};

template <typename T> T Clamp(T value, T low, T high) {
    return value < low ? low : (value > high ? high : value);
}

// Channel panning may leave 0..255 through the volume column's slides (the
// voice update clamps it); it is kept to a range where nothing can overflow.
int32_t WidePan(int32_t pan) {
    return Clamp(pan, -32768, 32767);
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

// Volume slide by the memory of A, 5 and 6: up by its high nibble, else down
// by its low one.
void VolumeSlide(Channel& channel) {
    const uint8_t m = channel.volumeSlideMemory;
    if (m >> 4)
        channel.volume = Clamp(channel.volume + (m >> 4), 0, 64);
    else if (m & 15)
        channel.volume = Clamp(channel.volume - (m & 15), 0, 64);
    channel.flags |= kUpdateVolume;
}

// ---- Volume column ----

void VolumeColumn(EffectContext& c) {
    Channel& channel = c.channel;
    const uint8_t byte = c.cell.volume;
    const int x = byte & 15;
    if (byte >= 0x10 && byte <= 0x50) {
        if (c.firstTick) {
            channel.volume = byte - 0x10;
            channel.flags |= kUpdateVolume;
        }
        return;
    }
    switch (byte >> 4) {
    case 0x6: // slide down, every tick
        channel.volume = Clamp(channel.volume - x, 0, 64);
        channel.flags |= kUpdateVolume;
        break;
    case 0x7: // slide up, every tick
        channel.volume = Clamp(channel.volume + x, 0, 64);
        channel.flags |= kUpdateVolume;
        break;
    case 0x8: // fine slide down, once
        if (c.firstTick) {
            channel.volume = Clamp(channel.volume - x, 0, 64);
            channel.flags |= kUpdateVolume;
        }
        break;
    case 0x9: // fine slide up, once
        if (c.firstTick) {
            channel.volume = Clamp(channel.volume + x, 0, 64);
            channel.flags |= kUpdateVolume;
        }
        break;
    case 0xA: // vibrato speed
        if (c.firstTick)
            channel.vibratoSpeed = static_cast<uint8_t>(x);
        break;
    case 0xB: // vibrato depth; vibrato on the other ticks
        channel.vibratoDepth = static_cast<uint8_t>(x);
        if (!c.firstTick) {
            Vibrato(channel);
            AdvanceVibrato(channel);
        }
        break;
    case 0xC: // set panning
        if (c.firstTick) {
            channel.pan = x * 16;
            channel.flags |= kUpdatePanning;
        }
        break;
    case 0xD: // panning slide left, every tick, not limited
        channel.pan = WidePan(channel.pan - x);
        channel.flags |= kUpdatePanning;
        break;
    case 0xE: // panning slide right, every tick, not limited
        channel.pan = WidePan(channel.pan + x);
        channel.flags |= kUpdatePanning;
        break;
    case 0xF: // tone portamento
        if (c.firstTick) {
            if (x != 0)
                channel.tonePortaSpeed = static_cast<uint8_t>(x * 16);
            channel.tonePortaTarget = channel.notePeriod;
            channel.flags &= static_cast<uint8_t>(~kTrigger);
        } else {
            TonePortamento(channel);
        }
        break;
    default: // 0x01..0x0F, 0x51..0x5F
        break;
    }
}

// ---- Effects, one function each, indexed by effect type ----

void Arpeggio(EffectContext& c) { // 0xy
    if (c.firstTick || c.cell.parameter == 0)
        return;
    int semitones = 0;
    switch (c.song.tick % 3) {
    case 1:
        semitones = High(c.cell);
        break;
    case 2:
        semitones = Low(c.cell);
        break;
    default:
        break;
    }
    Channel& channel = c.channel;
    if (c.song.flags & kLinearFrequencies)
        channel.periodDelta = 64 * semitones;
    else
        channel.periodDelta = AmigaPeriod(channel.realNote + semitones, c.sample.finetune) -
                              AmigaPeriod(channel.realNote, c.sample.finetune);
    channel.flags |= kUpdateFrequency;
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
        if (c.cell.parameter != 0)
            c.channel.tonePortaSpeed = c.cell.parameter;
        AimTonePortamento(c.channel);
    } else {
        TonePortamento(c.channel);
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
    } else {
        TonePortamento(c.channel);
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

void SampleOffset(EffectContext& c) { // 9xx
    if (!c.firstTick)
        return;
    Channel& channel = c.channel;
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

void PositionJump(EffectContext& c) { // Bxx
    if (!c.firstTick)
        return;
    c.song.nextRow = 0;
    c.song.nextOrder = c.cell.parameter >= c.song.songLength ? 0 : c.cell.parameter;
    c.jumped = true;
}

void SetVolume(EffectContext& c) { // Cxx
    if (!c.firstTick)
        return;
    // Volumes above 64 do not exist; taking them would overdrive the voice.
    c.channel.volume = c.cell.parameter > 64 ? 64 : c.cell.parameter;
    c.channel.flags |= kUpdateVolume;
}

void PatternBreak(EffectContext& c) { // Dxy: to row 10 × x + y of the next order
    if (!c.firstTick)
        return;
    Song& song = c.song;
    const int row = High(c.cell) * 10 + Low(c.cell);
    song.nextRow = row > 63 ? 0 : row;
    if (!c.jumped)
        song.nextOrder = song.orderPosition + 1;
    if (song.nextOrder >= song.songLength)
        song.nextOrder = 0;
}

void SetSpeed(EffectContext& c) { // Fxx: speed below 32, tempo from 32
    if (!c.firstTick)
        return;
    if (c.cell.parameter < 32)
        c.song.speed = c.cell.parameter;
    else
        SetBpm(&c.song, c.cell.parameter);
}

void GlobalVolume(EffectContext& c) { // Gxx
    if (!c.firstTick)
        return;
    c.song.globalVolume = c.cell.parameter > 64 ? 64 : c.cell.parameter;
    c.channel.flags |= kUpdateVolume;
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
    channel.volume = Clamp(RetrigVolume(channel.volume, channel.retrigVolumeChange), 0, 64);
    channel.flags |= kUpdateVolume;
}

void TremorEffect(EffectContext& c) { // Txy: on for x + 1 ticks, off for y + 1
    Channel& channel = c.channel;
    if (c.firstTick && c.cell.parameter != 0) {
        channel.tremorOn = static_cast<uint8_t>(High(c.cell) + 1);
        channel.tremorOff = static_cast<uint8_t>(Low(c.cell) + 1);
    }
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

using EffectFunction = void (*)(EffectContext&);

// By effect type: 0-9, then A = 10 up to X = 33. Key off (K) acts in the row
// processing itself; E and the types not listed do nothing.
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
    SetVolume,                 // C
    PatternBreak,              // D
    nullptr,                   // E
    SetSpeed,                  // F
    GlobalVolume,              // G
    GlobalVolumeSlide,         // H
    nullptr,                   // I
    nullptr,                   // J
    nullptr,                   // K
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

constexpr uint8_t kEffectKeyOff = 20;
constexpr uint8_t kEffectTonePortamento = 3;
constexpr uint8_t kEffectTonePortamentoVolumeSlide = 5;
constexpr uint8_t kEffectTremolo = 7;

void RunEffect(EffectContext& c) {
    if (c.cell.effect < sizeof kEffects / sizeof kEffects[0] && kEffects[c.cell.effect] != nullptr)
        kEffects[c.cell.effect](c);
}

// Envelopes and fade-out of one tick. The row's first tick silences a
// released note of an instrument without volume envelope.
void RunEnvelopes(Channel& channel, const Instrument& instrument, bool firstTick) {
    if (instrument.volumeType & kEnvelopeOn) {
        if (!channel.volumeEnvelope.stopped)
            StepEnvelope(channel, VolumeEnvelopeOf(instrument), channel.volumeEnvelope,
                         kUpdateVolume);
    } else if (firstTick && channel.keyOff) {
        channel.envelopeVolume = 0;
    }
    if ((instrument.panningType & kEnvelopeOn) && !channel.panningEnvelope.stopped)
        StepEnvelope(channel, PanningEnvelopeOf(instrument), channel.panningEnvelope,
                     kUpdatePanning);
    if (channel.keyOff)
        FadeOut(channel, instrument);
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
    bool jumped = false;
    const Pattern* pattern = CurrentPattern(*song);
    if (song->row >= RowsOf(pattern))
        return; // a pattern of no rows
    for (int i = 0; i < song->channelCount; ++i) {
        const Cell& cell = CellAt(*song, pattern, i);
        Channel& channel = channels[i];
        const bool portaNote =
            cell.effect == kEffectTonePortamento || cell.effect == kEffectTonePortamentoVolumeSlide;
        const bool hasNote = cell.note != 0 && cell.note != kKeyOff;
        if (cell.instrument != 0 && !portaNote)
            channel.instrument = static_cast<uint8_t>(cell.instrument - 1);
        if (hasNote && !portaNote)
            channel.note = static_cast<uint8_t>(cell.note - 1);
        const Instrument& instrument = InstrumentOf(*song, channel);
        const Sample& sample = SampleOf(instrument, channel);

        // The last tremolo offset stays in the volume when tremolo ends.
        if (channel.lastEffect == kEffectTremolo && cell.effect != kEffectTremolo)
            channel.volume = Clamp(channel.volume + channel.volumeDelta, 0, 64);
        channel.flags = 0;
        channel.lastEffect = cell.effect;
        channel.volumeDelta = 0;
        if (hasNote) {
            channel.realNote = static_cast<uint8_t>(cell.note + sample.relativeNote - 1);
            channel.notePeriod = NotePeriod(channel.realNote, sample.finetune, *song);
            if (!portaNote)
                channel.period = channel.notePeriod;
            channel.flags = kTrigger;
        }
        channel.periodDelta = 0;
        channel.flags |= kUpdateFrequency | kUpdateVolume;
        if (cell.instrument != 0)
            ResetChannelInstrument(channel, sample);

        EffectContext context{*song, channel, cell, instrument, sample, true, jumped};
        if (cell.volume != 0)
            VolumeColumn(context);
        if (cell.note == kKeyOff || cell.effect == kEffectKeyOff)
            channel.keyOff = true;
        RunEnvelopes(channel, instrument, true);
        RunEffect(context);
        AutoVibrato(channel, instrument);
        UpdateVoice(channel, sample, *song);
    }
}

void ProcessTick(Song* song) {
    const Pattern* pattern = CurrentPattern(*song);
    bool jumped = false; // breaks and jumps act on the first tick only
    for (int i = 0; i < song->channelCount; ++i) {
        const Cell& cell = CellAt(*song, pattern, i);
        Channel& channel = channels[i];
        const Instrument& instrument = InstrumentOf(*song, channel);
        const Sample& sample = SampleOf(instrument, channel);
        channel.volumeDelta = 0;
        channel.periodDelta = 0;
        channel.flags = 0;
        RunEnvelopes(channel, instrument, false);
        EffectContext context{*song, channel, cell, instrument, sample, false, jumped};
        if (cell.volume != 0)
            VolumeColumn(context);
        RunEffect(context);
        AutoVibrato(channel, instrument);
        UpdateVoice(channel, sample, *song);
    }
}

void ReplayTick(Song* song) {
    if (song->tick != 0) {
        ProcessTick(song);
    } else {
        if (song->nextOrder >= 0)
            song->orderPosition = song->nextOrder;
        if (song->nextRow >= 0)
            song->row = song->nextRow;
        if (song->orderPosition < 0 || song->orderPosition >= song->songLength)
            song->orderPosition = 0;
        // A break or jump may name a row the pattern does not have (D40 into
        // a 32-row pattern): it starts at its first row instead.
        const int32_t rows = RowsOf(CurrentPattern(*song));
        if (song->row < 0 || song->row >= rows)
            song->row = 0;
        ProcessRow(song);
        if (song->nextRow == -1) {
            song->nextRow = song->row + 1;
            if (song->nextRow >= rows) {
                song->nextOrder = song->orderPosition + 1;
                if (song->nextOrder >= song->songLength)
                    song->nextOrder = song->restartPosition;
                song->nextRow = 0;
            }
        }
    }
    song->tick += 1;
    if (song->tick >= song->speed)
        song->tick = 0;
}
