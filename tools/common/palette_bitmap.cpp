#include "common/palette_bitmap.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "common/little_endian.h"

namespace common {

namespace {

constexpr uint32_t kBlack = 0;

int Channel(uint32_t colour, int channel) {
    return static_cast<int>((colour >> (16 - 8 * channel)) & 0xFF);
}

// The colours the boxes are cut from, with the pixels each stands for.
struct Entry {
    uint32_t colour;
    uint32_t weight;
};

// Median cut of entries into at most count boxes; returns each box's mean.
std::vector<uint32_t> MedianCut(std::vector<Entry> entries, int count, PaletteMethod method) {
    struct Box {
        size_t begin, end;
    };
    // The widest channel range of a box and its channel (the first on ties).
    auto widest = [&entries](const Box& box, int& channel) {
        int best = -1;
        for (int c = 0; c < 3; ++c) {
            int lo = 255, hi = 0;
            for (size_t i = box.begin; i < box.end; ++i) {
                lo = std::min(lo, Channel(entries[i].colour, c));
                hi = std::max(hi, Channel(entries[i].colour, c));
            }
            if (hi - lo > best) {
                best = hi - lo;
                channel = c;
            }
        }
        return best;
    };
    std::vector<Box> boxes = {{0, entries.size()}};
    while (static_cast<int>(boxes.size()) < count) {
        size_t pick = boxes.size();
        int pickChannel = 0;
        double pickScore = 0.0;
        for (size_t b = 0; b < boxes.size(); ++b) {
            const size_t size = boxes[b].end - boxes[b].begin;
            if (size < 2)
                continue;
            int channel = 0;
            double score = widest(boxes[b], channel);
            if (method == PaletteMethod::RefinedMedianCut)
                score *= std::sqrt(static_cast<double>(size)); // every entry is one pixel
            if (score > pickScore) {
                pickScore = score;
                pickChannel = channel;
                pick = b;
            }
        }
        if (pick == boxes.size())
            break;
        const Box box = boxes[pick];
        std::sort(entries.begin() + static_cast<long>(box.begin),
                  entries.begin() + static_cast<long>(box.end),
                  [pickChannel](const Entry& a, const Entry& b) {
                      const int ca = Channel(a.colour, pickChannel);
                      const int cb = Channel(b.colour, pickChannel);
                      return ca != cb ? ca < cb : a.colour < b.colour;
                  });
        size_t split = box.begin + (box.end - box.begin) / 2;
        if (method == PaletteMethod::MedianCut) {
            uint64_t total = 0;
            for (size_t i = box.begin; i < box.end; ++i)
                total += entries[i].weight;
            uint64_t running = 0;
            for (size_t i = box.begin; i < box.end - 1; ++i) {
                running += entries[i].weight;
                split = i + 1;
                if (running * 2 >= total)
                    break;
            }
        }
        boxes[pick] = Box{box.begin, split};
        boxes.push_back(Box{split, box.end});
    }
    std::vector<uint32_t> means;
    for (const Box& box : boxes) {
        uint64_t sums[3] = {0, 0, 0}, total = 0;
        for (size_t i = box.begin; i < box.end; ++i) {
            for (int c = 0; c < 3; ++c)
                sums[c] += static_cast<uint64_t>(Channel(entries[i].colour, c)) * entries[i].weight;
            total += entries[i].weight;
        }
        uint32_t colour = 0;
        for (int c = 0; c < 3; ++c)
            colour |= static_cast<uint32_t>((sums[c] + total / 2) / total) << (16 - 8 * c);
        means.push_back(colour);
    }
    return means;
}

// Index of the entry from first on nearest to colour (the first on ties).
int Nearest(const std::vector<uint32_t>& palette, uint32_t colour, int first,
            const std::array<int, 3>& weights) {
    int best = first, bestDistance = 1 << 30;
    for (int i = first; i < static_cast<int>(palette.size()); ++i) {
        int distance = 0;
        for (int c = 0; c < 3; ++c) {
            const int d = Channel(colour, c) - Channel(palette[i], c);
            distance += weights[c] * d * d;
        }
        if (distance < bestDistance) {
            bestDistance = distance;
            best = i;
        }
    }
    return best;
}

} // namespace

PalettePicture ReducePalette(const std::vector<uint32_t>& pixels, PaletteMethod method,
                             bool reserveBlack) {
    const bool refined = method == PaletteMethod::RefinedMedianCut;
    std::vector<uint32_t> cut;
    for (uint32_t p : pixels)
        if (!reserveBlack || p != kBlack)
            cut.push_back(p);
    std::vector<Entry> entries;
    if (refined) {
        for (uint32_t colour : cut)
            entries.push_back({colour, 1});
    } else {
        std::sort(cut.begin(), cut.end());
        for (uint32_t colour : cut) {
            if (!entries.empty() && entries.back().colour == colour)
                ++entries.back().weight;
            else
                entries.push_back({colour, 1});
        }
    }

    const int first = reserveBlack ? 1 : 0;
    PalettePicture result;
    if (reserveBlack)
        result.palette.push_back(kBlack);
    if (!entries.empty()) {
        const std::vector<uint32_t> means = MedianCut(std::move(entries), 256 - first, method);
        result.palette.insert(result.palette.end(), means.begin(), means.end());
    }

    const std::array<int, 3> weights =
        refined ? std::array<int, 3>{3, 4, 2} : std::array<int, 3>{1, 1, 1};
    std::vector<uint8_t>& index = result.indices;
    index.assign(pixels.size(), 0);
    // Refinement: each entry moves to the mean of the pixels it stands for,
    // and the pixels choose again.
    const int rounds = refined ? 3 : 0;
    for (int round = 0;; ++round) {
        std::vector<std::array<uint64_t, 4>> sums(result.palette.size(), {0, 0, 0, 0});
        for (size_t i = 0; i < pixels.size(); ++i) {
            const int k = (reserveBlack && pixels[i] == kBlack)
                              ? 0
                              : Nearest(result.palette, pixels[i], first, weights);
            index[i] = static_cast<uint8_t>(k);
            for (int c = 0; c < 3; ++c)
                sums[k][c] += static_cast<uint64_t>(Channel(pixels[i], c));
            ++sums[k][3];
        }
        if (round == rounds)
            break;
        for (size_t k = first; k < result.palette.size(); ++k) {
            if (sums[k][3] == 0)
                continue;
            uint32_t colour = 0;
            for (int c = 0; c < 3; ++c)
                colour |= static_cast<uint32_t>((sums[k][c] + sums[k][3] / 2) / sums[k][3])
                          << (16 - 8 * c);
            result.palette[k] = colour;
        }
    }
    result.palette.resize(256, kBlack);
    return result;
}

std::vector<uint8_t> PaletteBitmapFile(int width, int height, const PalettePicture& picture) {
    const uint32_t stride = (static_cast<uint32_t>(width) + 3) & ~3u;
    const uint32_t pixelBytes = stride * static_cast<uint32_t>(height);
    const uint32_t offset = 14 + 40 + 256 * 4;
    std::vector<uint8_t> out = {'B', 'M'};
    PutLe32(out, offset + pixelBytes);
    PutLe32(out, 0);
    PutLe32(out, offset);
    PutLe32(out, 40);                            // header size
    PutLe32(out, static_cast<uint32_t>(width));  //
    PutLe32(out, static_cast<uint32_t>(height)); // positive: bottom row first
    PutLe16(out, 1);                             // planes
    PutLe16(out, 8);                             // bits per pixel
    PutLe32(out, 0);                             // BI_RGB
    PutLe32(out, pixelBytes);                    //
    PutLe32(out, 2835);                          // 72 dots per inch
    PutLe32(out, 2835);                          //
    PutLe32(out, 256);                           // colours used
    PutLe32(out, 0);                             // all important
    for (uint32_t colour : picture.palette) {    // blue, green, red, 0
        out.push_back(static_cast<uint8_t>(colour));
        out.push_back(static_cast<uint8_t>(colour >> 8));
        out.push_back(static_cast<uint8_t>(colour >> 16));
        out.push_back(0);
    }
    for (int row = 0; row < height; ++row) {
        const auto first = picture.indices.begin() + static_cast<long>(row) * width;
        out.insert(out.end(), first, first + width);
        out.resize(out.size() + (stride - static_cast<uint32_t>(width)), 0);
    }
    return out;
}

} // namespace common
