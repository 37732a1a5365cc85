#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "core/resources.h"
#include "terrain/terrain.h"

namespace {

// A map whose every cell is told apart by its row and column, so a sample
// shows which cell it came from.
std::vector<uint8_t> PatternMap() {
    std::vector<uint8_t> map(kHeightmapBytes);
    for (int row = 0; row < kHeightmapSide; ++row)
        for (int column = 0; column < kHeightmapSide; ++column)
            map[row * kHeightmapSide + column] = static_cast<uint8_t>((row * 7 + column * 3) % 251);
    return map;
}

float CellHeight(const std::vector<uint8_t>& map, int row, int column) {
    return static_cast<float>(map[row * kHeightmapSide + column]) * kHeightScale;
}

void CollectLeaves(const TerrainNode* node, std::vector<const TerrainNode*>& leaves, int& count) {
    ++count;
    if (IsTerrainLeaf(*node)) {
        leaves.push_back(node);
        return;
    }
    for (const TerrainNode* child : node->children) {
        ASSERT_NE(child, nullptr);
        EXPECT_EQ(child->parent, node);
        CollectLeaves(child, leaves, count);
    }
}

class BuiltTerrain : public ::testing::Test {
  protected:
    void SetUp() override {
        map = PatternMap();
        ASSERT_TRUE(BuildTerrain(&root, kTerrainDepth, map.data()));
        CollectLeaves(root, leaves, nodeCount);
    }
    void TearDown() override { FreeTerrain(&root); }

