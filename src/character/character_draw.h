// Drawing of the character tree and of single meshes with OpenGL 1.1.
//
// Lighting is computed on the processor as a grey level per face or per
// vertex (ShadeIntensity); OpenGL lighting is not used. The grey level
// multiplies the texture (the default texture environment).
#pragma once

#include <cstdint>

#include "character/mesh.h"
#include "character/scene_node.h"
#include "core/math3d.h"

// Values of lightingMode (the tipoIlum setting); any other value draws unlit.
inline constexpr int32_t kLightingPerFace = 1;
inline constexpr int32_t kLightingPerVertex = 2;

// Draws node (a copy made by CopySceneNode) and its subtree under the current
// model-view matrix: back faces culled, white, the node's local multiplied in
// on a pushed matrix, its keyframe blended with the next by t (0 to 1) when
// interpolate is set. Leaves the matrix stack as it found it, culling set to
// GL_BACK and the colour at the last value drawn. A node whose mesh index is
// outside the array draws nothing of its own but still draws its children.
void DrawSceneNode(SceneNode node, const Mesh* meshes, const uint32_t* textureSlots,
                   int32_t lightingMode, bool interpolate, float t);

// The grey level of each corner of face (of mesh): the face normal's for all
// three with lighting per face, each vertex normal's with lighting per
// vertex, 1 (white) for any other lightingMode. light must be of unit length;
// w turns the normals into the world.
void CornerGreys(const Mesh& mesh, const Face& face, const Vec3& light, const Mat4& w,
                 int32_t lightingMode, float grey[3]);

// One keyframe with its material's texture; light is normalised here, w turns
// the normals into the world.
void DrawMesh(const Mesh& mesh, const uint32_t* textureSlots, Vec3 light, const Mat4& w,
              int32_t lightingMode);
// DrawMesh with each corner placed at (1 - t) x this keyframe's vertex + t x
// the next keyframe's; texture coordinates and normals stay this keyframe's.
// Without a next keyframe that has at least as many vertices, it draws
// unblended.
void DrawMeshBlended(const Mesh& mesh, const uint32_t* textureSlots, Vec3 light, const Mat4& w,
                     int32_t lightingMode, float t);
// The mesh in plain white with its texture: no normals, no lighting, no
// blending; touches neither the matrix stack nor culling (the sky dome).
void DrawMeshUnlit(const Mesh& mesh, const uint32_t* textureSlots);
