// The sky dome and the sun.
//
// The dome is seen from inside with depth writes off, so it is pure
// background: everything drawn later covers it. It can also be drawn behind
// what is already there (the terrain) with the depth test on: it then fills
// only what was left uncovered, the same picture as the dome first with the
// terrain over it, without shading the sky under the terrain. The sun is one square of side
// 20,000.2 drawn twice with additive blending (the glow of texture slot 4,
// then the halo of slot 5), placed by
//
//     S = Rz(50 degrees) x Ry(60 degrees) x T(0, 0, -100000)
//
// in sky coordinates, that is 100,000 units out toward about (-0.557, 0.663,
// -0.500), near the direction the character is lit from. Black in the sun's
// textures adds nothing, so only the glow and the halo show over the dome.
#pragma once

#include <cstdint>

#include "core/math3d.h"

// The sun's placement in sky coordinates (angles as single-precision radians).
inline Mat4 SunTransform() {
    Mat4 s = Mat4Identity();
    s[14] = -100000.0f;
    s = Mat4Multiply(Mat4RotationY(1.0471975803375244f), s);
    return Mat4Multiply(Mat4RotationZ(0.8726646304130554f), s);
}

// Half the side of the sun's square.
inline constexpr float kSunHalfSize = 10000.1f;

// Draws the dome: the scene passes a call that draws the dome mesh unlit with
// its texture (DrawMeshUnlit); context is handed back to it.
using DrawDomeCall = void (*)(void* context);

// Draws the background of a frame. Expects the model-view matrix mode; loads
// skyView, draws the dome through drawDome with front faces culled and depth
// writes off, then the two sun layers additively with the textures
// glowTexture and haloTexture. With behind false the dome is drawn without
// the depth test, as the first thing of a frame; with behind true it is
// depth-tested behind what the depth buffer already holds, which must all
// lie nearer than the dome and the sun, and be told apart from them by the
// depth buffer. Leaves the depth test and depth writes on, back faces culled,
// blending off and skyView x S as the current model-view matrix. The second
// sun layer lies exactly on the first, so it relies on the window's depth
// function GL_LEQUAL.
void DrawSky(const Mat4& skyView, DrawDomeCall drawDome, void* context, uint32_t glowTexture,
             uint32_t haloTexture, bool behind);
