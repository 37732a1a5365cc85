#include <gtest/gtest.h>

#include <cstring>
#include <optional>

#include "music/song.h"
#include "music_test_util.h"

namespace {

// A one-channel song whose single pattern has the given raw data of one row.
XmSong OneRowSong(std::vector<uint8_t> data) {
    XmSong song;
    song.channels = 1;
    XmPattern pattern = EmptyPattern(song, 1);
    pattern.rawData = std::move(data);
    song.patterns.push_back(pattern);
    return song;
}

const Cell& CellOf(const Song& song, int pattern, int row, int channel) {
    return song.patterns[pattern].cells[row * song.channelCount + channel];
}

// A song whose instrument 1 holds the given samples.
XmSong SamplesSong(std::vector<XmSample> samples) {
    XmSong song = OneInstrumentSong();
    song.instruments[0].samples = std::move(samples);
    return song;
}

} // namespace

TEST(XmLoader, RefusesAFileWithoutTheSignature) {
    std::vector<uint8_t> bytes = WriteXm(OneInstrumentSong());
    SongLoadError error = SongLoadError::kNone;
    ASSERT_TRUE(LoadXm(bytes, &error));

    bytes[16] = '_'; // "Extended Module:_": the first 16 bytes still match
    EXPECT_FALSE(LoadXm(bytes, &error));
    EXPECT_EQ(error, SongLoadError::kNotXm);

    EXPECT_FALSE(LoadXm(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 16), &error));
    EXPECT_EQ(error, SongLoadError::kNotXm);
    EXPECT_FALSE(LoadXm(std::vector<uint8_t>{}, &error));
    EXPECT_EQ(error, SongLoadError::kNotXm);
    EXPECT_STREQ(SongLoadErrorText(SongLoadError::kNotXm),
                 "not an XM module (no \"Extended Module: \" signature)");
}

TEST(XmLoader, ReadsTheHeader) {
    XmSong xm = OneInstrumentSong(3);
    xm.orders = {0, 0, 0};
    xm.restartPosition = 2;
    xm.flags = 0;
    xm.tempo = 5;
    xm.bpm = 140;
    SongPtr song = LoadXm(xm);
    ASSERT_TRUE(song);
    EXPECT_EQ(song->songLength, 3);
    EXPECT_EQ(song->restartPosition, 2);
    EXPECT_EQ(song->channelCount, 3);
    EXPECT_EQ(song->flags, 0);
    EXPECT_EQ(song->defaultTempo, 5);
    EXPECT_EQ(song->defaultBpm, 140);
    EXPECT_EQ(song->instrumentCount, 1);
    EXPECT_EQ(song->defaultGlobalVolume, 64);
    EXPECT_NE(song->tickHandler, nullptr);
}

TEST(XmLoader, OrdersBeyondTheStoredPatternsGetEmptySlots) {
    XmSong xm;
    xm.channels = 2;
    for (int i = 0; i < 3; ++i)
        xm.patterns.push_back(EmptyPattern(xm, 16));
    xm.orders = {0, 5, 1};
    SongPtr song = LoadXm(xm);
    ASSERT_TRUE(song);
    EXPECT_EQ(song->referencedPatterns, 6);
    EXPECT_EQ(song->patternSlots, 6);
    EXPECT_EQ(song->patterns[2].rows, 16);
    for (int p = 3; p <= 5; ++p) {
        EXPECT_EQ(song->patterns[p].rows, 64);
        EXPECT_EQ(song->patterns[p].cells, nullptr);
    }

    // More stored patterns than the orders name: all are kept.
    xm.orders = {1};
    song = LoadXm(xm);
    ASSERT_TRUE(song);
    EXPECT_EQ(song->referencedPatterns, 2);
    EXPECT_EQ(song->patternSlots, 3);
}

