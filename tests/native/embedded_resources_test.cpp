#include <gtest/gtest.h>

#include <cstring>
#include <iterator>

#include "common/asset_folder.h"
#include "core/embedded_resources.h"

namespace {

// The native program carries every resource the Windows executable does, byte
// for byte as Windows hands them out (bitmaps without their file header).
TEST(EmbeddedResources, HoldEveryAssetOfTheWindowsExecutable) {
    struct Wanted {
        const char* type;
        int id;
    };
    const Wanted wanted[] = {
        {"VOXARESOURCE", 123}, {"QTNRESOURCE", 106}, {"QTNRESOURCE", 107}, {"ICON", 101},
        {"BITMAP", 108},       {"BITMAP", 109},      {"BITMAP", 110},      {"BITMAP", 111},
        {"BITMAP", 112},       {"BITMAP", 113},      {"BITMAP", 114},      {"BITMAP", 115},
        {"BITMAP", 116},       {"BITMAP", 117},      {"BITMAP", 119},      {"BITMAP", 120},
        {"BITMAP", 121},       {"BITMAP", 122},      {"BITMAP", 127},
    };
    EXPECT_EQ(kEmbeddedResourceCount, std::size(wanted));
    EmbeddedResources embedded(kEmbeddedResources, kEmbeddedResourceCount);
    AssetFolder folder(TAZRO_TEST_ASSET_DIR);
    for (const Wanted& w : wanted) {
        ResourceBytes linked, generated;
        ASSERT_TRUE(embedded.Find(w.type, w.id, linked)) << w.type << " " << w.id;
        ASSERT_TRUE(folder.Find(w.type, w.id, generated)) << w.type << " " << w.id;
        ASSERT_EQ(linked.size, generated.size) << w.type << " " << w.id;
        EXPECT_EQ(std::memcmp(linked.data, generated.data, linked.size), 0)
            << w.type << " " << w.id;
    }
}

TEST(EmbeddedResources, FindMatchesTheTypeWithoutCaseAndTheIdExactly) {
    static const uint8_t heightmap[] = {1, 2, 3};
    static const uint8_t bitmap[] = {4, 5};
    const EmbeddedResource table[] = {
        {"QTNRESOURCE", 106, heightmap, heightmap + 3},
        {"BITMAP", 106, bitmap, bitmap + 2},
    };
    EmbeddedResources resources(table, std::size(table));
    ResourceBytes found;
    ASSERT_TRUE(resources.Find("qtnResource", 106, found));
    EXPECT_EQ(found.data, heightmap);
    EXPECT_EQ(found.size, 3u);
    ASSERT_TRUE(resources.Find("BITMAP", 106, found));
    EXPECT_EQ(found.data, bitmap);
    for (const auto& [type, id] : {std::pair<const char*, int>{"QTNRESOURCE", 107},
                                   {"QTNRESOURC", 106},
                                   {"QTNRESOURCES", 106},
                                   {"", 106}})
        EXPECT_FALSE(resources.Find(type, id, found)) << type << " " << id;
}

} // namespace
