#include "core/resources.h"

namespace {
ResourceSource* installedSource = nullptr;
}

void SetResourceSource(ResourceSource* source) {
    installedSource = source;
}

ResourceSource* GetResourceSource() {
    return installedSource;
}

bool FindResourceBytes(const char* typeName, int id, ResourceBytes& out) {
    out = ResourceBytes{};
    if (installedSource == nullptr || typeName == nullptr)
        return false;
    return installedSource->Find(typeName, id, out);
}
