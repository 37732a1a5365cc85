// Drawing of meshes and of the character tree through OSMesa.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "character/character_draw.h"
#include "character/mesh.h"
#include "character/offscreen.h"
#include "character/scene_node.h"
#include "common/asset_folder.h"
#include "glwindow/gl_state.h"
#include "terrain/textures.h"

namespace {

constexpr int kSize = 64;
const uint32_t kNoTextures[kTextureSlotCount] = {};

// Two triangles filling the left and the right half of the picture (with
// an orthographic view of -1..1), counter-clockwise toward the viewer.
struct Quad {
    Face faces[2];
    Vertex vertices[4];
    TexCoord texCoords[1];
    Mesh mesh;
    Quad() {
        vertices[0].position = Vec3Set(-1, -1, 0);
        vertices[1].position = Vec3Set(1, -1, 0);
        vertices[2].position = Vec3Set(1, 1, 0);
        vertices[3].position = Vec3Set(-1, 1, 0);
        const int32_t a[3] = {0, 2, 3}, b[3] = {0, 1, 2};
        std::memcpy(faces[0].vertexIndex, a, sizeof a); // upper left half
        std::memcpy(faces[1].vertexIndex, b, sizeof b); // lower right half
        mesh.faces = faces;
        mesh.vertices = vertices;
        mesh.texCoords = texCoords;
        mesh.faceCount = 2;
        mesh.vertexCount = 4;
        mesh.texCoordCount = 1;
        mesh.material = 3;
    }
};

void OrthographicView() {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-1, 1, -1, 1, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_CULL_FACE);
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

Vec3 Unit(float x, float y, float z) {
    const float l = std::sqrt(x * x + y * y + z * z);
    return Vec3Set(x / l, y / l, z / l);
}

TEST(DrawMesh, GreyLevelsOfTheListedNormals) {
    Offscreen context(kSize, kSize);
    struct Case {
        Vec3 normal;
        int grey;
    };
    // Toward the light, away from it, and at right angles to it.
    for (const Case& c :
         {Case{Unit(-1, 1, -1), 255}, Case{Unit(1, -1, 1), 0}, Case{Unit(1, 1, 0), 128}}) {
        Quad quad;
        quad.faces[0].normal = quad.faces[1].normal = c.normal;
        for (Vertex& v : quad.vertices)
            v.normal = c.normal;
        for (int mode : {kLightingPerFace, kLightingPerVertex}) {
            OrthographicView();
            DrawMesh(quad.mesh, kNoTextures, Vec3Set(-1, 1, -1), Mat4Identity(), mode);
            const std::vector<uint8_t> pixels = context.Pixels();
            const uint8_t* p = context.At(pixels, kSize / 2, kSize / 3);
            EXPECT_NEAR(p[0], c.grey, 1) << "mode " << mode;
            EXPECT_EQ(p[0], p[1]);
            EXPECT_EQ(p[0], p[2]);
        }
    }
}

TEST(DrawMesh, PerFaceIsOneGreyPerTrianglePerVertexBlendsTheCorners) {
    Offscreen context(kSize, kSize);
    Quad quad;
    quad.faces[0].normal = Unit(-1, 1, -1);
    quad.faces[1].normal = Unit(1, 0, 0);
    quad.vertices[0].normal = Unit(-1, 1, -1);
    quad.vertices[1].normal = Unit(1, -1, 1);
    quad.vertices[2].normal = Unit(0, 1, 0);
    quad.vertices[3].normal = Unit(-1, 0, 0);

    OrthographicView();
    DrawMesh(quad.mesh, kNoTextures, Vec3Set(-1, 1, -1), Mat4Identity(), kLightingPerFace);
    std::vector<uint8_t> pixels = context.Pixels();
    // Sample well inside each triangle: all samples of one triangle agree.
    for (int face = 0; face < 2; ++face) {
        int first = -1;
        for (int y = 4; y < kSize - 4; y += 3)
            for (int x = 4; x < kSize - 4; x += 3) {
                const bool upperLeft = y > x + 3, lowerRight = y < x - 3;
                if ((face == 0 && !upperLeft) || (face == 1 && !lowerRight))
                    continue;
                const int grey = context.At(pixels, x, y)[0];
                if (first < 0)
                    first = grey;
                EXPECT_EQ(grey, first) << "face " << face << " at " << x << "," << y;
            }
    }
    EXPECT_NE(context.At(pixels, 10, 50)[0], context.At(pixels, 50, 10)[0]);

    OrthographicView();
    DrawMesh(quad.mesh, kNoTextures, Vec3Set(-1, 1, -1), Mat4Identity(), kLightingPerVertex);
    pixels = context.Pixels();
    EXPECT_GT(std::abs(context.At(pixels, 4, 2)[0] - context.At(pixels, 60, 2)[0]), 100)
        << "corners of one triangle differ per vertex";
}

// Every corner carries its grey: with lighting per face all three are the
// face's (one grey per triangle, as when the colour was set once per face),
// with lighting per vertex each is its vertex's, unlit all are white.
TEST(DrawMesh, EachCornerCarriesTheGreyOfItsLightingMode) {
    Quad quad;
    quad.faces[1].normal = Unit(1, 0, 0);
    quad.vertices[0].normal = Unit(-1, 1, -1);
    quad.vertices[1].normal = Unit(1, -1, 1);
    quad.vertices[2].normal = Unit(0, 1, 0);
    const Vec3 light = Unit(-1, 1, -1);
    const Mat4 w = Mat4RotationY(0.5f);
    const Face& face = quad.faces[1]; // corners 0, 1, 2
    struct Case {
        int32_t mode;
        float grey[3];
    };
    const float faceGrey = ShadeIntensity(light, face.normal, w);
    const Case cases[] = {
        {kLightingPerFace, {faceGrey, faceGrey, faceGrey}},
        {kLightingPerVertex,
         {ShadeIntensity(light, quad.vertices[0].normal, w),
          ShadeIntensity(light, quad.vertices[1].normal, w),
          ShadeIntensity(light, quad.vertices[2].normal, w)}},
        {0, {1, 1, 1}},
        {3, {1, 1, 1}},
    };
    for (const Case& c : cases) {
        float grey[3] = {-1, -1, -1};
        CornerGreys(quad.mesh, face, light, w, c.mode, grey);
        for (int k = 0; k < 3; ++k)
            EXPECT_EQ(grey[k], c.grey[k]) << "mode " << c.mode << " corner " << k;
    }
    EXPECT_NE(cases[1].grey[0], cases[1].grey[1]); // the vertex normals differ
}

TEST(DrawMesh, WithoutLightingTheCurrentColourStays) {
    Offscreen context(kSize, kSize);
    Quad quad;
    quad.faces[0].normal = quad.faces[1].normal = Unit(1, -1, 1); // would be black
    for (int mode : {0, 3, -1}) {
        OrthographicView();
        glColor3f(1, 1, 1);
        DrawMesh(quad.mesh, kNoTextures, Vec3Set(-1, 1, -1), Mat4Identity(), mode);
        const std::vector<uint8_t> pixels = context.Pixels();
        EXPECT_EQ(context.At(pixels, 20, 40)[0], 255) << mode;
        EXPECT_EQ(context.At(pixels, 40, 20)[2], 255) << mode;
    }
}

TEST(DrawMesh, UnlitIsWhiteAndLeavesMatrixAndCulling) {
    Offscreen context(kSize, kSize);
    Quad quad;
    OrthographicView();
    glEnable(GL_CULL_FACE);
    glCullFace(GL_FRONT);
    glColor3f(0.2f, 0.3f, 0.4f);
    DrawMeshUnlit(quad.mesh, kNoTextures);
    // The quad faces the viewer and front faces are culled: nothing drawn,
    // and the culling is still the caller's.
    std::vector<uint8_t> pixels = context.Pixels();
    EXPECT_EQ(context.At(pixels, 32, 32)[0], 0);
    GLint cull = 0;
    glGetIntegerv(GL_CULL_FACE_MODE, &cull);
    EXPECT_EQ(cull, GL_FRONT);
    glCullFace(GL_BACK);
    glColor3f(0.2f, 0.3f, 0.4f);
    DrawMeshUnlit(quad.mesh, kNoTextures);
    pixels = context.Pixels();
    EXPECT_EQ(context.At(pixels, 32, 32)[0], 255);
    GLfloat modelView[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, modelView);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(modelView[i], (i % 5 == 0) ? 1.0f : 0.0f);
}

// The real character from the generated assets.
class CharacterDrawing : public ::testing::Test {
  protected:
    CharacterDrawing() : context_(160, 200), assets_(TAZRO_TEST_ASSET_DIR) {}
    void SetUp() override {
        previous_ = GetResourceSource();
        SetResourceSource(&assets_);
        ASSERT_TRUE(LoadSceneTextures(false));
        MeshStatus status;
        ASSERT_TRUE(PrepareCharacterMeshes(status));
        BuildCharacterNodes(meshes);
    }
    void TearDown() override {
        FreeCharacterMeshes();
        SetResourceSource(previous_);
    }
    void Keyframe(int k) {
        bodyNode.meshIndex = kFirstBodyMesh + 2 * k;
        headNode.meshIndex = kFirstHeadMesh + 2 * k;
        swordNode.meshIndex = kFirstSwordMesh + k;
        ComposeChildLocal(headNode, bodyNode, meshes);
        ComposeChildLocal(swordNode, bodyNode, meshes);
    }
    // A view of the whole character from its front left.
    void View() {
        ApplyViewportProjection(context_.Width(), context_.Height());
        glClearColor(0, 0, 0, 0);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        Mat4 view = Mat4Translate(Mat4Identity(), Vec3Set(0, -25, 0));
        view = Mat4Multiply(Mat4RotationY(0.7f), view);
        view[14] -= 70.0f;
        glLoadMatrixf(view.m);
    }
    std::vector<uint8_t> Draw(int lighting, bool interpolate, float t) {
        View();
        DrawSceneNode(CopySceneNode(bodyNode), meshes, textureSlots, lighting, interpolate, t);
        return context_.Pixels();
    }

