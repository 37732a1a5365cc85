// The page's own music over the null device: a module that loads replaces
// the music; one that cannot be loaded is refused by what it is while the
// music that plays goes on.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "music/mixer.h"
#include "music/wave_output.h"
#include "music_test_util.h"
#include "shell/page_music.h"

namespace {

// size zero bytes with tag at offset.
std::vector<uint8_t> Tagged(size_t size, size_t offset, const char* tag) {
    std::vector<uint8_t> bytes(size, 0);
    std::memcpy(&bytes[offset], tag, std::strlen(tag));
    return bytes;
}

TEST(PageMusic, AModuleReplacesTheMusicAndARefusedOneLeavesItPlaying) {
    ResetNullWave();
    const std::vector<uint8_t> first = WriteXm(OneInstrumentSong(2));
    EXPECT_STREQ(PlayPageModule(NullWaveDevice(), first.data(), first.size()), "");
    const Song* playing = playback.musicSong;
    ASSERT_NE(playing, nullptr);

    XmSong noOrders = OneInstrumentSong(2);
    noOrders.orders.clear();
    const struct {
        std::vector<uint8_t> bytes;
        const char* refusal;
    } refused[] = {
        {Tagged(1084, 1080, "M.K."), "es un módulo MOD, no XM; solo se tocan módulos XM"},
        {Tagged(2048, 44, "SCRM"), "es un módulo S3M, no XM; solo se tocan módulos XM"},
        {Tagged(2048, 0, "IMPM"), "es un módulo IT, no XM; solo se tocan módulos XM"},
        {Tagged(64, 0, "hola"), "no es un módulo XM"},
        {{}, "no es un módulo XM"},
        {WriteXm(noOrders), "es un módulo XM dañado"},
    };
    for (const auto& module : refused) {
        SCOPED_TRACE(module.refusal);
        EXPECT_STREQ(PlayPageModule(NullWaveDevice(), module.bytes.data(), module.bytes.size()),
                     module.refusal);
        // Not even restarted: the same song on the same playback.
        EXPECT_EQ(playback.musicSong, playing);
        EXPECT_EQ(mixRing.currentSong, playing);
        EXPECT_TRUE(NullWave().playing);
        EXPECT_EQ(NullWave().plays, 1);
    }

    const std::vector<uint8_t> second = WriteXm(OneInstrumentSong(3));
    EXPECT_STREQ(PlayPageModule(NullWaveDevice(), second.data(), second.size()), "");
    EXPECT_NE(playback.musicSong, nullptr);
    EXPECT_EQ(NullWave().plays, 2);

    NullWave().refuseOpen = true;
    testing::internal::CaptureStdout(); // the start's own report of it
    EXPECT_STREQ(PlayPageModule(NullWaveDevice(), first.data(), first.size()), kPageNoSound);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(playback.musicSong, nullptr);
    StopMusic();
    ResetNullWave();
}

} // namespace
