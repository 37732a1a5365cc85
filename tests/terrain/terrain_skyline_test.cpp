#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "terrain/terrain.h"
#include "terrain/terrain_skyline.h"

namespace {

constexpr int kWidth = 1024;
constexpr int kHeight = 768;
constexpr double kField = 60.0;
constexpr double kNear = 0.1;

// A level camera at (x, y, z) looking along -z, turned by roll radians.
Mat4 LevelView(float x, float y, float z, float roll = 0.0f) {
    Mat4 v = Mat4Identity();
    v[12] = -x;
    v[13] = -y;
    v[14] = -z;
    return Mat4Multiply(Mat4RotationZ(roll), v);
}

// The window row of a point straight ahead of the level camera at height
// eyeY, at depth units and height y.
double RowAhead(double y, double eyeY, double depth) {
    const double focal = 1.0 / std::tan(kField / 2.0 * 3.14159265358979323846 / 180.0);
    return kHeight / 2.0 * (1.0 + focal * (y - eyeY) / depth);
}

int32_t Row(const TerrainNode* root, const Mat4& view) {
    return LowestSkyRow(root, view, kField, kNear, kWidth, kHeight);
}

// Seen from the middle, the sky starts above the terrain's far side on flat
// ground, and above a ridge across the view when there is one; the row is
// 0 whenever the terrain cannot be shown to cover the rows below it.
TEST(TerrainSkyline, TheSkyStartsAboveTheFarSideOrARidgeAndOnlyWhereThatCanBeShown) {
    std::vector<uint8_t> map(kHeightmapBytes, 0);
    TerrainNode* flat = nullptr;
    ASSERT_TRUE(BuildTerrain(&flat, kTerrainDepth, map.data()));
    EXPECT_EQ(Row(flat, LevelView(1.0f, 100.0f, 1.0f)),
              static_cast<int>(std::floor(RowAhead(0.0, 100.0, 25601.0))) - kSkylineMarginRows);

    // Leaf corners along z = -12,800 (map row 64) raised to 5,000 units.
    for (int column = 0; column < kHeightmapSide; ++column)
        map[64 * kHeightmapSide + column] = 200;
    TerrainNode* ridge = nullptr;
    ASSERT_TRUE(BuildTerrain(&ridge, kTerrainDepth, map.data()));
    const int32_t behindRidge = Row(ridge, LevelView(1.0f, 100.0f, 1.0f));
    EXPECT_EQ(behindRidge,
              static_cast<int>(std::floor(RowAhead(5000.0, 100.0, 12801.0))) - kSkylineMarginRows);

    EXPECT_EQ(Row(ridge, LevelView(1.0f, 100.0f, 1.0f, 0.05f)), 0); // roll
    EXPECT_EQ(Row(ridge, LevelView(1.0f, 4000.0f, -12000.0f)), 0);  // under the ridge's slope
    EXPECT_EQ(Row(ridge, LevelView(1.0f, 100.0f, 30000.0f)), 0);    // off the square
    EXPECT_EQ(Row(nullptr, LevelView(1.0f, 100.0f, 1.0f)), 0);      // no terrain
    EXPECT_EQ(Row(ridge, Mat4Multiply(Mat4RotationX(-1.5f), LevelView(1.0f, 100.0f, 1.0f))),
              0); // looking almost straight up
    FreeTerrain(&flat);
    FreeTerrain(&ridge);
}

} // namespace
