// Host refusal of a damaged mesh resource: one line on standard error.
#include <cstdio>
#include <cstdlib>

#include "character/mesh.h"

void RefuseDamagedMeshes(const MeshStatus& status) {
    char text[256];
    FormatMeshError(status, text, sizeof text);
    std::fprintf(stderr, "%s\n", text);
    std::exit(1);
}
