#include "scene/camera.h"

#include <cmath>

const CameraWaypoint kCameraTour[kCameraWaypointCount] = {
    // pitch, yaw, distance, dwell (ms)
    {340.0f, 35.0f, 30.0f, 0.0f},  {340.0f, 136.0f, 30.0f, 1000.0f}, {340.0f, 136.0f, 200.0f, 0.0f},
    {16.0f, 47.0f, 94.0f, 500.0f}, {25.0f, 349.0f, 94.0f, 2000.0f},
};

Camera camera;

namespace {

// Moves an angle one step toward target the short way round; an angle within
// the band stays. The result may leave [0, 360) until the next normalisation.
float TurnToward(float angle, float target, float band, float step) {
    const float d = angle - target;
    if (-band < d && d < band)
        return angle;
    if (d > 180.0f)
        return angle + step;
    if (d < -180.0f)
        return angle - step;
    if (d > 0.0f)
        return angle - step;
    if (d < 0.0f)
        return angle + step;
    return angle;
}

bool WithinBand(float value, float target, float band) {
    return target - band < value && value < target + band;
}

} // namespace

void ResetCamera(Camera& c) {
    c.cameraPitch = kStartCameraPitch;
    c.cameraYaw = kStartCameraYaw;
    c.cameraDistance = kStartCameraDistance;
    c.cameraWaypoints = kCameraTour;
    c.waypointCount = kCameraWaypointCount;
    c.waypointIndex = 0;
    c.dwellTimer = 0.0f;
    c.characterView = Mat4Identity();
}

float NormaliseAngle(float degrees) {
    float a = std::fmod(degrees, 360.0f);
    if (a < 0.0f)
        a += 360.0f;
    // A tiny negative remainder can round up to exactly 360.
    if (a >= 360.0f)
        a = 0.0f;
    return a;
}

void NormaliseCameraAngles(Camera& c) {
    c.cameraPitch = NormaliseAngle(c.cameraPitch);
    c.cameraYaw = NormaliseAngle(c.cameraYaw);
}

void UpdateAutoCamera(Camera& c, float instantFps, double delta) {
    // Without time passing (a delta of 0, or the millisecond clock's wrap)
    // nothing turns and no rest is counted down.
    if (c.cameraWaypoints == nullptr || c.waypointCount <= 0 || !(delta > 0.0) ||
        !std::isfinite(delta))
        return;
    if (c.waypointIndex < 0 || c.waypointIndex >= c.waypointCount)
        c.waypointIndex = 0;
    float band = 200.0f / instantFps;
    float step = 90.0f / instantFps;
    if (!(instantFps > 0.0f) || !std::isfinite(band) || !std::isfinite(step)) {
        band = 0.0f;
        step = 0.0f;
    }

    const CameraWaypoint& w = c.cameraWaypoints[c.waypointIndex];
    const bool reached = WithinBand(c.cameraPitch, w.pitch, band) &&
                         WithinBand(c.cameraYaw, w.yaw, band) &&
                         WithinBand(c.cameraDistance, w.distance, band);
    if (reached) {
        if (c.dwellTimer > 0.0f) {
            c.dwellTimer -= static_cast<float>(delta * 1000.0);
        } else {
            c.waypointIndex = (c.waypointIndex + 1) % c.waypointCount;
            // The new target's rest, counted down once it is reached.
            c.dwellTimer = c.cameraWaypoints[c.waypointIndex].dwell;
        }
        return;
    }

    c.cameraPitch = TurnToward(c.cameraPitch, w.pitch, band, step);
    c.cameraYaw = TurnToward(c.cameraYaw, w.yaw, band, step);
    if (c.cameraDistance <= w.distance - band)
        c.cameraDistance += step;
    if (c.cameraDistance >= w.distance + band)
        c.cameraDistance -= step;
}

Mat4 BuildOrbitView(const Vec3& centre, float pitch, float yaw, float distance) {
    Mat4 v = Mat4Identity();
    v[12] = -centre.x;
    v[13] = -centre.y;
    v[14] = -centre.z;
    v = Mat4Multiply(Mat4RotationY(yaw * kDegreesToRadians), v);
    v = Mat4Multiply(Mat4RotationX(pitch * kDegreesToRadians), v);
    v[14] -= distance;

    // Height clamp on the camera's own placement in the world.
    Mat4 eye = Mat4RigidInverse(v);
    if (eye[13] < kMinimumEyeHeight) {
        eye[13] = kMinimumEyeHeight;
        v = Mat4RigidInverse(eye);
    }
    return v;
}

Vec3 ViewEyePosition(const Mat4& view) {
    const Mat4 eye = Mat4RigidInverse(view);
    return Vec3{eye[12], eye[13], eye[14]};
}

Vec3 CharacterViewCentre(const Mat4& bodyLocal, const Vec3& headPosition,
                         const Vec3& bodyPosition) {
    const Vec3 offset{headPosition.x - bodyPosition.x, headPosition.y - bodyPosition.y,
                      headPosition.z - bodyPosition.z};
    return Mat4TransformPoint(bodyLocal, offset);
}

Mat4 BuildSkyView(const Mat4& characterView) {
    Mat4 sky;
    for (int column = 0; column < 3; ++column)
        for (int row = 0; row < 3; ++row)
            sky[4 * column + row] = characterView[4 * column + row];
    sky[12] = 0.0f;
    sky[13] = -10000.0f;
    sky[14] = 0.0f;
    sky[15] = 1.0f;
    return sky;
}

Mat4 BuildTerrainView(const Camera& c, float headHeight) {
    return BuildOrbitView(Vec3{0.0f, headHeight, 0.0f}, c.cameraPitch, c.cameraYaw,
                          c.cameraDistance);
}

void UpdateCamera(Camera& c, bool autocam, float instantFps, double delta, const Mat4& bodyLocal,
                  const Vec3& headPosition, const Vec3& bodyPosition) {
    NormaliseCameraAngles(c);
    if (autocam)
        UpdateAutoCamera(c, instantFps, delta);
    c.characterView = BuildOrbitView(CharacterViewCentre(bodyLocal, headPosition, bodyPosition),
                                     c.cameraPitch, c.cameraYaw, c.cameraDistance);
}
