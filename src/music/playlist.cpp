#include "music/playlist.h"

#include <algorithm>
#include <utility>

namespace {

// splitmix64: a small generator whose sequence is the same on every
// platform, so that a seed gives the same shuffles everywhere.
uint64_t NextRandom(uint64_t& state) {
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

void Shuffle(Playlist& list) {
    for (size_t i = list.paths.size(); i > 1; --i)
        std::swap(list.paths[i - 1], list.paths[NextRandom(list.random) % i]);
}

// A path as it goes into a line: quoted, with control characters (a newline
// in a file name would split the line) shown as '?'.
std::string Quoted(const std::string& path) {
    std::string out = "'";
    for (const char c : path)
        out += static_cast<unsigned char>(c) < 0x20 || c == 0x7f ? '?' : c;
    return out + "'";
}

void Say(const Playlist& list, const std::string& line) {
    if (list.report != nullptr)
        list.report(line.c_str());
}

bool IsModuleName(const std::string& name) {
    if (name.size() < 4 || name[0] == '.')
        return false;
    std::string suffix = name.substr(name.size() - 3);
    for (char& c : suffix)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return suffix == ".xm";
}

// Looks at the source: the file itself, or the folder's modules in a first
// round's order; with none, why.
void ListModules(Playlist& list) {
    list.listed = true;
    list.paths.clear();
    list.next = 0;
    std::string why;
    switch (list.files->kind(list.source.c_str(), why)) {
    case MusicPathKind::File:
        list.paths.push_back(list.source);
        break;
    case MusicPathKind::Folder: {
        list.folder = true;
        std::vector<std::string> names;
        if (!list.files->list(list.source.c_str(), names, why)) {
            list.emptyWhy = Quoted(list.source) + ": " + why;
            break;
        }
        // In name order first, so that a seed gives one order whatever
        // order the system lists them in.
        std::sort(names.begin(), names.end());
        const bool slash = list.source.back() == '/';
        for (const std::string& name : names)
            if (IsModuleName(name))
                list.paths.push_back(list.source + (slash ? "" : "/") + name);
        Shuffle(list);
        list.emptyWhy = "no .xm module in " + Quoted(list.source);
        break;
    }
    case MusicPathKind::Missing:
        list.emptyWhy = Quoted(list.source) + ": " + why;
        break;
    case MusicPathKind::Other:
        list.emptyWhy = Quoted(list.source) + " is neither a file nor a folder";
        break;
    }
}

// The index of the module to try next: a new round, shuffled again, when the
// last one is over; a round never starts with the module that plays.
size_t NextIndex(Playlist& list) {
    if (list.next >= list.paths.size()) {
        Shuffle(list);
        list.next = 0;
        if (list.paths.size() > 1 && list.paths[0] == list.playing)
            std::swap(list.paths[0],
                      list.paths[1 + NextRandom(list.random) % (list.paths.size() - 1)]);
    }
    return list.next;
}

// Leaves the module at index out for the rest of the run, with one line.
void Skip(Playlist& list, size_t index, const std::string& why) {
    Say(list, Quoted(list.paths[index]) + " skipped: " + why);
    list.paths.erase(list.paths.begin() + static_cast<std::ptrdiff_t>(index));
    list.emptyWhy = list.folder ? "no module in " + Quoted(list.source) + " can be played"
                                : Quoted(list.source) + " cannot be played";
}

// Reads the module at index; false (skipped) when it cannot be read.
bool ReadModule(Playlist& list, size_t index, std::vector<uint8_t>& bytes) {
    std::string why;
    if (list.files->read(list.paths[index].c_str(), kMaxModuleBytes, bytes, why))
        return true;
    Skip(list, index, why);
    return false;
}

// Starting: the next module plays, or is skipped; with none left, the
// embedded song.
void StartNext(Playlist& list) {
    if (list.paths.empty()) {
        Say(list, list.emptyWhy + "; the embedded song plays");
        list.player->playEmbedded();
        list.state = PlaylistState::Done;
        return;
    }
    const size_t index = NextIndex(list);
    std::vector<uint8_t> bytes;
    if (!ReadModule(list, index, bytes))
        return;
    SongLoadError error = SongLoadError::kNone;
    switch (list.player->play(bytes.data(), bytes.size(), &error)) {
    case MusicStart::Playing:
        list.playing = list.paths[index];
        list.next = index + 1;
        list.state = PlaylistState::Playing;
        break;
    case MusicStart::NoDevice: // the player has said so
        list.state = PlaylistState::Done;
        break;
    case MusicStart::NoSong:
        Skip(list, index, SongLoadErrorText(error));
        break;
    }
}

// Playing: the next module is queued to follow the one that plays, unless
// that is the only one left.
void QueueNext(Playlist& list) {
    if (list.paths.empty() || (list.paths.size() == 1 && list.paths[0] == list.playing))
        return;
    const size_t index = NextIndex(list);
    std::vector<uint8_t> bytes;
    if (!ReadModule(list, index, bytes))
        return;
    SongLoadError error = SongLoadError::kNone;
    if (list.player->queue(bytes.data(), bytes.size(), kSongLimitSeconds, &error)) {
        list.queued = list.paths[index];
        list.next = index + 1;
    } else if (error != SongLoadError::kNone) {
        Skip(list, index, SongLoadErrorText(error));
    } else {
        list.state = PlaylistState::Done; // the music has stopped under it
    }
}

} // namespace

void OpenPlaylist(Playlist& list, const char* path, const MusicFiles& files,
                  const MusicPlayer& player, PlaylistReport report, uint64_t seed) {
    list = Playlist{};
    list.source = path != nullptr ? path : "";
    list.files = &files;
    list.player = &player;
    list.report = report;
    list.random = seed;
}

void StartPlaylist(Playlist& list) {
    if (list.files == nullptr)
        return;
    list.state = PlaylistState::Starting;
    list.playing.clear();
    list.queued.clear();
}

void StepPlaylist(Playlist& list) {
    switch (list.state) {
    case PlaylistState::Stopped:
    case PlaylistState::Done:
        return;
    case PlaylistState::Starting:
        if (!list.listed)
            ListModules(list);
        StartNext(list);
        return;
    case PlaylistState::Playing:
        if (!list.queued.empty()) {
            if (!list.player->handedOver())
                return;
            list.playing = std::move(list.queued);
            list.queued.clear();
        }
        QueueNext(list);
        return;
    }
}

void StopPlaylist(Playlist& list) {
    // A module queued but never heard is the next one to play.
    if (!list.queued.empty() && list.next > 0)
        --list.next;
    list.queued.clear();
    list.playing.clear();
    list.state = PlaylistState::Stopped;
}
