// An off-screen OpenGL context for the drawing tests: an OsMesaWindow of
// the given size, current while the object lives.
#pragma once

#include <cstdint>
#include <vector>

#include "core/gl.h"
#include "glwindow/gl_window_osmesa.h"

class Offscreen {
  public:
    Offscreen(int width, int height) : window_(width, height) {
        WindowHandle host = nullptr;
        window_.Create(host, nullptr, SaverMode::FullScreen);
    }
    ~Offscreen() { window_.Destroy(); }
    Offscreen(const Offscreen&) = delete;
    Offscreen& operator=(const Offscreen&) = delete;

    // The picture drawn so far: RGBA, bottom row first.
    std::vector<uint8_t> Pixels() {
        glFinish();
        return window_.BackPixels();
    }
    // Red, green, blue and alpha of pixel (x, y), y from the bottom.
    const uint8_t* At(const std::vector<uint8_t>& pixels, int x, int y) const {
        return pixels.data() + (static_cast<size_t>(y) * window_.width + x) * 4;
    }
    int Width() const { return window_.width; }
    int Height() const { return window_.height; }

  private:
    OsMesaWindow window_;
};