TEST(XmLoader, DecodesPackedAndPlainCells) {
    // 0x83: note and instrument follow, nothing else.
    SongPtr song = LoadXm(OneRowSong({0x83, 0x31, 0x02}));
    ASSERT_TRUE(song);
    const Cell& packed = CellOf(*song, 0, 0, 0);
    EXPECT_EQ(packed.note, 0x31);
    EXPECT_EQ(packed.instrument, 2);
    EXPECT_EQ(packed.volume, 0);
    EXPECT_EQ(packed.effect, 0);
    EXPECT_EQ(packed.parameter, 0);

    // 0x98: effect and parameter only.
    song = LoadXm(OneRowSong({0x98, 0x0F, 0x20}));
    ASSERT_TRUE(song);
    EXPECT_EQ(CellOf(*song, 0, 0, 0).note, 0);
    EXPECT_EQ(CellOf(*song, 0, 0, 0).effect, 0x0F);
    EXPECT_EQ(CellOf(*song, 0, 0, 0).parameter, 0x20);

    // A byte without bit 7 is the note; four bytes follow.
    song = LoadXm(OneRowSong({97, 200, 0x40, 0x0C, 0x30}));
    ASSERT_TRUE(song);
    const Cell& plain = CellOf(*song, 0, 0, 0);
    EXPECT_EQ(plain.note, kKeyOff);
    EXPECT_EQ(plain.instrument, 0); // above 128
    EXPECT_EQ(plain.volume, 0x40);
    EXPECT_EQ(plain.effect, 0x0C);
    EXPECT_EQ(plain.parameter, 0x30);

    // Notes past key off are not notes of the format and are dropped.
    song = LoadXm(OneRowSong({0x83, 120, 128}));
    ASSERT_TRUE(song);
    EXPECT_EQ(CellOf(*song, 0, 0, 0).note, 0);
    EXPECT_EQ(CellOf(*song, 0, 0, 0).instrument, 128);
}

TEST(XmLoader, ReadsWholePatternsInRowOrder) {
    XmSong xm;
    xm.channels = 3;
    XmPattern pattern = EmptyPattern(xm, 4);
    pattern.At(1, 2) = {49, 1, 0x30, 4, 0x37};
    pattern.At(3, 0) = {97, 0, 0, 0, 0};
    xm.patterns.push_back(pattern);
    pattern.packed = false;
    xm.patterns.push_back(pattern);
    XmPattern empty = EmptyPattern(xm, 8);
    empty.storeEmpty = true;
    xm.patterns.push_back(empty);
    xm.orders = {0, 1, 2};
    SongPtr song = LoadXm(xm);
    ASSERT_TRUE(song);
    for (int p = 0; p < 2; ++p) {
        const Cell& c = CellOf(*song, p, 1, 2);
        EXPECT_EQ(c.note, 49);
        EXPECT_EQ(c.instrument, 1);
        EXPECT_EQ(c.volume, 0x30);
        EXPECT_EQ(c.effect, 4);
        EXPECT_EQ(c.parameter, 0x37);
        EXPECT_EQ(CellOf(*song, p, 3, 0).note, kKeyOff);
        EXPECT_EQ(CellOf(*song, p, 0, 0).note, 0);
    }
    EXPECT_EQ(song->patterns[2].rows, 8);
    EXPECT_EQ(song->patterns[2].cells, nullptr); // packed size 0: empty rows
}

TEST(XmLoader, APatternEndsAtItsPackedSize) {
    // Pattern 0 stores one cell for four rows: the rows it leaves out are
    // empty, and pattern 1 is read from where its own header starts.
    XmSong xm;
    xm.channels = 1;
    XmPattern shortPattern = EmptyPattern(xm, 4);
    shortPattern.rawData = std::vector<uint8_t>{0x83, 0x31, 0x02};
    xm.patterns.push_back(shortPattern);
    XmPattern next = EmptyPattern(xm, 2);
    next.At(0, 0) = {25, 1, 0, 0, 0};
    xm.patterns.push_back(next);
    xm.orders = {0, 1};
    SongPtr song = LoadXm(xm);
    ASSERT_TRUE(song);
    EXPECT_EQ(CellOf(*song, 0, 0, 0).note, 0x31);
    EXPECT_EQ(CellOf(*song, 0, 3, 0).note, 0);
    EXPECT_EQ(song->patterns[1].rows, 2);
    EXPECT_EQ(CellOf(*song, 1, 0, 0).note, 25);
}

