// The song model: an XM module as the replay and the mixer use it.
//
// LoadSong parses the module through the music file table (music_file.h)
// into unpacked pattern cells and instruments with 16-bit sample data. Records
// are zero-filled when allocated. Where a module lacks something (a pattern
// slot that was never stored, a sample slot past the instrument's count) the
// shared empty records stand in; they are never freed.
#pragma once

#include <cstdint>

struct Song;

inline constexpr int kMaxChannels = 32;       // channel table of the replay
inline constexpr int kMaxEnvelopePoints = 12; // points of one envelope
inline constexpr int kMaxPatternRows = 1024;  // longest pattern the loader takes
inline constexpr int kMaxPatterns = 256;      // order entries are bytes
inline constexpr int kMaxInstruments = 128;   // cell instrument numbers are 1..128
inline constexpr int kSampleSlots = 16;       // samples per instrument
inline constexpr uint8_t kKeyOff = 255;       // cell note of a key off

struct Cell {
    uint8_t note;       // 0 none, 1..96 a note, 255 key off
    uint8_t instrument; // 0 none, 1..128
    uint8_t volume;     // volume-column byte
    uint8_t effect;     // effect type, 0..33 are the XM effects 0-9, A-X
    uint8_t parameter;  // effect parameter
};

struct Pattern {
    int32_t rows;
    // rows × channelCount cells in row order; none for a pattern without
    // stored data, whose rows all read as empty cells.
    Cell* cells;
};

struct EnvelopePoint {
    uint16_t x; // tick
    uint16_t y; // value 0..64
};

// Envelope type bits.
inline constexpr uint8_t kEnvelopeOn = 1;
inline constexpr uint8_t kEnvelopeSustain = 2;
inline constexpr uint8_t kEnvelopeLoop = 4;

// Sample loop modes.
inline constexpr uint8_t kLoopNone = 1;
inline constexpr uint8_t kLoopForward = 2;
inline constexpr uint8_t kLoopPingPong = 4;

struct Sample {
    // length samples, then at least 8 guard samples (16 bytes) so that the
    // interpolating mixer may read one past the loop end; none when empty.
    int16_t* data;
    uint32_t length;     // in samples, below 2^31
    uint32_t loopStart;  // in samples
    uint32_t loopLength; // in samples; equals length (start 0) without a loop
    uint8_t volume;      // 0..64
    int8_t finetune;     // 1/128 semitone
    int32_t panning;     // 0..255
    uint8_t bits;        // 16 once loaded
    uint8_t loopMode;    // kLoopNone, kLoopForward or kLoopPingPong
    int8_t relativeNote; // semitones added to the played note
};

struct Instrument {
    int32_t sampleCount;                 // 0..16
    const Sample* samples[kSampleSlots]; // slots from sampleCount on: the empty sample
    uint8_t keymap[96];                  // sample slot for notes 1..96
    EnvelopePoint volumeEnvelope[kMaxEnvelopePoints];
    EnvelopePoint panningEnvelope[kMaxEnvelopePoints]; // 32 = centre
    uint8_t volumePointCount, panningPointCount;       // 0..12
    uint8_t volumeSustain, volumeLoopStart, volumeLoopEnd;
    uint8_t panningSustain, panningLoopStart, panningLoopEnd;
    uint8_t volumeType, panningType; // kEnvelopeOn | kEnvelopeSustain | kEnvelopeLoop
    uint8_t autoVibratoType, autoVibratoSweep, autoVibratoDepth, autoVibratoRate;
    uint16_t fadeout; // the file's value doubled
};

// Frequency table flag of Song::flags.
inline constexpr uint16_t kLinearFrequencies = 1;

struct Song {
    Pattern* patterns;          // patternSlots long, indexed by pattern number
    Instrument* instruments;    // instrumentCount long, indexed by number − 1
    int32_t samplesLeftInTick;  // output samples left of the current tick
    int32_t samplesPerTick;     // tick length in output samples
    int16_t songLength;         // used order entries, 1..256
    int16_t restartPosition;    // order position after the last one, below songLength
    int16_t channelCount;       // channels per stored row, 1..32
    int32_t referencedPatterns; // 1 + highest pattern number among the used orders
    int32_t patternSlots;       // max(stored patterns, referencedPatterns)
    int16_t instrumentCount;
    uint16_t flags; // kLinearFrequencies, else the Amiga period table
    int16_t defaultTempo;
    int16_t defaultBpm;
    uint8_t orderTable[256];
    uint8_t defaultGlobalVolume;     // 64
    void (*tickHandler)(Song* song); // the replay tick; the mixer calls it

    // Replay state (replay.h).
    int32_t globalVolume; // 0..64
    uint8_t globalVolumeSlideMemory;
    int32_t tick;  // tick within the row; a row starts at 0
    int32_t speed; // ticks per row
    int32_t bpm;
    int32_t row;
    int32_t orderPosition;
    int32_t nextRow;   // −1: play moves on
    int32_t nextOrder; // −1: play moves on
    // The row the next order starts at: set by D, by B (0) and by a pattern
    // loop (its start row), and kept until an order change uses it, as the
    // tracker keeps it (after a loop the next pattern starts at its row).
    int32_t breakRow;
    int32_t rowRepeats; // times the current row plays again (EEx)
    // Once-through: a bit per order position and row played outside the
    // repeats of a pattern loop (kPlayedRowWords words), and the times play
    // came back to such a row. Allocated by the loader.
    uint32_t* playedRows;
    int32_t passes;
};

inline constexpr int kPlayedRowWords = kMaxPatterns * kMaxPatternRows / 32;

extern const Sample emptySample;
extern const Instrument emptyInstrument;

enum class SongLoadError {
    kNone,
    kNoFile,             // the music file could not be opened
    kNotXm,              // wrong signature
    kModModule,          // a MOD module, not XM
    kS3mModule,          // an S3M module, not XM
    kItModule,           // an IT module, not XM
    kNoOrders,           // song length 0 or negative
    kNoChannels,         // channel count 0 or negative
    kTooManyPatterns,    // more than 256 stored patterns
    kPatternTooLong,     // a pattern of more than 1024 rows
    kTooManyInstruments, // more than 128 instruments, or a negative count
    kTooManySamples,     // an instrument with more than 16 samples
    kOutOfMemory,
};

// A short English description of an error, for messages.
const char* SongLoadErrorText(SongLoadError error);

// Loads the module through the music file table (OpenMusicFile (id)).
// Returns none on failure and, when error is given, says why.
Song* LoadSong(int id, SongLoadError* error = nullptr);

// Releases a song. Runs the stop hook first when one is installed (the wave
// output installs its StopPlayback, which waits for the mixer to finish its
// block), and detaches the song from the mixer if it is the current one.
// True, or false for none.
bool FreeSong(Song* song);

// The operation FreeSong runs before it frees anything; none for no hook.
void SetFreeSongHook(void (*stopPlayback)(Song* song));

// Test seam: the next loads fail their allocation number n (0 = the first)
// as if memory had run out; a negative n turns the failure off.
void SetSongAllocationFailure(int n);
