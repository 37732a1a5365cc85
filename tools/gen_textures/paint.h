// A small painting kit for the texture generator: colours, tileable noise,
// shapes, and the 8-bit bitmap file of a picture.
#pragma once

#include <cmath>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace paint {

struct Colour {
    float r = 0.0f, g = 0.0f, b = 0.0f;
};

inline Colour Rgb(float r, float g, float b) {
    return Colour{r, g, b};
}
inline Colour operator+(Colour a, Colour b) {
    return {a.r + b.r, a.g + b.g, a.b + b.b};
}
inline Colour operator*(Colour a, float s) {
    return {a.r * s, a.g * s, a.b * s};
}
inline Colour operator*(Colour a, Colour b) {
    return {a.r * b.r, a.g * b.g, a.b * b.b};
}
// a where t = 0, b where t = 1.
inline Colour Mix(Colour a, Colour b, float t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

inline float Clamp01(float x) {
    return x < 0.0f ? 0.0f : (x > 1.0f ? 1.0f : x);
}
inline float Smooth(float e0, float e1, float x) {
    const float t = Clamp01((x - e0) / (e1 - e0));
    return t * t * (3.0f - 2.0f * t);
}
// 1 inside a band |x - centre| < half, fading over soft on both sides.
inline float Band(float x, float centre, float half, float soft) {
    return 1.0f - Smooth(half, half + soft, std::fabs(x - centre));
}

// Repeatable hash of integer coordinates to 0..1.
float Hash(int x, int y, int seed);

// Value noise with smooth interpolation, periodic with period cells in x and
// in y (so a texture built from it tiles), at (x, y) in cells.
float Noise(float x, float y, int period, int seed);
// Sum of octaves of Noise, each twice the frequency and half the amplitude,
// normalised to 0..1. Periodic when period is a power of two times the
// octave count allows (period doubles per octave).
float Fbm(float x, float y, int period, int octaves, int seed);

// Distances to the nearest and second nearest of a jittered grid of points
// (cells x cells over the unit square, wrapping), for cracks and plates.
struct Cells {
    float nearest = 0.0f; // distance to the nearest point, in cell units
    float second = 0.0f;  // to the second nearest
    int id = 0;           // identity of the nearest point's cell
};
Cells Voronoi(float u, float v, int cells, int seed);

// A 256 x 256 picture, stored bottom row first (as the bitmap stores it):
// pixel (x, y) has texture coordinates ((x + 0.5) / 256, (y + 0.5) / 256).
struct Picture {
    static constexpr int kSize = 256;
    std::vector<Colour> pixels = std::vector<Colour>(kSize * kSize);
    Colour& At(int x, int y) { return pixels[static_cast<size_t>(y) * kSize + x]; }
};

// Paints every pixel with f(u, v), averaged over samples x samples points.
void Fill(Picture& picture, const std::function<Colour(float u, float v)>& f, int samples = 2);

// Writes the picture as an 8-bit bitmap file, its colours reduced by the
// refined median cut (common/palette_bitmap.h). With reserveBlack, palette
// entry 0 is exactly black and pure black pixels use it, so additive layers
// add nothing there.
bool WriteBitmap(const Picture& picture, const std::string& path, bool reserveBlack);

} // namespace paint