    Offscreen context_;
    AssetFolder assets_;
    ResourceSource* previous_ = nullptr;
};

TEST_F(CharacterDrawing, TheCharacterStandsInTheMiddleOfThePicture) {
    Keyframe(3);
    const std::vector<uint8_t> pixels = Draw(kLightingPerVertex, true, 0.4f);
    int covered = 0, left = 1000, right = -1, bottom = 1000, top = -1;
    for (int y = 0; y < context_.Height(); ++y)
        for (int x = 0; x < context_.Width(); ++x) {
            const uint8_t* p = context_.At(pixels, x, y);
            if (p[0] + p[1] + p[2] == 0)
                continue;
            ++covered;
            left = std::min(left, x);
            right = std::max(right, x);
            bottom = std::min(bottom, y);
            top = std::max(top, y);
        }
    EXPECT_GT(covered, 2000);
    EXPECT_LT(covered, 160 * 200 / 2);
    EXPECT_GT(top - bottom, 100) << "about as tall as the view shows 60 units";
    EXPECT_LT(bottom, 100);
    EXPECT_GT(top, 100);
    EXPECT_LT(left, 80);
    EXPECT_GT(right, 80);
}

TEST_F(CharacterDrawing, LeavesTheMatrixStackAndCullsBackFaces) {
    Keyframe(5);
    View();
    glCullFace(GL_FRONT);
    GLfloat before[16], after[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, before);
    GLint depthBefore = 0, depthAfter = 0;
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depthBefore);
    DrawSceneNode(CopySceneNode(bodyNode), meshes, textureSlots, kLightingPerFace, true, 0.5f);
    glGetFloatv(GL_MODELVIEW_MATRIX, after);
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depthAfter);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(after[i], before[i]) << i;
    EXPECT_EQ(depthAfter, depthBefore);
    GLint cull = 0, mode = 0;
    glGetIntegerv(GL_CULL_FACE_MODE, &cull);
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(cull, GL_BACK);
    EXPECT_EQ(mode, GL_MODELVIEW);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(CharacterDrawing, BlendingAtZeroIsNoBlending) {
    for (int k : {0, 7, 15}) {
        Keyframe(k);
        for (int lighting : {0, kLightingPerFace, kLightingPerVertex})
            EXPECT_EQ(Draw(lighting, true, 0.0f), Draw(lighting, false, 0.7f))
                << "keyframe " << k << " lighting " << lighting;
    }
    Keyframe(2);
    EXPECT_NE(Draw(kLightingPerVertex, true, 0.5f), Draw(kLightingPerVertex, false, 0.0f));
}

