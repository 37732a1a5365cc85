// The music's start on the platform's own device. Kept apart from the rest
// of the playback control so that programs without a platform device (the
// core tests) link the control alone.
#include "music/playlist.h"
#include "music/song_source.h"
#include "music/wave_output.h"

void StartMusic(int id) {
    StartMusicOn(PlatformWaveDevice(), id);
}

namespace {

MusicStart PlayBytes(const uint8_t* bytes, size_t size, SongLoadError* error) {
    return StartMusicFromBytesOn(PlatformWaveDevice(), bytes, size, error);
}

void PlayEmbedded() {
    StartMusic(kMusicResourceId);
}

const MusicPlayer platformPlayer = {PlayBytes, QueueMusicFromBytes, MusicHandedOver, PlayEmbedded};

} // namespace

const MusicPlayer& PlatformMusicPlayer() {
    return platformPlayer;
}
