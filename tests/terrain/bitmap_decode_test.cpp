// The portable decoder of bitmap resources (the host's LoadImageA and
// GetDIBits): 24-bit blue-green-red pixels, bottom row first.
#include <gtest/gtest.h>

#include <cstring>

#include "bitmap_data.h"
#include "terrain/textures.h"

namespace {

using bitmap_data::Paletted;

TEST(BitmapDecode, PaletteColoursBecomeBlueGreenRedBottomRowFirst) {
    // Row r of the resource (r = 0 the bottom) holds index 10 * r + x.
    std::vector<uint8_t> bytes = Paletted(3, 2, [](int x, int row) { return 10u * row + x; });
    bitmap_data::SetPalette(bytes, 11, 30, 20, 10);
    BitmapPixels out;
    ASSERT_TRUE(DecodeBitmap(bytes.data(), bytes.size(), out));
    EXPECT_EQ(out.width, 3);
    EXPECT_EQ(out.height, 2);
    EXPECT_EQ(out.stride, 12); // 9 bytes padded to a multiple of four
    // Bottom row first: pixel (0, 0) is index 0.
    EXPECT_EQ(out.pixels[0], 0);   // blue
    EXPECT_EQ(out.pixels[1], 255); // green
    EXPECT_EQ(out.pixels[2], 0);   // red
    // Second row, second pixel: index 11 = (red 30, green 20, blue 10).
    const uint8_t* p = out.pixels + out.stride + 3;
    EXPECT_EQ(p[0], 10);
    EXPECT_EQ(p[1], 20);
    EXPECT_EQ(p[2], 30);
    FreeBitmapPixels(out);
    EXPECT_EQ(out.pixels, nullptr);
}

TEST(BitmapDecode, TopDownRowsAreTurnedBottomUp) {
    const std::vector<uint8_t> up = Paletted(4, 3, [](int x, int row) { return 40u * row + x; });
    const std::vector<uint8_t> down = Paletted(
        4, 3, [](int x, int row) { return 40u * (2 - row) + x; }, true);
    BitmapPixels a, b;
    ASSERT_TRUE(DecodeBitmap(up.data(), up.size(), a));
    ASSERT_TRUE(DecodeBitmap(down.data(), down.size(), b));
    EXPECT_EQ(std::memcmp(a.pixels, b.pixels, static_cast<size_t>(a.stride) * 3), 0);
    FreeBitmapPixels(a);
    FreeBitmapPixels(b);
}

TEST(BitmapDecode, SmallerIndicesAndShortPalettes) {
    for (int bits : {1, 4}) {
        const uint32_t top = (1u << bits) - 1;
        const std::vector<uint8_t> bytes = Paletted(
            9, 2, [top](int x, int row) { return (x + row) & top; }, false, bits);
        BitmapPixels out;
        ASSERT_TRUE(DecodeBitmap(bytes.data(), bytes.size(), out)) << bits;
        for (int row = 0; row < 2; ++row)
            for (int x = 0; x < 9; ++x)
                EXPECT_EQ(out.pixels[row * out.stride + 3 * x + 2], (x + row) & top) << bits;
        FreeBitmapPixels(out);
    }
    // Indices past a short palette come out black rather than read beyond it.
    const std::vector<uint8_t> bytes = Paletted(
        4, 1, [](int x, int) { return 3u + x; }, false, 8, 5);
    BitmapPixels out;
    ASSERT_TRUE(DecodeBitmap(bytes.data(), bytes.size(), out));
    EXPECT_EQ(out.pixels[2], 3);
    EXPECT_EQ(out.pixels[3 * 1 + 2], 4);
    for (int i = 6; i < 12; ++i)
        EXPECT_EQ(out.pixels[i], 0);
    FreeBitmapPixels(out);
}

TEST(BitmapDecode, RefusesDamagedHeadersAndShortData) {
    const std::vector<uint8_t> good = Paletted(8, 8, [](int x, int) { return x; });
    BitmapPixels out;
    auto refuse = [&](std::vector<uint8_t> bytes, const char* what) {
        EXPECT_FALSE(DecodeBitmap(bytes.data(), bytes.size(), out)) << what;
        EXPECT_EQ(out.pixels, nullptr) << what;
    };
    refuse(std::vector<uint8_t>(good.begin(), good.end() - 1), "one byte short");
    refuse(std::vector<uint8_t>(good.begin(), good.begin() + 39), "header cut");
    auto patched = [&](size_t at, uint32_t value) {
        std::vector<uint8_t> bytes = good;
        for (int i = 0; i < 4; ++i)
            bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
        return bytes;
    };
    refuse(patched(0, 39), "header too small");
    refuse(patched(0, 100000), "header larger than the data");
    refuse(patched(4, 0), "no width");
    refuse(patched(4, 0x80000000u), "negative width");
    refuse(patched(8, 0x80000000u), "the most negative height");
    refuse(patched(8, 100), "more rows than there are");
    refuse(patched(16, 1), "run-length compression");
    refuse(patched(32, 257), "a palette larger than 8 bits index");
    std::vector<uint8_t> planes = good;
    planes[12] = 2;
    refuse(planes, "two planes");
    std::vector<uint8_t> bits = good;
    bits[14] = 16;
    refuse(bits, "16 bits per pixel");
    EXPECT_FALSE(DecodeBitmap(nullptr, 0, out));
}

} // namespace
