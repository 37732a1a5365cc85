// Lookup of the program's embedded resources by type name and numeric id.
//
// The lookup asks the one installed source: each program installs its own
// (the Windows executable's resource section, the table linked into the
// native saver, the host tools' asset folder, a test's fake). The bytes stay
// valid and unchanged for the rest of the process.
#pragma once

#include <cstddef>
#include <cstdint>

struct ResourceBytes {
    const uint8_t* data = nullptr;
    size_t size = 0;
};

// Type names of the bitmap resources: the bytes are the DIB as stored in a
// resource (BITMAPINFOHEADER, palette, pixels), without the file header.
inline constexpr const char* kBitmapResourceType = "BITMAP";

// A source of resource bytes. Each platform installs one; tests install fakes.
struct ResourceSource {
    // Returns true and fills out when (typeName, id) exists.
    virtual bool Find(const char* typeName, int id, ResourceBytes& out) = 0;

  protected:
    ~ResourceSource() = default;
};

// Installs the source that FindResourceBytes asks; none makes every lookup fail.
void SetResourceSource(ResourceSource* source);
ResourceSource* GetResourceSource();

// Looks up one resource through the installed source.
bool FindResourceBytes(const char* typeName, int id, ResourceBytes& out);
