// The music's file table: five operations over a ResourceStream, installed by
// the music start, so that the XM loader only knows a MusicFile handle.
#pragma once

#include <cstdint>

#include "core/resource_stream.h"

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
