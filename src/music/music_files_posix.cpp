// The playlist's file system on POSIX: what a path names, a folder's
// entries, and a module file read whole. The file is opened without waiting
// (a FIFO named like a module would otherwise block the saver until someone
// writes to it) and checked to be a regular file on the descriptor that is
// read, so that what was checked is what is read.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "music/playlist.h"

namespace {

MusicPathKind Kind(const char* path, std::string& why) {
    struct stat info;
    if (stat(path, &info) != 0) {
        why = std::strerror(errno);
        return errno == ENOENT || errno == ENOTDIR ? MusicPathKind::Missing : MusicPathKind::Other;
    }
    if (S_ISDIR(info.st_mode))
        return MusicPathKind::Folder;
    return S_ISREG(info.st_mode) ? MusicPathKind::File : MusicPathKind::Other;
}

bool List(const char* folder, std::vector<std::string>& names, std::string& why) {
    DIR* dir = opendir(folder);
    if (dir == nullptr) {
        why = std::strerror(errno);
        return false;
    }
    errno = 0;
    while (const dirent* entry = readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
            names.emplace_back(entry->d_name);
        errno = 0;
    }
    const int error = errno;
    closedir(dir);
    if (error != 0) {
        why = std::strerror(error);
        return false;
    }
    return true;
}

// Reads the whole file open on fd, at most maxBytes; false with why.
bool ReadAll(int fd, size_t maxBytes, std::vector<uint8_t>& bytes, std::string& why) {
    struct stat info;
    if (fstat(fd, &info) != 0) {
        why = std::strerror(errno);
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        why = "not a regular file";
        return false;
    }
    const size_t limitMiB = maxBytes >> 20;
    const std::string tooLarge = "larger than " + std::to_string(limitMiB) + " MiB";
    if (static_cast<uint64_t>(info.st_size) > maxBytes) {
        why = tooLarge;
        return false;
    }
    // The file may grow or shrink while it is read: the size is a hint, the
    // end of file and the bound decide.
    bytes.resize(static_cast<size_t>(info.st_size) + 1);
    size_t got = 0;
    for (;;) {
        if (got == bytes.size()) {
            if (got > maxBytes) {
                why = tooLarge;
                return false;
            }
            bytes.resize(got + 65536 < maxBytes + 1 ? got + 65536 : maxBytes + 1);
        }
        const ssize_t n = read(fd, bytes.data() + got, bytes.size() - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            why = std::strerror(errno);
            return false;
        }
        if (n == 0)
            break;
        got += static_cast<size_t>(n);
    }
    if (got > maxBytes) {
        why = tooLarge;
        return false;
    }
    bytes.resize(got);
    return true;
}

bool Read(const char* path, size_t maxBytes, std::vector<uint8_t>& bytes, std::string& why) {
    bytes.clear();
    const int fd = open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        why = std::strerror(errno);
        return false;
    }
    const bool ok = ReadAll(fd, maxBytes, bytes, why);
    close(fd);
    if (!ok)
        std::vector<uint8_t>().swap(bytes);
    return ok;
}

const MusicFiles posixFiles = {Kind, List, Read};

} // namespace

const MusicFiles& PlatformMusicFiles() {
    return posixFiles;
}
