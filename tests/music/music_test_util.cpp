#include "music_test_util.h"

#include "music/song_source.h"

SongPtr LoadXm(const std::vector<uint8_t>& bytes, SongLoadError* error) {
    return SongPtr(LoadSongFromMemory(bytes.data(), bytes.size(), error));
}

XmSong OneInstrumentSong(int channels) {
    XmSong song;
    song.channels = channels;
    song.patterns.push_back(EmptyPattern(song));
    XmSample sample = SixteenBitSample(1000, [](int i) { return (i % 100) * 300 - 15000; });
    sample.loopType = 1;
    sample.loopStart = 0;
    sample.loopLength = 1000;
    song.instruments.push_back(OneSampleInstrument(sample));
    return song;
}

void MixerTest::SetUp() {
    FreeMixRing();
    ASSERT_TRUE(SetMixRate(44100));
    ASSERT_TRUE(AllocateMixRing());
}

void MixerTest::TearDown() {
    DetachSong();
    FreeMixRing();
}
