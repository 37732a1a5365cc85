#include "scene/scene_music.h"

#include "music/wave_output.h"
#include "shell/settings.h"

void StartSceneMusic() {
    if (settings.musica)
        StartMusic(kSongResourceId);
}

void StopSceneMusic() {
    StopMusic();
}
