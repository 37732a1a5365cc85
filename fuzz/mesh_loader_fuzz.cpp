// Any bytes as mesh resource 107: the loader and the preparation refuse them
// or accept them without reading outside what they allocated, and leave
// nothing allocated after a refusal.
//
// An input that starts with 'P' is a list of patches (a 16-bit offset and a
// byte each) over a well-formed resource of 49 tetrahedra, so that the
// fuzzer also reaches the preparation, which needs a whole resource; any
// other input is the resource itself.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "../tests/character/test_resources.h"
#include "character/mesh.h"
#include "core/resources.h"

namespace {

class FuzzBytes final : public ResourceSource {
  public:
    FuzzBytes(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    bool Find(const char*, int id, ResourceBytes& out) override {
        if (id != kMeshResourceId)
            return false;
        out.data = data_;
        out.size = size_;
        return true;
    }

  private:
    const uint8_t* data_;
    size_t size_;
};

// Reads everything a drawing reads, so that a bad index shows up.
float Touch(const Mesh& mesh) {
    float sum = 0.0f;
    for (int32_t f = 0; f < mesh.faceCount; ++f)
        for (int k = 0; k < 3; ++k) {
            sum += mesh.vertices[mesh.faces[f].vertexIndex[k]].position.x;
            sum += mesh.vertices[mesh.faces[f].vertexIndex[k]].normal.y;
            sum += mesh.texCoords[mesh.faces[f].texCoordIndex[k]].u;
            if (mesh.next != nullptr && mesh.next->vertexCount >= mesh.vertexCount)
                sum += mesh.next->vertices[mesh.faces[f].vertexIndex[k]].position.y;
        }
    return sum;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> bytes;
    if (size > 0 && data[0] == 'P') {
        static const std::vector<uint8_t> base =
            testing_resources::Encode(testing_resources::TetrahedronSet());
        bytes = base;
        for (size_t i = 1; i + 3 <= size; i += 3) {
            const size_t at = static_cast<size_t>(data[i] | data[i + 1] << 8);
            if (at < bytes.size())
                bytes[at] = data[i + 2];
            else if (at == 0xFFFF)
                bytes.resize(bytes.size() / 2); // a cut
        }
    } else {
        bytes.assign(data, data + size);
    }
    FuzzBytes source(bytes.data(), bytes.size());
    SetResourceSource(&source);

    Mesh loaded[kMeshCount];
    MeshStatus status;
    const int32_t count = LoadMeshes(kMeshResourceId, loaded, kMeshCount, status);
    volatile float sink = 0.0f;
    for (int32_t i = 0; i < count; ++i)
        sink = sink + Touch(loaded[i]);
    if (count > 0)
        FreeMeshArrays(loaded, count);

    if (PrepareCharacterMeshes(status)) {
        for (int i = 0; i < kMeshCount; ++i)
            sink = sink + Touch(meshes[i]);
        FreeCharacterMeshes();
    }
    char text[256];
    FormatMeshError(status, text, sizeof text);
    SetResourceSource(nullptr);
    return 0;
}
