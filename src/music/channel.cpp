#include "music/channel.h"

#include <cmath>
#include <initializer_list>

Channel channels[kMaxChannels]{};

namespace {

// The program's constant for π/64 (a little short of it): the vibrato and
// tremolo sine covers a period in 64 positions.
constexpr double kModulationAngle = 0.049087375;
// π/128 in single precision: the automatic vibrato's sine covers 256 positions.
constexpr float kAutoVibratoAngle = 0.024543688f;
// 1/768 in single precision: linear periods per octave.
constexpr float kLinearScale = 0.0013020833721384406f;
// 255 / 2^35 in single precision: scales volume × envelope × fade × global
// (at most 64 × 64 × 65,536 × 64) to a voice volume of at most 127.
constexpr float kVolumeScale = 7.4214767664670944e-09f;
// Amiga frequency constant: period × frequency.
constexpr int64_t kAmigaClock = 14317056;

// Amiga notes the replay can ask for: realNote (0..255) plus an arpeggio of up
// to 15 semitones, plus one for the finetune neighbour.
constexpr int kAmigaNotes = 256 + 16 + 1;

struct Tables {
    int32_t amiga[kAmigaNotes]; // P(k) = ⌊13.375 × 2^((132 − k) / 12)⌋
    int32_t modulation[64];     // |sin| × 256 for positions −32..31
    int32_t autoVibrato[256];   // sin × 64 for positions 0..255
    Tables() {
        for (int k = 0; k < kAmigaNotes; ++k)
            amiga[k] = static_cast<int32_t>(std::floor(13.375 * std::exp2((132.0 - k) / 12.0)));
        for (int p = -32; p < 32; ++p)
            modulation[p + 32] =
                static_cast<int32_t>(std::fabs(std::sin(p * 2 * kModulationAngle) * 256.0));
        for (int p = 0; p < 256; ++p)
            autoVibrato[p] =
                static_cast<int32_t>(std::sin(p * static_cast<double>(kAutoVibratoAngle)) * 64.0);
    }
};
const Tables tables;

int32_t AmigaTable(int32_t k) {
    if (k < 0)
        k = 0;
    if (k >= kAmigaNotes)
        k = kAmigaNotes - 1;
    return tables.amiga[k];
}

// Arithmetic right shift of a signed value (rounds toward −∞).
int32_t ShiftDown(int32_t value, int bits) {
    return value >= 0 ? value >> bits : -((-value + (1 << bits) - 1) >> bits);
}

template <typename T> T Clamp(T value, T low, T high) {
    return value < low ? low : (value > high ? high : value);
}

} // namespace

int32_t AmigaPeriod(int32_t note, int32_t finetune) {
    const int32_t p = AmigaTable(note);
    if (finetune < 0 && note != 0)
        return p + (AmigaTable(note - 1) - p) * -finetune / 128;
    return p - (p - AmigaTable(note + 1)) * finetune / 128;
}

int32_t NotePeriod(int32_t realNote, int32_t finetune, const Song& song) {
    if (song.flags & kLinearFrequencies)
        return 7680 - 64 * realNote - finetune / 2;
    return AmigaPeriod(realNote, finetune);
}

void ResetVolumes(Channel& channel, const Sample& sample) {
    channel.volume = sample.volume;
    channel.pan = sample.panning;
    channel.tremorSilent = false;
    channel.flags |= kUpdateVolume | kUpdatePanning;
}

void RestartInstrument(Channel& channel) {
    channel.envelopeVolume = 64;
    channel.envelopePan = 32;
    for (EnvelopeState* state : {&channel.volumeEnvelope, &channel.panningEnvelope}) {
        state->index = 0;
        state->tick = 0;
        state->delta = 0;
        state->stopped = false; // the fraction keeps its value
    }
    channel.keyOff = false;
    channel.fadeVolume = 65536;
    channel.autoVibratoPosition = 0;
    channel.autoVibratoSweepCount = 0;
    if (!(channel.vibratoWaveform & kWaveKept))
        channel.vibratoPosition = 0;
    if (!(channel.tremoloWaveform & kWaveKept))
        channel.tremoloPosition = 0;
    channel.tremorPosition = 0;
    channel.flags |= kUpdateVolume | kUpdatePanning;
}

void ResetChannelInstrument(Channel& channel, const Sample& sample) {
    ResetVolumes(channel, sample);
    RestartInstrument(channel);
}

void KeyOff(Channel& channel, const Instrument& instrument) {
    channel.keyOff = true;
    if (!(instrument.volumeType & kEnvelopeOn)) {
        channel.volume = 0;
        channel.tremorSilent = false;
        channel.flags |= kUpdateVolume;
    }
}

EnvelopeShape VolumeEnvelopeOf(const Instrument& instrument) {
    return {instrument.volumeEnvelope,  instrument.volumePointCount, instrument.volumeSustain,
            instrument.volumeLoopStart, instrument.volumeLoopEnd,    instrument.volumeType};
}

EnvelopeShape PanningEnvelopeOf(const Instrument& instrument) {
    return {instrument.panningEnvelope,  instrument.panningPointCount, instrument.panningSustain,
            instrument.panningLoopStart, instrument.panningLoopEnd,    instrument.panningType};
}

