// Channel state and its building blocks: periods and frequencies, envelopes,
// fade-out, vibrato, tremolo, tremor, tone portamento, automatic vibrato, and
// UpdateVoice, which hands a channel's state to its mixer voice.
//
// Periods are in the song's table: linear (64 units a semitone, 7680 at the
// lowest C) or Amiga (1712 at the C of note 48). Volumes are 0..64, pannings
// 0..255 with 0 on the left, envelope values 0..64.
#pragma once

#include <cstdint>

#include "music/mixer.h"
#include "music/song.h"

// What UpdateVoice does this tick (Channel::flags).
inline constexpr uint8_t kUpdateFrequency = 1;
inline constexpr uint8_t kUpdateVolume = 2;
inline constexpr uint8_t kUpdatePanning = 4;
inline constexpr uint8_t kTrigger = 8;
inline constexpr uint8_t kStopVoice = 0x20;

// Envelope values are 0..64; in 16.16 fixed point at most this.
inline constexpr int32_t kEnvelopeFractionMax = 64 * 65536;

// Where a channel is in one envelope of its instrument.
struct EnvelopeState {
    int32_t tick;     // envelope clock in ticks
    int32_t index;    // next point
    int32_t fraction; // value in 16.16 fixed point
    int32_t delta;    // change of fraction per tick
    bool stopped;     // the last point was reached
};

struct Channel {
    uint8_t note;  // last note, 0-based
    uint8_t flags; // kUpdateFrequency | kUpdateVolume | kUpdatePanning | kTrigger | kStopVoice
    Voice* voice;  // voice i for channel i
    int32_t index;
    int32_t period;
    int32_t volume;      // 0..64
    int32_t pan;         // 0..255
    int32_t volumeDelta; // tremolo offset of this tick
    int32_t periodDelta; // arpeggio, vibrato and automatic vibrato offset of this tick
    EnvelopeState volumeEnvelope;
    int32_t envelopeVolume; // 0..64
    EnvelopeState panningEnvelope;
    int32_t envelopePan;           // 0..64, 32 = centre
    int32_t fadeVolume;            // 0..65,536
    int32_t autoVibratoPosition;   // 0..255
    int32_t autoVibratoSweepCount; // ticks since the instrument was struck, up to the sweep
    bool keyOff;
    uint8_t instrument; // last instrument, 0-based
    uint8_t realNote;   // note + relativeNote of the sample, 0..118
    int32_t notePeriod; // period of the last note
    int32_t sampleOffsetMemory;
    uint8_t portaUpMemory, portaDownMemory;
    uint8_t extraFineUpMemory, extraFineDownMemory;
    uint8_t volumeSlideMemory; // effects A, 5 and 6
    uint8_t panSlideMemory;
    uint8_t retrigVolumeChange, retrigInterval;
    int32_t tonePortaTarget;
    uint8_t tonePortaSpeed;
    int8_t vibratoPosition; // −32..31
    uint8_t vibratoSpeed, vibratoDepth;
    int8_t tremoloPosition; // −32..31
    uint8_t tremoloSpeed, tremoloDepth;
    // Waveforms of E4x and E7x: kWaveSine, kWaveRamp or square (2, 3), plus
    // kWaveKept when a struck instrument leaves the position where it is.
    uint8_t vibratoWaveform, tremoloWaveform;
    int8_t finetune; // of the playing note: its sample's, or the E5x beside it
    uint8_t finePortaUpMemory, finePortaDownMemory;   // E1x, E2x
    uint8_t fineVolumeUpMemory, fineVolumeDownMemory; // EAx, EBx
    bool glissando;                                   // E3x: tone portamento in semitones
    int32_t loopRow;                                  // E60: where E6x plays back to
    uint8_t loopCount;    // E6x: repeats still to play, 0 outside a loop
    uint8_t tremorMemory; // last non-zero parameter of T
    // Tremor clock: bit 7 set in the sounding phase, the low bits count the
    // ticks left of the phase.
    uint8_t tremorPosition;
    // The silent phase of a tremor holds until a volume is set again (a
    // note's instrument, a volume command or slide), as in the tracker.
    bool tremorSilent;
};

inline constexpr uint8_t kWaveSine = 0;
inline constexpr uint8_t kWaveRamp = 1;
inline constexpr uint8_t kWaveKept = 4;

extern Channel channels[kMaxChannels];

// Period bounds: the replay keeps periods inside them so that endless slides
// cannot overflow. Both lie far outside the audible range (every period past
// them plays at the 100 Hz floor or above any output rate).
inline constexpr int32_t kMaxPeriod = 1 << 20;
inline constexpr int32_t kMinPeriod = -(1 << 20);

// Period of realNote (semitones from the lowest C) with finetune in 1/128
// semitone, in the song's frequency table.
int32_t NotePeriod(int32_t realNote, int32_t finetune, const Song& song);
// Amiga period of note with finetune.
int32_t AmigaPeriod(int32_t note, int32_t finetune);

// A cell struck an instrument: the sample's volume and panning, envelopes
// and modulation from their starts (ResetVolumes, then RestartInstrument).
void ResetChannelInstrument(Channel& channel, const Sample& sample);
// The sample's volume and panning; a silent tremor phase ends.
void ResetVolumes(Channel& channel, const Sample& sample);
// Envelopes, fade-out, automatic vibrato and tremor from their starts, the
// key pressed again, and the vibrato and tremolo positions back at 0 unless
// their waveforms keep them.
void RestartInstrument(Channel& channel);
// Releases the key: envelopes leave their sustain and fade-out begins; an
// instrument without volume envelope falls silent (volume 0) at once.
void KeyOff(Channel& channel, const Instrument& instrument);

// One envelope of an instrument, as StepEnvelope and effect L read it.
struct EnvelopeShape {
    const EnvelopePoint* points;
    uint8_t pointCount, sustain, loopStart, loopEnd, type;
};
EnvelopeShape VolumeEnvelopeOf(const Instrument& instrument);
EnvelopeShape PanningEnvelopeOf(const Instrument& instrument);

// One tick of an envelope. updateBit kUpdateVolume steps envelopeVolume,
// kUpdatePanning steps envelopePan.
void StepEnvelope(Channel& channel, const EnvelopeShape& envelope, EnvelopeState& state,
                  uint8_t updateBit);
// One tick of fade-out after a key off.
void FadeOut(Channel& channel, const Instrument& instrument);

void TonePortamento(Channel& channel);
// Sets periodDelta from the vibrato position and waveform; does not move the
// position.
void Vibrato(Channel& channel);
// Moves the vibrato position by its speed.
void AdvanceVibrato(Channel& channel);
// Sets volumeDelta from the tremolo position and waveform and moves the
// position. The ramp takes its direction from the vibrato position, as the
// tracker's does.
void Tremolo(Channel& channel);
// The same without moving the position.
void ApplyTremolo(Channel& channel);
// One tick of tremor by tremorMemory: x + 1 ticks sounding, y + 1 silent.
void Tremor(Channel& channel);
// The instrument's automatic vibrato, added to periodDelta every tick.
void AutoVibrato(Channel& channel, const Instrument& instrument);

// Hands the channel's state to its voice as flags asks: trigger, volume,
// panning, frequency, stop. The last step of every channel on every tick.
void UpdateVoice(Channel& channel, const Sample& sample, const Song& song);
// The voice's volume again, for a new global volume.
void UpdateVoiceVolume(const Channel& channel, const Song& song);
