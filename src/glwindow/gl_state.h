// OpenGL state shared by every RenderWindow implementation.
#pragma once

#include <cstdint>

// The projection's vertical field of view, in degrees.
inline constexpr double kFieldOfViewDegrees = 60.0;
// The projection's near plane distance (single precision's 0.1).
inline constexpr double kNearPlane = static_cast<double>(0.1f);
// Print places text at eye-space (x - kPrintOffsetX, kPrintOffsetY - y).
inline constexpr float kPrintOffsetX = 0.55f;
inline constexpr float kPrintOffsetY = 0.4f;

// Viewport (0, 0, width, height), a 60-degree vertical perspective with near
// plane 0.1 and far plane 10,000,000, and identity model-view. A height of 0
// is taken as 1 so that the aspect ratio never divides by zero.
void ApplyViewportProjection(int32_t width, int32_t height);

// The fixed state every frame relies on: black clear colour, clear depth 1,
// depth test with GL_LEQUAL, 2D texturing, culling of front faces
// (counter-clockwise), nicest perspective correction.
void ApplyFixedGlState();
// The same without the perspective-correction hint, which WebGL does not
// know (it always corrects): the page's window uses it.
void ApplyFixedGlStateWithoutHint();

// Draws text with the bitmap font whose 96 display lists (characters 32 to
// 127) start at fontBase, at eye-space (x - 0.55, 0.4 - y) one unit in front
// of the eye. Leaves the model-view at that translation and the colour white.
// A null text draws nothing.
void PrintWithFont(uint32_t fontBase, float x, float y, const char* text);

// The bytes Print draws for text: "%%" becomes "%" as in a format without
// arguments, any other "%" stays as it is (never read as a conversion), and
// the result is cut to capacity - 1 bytes. Returns the number of bytes.
int FormatOverlayText(const char* text, char* out, int capacity);
