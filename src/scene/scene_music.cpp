#include "scene/scene_music.h"

#include "core/settings.h"
#include "music/wave_output.h"

namespace {

Playlist playlist;
bool ownMusic = false; // the user's music, not the embedded song

} // namespace

void SetSceneMusicFiles(const char* path, const MusicFiles& files, PlaylistReport report,
                        uint64_t seed) {
    OpenPlaylist(playlist, path, files, PlatformMusicPlayer(), report, seed);
    ownMusic = true;
}

void StartSceneMusic() {
    if (!settings.musica)
        return;
    if (!ownMusic) {
        StartMusic(kSongResourceId);
        return;
    }
    StartPlaylist(playlist);
    StepPlaylist(playlist);
}

void StepSceneMusic() {
    if (ownMusic)
        StepPlaylist(playlist);
}

void StopSceneMusic() {
    if (ownMusic)
        StopPlaylist(playlist);
    StopMusic();
}
