#include "glwindow/gl_window_osmesa.h"

#include <GL/osmesa.h>

#include <cstdio>

#include "core/fatal_error.h"
#include "core/gl.h"
#include "glwindow/gl_state.h"

namespace {
int32_t nextWidth = 640;
int32_t nextHeight = 480;
} // namespace

RenderWindow* glWindow = nullptr;

void SetOffscreenSize(int32_t width, int32_t height) {
    nextWidth = width > 0 ? width : 1;
    nextHeight = height > 0 ? height : 1;
}

RenderWindow* NewGlWindow() {
    return new OsMesaWindow(nextWidth, nextHeight);
}

void DeleteGlWindow(RenderWindow* window) {
    delete static_cast<OsMesaWindow*>(window);
}

OsMesaWindow::OsMesaWindow(int32_t w, int32_t h) : width(w), height(h) {}

void OsMesaWindow::Create(WindowHandle& hostWindow, InstanceHandle, SaverMode) {
    const size_t bytes = static_cast<size_t>(width) * static_cast<size_t>(height) * 4;
    back_.assign(bytes, 0);
    front_.assign(bytes, 0);
    OSMesaContext context = OSMesaCreateContextExt(OSMESA_RGBA, 24, 0, 0, nullptr);
    if (context == nullptr ||
        !OSMesaMakeCurrent(context, back_.data(), GL_UNSIGNED_BYTE, width, height)) {
        if (context != nullptr)
            OSMesaDestroyContext(context);
        char reason[96];
        std::snprintf(reason, sizeof reason,
                      "cannot create an off-screen OpenGL context of %d x %d pixels", width,
                      height);
        FatalError(reason);
    }
    context_ = context;
    Resize(width, height);
    ApplyFixedGlState();
    fontBase = glGenLists(96);
    created = true;
    hostWindow = this;
}

void OsMesaWindow::Destroy() {
    if (context_ != nullptr) {
        if (created)
            glDeleteLists(fontBase, 96);
        // Unbind first: a context destroyed while current keeps its drawable.
        OSMesaMakeCurrent(nullptr, nullptr, 0, 0, 0);
        OSMesaDestroyContext(static_cast<OSMesaContext>(context_));
        context_ = nullptr;
    }
    created = false;
}

void OsMesaWindow::GetSize(int32_t& w, int32_t& h, int32_t& bits) {
    w = width;
    h = height;
    bits = colourBits;
}

void OsMesaWindow::GetRect(WindowRect& rect) {
    rect = WindowRect{0, 0, width, height};
}

void OsMesaWindow::Resize(int32_t w, int32_t h) {
    ApplyViewportProjection(w, h);
}

void OsMesaWindow::Swap() {
    glFinish();
    front_ = back_; // same size: copies without allocating
}

void OsMesaWindow::Print(float x, float y, const char* text) {
    PrintWithFont(fontBase, x, y, text);
}
