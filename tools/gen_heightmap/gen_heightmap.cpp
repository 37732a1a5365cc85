// Writes the terrain's heightmap: 256 x 256 unsigned bytes, row-major (row =
// world z, column = world x), shaped as a bowl. The floor is 0 around the
// centre, where the character walks; the slope climbs toward the borders with
// ridges and gullies from fractal value noise and ends in a rim of about 130
// to 240. Everything comes from a fixed seed, so the output is byte-identical
// on every run.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "common/file_bytes.h"

namespace {

constexpr int kSide = 256;
constexpr uint32_t kSeed = 0x7a2f0106u;

// Integer hash of a lattice point to [0, 1).
float Lattice(int x, int y, uint32_t seed) {
    uint32_t h = seed;
    h ^= static_cast<uint32_t>(x) * 0x27d4eb2du;
    h = (h ^ (h >> 15)) * 0x85ebca6bu;
    h ^= static_cast<uint32_t>(y) * 0x165667b1u;
    h = (h ^ (h >> 13)) * 0xc2b2ae35u;
    h ^= h >> 16;
    return static_cast<float>(h >> 8) / 16777216.0f;
}

float Smooth(float t) {
    return t * t * (3.0f - 2.0f * t);
}

// Value noise in [0, 1) with smooth interpolation between lattice points.
float ValueNoise(float x, float y, uint32_t seed) {
    const float fx = std::floor(x);
    const float fy = std::floor(y);
    const int ix = static_cast<int>(fx);
    const int iy = static_cast<int>(fy);
    const float tx = Smooth(x - fx);
    const float ty = Smooth(y - fy);
    const float a = Lattice(ix, iy, seed);
    const float b = Lattice(ix + 1, iy, seed);
    const float c = Lattice(ix, iy + 1, seed);
    const float d = Lattice(ix + 1, iy + 1, seed);
    const float top = a + (b - a) * tx;
    const float bottom = c + (d - c) * tx;
    return top + (bottom - top) * ty;
}

// Fractal sum of octaves, centred on 0, roughly in [-1, 1].
float Fractal(float x, float y, int octaves, uint32_t seed) {
    float sum = 0.0f;
    float amplitude = 1.0f;
    float norm = 0.0f;
    for (int i = 0; i < octaves; ++i) {
        sum += amplitude * (ValueNoise(x, y, seed + 977u * static_cast<uint32_t>(i)) * 2.0f - 1.0f);
        norm += amplitude;
        amplitude *= 0.5f;
        x *= 2.03f;
        y *= 2.03f;
    }
    return sum / norm;
}

std::vector<uint8_t> MakeHeightmap() {
    std::vector<uint8_t> map(kSide * kSide);
    for (int row = 0; row < kSide; ++row) {
        for (int column = 0; column < kSide; ++column) {
            // Cell centre relative to the map centre, -1 .. 1 on both axes.
            float u = (static_cast<float>(column) + 0.5f) / 128.0f - 1.0f;
            float v = (static_cast<float>(row) + 0.5f) / 128.0f - 1.0f;
            // A little domain warp so that contours meander instead of
            // following the shape exactly.
            const float wu = u + 0.07f * Fractal(u * 3.0f + 7.1f, v * 3.0f, 3, kSeed + 21u);
            const float wv = v + 0.07f * Fractal(u * 3.0f, v * 3.0f + 3.7f, 3, kSeed + 37u);
            // A rounded square (superellipse) so that the rim is high along
            // every border, corners included, rather than only at the corners.
            const float r = std::pow(std::pow(std::fabs(wu), 3.0f) + std::pow(std::fabs(wv), 3.0f),
                                     1.0f / 3.0f);
            // The edge of the flat floor wanders a little.
            const float floorEdge = 0.36f + 0.05f * Fractal(u * 2.5f, v * 2.5f, 2, kSeed + 11u);
            float t = (r - floorEdge) / (1.0f - floorEdge);
            if (t <= 0.0f) {
                map[row * kSide + column] = 0;
                continue;
            }
            t = std::min(t, 1.1f);
            // Concave slope: gentle at the floor, steep toward the rim.
            const float slope = 180.0f * std::pow(t, 1.5f);
            // Rolling detail plus sharp ridges (folded noise), both growing
            // with the slope so that the floor stays smooth.
            const float detail = Fractal(wu * 7.0f, wv * 7.0f, 5, kSeed);
            const float ridges = 1.0f - std::fabs(Fractal(wu * 4.0f, wv * 4.0f, 4, kSeed + 5u));
            const float noise = 30.0f * detail + 45.0f * (ridges - 0.65f);
            const float height = slope + noise * Smooth(std::min(t, 1.0f));
            map[row * kSide + column] =
                static_cast<uint8_t>(std::lround(std::clamp(height, 0.0f, 250.0f)));
        }
    }
    return map;
}

bool WriteFile(const char* path, const std::vector<uint8_t>& bytes) {
    if (common::WriteWholeFile(path, bytes))
        return true;
    std::fprintf(stderr, "gen_heightmap: cannot write %s\n", path);
    return false;
}

void Usage(FILE* out) {
    std::fprintf(out, "usage: gen_heightmap [--pgm PREVIEW.pgm] OUTPUT\n"
                      "Writes the 256 x 256 terrain heightmap (65,536 bytes, one height per\n"
                      "byte, row-major) to OUTPUT; --pgm also writes a greyscale preview.\n");
}

} // namespace

int main(int argc, char** argv) {
    const char* output = nullptr;
    const char* preview = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            Usage(stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--pgm") == 0 && i + 1 < argc) {
            preview = argv[++i];
        } else if (argv[i][0] != '-' && output == nullptr) {
            output = argv[i];
        } else {
            Usage(stderr);
            return 2;
        }
    }
    if (output == nullptr) {
        Usage(stderr);
        return 2;
    }
    const std::vector<uint8_t> map = MakeHeightmap();
    if (!WriteFile(output, map))
        return 1;
    if (preview != nullptr) {
        const std::string header = "P5\n256 256\n255\n";
        std::vector<uint8_t> pgm;
        pgm.reserve(header.size() + map.size());
        pgm.insert(pgm.end(), header.begin(), header.end());
        pgm.insert(pgm.end(), map.begin(), map.end());
        if (!WriteFile(preview, pgm))
            return 1;
    }
    return 0;
}
