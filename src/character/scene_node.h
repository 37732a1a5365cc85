// The character as a tree of scene nodes, and the software shading it is
// drawn with.
//
// The body is the root; the head and the sword hang from it. Each node shows
// one keyframe mesh under its local transform, relative to its parent (the
// root's relative to the world).
#pragma once

#include <cstdint>

#include "character/mesh.h"
#include "core/math3d.h"

struct SceneNode {
    int32_t meshIndex = 0; // keyframe mesh shown now
    Mat4 local;            // transform relative to the parent
    SceneNode* parent = nullptr;
    SceneNode** children = nullptr; // childCount pointers, or none
    int32_t childCount = 0;
};

// The four nodes of the scene, in this order: body (root), sky dome, head,
// sword. They and the body's children array live for the whole run.
inline constexpr int kSceneNodeCount = 4;
extern SceneNode sceneNodes[kSceneNodeCount];
extern SceneNode& bodyNode;
extern SceneNode& domeNode;
extern SceneNode& headNode;
extern SceneNode& swordNode;

// Fills the four nodes from the prepared meshes: the body at mesh 1's
// position with the head and then the sword as children, the dome alone.
void BuildCharacterNodes(const Mesh* meshes);

// child.local := Rz(c.rotation.z) x Ry(c.rotation.y) x Rx(c.rotation.x) x
// T(c.position - p.position), with c and p the child's and the parent's
// current keyframes: the child's offset turned about the parent's reference
// point. A node whose mesh index is outside the array keeps its local.
void ComposeChildLocal(SceneNode& child, const SceneNode& parent, const Mesh* meshes);

// A copy of node whose local has its bottom row forced to 0, 0, 0, 1.
SceneNode CopySceneNode(const SceneNode& node);

// The rotation part of node's transform relative to the world (parent.local x
// node.local for a child; the tree is two levels deep), without translation.
Mat4 NodeLightRotation(const SceneNode& node);

// The light the character is shaded with, before normalisation.
inline constexpr float kLightX = -1.0f;
inline constexpr float kLightY = 1.0f;
inline constexpr float kLightZ = -1.0f;

// Grey level of a surface whose normal, turned by the rotation w, is n:
// 0.5 + 0.5 x (light . n) with n normalised; light must be unit length.
// 1 facing the light, 0.5 edge-on, 0 facing away; 0.5 for a zero normal.
float ShadeIntensity(const Vec3& light, const Vec3& normal, const Mat4& w);
