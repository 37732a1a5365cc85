// The character and the sky dome as the scene shows them, and the mesh
// resource written from them.
//
// Everything is built in scene space (y up, floor at y = 0, the character
// about 50 units tall at the origin, facing -x); BuildMeshResource then
// inverts the loader's preparation (scaling, axis swaps, the head and sword
// corrections, the fixed sword angles) so that preparing the resource gives
// back exactly these meshes.
#pragma once

#include <cstdint>
#include <vector>

#include "core/math3d.h"

namespace art {

struct ModelFace {
    int32_t v[3];
    int32_t t[3];
};

struct ModelTex {
    float u;
    float v;
};

struct ModelMesh {
    std::vector<Vec3> vertices;
    std::vector<ModelFace> faces;
    std::vector<ModelTex> texCoords;
    Vec3 position; // scene units, as the preparation leaves it
    Vec3 rotation; // radians, as the preparation leaves it
};

constexpr int kKeyframes = 16;
constexpr double kDomeRadius = 96300.0;

// The body's reference point: the rest position of the neck joint. Every
// body keyframe has this position; its vertices are relative to it.
Vec3 BodyReferencePoint();

ModelMesh BuildDome();
// Keyframe k of the walk cycle (k = 0: right heel strike).
ModelMesh BuildBody(int keyframe);
// The head: identical vertices in every keyframe (relative to the head's
// centre), placed by position and rotation on the neck of body keyframe k.
ModelMesh BuildHead(int keyframe);
// The sword: identical vertices, positioned in the right fist of body
// keyframe k; its rotation is the fixed angle set the preparation imposes.
ModelMesh BuildSword(int keyframe);

// Where the sword's grip sits in body keyframe k (scene coordinates) and the
// direction its blade points, for tests.
Vec3 SwordGripPoint(int keyframe);
Vec3 SwordBladeDirection();
// The rest position of the head's centre (scene coordinates).
Vec3 HeadCentre();

// The 49 meshes in the resource's format and the file's axes and units.
std::vector<uint8_t> BuildMeshResource();

} // namespace art
