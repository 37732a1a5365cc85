#include <gtest/gtest.h>

#include <GL/osmesa.h>

#include <cmath>
#include <vector>

#include "core/gl.h"
#include "glwindow/fps_overlay.h"
#include "glwindow/gl_state.h"

namespace {

// A small off-screen context, current for the test's duration.
class OffscreenContext {
  public:
    OffscreenContext(int width, int height) : pixels_(static_cast<size_t>(width) * height * 4) {
        context_ = OSMesaCreateContextExt(OSMESA_RGBA, 16, 0, 0, nullptr);
        if (context_ != nullptr)
            OSMesaMakeCurrent(context_, pixels_.data(), GL_UNSIGNED_BYTE, width, height);
    }
    ~OffscreenContext() {
        if (context_ != nullptr)
            OSMesaDestroyContext(context_);
    }
    bool ok() const { return context_ != nullptr; }

  private:
    OSMesaContext context_ = nullptr;
    std::vector<uint8_t> pixels_;
};

TEST(GlState, ResizeWithHeightZeroUsesOne) {
    OffscreenContext context(64, 64);
    ASSERT_TRUE(context.ok());
    ApplyViewportProjection(640, 0);
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 640);
    EXPECT_EQ(viewport[3], 1);
    GLfloat projection[16];
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    const double focal = 1.0 / std::tan(30.0 * M_PI / 180.0);
    EXPECT_NEAR(projection[0], focal / 640.0, 1e-6);
    EXPECT_NEAR(projection[5], focal, 1e-5);
    EXPECT_TRUE(std::isfinite(projection[0]));
}

TEST(GlState, ProjectionMatchesTheWindowAndLeavesIdentityModelView) {
    OffscreenContext context(64, 64);
    ASSERT_TRUE(context.ok());
    ApplyViewportProjection(800, 600);
    GLfloat projection[16];
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    const double focal = 1.0 / std::tan(30.0 * M_PI / 180.0);
    EXPECT_NEAR(projection[0], focal * 600.0 / 800.0, 1e-5);
    // Near 0.1 and far 10,000,000: the depth terms of the perspective.
    const double nearPlane = static_cast<double>(0.1f);
    const double farPlane = 10000000.0;
    EXPECT_NEAR(projection[10], -(farPlane + nearPlane) / (farPlane - nearPlane), 1e-6);
    EXPECT_NEAR(projection[14], -2.0 * farPlane * nearPlane / (farPlane - nearPlane), 1e-6);
    GLint mode;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW);
    GLfloat modelView[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, modelView);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(modelView[i], (i % 5 == 0) ? 1.0f : 0.0f);
}

TEST(GlState, FixedStateCullsFrontFaces) {
    // The page's variant sets the same state but leaves the hint alone.
    const struct {
        void (*apply)();
        GLint hint;
    } cases[] = {{ApplyFixedGlState, GL_NICEST}, {ApplyFixedGlStateWithoutHint, GL_DONT_CARE}};
    for (const auto& c : cases) {
        OffscreenContext context(64, 64);
        ASSERT_TRUE(context.ok());
        c.apply();
        EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
        EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
        EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
        GLint value;
        glGetIntegerv(GL_CULL_FACE_MODE, &value);
        EXPECT_EQ(value, GL_FRONT);
        glGetIntegerv(GL_DEPTH_FUNC, &value);
        EXPECT_EQ(value, GL_LEQUAL);
        glGetIntegerv(GL_FRONT_FACE, &value);
        EXPECT_EQ(value, GL_CCW);
        glGetIntegerv(GL_PERSPECTIVE_CORRECTION_HINT, &value);
        EXPECT_EQ(value, c.hint);
    }
}

