// The credit pictures as the host build generated them, read the way the
// resource compiler embeds them (without the file header).
#include <gtest/gtest.h>

#include <cstdint>
#include <set>

#include "common/asset_folder.h"

namespace {

uint32_t Get32(const uint8_t* p) {
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}

uint16_t Get16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

TEST(CreditBitmaps, EightBitPalettedAtTheirSizesAndNotBlank) {
    AssetFolder assets(TAZRO_TEST_ASSET_DIR);
    const struct {
        int id;
        int width, height;
    } pictures[] = {{110, 100, 41}, {112, 100, 54}, {113, 170, 25},
                    {116, 100, 54}, {119, 54, 14},  {127, 100, 41}};
    for (const auto& picture : pictures) {
        SCOPED_TRACE(picture.id);
        ResourceBytes bytes;
        ASSERT_TRUE(assets.Find(kBitmapResourceType, picture.id, bytes));
        ASSERT_GE(bytes.size, 40u + 1024u);
        const uint8_t* header = bytes.data;
        EXPECT_EQ(Get32(header), 40u);
        EXPECT_EQ(static_cast<int32_t>(Get32(header + 4)), picture.width);
        EXPECT_EQ(static_cast<int32_t>(Get32(header + 8)), picture.height); // bottom-up
        EXPECT_EQ(Get16(header + 12), 1);
        EXPECT_EQ(Get16(header + 14), 8);
        EXPECT_EQ(Get32(header + 16), 0u); // BI_RGB
        const uint32_t colours = Get32(header + 32);
        EXPECT_TRUE(colours == 0 || colours == 256);

        const size_t stride = (static_cast<size_t>(picture.width) + 3) & ~size_t{3};
        ASSERT_EQ(bytes.size, 40 + 1024 + stride * picture.height);
        const uint8_t* palette = header + 40;
        const uint8_t* pixels = palette + 1024;
        std::set<uint8_t> used;
        int darkest = 255 * 3, brightest = 0;
        for (int row = 0; row < picture.height; ++row) {
            for (int x = 0; x < picture.width; ++x) {
                const uint8_t index = pixels[row * stride + x];
                used.insert(index);
                const uint8_t* c = palette + 4 * index;
                darkest = std::min(darkest, c[0] + c[1] + c[2]);
                brightest = std::max(brightest, c[0] + c[1] + c[2]);
            }
        }
        // A picture, not a flat fill: many colours and real contrast.
        EXPECT_GE(used.size(), 16u);
        EXPECT_GE(brightest - darkest, 300);
    }
}

} // namespace
