// The native saver's RenderWindow over Xlib and GLX, and its X connection.
//
// It draws either into a window of its own (1024 x 768, resizable, the
// Windows window's title; closed with the close button, Escape or q) or into
// a window somebody else made: the root window or the window XScreenSaver
// names. That window is never changed and no input is read from it; only
// its size changes are followed. The drawing uses the window's own visual.
#pragma once

#ifdef _WIN32
#error "gl_window_x11.h is the X11 window; Windows uses gl_window_win32.h"
#endif

#include <cstdint>

#include "core/render_window.h"

// Connects to the X server of $DISPLAY. onLost runs when the connection
// breaks (Xlib ends the process if it returns). Without a server FatalError
// ends the program.
void ConnectDisplay(void (*onLost)());
// Closes the connection, after the window is destroyed.
void DisconnectDisplay();
// The connection's file descriptor, to wait on for events; -1 when closed.
int DisplayConnectionFd();

// The root window of the default screen, and window number id, as the
// host-window handle that Create takes (none means a window of its own).
WindowHandle RootWindowHandle();
WindowHandle WindowHandleFromId(uint32_t id);

// Takes the selection name on the display for this process when nobody owns
// it: with the server grabbed, so that of two copies that ask at once only
// one gets it. True when this process owns it (now or already). The owner is
// a small unmapped window of the program's own, so that the server gives the
// selection up when the process ends or its connection closes.
bool ClaimSelection(const char* name);

// What the window's events ask of the run.
enum class WindowRun {
    Go,     // go on drawing
    Close,  // the user closed the saver's own window (close button, Escape, q)
    Gone,   // the window it draws into was destroyed
    Failed, // the X server refused a request: WindowRunError says which
};

// Handles every event that has come: a new size resizes the projection.
// Returns what the run should do.
WindowRun HandleWindowEvents();
// The X server's words for the refusal behind Failed.
const char* WindowRunError();
