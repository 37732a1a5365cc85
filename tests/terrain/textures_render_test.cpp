// Turning bitmaps into textures: colours, the invtex exchange, row order,
// the mipmap chain, refusals, and the nine generated bitmaps.
#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "bitmap_data.h"
#include "character/offscreen.h"
#include "character/test_resources.h"
#include "common/asset_folder.h"
#include "terrain/textures.h"

namespace {

using bitmap_data::Paletted;
using testing_resources::MemoryResources;

// A 256 x 256 bitmap: index 11 on the bottom row, 12 on the top row, 0
// elsewhere; palette 11 = (30, 20, 10), 12 = (200, 100, 50).
std::vector<uint8_t> Marked() {
    std::vector<uint8_t> bytes =
        Paletted(256, 256, [](int, int row) { return row == 0 ? 11u : (row == 255 ? 12u : 0u); });
    bitmap_data::SetPalette(bytes, 11, 30, 20, 10);
    bitmap_data::SetPalette(bytes, 12, 200, 100, 50);
    return bytes;
}

std::vector<uint8_t> TextureImage(uint32_t name) {
    std::vector<uint8_t> texels(256 * 256 * 3);
    glBindTexture(GL_TEXTURE_2D, name);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, texels.data());
    return texels;
}

TEST(LoadTexture, ColoursRowsAndTheRedBlueExchange) {
    Offscreen context(8, 8);
    MemoryResources resources;
    resources.Put(kBitmapResourceType, 500, Marked());

    ASSERT_TRUE(LoadTexture(500, 4, false));
    ASSERT_NE(textureSlots[4], 0u);
    std::vector<uint8_t> texels = TextureImage(textureSlots[4]);
    // Row 0 of the texture (t = 0) is the bitmap's bottom row.
    EXPECT_EQ(texels[0], 30);
    EXPECT_EQ(texels[1], 20);
    EXPECT_EQ(texels[2], 10);
    const size_t topRow = 255 * 256 * 3;
    EXPECT_EQ(texels[topRow], 200);
    EXPECT_EQ(texels[topRow + 2], 50);

    ASSERT_TRUE(LoadTexture(500, 5, true));
    texels = TextureImage(textureSlots[5]);
    EXPECT_EQ(texels[0], 10);
    EXPECT_EQ(texels[1], 20);
    EXPECT_EQ(texels[2], 30);
    EXPECT_NE(textureSlots[4], textureSlots[5]);
}

TEST(LoadTexture, BuildsTheMipmapChainWithLinearFilters) {
    Offscreen context(8, 8);
    MemoryResources resources;
    resources.Put(kBitmapResourceType, 500, Marked());
    ASSERT_TRUE(LoadTexture(500, 0, false));
    glBindTexture(GL_TEXTURE_2D, textureSlots[0]);
    GLint value = 0;
    for (int level = 0; level <= 8; ++level) {
        glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_WIDTH, &value);
        EXPECT_EQ(value, 256 >> level) << level;
    }
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &value);
    EXPECT_EQ(value, GL_LINEAR_MIPMAP_LINEAR);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &value);
    EXPECT_EQ(value, GL_LINEAR);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &value);
    EXPECT_EQ(value, GL_REPEAT);
}

