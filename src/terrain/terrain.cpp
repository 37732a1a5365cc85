#include "terrain/terrain.h"

#include "core/resources.h"

namespace {

Vec3 Midpoint(const Vec3& a, const Vec3& b) {
    return Vec3{(a.x + b.x) / 2.0f, (a.y + b.y) / 2.0f, (a.z + b.z) / 2.0f};
}

TexCoord2 Midpoint(const TexCoord2& a, const TexCoord2& b) {
    return TexCoord2{(a.u + b.u) / 2.0f, (a.v + b.v) / 2.0f};
}

// Map cell along one axis for a world coordinate, clamped into the map.
int CellIndex(float coordinate, float halfSize) {
    const float scaled = (coordinate + halfSize) / (2.0f * halfSize) * kHeightmapSide;
    if (!(scaled > 0.0f)) // also catches NaN
        return 0;
    if (scaled >= kHeightmapSide - 1)
        return kHeightmapSide - 1;
    return static_cast<int>(scaled);
}

TerrainNode* NewRoot() {
    TerrainNode* root = new TerrainNode;
    const float h = kTerrainHalfSize;
    root->corner[0] = Vec3{h, 0.0f, -h};
    root->corner[1] = Vec3{-h, 0.0f, -h};
    root->corner[2] = Vec3{-h, 0.0f, h};
    root->corner[3] = Vec3{h, 0.0f, h};
    root->texCoord[0] = TexCoord2{10.0f, 0.0f};
    root->texCoord[1] = TexCoord2{0.0f, 0.0f};
    root->texCoord[2] = TexCoord2{0.0f, 10.0f};
    root->texCoord[3] = TexCoord2{10.0f, 10.0f};
    return root;
}

TerrainNode* NewChild(TerrainNode* parent, const Vec3 (&corners)[9], const TexCoord2 (&tex)[9],
                      int i0, int i1, int i2, int i3) {
    TerrainNode* child = new TerrainNode;
    const int order[4] = {i0, i1, i2, i3};
    for (int k = 0; k < 4; ++k) {
        child->corner[k] = corners[order[k]];
        child->texCoord[k] = tex[order[k]];
    }
    child->parent = parent;
    return child;
}

} // namespace

const uint8_t* LockQtnResource(InstanceHandle /*instance*/, int id, size_t& size) {
    ResourceBytes bytes;
    if (!FindResourceBytes(kQtnResourceType, id, bytes) || bytes.data == nullptr) {
        size = 0;
        return nullptr;
    }
    size = bytes.size;
    return bytes.data;
}

const uint8_t* LockHeightmap(InstanceHandle instance) {
    size_t size = 0;
    const uint8_t* map = LockQtnResource(instance, kHeightmapResourceId, size);
    return (map != nullptr && size >= kHeightmapBytes) ? map : nullptr;
}

float SampleTerrainHeight(const uint8_t* heightmap, float x, float z, float halfSize) {
    const int column = CellIndex(x, halfSize);
    const int row = CellIndex(z, halfSize);
    return static_cast<float>(heightmap[row * kHeightmapSide + column]) * kHeightScale;
}

bool BuildTerrain(TerrainNode** slot, int depth, const uint8_t* heightmap) {
    if (slot == nullptr || heightmap == nullptr)
        return false;
    if (*slot == nullptr)
        *slot = NewRoot();
    TerrainNode* node = *slot;
    // The half size is always the root's: samples are placed on the whole map.
    SplitTerrainNode(node, kTerrainHalfSize, heightmap);
    if (depth - 1 > 0) {
        for (TerrainNode*& child : node->children)
            BuildTerrain(&child, depth - 1, heightmap);
    }
    return true;
}

void SplitTerrainNode(TerrainNode* node, float halfSize, const uint8_t* heightmap) {
    if (node == nullptr || heightmap == nullptr || !IsTerrainLeaf(*node))
        return;
    const Vec3* c = node->corner;
    const TexCoord2* t = node->texCoord;

    // Points 0..3 are the node's corners, 4..8 the edge midpoints A, B, C, D
    // and the centre E.
    Vec3 p[9] = {c[0], c[1], c[2], c[3]};
    TexCoord2 tp[9] = {t[0], t[1], t[2], t[3]};
    enum { A = 4, B, C, D, E };
    p[A] = Midpoint(c[0], c[3]);
    p[B] = Midpoint(c[2], c[3]);
    p[C] = Midpoint(c[1], c[2]);
    p[D] = Midpoint(c[0], c[1]);
    p[E] = Vec3{(p[A].x + p[B].x + p[C].x + p[D].x) / 4.0f, 0.0f,
                (p[A].z + p[B].z + p[C].z + p[D].z) / 4.0f};
    tp[A] = Midpoint(t[0], t[3]);
    tp[B] = Midpoint(t[2], t[3]);
    tp[C] = Midpoint(t[1], t[2]);
    tp[D] = Midpoint(t[0], t[1]);
    tp[E] = TexCoord2{(tp[A].u + tp[B].u + tp[C].u + tp[D].u) / 4.0f,
                      (tp[A].v + tp[B].v + tp[C].v + tp[D].v) / 4.0f};
    for (int k = A; k <= E; ++k)
        p[k].y = SampleTerrainHeight(heightmap, p[k].x, p[k].z, halfSize);

    node->children[0] = NewChild(node, p, tp, 0, D, E, A); // quarter at corner 0
    node->children[1] = NewChild(node, p, tp, A, E, B, 3); // quarter at corner 3
    node->children[2] = NewChild(node, p, tp, E, C, 2, B); // quarter at corner 2
    node->children[3] = NewChild(node, p, tp, D, 1, C, E); // quarter at corner 1
}

bool TerrainNodeContains(const TerrainNode* node, const Vec3& point) {
    if (node == nullptr)
        return false;
    return node->corner[1].x < point.x && point.x < node->corner[0].x &&
           node->corner[0].z < point.z && point.z < node->corner[3].z;
}

const TerrainNode* FindTerrainLeaf(const TerrainNode* node, const Vec3& point) {
    if (node == nullptr)
        return nullptr;
    if (IsTerrainLeaf(*node))
        return node;
    for (const TerrainNode* child : node->children) {
        if (TerrainNodeContains(child, point))
            return FindTerrainLeaf(child, point);
    }
    return nullptr;
}

bool TerrainNodeTouchesOrigin(const TerrainNode& node) {
    for (const Vec3& c : node.corner) {
        if (c.x == 0.0f && c.z == 0.0f)
            return true;
    }
    return false;
}

const TerrainNode* FindOriginLeaf(const TerrainNode* node) {
    if (node == nullptr)
        return nullptr;
    if (IsTerrainLeaf(*node))
        return TerrainNodeTouchesOrigin(*node) ? node : nullptr;
    for (const TerrainNode* child : node->children) {
        if (const TerrainNode* found = FindOriginLeaf(child))
            return found;
    }
    return nullptr;
}

void FreeTerrain(TerrainNode** slot) {
    if (slot == nullptr || *slot == nullptr)
        return;
    for (TerrainNode*& child : (*slot)->children)
        FreeTerrain(&child);
    delete *slot;
    *slot = nullptr;
}
