// libFuzzer target for the replay and the mixer: the fuzz bytes become the
// cells (and the speed, tempo, restart and frequency table) of the golden
// test song, whose instruments stay valid, so every input reaches the
// effects.
#include <cstddef>
#include <cstdint>

#include "music/mixer.h"
#include "music/song_source.h"
#include "test_songs.h"

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
    if (!ready || size < 5)
        return 0;
    XmSong xm = GoldenSong(data[0] & 1);
    xm.tempo = data[1];
    xm.bpm = data[2];
    xm.restartPosition = data[3];
    // The cells take the remaining bytes over and over, so that even a short
    // input fills whole patterns.
    const uint8_t* cells = data + 4;
    const size_t count = size - 4;
    size_t next = 0;
    for (XmPattern& pattern : xm.patterns) {
        for (XmCell& cell : pattern.cells) {
            cell = {cells[next % count], cells[(next + 1) % count], cells[(next + 2) % count],
                    cells[(next + 3) % count], cells[(next + 4) % count]};
            next += 5;
        }
    }
    const std::vector<uint8_t> bytes = WriteXm(xm);
    Song* song = LoadSongFromMemory(bytes.data(), bytes.size());
    if (song != nullptr) {
        RenderSong(song, 2 * 44100, Discard, nullptr);
        FreeSong(song);
    }
    return 0;
}
