#include "xm_test_writer.h"

#include <cstring>

namespace {

struct Out {
    std::vector<uint8_t> bytes;
    void U8(uint32_t v) { bytes.push_back(static_cast<uint8_t>(v)); }
    void U16(uint32_t v) {
        U8(v);
        U8(v >> 8);
    }
    void U32(uint32_t v) {
        U16(v);
        U16(v >> 16);
    }
    void Text(const char* text, size_t width) {
        const size_t n = std::strlen(text);
        for (size_t i = 0; i < width; ++i)
            U8(i < n ? static_cast<uint8_t>(text[i]) : 0);
    }
    void Zeros(size_t n) { bytes.insert(bytes.end(), n, 0); }
    // Pads or cuts what was written since start to size bytes and writes
    // size as the 32-bit value at start.
    void Resize(size_t start, uint32_t size) {
        bytes.resize(start + size, 0xEE);
        for (int i = 0; i < 4; ++i)
            bytes[start + i] = static_cast<uint8_t>(size >> (8 * i));
    }
};

void PatternData(Out& out, const XmPattern& pattern) {
    for (const XmCell& c : pattern.cells) {
        if (!pattern.packed) {
            out.U8(c.note);
            out.U8(c.instrument);
            out.U8(c.volume);
            out.U8(c.effect);
            out.U8(c.parameter);
            continue;
        }
        const uint8_t mask = (c.note ? 1 : 0) | (c.instrument ? 2 : 0) | (c.volume ? 4 : 0) |
                             (c.effect ? 8 : 0) | (c.parameter ? 16 : 0);
        out.U8(0x80 | mask);
        if (c.note)
            out.U8(c.note);
        if (c.instrument)
            out.U8(c.instrument);
        if (c.volume)
            out.U8(c.volume);
        if (c.effect)
            out.U8(c.effect);
        if (c.parameter)
            out.U8(c.parameter);
    }
}

void Envelope(Out& out, const XmEnvelope& envelope) {
    for (size_t i = 0; i < 12; ++i) {
        const bool present = i < envelope.points.size();
        out.U16(present ? envelope.points[i][0] : 0);
        out.U16(present ? envelope.points[i][1] : 0);
    }
}

std::vector<uint8_t> SampleBytes(const XmSample& sample) {
    if (sample.rawData)
        return *sample.rawData;
    std::vector<uint8_t> bytes;
    int32_t previous = 0;
    for (int16_t value : sample.data) {
        const int32_t delta = value - previous;
        previous = value;
        if (sample.sixteenBit) {
            bytes.push_back(static_cast<uint8_t>(delta));
            bytes.push_back(static_cast<uint8_t>(delta >> 8));
        } else {
            bytes.push_back(static_cast<uint8_t>(delta));
        }
    }
    return bytes;
}

} // namespace

XmPattern EmptyPattern(const XmSong& song, int rows) {
    XmPattern pattern;
    pattern.rows = rows;
    pattern.channels = song.channels;
    pattern.cells.resize(static_cast<size_t>(rows * song.channels));
    return pattern;
}

XmInstrument OneSampleInstrument(XmSample sample) {
    XmInstrument instrument;
    instrument.samples.push_back(std::move(sample));
    return instrument;
}

