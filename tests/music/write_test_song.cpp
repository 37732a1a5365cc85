// Writes one of the fixed test songs as an XM file: for the xm2wav test, the
// fuzzer's seed corpus, and for listening to what the golden test pins.
#include <cstdio>
#include <string>

#include "test_songs.h"

int main(int argc, char** argv) {
    const std::string name = argc == 3 ? argv[1] : "";
    XmSong song;
    if (name == "golden")
        song = GoldenSong(true);
    else if (name == "amiga")
        song = GoldenSong(false);
    else if (name == "busy")
        song = BusySong();
    else if (name == "tiny")
        song = TinySong();
    else if (name == "rules")
        song = RulesSeedSong();
    else {
        std::fprintf(stderr, "Usage: write_test_song golden|amiga|busy|tiny|rules OUT.xm\n");
        return 2;
    }
    const std::vector<uint8_t> bytes = WriteXm(song);
    FILE* file = std::fopen(argv[2], "wb");
    if (file == nullptr || std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size() ||
        std::fclose(file) != 0) {
        std::fprintf(stderr, "write_test_song: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
