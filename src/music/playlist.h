// The user's own music: one module file, or a folder of them played one
// after another in random order, each once through.
//
// The folder's modules (names ending in .xm in any case, hidden ones left
// out; subfolders are not entered) are shuffled into a round; when the round is over
// they are shuffled again, never starting with the one that just played, and
// play on for as long as the saver runs. A lone module (a file, or a folder
// with one module that can be played) plays on by its own loop, as the
// embedded song does. Each module follows the one before without a gap
// (wave_output.h's hand-over) once that one has come back to a row it had
// played, or after kSongLimitSeconds. A file that cannot be read or loaded
// is skipped with one line that names it and why, and left out for the rest
// of the run; when no module can be played, the embedded song plays.
//
// Everything runs on the main thread between frames, and a step reads at
// most one file, so that no frame waits for more than one file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "music/song.h"
#include "music/wave_output.h"

// The longest a module plays before the next one takes over, in seconds: the
// bound for a song whose return to a row it had played goes unnoticed (a
// pattern loop left running by a jump out of it). Longer than nearly every
// module written.
inline constexpr int32_t kSongLimitSeconds = 15 * 60;

// The largest module file read, in bytes. Real modules are at most a few
// megabytes; the bound keeps a huge or endless file from taking the memory
// (the file, then the song with its samples widened to 16 bits: up to about
// three times the file) and the main thread's time, and keeps every offset
// within the loader's 32-bit arithmetic.
inline constexpr size_t kMaxModuleBytes = size_t{32} << 20;

// What a path names.
enum class MusicPathKind { Missing, File, Folder, Other };

// The file system as the playlist sees it: each platform provides one
// (PlatformMusicFiles), the tests a fake. Each operation says why it failed
// in a short phrase (the system's error text, for one).
struct MusicFiles {
    MusicPathKind (*kind)(const char* path, std::string& why);
    // The names of the entries of folder (without . and ..), in any order.
    // False when the folder cannot be read.
    bool (*list)(const char* folder, std::vector<std::string>& names, std::string& why);
    // The bytes of the regular file at path. False for anything else: no
    // such file, not a regular file, more than maxBytes, a read error.
    bool (*read)(const char* path, size_t maxBytes, std::vector<uint8_t>& bytes, std::string& why);
};

// The platform's file system (a POSIX file on the host).
const MusicFiles& PlatformMusicFiles();

// What the playlist plays through: the wave output on the platform's device
// (PlatformMusicPlayer), or a fake in the tests.
struct MusicPlayer {
    // Plays the module now, from its start (StartMusicFromBytesOn).
    MusicStart (*play)(const uint8_t* bytes, size_t size, SongLoadError* error);
    // Queues the module to follow the playing one (QueueMusicFromBytes).
    bool (*queue)(const uint8_t* bytes, size_t size, int32_t limitSeconds, SongLoadError* error);
    // True once the queued module has taken over (MusicHandedOver).
    bool (*handedOver)();
    // Plays the embedded song (StartMusic).
    void (*playEmbedded)();
};

const MusicPlayer& PlatformMusicPlayer();

// Tells the user one line (without its end).
using PlaylistReport = void (*)(const char* line);

enum class PlaylistState {
    Stopped,  // nothing to do until StartPlaylist
    Starting, // looking for the first module that plays
    Playing,  // a module of the list plays; the next is queued when there is one
    Done,     // the embedded song plays, or there is no sound device
};

struct Playlist {
    std::string source; // the file or folder the user gave
    const MusicFiles* files = nullptr;
    const MusicPlayer* player = nullptr;
    PlaylistReport report = nullptr;
    PlaylistState state = PlaylistState::Stopped;
    bool listed = false;            // source has been looked at
    bool folder = false;            // source is a folder
    std::string emptyWhy;           // why paths is empty, when it is
    std::vector<std::string> paths; // modules not found unplayable, in this round's order
    size_t next = 0;                // the index in paths of the one to play next
    std::string playing;            // the module playing
    std::string queued;             // the module queued to follow it; empty: none
    uint64_t random = 0;            // the shuffle's state
};

// Sets up the playlist of path (a module file or a folder of them) over the
// file system, the player and the report; seed chooses the shuffles. Looks
// at nothing yet: the first step lists the folder.
void OpenPlaylist(Playlist& list, const char* path, const MusicFiles& files,
                  const MusicPlayer& player, PlaylistReport report, uint64_t seed);
// Starts the music with the next module: the steps from now on play it.
void StartPlaylist(Playlist& list);
// One step, on the main thread between frames: starts the first module that
// plays (the embedded song when none does), queues the next one to follow
// it, or notices that it has taken over. Reads at most one file.
void StepPlaylist(Playlist& list);
// The music has been stopped: nothing plays or is queued any more.
void StopPlaylist(Playlist& list);
