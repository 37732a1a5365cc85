// The page's RenderWindow over the canvas of index.html.
//
// The WebGL context is made through emscripten's Browser.createContext, the
// path that also starts the legacy GL emulation (immediate mode, the matrix
// stack and the fixed-function state turned into shaders and buffers). It
// has no antialiasing and an opaque canvas, as the off-screen pictures of
// scene2png. The page's script sizes the drawing buffer to the viewport; the
// window only follows it. The browser presents the canvas after each
// animation frame, so Swap has nothing to do. The overlay is HTML: Print
// puts its line of text into the page's overlay element.
#include "glwindow/gl_window_web.h"

#include <emscripten.h>

#include "core/fatal_error.h"
#include "core/gl.h"
#include "core/render_window.h"
#include "glwindow/gl_state.h"

namespace {

// clang-format off
EM_JS(int, CreateCanvasContext, (), {
    var attributes = {antialias: false, alpha: false, depth: true, stencil: false};
    return Module.createContext(Module.canvas, true, true, attributes) ? 1 : 0;
});

EM_JS(int, CanvasWidth, (), { return Module.canvas.width; });
EM_JS(int, CanvasHeight, (), { return Module.canvas.height; });

EM_JS(void, ShowOverlayLine, (const char* text), {
    Module.page.overlay(UTF8ToString(text));
});
// clang-format on

class GlWindow final : public RenderWindow {
  public:
    void Create(WindowHandle& hostWindow, InstanceHandle instance, SaverMode mode) override;
    void Destroy() override;
    void GetSize(int32_t& width, int32_t& height, int32_t& colourBits) override;
    void GetRect(WindowRect& rect) override;
    void Resize(int32_t width, int32_t height) override;
    void Swap() override;
    void Print(float x, float y, const char* text) override;

    int32_t width = 0;
    int32_t height = 0;
};

void GlWindow::Create(WindowHandle&, InstanceHandle, SaverMode) {
    // Without WebGL the page says so, as the Windows saver does without a
    // window.
    if (!CreateCanvasContext())
        FatalError("La ventana no se ha podido crear");
    Resize(CanvasWidth(), CanvasHeight());
    ApplyFixedGlStateWithoutHint();
}

void GlWindow::Destroy() {
    // The context goes with the page; the overlay line goes now.
    ShowOverlayLine("");
}

void GlWindow::GetSize(int32_t& w, int32_t& h, int32_t& colourBits) {
    w = width;
    h = height;
    colourBits = 24;
}

void GlWindow::GetRect(WindowRect& rect) {
    rect = WindowRect{0, 0, width, height};
}

void GlWindow::Resize(int32_t w, int32_t h) {
    ApplyViewportProjection(w, h);
    width = w;
    height = h;
}

void GlWindow::Swap() {}

void GlWindow::Print(float, float, const char* text) {
    ShowOverlayLine(text != nullptr ? text : "");
}

} // namespace

RenderWindow* glWindow = nullptr;

RenderWindow* NewGlWindow() {
    return new GlWindow();
}

void DeleteGlWindow(RenderWindow* window) {
    delete static_cast<GlWindow*>(window);
}

void FollowCanvasSize() {
    auto* window = static_cast<GlWindow*>(glWindow);
    if (window == nullptr)
        return;
    const int32_t w = CanvasWidth(), h = CanvasHeight();
    if (w != window->width || h != window->height)
        window->Resize(w, h);
}
