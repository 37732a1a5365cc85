// The whole scene through SetupScene and RenderFrame, off screen, with the
// generated assets and the clocks at chosen virtual times: what the frame
// updates, and what each setting changes in the picture.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "allocation_counter.h"
#include "character/mesh.h"
#include "character/scene_node.h"
#include "common/asset_folder.h"
#include "core/gl.h"
#include "core/settings.h"
#include "core/shell_state.h"
#include "glwindow/frame_timer.h"
#include "glwindow/gl_state.h"
#include "glwindow/gl_window_osmesa.h"
#include "glwindow/virtual_clock.h"
#include "scene/camera.h"
#include "scene/scene.h"
#include "scene/sky.h"
#include "terrain/terrain_skyline.h"
#include "terrain/textures.h"

namespace {

constexpr int kWidth = 200;
constexpr int kHeight = 150;
// The system has been up an hour when the saver starts.
constexpr int64_t kUptime = int64_t{3600} * 1000000;

using Picture = std::vector<uint8_t>; // RGBA, bottom row first

struct Pixel {
    int r, g, b;
};

Pixel At(const Picture& p, int x, int y) { // y from the top
    const uint8_t* q = &p[(static_cast<size_t>(kHeight - 1 - y) * kWidth + x) * 4];
    return Pixel{q[0], q[1], q[2]};
}

// Share of the pixels in rows [top, bottom) (from the top) that pass test.
template <class Test> double RowShare(const Picture& p, int top, int bottom, Test test) {
    int count = 0;
    for (int y = top; y < bottom; ++y)
        for (int x = 0; x < kWidth; ++x)
            count += test(At(p, x, y)) ? 1 : 0;
    return static_cast<double>(count) / ((bottom - top) * kWidth);
}

bool Differs(const Pixel& a, const Pixel& b) {
    return a.r != b.r || a.g != b.g || a.b != b.b;
}

// How many pixels of two pictures differ clearly (by more than 24 in the sum
// of their channels), beyond what rounding moves.
int ClearlyChanged(const Picture& p, const Picture& q) {
    int changed = 0;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const Pixel a = At(p, x, y), b = At(q, x, y);
            changed += std::abs(a.r - b.r) + std::abs(a.g - b.g) + std::abs(a.b - b.b) > 24;
        }
    return changed;
}

class SceneFrames : public ::testing::Test {
  protected:
    void SetUp() override {
        previousSource_ = GetResourceSource();
        SetResourceSource(&assets_);
        SetDefaultSettings(settings);
        settings.musica = false;
    }
    void TearDown() override {
        ReleaseScene();
        SetResourceSource(previousSource_);
    }

    // Sets the scene up at the uptime with the settings as they stand.
    void Start(const TimerClock& clock = VirtualTimerClock(), int64_t uptime = kUptime,
               int width = kWidth, int height = kHeight) {
        ReleaseScene();
        saverMode = SaverMode::FullScreen;
        hostWindow = nullptr;
        SetOffscreenSize(width, height);
        InitTimer(frameTimer, clock);
        now_ = uptime;
        SetVirtualTime(now_);
        SetupScene(nullptr);
    }
    // One whole frame, seconds after the last one (or the set-up).
    void Frame(double seconds) {
        now_ += static_cast<int64_t>(std::llround(seconds * 1e6));
        SetVirtualTime(now_);
        RenderFrame();
    }
    // Frames at fps up to seconds after the set-up; only the last is drawn.
    void RunTo(double seconds, double fps = 30.0) {
        const int frames = static_cast<int>(std::lround(seconds * fps));
        for (int k = 1; k < frames; ++k) {
            now_ = kUptime + static_cast<int64_t>(std::llround(k * 1e6 / fps));
            SetVirtualTime(now_);
            UpdateScene();
        }
        now_ = kUptime + static_cast<int64_t>(std::llround(frames * 1e6 / fps));
        SetVirtualTime(now_);
        RenderFrame();
    }
    Picture Shown() const { return static_cast<OsMesaWindow*>(glWindow)->FrontPixels(); }
    Picture Drawing() const { return static_cast<OsMesaWindow*>(glWindow)->BackPixels(); }

