#include "scene/shadows.h"

#include "core/gl.h"

void DrawShadowTriangle(const Vec3& a, const Vec3& b, const Vec3& c) {
    glColor4f(0.1f, 0.05f, 0.0f, 1.0f);
    glBindTexture(GL_TEXTURE_2D, 0);
    glBegin(GL_TRIANGLES);
    glVertex3f(a.x, a.y, a.z);
    glVertex3f(b.x, b.y, b.z);
    glVertex3f(c.x, c.y, c.z);
    glEnd();
}
