// Writes an Extended Module (XM, version 0x0104) from an in-memory description.
//
// The writer knows the file layout only: the 336-byte song header, packed patterns,
// instruments with their envelopes and automatic vibrato, and samples stored as
// delta-encoded 8-bit or 16-bit data. It does not judge the music: what the cells
// and envelopes say is the caller's business. Every count and range the format
// limits is checked, and a description that cannot be written is refused with a
// message instead of producing a damaged file.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace xm {

// Cell notes: 1 is C-0, 49 is C-4 (the note that plays a sample at its own rate
// when relativeNote and finetune are 0), 96 is B-7, 97 releases the key.
constexpr uint8_t kNoteKeyOff = 97;

// Effect types as stored in a cell (0..9, then A = 10 and so on).
enum Effect : uint8_t {
    kEffectArpeggio = 0x0,
    kEffectPortaUp = 0x1,
    kEffectPortaDown = 0x2,
    kEffectTonePorta = 0x3,
    kEffectVibrato = 0x4,
    kEffectTonePortaVolumeSlide = 0x5,
    kEffectVibratoVolumeSlide = 0x6,
    kEffectTremolo = 0x7,
    kEffectSetPanning = 0x8,
    kEffectSampleOffset = 0x9,
    kEffectVolumeSlide = 0xA,
    kEffectPositionJump = 0xB,
    kEffectSetVolume = 0xC,
    kEffectPatternBreak = 0xD,
    kEffectSpeedTempo = 0xF,
    kEffectGlobalVolume = 0x10,
    kEffectGlobalVolumeSlide = 0x11,
    kEffectKeyOff = 0x14,
    kEffectPanningSlide = 0x19,
    kEffectMultiRetrig = 0x1B,
};

// One pattern cell; all zero is an empty cell.
struct Cell {
    uint8_t note = 0;       // 0 none, 1..96, 97 key off
    uint8_t instrument = 0; // 0 none, 1..128
    uint8_t volume = 0;     // volume-column byte
    uint8_t effect = 0;
    uint8_t parameter = 0;
};

// rows x channelCount cells in row order (all channels of row 0 first).
struct Pattern {
    int rows = 64;
    std::vector<Cell> cells;
};

struct EnvelopePoint {
    uint16_t x = 0; // tick
    uint16_t y = 0; // 0..64 (panning: 32 is the centre)
};

struct Envelope {
    std::vector<EnvelopePoint> points; // at most 12; x strictly increasing
    bool on = false;
    bool sustain = false;
    bool loop = false;
    uint8_t sustainPoint = 0;
    uint8_t loopStart = 0;
    uint8_t loopEnd = 0;
};

enum class LoopMode : uint8_t { kNone = 0, kForward = 1, kPingPong = 2 };

struct Sample {
    std::string name;
    bool sixteenBit = true;
    // One value per sample: -32768..32767 for 16-bit, -128..127 for 8-bit data.
    std::vector<int16_t> data;
    LoopMode loopMode = LoopMode::kNone;
    uint32_t loopStart = 0;  // in samples
    uint32_t loopLength = 0; // in samples
    uint8_t volume = 64;     // 0..64
    int8_t finetune = 0;     // 1/128 semitone
    uint8_t panning = 128;   // 0..255
    int8_t relativeNote = 0; // semitones
};

struct Instrument {
    std::string name;
    std::vector<Sample> samples;      // at most 16
    std::array<uint8_t, 96> keymap{}; // sample slot for notes 1..96
    Envelope volumeEnvelope;
    Envelope panningEnvelope;
    uint8_t autoVibratoType = 0; // 0 sine, 1 square, 2 and 3 ramps
    uint8_t autoVibratoSweep = 0;
    uint8_t autoVibratoDepth = 0; // 0..15
    uint8_t autoVibratoRate = 0;  // 0..63
    uint16_t fadeout = 0;         // 0..0xFFF, subtracted from 32768 per tick after key off
};

struct Module {
    std::string name;
    uint16_t channelCount = 8; // 1..32
    uint16_t restartPosition = 0;
    bool linearFrequencies = true;
    uint16_t defaultTempo = 6; // ticks per row
    uint16_t defaultBpm = 125;
    std::vector<uint8_t> orders; // 1..256 entries, each < patterns.size()
    std::vector<Pattern> patterns;
    std::vector<Instrument> instruments; // at most 128
};

// The packed form of a pattern's cells: a cell with all five fields is stored as
// they stand, any other cell as a flag byte (0x80 | one bit per field present)
// followed by the present fields. Empty when every cell is empty (the format's
// short form for an empty pattern).
std::vector<uint8_t> PackPattern(const Pattern& pattern, int channelCount);

// Sample data as the file stores it: each value minus the one before it,
// wrapped to the sample's width. Values outside the width are the caller's error.
std::vector<uint8_t> DeltaEncode8(const std::vector<int16_t>& values);
std::vector<uint8_t> DeltaEncode16(const std::vector<int16_t>& values);

// relativeNote and finetune that make C-4 play a sample at rateAtC4 Hz with
// the linear frequency table (C-4 plays 8363 Hz when both are 0).
void TuneSample(double rateAtC4, Sample& sample);

// Serialises the module into bytes. False, with a message in error, when
// something in the description does not fit the format; out is then unspecified.
bool WriteModule(const Module& module, std::vector<uint8_t>& out, std::string& error);

} // namespace xm
