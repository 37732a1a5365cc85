// Read-only stream over one embedded resource.
//
// The mesh loader reads its resource through ResourceStream directly; the music
// loader reads it through the music's file table (music/music_file.h).
#pragma once

#include <cstdint>

struct ResourceStream {
    int32_t size = 0;              // bytes in the resource
    int32_t position = 0;          // offset of the next read, 0..size
    const uint8_t* data = nullptr; // locked resource bytes, never written or freed
};

// Opens a stream over resource (typeName, id). A missing resource gives an
// empty stream (no data, size 0) rather than none, so every read copies
// nothing; none only when the record cannot be allocated.
ResourceStream* OpenResourceStream(int id, const char* typeName);
// Copies up to count bytes to destination and advances; a read that reaches
// the end is cut to what remains and leaves the rest of destination unchanged.
void ReadResourceStream(void* destination, int32_t count, ResourceStream* stream);
// origin 0: from the start, 1: from the position, 2: from the end; any other
// origin moves nothing. The result is clamped to 0..size.
void SeekResourceStream(ResourceStream* stream, int32_t offset, int32_t origin);
int32_t TellResourceStream(ResourceStream* stream);
void CloseResourceStream(ResourceStream* stream);
