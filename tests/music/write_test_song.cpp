// Writes one of the fixed test songs as an XM file: for the xm2wav test, the
// fuzzer's seed corpus, and for listening to what the golden test pins.
#include <cstdio>
#include <cstring>

#include "test_songs.h"

int main(int argc, char** argv) {
    if (argc != 3 || (std::strcmp(argv[1], "golden") != 0 && std::strcmp(argv[1], "amiga") != 0 &&
                      std::strcmp(argv[1], "busy") != 0)) {
        std::fprintf(stderr, "Usage: write_test_song golden|amiga|busy OUT.xm\n");
        return 2;
    }
    const XmSong song = std::strcmp(argv[1], "busy") == 0    ? BusySong()
                        : std::strcmp(argv[1], "amiga") == 0 ? GoldenSong(false)
                                                             : GoldenSong(true);
    const std::vector<uint8_t> bytes = WriteXm(song);
    FILE* file = std::fopen(argv[2], "wb");
    if (file == nullptr || std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size() ||
        std::fclose(file) != 0) {
        std::fprintf(stderr, "write_test_song: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
