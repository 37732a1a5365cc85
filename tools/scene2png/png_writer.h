// Minimal PNG writer: 8-bit RGB, no external library.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Writes width x height RGB pixels (rows from the top, 3 bytes per pixel) to
// path. Returns false when the file cannot be written.
bool WritePng(const std::string& path, int width, int height, const std::vector<uint8_t>& rgb);

// The PNG file's bytes for the same pixels.
std::vector<uint8_t> EncodePng(int width, int height, const std::vector<uint8_t>& rgb);
