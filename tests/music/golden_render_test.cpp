#include <gtest/gtest.h>

#include <cstdio>

#include "music/song_source.h"
#include "music_test_util.h"
#include "test_songs.h"

namespace {

// FNV-1a over the little-endian bytes of the rendered frames.
struct PcmHash {
    uint64_t value = 14695981039346656037ull;
    int64_t frames = 0;
    void Add(uint8_t byte) {
        value ^= byte;
        value *= 1099511628211ull;
    }
};

bool HashBlock(const int16_t* frames, int32_t count, void* user) {
    PcmHash& hash = *static_cast<PcmHash*>(user);
    for (int32_t i = 0; i < 2 * count; ++i) {
        const uint16_t s = static_cast<uint16_t>(frames[i]);
        hash.Add(static_cast<uint8_t>(s));
        hash.Add(static_cast<uint8_t>(s >> 8));
    }
    hash.frames += count;
    return true;
}

PcmHash Render(const XmSong& xm, double seconds) {
    SongPtr song = LoadXm(xm);
    EXPECT_TRUE(song);
    PcmHash hash;
    RenderSong(song.get(), static_cast<int64_t>(seconds * 44100), HashBlock, &hash);
    DetachSong();
    return hash;
}

} // namespace

// The bytes the engine makes for a fixed song, pinned: the same on the host
// and in the Windows build (this test runs in both). A change of these values
// is a change of the music everyone hears; update them only on purpose, after
// listening to `xm2wav golden.xm` (tools/write_test_song writes the song).
TEST_F(MixerTest, GoldenRender) {
    const PcmHash linear = Render(GoldenSong(true), 8.0);
    EXPECT_EQ(linear.frames, 352800);
    EXPECT_EQ(linear.value, 0xe6fbe8f7ea85ffe0ull) << std::hex << linear.value;
    const PcmHash amiga = Render(GoldenSong(false), 3.0);
    EXPECT_EQ(amiga.value, 0x31ef5ef784e17b7bull) << std::hex << amiga.value;
}
