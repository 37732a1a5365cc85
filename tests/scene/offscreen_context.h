// An OSMesa context with an RGBA colour buffer and a depth buffer, current
// while the object lives; for the drawing tests of the scene and the terrain.
#pragma once

#include <GL/osmesa.h>

#include <cstdint>
#include <vector>

#include "core/gl.h"

class OffscreenContext {
  public:
    OffscreenContext(int width, int height)
        : width_(width), height_(height), pixels_(static_cast<size_t>(width) * height * 4) {
        context_ = OSMesaCreateContextExt(OSMESA_RGBA, 24, 0, 0, nullptr);
        if (context_ != nullptr &&
            !OSMesaMakeCurrent(context_, pixels_.data(), GL_UNSIGNED_BYTE, width, height)) {
            OSMesaDestroyContext(context_);
            context_ = nullptr;
        }
        if (context_ != nullptr)
            OSMesaPixelStore(OSMESA_Y_UP, 1);
    }
    ~OffscreenContext() {
        if (context_ != nullptr)
            OSMesaDestroyContext(context_);
    }
    OffscreenContext(const OffscreenContext&) = delete;
    OffscreenContext& operator=(const OffscreenContext&) = delete;

    bool ok() const { return context_ != nullptr; }
    int width() const { return width_; }
    int height() const { return height_; }
    // Pixel (x, y), y from the bottom, as R, G, B, A bytes.
    const uint8_t* Pixel(int x, int y) const {
        glFinish();
        return &pixels_[(static_cast<size_t>(y) * width_ + x) * 4];
    }

  private:
    int width_;
    int height_;
    std::vector<uint8_t> pixels_;
    OSMesaContext context_ = nullptr;
};

// A 2 x 2 texture of one colour, nearest filtering, repeating.
inline GLuint SolidTexture(uint8_t r, uint8_t g, uint8_t b) {
    const uint8_t texels[16] = {r, g, b, 255, r, g, b, 255, r, g, b, 255, r, g, b, 255};
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 2, 2, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels);
    return name;
}