    // The picture at seconds into the tour, set up afresh with the settings.
    Picture TourPicture(double seconds) {
        Start();
        RunTo(seconds);
        return Shown();
    }

    AssetFolder assets_{TAZRO_TEST_ASSET_DIR};
    ResourceSource* previousSource_ = nullptr;
    int64_t now_ = 0;
};

TEST_F(SceneFrames, SetupLeavesBothBuffersBlackAndTheSceneAtItsStart) {
    Start();
    for (const Picture& p : {Shown(), Drawing()}) {
        int lit = 0;
        for (size_t i = 0; i < p.size(); i += 4)
            lit += (p[i] | p[i + 1] | p[i + 2]) != 0 ? 1 : 0;
        EXPECT_EQ(lit, 0);
    }
    ASSERT_NE(meshes, nullptr);
    ASSERT_NE(terrainRoot, nullptr);
    for (int slot = 0; slot < kTextureSlotCount; ++slot)
        EXPECT_NE(textureSlots[slot], 0u) << slot;
    EXPECT_EQ(bodyNode.meshIndex, 1);
    EXPECT_EQ(headNode.meshIndex, 2);
    EXPECT_EQ(swordNode.meshIndex, 33);
    EXPECT_EQ(domeNode.meshIndex, 0);
    EXPECT_EQ(bodyNode.local[12], meshes[1].position.x);
    EXPECT_EQ(camera.cameraPitch, 340.0f);
    EXPECT_EQ(camera.cameraYaw, 31.0f);
    EXPECT_EQ(camera.cameraDistance, 30.0f);
    EXPECT_EQ(camera.waypointIndex, 0);
}

TEST_F(SceneFrames, TheFirstFrameStepsOnceThenBlendsUntilTheNextTenth) {
    Start();
    const float startX = bodyNode.local[12];
    // The first frame comes a quarter second after the set-up's timer reading.
    Frame(0.25);
    EXPECT_EQ(bodyNode.meshIndex, 3);
    EXPECT_EQ(headNode.meshIndex, 4);
    EXPECT_EQ(swordNode.meshIndex, 34);
    EXPECT_EQ(keyframeClock.blendFraction, 0.0f);
    EXPECT_FLOAT_EQ(frameRate.instantFps, 4.0f);
    EXPECT_FLOAT_EQ(frameRate.averageFps, 17.0f); // (30 + 4) / 2
    EXPECT_EQ(settings.frames, frameRate.averageFps);
    // Its walk covers the whole quarter second: 12.5 units along -x.
    EXPECT_NEAR(bodyNode.local[12], startX - 12.5f, 1e-3f);
    // At 30 frames per second the tour's first waypoint is reached at once.
    EXPECT_EQ(camera.waypointIndex, 1);

    Frame(0.05);
    EXPECT_EQ(bodyNode.meshIndex, 3);
    EXPECT_NEAR(keyframeClock.blendFraction, 0.5f, 1e-6f);
    Frame(0.04);
    EXPECT_EQ(bodyNode.meshIndex, 3);
    EXPECT_NEAR(keyframeClock.blendFraction, 0.9f, 1e-6f);
    Frame(0.02); // 0.11 s after the step
    EXPECT_EQ(bodyNode.meshIndex, 5);
    EXPECT_EQ(headNode.meshIndex, 6);
    EXPECT_EQ(swordNode.meshIndex, 35);
    EXPECT_EQ(keyframeClock.blendFraction, 0.0f);
}

TEST_F(SceneFrames, SlowFramesStepEveryFrameAndTheWalkKeepsItsSpeed) {
    Start();
    const float startX = bodyNode.local[12];
    for (int frame = 1; frame <= 16; ++frame) {
        Frame(0.2);
        EXPECT_EQ(keyframeClock.blendFraction, 0.0f);
        EXPECT_EQ(bodyNode.meshIndex, 1 + 2 * (frame % 16));
        EXPECT_EQ(swordNode.meshIndex, 33 + frame % 16);
    }
    EXPECT_NEAR(bodyNode.local[12], startX - 50.0f * 3.2f, 1e-2f);
    EXPECT_EQ(bodyNode.local[13], meshes[1].position.y);
    EXPECT_EQ(bodyNode.local[14], meshes[1].position.z);
}

