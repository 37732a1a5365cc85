#include <gtest/gtest.h>

#include <vector>

#include "glwindow/window_icon.h"

namespace {

void Put16(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
}
void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    Put16(b, at, v & 0xFFFF);
    Put16(b, at + 2, v >> 16);
}

// An .ico file with a 2 x 2 image of 32 bits and a 1 x 1 image of 24 bits.
std::vector<uint8_t> TwoImages() {
    std::vector<uint8_t> ico(6 + 2 * 16);
    Put16(ico, 2, 1);
    Put16(ico, 4, 2);
    const uint32_t bits[] = {32, 24};
    const uint32_t side[] = {2, 1};
    // Pixels, bottom row first, B, G, R, A; then the AND mask.
    const std::vector<uint8_t> pixels[] = {{0x01, 0x02, 0x03, 0x80, 0x11, 0x12, 0x13, 0xFF, 0x21,
                                            0x22, 0x23, 0x00, 0x31, 0x32, 0x33, 0x40},
                                           {0x01, 0x02, 0x03, 0x00}};
    for (int i = 0; i < 2; ++i) {
        std::vector<uint8_t> image(40 + pixels[i].size() + 8, 0);
        Put32(image, 0, 40);
        Put32(image, 4, side[i]);
        Put32(image, 8, side[i] * 2);
        Put16(image, 12, 1);
        Put16(image, 14, bits[i]);
        for (size_t k = 0; k < pixels[i].size(); ++k)
            image[40 + k] = pixels[i][k];
        Put32(ico, 6 + i * 16 + 8, static_cast<uint32_t>(image.size()));
        Put32(ico, 6 + i * 16 + 12, static_cast<uint32_t>(ico.size()));
        ico.insert(ico.end(), image.begin(), image.end());
    }
    return ico;
}

TEST(WindowIcon, ThirtyTwoBitImagesTopRowFirstAsArgb) {
    std::vector<uint32_t> icon;
    const std::vector<uint8_t> ico = TwoImages();
    ASSERT_TRUE(DecodeWindowIcon(ico.data(), ico.size(), icon));
    EXPECT_EQ(icon, (std::vector<uint32_t>{2, 2, 0x00232221, 0x40333231, 0x80030201, 0xFF131211}));
}

TEST(WindowIcon, DamagedFilesAreRefusedWithoutReadingBeyondThem) {
    const std::vector<uint8_t> good = TwoImages();
    std::vector<std::vector<uint8_t>> bad;
    bad.push_back({});
    bad.push_back(std::vector<uint8_t>(good.begin(), good.begin() + 20)); // entries cut
    bad.push_back(std::vector<uint8_t>(good.begin(), good.end() - 30));   // pixels cut
    bad.push_back(good);
    bad.back()[2] = 2; // a cursor file
    bad.push_back(good);
    Put32(bad.back(), 6 + 12, 0xFFFFFFF0); // an offset far beyond
    bad.push_back(good);
    Put32(bad.back(), 38 + 8, 1024); // a height beyond the limit
    bad.push_back(good);
    Put32(bad.back(), 38 + 4, 200); // wider than its pixels
    for (size_t i = 0; i < bad.size(); ++i) {
        std::vector<uint32_t> icon = {7};
        EXPECT_FALSE(DecodeWindowIcon(bad[i].data(), bad[i].size(), icon)) << i;
        EXPECT_EQ(icon, std::vector<uint32_t>{7}) << i;
    }
}

} // namespace
