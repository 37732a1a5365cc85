// The frame-rate line that the native saver draws over the scene with --fps.
//
// The figure is the number of frames drawn in the last second or so, counted
// over whole frames and updated about once a second so that it can be read;
// the text is formatted only then, into the counter itself, so that a frame
// allocates nothing.
#pragma once

#include <cstdint>

struct FpsCounter {
    int32_t frames = -1;  // frames counted toward the next figure; -1 before the first
    double elapsed = 0.0; // seconds those frames took
    float fps = 0.0f;     // the figure shown, 0 until the first second has passed
    char text[32] = "";   // what is drawn; empty until the first figure
};

// Counts one frame that took delta seconds (the frame timer's delta). The
// first frame is not counted: its delta covers the set-up. Once a second or
// more has gathered, the figure becomes frames / seconds and the count
// starts again.
void CountFpsFrame(FpsCounter& counter, double delta);

// The arguments of RenderWindow::Print that put the start of a line's
// baseline at pixel (pixelX, pixelY), counted from the lower left corner of
// a drawable of width x height pixels (Print's position is in eye-space
// units one unit in front of the eye, with the 60-degree projection).
void OverlayPrintPosition(int32_t width, int32_t height, float pixelX, float pixelY, float& x,
                          float& y);
