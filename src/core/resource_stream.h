// Read-only stream over one embedded resource, and the music's file table.
//
// The mesh loader reads its resource through ResourceStream directly; the music
// loader reads through MusicFileOps, a table of five operations installed by
// the music start, so that the loader only knows a MusicFile handle.
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

struct MusicFileOps {
    ResourceStream* (*open)(int id) = nullptr;
    void (*close)(ResourceStream* stream) = nullptr;
    void (*read)(void* destination, int32_t count, ResourceStream* stream) = nullptr;
    void (*seek)(ResourceStream* stream, int32_t offset, int32_t origin) = nullptr;
    int32_t (*tell)(ResourceStream* stream) = nullptr;
};

// The music's handle on an open file; owns its stream.
struct MusicFile {
    ResourceStream* stream = nullptr;
};

// Stores the five operations when all are given; clears all five otherwise.
void SetMusicFileOps(ResourceStream* (*open)(int id), void (*close)(ResourceStream*),
                     void (*read)(void*, int32_t, ResourceStream*),
                     void (*seek)(ResourceStream*, int32_t, int32_t),
                     int32_t (*tell)(ResourceStream*));
// True when the table holds all five operations.
bool MusicFileOpsComplete();
// Opens the VOXARESOURCE with that id through ResourceStream: the operation
// the music start installs as the table's open.
ResourceStream* OpenMusicResource(int id);

MusicFile* OpenMusicFile(int id);
void CloseMusicFile(MusicFile* file);
void MusicRead(void* destination, int32_t count, MusicFile* file);
void MusicSeek(MusicFile* file, int32_t offset, int32_t origin);
int32_t MusicTell(MusicFile* file);
