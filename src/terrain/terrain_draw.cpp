#include "terrain/terrain_draw.h"

#include <cmath>

#include "core/gl.h"

namespace {

// The texture table has nine slots (0 to 8).
constexpr int32_t kSlotCount = 9;

// One corner of a quad inside the caller's glBegin (GL_TRIANGLES).
void EmitCorner(float s, float t, float x, float y, float z) {
    glTexCoord2f(s, t);
    glVertex3f(x, y, z);
}

// A quad as the two triangles (0, 1, 3) and (1, 2, 3): the diagonal from
// corner 1 to corner 3, where Mesa splits a GL_QUADS quad. A leaf's corners
// need not lie in one plane, so the diagonal shapes the surface; naming it
// keeps the picture the same on renderers that split quads the other way
// or have no quads at all.
constexpr int kQuadAsTriangles[6] = {0, 1, 3, 1, 2, 3};

void EmitLeaf(const TerrainNode& leaf) {
    for (int k : kQuadAsTriangles)
        EmitCorner(leaf.texCoord[k].u, leaf.texCoord[k].v, leaf.corner[k].x, leaf.corner[k].y,
                   leaf.corner[k].z);
}

void EmitSubtree(const TerrainNode* node) {
    if (node == nullptr)
        return;
    if (!IsTerrainLeaf(*node)) {
        for (const TerrainNode* child : node->children)
            EmitSubtree(child);
        return;
    }
    if (TerrainNodeTouchesOrigin(*node))
        return; // the flat floor pass draws it
    EmitLeaf(*node);
}

void EmitFromViewer(const TerrainNode* root, const Vec3& point) {
    const TerrainNode* node = FindTerrainLeaf(root, point);
    if (node == nullptr)
        node = root;
    for (; node != nullptr; node = node->parent)
        EmitSubtree(node);
}

void EmitFlatQuad(const TerrainNode* leaf, float su, float sv, float du, float dv) {
    if (leaf == nullptr)
        return;
    for (int k : kQuadAsTriangles)
        EmitCorner(su * leaf->texCoord[k].u + du, sv * leaf->texCoord[k].v + dv, leaf->corner[k].x,
                   0.0f, leaf->corner[k].z);
}

// Every pass draws white with the floor texture, all its leaves in one
// primitive: the triangles and their order are those of one quad per leaf.
void BeginTerrain(uint32_t floorTexture) {
    glBindTexture(GL_TEXTURE_2D, floorTexture);
    glColor3f(1.0f, 1.0f, 1.0f);
    glBegin(GL_TRIANGLES);
}

} // namespace

int32_t FloorSlot(int32_t nSuelo) {
    return (nSuelo >= 0 && nSuelo < kSlotCount) ? nSuelo : kDefaultFloorSlot;
}

void DrawTerrainSubtree(const TerrainNode* node, uint32_t floorTexture) {
    if (node == nullptr)
        return;
    BeginTerrain(floorTexture);
    EmitSubtree(node);
    glEnd();
}

void DrawTerrainFromViewer(const TerrainNode* root, const Vec3& point, uint32_t floorTexture) {
    if (root == nullptr)
        return;
    BeginTerrain(floorTexture);
    EmitFromViewer(root, point);
    glEnd();
}

void DrawTerrainQuad(const TerrainNode* leaf, uint32_t floorTexture, float su, float sv, float du,
                     float dv) {
    if (leaf == nullptr)
        return;
    BeginTerrain(floorTexture);
    EmitFlatQuad(leaf, su, sv, du, dv);
    glEnd();
}

void DrawTerrainPasses(const TerrainNode* root, uint32_t floorTexture, const Mat4& bodyLocal) {
    if (root == nullptr)
        return;
    // The texture repeats, so whole repeats of the offset are dropped: the
    // picture is the same and the coordinates keep their precision however
    // far the character has walked.
    const float du = std::fmod(0.001f * bodyLocal[12], 1.0f);
    const float dv = std::fmod(0.001f * bodyLocal[14], 1.0f);
    BeginTerrain(floorTexture);
    EmitFromViewer(root, Vec3{0.0f, 0.0f, 0.0f});
    for (const TerrainNode* child : root->children)
        EmitFlatQuad(FindOriginLeaf(child), 10.0f, 10.0f, du, dv);
    glEnd();
}
