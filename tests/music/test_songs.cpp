#include "test_songs.h"

#include <cstdint>

namespace {

// Deterministic noise.
struct Lcg {
    uint32_t state;
    int Next() {
        state = state * 1664525u + 1013904223u;
        return static_cast<int>(state >> 16) - 32768;
    }
};

int Triangle(int i, int period, int amplitude) {
    const int phase = i % period;
    const int half = period / 2;
    const int rising = phase < half ? phase : period - phase;
    return (rising * 4 * amplitude) / period - amplitude;
}

XmInstrument Lead() {
    XmSample sample = SixteenBitSample(
        2048, [](int i) { return Triangle(i, 64, 12000) + Triangle(i, 16, 3000); });
    sample.loopType = 1;
    sample.loopStart = 512;
    sample.loopLength = 1536;
    sample.finetune = -16;
    sample.volume = 48;
    sample.panning = 96;
    XmInstrument in = OneSampleInstrument(sample);
    in.volume.points = {{0, 0}, {4, 64}, {12, 40}, {24, 48}, {40, 10}};
    in.volume.type = 1 | 2 | 4;
    in.volume.sustain = 2;
    in.volume.loopStart = 2;
    in.volume.loopEnd = 3;
    in.panning.points = {{0, 32}, {16, 48}, {32, 16}};
    in.panning.type = 1;
    in.vibratoType = 0;
    in.vibratoSweep = 8;
    in.vibratoDepth = 6;
    in.vibratoRate = 20;
    in.fadeout = 1024;
    return in;
}

XmInstrument Square() {
    XmSample sample;
    for (int i = 0; i < 200; ++i)
        sample.data.push_back(static_cast<int16_t>((i / 25) % 2 ? 90 : -90));
    sample.loopType = 2; // ping-pong
    sample.loopStart = 40;
    sample.loopLength = 150;
    sample.relativeNote = 12;
    sample.panning = 200;
    XmInstrument in = OneSampleInstrument(sample);
    in.vibratoType = 1;
    in.vibratoDepth = 3;
    in.vibratoRate = 40;
    return in;
}

XmInstrument Drum() {
    Lcg noise{12345};
    XmSample sample;
    for (int i = 0; i < 6000; ++i) {
        const int decay = 6000 - i;
        sample.data.push_back(static_cast<int16_t>((noise.Next() / 256) * decay / 6000));
    }
    sample.relativeNote = -5;
    XmInstrument in = OneSampleInstrument(sample);
    XmSample click = SixteenBitSample(300, [](int i) { return (300 - i) * 90 * (i % 7 - 3); });
    in.samples.push_back(click);
    for (size_t n = 48; n < 96; ++n)
        in.keymap[n] = 1; // high notes play the click
    return in;
}

XmInstrument Pad() {
    XmSample sample = SixteenBitSample(
        4000, [](int i) { return Triangle(i, 100, 9000) + Triangle(i, 149, 7000); });
    sample.loopType = 1;
    sample.loopStart = 0;
    sample.loopLength = 4000;
    XmInstrument in = OneSampleInstrument(sample);
    in.volume.points = {{0, 20}, {30, 64}, {60, 50}, {90, 0}};
    in.volume.type = 1;
    in.vibratoType = 2;
    in.vibratoSweep = 20;
    in.vibratoDepth = 10;
    in.vibratoRate = 6;
    in.fadeout = 300;
    return in;
}

} // namespace

