// The nine textures of the scene, made from 256 x 256 bitmap resources.
//
// Slots: 0 sky, 1 head, 2 floor "Seco", 3 body, 4 and 5 the sun's layers, 6
// the body in dark clothing, 7 sword, 8 floor "Lava". A mesh's material and
// the nSuelo setting are slot numbers.
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr int kTextureSlotCount = 9;
// Bitmap resource of each slot, in slot (and load) order.
inline constexpr int kTextureBitmapIds[kTextureSlotCount] = {109, 122, 114, 111, 108,
                                                             121, 120, 115, 117};
// Every texture bitmap is this wide and high.
inline constexpr int kTextureSize = 256;

// OpenGL texture names; 0 for a slot whose bitmap could not be loaded.
extern uint32_t textureSlots[kTextureSlotCount];

// 24-bit pixels as GetDIBits gives them: blue, green, red per pixel, the
// bottom row first, each row padded to a multiple of four bytes.
struct BitmapPixels {
    int32_t width = 0;
    int32_t height = 0;
    int32_t stride = 0; // bytes per row
    uint8_t* pixels = nullptr;
};

// Reads one bitmap resource of the program as 24-bit pixels; none (null
// pixels) when it is missing or unreadable. Free with FreeBitmapPixels.
BitmapPixels LoadBitmapPixels(int resourceId);
void FreeBitmapPixels(BitmapPixels& bitmap);

// Decodes the bytes of a bitmap resource (a BITMAPINFOHEADER or a larger
// header, the palette, the pixels; no file header) into 24-bit pixels: the
// host's stand-in for LoadImageA and GetDIBits. Uncompressed 1, 4, 8, 24 and
// 32 bits per pixel, bottom-up or top-down; anything else, or bytes too short
// for what the header announces, gives false and nothing allocated. A palette
// index beyond the palette is black.
bool DecodeBitmap(const uint8_t* bytes, size_t size, BitmapPixels& out);

// Turns bitmap resourceId into a mipmapped texture (linear filtering, repeat,
// modulate) and stores its name in textureSlots[slot]. With invert off, blue
// and red are exchanged so the texture shows the picture's colours; with it on
// the bytes go to OpenGL as they are, so red and blue come out exchanged.
// Returns false, leaving the slot 0, when the slot is outside the table or the
// bitmap is missing, unreadable or not 256 x 256. Needs a current context.
bool LoadTexture(int resourceId, int slot, bool invert);
// LoadTexture for all nine slots in order; true when every slot loaded.
bool LoadSceneTextures(bool invert);