TEST_F(SceneFrames, AFrameAllocatesNothing) {
    for (bool on : {false, true}) {
        settings.sombras = on;
        settings.interpol = on;
        settings.ninja = on;
        settings.tipoIlum = on ? 2 : 1;
        Start();
        // The GL driver compiles its own code for each new combination of
        // state on first use; let it see every one first.
        for (int frame = 0; frame < 40; ++frame)
            Frame(0.03);
        const long before = CountedAllocations();
        for (int frame = 0; frame < 40; ++frame)
            Frame(0.03); // steps, blends, walks and tours
        EXPECT_EQ(CountedAllocations() - before, 0) << "settings " << on;
    }
}

TEST_F(SceneFrames, ATimerDeltaOfZeroKeepsTheFiguresFinite) {
    Start();
    Frame(0.02);
    const float rate = frameRate.instantFps;
    Frame(0.0);
    EXPECT_TRUE(std::isfinite(frameRate.averageFps));
    EXPECT_TRUE(std::isfinite(settings.frames));
    EXPECT_EQ(frameRate.instantFps, rate);
    EXPECT_TRUE(std::isfinite(bodyNode.local[12]));
}

// The millisecond clock of a machine without a performance counter, read
// from the virtual time; it wraps at 2^32 ms.
bool NoCounter(int64_t*) {
    return false;
}
uint32_t VirtualMilliseconds() {
    return static_cast<uint32_t>(static_cast<uint64_t>(VirtualTime()) / 1000);
}
const TimerClock millisecondClock = {NoCounter, nullptr, VirtualMilliseconds};

// On the millisecond clock a frame in the same millisecond as the last one
// (above 1,000 frames per second) has a delta of 0, and the frame across the
// clock's wrap a delta of about -4.3 million seconds: neither walks, turns
// the camera or counts its rest down, and the figures stay finite.
TEST_F(SceneFrames, AFrameWithoutTimeOnTheMillisecondClockMovesNothing) {
    // The clock wraps 1.45 s after the set-up.
    Start(millisecondClock, ((int64_t{1} << 32) - 1450) * 1000);
    ASSERT_FALSE(frameTimer.usePerformanceCounter);
    struct Moving {
        float x, pitch, yaw, distance, dwell;
        int32_t waypoint;
        bool operator==(const Moving& o) const {
            return x == o.x && pitch == o.pitch && yaw == o.yaw && distance == o.distance &&
                   dwell == o.dwell && waypoint == o.waypoint;
        }
    };
    const auto moving = [] {
        return Moving{bodyNode.local[12],    camera.cameraPitch, camera.cameraYaw,
                      camera.cameraDistance, camera.dwellTimer,  camera.waypointIndex};
    };
    const auto stillAfter = [&](double seconds, const char* what) {
        const Moving before = moving();
        const float rate = frameRate.instantFps;
        Frame(seconds);
        EXPECT_TRUE(moving() == before) << what;
        EXPECT_EQ(frameRate.instantFps, rate) << what;
        EXPECT_TRUE(std::isfinite(frameRate.averageFps) && std::isfinite(settings.frames)) << what;
    };
    for (int frame = 0; frame < 15; ++frame)
        Frame(1.0 / 30);
    ASSERT_EQ(camera.waypointIndex, 1); // turning toward waypoint 1
    stillAfter(0.0, "same millisecond");
    for (int frame = 0; frame < 27; ++frame)
        Frame(1.0 / 30);
    ASSERT_GT(camera.dwellTimer, 0.0f); // resting at waypoint 1
    ASSERT_LT(camera.dwellTimer, 1000.0f);
    stillAfter(0.1, "across the wrap");
    ASSERT_LT(frameTimer.delta, -4e6);
    // The next frame moves again, by its own time.
    const Moving before = moving();
    Frame(0.04);
    EXPECT_NEAR(bodyNode.local[12], before.x - 50.0f * 0.04f, 1e-3f);
    EXPECT_NEAR(camera.dwellTimer, before.dwell - 40.0f, 0.1f);
}

