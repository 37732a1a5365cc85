#include "glwindow/gl_state.h"

#include "core/gl.h"

void ApplyViewportProjection(int32_t width, int32_t height) {
    if (height == 0)
        height = 1;
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    const double aspect = static_cast<double>(width) / static_cast<double>(height);
    gluPerspective(kFieldOfViewDegrees, aspect, kNearPlane, 10000000.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

void ApplyFixedGlStateWithoutHint() {
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClearDepth(1.0);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_FRONT);
}

void ApplyFixedGlState() {
    ApplyFixedGlStateWithoutHint();
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
}

int FormatOverlayText(const char* text, char* out, int capacity) {
    int count = 0;
    for (const char* p = text; *p != '\0' && count < capacity - 1; ++p) {
        if (p[0] == '%' && p[1] == '%')
            ++p;
        out[count++] = *p;
    }
    if (capacity > 0)
        out[count] = '\0';
    return count;
}

void PrintWithFont(uint32_t fontBase, float x, float y, const char* text) {
    const float rasterX = x - kPrintOffsetX;
    const float rasterY = kPrintOffsetY - y;
    glDisable(GL_TEXTURE_2D);
    glLoadIdentity();
    glTranslatef(0.0f, 0.0f, -1.0f);
    glColor3f(1.0f, 1.0f, 1.0f);
    glRasterPos2f(rasterX, rasterY);
    if (text != nullptr) {
        char formatted[256];
        const int count = FormatOverlayText(text, formatted, sizeof formatted);
        if (count > 0) {
            glPushAttrib(GL_LIST_BIT);
            glListBase(fontBase - 32);
            glCallLists(count, GL_UNSIGNED_BYTE, formatted);
            glPopAttrib();
        }
    }
    glEnable(GL_TEXTURE_2D);
}
