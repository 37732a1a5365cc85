// The generated heightmap (resource 106) as the host build wrote it, read
// through the same resource lookup the program uses.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "common/asset_folder.h"
#include "terrain/terrain.h"

namespace {

class HeightmapAsset : public ::testing::Test {
  protected:
    void SetUp() override {
        saved = GetResourceSource();
        SetResourceSource(&folder);
        map = LockHeightmap(nullptr);
        ASSERT_NE(map, nullptr) << "no heightmap in " << TAZRO_ASSET_DIR;
    }
    void TearDown() override { SetResourceSource(saved); }

    int At(int row, int column) const { return map[row * kHeightmapSide + column]; }

    AssetFolder folder{TAZRO_ASSET_DIR};
    ResourceSource* saved = nullptr;
    const uint8_t* map = nullptr;
};

TEST_F(HeightmapAsset, IsABowlWithAFlatFloorAndAHighRim) {
    size_t size = 0;
    LockQtnResource(nullptr, kHeightmapResourceId, size);
    EXPECT_EQ(size, kHeightmapBytes);
    // Flat within 32 cells of the centre: the floor under and around the
    // character, beyond the four flat quads at the origin.
    for (int row = 96; row <= 160; ++row)
        for (int column = 96; column <= 160; ++column)
            ASSERT_EQ(At(row, column), 0) << row << ", " << column;
    int rimLow = 255, rimHigh = 0, highest = 0;
    for (int i = 0; i < kHeightmapSide; ++i) {
        for (int v : {At(0, i), At(255, i), At(i, 0), At(i, 255)}) {
            rimLow = std::min(rimLow, v);
            rimHigh = std::max(rimHigh, v);
        }
    }
    for (size_t i = 0; i < kHeightmapBytes; ++i)
        highest = std::max(highest, static_cast<int>(map[i]));
    EXPECT_GE(rimLow, 130);
    EXPECT_LE(rimHigh, 240);
    EXPECT_LE(highest, 250);
    // Rising outward: the mean of each square ring of cells grows with its
    // distance from the centre, and neighbouring cells differ by some noise.
    double previous = -1.0;
    for (int ring = 40; ring < 128; ring += 8) {
        double sum = 0.0;
        int count = 0;
        for (int i = 128 - ring; i < 128 + ring; ++i) {
            sum += At(128 - ring, i) + At(127 + ring, i) + At(i, 128 - ring) + At(i, 127 + ring);
            count += 4;
        }
        EXPECT_GT(sum / count, previous) << "ring " << ring;
        previous = sum / count;
    }
    int rough = 0;
    for (int column = 0; column < 255; ++column)
        rough += std::abs(At(20, column + 1) - At(20, column)) >= 2;
    EXPECT_GT(rough, 40) << "the slope should not be smooth";
}

} // namespace