TEST(LoadTexture, LeavesTheSlotEmptyWhenTheBitmapCannotBeUsed) {
    Offscreen context(8, 8);
    MemoryResources resources;
    resources.Put(kBitmapResourceType, 500, Marked());
    resources.Put(kBitmapResourceType, 501, Paletted(128, 128, [](int, int) { return 1u; }));
    std::vector<uint8_t> damaged = Marked();
    damaged.resize(damaged.size() - 100);
    resources.Put(kBitmapResourceType, 502, damaged);

    textureSlots[2] = 77;
    EXPECT_FALSE(LoadTexture(499, 2, false)); // missing
    EXPECT_EQ(textureSlots[2], 0u);
    EXPECT_FALSE(LoadTexture(501, 2, false)); // not 256 x 256
    EXPECT_EQ(textureSlots[2], 0u);
    EXPECT_FALSE(LoadTexture(502, 2, false)); // short
    EXPECT_EQ(textureSlots[2], 0u);
    EXPECT_FALSE(LoadTexture(500, 9, false));
    EXPECT_FALSE(LoadTexture(500, -1, false));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// The generated texture bitmaps, read as the host reads resources.
class GeneratedBitmaps : public ::testing::Test {
  protected:
    GeneratedBitmaps() : assets_(TAZRO_TEST_ASSET_DIR), previous_(GetResourceSource()) {
        SetResourceSource(&assets_);
    }
    ~GeneratedBitmaps() override { SetResourceSource(previous_); }
    AssetFolder assets_;
    ResourceSource* previous_;
};

TEST_F(GeneratedBitmaps, AreTwoHundredFiftySixSquareEightBitPaletted) {
    for (int id : kTextureBitmapIds) {
        ResourceBytes bytes;
        ASSERT_TRUE(FindResourceBytes(kBitmapResourceType, id, bytes)) << id;
        EXPECT_EQ(bytes.size, 66600u) << id;
        auto word = [&](size_t at) {
            return bytes.data[at] | bytes.data[at + 1] << 8 | bytes.data[at + 2] << 16 |
                   bytes.data[at + 3] << 24;
        };
        EXPECT_EQ(word(0), 40) << id;
        EXPECT_EQ(word(4), 256) << id;
        EXPECT_EQ(word(8), 256) << id;
        EXPECT_EQ(bytes.data[12], 1) << id;
        EXPECT_EQ(bytes.data[14], 8) << id;
        EXPECT_EQ(word(16), 0) << id;
        EXPECT_EQ(word(20), 65536) << id;
        BitmapPixels pixels = LoadBitmapPixels(id);
        ASSERT_NE(pixels.pixels, nullptr) << id;
        // A picture, not a flat colour.
        std::set<int> colours;
        for (int i = 0; i < 256 * 256; i += 97)
            colours.insert(pixels.pixels[3 * i] | pixels.pixels[3 * i + 1] << 8 |
                           pixels.pixels[3 * i + 2] << 16);
        EXPECT_GT(colours.size(), 40u) << id;
        FreeBitmapPixels(pixels);
    }
}

TEST_F(GeneratedBitmaps, SunLayersAreBlackAtTheirBorders) {
    // The sun's layers are added to the sky: their borders must add nothing.
    for (int id : {108, 121}) {
        BitmapPixels pixels = LoadBitmapPixels(id);
        ASSERT_NE(pixels.pixels, nullptr);
        for (int i = 0; i < 256; ++i)
            for (int at : {i * 3, (255 * 256 + i) * 3, (i * 256) * 3, (i * 256 + 255) * 3})
                ASSERT_EQ(pixels.pixels[at] + pixels.pixels[at + 1] + pixels.pixels[at + 2], 0)
                    << id;
        // Bright in the middle.
        const uint8_t* middle = pixels.pixels + (128 * 256 + 128) * 3;
        EXPECT_GT(middle[0] + middle[1] + middle[2], 60) << id;
        FreeBitmapPixels(pixels);
    }
}

TEST_F(GeneratedBitmaps, FloorsTileWithoutASeam) {
    // The floors repeat across the terrain: opposite edges continue each other.
    for (int id : {114, 117}) {
        BitmapPixels pixels = LoadBitmapPixels(id);
        ASSERT_NE(pixels.pixels, nullptr);
        // The step across each wrapped edge must look like a step between
        // neighbours, not like the jump between distant parts of the picture
        // that an edge which does not continue would show.
        auto at = [&](int x, int y, int c) {
            return static_cast<int>(pixels.pixels[((y & 255) * 256 + (x & 255)) * 3 + c]);
        };
        auto columns = [&](int x0, int x1) {
            long sum = 0;
            for (int i = 0; i < 256; ++i)
                for (int c = 0; c < 3; ++c)
                    sum += std::abs(at(x1, i, c) - at(x0, i, c)) +
                           std::abs(at(i, x1, c) - at(i, x0, c));
            return sum;
        };
        long near = 0, far = 0;
        for (int x = 0; x < 255; ++x)
            near += columns(x, x + 1);
        for (int x = 0; x < 256; x += 16)
            far += columns(x, x + 64);
        near /= 255;
        far /= 16;
        EXPECT_LT(columns(255, 0), (near + far) / 2) << id;
        FreeBitmapPixels(pixels);
    }
}

TEST_F(GeneratedBitmaps, AllNineLoadIntoDistinctSlots) {
    Offscreen context(8, 8);
    ASSERT_TRUE(LoadSceneTextures(false));
    std::set<uint32_t> names(textureSlots, textureSlots + kTextureSlotCount);
    EXPECT_EQ(names.size(), 9u);
    EXPECT_EQ(names.count(0u), 0u);
}

} // namespace
