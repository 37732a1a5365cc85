// Whole files as bytes, for the host tools.
#pragma once

#include <cstdint>
#include <vector>

namespace common {

// Replaces bytes with the whole content of the file at path. False when it
// cannot be opened or read (errno tells why).
bool ReadWholeFile(const char* path, std::vector<uint8_t>& bytes);

// Writes bytes as the whole file at path. False when it cannot be created or
// written; a partly written file is removed.
bool WriteWholeFile(const char* path, const std::vector<uint8_t>& bytes);

} // namespace common
