#include "music/music_file.h"

#include <new>

namespace {
MusicFileOps musicFileOps;
}

void SetMusicFileOps(ResourceStream* (*open)(int), void (*close)(ResourceStream*),
                     void (*read)(void*, int32_t, ResourceStream*),
                     void (*seek)(ResourceStream*, int32_t, int32_t),
                     int32_t (*tell)(ResourceStream*)) {
    if (open && close && read && seek && tell)
        musicFileOps = MusicFileOps{open, close, read, seek, tell};
    else
        musicFileOps = MusicFileOps{};
}

bool MusicFileOpsComplete() {
    return musicFileOps.open != nullptr;
}

ResourceStream* OpenMusicResource(int id) {
    return OpenResourceStream(id, "VOXARESOURCE");
}

MusicFile* OpenMusicFile(int id) {
    if (!MusicFileOpsComplete())
        return nullptr;
    MusicFile* file = new (std::nothrow) MusicFile{};
    if (file == nullptr)
        return nullptr;
    file->stream = musicFileOps.open(id);
    if (file->stream == nullptr) {
        delete file;
        return nullptr;
    }
    return file;
}

void CloseMusicFile(MusicFile* file) {
    if (file == nullptr)
        return;
    if (musicFileOps.close != nullptr)
        musicFileOps.close(file->stream);
    delete file;
}

void MusicRead(void* destination, int32_t count, MusicFile* file) {
    if (file != nullptr && musicFileOps.read != nullptr)
        musicFileOps.read(destination, count, file->stream);
}

void MusicSeek(MusicFile* file, int32_t offset, int32_t origin) {
    if (file != nullptr && musicFileOps.seek != nullptr)
        musicFileOps.seek(file->stream, offset, origin);
}

int32_t MusicTell(MusicFile* file) {
    if (file == nullptr || musicFileOps.tell == nullptr)
        return 0;
    return musicFileOps.tell(file->stream);
}
