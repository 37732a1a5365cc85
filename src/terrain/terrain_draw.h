// Drawing of the terrain quadtree: every leaf as one white, unlit, textured
// quad at its sampled heights, except the four leaves that meet at the origin,
// which the floor pass draws flat at height 0 with a finer, sliding texture.
// A quad goes out as two triangles split on its corner 1 to corner 3 diagonal
// (Mesa's split of GL_QUADS), and each call draws all its quads in one
// primitive.
//
// All calls need a current OpenGL context; the caller sets the matrices and
// the depth and culling state. Nothing is allocated.
#pragma once

#include <cstdint>

#include "core/math3d.h"
#include "terrain/terrain.h"

// The floor texture's slot for an nSuelo setting: the setting itself when it
// names one of the nine texture slots, else the default floor, slot 2 ("Seco").
inline constexpr int32_t kDefaultFloorSlot = 2;
int32_t FloorSlot(int32_t nSuelo);

// Draws every leaf under node (node included), in child order, except the
// leaves with a corner at the origin. A null node draws nothing.
void DrawTerrainSubtree(const TerrainNode* node, uint32_t floorTexture);

// Draws the subtree of the leaf strictly containing point, then the subtree
// of each of its ancestors up to the root; starts at the root when no leaf
// strictly contains the point (the origin, for example).
void DrawTerrainFromViewer(const TerrainNode* root, const Vec3& point, uint32_t floorTexture);

// Draws one leaf flat at y = 0 with texture coordinates (su u + du, sv v + dv).
// A null leaf draws nothing.
void DrawTerrainQuad(const TerrainNode* leaf, uint32_t floorTexture, float su, float sv, float du,
                     float dv);

// The two terrain passes of a frame: the shaped terrain seen from the origin,
// then the four flat quads around the origin, whose texture repeats ten times
// as often and slides by 0.001 of a repeat per unit that the character's root
// (bodyLocal, its translation x and z) has moved.
void DrawTerrainPasses(const TerrainNode* root, uint32_t floorTexture, const Mat4& bodyLocal);
