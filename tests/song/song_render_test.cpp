// The saver's own song as the engine plays it: its first 240 seconds, pinned
// by a hash of the frames. The engine may learn new rules of the format; the
// song everyone hears must not change with them.
#include <gtest/gtest.h>

#include <string>

#include "music_test_util.h"
#include "song.h"
#include "xm_writer.h"

TEST_F(MixerTest, TheSongRendersAsItAlwaysHas) {
    xm::Module module;
    std::string error;
    ASSERT_TRUE(song::ComposeSong(module, error)) << error;
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(xm::WriteModule(module, bytes, error)) << error;
    SongPtr song = LoadXm(bytes);
    ASSERT_TRUE(song);
    const PcmHash hash = RenderHash(song.get(), 240.0);
    EXPECT_EQ(hash.frames, 240 * 44100);
    EXPECT_EQ(hash.value, 0x0fbd217735322279ull) << std::hex << hash.value;
}
