// Helpers of the music tests: load a module written by the XM writer, and a
// fixture with the mixer set up at 44,100 Hz.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "music/mixer.h"
#include "music/song.h"
#include "xm_test_writer.h"

struct SongDeleter {
    void operator()(Song* song) const { FreeSong(song); }
};
using SongPtr = std::unique_ptr<Song, SongDeleter>;

// Loads the bytes through the music file table, as the saver loads its module.
SongPtr LoadXm(const std::vector<uint8_t>& bytes, SongLoadError* error = nullptr);
inline SongPtr LoadXm(const XmSong& song, SongLoadError* error = nullptr) {
    return LoadXm(WriteXm(song), error);
}

// A song of `channels` channels and one 64-row pattern, and one instrument
// whose 16-bit sample of 1000 values loops forward over all of it.
XmSong OneInstrumentSong(int channels = 1);

// FNV-1a over the little-endian bytes of rendered 16-bit frames.
struct PcmHash {
    uint64_t value = 14695981039346656037ull;
    int64_t frames = 0;
};
// Renders `seconds` of song from its start through the ring (RenderSong) and
// hashes the frames; the mixer must be set up (MixerTest).
PcmHash RenderHash(Song* song, double seconds);

// The first frames of song from its start through the ring (RenderSong), as
// interleaved stereo samples; the mixer must be set up.
std::vector<int16_t> RenderFrames(Song* song, int64_t frames);

// The mixer at 44,100 Hz with its ring; the song is detached afterwards.
class MixerTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;
};
