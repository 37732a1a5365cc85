// The 49 meshes of resource 107: the sky dome and sixteen keyframes each of
// the body, the head and the sword.
//
// Resource layout (little-endian, packed): int32 meshCount, then per mesh
// position (3 x float32), rotation (3 x float32, radians), faceCount,
// vertexCount, texCoordCount (int32 each), faceCount x 6 int32 (vertex indices
// a, b, c, then texture-coordinate indices a, b, c), vertexCount x 3 float32,
// texCoordCount x 2 float32. Nothing follows the last mesh.
//
// File axes and units differ from the scene's: the dome is scaled by 10 and
// has y and z exchanged; the character meshes are scaled by 0.1 and file
// (x, y, z) becomes scene (y, z, x), so the file's z is the scene's up axis.
#pragma once

#include <cstdint>

#include "core/math3d.h"

struct Face {
    int32_t vertexIndex[3] = {0, 0, 0};
    int32_t texCoordIndex[3] = {0, 0, 0};
    Vec3 normal; // unit length, set by ComputeFaceNormals
};

struct Vertex {
    Vec3 position;
    Vec3 normal; // unit length, set by ComputeVertexNormals
};

struct TexCoord {
    float u = 0.0f;
    float v = 0.0f;
};

struct Mesh {
    Mesh* next = nullptr; // next keyframe of the same piece (a ring)
    Face* faces = nullptr;
    Vertex* vertices = nullptr;
    TexCoord* texCoords = nullptr;
    int32_t faceCount = 0;
    int32_t vertexCount = 0;
    int32_t texCoordCount = 0;
    int32_t material = 0; // texture slot
    Vec3 position;        // reference point, scene units once prepared
    Vec3 rotation;        // Euler angles about x, y, z, radians
};

inline constexpr int kMeshResourceId = 107;
inline constexpr const char* kMeshResourceType = "QTNRESOURCE";
// The scene's array holds exactly this many meshes; the resource must match.
inline constexpr int kMeshCount = 49;

// Indices of the pieces in the array.
inline constexpr int kDomeMesh = 0;
inline constexpr int kFirstBodyMesh = 1;   // 1, 3, ..., 31
inline constexpr int kFirstHeadMesh = 2;   // 2, 4, ..., 32
inline constexpr int kFirstSwordMesh = 33; // 33, 34, ..., 48
inline constexpr int kKeyframeCount = 16;

// Texture slots the pieces are drawn with.
inline constexpr int kDomeMaterial = 0;
inline constexpr int kHeadMaterial = 1;
inline constexpr int kBodyMaterial = 3;
inline constexpr int kNinjaBodyMaterial = 6;
inline constexpr int kSwordMaterial = 7;

// Why a mesh resource was refused.
enum class MeshError {
    None,
    Missing,         // the resource does not exist
    Short,           // ends before the data its counts announce
    TooManyMeshes,   // meshCount above the array's capacity
    WrongMeshCount,  // the scene needs exactly kMeshCount meshes
    NegativeCount,   // a negative mesh, face, vertex or texture-coordinate count
    IndexOutOfRange, // a face names a vertex or texture coordinate that does not exist
    NotFinite,       // a position, angle, vertex or texture coordinate is NaN or infinite
    TrailingBytes,   // bytes left after the last mesh
    KeyframesDiffer, // a keyframe's face list differs from its piece's first keyframe
    DegenerateFace,  // a character triangle without area (no normal)
    OutOfMemory,
};

struct MeshStatus {
    MeshError error = MeshError::None;
    int32_t mesh = -1;  // the mesh concerned, or -1
    int32_t item = -1;  // the face concerned, or -1
    int64_t value = -1; // the count concerned (mesh counts), or -1
};

// Reads the meshes of resource (kMeshResourceType, resourceId) into
// meshes[0 .. capacity-1] through a ResourceStream. Every count is checked
// against the bytes that remain before anything is allocated, every index
// against its array and every float for finiteness, and the resource must end
// exactly after the last mesh. Returns the mesh count, or -1 with status set;
// on failure every array this call allocated is freed again.
int32_t LoadMeshes(int resourceId, Mesh* meshes, int32_t capacity, MeshStatus& status);

// Frees the three arrays of each of count meshes and clears the records.
void FreeMeshArrays(Mesh* meshes, int32_t count);

// Multiplies every vertex position and the mesh position by factor.
void ScaleMesh(Mesh& mesh, float factor);
// Exchanges y and z of every vertex position, the position and the rotation.
void SwapMeshYZ(Mesh& mesh);
// Exchanges x and z of the same three things.
void SwapMeshXZ(Mesh& mesh);
// Each face's unit normal (p1 - p0) x (p2 - p0). Returns false, and the index
// of the first such face in badFace, when a face has no area (its normal is
// then left zero).
bool ComputeFaceNormals(Mesh& mesh, int32_t* badFace = nullptr);
// Each vertex's normal: the sum of the normals of its faces (each face once),
// divided by their number and scaled to unit length. A vertex that no face
// uses gets (0, 1, 0), and one whose face normals cancel out keeps the normal
// of its first face, so that no normal is ever NaN. Needs the face normals.
// Returns false only when its counting buffer cannot be allocated.
bool ComputeVertexNormals(Mesh& mesh);

// The program's array of kMeshCount prepared meshes; null until prepared.
extern Mesh* meshes;

// Loads resource 107 into a new array of kMeshCount meshes and prepares it:
// units and axes, normals, materials, keyframe rings and the head and sword
// corrections. Returns false with status set when the resource is refused;
// meshes is then null. A previous array is freed first.
bool PrepareCharacterMeshes(MeshStatus& status);
// Frees the array and every mesh's arrays; meshes becomes null.
void FreeCharacterMeshes();

// The message that tells the user why the mesh resource was refused, cut to
// capacity - 1 bytes. Returns the number of bytes written.
int FormatMeshError(const MeshStatus& status, char* out, int capacity);