TEST(XmLoader, WideModulesKeepTheirFirst32Channels) {
    XmSong xm;
    xm.channels = 40;
    XmPattern pattern = EmptyPattern(xm, 2);
    pattern.At(0, 31) = {10, 1, 0, 0, 0};
    pattern.At(0, 35) = {20, 1, 0, 0, 0};
    pattern.At(1, 0) = {30, 1, 0, 0, 0};
    pattern.At(1, 39) = {40, 1, 0, 0, 0};
    xm.patterns.push_back(pattern);
    SongPtr song = LoadXm(xm);
    ASSERT_TRUE(song);
    EXPECT_EQ(song->channelCount, 32);
    EXPECT_EQ(CellOf(*song, 0, 0, 31).note, 10);
    EXPECT_EQ(CellOf(*song, 0, 1, 0).note, 30);
    for (int c = 1; c < 32; ++c)
        EXPECT_EQ(CellOf(*song, 0, 1, c).note, 0) << c;
}

TEST(XmLoader, RefusesCountsNoModuleHas) {
    SongLoadError error = SongLoadError::kNone;
    XmSong xm = OneInstrumentSong();
    xm.rawSongLength = 0;
    EXPECT_FALSE(LoadXm(xm, &error));
    EXPECT_EQ(error, SongLoadError::kNoOrders);

    xm = OneInstrumentSong();
    xm.rawChannels = 0;
    EXPECT_FALSE(LoadXm(xm, &error));
    EXPECT_EQ(error, SongLoadError::kNoChannels);
    xm.rawChannels = 0x8000; // negative as a signed count
    EXPECT_FALSE(LoadXm(xm, &error));
    EXPECT_EQ(error, SongLoadError::kNoChannels);

    xm = OneInstrumentSong();
    xm.rawPatternCount = 257;
    EXPECT_FALSE(LoadXm(xm, &error));
    EXPECT_EQ(error, SongLoadError::kTooManyPatterns);

    xm = OneInstrumentSong();
    xm.patterns[0] = EmptyPattern(xm, 1025);
    EXPECT_FALSE(LoadXm(xm, &error));
    EXPECT_EQ(error, SongLoadError::kPatternTooLong);
    xm.patterns[0] = EmptyPattern(xm, 1024);
    EXPECT_TRUE(LoadXm(xm, &error));

    xm = OneInstrumentSong();
    xm.rawInstrumentCount = 129;
    EXPECT_FALSE(LoadXm(xm, &error));
    EXPECT_EQ(error, SongLoadError::kTooManyInstruments);

    // 17 samples; what was built before the refusal is freed (the sanitizer
    // build reports a leak otherwise).
    xm = OneInstrumentSong();
    xm.instruments.push_back(xm.instruments[0]);
    xm.instruments[1].rawSampleCount = 17;
    EXPECT_FALSE(LoadXm(xm, &error));
    EXPECT_EQ(error, SongLoadError::kTooManySamples);
    xm.instruments[1].rawSampleCount = 16;
    EXPECT_TRUE(LoadXm(xm, &error));
}

TEST(XmLoader, KeepsTheOrderListInsideItsTable) {
    XmSong xm = OneInstrumentSong();
    xm.orders = {0, 0, 0};
    xm.rawSongLength = 300;
    xm.restartPosition = 3; // at the song length
    SongPtr song = LoadXm(xm);
    ASSERT_TRUE(song);
    EXPECT_EQ(song->songLength, 256);
    EXPECT_EQ(song->restartPosition, 3); // valid for a length of 256

    xm.rawSongLength.reset();
    song = LoadXm(xm);
    ASSERT_TRUE(song);
    EXPECT_EQ(song->songLength, 3);
    EXPECT_EQ(song->restartPosition, 0);
}