TEST(GlState, PrintLeavesTheTranslationAndWhite) {
    OffscreenContext context(64, 64);
    ASSERT_TRUE(context.ok());
    const GLuint base = glGenLists(96);
    glColor3f(0.2f, 0.3f, 0.4f);
    PrintWithFont(base, 0.0f, 0.0f, "");
    GLfloat modelView[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, modelView);
    EXPECT_EQ(modelView[14], -1.0f);
    GLfloat colour[4];
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_EQ(colour[0], 1.0f);
    EXPECT_EQ(colour[2], 1.0f);
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    PrintWithFont(base, 0.1f, 0.2f, nullptr);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST(OverlayText, ThePrintPositionLandsOnThePixelAskedFor) {
    const int sizes[][2] = {{640, 480}, {1024, 768}, {300, 600}, {97, 31}};
    for (const auto& size : sizes) {
        OffscreenContext context(size[0], size[1]);
        ASSERT_TRUE(context.ok());
        ApplyViewportProjection(size[0], size[1]);
        const float wanted[][2] = {{8.0f, 8.0f}, {size[0] / 2.0f, size[1] - 20.0f}};
        for (const auto& at : wanted) {
            float x = 0.0f, y = 0.0f;
            OverlayPrintPosition(size[0], size[1], at[0], at[1], x, y);
            PrintWithFont(0, x, y, nullptr); // sets the raster position only
            GLboolean valid = GL_FALSE;
            glGetBooleanv(GL_CURRENT_RASTER_POSITION_VALID, &valid);
            GLfloat raster[4];
            glGetFloatv(GL_CURRENT_RASTER_POSITION, raster);
            EXPECT_TRUE(valid);
            EXPECT_NEAR(raster[0], at[0], 0.01) << size[0] << "x" << size[1];
            EXPECT_NEAR(raster[1], at[1], 0.01) << size[0] << "x" << size[1];
        }
    }
}

// Print through a font whose list for character c only moves the raster
// position c pixels to the right: where the raster ends shows both where the
// text starts and which lists were called.
TEST(GlState, PrintMapsThePositionAndCallsOneListPerCharacter) {
    constexpr int kWidth = 400, kHeight = 200;
    OffscreenContext context(kWidth, kHeight);
    ASSERT_TRUE(context.ok());
    ApplyViewportProjection(kWidth, kHeight);
    const GLuint base = glGenLists(96);
    const GLubyte dot[4] = {0x80, 0, 0, 0};
    for (int c = 32; c < 128; ++c) {
        glNewList(base + static_cast<GLuint>(c - 32), GL_COMPILE);
        glBitmap(1, 1, 0.0f, 0.0f, static_cast<float>(c), 0.0f, dot);
        glEndList();
    }
    const struct {
        float x, y;
        const char* text;
        int advance; // the sum of the character codes
    } cases[] = {{0.0f, 0.0f, "", 0},
                 {0.3f, 0.5f, "A", 65},
                 {0.5f, 0.1f, "~ ", 158},
                 {0.6f, 0.9f, "%%", 37}};
    const double focal = 1.0 / std::tan(30.0 * M_PI / 180.0);
    for (const auto& c : cases) {
        glListBase(7);
        PrintWithFont(base, c.x, c.y, c.text);
        // Eye space (x - 0.55, 0.4 - y) one unit in front of the eye.
        const double eyeX = static_cast<double>(c.x) - 0.55;
        const double eyeY = 0.4 - static_cast<double>(c.y);
        const double expectX = (eyeX * focal * kHeight / kWidth + 1.0) * kWidth / 2 + c.advance;
        const double expectY = (eyeY * focal + 1.0) * kHeight / 2;
        GLfloat raster[4];
        glGetFloatv(GL_CURRENT_RASTER_POSITION, raster);
        EXPECT_NEAR(raster[0], expectX, 1e-2) << c.x << ", " << c.y << " \"" << c.text << '"';
        EXPECT_NEAR(raster[1], expectY, 1e-2) << c.x << ", " << c.y << " \"" << c.text << '"';
        GLint listBase = 0;
        glGetIntegerv(GL_LIST_BASE, &listBase);
        EXPECT_EQ(listBase, 7) << "the list base is restored";
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST(OverlayText, PercentSignsAreNeverConversions) {
    char out[256];
    EXPECT_EQ(FormatOverlayText("60%% %s %d", out, sizeof out), 9);
    EXPECT_STREQ(out, "60% %s %d");
    std::string longText(400, 'x');
    EXPECT_EQ(FormatOverlayText(longText.c_str(), out, sizeof out), 255);
    EXPECT_EQ(out[255], '\0');
    EXPECT_EQ(FormatOverlayText("", out, sizeof out), 0);
}

} // namespace
