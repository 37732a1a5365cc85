#include "scene/scene.h"

#include "character/mesh.h"
#include "character/scene_node.h"
#include "glwindow/frame_timer.h"
#include "glwindow/gl.h"
#include "music/song_source.h"
#include "music/wave_output.h"
#include "shell/settings.h"
#include "shell/shell_state.h"
#include "terrain/textures.h"

FrameRate frameRate;

namespace {

void ClearColourBuffer() {
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT);
}

} // namespace

bool SetupScene(InstanceHandle instance) {
    instanceHandle = instance;
    glWindow = NewGlWindow();
    glWindow->Create(hostWindow, instanceHandle, saverMode);
    UpdateTimer(frameTimer);

    // Both buffers black while the rest loads.
    ClearColourBuffer();
    glWindow->Swap();
    ClearColourBuffer();

    if (settings.musica)
        StartMusic(kMusicResourceId);

    LoadSceneTextures(settings.invtex);
    MeshStatus status;
    if (!PrepareCharacterMeshes(status))
        RefuseDamagedMeshes(status); // does not return
    BuildCharacterNodes(meshes);
    return true;
}

void RenderFrame() {
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

    UpdateTimer(frameTimer);
    UpdateFrameRate(frameRate, frameTimer.delta);
    settings.frames = frameRate.averageFps;

    glFlush();
    glWindow->Swap();
}
