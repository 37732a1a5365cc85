#include "scene/sky.h"

#include <cmath>

#include "core/gl.h"
#include "glwindow/gl_state.h"

namespace {

void DrawSunLayer(uint32_t texture) {
    struct Corner {
        float s, t, x, y;
    };
    static const Corner corners[4] = {
        {1.0f, 0.0f, -kSunHalfSize, kSunHalfSize},
        {0.0f, 0.0f, -kSunHalfSize, -kSunHalfSize},
        {0.0f, 1.0f, kSunHalfSize, -kSunHalfSize},
        {1.0f, 1.0f, kSunHalfSize, kSunHalfSize},
    };
    // The square as the triangles of corners (0, 1, 3) and (1, 2, 3), the
    // way Mesa splits a GL_QUADS quad.
    static const int order[6] = {0, 1, 3, 1, 2, 3};
    glColor3f(1.0f, 1.0f, 1.0f);
    glBindTexture(GL_TEXTURE_2D, texture);
    glBegin(GL_TRIANGLES);
    for (int k : order) {
        glTexCoord2f(corners[k].s, corners[k].t);
        glVertex3f(corners[k].x, corners[k].y, 0.0f);
    }
    glEnd();
}

} // namespace

float FaceTexelsPerRadian(const Vec3 (&corner)[3], const float (&u)[3], const float (&v)[3],
                          int textureSize) {
    // The corners' directions, and the edges a = d1 - d0, b = d2 - d0, which
    // in a frame (e1, e2) of their plane are (la, 0) and (b1, b2).
    double d[3][3];
    for (int k = 0; k < 3; ++k) {
        const double x = corner[k].x, y = corner[k].y, z = corner[k].z;
        const double length = std::sqrt(x * x + y * y + z * z);
        if (!(length > 0.0))
            return 0.0f;
        d[k][0] = x / length;
        d[k][1] = y / length;
        d[k][2] = z / length;
    }
    double a[3], b[3];
    for (int i = 0; i < 3; ++i) {
        a[i] = d[1][i] - d[0][i];
        b[i] = d[2][i] - d[0][i];
    }
    const double la = std::sqrt(a[0] * a[0] + a[1] * a[1] + a[2] * a[2]);
    if (!(la > 0.0))
        return 0.0f;
    const double b1 = (b[0] * a[0] + b[1] * a[1] + b[2] * a[2]) / la;
    double across = 0.0;
    for (int i = 0; i < 3; ++i) {
        const double c = b[i] - b1 * a[i] / la;
        across += c * c;
    }
    const double b2 = std::sqrt(across);
    if (!(b2 > 0.0))
        return 0.0f;
    // The map's matrix J, texels per unit of the frame: J (la, 0) is the
    // texel step along a, J (b1, b2) the one along b.
    const double size = textureSize;
    const double ua = (u[1] - u[0]) * size, va = (v[1] - v[0]) * size;
    const double ub = (u[2] - u[0]) * size, vb = (v[2] - v[0]) * size;
    const double j00 = ua / la, j10 = va / la;
    const double j01 = (ub - j00 * b1) / b2, j11 = (vb - j10 * b1) / b2;
    // Its largest singular value.
    const double sum = j00 * j00 + j01 * j01 + j10 * j10 + j11 * j11;
    const double det = j00 * j11 - j01 * j10;
    const double root = std::sqrt(std::fmax(0.0, sum * sum - 4.0 * det * det));
    return static_cast<float>(std::sqrt((sum + root) / 2.0));
}

bool SkyTextureMagnified(float texelsPerRadian, int32_t viewportHeight) {
    const double halfField = kFieldOfViewDegrees / 2.0 * 3.14159265358979 / 180.0;
    const double pixelsPerRadian = viewportHeight / 2.0 / std::tan(halfField);
    return texelsPerRadian > 0.0f && 1.6 * texelsPerRadian <= pixelsPerRadian;
}

void DrawSky(const Mat4& skyView, DrawDomeCall drawDome, void* context, uint32_t glowTexture,
             uint32_t haloTexture, bool behind) {
    // The dome: background only, seen from inside, writing no depth, so
    // everything drawn later covers it. Behind what is already drawn it lies
    // beyond all of it, so the depth test keeps it to the uncovered pixels;
    // drawn first it needs no test.
    if (behind)
        glEnable(GL_DEPTH_TEST);
    else
        glDisable(GL_DEPTH_TEST);
    glDepthMask(GL_FALSE);
    glMatrixMode(GL_MODELVIEW);
    glLoadMatrixf(skyView.m);
    glCullFace(GL_FRONT);
    if (drawDome != nullptr)
        drawDome(context);
    glEnable(GL_DEPTH_TEST);
    glDepthMask(GL_TRUE);
    glCullFace(GL_BACK);

    // The sun: two layers added onto the dome. It lies beyond the dome, which
    // wrote no depth, so it passes the depth test wherever nothing else was
    // drawn before.
    const Mat4 sun = SunTransform();
    glDisable(GL_CULL_FACE);
    glMultMatrixf(sun.m);
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE);
    DrawSunLayer(glowTexture);
    DrawSunLayer(haloTexture);
    glDisable(GL_BLEND);
    glEnable(GL_CULL_FACE);
}
