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

// The sky texture's texels per radian of view on one dome face, seen from the
// dome's centre: the largest stretch of the face's map from directions (the
// corners' positions made unit length) to texels, for a texture textureSize
// texels wide with the corners' texture coordinates (u, v). A face whose
// corners lie in one direction gives 0.
float FaceTexelsPerRadian(const Vec3 (&corner)[3], const float (&u)[3], const float (&v)[3],
                          int textureSize);

// The largest FaceTexelsPerRadian over the dome's faces (Mesh::faces[f].
// vertexIndex and texCoordIndex, vertices[].position, texCoords[].u and v).
template <class MeshT> float DomeTexelsPerRadian(const MeshT& dome, int textureSize) {
    float most = 0.0f;
    for (int32_t f = 0; f < dome.faceCount; ++f) {
        Vec3 corner[3];
        float u[3], v[3];
        for (int k = 0; k < 3; ++k) {
            corner[k] = dome.vertices[dome.faces[f].vertexIndex[k]].position;
            u[k] = dome.texCoords[dome.faces[f].texCoordIndex[k]].u;
            v[k] = dome.texCoords[dome.faces[f].texCoordIndex[k]].v;
        }
        const float texels = FaceTexelsPerRadian(corner, u, v, textureSize);
        if (texels > most)
            most = texels;
    }
    return most;
}

// Whether the sky texture, at most texelsPerRadian (DomeTexelsPerRadian), is
// magnified everywhere in a viewport viewportHeight pixels high with the
// projection's vertical field of view: then its mipmaps are never read, and
// sampling it without them gives the same picture for less work. A pixel
// spans the most angle at the middle of the view. The margin of 1.6 covers
// the eye's 10,000 units off the dome's centre (some of the dome up to 10%
// farther) and a renderer's estimate of the level of detail (up to the
// square root of 2 above the exact one).
bool SkyTextureMagnified(float texelsPerRadian, int32_t viewportHeight);

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
