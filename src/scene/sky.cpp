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
    glColor3f(1.0f, 1.0f, 1.0f);
    glBindTexture(GL_TEXTURE_2D, texture);
    glBegin(GL_QUADS);
    for (const Corner& c : corners) {
        glTexCoord2f(c.s, c.t);
        glVertex3f(c.x, c.y, 0.0f);
    }
    glEnd();
}

} // namespace

void DrawSky(const Mat4& skyView, DrawDomeCall drawDome, void* context, uint32_t glowTexture,
             uint32_t haloTexture) {
    // The dome: background only, seen from inside.
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
    // wrote no depth, so it passes the depth test against the cleared buffer.
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
