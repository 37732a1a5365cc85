#include "xm_writer.h"

#include <cmath>
#include <cstdio>

#include "common/little_endian.h"

namespace xm {

namespace {

constexpr const char* kSignature = "Extended Module: ";
constexpr const char* kTrackerName = "tazro gen_song";
constexpr uint16_t kVersion = 0x0104;
constexpr uint32_t kHeaderSize = 276;           // from offset 60 to the end of the order table
constexpr uint32_t kPatternHeaderSize = 9;      // size, packing type, rows, packed size
constexpr uint32_t kInstrumentHeaderSize = 263; // with samples: 29 + 234 bytes of sample settings
constexpr uint32_t kEmptyInstrumentHeaderSize = 29;
constexpr uint32_t kSampleHeaderSize = 40;

void Put8(std::vector<uint8_t>& out, uint8_t value) {
    out.push_back(value);
}

using common::PutLe16;
using common::PutLe32;

// A text field of fixed width, padded with zero bytes.
void PutText(std::vector<uint8_t>& out, const std::string& text, size_t width) {
    for (size_t i = 0; i < width; ++i)
        out.push_back(i < text.size() ? static_cast<uint8_t>(text[i]) : 0);
}

bool Fail(std::string& error, const std::string& what) {
    error = what;
    return false;
}

std::string Where(const char* kind, size_t index) {
    char text[48];
    std::snprintf(text, sizeof text, "%s %zu: ", kind, index);
    return text;
}

bool CheckEnvelope(const Envelope& envelope, const std::string& where, std::string& error) {
    const size_t count = envelope.points.size();
    if (count > 12)
        return Fail(error, where + "more than 12 envelope points");
    if (envelope.on && count < 2)
        return Fail(error, where + "an envelope that is on needs at least 2 points");
    for (size_t i = 0; i < count; ++i) {
        if (envelope.points[i].y > 64)
            return Fail(error, where + "envelope value above 64");
        if (i == 0 && envelope.points[i].x != 0)
            return Fail(error, where + "the first envelope point must be at tick 0");
        if (i > 0 && envelope.points[i].x <= envelope.points[i - 1].x)
            return Fail(error, where + "envelope ticks must increase");
    }
    if (envelope.sustain && envelope.sustainPoint >= count)
        return Fail(error, where + "sustain point beyond the envelope");
    if (envelope.loop && (envelope.loopEnd >= count || envelope.loopStart > envelope.loopEnd))
        return Fail(error, where + "envelope loop beyond the envelope or reversed");
    return true;
}

uint8_t EnvelopeType(const Envelope& envelope) {
    return static_cast<uint8_t>((envelope.on ? 1 : 0) | (envelope.sustain ? 2 : 0) |
                                (envelope.loop ? 4 : 0));
}

void PutEnvelopePoints(std::vector<uint8_t>& out, const Envelope& envelope) {
    for (size_t i = 0; i < 12; ++i) {
        const EnvelopePoint point =
            i < envelope.points.size() ? envelope.points[i] : EnvelopePoint{};
        PutLe16(out, point.x);
        PutLe16(out, point.y);
    }
}

bool CheckSample(const Sample& sample, const std::string& where, std::string& error) {
    if (sample.name.size() > 22)
        return Fail(error, where + "sample name longer than 22 characters");
    const uint64_t bytes = uint64_t{sample.data.size()} * (sample.sixteenBit ? 2 : 1);
    if (bytes > 0x7FFFFFFF)
        return Fail(error, where + "sample too long");
    if (!sample.sixteenBit)
        for (int16_t value : sample.data)
            if (value < -128 || value > 127)
                return Fail(error, where + "8-bit sample value outside -128..127");
    if (sample.volume > 64)
        return Fail(error, where + "sample volume above 64");
    if (sample.loopMode != LoopMode::kNone) {
        if (sample.loopLength == 0)
            return Fail(error, where + "looping sample with an empty loop");
        if (uint64_t{sample.loopStart} + sample.loopLength > sample.data.size())
            return Fail(error, where + "sample loop reaches beyond the sample");
    }
    return true;
}

bool CheckInstrument(const Instrument& instrument, const std::string& where, std::string& error) {
    if (instrument.name.size() > 22)
        return Fail(error, where + "instrument name longer than 22 characters");
    if (instrument.samples.size() > 16)
        return Fail(error, where + "more than 16 samples");
    if (!instrument.samples.empty())
        for (uint8_t slot : instrument.keymap)
            if (slot >= instrument.samples.size())
                return Fail(error, where + "keymap names a missing sample");
    if (!CheckEnvelope(instrument.volumeEnvelope, where + "volume ", error) ||
        !CheckEnvelope(instrument.panningEnvelope, where + "panning ", error))
        return false;
    if (instrument.autoVibratoType > 3 || instrument.autoVibratoDepth > 15 ||
        instrument.autoVibratoRate > 63)
        return Fail(error, where + "automatic vibrato out of range");
    if (instrument.fadeout > 0xFFF)
        return Fail(error, where + "fade-out above 0xFFF");
    for (size_t i = 0; i < instrument.samples.size(); ++i)
        if (!CheckSample(instrument.samples[i], where + Where("sample", i), error))
            return false;
    return true;
}

bool CheckPattern(const Pattern& pattern, int channelCount, const std::string& where,
                  std::string& error) {
    if (pattern.rows < 1 || pattern.rows > 256)
        return Fail(error, where + "rows outside 1..256");
    if (pattern.cells.size() != static_cast<size_t>(pattern.rows) * channelCount)
        return Fail(error, where + "cell count is not rows x channels");
    for (const Cell& cell : pattern.cells) {
        if (cell.note > kNoteKeyOff)
            return Fail(error, where + "note above 97");
        if (cell.instrument > 128)
            return Fail(error, where + "instrument above 128");
        if (cell.effect > 35)
            return Fail(error, where + "effect type above Z");
    }
    return true;
}

void PutInstrument(std::vector<uint8_t>& out, const Instrument& instrument) {
    const bool hasSamples = !instrument.samples.empty();
    PutLe32(out, hasSamples ? kInstrumentHeaderSize : kEmptyInstrumentHeaderSize);
    PutText(out, instrument.name, 22);
    Put8(out, 0); // instrument type
    PutLe16(out, static_cast<uint16_t>(instrument.samples.size()));
    if (!hasSamples)
        return;

    const size_t start = out.size() - 29;
    PutLe32(out, kSampleHeaderSize);
    out.insert(out.end(), instrument.keymap.begin(), instrument.keymap.end());
    PutEnvelopePoints(out, instrument.volumeEnvelope);
    PutEnvelopePoints(out, instrument.panningEnvelope);
    const Envelope& volume = instrument.volumeEnvelope;
    const Envelope& panning = instrument.panningEnvelope;
    Put8(out, static_cast<uint8_t>(volume.points.size()));
    Put8(out, static_cast<uint8_t>(panning.points.size()));
    Put8(out, volume.sustainPoint);
    Put8(out, volume.loopStart);
    Put8(out, volume.loopEnd);
    Put8(out, panning.sustainPoint);
    Put8(out, panning.loopStart);
    Put8(out, panning.loopEnd);
    Put8(out, EnvelopeType(volume));
    Put8(out, EnvelopeType(panning));
    Put8(out, instrument.autoVibratoType);
    Put8(out, instrument.autoVibratoSweep);
    Put8(out, instrument.autoVibratoDepth);
    Put8(out, instrument.autoVibratoRate);
    PutLe16(out, instrument.fadeout);
    out.resize(start + kInstrumentHeaderSize, 0); // reserved bytes

    for (const Sample& sample : instrument.samples) {
        const uint32_t width = sample.sixteenBit ? 2 : 1;
        const bool loops = sample.loopMode != LoopMode::kNone;
        PutLe32(out, static_cast<uint32_t>(sample.data.size()) * width);
        PutLe32(out, loops ? sample.loopStart * width : 0);
        PutLe32(out, loops ? sample.loopLength * width : 0);
        Put8(out, sample.volume);
        Put8(out, static_cast<uint8_t>(sample.finetune));
        Put8(out, static_cast<uint8_t>(static_cast<uint8_t>(sample.loopMode) |
                                       (sample.sixteenBit ? 0x10 : 0)));
        Put8(out, sample.panning);
        Put8(out, static_cast<uint8_t>(sample.relativeNote));
        Put8(out, 0); // reserved
        PutText(out, sample.name, 22);
    }
    for (const Sample& sample : instrument.samples) {
        const std::vector<uint8_t> data =
            sample.sixteenBit ? DeltaEncode16(sample.data) : DeltaEncode8(sample.data);
        out.insert(out.end(), data.begin(), data.end());
    }
}

} // namespace

std::vector<uint8_t> PackPattern(const Pattern& pattern, int channelCount) {
    std::vector<uint8_t> packed;
    bool anyNote = false;
    const size_t count = static_cast<size_t>(pattern.rows) * static_cast<size_t>(channelCount);
    for (size_t i = 0; i < count && i < pattern.cells.size(); ++i) {
        const Cell& cell = pattern.cells[i];
        const uint8_t fields[5] = {cell.note, cell.instrument, cell.volume, cell.effect,
                                   cell.parameter};
        uint8_t mask = 0;
        for (int f = 0; f < 5; ++f)
            if (fields[f] != 0)
                mask = static_cast<uint8_t>(mask | (1 << f));
        anyNote = anyNote || mask != 0;
        if (mask == 0x1F) {
            packed.insert(packed.end(), fields, fields + 5);
            continue;
        }
        packed.push_back(static_cast<uint8_t>(0x80 | mask));
        for (int f = 0; f < 5; ++f)
            if (fields[f] != 0)
                packed.push_back(fields[f]);
    }
    if (!anyNote)
        packed.clear();
    return packed;
}

std::vector<uint8_t> DeltaEncode8(const std::vector<int16_t>& values) {
    std::vector<uint8_t> out;
    out.reserve(values.size());
    int previous = 0;
    for (int16_t value : values) {
        out.push_back(static_cast<uint8_t>((value - previous) & 0xFF));
        previous = value;
    }
    return out;
}

std::vector<uint8_t> DeltaEncode16(const std::vector<int16_t>& values) {
    std::vector<uint8_t> out;
    out.reserve(values.size() * 2);
    int previous = 0;
    for (int16_t value : values) {
        PutLe16(out, static_cast<uint16_t>((value - previous) & 0xFFFF));
        previous = value;
    }
    return out;
}

void TuneSample(double rateAtC4, Sample& sample) {
    // Semitones above 8363 Hz in 1/128 steps, split into a whole part and a
    // finetune within half a semitone of it.
    const long steps = std::lround(12.0 * std::log2(rateAtC4 / 8363.0) * 128.0);
    const long whole = (steps >= 0 ? steps + 64 : steps - 63) / 128;
    sample.relativeNote = static_cast<int8_t>(whole);
    sample.finetune = static_cast<int8_t>(steps - whole * 128);
}

bool WriteModule(const Module& module, std::vector<uint8_t>& out, std::string& error) {
    out.clear();
    if (module.name.size() > 20)
        return Fail(error, "module name longer than 20 characters");
    if (module.channelCount < 1 || module.channelCount > 32)
        return Fail(error, "channel count outside 1..32");
    if (module.orders.empty() || module.orders.size() > 256)
        return Fail(error, "order count outside 1..256");
    if (module.patterns.empty() || module.patterns.size() > 256)
        return Fail(error, "pattern count outside 1..256");
    if (module.instruments.size() > 128)
        return Fail(error, "more than 128 instruments");
    if (module.restartPosition >= module.orders.size())
        return Fail(error, "restart position beyond the order list");
    if (module.defaultTempo < 1 || module.defaultTempo > 31)
        return Fail(error, "default tempo outside 1..31");
    if (module.defaultBpm < 32 || module.defaultBpm > 255)
        return Fail(error, "default BPM outside 32..255");
    for (uint8_t order : module.orders)
        if (order >= module.patterns.size())
            return Fail(error, "order list names a missing pattern");
    for (size_t i = 0; i < module.patterns.size(); ++i)
        if (!CheckPattern(module.patterns[i], module.channelCount, Where("pattern", i), error))
            return false;
    for (size_t i = 0; i < module.instruments.size(); ++i)
        if (!CheckInstrument(module.instruments[i], Where("instrument", i + 1), error))
            return false;

    PutText(out, kSignature, 17);
    PutText(out, module.name, 20);
    Put8(out, 0x1A);
    PutText(out, kTrackerName, 20);
    PutLe16(out, kVersion);
    PutLe32(out, kHeaderSize);
    PutLe16(out, static_cast<uint16_t>(module.orders.size()));
    PutLe16(out, module.restartPosition);
    PutLe16(out, module.channelCount);
    PutLe16(out, static_cast<uint16_t>(module.patterns.size()));
    PutLe16(out, static_cast<uint16_t>(module.instruments.size()));
    PutLe16(out, module.linearFrequencies ? 1 : 0);
    PutLe16(out, module.defaultTempo);
    PutLe16(out, module.defaultBpm);
    for (size_t i = 0; i < 256; ++i)
        Put8(out, i < module.orders.size() ? module.orders[i] : 0);

    for (size_t i = 0; i < module.patterns.size(); ++i) {
        const Pattern& pattern = module.patterns[i];
        // A cell packs into at most 5 bytes, so 256 rows of 32 channels stay
        // well inside the 16-bit size field.
        const std::vector<uint8_t> packed = PackPattern(pattern, module.channelCount);
        PutLe32(out, kPatternHeaderSize);
        Put8(out, 0); // packing type
        PutLe16(out, static_cast<uint16_t>(pattern.rows));
        PutLe16(out, static_cast<uint16_t>(packed.size()));
        out.insert(out.end(), packed.begin(), packed.end());
    }
    for (const Instrument& instrument : module.instruments)
        PutInstrument(out, instrument);
    return true;
}

} // namespace xm
