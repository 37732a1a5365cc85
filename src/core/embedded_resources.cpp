#include "core/embedded_resources.h"

namespace {

bool SameTypeName(const char* a, const char* b) {
    for (;; ++a, ++b) {
        const char ca = (*a >= 'a' && *a <= 'z') ? static_cast<char>(*a - 'a' + 'A') : *a;
        const char cb = (*b >= 'a' && *b <= 'z') ? static_cast<char>(*b - 'a' + 'A') : *b;
        if (ca != cb)
            return false;
        if (ca == '\0')
            return true;
    }
}

} // namespace

bool EmbeddedResources::Find(const char* typeName, int id, ResourceBytes& out) {
    for (size_t i = 0; i < count_; ++i) {
        const EmbeddedResource& entry = table_[i];
        if (entry.id == id && SameTypeName(entry.typeName, typeName)) {
            out.data = entry.begin;
            out.size = static_cast<size_t>(entry.end - entry.begin);
            return true;
        }
    }
    return false;
}
