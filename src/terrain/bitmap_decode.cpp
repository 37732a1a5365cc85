// Portable decoding of bitmap resources into GetDIBits' 24-bit layout.
#include <cstring>
#include <new>

#include "terrain/textures.h"

namespace {

constexpr int32_t kMaxDimension = 16384;

uint32_t Word(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

uint16_t Half(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

// Palette index of pixel x in a row of bitCount-bit indices.
uint32_t IndexAt(const uint8_t* row, int32_t x, int bitCount) {
    switch (bitCount) {
    case 1:
        return (row[x >> 3] >> (7 - (x & 7))) & 1u;
    case 4:
        return (row[x >> 1] >> ((x & 1) != 0 ? 0 : 4)) & 15u;
    default:
        return row[x];
    }
}

} // namespace

bool DecodeBitmap(const uint8_t* bytes, size_t size, BitmapPixels& out) {
    out = BitmapPixels{};
    if (bytes == nullptr || size < 40)
        return false;
    const uint32_t headerSize = Word(bytes);
    const int32_t width = static_cast<int32_t>(Word(bytes + 4));
    const int32_t rawHeight = static_cast<int32_t>(Word(bytes + 8));
    const uint16_t planes = Half(bytes + 12);
    const uint16_t bitCount = Half(bytes + 14);
    const uint32_t compression = Word(bytes + 16);
    const uint32_t coloursUsed = Word(bytes + 32);
    if (headerSize < 40 || headerSize > size || planes != 1 || compression != 0)
        return false;
    if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 24 && bitCount != 32)
        return false;
    if (rawHeight == INT32_MIN)
        return false;
    const bool topDown = rawHeight < 0;
    const int32_t height = topDown ? -rawHeight : rawHeight;
    if (width <= 0 || width > kMaxDimension || height <= 0 || height > kMaxDimension)
        return false;

    uint64_t paletteEntries = 0;
    if (bitCount <= 8) {
        paletteEntries = coloursUsed != 0 ? coloursUsed : (1u << bitCount);
        if (paletteEntries > (1u << bitCount))
            return false;
    }
    const uint64_t paletteOffset = headerSize;
    const uint64_t pixelOffset = paletteOffset + paletteEntries * 4;
    const uint64_t sourceStride = ((static_cast<uint64_t>(width) * bitCount + 31) / 32) * 4;
    if (pixelOffset + sourceStride * static_cast<uint64_t>(height) > size)
        return false;

    const int32_t stride = ((width * 3 + 3) / 4) * 4;
    uint8_t* pixels = new (std::nothrow) uint8_t[static_cast<size_t>(stride) * height]();
    if (pixels == nullptr)
        return false;

    const uint8_t* palette = bytes + paletteOffset;
    for (int32_t y = 0; y < height; ++y) {
        // Output rows go bottom-up whatever the order in the resource.
        const int32_t sourceRow = topDown ? height - 1 - y : y;
        const uint8_t* row = bytes + pixelOffset + sourceStride * static_cast<uint64_t>(sourceRow);
        uint8_t* target = pixels + static_cast<size_t>(stride) * y;
        for (int32_t x = 0; x < width; ++x) {
            uint8_t* texel = target + 3 * x;
            if (bitCount == 24 || bitCount == 32) {
                std::memcpy(texel, row + x * (bitCount / 8), 3);
                continue;
            }
            const uint32_t index = IndexAt(row, x, bitCount);
            if (index < paletteEntries)
                std::memcpy(texel, palette + 4 * index, 3); // blue, green, red
        }
    }
    out.width = width;
    out.height = height;
    out.stride = stride;
    out.pixels = pixels;
    return true;
}

void FreeBitmapPixels(BitmapPixels& bitmap) {
    delete[] bitmap.pixels;
    bitmap = BitmapPixels{};
}
