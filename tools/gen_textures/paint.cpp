#include "paint.h"

#include <algorithm>
#include <array>
#include <cstdio>

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

using Rgb8 = std::array<int, 3>;

Rgb8 ToBytes(Colour c) {
    auto byte = [](float x) { return static_cast<int>(std::lround(Clamp01(x) * 255.0f)); };
    return {byte(c.r), byte(c.g), byte(c.b)};
}

int Distance(const Rgb8& a, const Rgb8& b) {
    // Weighted toward green, as the eye is.
    const int dr = a[0] - b[0], dg = a[1] - b[1], db = a[2] - b[2];
    return 3 * dr * dr + 4 * dg * dg + 2 * db * db;
}

// Median cut over the pixels' colours into at most count boxes.
std::vector<Rgb8> MedianCut(std::vector<Rgb8> colours, int count) {
    struct Box {
        size_t begin, end;
    };
    std::vector<Box> boxes = {{0, colours.size()}};
    auto spread = [&](const Box& box, int& axis) {
        int best = -1;
        for (int c = 0; c < 3; ++c) {
            int lo = 255, hi = 0;
            for (size_t i = box.begin; i < box.end; ++i) {
                lo = std::min(lo, colours[i][c]);
                hi = std::max(hi, colours[i][c]);
            }
            if (hi - lo > best) {
                best = hi - lo;
                axis = c;
            }
        }
        return best;
    };
    while (static_cast<int>(boxes.size()) < count) {
        // Split the box whose longest side, weighted by its pixel count, is
        // the largest.
        int chosen = -1, axis = 0;
        double bestScore = 0.0;
        for (size_t b = 0; b < boxes.size(); ++b) {
            if (boxes[b].end - boxes[b].begin < 2)
                continue;
            int a = 0;
            const int s = spread(boxes[b], a);
            const double score = s * std::sqrt(static_cast<double>(boxes[b].end - boxes[b].begin));
            if (s > 0 && score > bestScore) {
                bestScore = score;
                chosen = static_cast<int>(b);
                axis = a;
            }
        }
        if (chosen < 0)
            break;
        Box box = boxes[chosen];
        std::sort(colours.begin() + static_cast<long>(box.begin),
                  colours.begin() + static_cast<long>(box.end),
                  [axis](const Rgb8& a, const Rgb8& b) {
                      return a[axis] != b[axis] ? a[axis] < b[axis] : a < b;
                  });
        const size_t middle = box.begin + (box.end - box.begin) / 2;
        boxes[chosen] = {box.begin, middle};
        boxes.push_back({middle, box.end});
    }
    std::vector<Rgb8> palette;
    for (const Box& box : boxes) {
        long sum[3] = {0, 0, 0};
        for (size_t i = box.begin; i < box.end; ++i)
            for (int c = 0; c < 3; ++c)
                sum[c] += colours[i][c];
        const long n = static_cast<long>(box.end - box.begin);
        palette.push_back({static_cast<int>((sum[0] + n / 2) / n),
                           static_cast<int>((sum[1] + n / 2) / n),
                           static_cast<int>((sum[2] + n / 2) / n)});
    }
    return palette;
}

int Nearest(const std::vector<Rgb8>& palette, const Rgb8& c, int first) {
    int best = first, bestDistance = 1 << 30;
    for (int i = first; i < static_cast<int>(palette.size()); ++i) {
        const int d = Distance(palette[i], c);
        if (d < bestDistance) {
            bestDistance = d;
            best = i;
        }
    }
    return best;
}

void PutLe(std::vector<uint8_t>& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

} // namespace

bool WriteBitmap(const Picture& picture, const std::string& path, bool reserveBlack) {
    const int pixelCount = Picture::kSize * Picture::kSize;
    std::vector<Rgb8> pixels(pixelCount);
    for (int i = 0; i < pixelCount; ++i)
        pixels[i] = ToBytes(picture.pixels[i]);

    const Rgb8 black = {0, 0, 0};
    std::vector<Rgb8> sample;
    for (const Rgb8& p : pixels)
        if (!reserveBlack || p != black)
            sample.push_back(p);
    const int first = reserveBlack ? 1 : 0;
    std::vector<Rgb8> palette;
    if (reserveBlack)
        palette.push_back(black);
    if (!sample.empty()) {
        const std::vector<Rgb8> cut = MedianCut(sample, 256 - first);
        palette.insert(palette.end(), cut.begin(), cut.end());
    }
    std::vector<uint8_t> index(pixelCount, 0);
    // A few rounds of k-means: each palette colour moves to the mean of the
    // pixels it stands for.
    for (int round = 0; round < 4; ++round) {
        std::vector<std::array<long, 4>> sums(palette.size(), {0, 0, 0, 0});
        for (int i = 0; i < pixelCount; ++i) {
            const int k =
                (reserveBlack && pixels[i] == black) ? 0 : Nearest(palette, pixels[i], first);
            index[i] = static_cast<uint8_t>(k);
            for (int c = 0; c < 3; ++c)
                sums[k][c] += pixels[i][c];
            ++sums[k][3];
        }
        if (round == 3)
            break;
        for (size_t k = first; k < palette.size(); ++k)
            if (sums[k][3] > 0)
                for (int c = 0; c < 3; ++c)
                    palette[k][c] = static_cast<int>((sums[k][c] + sums[k][3] / 2) / sums[k][3]);
    }
    while (palette.size() < 256)
        palette.push_back(black);

    std::vector<uint8_t> out;
    const uint32_t paletteBytes = 256 * 4;
    const uint32_t offset = 14 + 40 + paletteBytes;
    out.push_back('B');
    out.push_back('M');
    PutLe(out, offset + static_cast<uint32_t>(pixelCount), 4);
    PutLe(out, 0, 4);
    PutLe(out, offset, 4);
    PutLe(out, 40, 4);             // header size
    PutLe(out, Picture::kSize, 4); // width
    PutLe(out, Picture::kSize, 4); // height, positive: bottom row first
    PutLe(out, 1, 2);              // planes
    PutLe(out, 8, 2);              // bits per pixel
    PutLe(out, 0, 4);              // BI_RGB
    PutLe(out, pixelCount, 4);     // image size
    PutLe(out, 2835, 4);           // 72 dots per inch
    PutLe(out, 2835, 4);
    PutLe(out, 256, 4); // colours used
    PutLe(out, 0, 4);   // all important
    for (const Rgb8& c : palette) {
        out.push_back(static_cast<uint8_t>(c[2]));
        out.push_back(static_cast<uint8_t>(c[1]));
        out.push_back(static_cast<uint8_t>(c[0]));
        out.push_back(0);
    }
    out.insert(out.end(), index.begin(), index.end());

    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        return false;
    const bool written = std::fwrite(out.data(), 1, out.size(), file) == out.size();
    return std::fclose(file) == 0 && written;
}

} // namespace paint
