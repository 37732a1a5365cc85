// The program's icon (resource 101, a Windows .ico file) as a window icon for
// the X window of the native saver: the list of 32-bit images that the
// _NET_WM_ICON property holds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Appends, for every 32-bit image of the .ico bytes, its width, its height
// and its pixels as 0xAARRGGBB, row by row from the top. Images of other
// depths are left out. False, with icon unchanged, when the bytes are no
// .ico file or an image lies outside them.
bool DecodeWindowIcon(const uint8_t* data, size_t size, std::vector<uint32_t>& icon);