TEST_F(SceneFrames, EachStepPlacesTheHeadAndSwordAgainAndTheCameraAimsAtTheHead) {
    settings.autocam = false;
    Start();
    for (int step = 1; step <= 16; ++step) {
        Frame(0.11);
        ASSERT_EQ(headNode.meshIndex, 2 + 2 * (step % 16));
        // Head and sword hang from the body as their new keyframes and the
        // body's new keyframe place them.
        for (SceneNode* node : {&headNode, &swordNode}) {
            SceneNode placed = *node;
            ComposeChildLocal(placed, bodyNode, meshes);
            EXPECT_TRUE(std::equal(node->local.m, node->local.m + 16, placed.local.m))
                << "step " << step << ", node " << node->meshIndex;
        }
        // The camera orbits the head keyframe of this step: its point is
        // straight ahead of the eye, at the camera's distance.
        const Vec3& head = meshes[headNode.meshIndex].position;
        const Vec3& body = meshes[bodyNode.meshIndex].position;
        const Vec3 centre = Mat4TransformPoint(
            bodyNode.local, Vec3{head.x - body.x, head.y - body.y, head.z - body.z});
        const Vec3 seen = Mat4TransformPoint(camera.characterView, centre);
        EXPECT_NEAR(seen.x, 0.0f, 1e-3f) << "step " << step;
        EXPECT_NEAR(seen.y, 0.0f, 1e-3f) << "step " << step;
        EXPECT_NEAR(seen.z, -kStartCameraDistance, 1e-3f) << "step " << step;
    }
}

TEST_F(SceneFrames, TheTerrainStaysInPlaceOnScreenWhileTheBodyWalks) {
    // Frames of 1/8 s each step the keyframes and walk 6.25 units. Forty
    // seconds later the body is at the same keyframe and 2,000 units (two
    // floor-texture repeats) further: with the camera held still, the
    // picture is the same.
    settings.autocam = false;
    Start();
    RunTo(2.0, 8.0);
    const Picture early = Shown();
    const int32_t keyframe = bodyNode.meshIndex;
    const float walkedFrom = bodyNode.local[12];
    for (int frame = 1; frame < 320; ++frame) {
        now_ += 125000;
        SetVirtualTime(now_);
        UpdateScene();
    }
    Frame(0.125);
    ASSERT_EQ(bodyNode.meshIndex, keyframe);
    ASSERT_NEAR(bodyNode.local[12], walkedFrom - 2000.0f, 0.1f);
    const Picture late = Shown();
    EXPECT_LT(ClearlyChanged(early, late), kWidth * kHeight / 200);
}

TEST_F(SceneFrames, NinjaDressesTheBodyAndTheCharacterStandsInTheMiddle) {
    // Waypoint 3 of the tour: the camera looks up at the character.
    const Picture plain = TourPicture(8.0);
    for (int k = 0; k < 16; ++k)
        EXPECT_EQ(meshes[1 + 2 * k].material, 3) << k;
    settings.ninja = true;
    const Picture ninja = TourPicture(8.0);
    for (int k = 0; k < 16; ++k)
        EXPECT_EQ(meshes[1 + 2 * k].material, 6) << k;
    EXPECT_EQ(meshes[2].material, 1);
    EXPECT_EQ(meshes[33].material, 7);

    // Only the body changes; it is darker, and it stands near the centre.
    long sumX = 0, sumY = 0, count = 0, plainLight = 0, ninjaLight = 0;
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const Pixel a = At(plain, x, y), b = At(ninja, x, y);
            if (!Differs(a, b))
                continue;
            sumX += x;
            sumY += y;
            ++count;
            plainLight += a.r + a.g + a.b;
            ninjaLight += b.r + b.g + b.b;
        }
    }
    ASSERT_GT(count, kWidth * kHeight / 200);
    EXPECT_LT(ninjaLight, plainLight * 2 / 3);
    // The camera aims at the head, so the body stands in the middle column and
    // hangs below the middle row.
    EXPECT_NEAR(static_cast<double>(sumX) / count, kWidth / 2.0, kWidth * 0.15);
    EXPECT_GT(static_cast<double>(sumY) / count, kHeight * 0.5);
    EXPECT_LT(static_cast<double>(sumY) / count, kHeight * 0.85);

    // Sky blue above, the dry earth below.
    auto blue = [](const Pixel& p) { return p.b > p.r + 20; };
    auto earth = [](const Pixel& p) { return p.r > p.b + 20 && p.g > p.b; };
    EXPECT_GT(RowShare(plain, 0, kHeight / 5, blue), 0.9);
    EXPECT_GT(RowShare(plain, kHeight * 4 / 5, kHeight, earth), 0.9);
}

