#include "scene/sky.h"

#include "core/gl.h"

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
