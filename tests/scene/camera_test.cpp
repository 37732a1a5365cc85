#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "scene/camera.h"

namespace {

bool Reached(const Camera& c, float fps) {
    const CameraWaypoint& w = c.cameraWaypoints[c.waypointIndex];
    const float band = 200.0f / fps;
    return std::fabs(c.cameraPitch - w.pitch) < band && std::fabs(c.cameraYaw - w.yaw) < band &&
           std::fabs(c.cameraDistance - w.distance) < band;
}

// One waypoint of a simulated tour: when the camera first had it in reach,
// and when it turned to the next one.
struct Visit {
    int index;
    double reachedAt;
    double leftAt;
};

// Runs the tour frame by frame at a steady rate for the given seconds, the
// way the frame does: normalise, then the tour step. Also checks every angle
// the camera passes through on the two legs that cross 0 degrees.
std::vector<Visit> SimulateTour(float fps, double seconds) {
    Camera c;
    ResetCamera(c);
    std::vector<Visit> visits;
    double reachedAt = -1.0;
    const double delta = 1.0 / fps;
    for (int frame = 0; frame * delta < seconds; ++frame) {
        const double now = frame * delta;
        NormaliseCameraAngles(c);
        const int index = c.waypointIndex;
        if (reachedAt < 0.0 && Reached(c, fps))
            reachedAt = now;
        UpdateAutoCamera(c, fps, delta);
        if (c.waypointIndex != index) {
            EXPECT_GE(reachedAt, 0.0) << "left waypoint " << index << " before reaching it";
            visits.push_back(Visit{index, reachedAt, now});
            reachedAt = -1.0;
        }
        // 3 -> 4 turns the yaw down through 0; 2 -> 3 the pitch up through 360.
        // Nothing on these legs goes farther out than the band around either end.
        const float yaw = NormaliseAngle(c.cameraYaw);
        const float pitch = NormaliseAngle(c.cameraPitch);
        const float band = 200.0f / fps;
        if (c.waypointIndex == 4) {
            EXPECT_TRUE(yaw < 47.0f + band || yaw > 349.0f - band)
                << "yaw " << yaw << " took the long way";
        }
        if (c.waypointIndex == 3) {
            EXPECT_TRUE(pitch < 16.0f + band || pitch > 340.0f - band) << "pitch " << pitch;
        }
    }
    return visits;
}

void CheckTour(float fps) {
    SCOPED_TRACE(fps);
    const std::vector<Visit> visits = SimulateTour(fps, 60.0);
    ASSERT_GE(visits.size(), 10u);
    const double frame = 1.0 / fps;
    for (size_t i = 0; i < visits.size(); ++i) {
        EXPECT_EQ(visits[i].index, static_cast<int>(i % 5));
        // The rest is the waypoint's dwell, to within a frame or two.
        const double rest = visits[i].leftAt - visits[i].reachedAt;
        EXPECT_NEAR(rest, kCameraTour[visits[i].index].dwell / 1000.0, 2.5 * frame)
            << "waypoint " << visits[i].index;
    }
    // Moving at 90 per second: the legs last about as long as their largest
    // change needs (here from waypoint 1 to 2, 170 units of distance).
    const double leg = visits[7].reachedAt - visits[6].leftAt;
    EXPECT_NEAR(leg, (170.0 - 200.0 / fps) / 90.0, 3.0 * frame);
}

TEST(CameraTour, VisitsTheWaypointsInOrderWithTheirRestsAt30Fps) {
    CheckTour(30.0f);
}

TEST(CameraTour, VisitsTheWaypointsInOrderWithTheirRestsAt100Fps) {
    CheckTour(100.0f);
}

TEST(CameraTour, StartsAtWaypointZeroWhichIsNearTheStartValues) {
    Camera c;
    ResetCamera(c);
    EXPECT_EQ(c.cameraPitch, 340.0f);
    EXPECT_EQ(c.cameraYaw, 31.0f);
    EXPECT_EQ(c.cameraDistance, 30.0f);
    // At 30 fps the band is 6.67: yaw 31 already counts as at 35.
    UpdateAutoCamera(c, 30.0f, 1.0 / 30.0);
    EXPECT_EQ(c.waypointIndex, 1);
    EXPECT_EQ(c.dwellTimer, 1000.0f);
    EXPECT_EQ(c.cameraYaw, 31.0f);

    // At 100 fps (band 2) the yaw first turns up by 0.9 a frame.
    ResetCamera(c);
    int frames = 0;
    while (c.waypointIndex == 0 && frames < 100) {
        UpdateAutoCamera(c, 100.0f, 0.01);
        ++frames;
    }
    EXPECT_EQ(frames, 4); // 31 -> 31.9 -> 32.8 -> 33.7, then reached
    EXPECT_GT(c.cameraYaw, 33.0f);
    EXPECT_EQ(c.cameraPitch, 340.0f);
}

TEST(CameraTour, AllThreeValuesMustBeInBandAndABadRateFreezesIt) {
    Camera c;
    ResetCamera(c);
    c.cameraPitch = 320.0f; // yaw and distance are in band, pitch is not
    UpdateAutoCamera(c, 30.0f, 1.0 / 30.0);
    EXPECT_EQ(c.waypointIndex, 0);
    EXPECT_EQ(c.cameraPitch, 323.0f);

    for (float fps : {0.0f, INFINITY, NAN, -30.0f}) {
        ResetCamera(c);
        c.cameraYaw = 100.0f;
        UpdateAutoCamera(c, fps, 0.0);
        EXPECT_EQ(c.waypointIndex, 0) << fps;
        EXPECT_EQ(c.cameraYaw, 100.0f) << fps;
    }
}

TEST(CameraTour, TheDwellCountsDownInTimerMillisecondsNotFrames) {
    Camera c;
    ResetCamera(c);
    c.waypointIndex = 1;
    c.cameraYaw = 136.0f;
    c.dwellTimer = 1000.0f;
    UpdateAutoCamera(c, 30.0f, 0.25); // the rate and the delta disagree
    EXPECT_FLOAT_EQ(c.dwellTimer, 750.0f);
    for (int i = 0; i < 3; ++i)
        UpdateAutoCamera(c, 30.0f, 0.25);
    EXPECT_EQ(c.waypointIndex, 1);
    UpdateAutoCamera(c, 30.0f, 0.25);
    EXPECT_EQ(c.waypointIndex, 2);
}

TEST(CameraAngles, NormaliseIntoZeroTo360) {
    EXPECT_EQ(NormaliseAngle(-30.0f), 330.0f);
    EXPECT_EQ(NormaliseAngle(725.0f), 5.0f);
    EXPECT_EQ(NormaliseAngle(360.0f), 0.0f);
    EXPECT_EQ(NormaliseAngle(-360.0f), 0.0f);
    EXPECT_EQ(NormaliseAngle(359.5f), 359.5f);
    const float tiny = NormaliseAngle(-1e-6f);
    EXPECT_GE(tiny, 0.0f);
    EXPECT_LT(tiny, 360.0f);
}

TEST(OrbitView, PutsTheCentreAheadAtTheDistance) {
    const Vec3 centre{-120.0f, 100.0f, 7.0f}; // high enough for no clamp
    for (float pitch : {340.0f, 16.0f, 25.0f})
        for (float yaw : {31.0f, 136.0f, 349.0f}) {
            const Mat4 v = BuildOrbitView(centre, pitch, yaw, 94.0f);
            const Vec3 seen = Mat4TransformPoint(v, centre);
            EXPECT_NEAR(seen.x, 0.0f, 1e-3f);
            EXPECT_NEAR(seen.y, 0.0f, 1e-3f);
            EXPECT_NEAR(seen.z, -94.0f, 1e-3f);
        }
    // Pitch 340 looks down from above the centre, 16 up from below it.
    EXPECT_NEAR(ViewEyePosition(BuildOrbitView(centre, 340.0f, 0.0f, 100.0f)).y,
                100.0f + 100.0f * std::sin(20.0f * kDegreesToRadians), 1e-3f);
    EXPECT_NEAR(ViewEyePosition(BuildOrbitView(centre, 16.0f, 0.0f, 100.0f)).y,
                100.0f - 100.0f * std::sin(16.0f * kDegreesToRadians), 1e-3f);
}

TEST(OrbitView, RaisesALowEyeToHalfAUnitKeepingItsOrientation) {
    const Vec3 centre{10.0f, 5.0f, -3.0f};
    const Mat4 v = BuildOrbitView(centre, 25.0f, 349.0f, 94.0f); // eye would be at about -34.7
    const Vec3 eye = ViewEyePosition(v);
    EXPECT_NEAR(eye.y, 0.5f, 1e-4f);
    // Same orientation and the same eye x and z as without the clamp.
    Mat4 free = Mat4Identity();
    free[12] = -centre.x;
    free[13] = -centre.y;
    free[14] = -centre.z;
    free = Mat4Multiply(Mat4RotationY(349.0f * kDegreesToRadians), free);
    free = Mat4Multiply(Mat4RotationX(25.0f * kDegreesToRadians), free);
    free[14] -= 94.0f;
    const Vec3 freeEye = ViewEyePosition(free);
    EXPECT_LT(freeEye.y, -30.0f);
    EXPECT_NEAR(eye.x, freeEye.x, 1e-3f);
    EXPECT_NEAR(eye.z, freeEye.z, 1e-3f);
    for (int i : {0, 1, 2, 4, 5, 6, 8, 9, 10})
        EXPECT_FLOAT_EQ(v[i], free[i]) << "element " << i;
}

TEST(CameraViews, FollowTheWalkingHeadAndKeepTheEyeAboveTheFloor) {
    // The whole tour at 30 fps while the body walks toward -x, with the head
    // low enough that the clamp must act at the lower waypoints.
    for (float headHeight : {45.0f, 12.0f}) {
        Camera c;
        ResetCamera(c);
        Mat4 body = Mat4Identity();
        body[13] = 20.0f;
        const Vec3 bodyPosition{0.0f, 20.0f, 0.0f};
        const Vec3 headPosition{1.0f, headHeight, -0.5f};
        float lowest = 1e9f;
        for (int frame = 0; frame < 30 * 40; ++frame) {
            Mat4ApplyTranslateNeg(body, Vec3{50.0f / 30.0f, 0.0f, 0.0f});
            UpdateCamera(c, true, 30.0f, 1.0 / 30.0, body, headPosition, bodyPosition);
            const Vec3 centre = CharacterViewCentre(body, headPosition, bodyPosition);
            EXPECT_FLOAT_EQ(centre.x, body[12] + 1.0f);
            EXPECT_FLOAT_EQ(centre.y, headHeight);
            const float eyeY = ViewEyePosition(c.characterView).y;
            const float terrainEyeY = ViewEyePosition(BuildTerrainView(c, headHeight)).y;
            ASSERT_GE(eyeY, 0.5f - 1e-3f) << "frame " << frame;
            ASSERT_GE(terrainEyeY, 0.5f - 1e-3f) << "frame " << frame;
            lowest = std::min(lowest, eyeY);
        }
        if (headHeight < 20.0f) {
            EXPECT_NEAR(lowest, 0.5f, 1e-3f); // the clamp did act
        }
    }
}

TEST(CameraViews, AutocamOffKeepsTheStartValues) {
    Camera c;
    ResetCamera(c);
    for (int frame = 0; frame < 100; ++frame)
        UpdateCamera(c, false, 30.0f, 1.0 / 30.0, Mat4Identity(), Vec3{0, 45, 0}, Vec3{});
    EXPECT_EQ(c.cameraPitch, 340.0f);
    EXPECT_EQ(c.cameraYaw, 31.0f);
    EXPECT_EQ(c.cameraDistance, 30.0f);
    EXPECT_EQ(c.waypointIndex, 0);
}

TEST(CameraViews, TheSkyTurnsWithTheCameraButNeverMoves) {
    Camera c;
    ResetCamera(c);
    Mat4 body = Mat4Identity();
    UpdateCamera(c, false, 30.0f, 0.0, body, Vec3{0, 45, 0}, Vec3{});
    const Mat4 sky = BuildSkyView(c.characterView);
    body[12] = -5000.0f;
    c.cameraDistance = 200.0f;
    UpdateCamera(c, false, 30.0f, 0.0, body, Vec3{0, 45, 0}, Vec3{});
    const Mat4 skyAfterWalking = BuildSkyView(c.characterView);
    for (int i = 0; i < 16; ++i)
        EXPECT_FLOAT_EQ(sky[i], skyAfterWalking[i]) << i;
    EXPECT_EQ(sky[12], 0.0f);
    EXPECT_EQ(sky[13], -10000.0f);
    EXPECT_EQ(sky[14], 0.0f);
    EXPECT_EQ(sky[3], 0.0f);
    EXPECT_EQ(sky[15], 1.0f);
    for (int i : {0, 1, 2, 4, 5, 6, 8, 9, 10})
        EXPECT_EQ(sky[i], c.characterView[i]);
}

} // namespace