// The lighting shades the character only: lit per face or per vertex it is
// darker than unlit (a grey level never brightens), and nothing else changes.
TEST_F(SceneFrames, TheLightingShadesTheCharacterAndNothingElse) {
    settings.tipoIlum = 0;
    const Picture unlit = TourPicture(8.0);
    for (int lighting : {1, 2}) {
        settings.tipoIlum = lighting;
        const Picture lit = TourPicture(8.0);
        int darker = 0, brighter = 0;
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) {
                const Pixel a = At(unlit, x, y), b = At(lit, x, y);
                darker += b.r + b.g + b.b < a.r + a.g + a.b;
                brighter += b.r > a.r || b.g > a.g || b.b > a.b;
            }
        EXPECT_GT(darker, kWidth * kHeight / 200) << "lighting " << lighting;
        EXPECT_EQ(brighter, 0) << "lighting " << lighting;
    }
}

TEST_F(SceneFrames, ShadowsFallOnTheFloorOnlyWhenSombrasIsOn) {
    // Ten seconds in, the camera looks at the character's shadow side.
    settings.sombras = false;
    const Picture without = TourPicture(10.0);
    settings.sombras = true;
    const Picture with = TourPicture(10.0);
    int changed = 0, lower = 0, shadowColour = 0;
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const Pixel a = At(without, x, y), b = At(with, x, y);
            if (!Differs(a, b))
                continue;
            ++changed;
            lower += y >= kHeight / 2 ? 1 : 0;
            // The flat dark brown (0.1, 0.05, 0).
            shadowColour += std::abs(b.r - 26) <= 1 && std::abs(b.g - 13) <= 1 && b.b == 0;
        }
    }
    EXPECT_GT(changed, kWidth * kHeight / 500);
    EXPECT_EQ(shadowColour, changed);
    EXPECT_GT(lower, changed * 9 / 10);
}

TEST_F(SceneFrames, TheFloorFollowsNSueloAndAnUnknownFloorIsTheDefault) {
    const Picture dry = TourPicture(8.0);
    settings.nSuelo = 8;
    const Picture lava = TourPicture(8.0);
    settings.nSuelo = 57;
    const Picture unknown = TourPicture(8.0);
    settings.nSuelo = -1;
    const Picture negative = TourPicture(8.0);
    EXPECT_EQ(unknown, dry);
    EXPECT_EQ(negative, dry);

    // The floor and the terrain take the lava: red-hot where the earth was
    // brown. The sky above them does not change.
    auto hot = [](const Pixel& p) { return 10 * p.g < 7 * p.r && p.r > p.b + 15; };
    int changed = 0, hotLava = 0, hotDry = 0, skyChanged = 0;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const Pixel a = At(dry, x, y), b = At(lava, x, y);
            if (!Differs(a, b))
                continue;
            ++changed;
            hotLava += hot(b);
            hotDry += hot(a);
            skyChanged += y < kHeight / 4;
        }
    EXPECT_GT(changed, kWidth * kHeight / 4);
    EXPECT_GT(hotLava, changed * 2 / 3);
    EXPECT_LT(hotDry, changed / 20);
    EXPECT_EQ(skyChanged, 0);
    auto earth = [](const Pixel& p) { return p.r > p.b + 20 && p.g > p.b; };
    EXPECT_GT(RowShare(dry, kHeight * 4 / 5, kHeight, earth), 0.9);
}

