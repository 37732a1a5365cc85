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

namespace {

bool HashBlock(const int16_t* frames, int32_t count, void* user) {
    PcmHash& hash = *static_cast<PcmHash*>(user);
    for (int32_t i = 0; i < 2 * count; ++i) {
        const uint16_t s = static_cast<uint16_t>(frames[i]);
        for (const uint8_t byte : {static_cast<uint8_t>(s), static_cast<uint8_t>(s >> 8)}) {
            hash.value ^= byte;
            hash.value *= 1099511628211ull;
        }
    }
    hash.frames += count;
    return true;
}

} // namespace

PcmHash RenderHash(Song* song, double seconds) {
    PcmHash hash;
    RenderSong(song, static_cast<int64_t>(seconds * mixRing.mixRate), HashBlock, &hash);
    DetachSong();
    return hash;
}

std::vector<int16_t> RenderFrames(Song* song, int64_t frames) {
    std::vector<int16_t> out;
    RenderSong(
        song, frames,
        [](const int16_t* pcm, int32_t count, void* user) {
            auto* v = static_cast<std::vector<int16_t>*>(user);
            v->insert(v->end(), pcm, pcm + 2 * count);
            return true;
        },
        &out);
    return out;
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
