#include "scene/scene_music.h"

#include "core/settings.h"
#include "music/wave_output.h"

void StartSceneMusic() {
    if (settings.musica)
        StartMusic(kSongResourceId);
}

void StopSceneMusic() {
    StopMusic();
}
