#include <gtest/gtest.h>

#include <vector>

#include "character/test_resources.h"
#include "music/music_file.h"

namespace {

TEST(MusicFile, TheTableIsAllOrNothing) {
    testing_resources::MemoryResources fake;
    std::vector<uint8_t> counting(16);
    for (size_t i = 0; i < counting.size(); ++i)
        counting[i] = static_cast<uint8_t>(i + 1);
    fake.Put("VOXARESOURCE", 123, counting);
    SetMusicFileOps(OpenMusicResource, CloseResourceStream, ReadResourceStream, SeekResourceStream,
                    nullptr);
    EXPECT_FALSE(MusicFileOpsComplete());
    EXPECT_EQ(OpenMusicFile(123), nullptr);

    SetMusicFileOps(OpenMusicResource, CloseResourceStream, ReadResourceStream, SeekResourceStream,
                    TellResourceStream);
    ASSERT_TRUE(MusicFileOpsComplete());
    MusicFile* file = OpenMusicFile(123);
    ASSERT_NE(file, nullptr);
    uint8_t out[3] = {};
    MusicSeek(file, 2, 0);
    MusicRead(out, 3, file);
    EXPECT_EQ(out[0], 3);
    EXPECT_EQ(out[2], 5);
    EXPECT_EQ(MusicTell(file), 5);
    CloseMusicFile(file);

    // No handle: reads and seeks do nothing, tell is 0.
    MusicRead(out, 3, nullptr);
    MusicSeek(nullptr, 1, 0);
    EXPECT_EQ(MusicTell(nullptr), 0);
    CloseMusicFile(nullptr);
    SetMusicFileOps(nullptr, nullptr, nullptr, nullptr, nullptr);
}

} // namespace
