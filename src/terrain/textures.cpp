#include "terrain/textures.h"

#include "core/gl.h"

uint32_t textureSlots[kTextureSlotCount] = {};

bool LoadTexture(int resourceId, int slot, bool invert) {
    if (slot < 0 || slot >= kTextureSlotCount)
        return false;
    textureSlots[slot] = 0;
    BitmapPixels bitmap = LoadBitmapPixels(resourceId);
    // The mipmap chain is built for exactly 256 x 256; any other picture
    // leaves the slot untextured rather than reading past its pixels.
    if (bitmap.pixels == nullptr || bitmap.width != kTextureSize || bitmap.height != kTextureSize ||
        bitmap.stride != kTextureSize * 3) {
        FreeBitmapPixels(bitmap);
        return false;
    }
    if (!invert) {
        uint8_t* p = bitmap.pixels;
        for (int i = 0; i < kTextureSize * kTextureSize; ++i, p += 3) {
            const uint8_t blue = p[0];
            p[0] = p[2];
            p[2] = blue;
        }
    }
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
    gluBuild2DMipmaps(GL_TEXTURE_2D, 3, kTextureSize, kTextureSize, GL_RGB, GL_UNSIGNED_BYTE,
                      bitmap.pixels);
    FreeBitmapPixels(bitmap);
    textureSlots[slot] = name;
    return true;
}

bool LoadSceneTextures(bool invert) {
    bool all = true;
    for (int slot = 0; slot < kTextureSlotCount; ++slot)
        all = LoadTexture(kTextureBitmapIds[slot], slot, invert) && all;
    return all;
}