XmSong GoldenSong(bool linear) {
    XmSong song;
    song.channels = 8;
    song.flags = linear ? 1 : 0;
    song.tempo = 5;
    song.bpm = 140;
    song.instruments = {Lead(), Square(), Drum(), Pad()};
    song.orders = {0, 1, 2, 1};
    song.restartPosition = 1;

    XmPattern a = EmptyPattern(song, 32);
    for (int row = 0; row < 32; row += 4) {
        a.At(row, 0) = {static_cast<uint8_t>(37 + (row % 12)), 3, 0, 0, 0};
        a.At(row + 2, 0) = {61, 3, 0x30, 0, 0};
    }
    a.At(0, 1) = {49, 1, 0, 0x04, 0x46}; // vibrato
    a.At(4, 1) = {0, 0, 0, 0x04, 0x00};
    a.At(8, 1) = {53, 1, 0, 0x03, 0x20};     // tone portamento
    a.At(9, 1) = {0, 0, 0xA4, 0x05, 0x02};   // with volume slide; vibrato speed
    a.At(12, 1) = {0, 0, 0xB6, 0x06, 0x10};  // vibrato depth; vibrato and slide
    a.At(16, 1) = {97, 0, 0, 0, 0};          // key off: release and fade
    a.At(24, 1) = {56, 1, 0x50, 0x00, 0x37}; // arpeggio
    a.At(0, 2) = {25, 2, 0x40, 0x01, 0x08};  // portamento up
    a.At(6, 2) = {0, 0, 0, 0x02, 0x10};      // down
    a.At(10, 2) = {30, 2, 0xF3, 0, 0};       // volume-column tone portamento
    a.At(12, 2) = {0, 0, 0x64, 0x08, 0x40};  // slide down, set panning
    a.At(14, 2) = {0, 0, 0x72, 0x19, 0x22};  // slide up, panning slide
    a.At(16, 2) = {37, 2, 0, 0x1B, 0x13};    // multi retrig
    a.At(20, 2) = {0, 0, 0, 0x1D, 0x21};     // tremor
    a.At(24, 2) = {40, 2, 0x83, 0x07, 0x48}; // fine slide; tremolo
    a.At(28, 2) = {0, 0, 0x92, 0x0A, 0x30};  // fine slide up; volume slide
    a.At(0, 3) = {25, 4, 0, 0, 0};
    a.At(8, 3) = {0, 0, 0xC4, 0x21, 0x15};   // panning; extra fine up
    a.At(12, 3) = {0, 0, 0xD3, 0x21, 0x23};  // panning slides; extra fine down
    a.At(16, 3) = {20, 4, 0xE2, 0x14, 0x00}; // key off by effect K
    a.At(20, 3) = {32, 4, 0, 0x15, 0x20};    // envelope position
    a.At(4, 4) = {61, 1, 0, 0x09, 0x02};     // sample offset
    a.At(12, 4) = {61, 1, 0, 0x09, 0x20};    // past the loop end: stops
    a.At(18, 4) = {70, 1, 0x10, 0x0C, 0x30}; // set volume
    a.At(31, 4) = {0, 0, 0, 0x0F, 0x06};     // speed 6
    XmPattern b = EmptyPattern(song, 32);
    for (int row = 0; row < 32; ++row) {
        b.At(row, 5) = {static_cast<uint8_t>(row % 3 ? 0 : 49 + row % 24), 2, 0, 0x0C,
                        static_cast<uint8_t>(20 + row)};
        if (row % 8 == 4)
            b.At(row, 0) = {73, 3, 0, 0, 0};
    }
    b.At(0, 6) = {37, 4, 0, 0x10, 0x30};  // global volume
    b.At(8, 6) = {0, 0, 0, 0x11, 0x02};   // global slide down
    b.At(16, 6) = {0, 0, 0, 0x11, 0x40};  // and up
    b.At(20, 7) = {44, 1, 0, 0x0F, 0x50}; // tempo 80
    b.At(28, 7) = {0, 0, 0, 0x0F, 0x8C};  // tempo 140
    b.At(30, 7) = {0, 0, 0, 0x0D, 0x04};  // break to row 4
    XmPattern c = EmptyPattern(song, 16);
    for (int row = 0; row < 16; ++row)
        c.At(row, 7) = {static_cast<uint8_t>(row % 2 ? 97 : 30 + row), 1, 0, 0, 0};
    c.At(15, 0) = {0, 0, 0, 0x0B, 0x01}; // jump to order 1
    song.patterns = {a, b, c};
    return song;
}

XmSong BusySong() {
    XmSong song;
    song.channels = 32;
    song.tempo = 3;
    song.bpm = 150;
    song.instruments = {Lead(), Square(), Pad()};
    song.instruments[0].fadeout = 0;
    XmPattern p = EmptyPattern(song, 64);
    for (int row = 0; row < 64; ++row) {
        for (int channel = 0; channel < 32; ++channel) {
            XmCell& cell = p.At(row, channel);
            if ((row + channel) % 4 == 0) {
                cell.note = static_cast<uint8_t>(25 + (row * 7 + channel * 5) % 48);
                cell.instrument = static_cast<uint8_t>(1 + channel % 3);
                cell.volume = static_cast<uint8_t>(0x10 + 24 + channel);
            }
            if (channel % 5 == 1)
                cell.effect = 0x04, cell.parameter = 0x34;
            else if (channel % 5 == 3)
                cell.effect = 0x08, cell.parameter = static_cast<uint8_t>(channel * 8);
        }
    }
    song.patterns = {p};
    return song;
}

