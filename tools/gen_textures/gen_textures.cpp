// Writes one texture bitmap: 256 x 256, 8-bit paletted.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "pictures.h"

int main(int argc, char** argv) {
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::printf("usage: gen_textures ID OUTPUT\n"
                    "Writes texture bitmap ID (108 glow, 109 sky, 111 clothing, 114 dry earth,\n"
                    "115 sword, 117 lava, 120 dark clothing, 121 halo, 122 face and hair) as a\n"
                    "256 x 256 8-bit paletted bitmap file.\n");
        return 0;
    }
    if (argc != 3) {
        std::fprintf(stderr, "usage: gen_textures ID OUTPUT (see --help)\n");
        return 2;
    }
    char* end = nullptr;
    const long id = std::strtol(argv[1], &end, 10);
    paint::Picture picture;
    bool reserveBlack = false;
    if (end == argv[1] || *end != '\0' ||
        !paint::PaintTexture(static_cast<int>(id), picture, reserveBlack)) {
        std::fprintf(stderr, "gen_textures: no texture bitmap %s (see --help)\n", argv[1]);
        return 2;
    }
    if (!paint::WriteBitmap(picture, argv[2], reserveBlack)) {
        std::fprintf(stderr, "gen_textures: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
