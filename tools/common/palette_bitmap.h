// 8-bit paletted pictures: reducing 24-bit colours to a palette of 256, and
// the Windows bitmap file that holds the result.
#pragma once

#include <cstdint>
#include <vector>

namespace common {

// How the palette is chosen. Both cut the colour cube into boxes (median
// cut) and take each box's mean as an entry; both are deterministic.
enum class PaletteMethod {
    // Boxes over the distinct colours, weighted by their pixels: the box with
    // the widest channel range is cut at its weighted median. Each pixel then
    // takes the nearest entry in plain RGB distance.
    MedianCut,
    // Boxes over every pixel: the box whose widest range times the square
    // root of its pixels is largest is cut at its middle pixel. The entries
    // are then refined by three rounds of k-means under a distance weighted
    // toward green, as the eye is: smoother large gradients.
    RefinedMedianCut,
};

// A picture of palette indices.
struct PalettePicture {
    std::vector<uint32_t> palette; // 256 entries, 0xRRGGBB; unused ones black
    std::vector<uint8_t> indices;  // one per pixel, in the order of the pixels given
};

// Reduces pixels (0xRRGGBB) to 256 colours. With reserveBlack, entry 0 is
// exactly black and only pure black pixels use it, so that additive layers
// add nothing there.
PalettePicture ReducePalette(const std::vector<uint32_t>& pixels, PaletteMethod method,
                             bool reserveBlack);

// The bytes of an 8-bit bitmap file (BITMAPINFOHEADER, BI_RGB, 256 palette
// entries, rows padded to four bytes) of width x height pixels; indices hold
// the rows bottom row first, as the file stores them.
std::vector<uint8_t> PaletteBitmapFile(int width, int height, const PalettePicture& picture);

} // namespace common