TEST_F(CharacterDrawing, BlendingAtOneTakesTheNextShapeWithThisLighting) {
    const Mesh& current = meshes[kFirstBodyMesh + 2 * 4];
    const Mesh& next = *current.next;
    // The next keyframe's positions with this keyframe's normals.
    std::vector<Vertex> mixed(next.vertices, next.vertices + next.vertexCount);
    for (int32_t v = 0; v < current.vertexCount; ++v)
        mixed[v].normal = current.vertices[v].normal;
    Mesh expected = next;
    expected.vertices = mixed.data();
    expected.faces = current.faces; // same list; face normals of this keyframe
    const Mat4 w = Mat4Identity();
    const Vec3 light = Vec3Set(-1, 1, -1);
    for (int lighting : {0, kLightingPerFace, kLightingPerVertex}) {
        View();
        DrawMeshBlended(current, textureSlots, light, w, lighting, 1.0f);
        const std::vector<uint8_t> blended = context_.Pixels();
        View();
        DrawMesh(expected, textureSlots, light, w, lighting);
        EXPECT_EQ(blended, context_.Pixels()) << "lighting " << lighting;
    }
    // Without a usable next keyframe the mesh is drawn as it is.
    Mesh lonely = current;
    Mesh shorter = next;
    shorter.vertexCount = current.vertexCount - 1;
    for (Mesh* n : {static_cast<Mesh*>(nullptr), &shorter}) {
        lonely.next = n;
        View();
        DrawMeshBlended(lonely, textureSlots, light, w, kLightingPerVertex, 0.8f);
        const std::vector<uint8_t> fallback = context_.Pixels();
        View();
        DrawMesh(current, textureSlots, light, w, kLightingPerVertex);
        EXPECT_EQ(fallback, context_.Pixels());
    }
}

