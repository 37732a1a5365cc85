// Composes the screen saver's music and writes it as an XM module
// (resource 123, "VOXARESOURCE"). Deterministic: the same program always
// writes the same bytes.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "common/file_bytes.h"
#include "song.h"
#include "xm_writer.h"

int main(int argc, char** argv) {
    if (argc != 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
        std::fprintf(stderr,
                     "usage: gen_song OUT.xm\n"
                     "Composes the screen saver's music (\"Dusk Walk\", about 95 s, looping)\n"
                     "and writes it as an Extended Module.\n");
        return argc == 2 ? 0 : 2;
    }
    xm::Module module;
    std::string error;
    if (!song::ComposeSong(module, error)) {
        std::fprintf(stderr, "gen_song: the arrangement is inconsistent: %s\n", error.c_str());
        return 1;
    }
    std::vector<uint8_t> bytes;
    if (!xm::WriteModule(module, bytes, error)) {
        std::fprintf(stderr, "gen_song: cannot encode the module: %s\n", error.c_str());
        return 1;
    }
    if (!common::WriteWholeFile(argv[1], bytes)) {
        std::fprintf(stderr, "gen_song: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
