#include "glwindow/window_icon.h"

namespace {

uint32_t Read16(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8;
}

uint32_t Read32(const uint8_t* p) {
    return Read16(p) | Read16(p + 2) << 16;
}

constexpr size_t kDirectorySize = 6;
constexpr size_t kEntrySize = 16;
constexpr size_t kInfoHeaderSize = 40;
constexpr uint32_t kMaxSide = 256;

} // namespace

bool DecodeWindowIcon(const uint8_t* data, size_t size, std::vector<uint32_t>& icon) {
    // ICONDIR: reserved 0, type 1 (icon), image count; then 16-byte entries.
    if (data == nullptr || size < kDirectorySize || Read16(data) != 0 || Read16(data + 2) != 1)
        return false;
    const size_t count = Read16(data + 4);
    if (count == 0 || size < kDirectorySize + count * kEntrySize)
        return false;
    std::vector<uint32_t> decoded;
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* entry = data + kDirectorySize + i * kEntrySize;
        const uint32_t bytes = Read32(entry + 8);
        const uint32_t offset = Read32(entry + 12);
        if (offset > size || bytes > size - offset || bytes < kInfoHeaderSize)
            return false;
        // The image: a BITMAPINFOHEADER whose height counts the colour and
        // the mask halves, BGRA rows from the bottom, then the AND mask.
        const uint8_t* image = data + offset;
        const uint32_t headerSize = Read32(image);
        const uint32_t width = Read32(image + 4);
        const uint32_t doubledHeight = Read32(image + 8);
        const uint32_t bitCount = Read16(image + 14);
        if (headerSize < kInfoHeaderSize || headerSize > bytes || width == 0 || width > kMaxSide ||
            doubledHeight == 0 || doubledHeight % 2 != 0 || doubledHeight / 2 > kMaxSide)
            return false;
        if (bitCount != 32)
            continue;
        const uint32_t height = doubledHeight / 2;
        const size_t pixelBytes = static_cast<size_t>(width) * height * 4;
        if (pixelBytes > bytes - headerSize)
            return false;
        const uint8_t* pixels = image + headerSize;
        decoded.push_back(width);
        decoded.push_back(height);
        for (uint32_t row = 0; row < height; ++row) {
            const uint8_t* p = pixels + static_cast<size_t>(height - 1 - row) * width * 4;
            for (uint32_t x = 0; x < width; ++x, p += 4)
                decoded.push_back(Read32(p)); // B, G, R, A in memory: 0xAARRGGBB
        }
    }
    icon.insert(icon.end(), decoded.begin(), decoded.end());
    return true;
}
