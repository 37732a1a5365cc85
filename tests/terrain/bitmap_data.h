// Bitmap resources built in memory for the texture tests: a header, a
// palette and rows of palette indices, bottom row first unless topDown.
#pragma once

#include <cstdint>
#include <vector>

namespace bitmap_data {

inline void Put(std::vector<uint8_t>& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// An 8-bit bitmap resource (no file header) of width x height whose palette
// entry i is (red i, green 255 - i, blue i / 2) except as overridden, and
// whose pixel (x, row) holds index(x, row).
template <typename Index>
std::vector<uint8_t> Paletted(int width, int height, Index index, bool topDown = false,
                              int bitCount = 8, uint32_t coloursUsed = 0) {
    std::vector<uint8_t> out;
    Put(out, 40, 4);
    Put(out, static_cast<uint32_t>(width), 4);
    Put(out, static_cast<uint32_t>(topDown ? -height : height), 4);
    Put(out, 1, 2);
    Put(out, static_cast<uint32_t>(bitCount), 2);
    Put(out, 0, 4);
    Put(out, 0, 4);
    Put(out, 2835, 4);
    Put(out, 2835, 4);
    Put(out, coloursUsed, 4);
    Put(out, 0, 4);
    const uint32_t entries = coloursUsed != 0 ? coloursUsed : (1u << bitCount);
    for (uint32_t i = 0; i < entries; ++i) {
        out.push_back(static_cast<uint8_t>(i / 2));   // blue
        out.push_back(static_cast<uint8_t>(255 - i)); // green
        out.push_back(static_cast<uint8_t>(i));       // red
        out.push_back(0);
    }
    const int stride = ((width * bitCount + 31) / 32) * 4;
    for (int row = 0; row < height; ++row) {
        std::vector<uint8_t> bits(static_cast<size_t>(stride), 0);
        for (int x = 0; x < width; ++x) {
            const uint32_t i = index(x, row);
            if (bitCount == 8)
                bits[x] = static_cast<uint8_t>(i);
            else if (bitCount == 4)
                bits[x / 2] |= static_cast<uint8_t>(i << ((x % 2) != 0 ? 0 : 4));
            else
                bits[x / 8] |= static_cast<uint8_t>((i & 1) << (7 - x % 8));
        }
        out.insert(out.end(), bits.begin(), bits.end());
    }
    return out;
}

// Sets palette entry i of an 8-bit resource made by Paletted.
inline void SetPalette(std::vector<uint8_t>& bitmap, int i, uint8_t red, uint8_t green,
                       uint8_t blue) {
    bitmap[40 + 4 * i] = blue;
    bitmap[40 + 4 * i + 1] = green;
    bitmap[40 + 4 * i + 2] = red;
}

} // namespace bitmap_data
