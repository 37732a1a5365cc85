// Draws the pictures of the credits dialog and writes each one as an 8-bit
// paletted Windows bitmap file (the resource compiler strips the file header):
//
//   110  100 x 41  the "TAZROSCR" logo over an evening sky
//   127  100 x 41  an extruded "3D" logo with the version
//   112  100 x 54  the scene: a sword standing in the bowl at sunset
//   116  100 x 54  modelling: a faceted sphere over a perspective grid
//   113  170 x 25  a banner "TAZROSCR 3D"
//   119   54 x 14  a pen flourish used as a signature mark
//
// Every pixel is supersampled 4 x 4; the colours are then reduced to a
// 256-entry palette by median cut (common/palette_bitmap.h). Deterministic:
// no clock, no randomness.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "common/file_bytes.h"
#include "common/palette_bitmap.h"

namespace {

struct Rgb {
    float r, g, b;
};

Rgb Mix(Rgb a, Rgb b, float t) {
    t = std::fmin(1.0f, std::fmax(0.0f, t));
    return Rgb{a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

Rgb Scale(Rgb c, float k) {
    return Rgb{c.r * k, c.g * k, c.b * k};
}

float Smooth(float edge0, float edge1, float x) {
    const float t = std::fmin(1.0f, std::fmax(0.0f, (x - edge0) / (edge1 - edge0)));
    return t * t * (3.0f - 2.0f * t);
}

// ---------------------------------------------------------------------------
// A 5 x 7 pixel font for the few texts the pictures carry.

struct Glyph {
    char c;
    const char* rows[7];
};

const Glyph kFont[] = {
    {'A', {".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"}},
    {'C', {".###.", "#...#", "#....", "#....", "#....", "#...#", ".###."}},
    {'D', {"####.", "#...#", "#...#", "#...#", "#...#", "#...#", "####."}},
    {'O', {".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."}},
    {'R', {"####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"}},
    {'S', {".####", "#....", "#....", ".###.", "....#", "....#", "####."}},
    {'T', {"#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."}},
    {'V', {"#...#", "#...#", "#...#", "#...#", "#...#", ".#.#.", "..#.."}},
    {'Z', {"#####", "....#", "...#.", "..#..", ".#...", "#....", "#####"}},
    {'0', {".###.", "#...#", "#..##", "#.#.#", "##..#", "#...#", ".###."}},
    {'2', {".###.", "#...#", "....#", "...#.", "..#..", ".#...", "#####"}},
    {'3', {"####.", "....#", "....#", ".###.", "....#", "....#", "####."}},
    {'.', {".....", ".....", ".....", ".....", ".....", ".##..", ".##.."}},
};

const Glyph* FindGlyph(char c) {
    for (const Glyph& glyph : kFont)
        if (glyph.c == c)
            return &glyph;
    return nullptr; // a blank
}

// A line of text placed in the picture: its top-left corner and the size of
// one font pixel, in picture pixels. Characters advance by 6 font pixels.
struct Text {
    std::string text;
    float left, top, unit;

    float Width() const { return (static_cast<float>(text.size()) * 6.0f - 1.0f) * unit; }

    // Distance from (x, y) to the nearest lit font pixel, in picture pixels
    // (0 inside one).
    float Distance(float x, float y) const {
        float best = 1e9f;
        for (size_t i = 0; i < text.size(); ++i) {
            const Glyph* glyph = FindGlyph(text[i]);
            if (glyph == nullptr)
                continue;
            const float cellLeft = left + static_cast<float>(i) * 6.0f * unit;
            for (int row = 0; row < 7; ++row) {
                for (int column = 0; column < 5; ++column) {
                    if (glyph->rows[row][column] != '#')
                        continue;
                    const float x0 = cellLeft + static_cast<float>(column) * unit;
                    const float y0 = top + static_cast<float>(row) * unit;
                    const float dx = std::fmax(0.0f, std::fmax(x0 - x, x - (x0 + unit)));
                    const float dy = std::fmax(0.0f, std::fmax(y0 - y, y - (y0 + unit)));
                    best = std::fmin(best, std::sqrt(dx * dx + dy * dy));
                }
            }
        }
        return best;
    }
};

// ---------------------------------------------------------------------------
// The pictures. Each is a colour function of a point in picture pixels,
// x to the right, y downwards.

using Picture = std::function<Rgb(float x, float y)>;

Rgb EveningSky(float t) {
    return Mix(Rgb{0.08f, 0.12f, 0.38f}, Rgb{0.98f, 0.58f, 0.26f}, t * t);
}

// Gold letters with a dark outline and a soft drop shadow over a background.
Rgb OverlayText(const Text& text, Rgb background, float x, float y, Rgb top, Rgb bottom) {
    const float shadow = text.Distance(x - 1.5f, y - 1.5f);
    background = Mix(background, Scale(background, 0.35f), 1.0f - Smooth(0.0f, 1.5f, shadow));
    const float distance = text.Distance(x, y);
    if (distance > 1.0f)
        return background;
    if (distance > 0.0f)
        return Rgb{0.12f, 0.06f, 0.02f};
    const float t = (y - text.top) / (7.0f * text.unit);
    return Mix(top, bottom, t);
}

Rgb LogoName(float x, float y) {
    const float w = 100.0f, h = 41.0f;
    Rgb colour = EveningSky(y / h);
    const float sun = std::hypot(x - 78.0f, y - 30.0f);
    if (sun < 9.0f)
        colour = Rgb{1.0f, 0.93f, 0.62f};
    else
        colour = Mix(colour, Rgb{1.0f, 0.80f, 0.45f}, (1.0f - Smooth(9.0f, 24.0f, sun)) * 0.7f);
    const float ground = h - 5.0f + 3.0f * std::cos((x / w - 0.5f) * 3.0f);
    if (y > ground)
        colour = Mix(Rgb{0.45f, 0.28f, 0.16f}, Rgb{0.22f, 0.13f, 0.08f}, (y - ground) / 5.0f);
    static const Text name{"TAZROSCR", 3.0f, 10.0f, 2.0f};
    return OverlayText(name, colour, x, y, Rgb{1.0f, 0.96f, 0.70f}, Rgb{0.85f, 0.55f, 0.12f});
}

Rgb LogoThreeD(float x, float y) {
    // Dark background with a receding grid.
    const float horizon = 8.0f;
    Rgb colour = Mix(Rgb{0.02f, 0.10f, 0.14f}, Rgb{0.05f, 0.25f, 0.30f}, y / 41.0f);
    if (y > horizon) {
        const float depth = 40.0f / (y - horizon + 1.0f);
        const float gx = (x - 50.0f) * depth / 20.0f;
        const float lineX = std::fabs(gx - std::round(gx));
        const float lineZ = std::fabs(depth - std::round(depth));
        const float line = std::fmin(lineX / std::fmax(depth, 1.0f), lineZ / depth);
        colour = Mix(colour, Rgb{0.20f, 0.75f, 0.80f}, (1.0f - Smooth(0.0f, 0.06f, line)) * 0.6f);
    }
    // Extruded "3D": stacked copies going down and right, darker with depth.
    const Text threeD{"3D", 7.0f, 2.0f, 5.0f};
    for (int layer = 5; layer >= 1; --layer) {
        if (threeD.Distance(x - layer * 0.8f, y - layer * 0.8f) <= 0.0f)
            colour = Mix(Rgb{0.55f, 0.18f, 0.05f}, Rgb{0.25f, 0.06f, 0.02f}, layer / 5.0f);
    }
    if (threeD.Distance(x, y) <= 0.0f)
        colour = Mix(Rgb{1.0f, 0.85f, 0.35f}, Rgb{0.95f, 0.45f, 0.10f}, (y - 2.0f) / 35.0f);
    static const Text version{"V0.2", 68.0f, 27.0f, 1.0f};
    return OverlayText(version, colour, x, y, Rgb{0.85f, 1.0f, 1.0f}, Rgb{0.45f, 0.85f, 0.90f});
}

Rgb SceneSword(float x, float y) {
    const float w = 100.0f, h = 54.0f;
    Rgb colour = EveningSky(y / (h * 0.8f));
    const float sun = std::hypot(x - 70.0f, y - 26.0f);
    if (sun < 7.0f)
        colour = Rgb{1.0f, 0.95f, 0.72f};
    else
        colour = Mix(colour, Rgb{1.0f, 0.85f, 0.55f}, (1.0f - Smooth(7.0f, 22.0f, sun)) * 0.6f);
    // The bowl: ground rising toward both sides, lit from the sun's side.
    const float u = x / w * 2.0f - 1.0f;
    const float ground = h * 0.70f - h * 0.30f * u * u;
    if (y > ground) {
        const float shade = 0.75f + 0.25f * u;
        colour = Scale(Mix(Rgb{0.62f, 0.42f, 0.24f}, Rgb{0.30f, 0.19f, 0.11f},
                           (y - ground) / (h - ground + 1.0f)),
                       shade);
    }
    // The sword standing in the ground, slightly left of the centre.
    const float sx = x - 40.0f;
    const float tip = 44.0f;
    const float bladeHalf = 2.2f * std::fmin(1.0f, (tip - y) / 6.0f);
    if (y > 14.0f && y < tip && std::fabs(sx) < bladeHalf)
        colour = sx < 0.0f ? Rgb{0.93f, 0.95f, 0.99f} : Rgb{0.60f, 0.64f, 0.72f};
    if (y > 11.5f && y <= 14.0f && std::fabs(sx) < 8.0f)
        colour = Rgb{0.86f, 0.68f, 0.20f};
    if (y > 4.0f && y <= 11.5f && std::fabs(sx) < 1.4f)
        colour = Rgb{0.38f, 0.17f, 0.10f};
    if (std::hypot(sx, y - 3.5f) < 2.2f)
        colour = Rgb{0.86f, 0.68f, 0.20f};
    return colour;
}

Rgb ModelSphere(float x, float y) {
    const float h = 54.0f;
    Rgb colour = Mix(Rgb{0.10f, 0.10f, 0.16f}, Rgb{0.20f, 0.22f, 0.32f}, y / h);
    // A floor grid in perspective below the horizon.
    const float horizon = 30.0f;
    if (y > horizon) {
        const float depth = 30.0f / (y - horizon + 0.5f);
        const float gx = (x - 50.0f) * depth / 12.0f;
        const float lineX = std::fabs(gx - std::round(gx)) / std::fmax(depth, 1.0f);
        const float lineZ = std::fabs(depth - std::round(depth)) / depth;
        const float line = std::fmin(lineX, lineZ);
        colour = Mix(Rgb{0.14f, 0.15f, 0.22f}, Rgb{0.55f, 0.80f, 0.45f},
                     1.0f - Smooth(0.0f, 0.08f, line));
    }
    // The sphere's shadow on the floor.
    const float shadow = std::hypot((x - 52.0f) / 17.0f, (y - 47.0f) / 3.5f);
    if (shadow < 1.0f)
        colour = Scale(colour, 0.45f + 0.55f * shadow);
    // A faceted sphere: normals snapped to 12 x 8 latitude-longitude facets.
    const float cx = 48.0f, cy = 25.0f, radius = 18.0f;
    const float nx = (x - cx) / radius, ny = (y - cy) / radius;
    const float r2 = nx * nx + ny * ny;
    if (r2 < 1.0f) {
        const float nz = std::sqrt(1.0f - r2);
        const float pi = 3.14159265f;
        float longitude = std::atan2(nx, nz);
        float latitude = std::asin(std::fmax(-1.0f, std::fmin(1.0f, -ny)));
        longitude = (std::floor(longitude / (pi / 6.0f)) + 0.5f) * (pi / 6.0f);
        latitude = (std::floor(latitude / (pi / 8.0f)) + 0.5f) * (pi / 8.0f);
        const float fx = std::cos(latitude) * std::sin(longitude);
        const float fy = std::sin(latitude);
        const float fz = std::cos(latitude) * std::cos(longitude);
        const float light = std::fmax(0.0f, fx * -0.5f + fy * 0.6f + fz * 0.62f);
        colour = Mix(Rgb{0.15f, 0.08f, 0.25f}, Rgb{0.95f, 0.45f, 0.85f}, light);
        // Thin edges between facets.
        const float edgeA = std::fabs(std::remainder(std::atan2(nx, nz), pi / 6.0f));
        const float edgeB = std::fabs(std::remainder(std::asin(-ny), pi / 8.0f));
        if (edgeA * radius * nz < 0.5f || edgeB * radius < 0.5f)
            colour = Scale(colour, 0.6f);
    }
    return colour;
}

Rgb Banner(float x, float y) {
    const float w = 170.0f, h = 25.0f;
    Rgb colour = Mix(Rgb{0.10f, 0.16f, 0.40f}, Rgb{0.02f, 0.03f, 0.10f}, y / h);
    colour = Mix(colour, Rgb{0.25f, 0.35f, 0.70f}, 0.4f * (1.0f - std::fabs(x / w * 2.0f - 1.0f)));
    if (y < 1.5f || y > h - 1.5f)
        colour = Rgb{0.90f, 0.72f, 0.28f};
    static const Text name{"TAZROSCR 3D", (170.0f - (11.0f * 6.0f - 1.0f) * 2.0f) / 2.0f, 5.5f,
                           2.0f};
    return OverlayText(name, colour, x, y, Rgb{1.0f, 1.0f, 1.0f}, Rgb{0.55f, 0.62f, 0.75f});
}

// Distance from p to the segment a-b.
float SegmentDistance(float px, float py, float ax, float ay, float bx, float by) {
    const float vx = bx - ax, vy = by - ay;
    const float t = std::fmax(
        0.0f, std::fmin(1.0f, ((px - ax) * vx + (py - ay) * vy) / (vx * vx + vy * vy + 1e-12f)));
    return std::hypot(px - (ax + vx * t), py - (ay + vy * t));
}

Rgb Flourish(float x, float y) {
    // A slanted pen stroke: a tall first loop, four smaller running loops,
    // then a swash back underneath, as a polyline.
    static std::vector<std::pair<float, float>> stroke;
    if (stroke.empty()) {
        const float pi = 3.14159265f;
        auto put = [](float px, float py) { stroke.push_back({px + 0.45f * (7.0f - py), py}); };
        for (int i = 0; i <= 80; ++i) { // the capital: up, over and down
            const float t = static_cast<float>(i) / 80.0f;
            put(3.0f + 5.0f * t + 2.5f * std::sin(t * pi), 10.0f - 8.5f * std::sin(t * pi));
        }
        const int steps = 320;
        for (int i = 0; i <= steps; ++i) { // the running hand
            const float t = static_cast<float>(i) / steps;
            const float angle = t * 2.0f * pi * 4.0f;
            const float height = 3.0f - 1.2f * t;
            put(8.0f + 32.0f * t + 2.2f * std::sin(angle),
                10.0f - height * (1.0f - std::cos(angle)));
        }
        for (int i = 0; i <= 60; ++i) { // the swash
            const float t = static_cast<float>(i) / 60.0f;
            put(40.0f + 4.0f * std::sin(t * pi) - 34.0f * t, 10.0f + 2.5f * std::sin(t * pi));
        }
    }
    float best = 1e9f;
    for (size_t i = 1; i < stroke.size(); ++i)
        best = std::fmin(best, SegmentDistance(x, y, stroke[i - 1].first, stroke[i - 1].second,
                                               stroke[i].first, stroke[i].second));
    const Rgb paper = Mix(Rgb{0.97f, 0.94f, 0.84f}, Rgb{0.90f, 0.85f, 0.72f}, y / 14.0f);
    return Mix(Rgb{0.08f, 0.12f, 0.40f}, paper, Smooth(0.3f, 0.85f, best));
}

// ---------------------------------------------------------------------------
// Rendering.

struct Image {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels; // 0xRRGGBB, bottom row first as the bitmap stores them
};

uint8_t ToByte(float v) {
    return static_cast<uint8_t>(std::lround(std::fmin(1.0f, std::fmax(0.0f, v)) * 255.0f));
}

Image Render(int width, int height, const Picture& picture) {
    const int samples = 4;
    Image image;
    image.width = width;
    image.height = height;
    for (int y = height - 1; y >= 0; --y) {
        for (int x = 0; x < width; ++x) {
            Rgb sum{0, 0, 0};
            for (int sy = 0; sy < samples; ++sy)
                for (int sx = 0; sx < samples; ++sx) {
                    const Rgb c = picture(x + (sx + 0.5f) / samples, y + (sy + 0.5f) / samples);
                    sum = Rgb{sum.r + c.r, sum.g + c.g, sum.b + c.b};
                }
            sum = Scale(sum, 1.0f / (samples * samples));
            image.pixels.push_back(static_cast<uint32_t>(ToByte(sum.r)) << 16 |
                                   static_cast<uint32_t>(ToByte(sum.g)) << 8 | ToByte(sum.b));
        }
    }
    return image;
}

struct PictureInfo {
    int id, width, height;
    Picture picture;
};

const PictureInfo kPictures[] = {
    {110, 100, 41, LogoName},    {112, 100, 54, SceneSword}, {113, 170, 25, Banner},
    {116, 100, 54, ModelSphere}, {119, 54, 14, Flourish},    {127, 100, 41, LogoThreeD},
};

} // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
        std::printf("usage: gen_credits ID OUT.bmp\n"
                    "Draws credit picture ID (110, 112, 113, 116, 119 or 127) as an 8-bit\n"
                    "paletted bitmap file.\n");
        return 0;
    }
    if (argc != 3) {
        std::fprintf(stderr, "usage: gen_credits ID OUT.bmp (gen_credits --help)\n");
        return 2;
    }
    const int id = std::atoi(argv[1]);
    const PictureInfo* info = nullptr;
    for (const PictureInfo& candidate : kPictures)
        if (candidate.id == id)
            info = &candidate;
    if (info == nullptr) {
        std::fprintf(stderr, "gen_credits: no credit picture %s\n", argv[1]);
        return 2;
    }
    const Image image = Render(info->width, info->height, info->picture);
    const common::PalettePicture reduced =
        common::ReducePalette(image.pixels, common::PaletteMethod::MedianCut, false);
    if (!common::WriteWholeFile(argv[2],
                                common::PaletteBitmapFile(image.width, image.height, reduced))) {
        std::fprintf(stderr, "gen_credits: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
