#include "scene/shadows.h"

#include "core/gl.h"

void BeginShadowMesh() {
    glBegin(GL_TRIANGLES);
}

void ShadowVertex(const Vec3& v) {
    glVertex3f(v.x, v.y, v.z);
}

void EndShadowMesh() {
    glEnd();
}

void BeginShadows() {
    glColor4f(0.1f, 0.05f, 0.0f, 1.0f);
    glBindTexture(GL_TEXTURE_2D, 0);
    glDisable(GL_TEXTURE_2D);
}

void EndShadows() {
    glEnable(GL_TEXTURE_2D);
}
