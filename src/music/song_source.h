// Songs from memory and block-by-block rendering, for the host tools, the
// fuzzer and the tests.
//
// A module held in memory is loaded through the same path as the embedded
// one: the music file table over a resource stream. Rendering drives
// FillBlock block by block exactly as an output device does, and hands each
// block's 16-bit frames to a sink instead of a sound card.
#pragma once

#include <cstddef>
#include <cstdint>

#include "music/song.h"

// The resource id the music uses.
inline constexpr int kMusicResourceId = 123;

// Loads an XM module from bytes (not kept after the call). Installs the
// music file table's stream operations, as the music start does.
Song* LoadSongFromMemory(const uint8_t* bytes, size_t size, SongLoadError* error = nullptr);

// Receives count interleaved stereo frames; false stops the rendering.
using PcmSink = bool (*)(const int16_t* frames, int32_t count, void* user);

// Starts song from its beginning (StartSong) and fills the ring block after
// block, handing each block to sink, until frames frames have been handed
// over (the last block cut short) or the sink says stop. Needs the rate set
// and the ring allocated (mixer.h). Returns the frames handed over.
int64_t RenderSong(Song* song, int64_t frames, PcmSink sink, void* user);
