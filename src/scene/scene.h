// The scene: set up once, then one frame per idle moment of the main loop.
#pragma once

#include "glwindow/render_window.h"
#include "scene/frame_rate.h"

extern FrameRate frameRate;

// Creates the GL window from hostWindow and saverMode, takes the first timer
// reading and blanks both colour buffers, then loads the scene. Returns true;
// a window that cannot be created ends the process inside Create.
bool SetupScene(InstanceHandle instance);

// Advances everything that moves with time and draws one complete frame.
void RenderFrame();
