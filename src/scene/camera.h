// The orbit camera and its tour.
//
// The camera orbits a centre point h at a distance, turned by two angles in
// degrees: yaw about y, then pitch about x. The view matrix is
//
//     V = T(0, 0, -distance) x Rx(pitch) x Ry(yaw) x T(-h)
//
// with the rotation senses of math3d.h, so the eye sits at
// h + Ry(yaw)^T x Rx(pitch)^T x (0, 0, distance) looking at h: a pitch of 340
// lifts the eye above the centre and looks down by 20 degrees, a pitch of 16
// puts it below the centre looking up. The eye is never let below height 0.5:
// when it would be, it is raised to 0.5 with the orientation unchanged.
//
// With the automatic camera on, the tour moves pitch, yaw and distance toward
// one waypoint at a time (90 degrees or units per second), each angle the
// short way round, and rests at a waypoint for its dwell time once all three
// values are within a band of 200 / fps of it.
#pragma once

#include <cstdint>

#include "core/math3d.h"

struct CameraWaypoint {
    float pitch = 0.0f;    // degrees
    float yaw = 0.0f;      // degrees
    float distance = 0.0f; // scene units
    float dwell = 0.0f;    // milliseconds of rest once reached
};

inline constexpr int32_t kCameraWaypointCount = 5;
// The tour, in order; it repeats forever.
extern const CameraWaypoint kCameraTour[kCameraWaypointCount];

// Start values of the camera (also its values for the whole run when the
// automatic camera is off).
inline constexpr float kStartCameraPitch = 340.0f;
inline constexpr float kStartCameraYaw = 31.0f;
inline constexpr float kStartCameraDistance = 30.0f;

// Degrees to radians, the single-precision value of pi / 180.
inline constexpr float kDegreesToRadians = 0.017453292f;

// The lowest height the eye may have.
inline constexpr float kMinimumEyeHeight = 0.5f;

struct Camera {
    float cameraPitch = 0.0f;    // degrees, in [0, 360) after normalisation
    float cameraYaw = 0.0f;      // degrees, in [0, 360) after normalisation
    float cameraDistance = 0.0f; // scene units
    const CameraWaypoint* cameraWaypoints = nullptr;
    int32_t waypointCount = 0;
    int32_t waypointIndex = 0;
    float dwellTimer = 0.0f; // milliseconds of rest left at the reached waypoint
    Mat4 characterView = Mat4Identity();
};

// The program's one camera.
extern Camera camera;

// Start values and the stored tour, aiming at waypoint 0.
void ResetCamera(Camera& c);

// An angle in degrees brought into [0, 360): the remainder with the quotient
// truncated toward zero, plus 360 when negative.
float NormaliseAngle(float degrees);
// Normalises the pitch, then the yaw.
void NormaliseCameraAngles(Camera& c);

// One frame of the tour. instantFps sets the band (200 / fps) and the step
// (90 / fps); a rate that is not positive and finite makes both 0, so nothing
// counts as reached and nothing moves. delta (seconds) counts the rest down;
// a frame whose delta is not positive and finite leaves the tour as it is.
void UpdateAutoCamera(Camera& c, float instantFps, double delta);

// The orbit view around centre (see the top of this file), with the eye
// raised to kMinimumEyeHeight when it would be lower.
Mat4 BuildOrbitView(const Vec3& centre, float pitch, float yaw, float distance);

// The eye position of a view made by BuildOrbitView (its rigid inverse's
// translation).
Vec3 ViewEyePosition(const Mat4& view);

// The point the character view orbits: the head keyframe's offset from the
// body keyframe, carried into the world by the body's transform.
Vec3 CharacterViewCentre(const Mat4& bodyLocal, const Vec3& headPosition, const Vec3& bodyPosition);

// The sky's view: the rotation of characterView with the translation
// (0, -10000, 0), so the sky turns with the camera but never moves with it.
Mat4 BuildSkyView(const Mat4& characterView);

// The terrain's view: the orbit around (0, head keyframe height, 0), so the
// terrain stays in place around the walking character on screen.
Mat4 BuildTerrainView(const Camera& c, float headHeight);

// The camera step of a frame: normalisation, the tour when autocam is on, then
// characterView from the body's transform and the current head and body
// keyframe positions.
void UpdateCamera(Camera& c, bool autocam, float instantFps, double delta, const Mat4& bodyLocal,
                  const Vec3& headPosition, const Vec3& bodyPosition);
