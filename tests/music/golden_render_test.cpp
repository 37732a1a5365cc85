#include <gtest/gtest.h>

#include "music_test_util.h"
#include "test_songs.h"

namespace {

PcmHash Render(const XmSong& xm, double seconds) {
    SongPtr song = LoadXm(xm);
    EXPECT_TRUE(song);
    return RenderHash(song.get(), seconds);
}

} // namespace

// The bytes the engine makes for a fixed song, pinned: the same on the host
// and in the Windows build (this test runs in both). A change of these values
// is a change of the music everyone hears; update them only on purpose, after
// listening to `xm2wav golden.xm` (tools/write_test_song writes the song).
// (Last changed when the replay took the tracker's rules for the volume
// column's slides, key off beside a note, K00, tremor and tremolo, which this
// song uses.)
TEST_F(MixerTest, GoldenRender) {
    const PcmHash linear = Render(GoldenSong(true), 8.0);
    EXPECT_EQ(linear.frames, 352800);
    EXPECT_EQ(linear.value, 0x4f387583d9e4f12bull) << std::hex << linear.value;
    const PcmHash amiga = Render(GoldenSong(false), 3.0);
    EXPECT_EQ(amiga.value, 0x697c9d01def8e386ull) << std::hex << amiga.value;
}
