// The host's RenderWindow: an off-screen OpenGL context from Mesa's OSMesa.
//
// It stands where the Windows GlWindow stands (NewGlWindow, glWindow), so the
// portable scene code runs unchanged in the host tools and tests. The
// drawable is a pixel buffer of a size chosen before Create; Swap copies the
// finished picture into a front buffer that FrontPixels reads.
#pragma once

#ifdef _WIN32
#error "gl_window_osmesa.h is the host tools' window; Windows uses gl_window_win32.h"
#endif

#include <cstdint>
#include <vector>

#include "core/render_window.h"

// Pixel size of the drawable the next Create makes (default 640 x 480).
void SetOffscreenSize(int32_t width, int32_t height);

class OsMesaWindow final : public RenderWindow {
  public:
    OsMesaWindow(int32_t width, int32_t height);

    // Makes a current RGBA context with a 24-bit depth buffer, the projection
    // and the fixed state; hostWindow becomes this window. A failure ends the
    // process through FatalError.
    void Create(WindowHandle& hostWindow, InstanceHandle instance, SaverMode mode) override;
    void Destroy() override;
    void GetSize(int32_t& width, int32_t& height, int32_t& colourBits) override;
    void GetRect(WindowRect& rect) override;
    void Resize(int32_t width, int32_t height) override;
    // Finishes drawing and copies the back buffer to the front buffer.
    void Swap() override;
    // There is no system font off screen: the 96 display lists exist but are
    // empty, so Print leaves the same state as on Windows and draws nothing.
    void Print(float x, float y, const char* text) override;

    // The last presented picture: width x height RGBA pixels, bottom row first.
    const std::vector<uint8_t>& FrontPixels() const { return front_; }
    // The picture being drawn, in the same layout.
    const std::vector<uint8_t>& BackPixels() const { return back_; }

    uint32_t fontBase = 0;
    bool created = false;
    int32_t width = 0;
    int32_t height = 0;
    int32_t colourBits = 32;

  private:
    void* context_ = nullptr; // OSMesaContext
    std::vector<uint8_t> back_;
    std::vector<uint8_t> front_;
};
