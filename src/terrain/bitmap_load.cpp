// Bitmap loading where the system has no decoder to offer (every platform
// but Windows): the resource bytes through the installed resource source,
// decoded by the portable decoder.
#include "core/resources.h"
#include "terrain/textures.h"

BitmapPixels LoadBitmapPixels(int resourceId) {
    BitmapPixels bitmap;
    ResourceBytes bytes;
    if (FindResourceBytes(kBitmapResourceType, resourceId, bytes))
        DecodeBitmap(bytes.data, bytes.size, bitmap);
    return bitmap;
}