std::vector<uint8_t> WriteXm(const XmSong& song) {
    Out out;
    out.Text("Extended Module: ", 17);
    out.Text("test song", 20);
    out.U8(0x1A);
    out.Text("tazro test writer", 20);
    out.U16(0x0104);
    out.U32(song.rawHeaderSize.value_or(276));
    out.U16(song.rawSongLength.value_or(static_cast<uint16_t>(song.orders.size())));
    out.U16(song.restartPosition);
    out.U16(song.rawChannels.value_or(static_cast<uint16_t>(song.channels)));
    out.U16(song.rawPatternCount.value_or(static_cast<uint16_t>(song.patterns.size())));
    out.U16(song.rawInstrumentCount.value_or(static_cast<uint16_t>(song.instruments.size())));
    out.U16(song.flags);
    out.U16(song.tempo);
    out.U16(song.bpm);
    for (size_t i = 0; i < 256; ++i)
        out.U8(i < song.orders.size() ? song.orders[i] : 0);
    if (song.rawHeaderSize)
        out.Resize(60, *song.rawHeaderSize);

    for (const XmPattern& pattern : song.patterns) {
        Out data;
        if (pattern.rawData)
            data.bytes = *pattern.rawData;
        else if (!pattern.storeEmpty)
            PatternData(data, pattern);
        const size_t start = out.bytes.size();
        out.U32(9);
        out.U8(0);
        out.U16(static_cast<uint32_t>(pattern.rows));
        out.U16(static_cast<uint32_t>(data.bytes.size()));
        if (pattern.rawHeaderLength) {
            const uint32_t length = *pattern.rawHeaderLength;
            if (length >= 9)
                out.Resize(start, length);
            for (int i = 0; i < 4; ++i) // a shorter one keeps the 9 bytes
                out.bytes[start + i] = static_cast<uint8_t>(length >> (8 * i));
        }
        out.bytes.insert(out.bytes.end(), data.bytes.begin(), data.bytes.end());
    }

    for (const XmInstrument& instrument : song.instruments) {
        const uint16_t count =
            instrument.rawSampleCount.value_or(static_cast<uint16_t>(instrument.samples.size()));
        const size_t start = out.bytes.size();
        out.U32(count > 0 ? 263 : 29);
        out.Text("instrument", 22);
        out.U8(0);
        out.U16(count);
        if (count == 0) {
            if (instrument.rawHeaderSize)
                out.Resize(start, *instrument.rawHeaderSize);
            continue;
        }
        out.U32(instrument.rawSampleHeaderSize.value_or(40));
        for (uint8_t slot : instrument.keymap)
            out.U8(slot);
        Envelope(out, instrument.volume);
        Envelope(out, instrument.panning);
        out.U8(instrument.volume.rawPointCount.value_or(
            static_cast<uint8_t>(instrument.volume.points.size())));
        out.U8(instrument.panning.rawPointCount.value_or(
            static_cast<uint8_t>(instrument.panning.points.size())));
        for (const XmEnvelope* e : {&instrument.volume, &instrument.panning}) {
            out.U8(e->sustain);
            out.U8(e->loopStart);
            out.U8(e->loopEnd);
        }
        out.U8(instrument.volume.type);
        out.U8(instrument.panning.type);
        out.U8(instrument.vibratoType);
        out.U8(instrument.vibratoSweep);
        out.U8(instrument.vibratoDepth);
        out.U8(instrument.vibratoRate);
        out.U16(instrument.fadeout);
        out.Zeros(22);
        if (instrument.rawHeaderSize)
            out.Resize(start, *instrument.rawHeaderSize);
        std::vector<std::vector<uint8_t>> data;
        for (const XmSample& sample : instrument.samples) {
            data.push_back(SampleBytes(sample));
            const uint32_t width = sample.sixteenBit ? 2 : 1;
            out.U32(sample.rawLength.value_or(static_cast<uint32_t>(data.back().size())));
            out.U32(sample.rawLoopStart.value_or(sample.loopStart * width));
            out.U32(sample.rawLoopLength.value_or(sample.loopLength * width));
            out.U8(sample.volume);
            out.U8(static_cast<uint8_t>(sample.finetune));
            out.U8(sample.rawType.value_or(
                static_cast<uint8_t>((sample.loopType & 3) | (sample.sixteenBit ? 0x10 : 0))));
            out.U8(sample.panning);
            out.U8(static_cast<uint8_t>(sample.relativeNote));
            out.U8(0);
            out.Text("sample", 22);
            if (instrument.rawSampleHeaderSize && *instrument.rawSampleHeaderSize > 40)
                out.bytes.resize(out.bytes.size() + *instrument.rawSampleHeaderSize - 40, 0xEE);
        }
        for (const std::vector<uint8_t>& bytes : data)
            out.bytes.insert(out.bytes.end(), bytes.begin(), bytes.end());
    }
    return out.bytes;
}
