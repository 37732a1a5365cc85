#include "core/resource_stream.h"

#include <cstring>
#include <new>

#include "core/resources.h"

ResourceStream* OpenResourceStream(int id, const char* typeName) {
    ResourceStream* stream = new (std::nothrow) ResourceStream{};
    if (stream == nullptr)
        return nullptr;
    ResourceBytes bytes;
    // Resources are far below 2 GiB; a larger one is treated as missing rather
    // than truncated to a wrong size.
    if (FindResourceBytes(typeName, id, bytes) && bytes.size <= INT32_MAX) {
        stream->data = bytes.data;
        stream->size = static_cast<int32_t>(bytes.size);
    }
    return stream;
}

void ReadResourceStream(void* destination, int32_t count, ResourceStream* stream) {
    if (stream == nullptr || count <= 0)
        return;
    const int32_t remaining = stream->size - stream->position;
    if (count >= remaining)
        count = remaining;
    if (count <= 0 || stream->data == nullptr)
        return;
    std::memcpy(destination, stream->data + stream->position, static_cast<size_t>(count));
    stream->position += count;
}

void SeekResourceStream(ResourceStream* stream, int32_t offset, int32_t origin) {
    if (stream == nullptr)
        return;
    // 64-bit arithmetic: an offset near the 32-bit limits must not overflow.
    int64_t position = stream->position;
    switch (origin) {
    case 0:
        position = offset;
        break;
    case 1:
        position += offset;
        break;
    case 2:
        position = static_cast<int64_t>(stream->size) + offset;
        break;
    default:
        break;
    }
    // A position before the data would make the next read copy from outside
    // the resource, so seeks are clamped at both ends.
    if (position < 0)
        position = 0;
    if (position > stream->size)
        position = stream->size;
    stream->position = static_cast<int32_t>(position);
}

int32_t TellResourceStream(ResourceStream* stream) {
    return stream != nullptr ? stream->position : 0;
}

void CloseResourceStream(ResourceStream* stream) {
    delete stream;
}
