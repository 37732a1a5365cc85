#include <gtest/gtest.h>

#include <vector>

#include "scene/offscreen_context.h"
#include "scene/shadows.h"

namespace {

// Records with the character code's field names, as DrawShadows reads them.
struct Face {
    int32_t vertexIndex[3];
};
struct Vertex {
    Vec3 position;
};
struct Mesh {
    Face* faces = nullptr;
    Vertex* vertices = nullptr;
    int32_t faceCount = 0;
};
struct SceneNode {
    int32_t meshIndex = 0;
    Mat4 local = Mat4Identity();
};

// The faces and vertices behind one test mesh.
struct MeshData {
    std::vector<Face> faces;
    std::vector<Vertex> vertices;

    // A right triangle with its corner at (x, h, z) and legs of 10 along +x
    // and -z: counter-clockwise seen from above, or the reverse.
    MeshData& Triangle(float x, float h, float z, bool reversed = false) {
        const int32_t base = static_cast<int32_t>(vertices.size());
        vertices.push_back({{x, h, z}});
        vertices.push_back({{x + 10, h, z}});
        vertices.push_back({{x, h, z - 10}});
        faces.push_back(reversed ? Face{{base, base + 2, base + 1}}
                                 : Face{{base, base + 1, base + 2}});
        return *this;
    }
    Mesh View() { return Mesh{faces.data(), vertices.data(), static_cast<int32_t>(faces.size())}; }
};

constexpr int kSize = 100; // one pixel per world unit, x and z from -50 to 50

class ShadowDrawing : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(context.ok());
        glViewport(0, 0, kSize, kSize);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(-50, 50, -50, 50, -100, 100);
        // From straight above, screen up is world -z: window (x, y) shows the
        // floor point (x - 50, 0, 50 - y).
        glMatrixMode(GL_MODELVIEW);
        const float view[16] = {1, 0, 0, 0, 0, 0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1};
        glLoadMatrixf(view);
        glDisable(GL_DEPTH_TEST);
        glDisable(GL_BLEND);
        glEnable(GL_TEXTURE_2D);
        glEnable(GL_CULL_FACE);
        glCullFace(GL_BACK);
        glClearColor(1, 1, 1, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        glBindTexture(GL_TEXTURE_2D, SolidTexture(0, 255, 0)); // must not show
    }

    // Whether the floor point (x, z) is in shadow; checks the shadow's colour.
    bool Shadowed(float x, float z) {
        const uint8_t* p = context.Pixel(static_cast<int>(x + 50), static_cast<int>(50 - z));
        if (p[0] == 255 && p[1] == 255 && p[2] == 255)
            return false;
        EXPECT_NEAR(p[0], 26, 1);
        EXPECT_NEAR(p[1], 13, 1);
        EXPECT_EQ(p[2], 0);
        return true;
    }

    OffscreenContext context{kSize, kSize};
};

TEST_F(ShadowDrawing, PointsMoveTowardPlusXAndZByTheirHeight) {
    const Vec3 flat = ProjectShadowPoint(Vec3{3, 0, -4});
    EXPECT_EQ(flat.x, 3.0f);
    EXPECT_EQ(flat.z, -4.0f);
    const Vec3 raised = ProjectShadowPoint(Vec3{3, 7, -4});
    EXPECT_EQ(raised.x, 10.0f);
    EXPECT_EQ(raised.y, 0.0f);
    EXPECT_EQ(raised.z, 3.0f);
}

TEST_F(ShadowDrawing, TheBodyHeadAndSwordCastThroughTheirTransforms) {
    MeshData body, head;
    body.Triangle(-40, 0, 0);
    head.Triangle(0, 10, 0);                             // at height 10: lands 10 toward +x and +z
    Mesh meshes[3] = {body.View(), head.View(), Mesh{}}; // the sword's mesh has no faces
    SceneNode bodyNode, headNode, swordNode;
    bodyNode.meshIndex = 0;
    bodyNode.local[12] = 5.0f; // the body has walked 5 toward +x
    headNode.meshIndex = 1;
    headNode.local[14] = -20.0f; // the head hangs 20 toward -z from the body
    swordNode.meshIndex = 2;
    DrawShadows(bodyNode, headNode, swordNode, meshes, 3);

    // Body: corner (-40, 0) moved by the walk to (-35, 0).
    EXPECT_TRUE(Shadowed(-33, -2));
    EXPECT_FALSE(Shadowed(-38, -2));
    // Head: (0, 10, 0) -> local (0, 10, -20) -> body (5, 10, -20) -> floor (15, 0, -10).
    EXPECT_TRUE(Shadowed(17, -12));
    EXPECT_FALSE(Shadowed(2, -2));
    EXPECT_FALSE(Shadowed(7, -22));

    // The state the frame relies on is unchanged, and texture 0 is bound.
    EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    GLint bound = -1;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(bound, 0);
}

TEST_F(ShadowDrawing, ARotatedNodeTurnsBeforeTheBodyMovesIt) {
    // Pure translations give the same place in either order; a turn does not.
    MeshData body, head;
    head.Triangle(0, 10, 0);
    Mesh meshes[2] = {body.View(), head.View()};
    SceneNode bodyNode, headNode, swordNode;
    bodyNode.local[12] = 20.0f;
    headNode.meshIndex = 1;
    headNode.local = Mat4RotationY(1.5707964f); // (x, y, z) -> (z, y, -x)
    swordNode.meshIndex = 0;
    DrawShadows(bodyNode, headNode, swordNode, meshes, 2);
    // Turned, then moved 20 along x: corners (20, 10, 0), (20, 10, -10),
    // (10, 10, 0); on the floor (30, 10), (30, 0), (20, 10).
    EXPECT_TRUE(Shadowed(28, 8));
    EXPECT_FALSE(Shadowed(32, 8));  // moved but not turned
    EXPECT_FALSE(Shadowed(8, -12)); // moved, then turned
}

TEST_F(ShadowDrawing, TrianglesFacingAwayAndMissingMeshesCastNothing) {
    MeshData data;
    data.Triangle(-40, 0, 0, /*reversed=*/true).Triangle(10, 0, 0);
    Mesh meshes[1] = {data.View()};
    SceneNode body, head, sword;
    head.meshIndex = 7; // outside the array
    sword.meshIndex = -1;
    DrawShadows(body, head, sword, meshes, 1);
    EXPECT_FALSE(Shadowed(-38, -2)); // culled: clockwise on screen
    EXPECT_TRUE(Shadowed(12, -2));
    DrawShadows(body, head, sword, static_cast<const Mesh*>(nullptr), 0);
}

// The shadows are drawn with texturing off, not through texture 0: where
// texture 0 is sampled (WebGL samples it black) it must not show. Here the
// default texture object gets a green picture of its own.
TEST_F(ShadowDrawing, TheShadowColourIsNotTakenThroughTextureZero) {
    const uint8_t green[4] = {0, 255, 0, 255};
    glBindTexture(GL_TEXTURE_2D, 0);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, green);
    MeshData data;
    data.Triangle(10, 0, 0);
    Mesh meshes[1] = {data.View()};
    SceneNode body, head, sword;
    head.meshIndex = sword.meshIndex = -1;
    DrawShadows(body, head, sword, meshes, 1);
    EXPECT_TRUE(Shadowed(12, -2)); // the shadow's own colour, not modulated green
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
}

} // namespace
