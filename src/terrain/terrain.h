// The ground: a 51,200 x 51,200 square centred on the world origin, shaped by
// a 256 x 256 heightmap and held as a quadtree of textured quads.
//
// Corner order of every node, seen from above (x to the right, z downwards):
//
//     1 ---- 0        corner 0: greatest x, least z
//     |      |        corner 1: least x, least z
//     |      |        corner 2: least x, greatest z
//     2 ---- 3        corner 3: greatest x, greatest z
//
// Child i of a node is the quarter at its corner 0, 3, 2 and 1 in turn, and
// every child keeps the parent's corner order. The tree is built once at
// start-up and read-only afterwards; drawing needs no height lookups.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/math3d.h"
#include "core/render_window.h"

// The heightmap: kHeightmapSide x kHeightmapSide unsigned bytes, row-major;
// the column follows world x and the row world z, 200 units per cell. A
// stored value h stands for a height of h x kHeightScale units.
inline constexpr int kHeightmapSide = 256;
inline constexpr size_t kHeightmapBytes = 65536;
inline constexpr float kHeightScale = 25.0f;
inline constexpr int kHeightmapResourceId = 106;
inline constexpr const char* kQtnResourceType = "QTNRESOURCE";

// Half the side of the whole terrain square, in world units.
inline constexpr float kTerrainHalfSize = 25600.0f;
// The depth the scene builds the tree to: 341 nodes, 256 leaves of 3,200 units.
inline constexpr int kTerrainDepth = 4;

// Why the program cannot start when the heightmap resource is missing or
// shorter than 65,536 bytes: it refuses to run without its terrain.
inline constexpr const char* kMissingHeightmapMessage =
    "Falta el mapa de alturas del terreno (recurso 106)";

struct TexCoord2 {
    float u = 0.0f;
    float v = 0.0f;
};

struct TerrainNode {
    Vec3 corner[4];
    TexCoord2 texCoord[4];
    TerrainNode* children[4] = {}; // all four set or all four empty (a leaf)
    TerrainNode* parent = nullptr;
};

inline bool IsTerrainLeaf(const TerrainNode& node) {
    return node.children[0] == nullptr;
}

// Finds resource id of type "QTNRESOURCE" and returns its bytes, with their
// count in size; returns null (size 0) when the resource does not exist. The
// module handle is kept for the platform's sake: the installed resource source
// already knows which module it reads.
const uint8_t* LockQtnResource(InstanceHandle instance, int id, size_t& size);

// The heightmap resource when it is present and complete (at least 65,536
// bytes), else null.
const uint8_t* LockHeightmap(InstanceHandle instance);

// Height in world units at (x, z) from the map, sampled as the build does:
// column = trunc((x + H) / 2H x 256), row likewise from z. Columns and rows
// outside the map are clamped to its nearest cell, so the far borders
// (x or z = +H, column or row 256) read the last column or row.
float SampleTerrainHeight(const uint8_t* heightmap, float x, float z, float halfSize);

// Builds the tree in *slot to the given depth (the root is created when the
// slot is empty; an existing tree is split further). Every non-root corner
// height comes from the 65,536-byte heightmap. Returns false, changing
// nothing, when the heightmap or the slot is null.
bool BuildTerrain(TerrainNode** slot, int depth, const uint8_t* heightmap);

// Gives a leaf its four children (edge midpoints and centre sampled from the
// map with half size H, the root's). A node that already has children keeps them.
void SplitTerrainNode(TerrainNode* node, float halfSize, const uint8_t* heightmap);

// True when point's x and z lie strictly inside the node's square (y ignored).
bool TerrainNodeContains(const TerrainNode* node, const Vec3& point);

// The leaf that strictly contains point, or null (also for a point on an
// edge between children).
const TerrainNode* FindTerrainLeaf(const TerrainNode* node, const Vec3& point);

// The first leaf under node, in child order, with a corner exactly at x = 0,
// z = 0; null when there is none.
const TerrainNode* FindOriginLeaf(const TerrainNode* node);

// True when one of the node's corners lies exactly at x = 0, z = 0.
bool TerrainNodeTouchesOrigin(const TerrainNode& node);

// Releases a tree made by BuildTerrain and empties the slot. The program keeps
// its tree for the whole run; tools and tests release theirs.
void FreeTerrain(TerrainNode** slot);