// The loader leaves at most 12 points with ticks that never go back and loop
// and sustain indices that name points present, so every index used here is
// inside the points.
void StepEnvelope(Channel& channel, const EnvelopeShape& envelope, EnvelopeState& state,
                  uint8_t updateBit) {
    int32_t& value = updateBit == kUpdateVolume ? channel.envelopeVolume : channel.envelopePan;
    if (state.index < envelope.pointCount) {
        if (state.tick == envelope.points[state.index].x) {
            if ((envelope.type & kEnvelopeLoop) && state.index == envelope.loopEnd) {
                state.index = envelope.loopStart;
                state.tick = envelope.points[state.index].x;
            }
            const EnvelopePoint& point = envelope.points[state.index];
            if (state.index == envelope.pointCount - 1) {
                value = point.y;
                state.stopped = true;
                channel.flags |= updateBit;
                return;
            }
            if ((envelope.type & kEnvelopeSustain) && state.index == envelope.sustain &&
                !channel.keyOff) {
                value = point.y; // held here while the key is held
                channel.flags |= updateBit;
                return;
            }
            const EnvelopePoint& next = envelope.points[state.index + 1];
            state.delta = next.x == point.x ? 0 : ((next.y - point.y) * 65536) / (next.x - point.x);
            state.fraction = point.y * 65536;
            state.index += 1;
        } else {
            // Between two points the value stays between theirs; the clamp
            // only matters after effect L started the clock before point 0.
            state.fraction = static_cast<int32_t>(Clamp<int64_t>(
                static_cast<int64_t>(state.fraction) + state.delta, 0, kEnvelopeFractionMax));
        }
    }
    value = state.fraction >> 16;
    // Two points at the same tick leave the clock running past the next one
    // for good; it stops short of overflowing.
    if (state.tick < INT32_MAX)
        state.tick += 1;
    channel.flags |= updateBit;
}

void FadeOut(Channel& channel, const Instrument& instrument) {
    channel.fadeVolume -= instrument.fadeout;
    if (channel.fadeVolume < 0)
        channel.fadeVolume = 0;
    channel.flags |= kUpdateVolume;
}

void TonePortamento(Channel& channel) {
    const int32_t amount = 4 * channel.tonePortaSpeed;
    if (channel.period < channel.tonePortaTarget) {
        channel.period += amount;
        if (channel.period > channel.tonePortaTarget)
            channel.period = channel.tonePortaTarget;
    } else if (channel.period > channel.tonePortaTarget) {
        channel.period -= amount;
        if (channel.period < channel.tonePortaTarget)
            channel.period = channel.tonePortaTarget;
    }
    channel.flags |= kUpdateFrequency;
}

namespace {

// The modulation value 0..255 of waveform at position (−32..31) for vibrato
// and tremolo: the sine's magnitude, a ramp, or a square; `falling` (the
// position's sign for vibrato) turns the ramp over.
int32_t Waveform(uint8_t waveform, int32_t position, bool falling) {
    switch (waveform & 3) {
    case kWaveSine:
        return tables.modulation[position + 32];
    case kWaveRamp: {
        const int32_t ramp = (position & 31) * 8;
        return falling ? 255 - ramp : ramp;
    }
    default: // square
        return 255;
    }
}

} // namespace

void Vibrato(Channel& channel) {
    const int32_t value =
        Waveform(channel.vibratoWaveform, channel.vibratoPosition, channel.vibratoPosition < 0);
    const int32_t d = ((channel.vibratoDepth * value) >> 5) & ~3;
    channel.periodDelta = channel.vibratoPosition >= 0 ? -d : d;
    channel.flags |= kUpdateFrequency;
}

void AdvanceVibrato(Channel& channel) {
    int32_t position = channel.vibratoPosition + channel.vibratoSpeed;
    if (position > 31)
        position -= 64;
    channel.vibratoPosition = static_cast<int8_t>(position);
}

void Tremolo(Channel& channel) {
    ApplyTremolo(channel);
    int32_t position = channel.tremoloPosition + channel.tremoloSpeed;
    if (position > 31)
        position -= 64;
    channel.tremoloPosition = static_cast<int8_t>(position);
}

void ApplyTremolo(Channel& channel) {
    const int32_t value =
        Waveform(channel.tremoloWaveform, channel.tremoloPosition, channel.vibratoPosition < 0);
    int32_t d = (channel.tremoloDepth * value) >> 6;
    if (channel.tremoloPosition >= 0) {
        if (channel.volume + d > 64)
            d = 64 - channel.volume;
        channel.volumeDelta = d;
    } else {
        if (channel.volume - d < 0)
            d = channel.volume;
        channel.volumeDelta = -d;
    }
    channel.tremorSilent = false;
    channel.flags |= kUpdateVolume;
}

