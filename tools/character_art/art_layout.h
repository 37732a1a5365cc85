// Where each part of the character finds its picture: the texture layouts the
// mesh generator maps onto and the texture generator paints. Texture
// coordinates (u, v) run from the left and from the bottom of the picture as a
// bitmap viewer shows it (v = 0 is the bottom row).
#pragma once

#include <cmath>

namespace art {

struct Region {
    float u0, v0, u1, v1;
    float U(float s) const { return u0 + (u1 - u0) * s; }
    float V(float t) const { return v0 + (v1 - v0) * t; }
};

// Body atlas (bitmaps 111 and 120, same layout). Tubes wrap u once around
// (u = 0 and 1 at the back, 0.5 at the front) and run v along their length.
// Each region keeps two texels clear of its neighbours for the mipmaps.
constexpr float kPad = 2.0f / 256.0f;
constexpr Region kTorso = {0.0f + kPad, 0.5f + kPad, 0.5f - kPad, 1.0f - kPad}; // v: crotch .. neck
constexpr Region kLeg = {0.0f + kPad, 0.0f + kPad, 0.5f - kPad, 0.5f - kPad};   // v: ankle .. hip
constexpr Region kArm = {0.5f + kPad, 0.5f + kPad, 0.75f - kPad,
                         1.0f - kPad}; // v: wrist .. shoulder
constexpr Region kFoot = {0.5f + kPad, 0.25f + kPad, 0.75f - kPad, 0.5f - kPad}; // v: heel .. toe
constexpr Region kHand = {0.75f + kPad, 0.75f + kPad, 1.0f - kPad,
                          1.0f - kPad}; // v: wrist .. fingertips
constexpr Region kNeck = {0.75f + kPad, 0.5f + kPad, 1.0f - kPad, 0.75f - kPad}; // v: base .. top

// Heights along the torso (v of kTorso) where the clothing changes.
constexpr float kTorsoBeltLow = 0.30f;  // belt from here ...
constexpr float kTorsoBeltHigh = 0.39f; // ... to here
constexpr float kTorsoHem = 0.12f;      // tunic ends below this (trousers at the crotch)
// Along the arm (v of kArm, 0 at the wrist): sleeve hem and bracer top.
constexpr float kArmSleeveEnd = 0.52f;
constexpr float kArmBracerTop = 0.36f;
// Along the leg (v of kLeg, 0 at the ankle): boot top and tunic hem.
constexpr float kLegBootTop = 0.34f;
constexpr float kLegTunicHem = 0.90f;

// Head (bitmap 122): longitude and latitude on the head, in degrees, map to
// (u, v) piecewise linearly, giving the face (longitude -40 to 40, latitude
// -40 to 40) most of the picture. Longitude 0 is the front (the face looks
// toward -x); positive longitudes turn toward +z, the character's left, which
// lies right of the middle of the picture.
constexpr float kFaceLon = 40.0f;
constexpr float kFaceLat = 40.0f;
constexpr float kFaceU0 = 0.2f, kFaceU1 = 0.8f;
constexpr float kFaceV0 = 0.12f, kFaceV1 = 0.85f;

inline float Lerp(float a, float b, float t) {
    return a + (b - a) * t;
}

inline float HeadU(float lonDeg) {
    if (lonDeg < -kFaceLon)
        return Lerp(0.0f, kFaceU0, (lonDeg + 180.0f) / (180.0f - kFaceLon));
    if (lonDeg <= kFaceLon)
        return Lerp(kFaceU0, kFaceU1, (lonDeg + kFaceLon) / (2.0f * kFaceLon));
    return Lerp(kFaceU1, 1.0f, (lonDeg - kFaceLon) / (180.0f - kFaceLon));
}

inline float HeadV(float latDeg) {
    if (latDeg < -kFaceLat)
        return Lerp(0.0f, kFaceV0, (latDeg + 90.0f) / (90.0f - kFaceLat));
    if (latDeg <= kFaceLat)
        return Lerp(kFaceV0, kFaceV1, (latDeg + kFaceLat) / (2.0f * kFaceLat));
    return Lerp(kFaceV1, 1.0f, (latDeg - kFaceLat) / (90.0f - kFaceLat));
}

inline float HeadLon(float u) {
    if (u < kFaceU0)
        return -180.0f + (180.0f - kFaceLon) * u / kFaceU0;
    if (u <= kFaceU1)
        return -kFaceLon + 2.0f * kFaceLon * (u - kFaceU0) / (kFaceU1 - kFaceU0);
    return kFaceLon + (180.0f - kFaceLon) * (u - kFaceU1) / (1.0f - kFaceU1);
}

inline float HeadLat(float v) {
    if (v < kFaceV0)
        return -90.0f + (90.0f - kFaceLat) * v / kFaceV0;
    if (v <= kFaceV1)
        return -kFaceLat + 2.0f * kFaceLat * (v - kFaceV0) / (kFaceV1 - kFaceV0);
    return kFaceLat + (90.0f - kFaceLat) * (v - kFaceV1) / (1.0f - kFaceV1);
}

// Latitude of the hairline at a longitude: low over the forehead, lower still
// at the temples and down to the nape at the back.
inline float HairlineLat(float lonDeg) {
    const float a = std::fabs(lonDeg);
    auto smooth = [](float e0, float e1, float x) {
        float t = (x - e0) / (e1 - e0);
        t = t < 0.0f ? 0.0f : (t > 1.0f ? 1.0f : t);
        return t * t * (3.0f - 2.0f * t);
    };
    return 24.0f - 14.0f * smooth(25.0f, 70.0f, a) - 48.0f * smooth(95.0f, 150.0f, a);
}

// Sword (bitmap 115): a picture of the sword standing point up; each part of
// the sword mesh maps onto its own part of the picture.
constexpr Region kBlade = {0.41f, 0.35f, 0.59f, 0.985f};  // v: guard .. tip
constexpr Region kGuard = {0.18f, 0.285f, 0.82f, 0.335f}; // u: one quillon end .. the other
constexpr Region kGrip = {0.455f, 0.115f, 0.545f, 0.28f}; // v: pommel .. guard
constexpr Region kPommel = {0.43f, 0.03f, 0.57f, 0.11f};
// Blade picture: the point starts this far up the blade region.
constexpr float kBladeTipStart = 0.86f;

// Sky (bitmap 109): u repeats twice around the dome, v runs from the horizon
// (0) to the zenith (1).
constexpr float kSkyRepeats = 2.0f;

} // namespace art
