// Resource source over the executable's own resource section.
#include <windows.h>

#include <cstring>

#include "core/resources.h"

namespace {

class ModuleResources final : public ResourceSource {
  public:
    bool Find(const char* typeName, int id, ResourceBytes& out) override {
        LPCSTR type = std::strcmp(typeName, kBitmapResourceType) == 0 ? RT_BITMAP : typeName;
        HRSRC info = FindResourceA(nullptr, MAKEINTRESOURCEA(id), type);
        if (info == nullptr)
            return false;
        HGLOBAL loaded = LoadResource(nullptr, info);
        if (loaded == nullptr)
            return false;
        out.data = static_cast<const uint8_t*>(LockResource(loaded));
        out.size = SizeofResource(nullptr, info);
        return out.data != nullptr;
    }
};

ModuleResources moduleResources;

// Installed during static initialisation so that every later lookup of the
// product sees the executable's resources.
struct InstallModuleResources {
    InstallModuleResources() { SetResourceSource(&moduleResources); }
} installModuleResources;

} // namespace
