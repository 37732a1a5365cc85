// Program-wide state of the shell, read by the window procedure and the scene.
#pragma once

#include <cstdint>

#include "core/render_window.h"
#include "core/saver_mode.h"

struct ScreenPoint {
    int32_t x = 0;
    int32_t y = 0;
};

// The mode decoded from the command line; never changes afterwards.
extern SaverMode saverMode;
// The window given on the command line (dialog owner, preview parent); the GL
// window once it has been created. None in full-screen mode.
extern WindowHandle hostWindow;
// The program's module, stored by the scene set-up for resource loading.
extern InstanceHandle instanceHandle;
// Cursor position (screen coordinates) recorded just before a full-screen run.
extern ScreenPoint startCursor;

// True when a cursor at (x, y) has moved far enough from startCursor to end a
// full-screen run: more than 50 pixels on either axis.
bool CursorLeftStart(const ScreenPoint& start, int32_t x, int32_t y);
