#include <gtest/gtest.h>

#include <cmath>

#include "glwindow/gl_state.h"
#include "scene/camera.h"
#include "scene/offscreen_context.h"
#include "scene/sky.h"

namespace {

constexpr int kSize = 128;
// The nearest the dome comes to the eye, and the farthest the terrain lies.
constexpr float kDomeDistance = 80000.0f;
constexpr float kTerrainDistance = 37000.0f;

// What the dome call saw, and a backdrop it paints in place of the dome.
struct DomeProbe {
    bool called = false;
    bool depthTest = true;
    GLboolean depthMask = GL_TRUE;
    GLint cullMode = 0;
    float modelView[16] = {};
    float grey = 0.25f;
};

void DrawBackdrop(void* context) {
    DomeProbe& probe = *static_cast<DomeProbe*>(context);
    probe.called = true;
    probe.depthTest = glIsEnabled(GL_DEPTH_TEST);
    glGetBooleanv(GL_DEPTH_WRITEMASK, &probe.depthMask);
    glGetIntegerv(GL_CULL_FACE_MODE, &probe.cullMode);
    glGetFloatv(GL_MODELVIEW_MATRIX, probe.modelView);
    // A screen-filling quad as far from the eye as the dome, facing away
    // (clockwise on screen), as the inside of the dome does.
    glPushMatrix();
    glLoadIdentity();
    glDisable(GL_TEXTURE_2D);
    glColor3f(probe.grey, probe.grey, probe.grey);
    glBegin(GL_QUADS);
    glVertex3f(-1e6f, -1e6f, -kDomeDistance);
    glVertex3f(-1e6f, 1e6f, -kDomeDistance);
    glVertex3f(1e6f, 1e6f, -kDomeDistance);
    glVertex3f(1e6f, -1e6f, -kDomeDistance);
    glEnd();
    glEnable(GL_TEXTURE_2D);
    glPopMatrix();
}

class SkyDrawing : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(context.ok());
        ApplyFixedGlState(); // the window's state: depth test with GL_LEQUAL
        glViewport(0, 0, kSize, kSize);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        gluPerspective(120.0, 1.0, 0.1, 10000000.0);
        glMatrixMode(GL_MODELVIEW);
        glClearColor(0, 0, 0, 0);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        // Looking straight along -z: the sun is up and to the left.
        skyView = BuildSkyView(Mat4Identity());
    }

    // Window position of the sun's centre.
    void SunPixel(int& x, int& y) {
        const Vec3 centre = Mat4TransformPoint(Mat4Multiply(skyView, SunTransform()), Vec3{});
        GLdouble model[16], projection[16], wx, wy, wz;
        GLint viewport[4];
        for (int i = 0; i < 16; ++i)
            model[i] = (i % 5 == 0) ? 1.0 : 0.0;
        glGetDoublev(GL_PROJECTION_MATRIX, projection);
        glGetIntegerv(GL_VIEWPORT, viewport);
        gluProject(centre.x, centre.y, centre.z, model, projection, viewport, &wx, &wy, &wz);
        x = static_cast<int>(wx);
        y = static_cast<int>(wy);
    }

    OffscreenContext context{kSize, kSize};
    Mat4 skyView;
    DomeProbe probe;
};

TEST_F(SkyDrawing, TheSunSitsUpTowardTheLightBeyondTheDome) {
    const Vec3 centre = Mat4TransformPoint(SunTransform(), Vec3{});
    EXPECT_NEAR(centre.x, -55667.0f, 2.0f);
    EXPECT_NEAR(centre.y, 66342.0f, 2.0f);
    EXPECT_NEAR(centre.z, -50000.0f, 2.0f);
    EXPECT_NEAR(Vec3Length(centre), 100000.0f, 1.0f);
}

TEST_F(SkyDrawing, TheDomeIsBackgroundAndTheStateIsLeftForTheScene) {
    const GLuint glow = SolidTexture(0, 0, 0);
    DrawSky(skyView, DrawBackdrop, &probe, glow, glow, false);
    ASSERT_TRUE(probe.called);
    EXPECT_FALSE(probe.depthTest);
    EXPECT_EQ(probe.depthMask, GL_FALSE);
    EXPECT_EQ(probe.cullMode, GL_FRONT);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(probe.modelView[i], skyView[i]);

    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    GLboolean mask = GL_FALSE;
    glGetBooleanv(GL_DEPTH_WRITEMASK, &mask);
    EXPECT_EQ(mask, GL_TRUE);
    EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
    GLint cull = 0;
    glGetIntegerv(GL_CULL_FACE_MODE, &cull);
    EXPECT_EQ(cull, GL_BACK);
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    float top[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, top);
    const Mat4 expected = Mat4Multiply(skyView, SunTransform());
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(top[i], expected[i], 1e-2f * (std::fabs(expected[i]) + 1.0f)) << i;

    // The dome wrote no depth: anything drawn later covers it.
    float depth = 0.0f;
    glReadPixels(kSize / 2, kSize / 2, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &depth);
    EXPECT_EQ(depth, 1.0f);
    // Black sun layers add nothing to the dome.
    const uint8_t* p = context.Pixel(kSize / 2, kSize / 2);
    EXPECT_NEAR(p[0], 64, 1);
    int x = 0, y = 0;
    SunPixel(x, y);
    p = context.Pixel(x, y);
    EXPECT_NEAR(p[0], 64, 1);
    EXPECT_NEAR(p[2], 64, 1);
}