TEST(XmLoader, ConvertsLoopsToSamples) {
    // 1000 bytes of 16-bit data, forward-loop bit, loop start 200, length 0.
    XmSample noLoop = SixteenBitSample(500, [](int) { return 0; });
    noLoop.loopType = 1;
    noLoop.rawLoopStart = 200;
    noLoop.rawLoopLength = 0;
    XmSample pingPong = SixteenBitSample(40, [](int i) { return i; });
    pingPong.rawType = 0x13; // bits 0 and 1: ping-pong wins
    pingPong.loopStart = 10;
    pingPong.loopLength = 10;
    XmSample eightBit;
    eightBit.data = {0, 1, 2, 3, 4, 5, 6, 7};
    eightBit.loopType = 1;
    eightBit.loopStart = 2;
    eightBit.loopLength = 4;
    SongPtr song = LoadXm(SamplesSong({noLoop, pingPong, eightBit}));
    ASSERT_TRUE(song);
    const Instrument& instrument = song->instruments[0];
    ASSERT_EQ(instrument.sampleCount, 3);
    const Sample& a = *instrument.samples[0];
    EXPECT_EQ(a.length, 500u);
    EXPECT_EQ(a.loopMode, kLoopNone);
    EXPECT_EQ(a.loopStart, 0u);
    EXPECT_EQ(a.loopLength, 500u);
    EXPECT_EQ(a.bits, 16);
    const Sample& b = *instrument.samples[1];
    EXPECT_EQ(b.loopMode, kLoopPingPong);
    EXPECT_EQ(b.loopStart, 10u);
    EXPECT_EQ(b.loopLength, 10u);
    const Sample& c = *instrument.samples[2];
    EXPECT_EQ(c.loopMode, kLoopForward);
    EXPECT_EQ(c.length, 8u);
    EXPECT_EQ(c.loopStart, 2u);
    EXPECT_EQ(c.loopLength, 4u);
    EXPECT_EQ(c.bits, 16);
    for (int slot = 3; slot < kSampleSlots; ++slot)
        EXPECT_EQ(instrument.samples[slot], &emptySample);
}

TEST(XmLoader, DecodesDeltasAndWritesGuardSamples) {
    XmSample ramp;
    ramp.rawData = std::vector<uint8_t>{1, 1, 1}; // deltas of an 8-bit sample
    XmSample forward = SixteenBitSample(30, [](int i) { return 100 * i - 1000; });
    forward.loopType = 1;
    forward.loopStart = 10;
    forward.loopLength = 10;
    XmSample pingPong = forward;
    pingPong.loopType = 2;
    XmSample wrapping = SixteenBitSample(3, [](int i) { return i == 1 ? 32767 : 0; });
    wrapping.rawData = std::vector<uint8_t>{0xFF, 0x7F, 0x02, 0x00}; // 32767 + 2 wraps
    SongPtr song = LoadXm(SamplesSong({ramp, forward, pingPong, wrapping}));
    ASSERT_TRUE(song);
    const Instrument& instrument = song->instruments[0];

    const Sample& a = *instrument.samples[0];
    ASSERT_EQ(a.length, 3u);
    EXPECT_EQ(a.data[0], 256);
    EXPECT_EQ(a.data[1], 512);
    EXPECT_EQ(a.data[2], 768);
    EXPECT_EQ(a.data[3], 0); // guard of a sample without loop

    const Sample& f = *instrument.samples[1];
    EXPECT_EQ(f.data[19], 900);
    EXPECT_EQ(f.data[20], f.data[10]);
    EXPECT_EQ(f.data[21], 1100); // the sample goes on after its loop
    const Sample& p = *instrument.samples[2];
    EXPECT_EQ(p.data[20], p.data[19]);

    const Sample& w = *instrument.samples[3];
    ASSERT_EQ(w.length, 2u);
    EXPECT_EQ(w.data[0], 32767);
    EXPECT_EQ(w.data[1], -32767); // 16-bit wrap-around
}