XmSong TinySong() {
    XmSong song;
    song.channels = 2;
    XmSample loop;
    for (int i = 0; i < 32; ++i)
        loop.data.push_back(static_cast<int16_t>(Triangle(i, 32, 100)));
    loop.loopType = 1;
    loop.loopLength = 32;
    XmInstrument enveloped = OneSampleInstrument(loop);
    enveloped.volume.points = {{0, 64}, {8, 32}, {16, 0}};
    enveloped.volume.type = 1 | 2;
    enveloped.volume.sustain = 1;
    enveloped.fadeout = 500;
    song.instruments = {OneSampleInstrument(loop), enveloped};
    XmPattern a = EmptyPattern(song, 8);
    a.At(0, 0) = {49, 1, 0x40, 0x04, 0x44};
    a.At(0, 1) = {61, 2, 0, 0x00, 0x37};
    a.At(4, 1) = {97, 0, 0x65, 0x0A, 0x02};
    a.At(7, 0) = {0, 0, 0, 0x0D, 0x00};
    XmPattern b = EmptyPattern(song, 4);
    b.At(0, 0) = {37, 1, 0, 0x03, 0x10};
    b.At(2, 1) = {0, 0, 0xC8, 0x0F, 0x90};
    song.patterns = {a, b};
    song.orders = {0, 1, 0};
    return song;
}

XmSong RulesSeedSong() {
    XmSong song;
    song.channels = 2;
    song.tempo = 3;
    XmSample loop;
    for (int i = 0; i < 16; ++i)
        loop.data.push_back(static_cast<int16_t>(Triangle(i, 16, 100)));
    loop.loopType = 1;
    loop.loopLength = 16;
    XmInstrument plain = OneSampleInstrument(loop);
    plain.rawSampleHeaderSize = 44;
    XmInstrument enveloped = plain;
    enveloped.volume.points = {{0, 64}, {4, 32}, {8, 0}};
    enveloped.volume.type = 1 | 2;
    enveloped.volume.sustain = 1;
    enveloped.samples[0].relativeNote = -12;
    song.instruments = {plain, enveloped};
    XmPattern p = EmptyPattern(song, 12);
    p.rawHeaderLength = 13;
    const XmCell rows[12][2] = {
        {{49, 1, 0xF1, 0x0E, 0x31}, {61, 2, 0x64, 0x0E, 0x60}},
        {{53, 0, 0, 0x03, 0x08}, {0, 0, 0x72, 0x0E, 0x41}},
        {{0, 0, 0xB4, 0x0E, 0x72}, {0, 0, 0x85, 0x07, 0x44}},
        {{56, 1, 0, 0x0E, 0x53}, {97, 2, 0x30, 0x0E, 0x62}},
        {{0, 0, 0xD2, 0x0E, 0x93}, {0, 0, 0, 0x14, 0x01}},
        {{61, 1, 0, 0x0E, 0xD2}, {0, 0, 0xE3, 0x0E, 0xE1}},
        {{0, 0, 0, 0x0E, 0xC1}, {49, 2, 0x94, 0x1D, 0x00}},
        {{1, 1, 0, 0x0E, 0x90}, {0, 0, 0, 0x1D, 0x21}},
        {{96, 2, 0, 0x00, 0xFC}, {0, 0, 0, 0x0E, 0x1F}},
        {{0, 0, 0, 0x0E, 0xA0}, {0, 0, 0, 0x0E, 0x2F}},
        {{49, 1, 0, 0x09, 0x00}, {0, 0, 0, 0x10, 0x20}},
        {{0, 0, 0, 0x0E, 0xB0}, {0, 0, 0, 0x11, 0x0F}},
    };
    for (int row = 0; row < 12; ++row)
        for (int channel = 0; channel < 2; ++channel)
            p.At(row, channel) = rows[row][channel];
    song.patterns = {p};
    song.orders = {0, 0};
    return song;
}
