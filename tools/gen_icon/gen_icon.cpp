// Draws the program's icon (resource 101) and writes it as a .ico file with
// 16, 32 and 48 pixel images in 32-bit colour with alpha.
//
// The picture: a round badge with an evening sky, a low sun, a bowl-shaped
// hill and an upright sword in front. Every pixel is supersampled 4 x 4 so
// the small sizes stay smooth. Deterministic: no clock, no randomness.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "common/file_bytes.h"
#include "common/little_endian.h"

namespace {

struct Rgba {
    float r, g, b, a;
};

Rgba Mix(Rgba a, Rgba b, float t) {
    return Rgba{a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t,
                a.a + (b.a - a.a) * t};
}

// Colour of the picture at (u, v), both in [-1, 1], v growing downwards.
Rgba Sample(float u, float v) {
    const float radius = std::sqrt(u * u + v * v);
    if (radius > 0.97f)
        return Rgba{0, 0, 0, 0};
    if (radius > 0.88f)
        return Rgba{0.93f, 0.80f, 0.45f, 1}; // golden rim

    // Sky: deep blue at the top to warm orange near the horizon.
    const float t = (v + 1.0f) * 0.5f;
    Rgba colour = Mix(Rgba{0.10f, 0.18f, 0.45f, 1}, Rgba{0.98f, 0.60f, 0.30f, 1}, t * t);
    // Sun low on the right, with a soft glow.
    const float sunDistance = std::sqrt((u - 0.35f) * (u - 0.35f) + (v - 0.05f) * (v - 0.05f));
    if (sunDistance < 0.22f)
        colour = Rgba{1.0f, 0.95f, 0.70f, 1};
    else if (sunDistance < 0.45f)
        colour = Mix(colour, Rgba{1.0f, 0.85f, 0.55f, 1}, (0.45f - sunDistance) / 0.23f * 0.6f);
    // The bowl: ground that rises toward both sides.
    const float ground = 0.35f - 0.35f * u * u;
    if (v > ground)
        colour = Mix(Rgba{0.55f, 0.38f, 0.22f, 1}, Rgba{0.30f, 0.20f, 0.12f, 1},
                     std::fmin(1.0f, (v - ground) * 2.0f));
    // The sword: blade, guard and grip, slightly left of the centre.
    const float x = u + 0.15f;
    const bool blade = std::fabs(x) < 0.07f - 0.05f * (v < -0.55f ? (-0.55f - v) * 2.5f : 0.0f) &&
                       v > -0.75f && v < 0.30f;
    const bool guard = std::fabs(x) < 0.25f && v >= 0.30f && v < 0.38f;
    const bool grip = std::fabs(x) < 0.05f && v >= 0.38f && v < 0.62f;
    const bool pommel = x * x + (v - 0.66f) * (v - 0.66f) < 0.07f * 0.07f;
    if (blade)
        colour = x < 0.0f ? Rgba{0.92f, 0.94f, 0.98f, 1} : Rgba{0.62f, 0.66f, 0.74f, 1};
    if (guard || pommel)
        colour = Rgba{0.85f, 0.68f, 0.20f, 1};
    if (grip)
        colour = Rgba{0.35f, 0.16f, 0.10f, 1};
    return colour;
}

// One square image of the given size: BGRA rows bottom-up, then the AND mask.
std::vector<uint8_t> DrawImage(int size) {
    const int samples = 4;
    std::vector<uint8_t> pixels(static_cast<size_t>(size) * size * 4);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            Rgba sum{0, 0, 0, 0};
            for (int sy = 0; sy < samples; ++sy) {
                for (int sx = 0; sx < samples; ++sx) {
                    const float u = ((x + (sx + 0.5f) / samples) / size) * 2.0f - 1.0f;
                    const float v = ((y + (sy + 0.5f) / samples) / size) * 2.0f - 1.0f;
                    const Rgba c = Sample(u, v);
                    sum.r += c.r * c.a;
                    sum.g += c.g * c.a;
                    sum.b += c.b * c.a;
                    sum.a += c.a;
                }
            }
            const float n = samples * samples;
            const float alpha = sum.a / n;
            const float scale = sum.a > 0 ? 1.0f / sum.a : 0.0f;
            uint8_t* p = &pixels[(static_cast<size_t>(size - 1 - y) * size + x) * 4];
            p[0] = static_cast<uint8_t>(std::lround(sum.b * scale * 255.0f));
            p[1] = static_cast<uint8_t>(std::lround(sum.g * scale * 255.0f));
            p[2] = static_cast<uint8_t>(std::lround(sum.r * scale * 255.0f));
            p[3] = static_cast<uint8_t>(std::lround(alpha * 255.0f));
        }
    }
    // AND mask: 1 bit per pixel, rows padded to 32 bits; set where transparent.
    const int maskStride = ((size + 31) / 32) * 4;
    std::vector<uint8_t> mask(static_cast<size_t>(maskStride) * size, 0);
    for (int row = 0; row < size; ++row)
        for (int x = 0; x < size; ++x)
            if (pixels[(static_cast<size_t>(row) * size + x) * 4 + 3] == 0)
                mask[static_cast<size_t>(row) * maskStride + x / 8] |=
                    static_cast<uint8_t>(0x80 >> (x % 8));

    // BITMAPINFOHEADER: no compression, no resolution, no palette.
    std::vector<uint8_t> image;
    common::PutLe32(image, 40);
    common::PutLe32(image, static_cast<uint32_t>(size));
    common::PutLe32(image, static_cast<uint32_t>(size * 2)); // colour and mask halves
    common::PutLe16(image, 1);                               // planes
    common::PutLe16(image, 32);                              // bits per pixel
    common::PutLe32(image, 0);
    common::PutLe32(image, static_cast<uint32_t>(pixels.size() + mask.size()));
    image.resize(40, 0);
    image.insert(image.end(), pixels.begin(), pixels.end());
    image.insert(image.end(), mask.begin(), mask.end());
    return image;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2 || std::strcmp(argv[1], "--help") == 0) {
        std::fprintf(stderr, "usage: gen_icon OUT.ico\nDraws the screen saver's icon.\n");
        return argc == 2 ? 0 : 2;
    }
    const int sizes[] = {16, 32, 48};
    std::vector<std::vector<uint8_t>> images;
    for (int size : sizes)
        images.push_back(DrawImage(size));

    std::vector<uint8_t> file;
    common::PutLe16(file, 0);
    common::PutLe16(file, 1); // icon
    common::PutLe16(file, static_cast<uint32_t>(images.size()));
    uint32_t offset = 6 + 16 * static_cast<uint32_t>(images.size());
    for (size_t i = 0; i < images.size(); ++i) {
        file.push_back(static_cast<uint8_t>(sizes[i]));
        file.push_back(static_cast<uint8_t>(sizes[i]));
        file.push_back(0); // no palette
        file.push_back(0);
        common::PutLe16(file, 1);  // planes
        common::PutLe16(file, 32); // bits
        common::PutLe32(file, static_cast<uint32_t>(images[i].size()));
        common::PutLe32(file, offset);
        offset += static_cast<uint32_t>(images[i].size());
    }
    for (const auto& image : images)
        file.insert(file.end(), image.begin(), image.end());

    if (!common::WriteWholeFile(argv[1], file)) {
        std::fprintf(stderr, "gen_icon: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
