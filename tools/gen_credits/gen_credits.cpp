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
// 256-entry palette by median cut. Deterministic: no clock, no randomness.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

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
// Rendering, palette reduction and the bitmap file.

struct Image {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels; // 0xRRGGBB, rows top-down
};

uint8_t ToByte(float v) {
    return static_cast<uint8_t>(std::lround(std::fmin(1.0f, std::fmax(0.0f, v)) * 255.0f));
}

Image Render(int width, int height, const Picture& picture) {
    const int samples = 4;
    Image image;
    image.width = width;
    image.height = height;
    for (int y = 0; y < height; ++y) {
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

int Channel(uint32_t colour, int channel) {
    return static_cast<int>((colour >> (16 - 8 * channel)) & 0xFF);
}

struct ColourCount {
    uint32_t colour;
    uint32_t count;
};

// Median cut: split the box with the widest channel range at its weighted
// median until there are 256 boxes (or no box can be split); each palette
// entry is its box's weighted mean.
std::vector<uint32_t> MedianCut(std::vector<ColourCount> colours) {
    struct Box {
        size_t begin, end;
    };
    auto range = [&colours](const Box& box, int& widest) {
        int best = -1;
        for (int c = 0; c < 3; ++c) {
            int lo = 255, hi = 0;
            for (size_t i = box.begin; i < box.end; ++i) {
                lo = std::min(lo, Channel(colours[i].colour, c));
                hi = std::max(hi, Channel(colours[i].colour, c));
            }
            if (hi - lo > best) {
                best = hi - lo;
                widest = c;
            }
        }
        return best;
    };
    std::vector<Box> boxes{{0, colours.size()}};
    while (boxes.size() < 256) {
        size_t pick = boxes.size();
        int pickRange = 0, pickChannel = 0;
        for (size_t b = 0; b < boxes.size(); ++b) {
            if (boxes[b].end - boxes[b].begin < 2)
                continue;
            int channel = 0;
            const int r = range(boxes[b], channel);
            if (r > pickRange) {
                pickRange = r;
                pickChannel = channel;
                pick = b;
            }
        }
        if (pick == boxes.size())
            break;
        Box box = boxes[pick];
        std::sort(colours.begin() + static_cast<long>(box.begin),
                  colours.begin() + static_cast<long>(box.end),
                  [pickChannel](const ColourCount& a, const ColourCount& b) {
                      const int ca = Channel(a.colour, pickChannel);
                      const int cb = Channel(b.colour, pickChannel);
                      return ca != cb ? ca < cb : a.colour < b.colour;
                  });
        uint64_t total = 0;
        for (size_t i = box.begin; i < box.end; ++i)
            total += colours[i].count;
        uint64_t running = 0;
        size_t split = box.begin + 1;
        for (size_t i = box.begin; i < box.end - 1; ++i) {
            running += colours[i].count;
            split = i + 1;
            if (running * 2 >= total)
                break;
        }
        boxes[pick] = Box{box.begin, split};
        boxes.push_back(Box{split, box.end});
    }
    std::vector<uint32_t> palette;
    for (const Box& box : boxes) {
        uint64_t sums[3] = {0, 0, 0}, total = 0;
        for (size_t i = box.begin; i < box.end; ++i) {
            for (int c = 0; c < 3; ++c)
                sums[c] += static_cast<uint64_t>(Channel(colours[i].colour, c)) * colours[i].count;
            total += colours[i].count;
        }
        uint32_t colour = 0;
        for (int c = 0; c < 3; ++c)
            colour |= static_cast<uint32_t>((sums[c] + total / 2) / total) << (16 - 8 * c);
        palette.push_back(colour);
    }
    return palette;
}

struct Indexed {
    std::vector<uint32_t> palette; // 256 entries
    std::vector<uint8_t> indices;  // one per pixel, rows top-down
};

Indexed Reduce(const Image& image) {
    std::vector<uint32_t> sorted = image.pixels;
    std::sort(sorted.begin(), sorted.end());
    std::vector<ColourCount> colours;
    for (uint32_t colour : sorted) {
        if (!colours.empty() && colours.back().colour == colour)
            ++colours.back().count;
        else
            colours.push_back({colour, 1});
    }
    Indexed result;
    result.palette = MedianCut(colours);
    result.palette.resize(256, 0);
    for (uint32_t colour : image.pixels) {
        int best = 0, bestDistance = 1 << 30;
        for (int i = 0; i < 256; ++i) {
            int distance = 0;
            for (int c = 0; c < 3; ++c) {
                const int d = Channel(colour, c) - Channel(result.palette[i], c);
                distance += d * d;
            }
            if (distance < bestDistance) {
                bestDistance = distance;
                best = i;
            }
        }
        result.indices.push_back(static_cast<uint8_t>(best));
    }
    return result;
}

void Put16(std::vector<uint8_t>& out, uint32_t value) {
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

void Put32(std::vector<uint8_t>& out, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// A bitmap file: file header, BITMAPINFOHEADER (8 bits, BI_RGB, bottom-up),
// 256 palette entries (blue, green, red, 0), rows padded to 4 bytes.
std::vector<uint8_t> BitmapFile(const Image& image, const Indexed& indexed) {
    const uint32_t stride = (static_cast<uint32_t>(image.width) + 3) & ~3u;
    const uint32_t pixelBytes = stride * static_cast<uint32_t>(image.height);
    const uint32_t offset = 14 + 40 + 256 * 4;
    std::vector<uint8_t> out;
    out.push_back('B');
    out.push_back('M');
    Put32(out, offset + pixelBytes);
    Put32(out, 0);
    Put32(out, offset);
    Put32(out, 40);
    Put32(out, static_cast<uint32_t>(image.width));
    Put32(out, static_cast<uint32_t>(image.height));
    Put16(out, 1);
    Put16(out, 8);
    Put32(out, 0); // BI_RGB
    Put32(out, pixelBytes);
    Put32(out, 2835); // 72 dpi
    Put32(out, 2835);
    Put32(out, 256);
    Put32(out, 0);
    for (uint32_t colour : indexed.palette) {
        out.push_back(static_cast<uint8_t>(colour));
        out.push_back(static_cast<uint8_t>(colour >> 8));
        out.push_back(static_cast<uint8_t>(colour >> 16));
        out.push_back(0);
    }
    for (int row = image.height - 1; row >= 0; --row) {
        const size_t first = static_cast<size_t>(row) * static_cast<size_t>(image.width);
        out.insert(out.end(), indexed.indices.begin() + static_cast<long>(first),
                   indexed.indices.begin() + static_cast<long>(first + image.width));
        out.resize(out.size() + (stride - static_cast<uint32_t>(image.width)), 0);
    }
    return out;
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
    const std::vector<uint8_t> file = BitmapFile(image, Reduce(image));
    FILE* out = std::fopen(argv[2], "wb");
    if (out == nullptr || std::fwrite(file.data(), 1, file.size(), out) != file.size()) {
        std::fprintf(stderr, "gen_credits: cannot write %s\n", argv[2]);
        if (out != nullptr)
            std::fclose(out);
        return 1;
    }
    std::fclose(out);
    return 0;
}