TEST_F(CharacterDrawing, ANodeOutsideTheArrayStillDrawsItsChildren) {
    Keyframe(0);
    const std::vector<uint8_t> whole = Draw(kLightingPerVertex, false, 0.0f);
    bodyNode.meshIndex = 49;
    const std::vector<uint8_t> partial = Draw(kLightingPerVertex, false, 0.0f);
    int wholeCount = 0, partialCount = 0;
    for (size_t i = 0; i < whole.size(); i += 4) {
        wholeCount += whole[i] + whole[i + 1] + whole[i + 2] > 0;
        partialCount += partial[i] + partial[i + 1] + partial[i + 2] > 0;
    }
    EXPECT_GT(partialCount, 100) << "head and sword";
    EXPECT_LT(partialCount, wholeCount / 2);
    bodyNode.meshIndex = -3;
    Draw(kLightingPerVertex, false, 0.0f);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(CharacterDrawing, NinjaMaterialDarkensTheBody) {
    Keyframe(0);
    const std::vector<uint8_t> normal = Draw(0, false, 0.0f);
    for (int k = 0; k < kKeyframeCount; ++k)
        meshes[kFirstBodyMesh + 2 * k].material = kNinjaBodyMaterial;
    const std::vector<uint8_t> ninja = Draw(0, false, 0.0f);
    long normalSum = 0, ninjaSum = 0;
    for (size_t i = 0; i < normal.size(); i += 4) {
        normalSum += normal[i] + normal[i + 1] + normal[i + 2];
        ninjaSum += ninja[i] + ninja[i + 1] + ninja[i + 2];
    }
    EXPECT_LT(ninjaSum, normalSum * 3 / 4);
}

} // namespace
