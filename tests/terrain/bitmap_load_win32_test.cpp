// On Windows: the system's bitmap loading (LoadImageA and GetDIBits) and the
// portable decoder give the same pixels for every texture bitmap embedded in
// this test program.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>

#include "terrain/textures.h"

namespace {

TEST(TexturesWin32, SystemAndPortableDecodingAgree) {
    for (int id : kTextureBitmapIds) {
        HRSRC info = FindResourceA(nullptr, MAKEINTRESOURCEA(id), RT_BITMAP);
        ASSERT_NE(info, nullptr) << id;
        const uint8_t* bytes =
            static_cast<const uint8_t*>(LockResource(LoadResource(nullptr, info)));
        const DWORD size = SizeofResource(nullptr, info);
        EXPECT_EQ(size, 66600u) << id;

        BitmapPixels system = LoadBitmapPixels(id);
        BitmapPixels portable;
        ASSERT_NE(system.pixels, nullptr) << id;
        ASSERT_TRUE(DecodeBitmap(bytes, size, portable)) << id;
        EXPECT_EQ(system.width, 256);
        EXPECT_EQ(system.height, 256);
        EXPECT_EQ(system.stride, portable.stride);
        EXPECT_EQ(std::memcmp(system.pixels, portable.pixels, 256 * 256 * 3), 0) << id;
        FreeBitmapPixels(system);
        FreeBitmapPixels(portable);
    }
    BitmapPixels missing = LoadBitmapPixels(4321);
    EXPECT_EQ(missing.pixels, nullptr);
}

} // namespace
