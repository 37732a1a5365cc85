#include "paint.h"

#include "common/file_bytes.h"
#include "common/palette_bitmap.h"

namespace paint {

float Hash(int x, int y, int seed) {
    uint32_t h = static_cast<uint32_t>(x) * 374761393u + static_cast<uint32_t>(y) * 668265263u +
                 static_cast<uint32_t>(seed) * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    h ^= h >> 16;
    return static_cast<float>(h & 0xFFFFFFu) / static_cast<float>(0xFFFFFF);
}

namespace {
int Wrap(int i, int period) {
    const int m = i % period;
    return m < 0 ? m + period : m;
}
float Fade(float t) {
    return t * t * t * (t * (t * 6.0f - 15.0f) + 10.0f);
}
} // namespace

float Noise(float x, float y, int period, int seed) {
    const float fx = std::floor(x), fy = std::floor(y);
    const int ix = static_cast<int>(fx), iy = static_cast<int>(fy);
    const float tx = Fade(x - fx), ty = Fade(y - fy);
    auto at = [&](int dx, int dy) {
        return Hash(Wrap(ix + dx, period), Wrap(iy + dy, period), seed);
    };
    const float a = at(0, 0) + (at(1, 0) - at(0, 0)) * tx;
    const float b = at(0, 1) + (at(1, 1) - at(0, 1)) * tx;
    return a + (b - a) * ty;
}

float Fbm(float x, float y, int period, int octaves, int seed) {
    float sum = 0.0f, amplitude = 1.0f, total = 0.0f;
    for (int o = 0; o < octaves; ++o) {
        sum += amplitude * Noise(x, y, period, seed + 101 * o);
        total += amplitude;
        x *= 2.0f;
        y *= 2.0f;
        period *= 2;
        amplitude *= 0.5f;
    }
    return sum / total;
}

Cells Voronoi(float u, float v, int cells, int seed) {
    const float x = u * cells, y = v * cells;
    const int cx = static_cast<int>(std::floor(x)), cy = static_cast<int>(std::floor(y));
    Cells out;
    out.nearest = out.second = 1e9f;
    for (int dy = -2; dy <= 2; ++dy) {
        for (int dx = -2; dx <= 2; ++dx) {
            const int gx = cx + dx, gy = cy + dy;
            const int wx = Wrap(gx, cells), wy = Wrap(gy, cells);
            const float px = gx + 0.1f + 0.8f * Hash(wx, wy, seed);
            const float py = gy + 0.1f + 0.8f * Hash(wx, wy, seed + 7);
            const float d = std::hypot(px - x, py - y);
            if (d < out.nearest) {
                out.second = out.nearest;
                out.nearest = d;
                out.id = wy * cells + wx;
            } else if (d < out.second) {
                out.second = d;
            }
        }
    }
    return out;
}

void Fill(Picture& picture, const std::function<Colour(float, float)>& f, int samples) {
    const float n = static_cast<float>(Picture::kSize);
    for (int y = 0; y < Picture::kSize; ++y) {
        for (int x = 0; x < Picture::kSize; ++x) {
            Colour sum;
            for (int sy = 0; sy < samples; ++sy)
                for (int sx = 0; sx < samples; ++sx) {
                    const float u = (x + (sx + 0.5f) / samples) / n;
                    const float v = (y + (sy + 0.5f) / samples) / n;
                    sum = sum + f(u, v);
                }
            picture.At(x, y) = sum * (1.0f / (samples * samples));
        }
    }
}

namespace {

uint32_t PackedColour(Colour c) {
    auto byte = [](float x) { return static_cast<uint32_t>(std::lround(Clamp01(x) * 255.0f)); };
    return byte(c.r) << 16 | byte(c.g) << 8 | byte(c.b);
}

} // namespace

bool WriteBitmap(const Picture& picture, const std::string& path, bool reserveBlack) {
    std::vector<uint32_t> pixels;
    for (const Colour& c : picture.pixels)
        pixels.push_back(PackedColour(c));
    const common::PalettePicture reduced =
        common::ReducePalette(pixels, common::PaletteMethod::RefinedMedianCut, reserveBlack);
    return common::WriteWholeFile(
        path.c_str(), common::PaletteBitmapFile(Picture::kSize, Picture::kSize, reduced));
}

} // namespace paint
