// A tiny XM writer for tests, the benchmark and fuzzer seeds: describe a
// module, get its file bytes. Defaults make a valid module; the raw* fields
// write a value exactly as given, to make damaged files.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

struct XmCell {
    uint8_t note = 0;
    uint8_t instrument = 0;
    uint8_t volume = 0;
    uint8_t effect = 0;
    uint8_t parameter = 0;
};

struct XmSample {
    // Sample values (−128..127 for 8-bit samples); the writer delta-codes them.
    std::vector<int16_t> data;
    bool sixteenBit = false;
    uint32_t loopStart = 0;  // in samples
    uint32_t loopLength = 0; // in samples
    uint8_t loopType = 0;    // 0 none, 1 forward, 2 ping-pong (type bits 0 and 1)
    uint8_t volume = 64;
    int8_t finetune = 0;
    uint8_t panning = 128;
    int8_t relativeNote = 0;
    // Written as they stand: header fields in bytes, the type byte, and data
    // bytes in place of the coded data.
    std::optional<uint32_t> rawLength, rawLoopStart, rawLoopLength;
    std::optional<uint8_t> rawType;
    std::optional<std::vector<uint8_t>> rawData;
};

struct XmEnvelope {
    std::vector<std::array<uint16_t, 2>> points; // (tick, value)
    uint8_t sustain = 0, loopStart = 0, loopEnd = 0;
    uint8_t type = 0; // 1 on, 2 sustain, 4 loop
    std::optional<uint8_t> rawPointCount;
};

struct XmInstrument {
    std::vector<XmSample> samples;
    std::array<uint8_t, 96> keymap{};
    XmEnvelope volume, panning;
    uint8_t vibratoType = 0, vibratoSweep = 0, vibratoDepth = 0, vibratoRate = 0;
    uint16_t fadeout = 0;
    std::optional<uint16_t> rawSampleCount;
    // The header size written in place of 263 (29 without samples); the
    // header is padded with 0xEE bytes or cut to it.
    std::optional<uint32_t> rawHeaderSize;
    // The sample header size written in place of 40; a larger one pads each
    // sample header with 0xEE bytes.
    std::optional<uint32_t> rawSampleHeaderSize;
};

struct XmPattern {
    int rows = 64;
    int channels = 0; // set by EmptyPattern(); cells are rows × channels
    std::vector<XmCell> cells;
    bool packed = true;                          // packed cells, else five bytes each
    bool storeEmpty = false;                     // write packed size 0 and no data
    std::optional<std::vector<uint8_t>> rawData; // pattern data written as is
    // The header length written in place of 9; a larger one pads the header
    // with 0xEE bytes, a smaller one leaves the 9 bytes as they are.
    std::optional<uint32_t> rawHeaderLength;

    XmCell& At(int row, int channel) {
        return cells[static_cast<size_t>(row * channels + channel)];
    }
};

struct XmSong {
    int channels = 4;
    std::vector<uint8_t> orders{0};
    uint16_t restartPosition = 0;
    uint16_t flags = 1; // linear frequencies
    uint16_t tempo = 6;
    uint16_t bpm = 125;
    std::vector<XmPattern> patterns;
    std::vector<XmInstrument> instruments;
    std::optional<uint16_t> rawSongLength, rawChannels, rawPatternCount, rawInstrumentCount;
    // The header size written in place of 276; the header (from offset 60)
    // is padded with 0xEE bytes or its order table cut to it.
    std::optional<uint32_t> rawHeaderSize;
};

// An empty pattern of the song's width.
XmPattern EmptyPattern(const XmSong& song, int rows = 64);
// An instrument of one sample mapped to every note.
XmInstrument OneSampleInstrument(XmSample sample);
// A sample of n 16-bit values from generate (index → value).
template <typename F> XmSample SixteenBitSample(int n, F generate) {
    XmSample sample;
    sample.sixteenBit = true;
    for (int i = 0; i < n; ++i)
        sample.data.push_back(static_cast<int16_t>(generate(i)));
    return sample;
}

std::vector<uint8_t> WriteXm(const XmSong& song);

// Offset of the first pattern header in a file WriteXm made.
inline constexpr size_t kXmPatternStart = 336;