TEST(XmLoader, ClampsLoopsThatReachPastTheSample) {
    XmSample past = SixteenBitSample(50, [](int i) { return i; });
    past.loopType = 1;
    past.loopStart = 10;
    past.loopLength = 100;
    XmSample after = past;
    after.loopType = 2;
    after.loopStart = 60;
    after.loopLength = 5;
    XmSample huge = past;
    huge.rawLoopStart = 0xFFFFFFF0u;
    huge.rawLoopLength = 0x20;
    SongPtr song = LoadXm(SamplesSong({past, after, huge}));
    ASSERT_TRUE(song);
    const Instrument& instrument = song->instruments[0];
    const Sample& a = *instrument.samples[0];
    EXPECT_EQ(a.loopMode, kLoopForward);
    EXPECT_EQ(a.loopStart, 10u);
    EXPECT_EQ(a.loopLength, 40u);
    EXPECT_EQ(a.data[50], a.data[10]); // guard right after the sample
    for (int slot : {1, 2}) {
        const Sample& s = *instrument.samples[slot];
        EXPECT_EQ(s.loopMode, kLoopNone) << slot;
        EXPECT_EQ(s.loopStart, 0u);
        EXPECT_EQ(s.loopLength, 50u);
    }
}

TEST(XmLoader, SkipsTheOddByteOfA16BitSample) {
    XmSample odd;
    odd.sixteenBit = true;
    odd.rawData = std::vector<uint8_t>{0x10, 0x00, 0x10, 0x00, 0x55}; // 2.5 samples
    XmSample next;
    next.data = {5, 6};
    SongPtr song = LoadXm(SamplesSong({odd, next}));
    ASSERT_TRUE(song);
    const Instrument& instrument = song->instruments[0];
    EXPECT_EQ(instrument.samples[0]->length, 2u);
    EXPECT_EQ(instrument.samples[0]->data[1], 0x20);
    EXPECT_EQ(instrument.samples[1]->data[0], 5 * 256);
    EXPECT_EQ(instrument.samples[1]->data[1], 6 * 256);
}

TEST(XmLoader, ReadsInstrumentsAndSanitizesEnvelopes) {
    XmSong xm = OneInstrumentSong();
    XmInstrument& in = xm.instruments[0];
    in.keymap.fill(3);
    in.keymap[0] = 0;
    in.volume.points = {{0, 64}, {10, 80}, {20, 32}, {15, 0}, {30, 0}};
    in.volume.type = kEnvelopeOn | kEnvelopeSustain | kEnvelopeLoop;
    in.volume.sustain = 1;
    in.volume.loopStart = 0;
    in.volume.loopEnd = 4; // beyond the points that remain
    in.panning.points = {{0, 32}};
    in.panning.type = kEnvelopeOn;
    in.fadeout = 0x9000; // doubled to 16 bits: 0x2000
    in.vibratoType = 2;
    in.vibratoSweep = 3;
    in.vibratoDepth = 4;
    in.vibratoRate = 5;
    xm.instruments.push_back(in);
    xm.instruments[1].volume.points.clear();
    for (int i = 0; i < 12; ++i)
        xm.instruments[1].volume.points.push_back({static_cast<uint16_t>(i * 4), 10});
    xm.instruments[1].volume.rawPointCount = 20; // only 12 exist
    xm.instruments[1].volume.type = kEnvelopeOn | kEnvelopeLoop;
    xm.instruments[1].volume.loopStart = 2;
    xm.instruments[1].volume.loopEnd = 11;
    xm.instruments.push_back(XmInstrument{}); // no samples
    SongPtr song = LoadXm(xm);
    ASSERT_TRUE(song);
    ASSERT_EQ(song->instrumentCount, 3);

    const Instrument& a = song->instruments[0];
    EXPECT_EQ(a.keymap[0], 0);
    EXPECT_EQ(a.keymap[95], 3);
    EXPECT_EQ(a.volumePointCount, 3);     // the fourth point goes back in time
    EXPECT_EQ(a.volumeEnvelope[1].y, 64); // 80 is above the range
    EXPECT_EQ(a.volumeType, kEnvelopeOn | kEnvelopeSustain);
    EXPECT_EQ(a.panningType, 0); // one point: off
    EXPECT_EQ(a.fadeout, 0x2000);
    EXPECT_EQ(a.autoVibratoType, 2);
    EXPECT_EQ(a.autoVibratoSweep, 3);
    EXPECT_EQ(a.autoVibratoDepth, 4);
    EXPECT_EQ(a.autoVibratoRate, 5);

    const Instrument& b = song->instruments[1];
    EXPECT_EQ(b.volumePointCount, 12);
    EXPECT_EQ(b.volumeType, kEnvelopeOn | kEnvelopeLoop);
    EXPECT_EQ(b.volumeLoopEnd, 11);

    const Instrument& c = song->instruments[2];
    EXPECT_EQ(c.sampleCount, 0);
    for (const Sample* s : c.samples)
        EXPECT_EQ(s, &emptySample);
}

