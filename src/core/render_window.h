// The window the scene is drawn into, as the portable code sees it.
//
// One small abstract class with seven operations; each platform has one
// implementation (glwindow/gl_window_*.cpp), chosen at link time through
// NewGlWindow. There is no virtual destructor: the owner calls Destroy and
// deletes the object through its concrete type (DeleteGlWindow).
#pragma once

#include <cstdint>

#include "core/saver_mode.h"

// Platform handles as the portable code carries them (a window handle, a
// module instance handle); only the platform files look inside.
using WindowHandle = void*;
using InstanceHandle = void*;

struct WindowRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
};

class RenderWindow {
  public:
    // Creates the window and its current GL context. hostWindow is the parent
    // (or none) on entry and the new window on return. A failure does not
    // return: FatalError (core/fatal_error.h) tells the user why and ends the
    // process.
    virtual void Create(WindowHandle& hostWindow, InstanceHandle instance, SaverMode mode) = 0;
    // Releases the font, the GL context and the window; harmless after a
    // failed or no Create.
    virtual void Destroy() = 0;
    // The drawable's size in pixels and the colour depth.
    virtual void GetSize(int32_t& width, int32_t& height, int32_t& colourBits) = 0;
    // The window's rectangle in screen coordinates.
    virtual void GetRect(WindowRect& rect) = 0;
    // Viewport and projection for a drawable of width x height pixels.
    virtual void Resize(int32_t width, int32_t height) = 0;
    // Presents the back buffer.
    virtual void Swap() = 0;
    // Draws one line of white text; x and y are eye-space units one unit in
    // front of the eye, from near the upper left, y growing downwards.
    virtual void Print(float x, float y, const char* text) = 0;

  protected:
    ~RenderWindow() = default;
};

// The platform's window, newly constructed (nothing created yet).
RenderWindow* NewGlWindow();
// Deletes a window made by NewGlWindow through its concrete type.
void DeleteGlWindow(RenderWindow* window);

// The program's one window; null until the scene set-up makes it.
extern RenderWindow* glWindow;
