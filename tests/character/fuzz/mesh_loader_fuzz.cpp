// Any bytes as resource 107: the loader and the preparation must refuse or
// accept them without reading outside what they allocated, and leave
// nothing allocated after a refusal.
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "character/mesh.h"
#include "platform/resources.h"

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

// Reads everything a drawing would read, so that a bad index shows up.
float Touch(const Mesh& mesh) {
    float sum = 0.0f;
    for (int32_t f = 0; f < mesh.faceCount; ++f)
        for (int k = 0; k < 3; ++k) {
            sum += mesh.vertices[mesh.faces[f].vertexIndex[k]].position.x;
            sum += mesh.texCoords[mesh.faces[f].texCoordIndex[k]].u;
            if (mesh.next != nullptr && mesh.next->vertexCount >= mesh.vertexCount)
                sum += mesh.next->vertices[mesh.faces[f].vertexIndex[k]].position.y;
        }
    return sum;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzBytes bytes(data, size);
    SetResourceSource(&bytes);

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
