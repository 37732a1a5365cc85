// Writes resource 107: the sky dome and the sixteen keyframes of the body,
// the head and the sword, in the resource's format.
#include <cstdio>
#include <cstring>

#include "character_art/character_model.h"
#include "common/file_bytes.h"

int main(int argc, char** argv) {
    if (argc != 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
        std::fprintf(argc == 2 ? stdout : stderr,
                     "usage: gen_meshes OUTPUT\n"
                     "Writes the 49 meshes of resource 107 (sky dome, body, head and sword\n"
                     "keyframes) to OUTPUT.\n");
        return argc == 2 ? 0 : 2;
    }
    if (!common::WriteWholeFile(argv[1], art::BuildMeshResource())) {
        std::fprintf(stderr, "gen_meshes: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
