// Test helpers: an in-memory resource source and a writer of mesh resources
// in the stored format.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "core/resources.h"

namespace testing_resources {

// Serves resources from memory while it lives, then restores the previous
// source.
class MemoryResources final : public ResourceSource {
  public:
    MemoryResources() : previous_(GetResourceSource()) { SetResourceSource(this); }
    ~MemoryResources() { SetResourceSource(previous_); }
    MemoryResources(const MemoryResources&) = delete;
    MemoryResources& operator=(const MemoryResources&) = delete;

    void Put(const char* type, int id, std::vector<uint8_t> bytes) {
        resources_[Key(type, id)] = std::move(bytes);
    }
    bool Find(const char* typeName, int id, ResourceBytes& out) override {
        auto found = resources_.find(Key(typeName, id));
        if (found == resources_.end())
            return false;
        out.data = found->second.data();
        out.size = found->second.size();
        return true;
    }

  private:
    static std::string Key(const char* type, int id) {
        return std::string(type) + "#" + std::to_string(id);
    }
    std::map<std::string, std::vector<uint8_t>> resources_;
    ResourceSource* previous_;
};

// One mesh as the file stores it.
struct RawMesh {
    std::array<float, 3> position = {0, 0, 0};
    std::array<float, 3> rotation = {0, 0, 0};
    std::vector<std::array<int32_t, 6>> faces;
    std::vector<std::array<float, 3>> vertices;
    std::vector<std::array<float, 2>> texCoords;
};

inline void PutWord(std::vector<uint8_t>& out, uint32_t w) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(w >> (8 * i)));
}
inline void PutFloat(std::vector<uint8_t>& out, float f) {
    uint32_t w;
    std::memcpy(&w, &f, 4);
    PutWord(out, w);
}

inline std::vector<uint8_t> Encode(const std::vector<RawMesh>& meshes) {
    std::vector<uint8_t> out;
    PutWord(out, static_cast<uint32_t>(meshes.size()));
    for (const RawMesh& m : meshes) {
        for (float f : m.position)
            PutFloat(out, f);
        for (float f : m.rotation)
            PutFloat(out, f);
        PutWord(out, static_cast<uint32_t>(m.faces.size()));
        PutWord(out, static_cast<uint32_t>(m.vertices.size()));
        PutWord(out, static_cast<uint32_t>(m.texCoords.size()));
        for (const auto& f : m.faces)
            for (int32_t i : f)
                PutWord(out, static_cast<uint32_t>(i));
        for (const auto& v : m.vertices)
            for (float f : v)
                PutFloat(out, f);
        for (const auto& t : m.texCoords)
            for (float f : t)
                PutFloat(out, f);
    }
    return out;
}

// A closed tetrahedron, outward in the scene once prepared, scaled by size.
inline RawMesh Tetrahedron(float size = 10.0f) {
    RawMesh m;
    m.vertices = {{0, 0, 0}, {size, 0, 0}, {0, size, 0}, {0, 0, size}};
    m.texCoords = {{0, 0}, {1, 0}, {0, 1}, {1, 1}};
    m.faces = {{0, 2, 1, 0, 2, 1}, {0, 1, 3, 0, 1, 3}, {0, 3, 2, 0, 3, 2}, {1, 2, 3, 1, 2, 3}};
    return m;
}

// 49 tetrahedra: the smallest resource the preparation accepts.
inline std::vector<RawMesh> TetrahedronSet() {
    std::vector<RawMesh> meshes(49, Tetrahedron());
    for (int i = 0; i < 49; ++i) {
        meshes[i].position = {static_cast<float>(i), static_cast<float>(2 * i),
                              static_cast<float>(3 * i)};
        meshes[i].rotation = {0.01f * i, 0.02f * i, 0.03f * i};
    }
    return meshes;
}

// Byte offsets in a resource written by Encode.
constexpr size_t kFirstMesh = 4;
constexpr size_t kFaceCountOffset = 24; // from the start of a mesh
constexpr size_t kVertexCountOffset = 28;
constexpr size_t kTexCountOffset = 32;
constexpr size_t kFacesOffset = 36;

inline void PokeWord(std::vector<uint8_t>& bytes, size_t at, uint32_t w) {
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = static_cast<uint8_t>(w >> (8 * i));
}

} // namespace testing_resources
