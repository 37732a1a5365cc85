#include "scene/scene.h"

#include "glwindow/frame_timer.h"
#include "glwindow/gl.h"
#include "shell/settings.h"
#include "shell/shell_state.h"

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
