// Resource source over a table of resources linked into the program itself.
//
// The native saver carries every asset the Windows executable carries as a
// resource; a build step writes the table from the same resource script and
// the same generated files (bitmaps without their 14-byte file header, as
// Windows stores them), so both platforms look up the same bytes by the same
// (type, id).
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/resources.h"

struct EmbeddedResource {
    const char* typeName; // as in the resource script, e.g. "QTNRESOURCE"
    int id;
    const uint8_t* begin;
    const uint8_t* end;
};

class EmbeddedResources final : public ResourceSource {
  public:
    EmbeddedResources(const EmbeddedResource* table, size_t count) : table_(table), count_(count) {}
    // Type names match without regard to case, as Windows resource types do.
    bool Find(const char* typeName, int id, ResourceBytes& out) override;

  private:
    const EmbeddedResource* table_;
    size_t count_;
};

// The program's own table, written at build time (embedded_assets.cpp).
extern const EmbeddedResource kEmbeddedResources[];
extern const size_t kEmbeddedResourceCount;
