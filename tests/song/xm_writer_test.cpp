// The XM writer: byte layout of the song, pattern and instrument headers, the
// packed cells, the delta-encoded sample data, tuning, and what it refuses.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "xm_writer.h"

namespace {

uint16_t Read16(const std::vector<uint8_t>& bytes, size_t at) {
    return static_cast<uint16_t>(bytes.at(at) | bytes.at(at + 1) << 8);
}

uint32_t Read32(const std::vector<uint8_t>& bytes, size_t at) {
    return static_cast<uint32_t>(Read16(bytes, at)) | static_cast<uint32_t>(Read16(bytes, at + 2))
                                                          << 16;
}

// Unpacks `count` cells the way an XM reader does; returns the bytes consumed.
size_t Unpack(const std::vector<uint8_t>& bytes, size_t at, size_t count,
              std::vector<xm::Cell>& cells) {
    const size_t start = at;
    cells.clear();
    for (size_t i = 0; i < count; ++i) {
        uint8_t fields[5] = {};
        const uint8_t first = bytes.at(at++);
        if (first & 0x80) {
            for (int f = 0; f < 5; ++f)
                if (first & (1 << f))
                    fields[f] = bytes.at(at++);
        } else {
            fields[0] = first;
            for (int f = 1; f < 5; ++f)
                fields[f] = bytes.at(at++);
        }
        cells.push_back(xm::Cell{fields[0], fields[1], fields[2], fields[3], fields[4]});
    }
    return at - start;
}

bool SameCell(const xm::Cell& a, const xm::Cell& b) {
    return a.note == b.note && a.instrument == b.instrument && a.volume == b.volume &&
           a.effect == b.effect && a.parameter == b.parameter;
}

xm::Pattern EmptyPattern(int rows, int channels) {
    xm::Pattern pattern;
    pattern.rows = rows;
    pattern.cells.assign(static_cast<size_t>(rows) * channels, xm::Cell{});
    return pattern;
}

xm::Sample LoopedSample(bool sixteenBit) {
    xm::Sample sample;
    sample.name = "wave";
    sample.sixteenBit = sixteenBit;
    for (int i = 0; i < 10; ++i)
        sample.data.push_back(static_cast<int16_t>(sixteenBit ? i * 3000 - 15000 : i * 20 - 100));
    sample.loopMode = xm::LoopMode::kPingPong;
    sample.loopStart = 2;
    sample.loopLength = 6;
    sample.volume = 48;
    sample.finetune = -16;
    sample.panning = 0x30;
    sample.relativeNote = 12;
    return sample;
}

xm::Instrument EnvelopedInstrument() {
    xm::Instrument instrument;
    instrument.name = "voice";
    instrument.samples.push_back(LoopedSample(true));
    instrument.samples.push_back(LoopedSample(false));
    for (int note = 48; note < 96; ++note)
        instrument.keymap[note] = 1;
    instrument.volumeEnvelope.points = {{0, 0}, {4, 64}, {20, 40}, {60, 0}};
    instrument.volumeEnvelope.on = true;
    instrument.volumeEnvelope.sustain = true;
    instrument.volumeEnvelope.sustainPoint = 2;
    instrument.panningEnvelope.points = {{0, 32}, {30, 50}, {60, 14}};
    instrument.panningEnvelope.on = true;
    instrument.panningEnvelope.loop = true;
    instrument.panningEnvelope.loopStart = 1;
    instrument.panningEnvelope.loopEnd = 2;
    instrument.autoVibratoType = 2;
    instrument.autoVibratoSweep = 40;
    instrument.autoVibratoDepth = 5;
    instrument.autoVibratoRate = 32;
    instrument.fadeout = 0x321;
    return instrument;
}

// Two channels, two patterns (the second empty), two instruments.
xm::Module SmallModule() {
    xm::Module module;
    module.name = "test song";
    module.channelCount = 2;
    module.restartPosition = 1;
    module.defaultTempo = 5;
    module.defaultBpm = 140;
    module.orders = {0, 1, 0};
    xm::Pattern first = EmptyPattern(4, 2);
    first.cells[0] = xm::Cell{49, 1, 0x40, 0xF, 0x60};
    first.cells[3] = xm::Cell{xm::kNoteKeyOff, 0, 0, 0, 0};
    module.patterns.push_back(first);
    module.patterns.push_back(EmptyPattern(64, 2));
    module.instruments.push_back(EnvelopedInstrument());
    xm::Instrument empty;
    empty.name = "nothing";
    module.instruments.push_back(empty);
    return module;
}

TEST(XmWriter, SongHeaderLayout) {
    std::vector<uint8_t> bytes;
    std::string error;
    ASSERT_TRUE(xm::WriteModule(SmallModule(), bytes, error)) << error;

    EXPECT_EQ(0, std::memcmp(bytes.data(), "Extended Module: ", 17));
    EXPECT_EQ(0, std::memcmp(bytes.data() + 17, "test song\0", 10));
    EXPECT_EQ(0, bytes[17 + 19]); // name padded with zeros to 20 bytes
    EXPECT_EQ(0x1A, bytes[37]);
    EXPECT_EQ(0x0104, Read16(bytes, 58));
    EXPECT_EQ(276u, Read32(bytes, 60)); // header size counts from offset 60
    EXPECT_EQ(3, Read16(bytes, 64));    // song length
    EXPECT_EQ(1, Read16(bytes, 66));    // restart position
    EXPECT_EQ(2, Read16(bytes, 68));    // channels
    EXPECT_EQ(2, Read16(bytes, 70));    // patterns
    EXPECT_EQ(2, Read16(bytes, 72));    // instruments
    EXPECT_EQ(1, Read16(bytes, 74));    // linear frequency table
    EXPECT_EQ(5, Read16(bytes, 76));    // ticks per row
    EXPECT_EQ(140, Read16(bytes, 78));
    EXPECT_EQ(0, bytes[80]);
    EXPECT_EQ(1, bytes[81]);
    EXPECT_EQ(0, bytes[82]);
    for (size_t i = 83; i < 336; ++i)
        ASSERT_EQ(0, bytes[i]) << "order table byte " << i;

    xm::Module amiga = SmallModule();
    amiga.linearFrequencies = false;
    ASSERT_TRUE(xm::WriteModule(amiga, bytes, error)) << error;
    EXPECT_EQ(0, Read16(bytes, 74));
}

TEST(XmWriter, PatternsFollowTheHeader) {
    const xm::Module module = SmallModule();
    std::vector<uint8_t> bytes;
    std::string error;
    ASSERT_TRUE(xm::WriteModule(module, bytes, error)) << error;

    size_t at = 336;
    EXPECT_EQ(9u, Read32(bytes, at));
    EXPECT_EQ(0, bytes[at + 4]);
    EXPECT_EQ(4, Read16(bytes, at + 5));
    const uint16_t packedSize = Read16(bytes, at + 7);
    std::vector<xm::Cell> cells;
    EXPECT_EQ(packedSize, Unpack(bytes, at + 9, 8, cells));
    for (size_t i = 0; i < cells.size(); ++i)
        EXPECT_TRUE(SameCell(cells[i], module.patterns[0].cells[i])) << "cell " << i;

    // The empty pattern keeps its row count and stores no data at all.
    at += 9 + packedSize;
    EXPECT_EQ(9u, Read32(bytes, at));
    EXPECT_EQ(64, Read16(bytes, at + 5));
    EXPECT_EQ(0, Read16(bytes, at + 7));
    EXPECT_EQ(263u, Read32(bytes, at + 9)); // the first instrument follows at once
}

TEST(XmWriter, CellPacking) {
    xm::Pattern pattern = EmptyPattern(1, 6);
    pattern.cells[0] = xm::Cell{0x31, 2, 0, 0, 0};          // note and instrument
    pattern.cells[1] = xm::Cell{};                          // nothing
    pattern.cells[2] = xm::Cell{0x31, 2, 0x40, 0x0A, 0x0F}; // all five fields
    pattern.cells[3] = xm::Cell{0, 0, 0xC8, 0, 0};          // volume column only
    pattern.cells[4] = xm::Cell{0, 0, 0, 0x0D, 0};          // effect with a zero parameter
    pattern.cells[5] = xm::Cell{xm::kNoteKeyOff, 0, 0, 0x14, 0};
    const std::vector<uint8_t> expected = {0x83, 0x31,
                                           0x02, //
                                           0x80, //
                                           0x31, 0x02,
                                           0x40, 0x0A,
                                           0x0F,       //
                                           0x84, 0xC8, //
                                           0x88, 0x0D, //
                                           0x89, xm::kNoteKeyOff,
                                           0x14};
    EXPECT_EQ(expected, xm::PackPattern(pattern, 6));
    EXPECT_TRUE(xm::PackPattern(EmptyPattern(64, 6), 6).empty());
}

TEST(XmWriter, PackedPatternsDecodeToTheirCells) {
    // Every combination of present fields, in every position of a row.
    xm::Pattern pattern = EmptyPattern(32, 4);
    for (size_t i = 0; i < pattern.cells.size(); ++i) {
        const int mask = static_cast<int>(i * 7 % 32);
        const uint8_t base = static_cast<uint8_t>(i % 90 + 1);
        pattern.cells[i] = xm::Cell{static_cast<uint8_t>(mask & 1 ? base : 0),
                                    static_cast<uint8_t>(mask & 2 ? 3 : 0),
                                    static_cast<uint8_t>(mask & 4 ? 0x10 + base % 64 : 0),
                                    static_cast<uint8_t>(mask & 8 ? base % 34 + 1 : 0),
                                    static_cast<uint8_t>(mask & 16 ? 255 - base : 0)};
    }
    const std::vector<uint8_t> packed = xm::PackPattern(pattern, 4);
    std::vector<xm::Cell> cells;
    EXPECT_EQ(packed.size(), Unpack(packed, 0, pattern.cells.size(), cells));
    for (size_t i = 0; i < cells.size(); ++i)
        ASSERT_TRUE(SameCell(cells[i], pattern.cells[i])) << "cell " << i;
}

TEST(XmWriter, DeltaEncoding) {
    // 8-bit: differences wrap at the byte; the loader's example 1, 1, 1 holds 1, 2, 3.
    EXPECT_EQ((std::vector<uint8_t>{1, 1, 1}), xm::DeltaEncode8({1, 2, 3}));
    EXPECT_EQ((std::vector<uint8_t>{127, 1, 0x81}), xm::DeltaEncode8({127, -128, 1}));
    // 16-bit: little-endian differences that wrap at 65536.
    EXPECT_EQ((std::vector<uint8_t>{0xE8, 0x03, 0x30, 0xF8, 0xE7, 0x83, 0x01, 0x00}),
              xm::DeltaEncode16({1000, -1000, 32767, -32768}));

    // Decoding (running sum modulo the width) gives back every value.
    std::vector<int16_t> wide, narrow;
    for (int i = 0; i < 2000; ++i) {
        wide.push_back(static_cast<int16_t>(std::lround(32767 * std::sin(i * 0.37))));
        narrow.push_back(static_cast<int16_t>(std::lround(127 * std::sin(i * 1.9))));
    }
    const std::vector<uint8_t> wideBytes = xm::DeltaEncode16(wide);
    const std::vector<uint8_t> narrowBytes = xm::DeltaEncode8(narrow);
    ASSERT_EQ(wide.size() * 2, wideBytes.size());
    ASSERT_EQ(narrow.size(), narrowBytes.size());
    uint16_t sum16 = 0;
    uint8_t sum8 = 0;
    for (size_t i = 0; i < wide.size(); ++i) {
        sum16 = static_cast<uint16_t>(sum16 + Read16(wideBytes, i * 2));
        sum8 = static_cast<uint8_t>(sum8 + narrowBytes[i]);
        ASSERT_EQ(wide[i], static_cast<int16_t>(sum16)) << i;
        ASSERT_EQ(narrow[i], static_cast<int8_t>(sum8)) << i;
    }
}

TEST(XmWriter, InstrumentAndSampleLayout) {
    const xm::Module module = SmallModule();
    std::vector<uint8_t> bytes;
    std::string error;
    ASSERT_TRUE(xm::WriteModule(module, bytes, error)) << error;

    size_t at = 336;
    at += 9 + Read16(bytes, at + 7);
    at += 9 + Read16(bytes, at + 7);
    const size_t s = at;
    EXPECT_EQ(263u, Read32(bytes, s));
    EXPECT_EQ(0, std::memcmp(bytes.data() + s + 4, "voice\0", 6));
    EXPECT_EQ(2, Read16(bytes, s + 27));       // samples
    EXPECT_EQ(40u, Read32(bytes, s + 29));     // sample header size
    EXPECT_EQ(0, bytes[s + 33 + 47]);          // keymap: B-3 plays slot 0
    EXPECT_EQ(1, bytes[s + 33 + 48]);          // C-4 and up play slot 1
    EXPECT_EQ(4, Read16(bytes, s + 129 + 4));  // volume point 1: x
    EXPECT_EQ(64, Read16(bytes, s + 129 + 6)); //                  y
    EXPECT_EQ(60, Read16(bytes, s + 177 + 8)); // panning point 2: x
    EXPECT_EQ(14, Read16(bytes, s + 177 + 10));
    const uint8_t settings[14] = {4, 3, 2, 0, 0, 0, 1, 2, 3, 5, 2, 40, 5, 32};
    for (int i = 0; i < 14; ++i)
        EXPECT_EQ(settings[i], bytes[s + 225 + i]) << "instrument setting " << i;
    EXPECT_EQ(0x321, Read16(bytes, s + 239));

    // Two sample headers, lengths and loops in bytes, then the data of both.
    size_t h = s + 263;
    EXPECT_EQ(20u, Read32(bytes, h)); // 10 16-bit samples
    EXPECT_EQ(4u, Read32(bytes, h + 4));
    EXPECT_EQ(12u, Read32(bytes, h + 8));
    EXPECT_EQ(48, bytes[h + 12]);
    EXPECT_EQ(0xF0, bytes[h + 13]); // finetune -16
    EXPECT_EQ(0x12, bytes[h + 14]); // ping-pong, 16-bit
    EXPECT_EQ(0x30, bytes[h + 15]);
    EXPECT_EQ(12, bytes[h + 16]);
    EXPECT_EQ(0, std::memcmp(bytes.data() + h + 18, "wave", 4));
    h += 40;
    EXPECT_EQ(10u, Read32(bytes, h)); // 10 8-bit samples
    EXPECT_EQ(2u, Read32(bytes, h + 4));
    EXPECT_EQ(6u, Read32(bytes, h + 8));
    EXPECT_EQ(0x02, bytes[h + 14]); // ping-pong, 8-bit
    const size_t data = h + 40;
    const std::vector<uint8_t> wide = xm::DeltaEncode16(module.instruments[0].samples[0].data);
    const std::vector<uint8_t> narrow = xm::DeltaEncode8(module.instruments[0].samples[1].data);
    EXPECT_TRUE(std::equal(wide.begin(), wide.end(), bytes.begin() + data));
    EXPECT_TRUE(std::equal(narrow.begin(), narrow.end(), bytes.begin() + data + 20));

    // The empty instrument is a bare 29-byte header and ends the file.
    const size_t e = data + 30;
    EXPECT_EQ(29u, Read32(bytes, e));
    EXPECT_EQ(0, Read16(bytes, e + 27));
    EXPECT_EQ(e + 29, bytes.size());
}

TEST(XmWriter, UnloopedSamplesStoreNoLoop) {
    xm::Module module = SmallModule();
    xm::Sample& sample = module.instruments[0].samples[0];
    sample.loopMode = xm::LoopMode::kNone;
    module.instruments[0].samples[1].loopMode = xm::LoopMode::kForward;
    std::vector<uint8_t> bytes;
    std::string error;
    ASSERT_TRUE(xm::WriteModule(module, bytes, error)) << error;
    size_t h = 336;
    h += 9 + Read16(bytes, h + 7);
    h += 9 + Read16(bytes, h + 7);
    h += 263;
    EXPECT_EQ(0u, Read32(bytes, h + 4));
    EXPECT_EQ(0u, Read32(bytes, h + 8));
    EXPECT_EQ(0x10, bytes[h + 14]);
    EXPECT_EQ(0x01, bytes[h + 40 + 14]); // forward, 8-bit
}

TEST(XmWriter, TuningReachesTheRequestedRate) {
    xm::Sample sample;
    xm::TuneSample(8363, sample);
    EXPECT_EQ(0, sample.relativeNote);
    EXPECT_EQ(0, sample.finetune);
    xm::TuneSample(16726, sample);
    EXPECT_EQ(12, sample.relativeNote);
    EXPECT_EQ(0, sample.finetune);
    xm::TuneSample(44100, sample);
    EXPECT_EQ(29, sample.relativeNote);
    EXPECT_EQ(-28, sample.finetune);
    for (double rate = 2000; rate < 200000; rate *= 1.013) {
        xm::TuneSample(rate, sample);
        EXPECT_LE(std::abs(sample.finetune), 64) << rate;
        const double semitones = sample.relativeNote + sample.finetune / 128.0;
        EXPECT_NEAR(12 * std::log2(rate / 8363), semitones, 1.0 / 256 + 1e-9) << rate;
    }
}

TEST(XmWriter, RefusesWhatTheFormatCannotHold) {
    struct Case {
        const char* what;
        void (*spoil)(xm::Module&);
    };
    const Case cases[] = {
        {"long name", [](xm::Module& m) { m.name = "a name of twenty-one c"; }},
        {"no channels", [](xm::Module& m) { m.channelCount = 0; }},
        {"33 channels", [](xm::Module& m) { m.channelCount = 33; }},
        {"no orders", [](xm::Module& m) { m.orders.clear(); }},
        {"order past the patterns", [](xm::Module& m) { m.orders[1] = 2; }},
        {"restart past the orders", [](xm::Module& m) { m.restartPosition = 3; }},
        {"tempo 0", [](xm::Module& m) { m.defaultTempo = 0; }},
        {"BPM 31", [](xm::Module& m) { m.defaultBpm = 31; }},
        {"cells missing", [](xm::Module& m) { m.patterns[0].cells.pop_back(); }},
        {"257 rows", [](xm::Module& m) { m.patterns[1] = EmptyPattern(257, 2); }},
        {"note 98", [](xm::Module& m) { m.patterns[0].cells[1].note = 98; }},
        {"instrument 129", [](xm::Module& m) { m.patterns[0].cells[1].instrument = 129; }},
        {"17 samples",
         [](xm::Module& m) { m.instruments[0].samples.resize(17, m.instruments[0].samples[0]); }},
        {"keymap to a missing sample", [](xm::Module& m) { m.instruments[0].keymap[5] = 2; }},
        {"13 envelope points",
         [](xm::Module& m) {
             auto& points = m.instruments[0].volumeEnvelope.points;
             for (uint16_t x = 61; points.size() < 13; ++x)
                 points.push_back({x, 0});
         }},
        {"envelope on with one point",
         [](xm::Module& m) { m.instruments[0].volumeEnvelope.points.resize(1); }},
        {"envelope ticks not rising",
         [](xm::Module& m) { m.instruments[0].panningEnvelope.points[2].x = 30; }},
        {"envelope value 65",
         [](xm::Module& m) { m.instruments[0].volumeEnvelope.points[1].y = 65; }},
        {"sustain past the points",
         [](xm::Module& m) { m.instruments[0].volumeEnvelope.sustainPoint = 4; }},
        {"envelope loop reversed",
         [](xm::Module& m) {
             m.instruments[0].panningEnvelope.loopStart = 2;
             m.instruments[0].panningEnvelope.loopEnd = 1;
         }},
        {"fade-out 0x1000", [](xm::Module& m) { m.instruments[0].fadeout = 0x1000; }},
        {"vibrato depth 16", [](xm::Module& m) { m.instruments[0].autoVibratoDepth = 16; }},
        {"sample loop past the end",
         [](xm::Module& m) { m.instruments[0].samples[0].loopLength = 9; }},
        {"empty loop", [](xm::Module& m) { m.instruments[0].samples[0].loopLength = 0; }},
        {"8-bit value 128", [](xm::Module& m) { m.instruments[0].samples[1].data[3] = 128; }},
        {"sample volume 65", [](xm::Module& m) { m.instruments[0].samples[1].volume = 65; }},
    };
    std::vector<uint8_t> bytes;
    std::string error;
    ASSERT_TRUE(xm::WriteModule(SmallModule(), bytes, error)) << error;
    for (const Case& c : cases) {
        xm::Module module = SmallModule();
        c.spoil(module);
        error.clear();
        EXPECT_FALSE(xm::WriteModule(module, bytes, error)) << c.what;
        EXPECT_FALSE(error.empty()) << c.what;
    }
}

} // namespace
