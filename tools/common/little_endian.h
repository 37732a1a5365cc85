// Little-endian fields appended to a byte vector, as the file formats the
// tools write (bitmaps, icons, XM modules, the mesh resource) store them.
#pragma once

#include <cstdint>
#include <vector>

namespace common {

inline void PutLe16(std::vector<uint8_t>& out, uint32_t value) {
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

inline void PutLe32(std::vector<uint8_t>& out, uint32_t value) {
    PutLe16(out, value);
    PutLe16(out, value >> 16);
}

} // namespace common