TEST_F(SceneFrames, InvtexExchangesRedAndBlueEverywhere) {
    settings.sombras = false; // the shadow's colour is not a texture
    const Picture plain = TourPicture(8.0);
    settings.invtex = true;
    const Picture inverted = TourPicture(8.0);
    int exchanged = 0, distinct = 0;
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const Pixel a = At(plain, x, y), b = At(inverted, x, y);
            exchanged +=
                std::abs(a.r - b.b) <= 1 && std::abs(a.b - b.r) <= 1 && std::abs(a.g - b.g) <= 1;
            distinct += std::abs(a.r - a.b) > 20;
        }
    }
    EXPECT_GT(exchanged, kWidth * kHeight * 99 / 100);
    EXPECT_GT(distinct, kWidth * kHeight / 2); // so the exchange shows
}

// The sun's own light in a picture: the frame minus the same frame with black
// sun layers.
std::vector<int> SunLight(const Picture& withSun, const Picture& withoutSun) {
    std::vector<int> light(static_cast<size_t>(kWidth) * kHeight);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const Pixel a = At(withSun, x, y), b = At(withoutSun, x, y);
            light[static_cast<size_t>(y) * kWidth + x] = (a.r - b.r) + (a.g - b.g) + (a.b - b.b);
        }
    return light;
}

TEST_F(SceneFrames, TheSunGlowsWhereTheCameraFacesItAndNowhereElse) {
    settings.autocam = false;
    GLuint black = 0;
    // The sun from below the head, a little to its left; then the other way.
    for (float yaw : {330.0f, 150.0f}) {
        Start();
        camera.cameraPitch = 36.0f;
        camera.cameraYaw = yaw;
        camera.cameraDistance = 60.0f;
        Frame(0.1);
        const Picture withSun = Shown();
        const uint8_t texels[16] = {};
        glGenTextures(1, &black);
        glBindTexture(GL_TEXTURE_2D, black);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 2, 2, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels);
        textureSlots[4] = textureSlots[5] = black;
        Frame(0.0); // the same time: nothing moves, no keyframe step
        const std::vector<int> light = SunLight(withSun, Shown());

        long total = 0, sumX = 0, sumY = 0, brightest = 0;
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) {
                const int l = light[static_cast<size_t>(y) * kWidth + x];
                EXPECT_GE(l, 0); // the layers only add
                total += l;
                sumX += static_cast<long>(l) * x;
                sumY += static_cast<long>(l) * y;
                brightest = std::max<long>(brightest, l);
            }
        if (yaw == 150.0f) {
            EXPECT_EQ(total, 0) << "the sun is behind the camera";
            continue;
        }
        ASSERT_GT(total, 0);
        EXPECT_GT(brightest, 150); // a glowing core, not a tint
        // Left of the centre and above the middle: up toward the light.
        EXPECT_LT(sumX / total, kWidth / 2);
        EXPECT_LT(sumY / total, kHeight / 2);
    }
}

TEST_F(SceneFrames, TheWalkWrapsByWholeFloorRepeatsWithoutChangingThePicture) {
    settings.autocam = false;
    Start();
    const float startX = bodyNode.local[12];
    Frame(0.1); // 5 units of walk
    const Picture walked = Shown();
    const float walkedX = bodyNode.local[12];
    EXPECT_NEAR(walkedX, startX - 5.0f, 1e-4f);

    // The same frame with the body a whole wrap further along: it comes back
    // to the same place, and the picture is the same.
    Start();
    bodyNode.local[12] = startX - kWalkWrap;
    Frame(0.1);
    EXPECT_NEAR(bodyNode.local[12], walkedX, 0.01f);
    const Picture wrapped = Shown();
    EXPECT_LT(ClearlyChanged(walked, wrapped), kWidth * kHeight / 200);
}

