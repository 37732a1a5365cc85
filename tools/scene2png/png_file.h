// PNG output of scene2png, through libpng.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Writes width x height 8-bit RGB pixels (rows from the top, 3 bytes per
// pixel) to path as a PNG file. Returns false, with no file left behind,
// when it cannot be written.
bool WritePng(const std::string& path, int width, int height, const std::vector<uint8_t>& rgb);
