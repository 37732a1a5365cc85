// The character's node tree, the child transforms and the shading formula.
#include <gtest/gtest.h>

#include <cmath>

#include "character/scene_node.h"

namespace {

void ExpectMatrixNear(const Mat4& a, const Mat4& b, float tolerance = 1e-5f) {
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(a[i], b[i], tolerance) << "element " << i;
}

// 49 mesh records with positions and angles only (the nodes read no more).
struct Meshes {
    Mesh array[kMeshCount];
    Meshes() {
        for (int i = 0; i < kMeshCount; ++i) {
            array[i].position = Vec3Set(0.5f * i, 40.0f + i, -0.25f * i);
            array[i].rotation = Vec3Set(0.01f * i, -0.02f * i, 0.03f * i);
        }
    }
};

TEST(SceneNodes, BuildCharacterNodesLinksTheTree) {
    Meshes m;
    BuildCharacterNodes(m.array);
    EXPECT_EQ(bodyNode.meshIndex, 1);
    EXPECT_EQ(domeNode.meshIndex, 0);
    EXPECT_EQ(headNode.meshIndex, 2);
    EXPECT_EQ(swordNode.meshIndex, 33);
    ExpectMatrixNear(bodyNode.local, Mat4Translate(Mat4Identity(), m.array[1].position), 0.0f);
    ExpectMatrixNear(domeNode.local, Mat4Identity(), 0.0f);
    EXPECT_EQ(bodyNode.parent, nullptr);
    ASSERT_EQ(bodyNode.childCount, 2);
    EXPECT_EQ(bodyNode.children[0], &headNode);
    EXPECT_EQ(bodyNode.children[1], &swordNode);
    EXPECT_EQ(headNode.parent, &bodyNode);
    EXPECT_EQ(swordNode.parent, &bodyNode);
    EXPECT_EQ(domeNode.parent, nullptr);
    EXPECT_EQ(domeNode.childCount, 0);
    EXPECT_EQ(headNode.childCount, 0);
}

TEST(SceneNodes, ChildLocalTurnsTheOffsetAboutTheParent) {
    Meshes m;
    BuildCharacterNodes(m.array);
    headNode.meshIndex = 12;
    bodyNode.meshIndex = 11;
    ComposeChildLocal(headNode, bodyNode, m.array);
    const Mesh& c = m.array[12];
    const Mesh& p = m.array[11];
    const Vec3 offset = Vec3Set(c.position.x - p.position.x, c.position.y - p.position.y,
                                c.position.z - p.position.z);
    const Mat4 expected =
        Mat4Multiply(Mat4RotationZ(c.rotation.z),
                     Mat4Multiply(Mat4RotationY(c.rotation.y),
                                  Mat4Multiply(Mat4RotationX(c.rotation.x),
                                               Mat4Translate(Mat4Identity(), offset))));
    ExpectMatrixNear(headNode.local, expected);
    // The child's origin lands on its offset turned by its angles.
    const Vec3 origin = Mat4TransformPoint(headNode.local, Vec3Set(0, 0, 0));
    const float length = Vec3Length(origin);
    EXPECT_NEAR(length, Vec3Length(offset), 1e-4f);

    // An index outside the array leaves the transform as it was.
    const Mat4 before = headNode.local;
    headNode.meshIndex = 49;
    ComposeChildLocal(headNode, bodyNode, m.array);
    ExpectMatrixNear(headNode.local, before, 0.0f);
    headNode.meshIndex = -1;
    ComposeChildLocal(headNode, bodyNode, m.array);
    ExpectMatrixNear(headNode.local, before, 0.0f);
}

TEST(SceneNodes, CopyForcesTheBottomRowAndKeepsTheLinks) {
    Meshes m;
    BuildCharacterNodes(m.array);
    SceneNode node = bodyNode;
    node.local[3] = 5.0f;
    node.local[15] = 2.0f;
    const SceneNode copy = CopySceneNode(node);
    EXPECT_EQ(copy.local[3], 0.0f);
    EXPECT_EQ(copy.local[15], 1.0f);
    EXPECT_EQ(copy.local[12], node.local[12]);
    EXPECT_EQ(copy.children, bodyNode.children);
    EXPECT_EQ(copy.childCount, 2);
    EXPECT_EQ(CopySceneNode(headNode).parent, &bodyNode);
}

TEST(SceneNodes, LightRotationIsTheWorldTurnWithoutTranslation) {
    Meshes m;
    BuildCharacterNodes(m.array);
    // Moving the body changes nothing; turning it turns the head's light.
    bodyNode.local = Mat4Translate(Mat4Identity(), Vec3Set(-300, 40, 12));
    headNode.local =
        Mat4Multiply(Mat4RotationX(0.3f), Mat4Translate(Mat4Identity(), Vec3Set(1, 2, 3)));
    Mat4 w = NodeLightRotation(headNode);
    ExpectMatrixNear(w, Mat4RotationX(0.3f));
    bodyNode.local =
        Mat4Multiply(Mat4Translate(Mat4Identity(), Vec3Set(5, 5, 5)), Mat4RotationY(1.2f));
    w = NodeLightRotation(headNode);
    ExpectMatrixNear(w, Mat4Multiply(Mat4RotationY(1.2f), Mat4RotationX(0.3f)));
    // The root uses its own local only.
    ExpectMatrixNear(NodeLightRotation(bodyNode), Mat4RotationY(1.2f));
}

TEST(Shading, FacingTheLightIsOneAwayIsZeroEdgeOnIsHalf) {
    const float s = 1.0f / std::sqrt(3.0f);
    const Vec3 light = Vec3Set(-s, s, -s);
    const Mat4 identity = Mat4Identity();
    EXPECT_NEAR(ShadeIntensity(light, Vec3Set(-1, 1, -1), identity), 1.0f, 1e-6f);
    EXPECT_NEAR(ShadeIntensity(light, Vec3Set(1, -1, 1), identity), 0.0f, 1e-6f);
    EXPECT_NEAR(ShadeIntensity(light, Vec3Set(1, 1, 0), identity), 0.5f, 1e-6f);
    EXPECT_NEAR(ShadeIntensity(light, Vec3Set(0, 0, 0), identity), 0.5f, 0.0f);
    // Normals are normalised after turning: the length does not matter.
    EXPECT_NEAR(ShadeIntensity(light, Vec3Set(-5, 5, -5), identity), 1.0f, 1e-6f);
    // The rotation turns the normal before the light is applied: a normal
    // facing +x under a half turn about y faces -x.
    const Mat4 halfTurn = Mat4RotationY(3.14159265f);
    EXPECT_NEAR(ShadeIntensity(light, Vec3Set(1, 0, 0), halfTurn), 0.5f + 0.5f * s, 1e-5f);
    EXPECT_NEAR(ShadeIntensity(light, Vec3Set(-1, 0, 0), halfTurn), 0.5f - 0.5f * s, 1e-5f);
}

} // namespace