// With a 24-bit depth buffer the frame draws the terrain first and the sky
// behind it, and the sky only above the lowest row it can show on; the
// picture is the one of the whole sky first with the terrain over it, in
// views of little sky, much sky, the sun and hills against the sky.
TEST_F(SceneFrames, TheSkyBehindTheTerrainOrCutUnderItGivesThePictureOfTheSkyFirst) {
    struct Way {
        bool behind, cut;
    };
    const Way ways[] = {{false, false}, {true, false}, {false, true}, {true, true}};
    int cut = 0;
    for (double seconds : {1.0, 6.5, 14.0, 20.5, 27.0}) {
        Picture pictures[4];
        for (int w = 0; w < 4; ++w) {
            Start();
            EXPECT_TRUE(skyBehindTerrain);
            skyBehindTerrain = ways[w].behind;
            skyCutUnderTerrain = ways[w].cut;
            RunTo(seconds);
            pictures[w] = Shown();
        }
        cut += LowestSkyRow(terrainRoot,
                            BuildTerrainView(camera, meshes[headNode.meshIndex].position.y),
                            kFieldOfViewDegrees, kNearPlane, kWidth, kHeight) > kHeight / 10;
        int sky = 0;
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x)
                sky += At(pictures[0], x, y).b > At(pictures[0], x, y).r + 20; // the sky shows
        EXPECT_GT(sky, 0) << "at " << seconds << " s";
        for (int w = 1; w < 4; ++w) {
            int differing = 0;
            for (int y = 0; y < kHeight; ++y)
                for (int x = 0; x < kWidth; ++x)
                    differing += Differs(At(pictures[0], x, y), At(pictures[w], x, y));
            EXPECT_EQ(differing, 0) << "at " << seconds << " s, way " << w;
        }
    }
    skyCutUnderTerrain = true;
    EXPECT_GE(cut, 3); // the cut leaves out a tenth of the rows or more
}

// The sky texture is sampled without its mipmaps where the viewport magnifies
// it everywhere (800 x 600 here), with the same picture as with them, and
// keeps them in a small viewport (the tests' 200 x 150, a preview).
TEST_F(SceneFrames, TheSkyDropsItsMipmapsOnlyWhereTheyAreNeverRead) {
    settings.autocam = false;
    const auto skyFilter = [] {
        GLint filter = 0;
        glBindTexture(GL_TEXTURE_2D, textureSlots[0]);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &filter);
        return filter;
    };
    Start();
    camera.cameraPitch = 36.0f; // looking up at the head: mostly sky
    Frame(0.1);
    EXPECT_EQ(skyFilter(), GL_LINEAR_MIPMAP_LINEAR);

    Start(VirtualTimerClock(), kUptime, 800, 600);
    camera.cameraPitch = 36.0f;
    Frame(0.1);
    Frame(0.0); // the same time again: the same picture, nothing moves
    EXPECT_EQ(skyFilter(), GL_LINEAR);
    const std::vector<uint8_t> without = static_cast<OsMesaWindow*>(glWindow)->FrontPixels();
    // The same frame again with the mipmaps back (the frame sets the filter
    // only when its choice changes).
    glBindTexture(GL_TEXTURE_2D, textureSlots[0]);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
    Frame(0.0);
    const std::vector<uint8_t> with = static_cast<OsMesaWindow*>(glWindow)->FrontPixels();
    ASSERT_EQ(without.size(), with.size());
    // The sky's pixels (the character's edges may move by a level from one
    // frame to the next at the same time, with or without this).
    size_t differing = 0, sky = 0;
    for (size_t i = 0; i < with.size(); i += 4) {
        if (with[i + 2] <= with[i] + 20)
            continue;
        ++sky;
        differing +=
            with[i] != without[i] || with[i + 1] != without[i + 1] || with[i + 2] != without[i + 2];
    }
    EXPECT_EQ(differing, 0u);
    EXPECT_GT(sky, with.size() / 4 / 4); // a quarter of the picture or more
}

} // namespace
