// libFuzzer target for the XM loader and the engine behind it: load the
// bytes as the music module, then render two seconds of it through the ring
// exactly as the saver would.
#include <cstddef>
#include <cstdint>

#include "music/mixer.h"
#include "music/song_source.h"

namespace {

bool Discard(const int16_t*, int32_t, void*) {
    return true;
}

bool SetUpMixer() {
    return SetMixRate(44100) && AllocateMixRing();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ready = SetUpMixer();
    if (!ready)
        return 0;
    Song* song = LoadSongFromMemory(data, size);
    if (song != nullptr) {
        RenderSong(song, 2 * 44100, Discard, nullptr);
        FreeSong(song);
    }
    return 0;
}
