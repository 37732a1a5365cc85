#include "common/file_bytes.h"

#include <cstdio>

namespace common {

bool ReadWholeFile(const char* path, std::vector<uint8_t>& bytes) {
    bytes.clear();
    FILE* file = std::fopen(path, "rb");
    if (file == nullptr)
        return false;
    // A file of known size is read into room made once; a pipe, by pieces.
    if (std::fseek(file, 0, SEEK_END) == 0) {
        const long size = std::ftell(file);
        if (size > 0)
            bytes.reserve(static_cast<size_t>(size));
        std::rewind(file);
    }
    uint8_t buffer[65536];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        bytes.insert(bytes.end(), buffer, buffer + got);
    const bool ok = !std::ferror(file);
    std::fclose(file);
    return ok;
}

bool WriteWholeFile(const char* path, const std::vector<uint8_t>& bytes) {
    FILE* file = std::fopen(path, "wb");
    if (file == nullptr)
        return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    if (std::fclose(file) != 0 || !written) {
        std::remove(path);
        return false;
    }
    return true;
}

} // namespace common
