#include <gtest/gtest.h>

#include <cmath>

#include "core/math3d.h"

namespace {

void ExpectMatrixNear(const Mat4& actual, const Mat4& expected, float tolerance) {
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(actual[i], expected[i], tolerance) << "element " << i;
}

void ExpectVecNear(const Vec3& v, float x, float y, float z, float tolerance = 1e-6f) {
    EXPECT_NEAR(v.x, x, tolerance);
    EXPECT_NEAR(v.y, y, tolerance);
    EXPECT_NEAR(v.z, z, tolerance);
}

Mat4 Sample() {
    Mat4 m;
    for (int i = 0; i < 16; ++i)
        m[i] = static_cast<float>(i + 1) * 0.5f;
    return m;
}

TEST(Math3d, LayoutIsColumnMajorWithTranslationAt12) {
    static_assert(sizeof(Vec3) == 12, "three packed floats");
    static_assert(sizeof(Mat4) == 64, "sixteen packed floats");
    const Mat4 t = Mat4Translate(Mat4Identity(), Vec3Set(1, 2, 3));
    EXPECT_EQ(t[12], 1.0f);
    EXPECT_EQ(t[13], 2.0f);
    EXPECT_EQ(t[14], 3.0f);
    EXPECT_EQ(t[15], 1.0f);
}

TEST(Math3d, MultiplyByIdentityForcesTheBottomRow) {
    const Mat4 m = Sample();
    Mat4 expected = m;
    expected[3] = expected[7] = expected[11] = 0.0f;
    expected[15] = 1.0f;
    ExpectMatrixNear(Mat4Multiply(m, Mat4Identity()), expected, 0.0f);
    ExpectMatrixNear(Mat4Multiply(Mat4Identity(), m), expected, 0.0f);
    ExpectMatrixNear(Mat4CopyAffine(m), expected, 0.0f);
}

TEST(Math3d, ProductAppliesTheRightOperandFirst) {
    const Mat4 rotate = Mat4RotationY(1.5707963f);
    const Mat4 move = Mat4Translate(Mat4Identity(), Vec3Set(10, 0, 0));
    // Translate first, then rotate: (10, 0, 0) turns to (0, 0, -10).
    ExpectVecNear(Mat4TransformPoint(Mat4Multiply(rotate, move), Vec3Set(0, 0, 0)), 0, 0, -10,
                  1e-5f);
    // Rotate first, then translate.
    ExpectVecNear(Mat4TransformPoint(Mat4Multiply(move, rotate), Vec3Set(1, 0, 0)), 10, 0, -1,
                  1e-5f);
}

TEST(Math3d, RotationSenses) {
    const float a = 0.7f;
    const float c = std::cos(a);
    const float s = std::sin(a);
    ExpectVecNear(Mat4TransformPoint(Mat4RotationX(a), Vec3Set(0, 1, 0)), 0, c, -s);
    ExpectVecNear(Mat4TransformPoint(Mat4RotationY(a), Vec3Set(1, 0, 0)), c, 0, -s);
    ExpectVecNear(Mat4TransformPoint(Mat4RotationZ(a), Vec3Set(1, 0, 0)), c, -s, 0);
    for (const Mat4& r : {Mat4RotationX(a), Mat4RotationY(a), Mat4RotationZ(a)}) {
        EXPECT_EQ(r[3], 0.0f);
        EXPECT_EQ(r[7], 0.0f);
        EXPECT_EQ(r[11], 0.0f);
        EXPECT_EQ(r[15], 1.0f);
    }
}

TEST(Math3d, RigidInverseUndoesRotationAndTranslation) {
    const Mat4 m = Mat4Translate(Mat4RotationZ(0.3f), Vec3Set(1, 2, 3));
    ExpectMatrixNear(Mat4Multiply(Mat4RigidInverse(m), m), Mat4Identity(), 1e-6f);
    ExpectMatrixNear(Mat4Multiply(m, Mat4RigidInverse(m)), Mat4Identity(), 1e-6f);
    // With no translation the inverse is the transposed rotation.
    const Mat4 r = Mat4Multiply(Mat4RotationX(0.4f), Mat4RotationY(-1.1f));
    const Mat4 inverse = Mat4RigidInverse(r);
    for (int col = 0; col < 3; ++col)
        for (int row = 0; row < 3; ++row)
            EXPECT_EQ(inverse[4 * col + row], r[4 * row + col]);
    EXPECT_EQ(inverse[12], 0.0f);
    EXPECT_EQ(inverse[13], 0.0f);
    EXPECT_EQ(inverse[14], 0.0f);
}

TEST(Math3d, TranslationHelpers) {
    const Mat4 m = Mat4Translate(Mat4RotationY(0.9f), Vec3Set(4, -5, 6));
    // M x T(-v) moves along M's own axes.
    Mat4 walk = Mat4Translate(Mat4Identity(), Vec3Set(7, 0, 0));
    Mat4ApplyTranslateNeg(walk, Vec3Set(2, 0, 0));
    EXPECT_EQ(walk[12], 5.0f);
    ExpectMatrixNear(Mat4TranslateNeg(m, Vec3Set(1, 2, 3)), Mat4Translate(m, Vec3Set(-1, -2, -3)),
                     0.0f);
    const Mat4 turned = Mat4Translate(Mat4RotationY(1.5707963f), Vec3Set(1, 0, 0));
    ExpectVecNear(Vec3Set(turned[12], turned[13], turned[14]), 0, 0, -1, 1e-6f);
}

TEST(Math3d, Vectors) {
    EXPECT_EQ(Vec3Length(Vec3Set(0, 0, 0)), 0.0f);
    EXPECT_FLOAT_EQ(Vec3Length(Vec3Set(3, 4, 12)), 13.0f);
    const Vec3 v = Vec3Scale(Vec3Set(1, -2, 3), -2.0f);
    ExpectVecNear(v, -2, 4, -6, 0.0f);
}

} // namespace