    std::vector<uint8_t> map;
    TerrainNode* root = nullptr;
    std::vector<const TerrainNode*> leaves;
    int nodeCount = 0;
};

TEST_F(BuiltTerrain, HasFiveLevelsOfSquareLeavesWithTheRootsCornerOrder) {
    EXPECT_EQ(nodeCount, 341);
    ASSERT_EQ(leaves.size(), 256u);
    EXPECT_EQ(root->parent, nullptr);
    for (const TerrainNode* leaf : leaves) {
        int depth = 0;
        for (const TerrainNode* n = leaf; n->parent != nullptr; n = n->parent)
            ++depth;
        EXPECT_EQ(depth, 4);
        const Vec3* c = leaf->corner;
        EXPECT_EQ(c[0].x - c[1].x, 3200.0f);
        EXPECT_EQ(c[3].z - c[0].z, 3200.0f);
        EXPECT_EQ(c[1].x, c[2].x);
        EXPECT_EQ(c[0].x, c[3].x);
        EXPECT_EQ(c[0].z, c[1].z);
        EXPECT_EQ(c[2].z, c[3].z);
        // The floor texture repeats ten times across the whole square.
        for (int k = 0; k < 4; ++k) {
            EXPECT_FLOAT_EQ(leaf->texCoord[k].u, (c[k].x + 25600.0f) / 5120.0f);
            EXPECT_FLOAT_EQ(leaf->texCoord[k].v, (c[k].z + 25600.0f) / 5120.0f);
        }
    }
}

TEST_F(BuiltTerrain, CornerHeightsComeFromTheMapAndStayInsideIt) {
    for (const TerrainNode* leaf : leaves) {
        for (const Vec3& c : leaf->corner) {
            const bool rootCorner = std::fabs(c.x) == 25600.0f && std::fabs(c.z) == 25600.0f;
            // Samples on the far borders (column or row 256) read the last
            // column or row of the map.
            const int column = std::min(static_cast<int>((c.x + 25600.0f) / 200.0f), 255);
            const int row = std::min(static_cast<int>((c.z + 25600.0f) / 200.0f), 255);
            EXPECT_EQ(c.y, rootCorner ? 0.0f : CellHeight(map, row, column))
                << "corner at " << c.x << ", " << c.z;
        }
    }
}

TEST_F(BuiltTerrain, NeighbouringLeavesShareTheirEdgesExactly) {
    // Every grid point of the 17 x 17 lattice must have one position, whichever
    // leaf it is taken from.
    std::vector<Vec3> grid(17 * 17);
    std::vector<bool> seen(17 * 17, false);
    for (const TerrainNode* leaf : leaves) {
        for (const Vec3& c : leaf->corner) {
            const int i = static_cast<int>((c.x + 25600.0f) / 3200.0f);
            const int j = static_cast<int>((c.z + 25600.0f) / 3200.0f);
            ASSERT_EQ(c.x, -25600.0f + 3200.0f * i);
            ASSERT_EQ(c.z, -25600.0f + 3200.0f * j);
            const int index = j * 17 + i;
            if (seen[index]) {
                EXPECT_EQ(std::memcmp(&grid[index], &c, sizeof c), 0) << "at " << i << ", " << j;
            }
            grid[index] = c;
            seen[index] = true;
        }
    }
    for (bool s : seen)
        EXPECT_TRUE(s);
}

TEST_F(BuiltTerrain, FindsTheLeavesAroundTheOriginAndUnderPoints) {
    for (const TerrainNode* child : root->children) {
        const TerrainNode* leaf = FindOriginLeaf(child);
        ASSERT_NE(leaf, nullptr);
        EXPECT_TRUE(IsTerrainLeaf(*leaf));
        EXPECT_TRUE(TerrainNodeTouchesOrigin(*leaf));
        for (const TerrainNode* n = leaf; n != child; n = n->parent)
            ASSERT_NE(n->parent, nullptr);
    }
    // The four origin leaves are four different quarters.
    EXPECT_NE(FindOriginLeaf(root->children[0]), FindOriginLeaf(root->children[2]));
    EXPECT_EQ(FindOriginLeaf(root), FindOriginLeaf(root->children[0]));
    // A leaf far from the origin has no origin leaf under it.
    const TerrainNode* farLeaf = FindTerrainLeaf(root, Vec3{20000.0f, 0.0f, -20000.0f});
    ASSERT_NE(farLeaf, nullptr);
    EXPECT_EQ(FindOriginLeaf(farLeaf), nullptr);

    // The origin is the corner shared by the root's children: no leaf holds it.
    EXPECT_EQ(FindTerrainLeaf(root, Vec3{0.0f, 0.0f, 0.0f}), nullptr);
    EXPECT_FALSE(TerrainNodeContains(root->children[0], Vec3{0.0f, 0.0f, 0.0f}));
    // A point on an inner edge finds nothing either.
    EXPECT_EQ(FindTerrainLeaf(root, Vec3{3200.0f, 0.0f, 100.0f}), nullptr);
    // A point strictly inside a leaf finds that leaf whatever its height.
    for (const TerrainNode* leaf : leaves) {
        const float x = (leaf->corner[0].x + leaf->corner[1].x) / 2.0f + 700.0f;
        const float z = (leaf->corner[0].z + leaf->corner[3].z) / 2.0f - 1500.0f;
        EXPECT_EQ(FindTerrainLeaf(root, Vec3{x, 1.0e6f, z}), leaf);
        EXPECT_EQ(FindTerrainLeaf(root, Vec3{x, -5.0f, z}), leaf);
    }
    EXPECT_EQ(FindTerrainLeaf(root, Vec3{30000.0f, 0.0f, 0.0f}), nullptr);
    EXPECT_EQ(FindTerrainLeaf(nullptr, Vec3{}), nullptr);
    EXPECT_EQ(FindOriginLeaf(nullptr), nullptr);
}

TEST(Terrain, AFlatCentreGivesAFlatFloorAroundTheOrigin) {
    // Only the centre matters here: a bowl map that is 0 within 32 cells of the
    // centre and high elsewhere.
    std::vector<uint8_t> map(kHeightmapBytes, 200);
    for (int row = 96; row <= 160; ++row)
        for (int column = 96; column <= 160; ++column)
            map[row * kHeightmapSide + column] = 0;
    TerrainNode* root = nullptr;
    ASSERT_TRUE(BuildTerrain(&root, kTerrainDepth, map.data()));
    // The root keeps height 0 at its corners although the map is high there.
    for (const Vec3& c : root->corner)
        EXPECT_EQ(c.y, 0.0f);
    for (const TerrainNode* child : root->children)
        for (const Vec3& c : FindOriginLeaf(child)->corner)
            EXPECT_EQ(c.y, 0.0f);
    FreeTerrain(&root);
    EXPECT_EQ(root, nullptr);
}

TEST(Terrain, BuildingExtendsAnExistingTreeAndRefusesAMissingMap) {
    std::vector<uint8_t> map = PatternMap();
    TerrainNode* root = nullptr;
    EXPECT_FALSE(BuildTerrain(&root, kTerrainDepth, nullptr));
    EXPECT_EQ(root, nullptr);
    EXPECT_FALSE(BuildTerrain(nullptr, kTerrainDepth, map.data()));

    ASSERT_TRUE(BuildTerrain(&root, 1, map.data()));
    TerrainNode* firstChild = root->children[0];
    ASSERT_NE(firstChild, nullptr);
    EXPECT_TRUE(IsTerrainLeaf(*firstChild));
    // Building again keeps the existing nodes and splits them further.
    ASSERT_TRUE(BuildTerrain(&root, 2, map.data()));
    EXPECT_EQ(root->children[0], firstChild);
    EXPECT_FALSE(IsTerrainLeaf(*firstChild));
    FreeTerrain(&root);
}

TEST(Terrain, SamplingClampsToTheMap) {
    std::vector<uint8_t> map = PatternMap();
    const float h = kTerrainHalfSize;
    EXPECT_EQ(SampleTerrainHeight(map.data(), -h, -h, h), CellHeight(map, 0, 0));
    EXPECT_EQ(SampleTerrainHeight(map.data(), h, h, h), CellHeight(map, 255, 255));
    EXPECT_EQ(SampleTerrainHeight(map.data(), h, 0.0f, h), CellHeight(map, 128, 255));
    EXPECT_EQ(SampleTerrainHeight(map.data(), 0.0f, h, h), CellHeight(map, 255, 128));
    EXPECT_EQ(SampleTerrainHeight(map.data(), 3.0f * h, -3.0f * h, h), CellHeight(map, 0, 255));
    EXPECT_EQ(SampleTerrainHeight(map.data(), NAN, 199.0f, h), CellHeight(map, 128, 0));
}

// A resource source holding one QTNRESOURCE of a chosen size.
class OneResource final : public ResourceSource {
  public:
    explicit OneResource(size_t size) : bytes_(size, 0) {}
    bool Find(const char* typeName, int id, ResourceBytes& out) override {
        if (std::strcmp(typeName, "QTNRESOURCE") != 0 || id != 106)
            return false;
        out.data = bytes_.data();
        out.size = bytes_.size();
        return true;
    }

  private:
    std::vector<uint8_t> bytes_;
};

TEST(Terrain, TheHeightmapResourceMustBeThereAndComplete) {
    ResourceSource* saved = GetResourceSource();
    size_t size = 1;
    SetResourceSource(nullptr);
    EXPECT_EQ(LockQtnResource(nullptr, 106, size), nullptr);
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(LockHeightmap(nullptr), nullptr);

    OneResource complete(kHeightmapBytes);
    SetResourceSource(&complete);
    EXPECT_NE(LockHeightmap(nullptr), nullptr);
    EXPECT_NE(LockQtnResource(nullptr, 106, size), nullptr);
    EXPECT_EQ(size, kHeightmapBytes);
    EXPECT_EQ(LockQtnResource(nullptr, 107, size), nullptr);

    OneResource truncated(kHeightmapBytes - 1);
    SetResourceSource(&truncated);
    EXPECT_NE(LockQtnResource(nullptr, 106, size), nullptr);
    EXPECT_EQ(LockHeightmap(nullptr), nullptr);
    SetResourceSource(saved);
}

} // namespace