void Tremor(Channel& channel) {
    bool sounding = channel.tremorPosition & 0x80;
    int32_t left = (channel.tremorPosition & 0x7F) - 1;
    if (left < 0) { // the phase is over: the other one begins
        sounding = !sounding;
        left = sounding ? channel.tremorMemory >> 4 : channel.tremorMemory & 15;
    }
    channel.tremorPosition = static_cast<uint8_t>((sounding ? 0x80 : 0) | left);
    channel.tremorSilent = !sounding;
    channel.flags |= kUpdateVolume;
}

void AutoVibrato(Channel& channel, const Instrument& instrument) {
    const int32_t p = channel.autoVibratoPosition;
    int32_t value;
    switch (instrument.autoVibratoType) {
    case 0: // sine
        value = tables.autoVibrato[p];
        break;
    case 1: // square
        value = p < 128 ? 64 : -64;
        break;
    case 2: // ramp
        value = ShiftDown(128 - (p + 128) % 256, 1);
        break;
    case 3: // ramp the other way
        value = ShiftDown(128 - (384 - p) % 256, 1);
        break;
    default:
        value = 0; // a waveform the format does not define: no vibrato
        break;
    }
    int32_t amount = instrument.autoVibratoDepth * value;
    if (instrument.autoVibratoSweep != 0)
        amount = channel.autoVibratoSweepCount * amount / instrument.autoVibratoSweep;
    channel.periodDelta += ShiftDown(amount, 6);
    if (channel.autoVibratoSweepCount < instrument.autoVibratoSweep)
        channel.autoVibratoSweepCount += 1;
    channel.autoVibratoPosition += instrument.autoVibratoRate;
    if (channel.autoVibratoPosition > 255)
        channel.autoVibratoPosition -= 256;
    channel.flags |= kUpdateFrequency;
}

void UpdateVoiceVolume(const Channel& channel, const Song& song) {
    Voice& voice = *channel.voice;
    // Every factor is kept in its range here, so that no file can make the
    // 8-bit gains wrap.
    const int32_t volume =
        channel.tremorSilent ? 0 : Clamp(channel.volume + channel.volumeDelta, 0, 64);
    const double product = static_cast<double>(volume) * Clamp(channel.envelopeVolume, 0, 64) *
                           Clamp(channel.fadeVolume, 0, 65536) * Clamp(song.globalVolume, 0, 64) *
                           static_cast<double>(kVolumeScale);
    const int32_t v = Clamp(static_cast<int32_t>(product), 0, 127);
    voice.volume = v;
    voice.leftVolume = static_cast<uint8_t>(v * (255 - voice.pan) / 255);
    voice.rightVolume = static_cast<uint8_t>(v * voice.pan / 255);
}

void UpdateVoice(Channel& channel, const Sample& sample, const Song& song) {
    Voice& voice = *channel.voice;
    const int64_t period = static_cast<int64_t>(channel.period) + channel.periodDelta;
    if (period == 0)
        channel.flags &= static_cast<uint8_t>(~kUpdateFrequency);

    if (channel.flags & kTrigger) {
        voice.sample = sample.data != nullptr ? &sample : nullptr;
        if (voice.startOffset >= static_cast<uint64_t>(sample.loopStart) + sample.loopLength)
            voice.startOffset = 0;
        voice.position = static_cast<uint64_t>(voice.startOffset) << 32;
        voice.direction = kForward;
        voice.startOffset = 0;
    }

    if (channel.flags & kUpdateVolume)
        UpdateVoiceVolume(channel, song);

    if (channel.flags & kUpdatePanning) {
        const int32_t spread = (128 - std::abs(channel.pan - 128)) / 32;
        const int32_t p =
            Clamp(channel.pan + (Clamp(channel.envelopePan, 0, 64) - 32) * spread, 0, 255);
        voice.pan = p;
        voice.leftVolume = static_cast<uint8_t>(voice.volume * (255 - p) / 255);
        voice.rightVolume = static_cast<uint8_t>(voice.volume * p / 255);
    }

    if ((channel.flags & kUpdateFrequency) && mixRing.mixRate > 0) {
        int64_t frequency;
        if (song.flags & kLinearFrequencies) {
            // Past ±20,000 the result is below the floor or above any rate.
            const int64_t exponent = Clamp<int64_t>(
                4608 - static_cast<int64_t>(channel.period) + channel.periodDelta, -20000, 20000);
            const double f = 8363.0 * std::exp2(static_cast<double>(exponent) *
                                                static_cast<double>(kLinearScale));
            frequency = f >= 2147483647.0 ? 2147483647 : static_cast<int64_t>(f);
        } else {
            frequency = kAmigaClock / period;
        }
        const uint64_t r = frequency < 100 ? 100 : static_cast<uint64_t>(frequency);
        const uint64_t rate = static_cast<uint64_t>(mixRing.mixRate);
        voice.step = (r / rate) << 32 | ((r % rate) << 32) / rate;
    }

    // A note whose period comes to 0 has no frequency: the voice would keep
    // the step of the note before it, or hold one sample value for ever (a
    // constant offset) when it never had one. It stays silent until its
    // next note.
    const bool pitchless = voice.step == 0 || ((channel.flags & kTrigger) && period == 0);
    if ((channel.flags & kStopVoice) || pitchless) {
        voice.position = 0;
        voice.sample = nullptr;
        voice.startOffset = 0;
    }
}
