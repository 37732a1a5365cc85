// scene2png's pictures read back through libpng's decoder: the same pixels,
// rows from the top, for odd widths too; a path that cannot be written is
// refused and leaves nothing.
#include <gtest/gtest.h>

#include <png.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

#include "png_file.h"

namespace {

std::string ScratchPath(const char* name) {
    return testing::TempDir() + "tazro-" + std::to_string(getpid()) + "-" + name;
}

// The RGB pixels of a PNG file, empty when it does not decode.
std::vector<uint8_t> Decode(const std::string& path, int& width, int& height) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    std::vector<uint8_t> pixels;
    if (png_image_begin_read_from_file(&image, path.c_str()) != 0) {
        image.format = PNG_FORMAT_RGB;
        pixels.resize(PNG_IMAGE_SIZE(image));
        if (png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr) == 0)
            pixels.clear();
    }
    width = static_cast<int>(image.width);
    height = static_cast<int>(image.height);
    png_image_free(&image);
    return pixels;
}

TEST(PngFile, WrittenPicturesDecodeToTheSamePixels) {
    const struct { int width, height; } sizes[] = {{1, 1}, {5, 3}, {64, 48}};
    for (const auto& size : sizes) {
        // Every byte different from its neighbours: a swapped channel, a
        // flipped row or a wrong row length shows.
        std::vector<uint8_t> rgb(static_cast<size_t>(size.width) * size.height * 3);
        for (size_t i = 0; i < rgb.size(); ++i)
            rgb[i] = static_cast<uint8_t>(i * 37 + i / 255);
        const std::string path = ScratchPath("picture.png");
        ASSERT_TRUE(WritePng(path, size.width, size.height, rgb));
        int width = 0, height = 0;
        EXPECT_EQ(Decode(path, width, height), rgb) << size.width << " x " << size.height;
        EXPECT_EQ(width, size.width);
        EXPECT_EQ(height, size.height);
        std::remove(path.c_str());
    }
}

TEST(PngFile, RefusesAPathItCannotWrite) {
    const std::string path = ScratchPath("no-such-folder/picture.png");
    EXPECT_FALSE(WritePng(path, 2, 2, std::vector<uint8_t>(12, 200)));
    EXPECT_EQ(std::fopen(path.c_str(), "rb"), nullptr);
}

} // namespace
