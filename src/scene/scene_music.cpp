#include "scene/scene_music.h"

#include "shell/settings.h"

// The music engine connects here: StartMusic(kSongResourceId) and StopMusic().
// Until then the scene runs silent.
void StartSceneMusic() {
    if (!settings.musica)
        return;
}

void StopSceneMusic() {}
