// Host refusal of a missing heightmap: one line on standard error.
#include <cstdio>
#include <cstdlib>

#include "scene/scene.h"

void RefuseMissingHeightmap() {
    std::fprintf(stderr, "%s\n", kMissingHeightmapMessage);
    std::exit(1);
}