TEST(XmLoader, SeeksByTheStoredHeaderSizes) {
    // Other trackers store longer headers, or shorter ones; what follows a
    // header starts where its size says.
    XmSong base = OneInstrumentSong(2);
    base.patterns[0].At(3, 1) = {61, 2, 0x30, 0x0A, 0x04};
    base.instruments.insert(base.instruments.begin(), XmInstrument{}); // no samples
    base.instruments[1].fadeout = 0x100;
    base.instruments.push_back(base.instruments[1]);
    struct Case {
        const char* what;
        std::optional<uint32_t> song, empty, sampled;
    };
    for (const Case& c :
         {Case{"song header of 296", 296, {}, {}}, Case{"song header of 260", 260, {}, {}},
          Case{"whole header of an instrument without samples", {}, 263, {}},
          Case{"instrument header of 275", {}, {}, 275},
          Case{"instrument header of 243", {}, {}, 243}}) {
        XmSong xm = base;
        xm.rawHeaderSize = c.song;
        xm.instruments[0].rawHeaderSize = c.empty;
        xm.instruments[1].rawHeaderSize = c.sampled;
        SongPtr song = LoadXm(xm);
        EXPECT_TRUE(song && song->instrumentCount == 3) << c.what;
        if (!song || song->instrumentCount != 3)
            continue;
        const Cell& cell = CellOf(*song, 0, 3, 1);
        EXPECT_EQ(cell.note, 61) << c.what;
        EXPECT_EQ(cell.parameter, 0x04) << c.what;
        EXPECT_EQ(song->instruments[0].sampleCount, 0) << c.what;
        for (int i : {1, 2}) {
            const Instrument& in = song->instruments[i];
            EXPECT_EQ(in.fadeout, 0x200) << c.what;
            EXPECT_EQ(in.sampleCount, 1) << c.what;
            EXPECT_EQ(in.samples[0]->length, 1000u) << c.what; // the empty sample has 0
            if (in.samples[0]->length == 1000) {
                EXPECT_EQ(in.samples[0]->data[999], 99 * 300 - 15000) << c.what;
            }
        }
    }
}

TEST(XmLoader, HonoursThePatternAndSampleHeaderSizes) {
    struct Case {
        uint32_t patternHeader; // written; below 9 the data follow the 9 bytes
        uint32_t sampleHeader;  // written; below 40 (0 among them) it counts as 40
    };
    for (const Case& c : {Case{9, 40}, Case{13, 44}, Case{0, 0}, Case{64, 12}}) {
        XmSong xm = OneInstrumentSong(2);
        xm.patterns[0].At(1, 1) = {61, 1, 0x30, 4, 0x37};
        xm.patterns[0].rawHeaderLength = c.patternHeader;
        XmInstrument& in = xm.instruments[0];
        in.rawSampleHeaderSize = c.sampleHeader;
        in.samples.push_back(SixteenBitSample(10, [](int i) { return 100 * i; }));
        in.samples[1].relativeNote = 5;
        SongPtr song = LoadXm(xm);
        ASSERT_TRUE(song) << c.patternHeader << " " << c.sampleHeader;
        const Cell& cell = CellOf(*song, 0, 1, 1);
        EXPECT_EQ(cell.note, 61);
        EXPECT_EQ(cell.parameter, 0x37);
        const Instrument& loaded = song->instruments[0];
        ASSERT_EQ(loaded.sampleCount, 2);
        EXPECT_EQ(loaded.samples[0]->length, 1000u);
        EXPECT_EQ(loaded.samples[1]->length, 10u);
        EXPECT_EQ(loaded.samples[1]->relativeNote, 5);
        EXPECT_EQ(loaded.samples[1]->data[9], 900);
    }
}

