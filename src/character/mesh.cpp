#include "character/mesh.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>

#include "core/resource_stream.h"

Mesh* meshes = nullptr;

namespace {

constexpr int64_t kMeshHeaderBytes = 6 * 4 + 3 * 4;
constexpr int64_t kFaceBytes = 6 * 4;
constexpr int64_t kVertexBytes = 3 * 4;
constexpr int64_t kTexCoordBytes = 2 * 4;

// One 4-byte read, assembled little-endian. The caller has checked that the
// bytes are there, so the read is never cut short.
uint32_t ReadWord(ResourceStream* stream) {
    uint8_t bytes[4] = {0, 0, 0, 0};
    ReadResourceStream(bytes, 4, stream);
    return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
           static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

int32_t ReadInt(ResourceStream* stream) {
    return static_cast<int32_t>(ReadWord(stream));
}

float ReadFloat(ResourceStream* stream) {
    const uint32_t word = ReadWord(stream);
    float value;
    std::memcpy(&value, &word, sizeof value);
    return value;
}

bool Finite(const Vec3& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

int64_t Remaining(ResourceStream* stream) {
    return static_cast<int64_t>(stream->size) - stream->position;
}

MeshStatus Fail(MeshError error, int32_t mesh, int32_t item = -1, int64_t value = -1) {
    MeshStatus status;
    status.error = error;
    status.mesh = mesh;
    status.item = item;
    status.value = value;
    return status;
}

// Reads the body of one mesh whose header has been read; the counts are
// known to fit the remaining bytes.
MeshStatus ReadMeshArrays(ResourceStream* stream, Mesh& mesh, int32_t index) {
    mesh.faces = new (std::nothrow) Face[static_cast<size_t>(mesh.faceCount)];
    mesh.vertices = new (std::nothrow) Vertex[static_cast<size_t>(mesh.vertexCount)];
    mesh.texCoords = new (std::nothrow) TexCoord[static_cast<size_t>(mesh.texCoordCount)];
    if (mesh.faces == nullptr || mesh.vertices == nullptr || mesh.texCoords == nullptr)
        return Fail(MeshError::OutOfMemory, index);

    for (int32_t f = 0; f < mesh.faceCount; ++f) {
        Face& face = mesh.faces[f];
        for (int k = 0; k < 3; ++k)
            face.vertexIndex[k] = ReadInt(stream);
        for (int k = 0; k < 3; ++k)
            face.texCoordIndex[k] = ReadInt(stream);
        for (int k = 0; k < 3; ++k) {
            if (face.vertexIndex[k] < 0 || face.vertexIndex[k] >= mesh.vertexCount ||
                face.texCoordIndex[k] < 0 || face.texCoordIndex[k] >= mesh.texCoordCount)
                return Fail(MeshError::IndexOutOfRange, index, f);
        }
    }
    for (int32_t v = 0; v < mesh.vertexCount; ++v) {
        Vec3& p = mesh.vertices[v].position;
        p.x = ReadFloat(stream);
        p.y = ReadFloat(stream);
        p.z = ReadFloat(stream);
        if (!Finite(p))
            return Fail(MeshError::NotFinite, index);
    }
    for (int32_t t = 0; t < mesh.texCoordCount; ++t) {
        mesh.texCoords[t].u = ReadFloat(stream);
        mesh.texCoords[t].v = ReadFloat(stream);
        if (!std::isfinite(mesh.texCoords[t].u) || !std::isfinite(mesh.texCoords[t].v))
            return Fail(MeshError::NotFinite, index);
    }
    return MeshStatus{};
}

MeshStatus ReadMeshes(ResourceStream* stream, Mesh* meshes, int32_t capacity, int32_t& count) {
    count = 0;
    if (stream->data == nullptr)
        return Fail(MeshError::Missing, -1);
    if (Remaining(stream) < 4)
        return Fail(MeshError::Short, -1);
    const int32_t meshCount = ReadInt(stream);
    if (meshCount < 0)
        return Fail(MeshError::NegativeCount, -1, -1, meshCount);
    if (meshCount > capacity)
        return Fail(MeshError::TooManyMeshes, -1, -1, meshCount);

    for (int32_t i = 0; i < meshCount; ++i) {
        Mesh& mesh = meshes[i];
        mesh = Mesh{};
        count = i + 1; // this record may now own arrays
        if (Remaining(stream) < kMeshHeaderBytes)
            return Fail(MeshError::Short, i);
        mesh.position.x = ReadFloat(stream);
        mesh.position.y = ReadFloat(stream);
        mesh.position.z = ReadFloat(stream);
        mesh.rotation.x = ReadFloat(stream);
        mesh.rotation.y = ReadFloat(stream);
        mesh.rotation.z = ReadFloat(stream);
        mesh.faceCount = ReadInt(stream);
        mesh.vertexCount = ReadInt(stream);
        mesh.texCoordCount = ReadInt(stream);
        if (!Finite(mesh.position) || !Finite(mesh.rotation))
            return Fail(MeshError::NotFinite, i);
        if (mesh.faceCount < 0 || mesh.vertexCount < 0 || mesh.texCoordCount < 0) {
            const int32_t bad = mesh.faceCount < 0     ? mesh.faceCount
                                : mesh.vertexCount < 0 ? mesh.vertexCount
                                                       : mesh.texCoordCount;
            mesh.faceCount = mesh.vertexCount = mesh.texCoordCount = 0;
            return Fail(MeshError::NegativeCount, i, -1, bad);
        }
        // Checked in 64 bits before anything is allocated, so a huge count
        // is refused as a short resource instead of being allocated.
        const int64_t needed = mesh.faceCount * kFaceBytes + mesh.vertexCount * kVertexBytes +
                               mesh.texCoordCount * kTexCoordBytes;
        if (needed > Remaining(stream)) {
            mesh.faceCount = mesh.vertexCount = mesh.texCoordCount = 0;
            return Fail(MeshError::Short, i);
        }
        const MeshStatus read = ReadMeshArrays(stream, mesh, i);
        if (read.error != MeshError::None)
            return read;
    }
    if (Remaining(stream) != 0)
        return Fail(MeshError::TrailingBytes, -1, -1, Remaining(stream));
    return MeshStatus{};
}

// The keyframes of one piece must share the first keyframe's counts and face
// list: drawing blends a face's corners with the next keyframe's vertices.
MeshStatus CheckRing(const Mesh* meshes, int first, int step) {
    const Mesh& reference = meshes[first];
    for (int k = 1; k < kKeyframeCount; ++k) {
        const int index = first + k * step;
        const Mesh& mesh = meshes[index];
        if (mesh.faceCount != reference.faceCount || mesh.vertexCount != reference.vertexCount ||
            mesh.texCoordCount != reference.texCoordCount)
            return Fail(MeshError::KeyframesDiffer, index);
        for (int32_t f = 0; f < mesh.faceCount; ++f) {
            const Face& a = mesh.faces[f];
            const Face& b = reference.faces[f];
            if (std::memcmp(a.vertexIndex, b.vertexIndex, sizeof a.vertexIndex) != 0 ||
                std::memcmp(a.texCoordIndex, b.texCoordIndex, sizeof a.texCoordIndex) != 0)
                return Fail(MeshError::KeyframesDiffer, index, f);
        }
    }
    return MeshStatus{};
}

MeshStatus PrepareLoaded(Mesh* meshes) {
    MeshStatus status = CheckRing(meshes, kFirstBodyMesh, 2);
    if (status.error == MeshError::None)
        status = CheckRing(meshes, kFirstHeadMesh, 2);
    if (status.error == MeshError::None)
        status = CheckRing(meshes, kFirstSwordMesh, 1);
    if (status.error != MeshError::None)
        return status;

    // The dome: file (x, y, z) becomes scene (x, z, y) at ten times the size.
    ScaleMesh(meshes[kDomeMesh], 10.0f);
    SwapMeshYZ(meshes[kDomeMesh]);

    // The character: file (x, y, z) becomes scene (y, z, x) at a tenth.
    for (int i = 1; i < kMeshCount; ++i) {
        Mesh& mesh = meshes[i];
        ScaleMesh(mesh, 0.1f);
        SwapMeshYZ(mesh);
        SwapMeshXZ(mesh);
        int32_t badFace = -1;
        if (!ComputeFaceNormals(mesh, &badFace))
            return Fail(MeshError::DegenerateFace, i, badFace);
        if (!ComputeVertexNormals(mesh))
            return Fail(MeshError::OutOfMemory, i);
    }

    meshes[kDomeMesh].material = kDomeMaterial;
    meshes[kDomeMesh].next = &meshes[kDomeMesh];
    for (int k = 0; k < kKeyframeCount; ++k) {
        const int following = (k + 1) % kKeyframeCount;
        Mesh& body = meshes[kFirstBodyMesh + 2 * k];
        Mesh& head = meshes[kFirstHeadMesh + 2 * k];
        Mesh& sword = meshes[kFirstSwordMesh + k];
        body.material = kBodyMaterial;
        head.material = kHeadMaterial;
        sword.material = kSwordMaterial;
        body.next = &meshes[kFirstBodyMesh + 2 * following];
        head.next = &meshes[kFirstHeadMesh + 2 * following];
        sword.next = &meshes[kFirstSwordMesh + following];

        head.position.x -= 1.5f;
        head.position.z -= 0.5f;
        head.rotation = Vec3Set(-head.rotation.x, -head.rotation.y, -head.rotation.z);

        sword.position.y += 12.5f;
        sword.position.z -= 3.5f;
        sword.rotation = Vec3Set(-0.0343306288f, -0.230121672f, 1.43226957f);
    }
    return MeshStatus{};
}

} // namespace

int32_t LoadMeshes(int resourceId, Mesh* meshes, int32_t capacity, MeshStatus& status) {
    status = MeshStatus{};
    ResourceStream* stream = OpenResourceStream(resourceId, kMeshResourceType);
    if (stream == nullptr) {
        status = Fail(MeshError::OutOfMemory, -1);
        return -1;
    }
    int32_t count = 0;
    status = ReadMeshes(stream, meshes, capacity, count);
    CloseResourceStream(stream);
    if (status.error != MeshError::None) {
        FreeMeshArrays(meshes, count);
        return -1;
    }
    return count;
}

void FreeMeshArrays(Mesh* meshes, int32_t count) {
    if (meshes == nullptr)
        return;
    for (int32_t i = 0; i < count; ++i) {
        delete[] meshes[i].faces;
        delete[] meshes[i].vertices;
        delete[] meshes[i].texCoords;
        meshes[i] = Mesh{};
    }
}

void ScaleMesh(Mesh& mesh, float factor) {
    for (int32_t v = 0; v < mesh.vertexCount; ++v)
        mesh.vertices[v].position = Vec3Scale(mesh.vertices[v].position, factor);
    mesh.position = Vec3Scale(mesh.position, factor);
}

void SwapMeshYZ(Mesh& mesh) {
    for (int32_t v = 0; v < mesh.vertexCount; ++v) {
        Vec3& p = mesh.vertices[v].position;
        p = Vec3Set(p.x, p.z, p.y);
    }
    mesh.position = Vec3Set(mesh.position.x, mesh.position.z, mesh.position.y);
    mesh.rotation = Vec3Set(mesh.rotation.x, mesh.rotation.z, mesh.rotation.y);
}

void SwapMeshXZ(Mesh& mesh) {
    for (int32_t v = 0; v < mesh.vertexCount; ++v) {
        Vec3& p = mesh.vertices[v].position;
        p = Vec3Set(p.z, p.y, p.x);
    }
    mesh.position = Vec3Set(mesh.position.z, mesh.position.y, mesh.position.x);
    mesh.rotation = Vec3Set(mesh.rotation.z, mesh.rotation.y, mesh.rotation.x);
}

bool ComputeFaceNormals(Mesh& mesh, int32_t* badFace) {
    bool allGood = true;
    for (int32_t f = 0; f < mesh.faceCount; ++f) {
        Face& face = mesh.faces[f];
        const Vec3& p0 = mesh.vertices[face.vertexIndex[0]].position;
        const Vec3& p1 = mesh.vertices[face.vertexIndex[1]].position;
        const Vec3& p2 = mesh.vertices[face.vertexIndex[2]].position;
        const Vec3 e1 = Vec3Set(p1.x - p0.x, p1.y - p0.y, p1.z - p0.z);
        const Vec3 e2 = Vec3Set(p2.x - p0.x, p2.y - p0.y, p2.z - p0.z);
        const Vec3 n = Vec3Set(e1.y * e2.z - e1.z * e2.y, e1.z * e2.x - e1.x * e2.z,
                               e1.x * e2.y - e1.y * e2.x);
        const float length = Vec3Length(n);
        const Vec3 unit = Vec3Scale(n, 1.0f / length);
        // A zero, denormal or overflowing cross product has no direction.
        if (!(length > 0.0f) || !Finite(unit)) {
            face.normal = Vec3{};
            if (allGood && badFace != nullptr)
                *badFace = f;
            allGood = false;
            continue;
        }
        face.normal = unit;
    }
    return allGood;
}

bool ComputeVertexNormals(Mesh& mesh) {
    int32_t* counts = new (std::nothrow) int32_t[static_cast<size_t>(mesh.vertexCount)]();
    int32_t* firstFace = new (std::nothrow) int32_t[static_cast<size_t>(mesh.vertexCount)];
    if (counts == nullptr || firstFace == nullptr) {
        delete[] counts;
        delete[] firstFace;
        return false;
    }
    for (int32_t v = 0; v < mesh.vertexCount; ++v) {
        mesh.vertices[v].normal = Vec3{};
        firstFace[v] = -1;
    }
    // Faces are added in array order, so each vertex sums its faces in the
    // same order as a per-vertex search through the face list would.
    for (int32_t f = 0; f < mesh.faceCount; ++f) {
        const Face& face = mesh.faces[f];
        for (int k = 0; k < 3; ++k) {
            const int32_t j = face.vertexIndex[k];
            if ((k >= 1 && j == face.vertexIndex[0]) || (k == 2 && j == face.vertexIndex[1]))
                continue; // a face counts once however many of its corners are j
            Vec3& sum = mesh.vertices[j].normal;
            sum = Vec3Set(sum.x + face.normal.x, sum.y + face.normal.y, sum.z + face.normal.z);
            if (counts[j]++ == 0)
                firstFace[j] = f;
        }
    }
    for (int32_t v = 0; v < mesh.vertexCount; ++v) {
        Vec3& normal = mesh.vertices[v].normal;
        if (counts[v] == 0) {
            normal = Vec3Set(0.0f, 1.0f, 0.0f); // never drawn: no face uses it
            continue;
        }
        const Vec3 average = Vec3Scale(normal, 1.0f / static_cast<float>(counts[v]));
        const float length = Vec3Length(average);
        const Vec3 unit = Vec3Scale(average, 1.0f / length);
        normal = (length > 0.0f && Finite(unit)) ? unit : mesh.faces[firstFace[v]].normal;
    }
    delete[] counts;
    delete[] firstFace;
    return true;
}

bool PrepareCharacterMeshes(MeshStatus& status) {
    FreeCharacterMeshes();
    status = MeshStatus{};
    Mesh* loaded = new (std::nothrow) Mesh[kMeshCount];
    if (loaded == nullptr) {
        status = Fail(MeshError::OutOfMemory, -1);
        return false;
    }
    const int32_t count = LoadMeshes(kMeshResourceId, loaded, kMeshCount, status);
    if (count >= 0 && count != kMeshCount)
        status = Fail(MeshError::WrongMeshCount, -1, -1, count);
    if (status.error == MeshError::None)
        status = PrepareLoaded(loaded);
    if (status.error != MeshError::None) {
        FreeMeshArrays(loaded, kMeshCount);
        delete[] loaded;
        return false;
    }
    meshes = loaded;
    return true;
}

void FreeCharacterMeshes() {
    FreeMeshArrays(meshes, kMeshCount);
    delete[] meshes;
    meshes = nullptr;
}

int FormatMeshError(const MeshStatus& status, char* out, int capacity) {
    if (out == nullptr || capacity <= 0)
        return 0;
    char detail[128];
    const int mesh = status.mesh;
    const int item = status.item;
    const long long value = static_cast<long long>(status.value);
    switch (status.error) {
    case MeshError::None:
        std::snprintf(detail, sizeof detail, "sin errores");
        break;
    case MeshError::Missing:
        detail[0] = '\0';
        break;
    case MeshError::Short:
        if (mesh >= 0)
            std::snprintf(detail, sizeof detail, "termina antes de tiempo en la malla %d", mesh);
        else
            std::snprintf(detail, sizeof detail, "termina antes de tiempo");
        break;
    case MeshError::TooManyMeshes:
        std::snprintf(detail, sizeof detail, "anuncia %lld mallas y solo caben %d", value,
                      kMeshCount);
        break;
    case MeshError::WrongMeshCount:
        std::snprintf(detail, sizeof detail, "tiene %lld mallas y se necesitan %d", value,
                      kMeshCount);
        break;
    case MeshError::NegativeCount:
        std::snprintf(detail, sizeof detail, "tiene una cuenta negativa (%lld) en la malla %d",
                      value, mesh);
        break;
    case MeshError::IndexOutOfRange:
        std::snprintf(detail, sizeof detail,
                      "la cara %d de la malla %d usa un indice fuera de rango", item, mesh);
        break;
    case MeshError::NotFinite:
        std::snprintf(detail, sizeof detail, "la malla %d tiene un valor no finito", mesh);
        break;
    case MeshError::TrailingBytes:
        std::snprintf(detail, sizeof detail, "sobran %lld bytes tras la ultima malla", value);
        break;
    case MeshError::KeyframesDiffer:
        std::snprintf(detail, sizeof detail,
                      "la malla %d no tiene las mismas caras que su primer fotograma", mesh);
        break;
    case MeshError::DegenerateFace:
        std::snprintf(detail, sizeof detail, "la cara %d de la malla %d no tiene area", item, mesh);
        break;
    case MeshError::OutOfMemory:
        std::snprintf(detail, sizeof detail, "no hay memoria para cargarlo");
        break;
    }
    const int written =
        status.error == MeshError::Missing
            ? std::snprintf(out, static_cast<size_t>(capacity),
                            "No se encuentra el recurso de mallas %d.", kMeshResourceId)
            : std::snprintf(out, static_cast<size_t>(capacity),
                            "El recurso de mallas %d esta danado: %s.", kMeshResourceId, detail);
    return written < 0 ? 0 : (written >= capacity ? capacity - 1 : written);
}
