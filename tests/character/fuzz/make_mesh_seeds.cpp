// Writes seed inputs for the mesh loader fuzzer into a folder: a complete
// resource of 49 tetrahedra (which the preparation accepts) and a small one.
#include <cstdio>
#include <string>
#include <sys/stat.h>

#include "character/test_resources.h"

namespace {
bool Write(const std::string& path, const std::vector<uint8_t>& bytes) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && ok;
}
} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_mesh_seeds FOLDER\n");
        return 2;
    }
    const std::string folder = argv[1];
    mkdir(folder.c_str(), 0755);
    using namespace testing_resources;
    const bool ok = Write(folder + "/tetrahedra-49", Encode(TetrahedronSet())) &&
                    Write(folder + "/tetrahedra-2", Encode({Tetrahedron(), Tetrahedron(3.0f)}));
    if (!ok)
        std::fprintf(stderr, "make_mesh_seeds: cannot write into %s\n", folder.c_str());
    return ok ? 0 : 1;
}
