#include "terrain/terrain_draw.h"

#include <cmath>

#include "core/gl.h"

namespace {

// The texture table has nine slots (0 to 8).
constexpr int32_t kSlotCount = 9;

void DrawLeaf(const TerrainNode& leaf, uint32_t floorTexture) {
    glBindTexture(GL_TEXTURE_2D, floorTexture);
    glColor3f(1.0f, 1.0f, 1.0f);
    glBegin(GL_QUADS);
    for (int k = 0; k < 4; ++k) {
        glTexCoord2f(leaf.texCoord[k].u, leaf.texCoord[k].v);
        glVertex3f(leaf.corner[k].x, leaf.corner[k].y, leaf.corner[k].z);
    }
    glEnd();
}

} // namespace

int32_t FloorSlot(int32_t nSuelo) {
    return (nSuelo >= 0 && nSuelo < kSlotCount) ? nSuelo : kDefaultFloorSlot;
}

void DrawTerrainSubtree(const TerrainNode* node, uint32_t floorTexture) {
    if (node == nullptr)
        return;
    if (!IsTerrainLeaf(*node)) {
        for (const TerrainNode* child : node->children)
            DrawTerrainSubtree(child, floorTexture);
        return;
    }
    if (TerrainNodeTouchesOrigin(*node))
        return; // the flat floor pass draws it
    DrawLeaf(*node, floorTexture);
}

void DrawTerrainFromViewer(const TerrainNode* root, const Vec3& point, uint32_t floorTexture) {
    const TerrainNode* node = FindTerrainLeaf(root, point);
    if (node == nullptr)
        node = root;
    for (; node != nullptr; node = node->parent)
        DrawTerrainSubtree(node, floorTexture);
}

void DrawTerrainQuad(const TerrainNode* leaf, uint32_t floorTexture, float su, float sv, float du,
                     float dv) {
    if (leaf == nullptr)
        return;
    glBindTexture(GL_TEXTURE_2D, floorTexture);
    glColor3f(1.0f, 1.0f, 1.0f);
    glBegin(GL_QUADS);
    for (int k = 0; k < 4; ++k) {
        glTexCoord2f(su * leaf->texCoord[k].u + du, sv * leaf->texCoord[k].v + dv);
        glVertex3f(leaf->corner[k].x, 0.0f, leaf->corner[k].z);
    }
    glEnd();
}

void DrawTerrainPasses(const TerrainNode* root, uint32_t floorTexture, const Mat4& bodyLocal) {
    if (root == nullptr)
        return;
    DrawTerrainFromViewer(root, Vec3{0.0f, 0.0f, 0.0f}, floorTexture);
    // The texture repeats, so whole repeats of the offset are dropped: the
    // picture is the same and the coordinates keep their precision however
    // far the character has walked.
    const float du = std::fmod(0.001f * bodyLocal[12], 1.0f);
    const float dv = std::fmod(0.001f * bodyLocal[14], 1.0f);
    for (const TerrainNode* child : root->children)
        DrawTerrainQuad(FindOriginLeaf(child), floorTexture, 10.0f, 10.0f, du, dv);
}
