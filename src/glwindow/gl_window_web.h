// The page's RenderWindow: the canvas of index.html, drawn through
// emscripten's legacy GL emulation on WebGL.
#pragma once

#ifndef __EMSCRIPTEN__
#error "gl_window_web.h is the page's window; it is built by emscripten only"
#endif

// Follows the canvas: when the page's script has given its drawing buffer a
// new size (the viewport's), the viewport and the projection follow. Called
// at the start of every frame; allocates nothing.
void FollowCanvasSize();
