#include "common/asset_folder.h"

#include <cctype>
#include <cstring>
#include <dirent.h>

#include "common/file_bytes.h"

std::string AssetFolder::FileStem(const char* typeName, int id) {
    std::string stem;
    for (const char* c = typeName; *c != '\0'; ++c)
        stem += static_cast<char>(std::tolower(static_cast<unsigned char>(*c)));
    return stem + "-" + std::to_string(id);
}

bool AssetFolder::Find(const char* typeName, int id, ResourceBytes& out) {
    const std::string stem = FileStem(typeName, id);
    auto cached = loaded_.find(stem);
    if (cached == loaded_.end()) {
        DIR* dir = opendir(folder_.c_str());
        if (dir == nullptr)
            return false;
        std::string match;
        while (dirent* entry = readdir(dir)) {
            const char* name = entry->d_name;
            if (std::strncmp(name, stem.c_str(), stem.size()) == 0 && name[stem.size()] == '.') {
                match = name;
                break;
            }
        }
        closedir(dir);
        std::vector<uint8_t> bytes;
        if (match.empty() || !common::ReadWholeFile((folder_ + "/" + match).c_str(), bytes))
            return false;
        const bool isBitmap = std::strcmp(typeName, kBitmapResourceType) == 0;
        if (isBitmap) {
            if (bytes.size() < 14 || bytes[0] != 'B' || bytes[1] != 'M')
                return false;
            bytes.erase(bytes.begin(), bytes.begin() + 14);
        }
        cached = loaded_.emplace(stem, std::move(bytes)).first;
    }
    out.data = cached->second.data();
    out.size = cached->second.size();
    return true;
}