TEST(XmLoader, NamesTheModulesItRefuses) {
    struct Case {
        size_t offset;
        const char* tag;
        SongLoadError error;
        const char* text;
    };
    const Case cases[] = {
        {0, "IMPM", SongLoadError::kItModule, "an IT module, not XM: only XM modules are played"},
        {44, "SCRM", SongLoadError::kS3mModule,
         "an S3M module, not XM: only XM modules are played"},
        {1080, "M.K.", SongLoadError::kModModule,
         "a MOD module, not XM: only XM modules are played"},
        {1080, "FLT8", SongLoadError::kModModule, nullptr},
        {1080, "6CHN", SongLoadError::kModModule, nullptr},
        {1080, "12CH", SongLoadError::kModModule, nullptr},
        {1080, "M.K!", SongLoadError::kNotXm, nullptr},
        {1076, "SCRM", SongLoadError::kNotXm, nullptr},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> bytes(2048, 0);
        std::memcpy(&bytes[c.offset], c.tag, 4);
        SongLoadError error = SongLoadError::kNone;
        EXPECT_FALSE(LoadXm(bytes, &error));
        EXPECT_EQ(error, c.error) << c.tag << " at " << c.offset;
        if (c.text != nullptr) {
            EXPECT_STREQ(SongLoadErrorText(error), c.text);
        }
    }
    // A tag past the end of a short file names nothing.
    EXPECT_FALSE(LoadXm(std::vector<uint8_t>{'I', 'M', 'P'}));
}

TEST(XmLoader, CutFilesLoadWhatTheyHold) {
    XmSong xm = OneInstrumentSong(2);
    xm.instruments.push_back(xm.instruments[0]);
    xm.patterns[0].At(5, 1) = {49, 1, 0, 0, 0};
    const std::vector<uint8_t> whole = WriteXm(xm);
    // Every cut loads or is refused; none reads outside the file or leaks.
    for (size_t size = 0; size < whole.size(); size += size < 400 ? 1 : 97) {
        const std::vector<uint8_t> cut(whole.begin(), whole.begin() + static_cast<long>(size));
        SongLoadError error = SongLoadError::kNone;
        SongPtr song = LoadXm(cut, &error);
        if (!song) {
            EXPECT_NE(error, SongLoadError::kNone);
            EXPECT_NE(error, SongLoadError::kOutOfMemory);
        }
    }
    // The second sample cut 100 bytes short keeps the 16-bit values present.
    const std::vector<uint8_t> cut(whole.begin(), whole.end() - 100);
    SongPtr song = LoadXm(cut);
    ASSERT_TRUE(song);
    const Sample& last = *song->instruments[1].samples[0];
    EXPECT_EQ(last.length, 950u);
    EXPECT_EQ(last.loopLength, 950u);
    EXPECT_EQ(last.data[949], song->instruments[0].samples[0]->data[949]);
    EXPECT_EQ(last.data[950], last.data[0]); // guard of the clamped loop
}

TEST(XmLoader, AllocationFailuresFailCleanly) {
    XmSong xm = OneInstrumentSong(2);
    xm.patterns.push_back(EmptyPattern(xm, 8));
    xm.orders = {0, 1, 4};
    xm.instruments.push_back(xm.instruments[0]);
    xm.instruments[1].samples.push_back(xm.instruments[0].samples[0]);
    const std::vector<uint8_t> bytes = WriteXm(xm);
    int failures = 0;
    for (int n = 0; n < 100; ++n) {
        SetSongAllocationFailure(n);
        SongLoadError error = SongLoadError::kNone;
        SongPtr song = LoadXm(bytes, &error);
        if (song) {
            EXPECT_EQ(error, SongLoadError::kNone);
            break;
        }
        EXPECT_EQ(error, SongLoadError::kOutOfMemory) << "allocation " << n;
        ++failures;
    }
    SetSongAllocationFailure(-1);
    // Song, patterns, played rows, cells of two patterns, instruments, three
    // samples with data.
    EXPECT_EQ(failures, 12);
    EXPECT_TRUE(LoadXm(bytes));
}

TEST(XmLoader, FreeSongTakesNone) {
    EXPECT_FALSE(FreeSong(nullptr));
    SongPtr song = LoadXm(OneInstrumentSong());
    EXPECT_TRUE(FreeSong(song.release()));
}
