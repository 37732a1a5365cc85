// Resource source over a folder of generated assets: how the host tools and
// tests that draw the scene find the assets.
//
// Files are named "<type in lower case>-<id>.<any extension>", for example
// "qtnresource-107.bin", "voxaresource-123.xm" or "bitmap-108.bmp". Bitmap
// files carry a 14-byte file header that Windows strips from its resources, so
// the source strips it too and both platforms see the same bytes.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "core/resources.h"

class AssetFolder final : public ResourceSource {
  public:
    explicit AssetFolder(std::string folder) : folder_(std::move(folder)) {}
    bool Find(const char* typeName, int id, ResourceBytes& out) override;

    // File name a resource is stored under, without the folder.
    static std::string FileStem(const char* typeName, int id);

  private:
    std::string folder_;
    std::map<std::string, std::vector<uint8_t>> loaded_;
};