TEST_F(SkyDrawing, TheTwoSunLayersAddOntoTheDome) {
    int x = 0, y = 0;
    SunPixel(x, y);
    ASSERT_GT(x, 4);
    ASSERT_LT(x, kSize / 2);
    ASSERT_GT(y, kSize / 2);
    ASSERT_LT(y, kSize - 4);
    const GLuint glow = SolidTexture(100, 60, 0);
    const GLuint halo = SolidTexture(0, 40, 120);
    DrawSky(skyView, DrawBackdrop, &probe, glow, halo, false);
    const uint8_t* sun = context.Pixel(x, y);
    EXPECT_NEAR(sun[0], 64 + 100, 2);
    EXPECT_NEAR(sun[1], 64 + 60 + 40, 2);
    EXPECT_NEAR(sun[2], 64 + 120, 2);
    // The square is about 11 degrees wide: the opposite corner of the
    // picture shows only the dome.
    const uint8_t* away = context.Pixel(kSize - 2, 2);
    EXPECT_NEAR(away[0], 64, 1);
    EXPECT_NEAR(away[1], 64, 1);
}

// Behind a picture already drawn (the terrain, at the farthest it lies), the
// dome and the sun fill only the pixels left uncovered, as if they had been
// drawn first and the picture over them.
TEST_F(SkyDrawing, BehindWhatIsDrawnTheSkyFillsOnlyTheRest) {
    int x = 0, y = 0;
    SunPixel(x, y);
    // The lower half and the sun's left half already drawn, in red.
    glPushMatrix();
    glLoadIdentity();
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_CULL_FACE);
    glColor3f(1, 0, 0);
    const float far = kTerrainDistance;
    const float sunX = (x + 0.5f - kSize / 2.0f) / (kSize / 2.0f) * far * std::tan(1.0471976f);
    glBegin(GL_QUADS);
    glVertex3f(-4 * far, -4 * far, -far);
    glVertex3f(4 * far, -4 * far, -far);
    glVertex3f(4 * far, 0, -far);
    glVertex3f(-4 * far, 0, -far);
    glVertex3f(-4 * far, 0, -far);
    glVertex3f(sunX, 0, -far);
    glVertex3f(sunX, 4 * far, -far);
    glVertex3f(-4 * far, 4 * far, -far);
    glEnd();
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_CULL_FACE);
    glPopMatrix();

    const GLuint glow = SolidTexture(100, 60, 0);
    const GLuint halo = SolidTexture(0, 40, 120);
    DrawSky(skyView, DrawBackdrop, &probe, glow, halo, true);
    ASSERT_TRUE(probe.called);
    EXPECT_TRUE(probe.depthTest);
    EXPECT_EQ(probe.depthMask, GL_FALSE);
    for (int py : {2, kSize / 2 - 2}) { // the drawn half keeps its red
        const uint8_t* p = context.Pixel(kSize / 2, py);
        EXPECT_EQ(p[0], 255);
        EXPECT_EQ(p[1], 0);
        EXPECT_EQ(p[2], 0);
    }
    const uint8_t* sky = context.Pixel(kSize - 2, kSize - 2); // the dome alone
    EXPECT_NEAR(sky[0], 64, 1);
    EXPECT_NEAR(sky[2], 64, 1);
    const uint8_t* covered = context.Pixel(x - 2, y); // the sun behind the red
    EXPECT_EQ(covered[0], 255);
    EXPECT_EQ(covered[1], 0);
    const uint8_t* sun = context.Pixel(x + 2, y); // the sun where nothing was drawn
    EXPECT_NEAR(sun[0], 64 + 100, 2);
    EXPECT_NEAR(sun[1], 64 + 60 + 40, 2);
    EXPECT_NEAR(sun[2], 64 + 120, 2);
}

// Texels per radian of a face seen from the centre: the largest stretch of its
// map from directions to texels, whichever edge carries it.
TEST(SkyTexture, TexelsPerRadianOfAFaceAndWhereTheyAreMagnified) {
    const float r = 1000.0f, s = std::sin(0.1f), c = std::cos(0.1f);
    // Corner 1 a tenth of a radian to the left of corner 0, corner 2 a tenth
    // up; the texture coordinates step along each.
    const Vec3 corner[3] = {{0, 0, -r}, {-s * r, 0, -c * r}, {0, s * r, -c * r}};
    struct Case {
        float u[3], v[3];
        float texels; // per radian, in a 256-texel texture
    };
    const Case cases[] = {
        {{0, 0.1f, 0}, {0, 0, 0.05f}, 256.0f}, // 25.6 texels across a tenth of a radian
        {{0, 0.1f, 0}, {0, 0, 0.2f}, 512.0f},  // 51.2 upward
        {{0, 0.1f, 0.1f}, {0, 0, 0}, 256.0f * std::sqrt(2.0f)}, // along the diagonal
        {{0, 0, 0}, {0, 0, 0}, 0.0f},
    };
    for (const Case& t : cases)
        EXPECT_NEAR(FaceTexelsPerRadian(corner, t.u, t.v, 256), t.texels, t.texels * 0.01f + 0.01f);
    const Vec3 flat[3] = {{0, 0, -r}, {0, 0, -2 * r}, {0, s * r, -c * r}};
    EXPECT_EQ(FaceTexelsPerRadian(flat, cases[0].u, cases[0].v, 256), 0.0f);

    // 250 texels per radian, with the margin of 1.6, need 400 pixels per
    // radian: a viewport 462 pixels high at a 60-degree field.
    EXPECT_TRUE(SkyTextureMagnified(250.0f, 480));
    EXPECT_FALSE(SkyTextureMagnified(250.0f, 450));
    EXPECT_FALSE(SkyTextureMagnified(0.0f, 768));
}

} // namespace
