// Any bytes as a bitmap resource: decoded into 24-bit pixels or refused,
// never read past their end.
#include <cstddef>
#include <cstdint>

#include "terrain/textures.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    BitmapPixels pixels;
    if (DecodeBitmap(data, size, pixels)) {
        volatile uint8_t sink = 0;
        const size_t bytes =
            static_cast<size_t>(pixels.stride) * static_cast<size_t>(pixels.height);
        for (size_t i = 0; i < bytes; i += 61)
            sink = sink ^ pixels.pixels[i];
        FreeBitmapPixels(pixels);
    }
    return 0;
}
