#include "scene/scene.h"

#include <cmath>

#include "character/character_draw.h"
#include "character/mesh.h"
#include "character/scene_node.h"
#include "core/fatal_error.h"
#include "core/gl.h"
#include "core/settings.h"
#include "core/shell_state.h"
#include "glwindow/frame_timer.h"
#include "glwindow/gl_state.h"
#include "glwindow/tick_count.h"
#include "scene/camera.h"
#include "scene/scene_music.h"
#include "scene/shadows.h"
#include "scene/sky.h"
#include "terrain/terrain_draw.h"
#include "terrain/terrain_skyline.h"
#include "terrain/textures.h"

FrameRate frameRate;
KeyframeClock keyframeClock;
TerrainNode* terrainRoot = nullptr;
ScenePartHook scenePartHook = nullptr;
SceneOverlay sceneOverlay = nullptr;
bool skyBehindTerrain = false;
bool skyCutUnderTerrain = true;

namespace {

// Texture slots of the sun's two layers.
constexpr int kSunGlowSlot = 4;
constexpr int kSunHaloSlot = 5;

// Where the body's walk started (its translation x after the set-up).
float walkStartX = 0.0f;

// The sky texture's most texels per radian on the dome, and the minifying
// filter it has now (the textures are loaded with their mipmaps).
float skyTexelsPerRadian = 0.0f;
GLint skyMinFilter = GL_LINEAR_MIPMAP_LINEAR;

// The sky's lowest row is worked out every frame in this space.
SkylineScratch skylineScratch;

void ClearColourBuffer() {
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT);
}

void DrawDome(void*) {
    DrawMeshUnlit(meshes[domeNode.meshIndex], textureSlots);
}

void PartDone(ScenePart part) {
    if (scenePartHook != nullptr)
        scenePartHook(part);
}

} // namespace

void SetupScene(InstanceHandle instance) {
    instanceHandle = instance;
    glWindow = NewGlWindow();
    glWindow->Create(hostWindow, instanceHandle, saverMode);
    UpdateTimer(frameTimer);

    // Both buffers black while the rest loads.
    ClearColourBuffer();
    glWindow->Swap();
    ClearColourBuffer();

    StartSceneMusic();

    // A texture that cannot be loaded leaves its slot 0 (drawn untextured).
    LoadSceneTextures(settings.invtex);

    GLint depthBits = 0;
    glGetIntegerv(GL_DEPTH_BITS, &depthBits);
    skyBehindTerrain = depthBits >= kSkyBehindTerrainDepthBits;

    MeshStatus status;
    if (!PrepareCharacterMeshes(status)) {
        char reason[256];
        FormatMeshError(status, reason, sizeof reason);
        FatalError(reason);
    }
    BuildCharacterNodes(meshes);
    walkStartX = bodyNode.local[12];
    skyTexelsPerRadian = DomeTexelsPerRadian(meshes[domeNode.meshIndex], kTextureSize);
    skyMinFilter = GL_LINEAR_MIPMAP_LINEAR;

    ResetCamera(camera);

    const uint8_t* heightmap = LockHeightmap(instanceHandle);
    if (terrainRoot != nullptr)
        FreeTerrain(&terrainRoot);
    if (!BuildTerrain(&terrainRoot, kTerrainDepth, heightmap))
        FatalError(kMissingHeightmapMessage);

    // The frame's own figures start afresh: the first frame steps the
    // keyframes and smooths its rate from 30.
    frameRate = FrameRate{};
    keyframeClock = KeyframeClock{};
}

void SetBodyMaterials(bool ninja) {
    const int32_t material = ninja ? kNinjaBodyMaterial : kBodyMaterial;
    for (int k = 0; k < kKeyframeCount; ++k)
        meshes[kFirstBodyMesh + 2 * k].material = material;
}

void StepAnimation(uint64_t nowMs) {
    MarkKeyframeStep(keyframeClock, nowMs);
    AdvanceKeyframeIndices(bodyNode.meshIndex, headNode.meshIndex, swordNode.meshIndex);
    ComposeChildLocal(headNode, bodyNode, meshes);
    ComposeChildLocal(swordNode, bodyNode, meshes);
}

void WalkBody(float instantFps) {
    Mat4ApplyTranslateNeg(bodyNode.local, Vec3{kWalkSpeed / instantFps, 0.0f, 0.0f});
    if (bodyNode.local[12] < walkStartX - kWalkWrap)
        bodyNode.local[12] += kWalkWrap;
}

void UpdateScene() {
    SetBodyMaterials(settings.ninja);

    UpdateTimer(frameTimer);
    UpdateFrameRate(frameRate, frameTimer.delta);
    settings.frames = frameRate.averageFps;

    // At most one keyframe step per frame, however long the frame was.
    const uint64_t now = ReadTickCount();
    if (KeyframeStepDue(keyframeClock, now))
        StepAnimation(now);

    // A frame in which no time passed (two readings in the same millisecond)
    // or the time went back (the millisecond clock's wrap) walks nothing.
    if (frameTimer.delta > 0.0 && std::isfinite(frameTimer.delta))
        WalkBody(frameRate.instantFps);

    UpdateCamera(camera, settings.autocam, frameRate.instantFps, frameTimer.delta, bodyNode.local,
                 meshes[headNode.meshIndex].position, meshes[bodyNode.meshIndex].position);
}

namespace {

Mat4 TerrainView() {
    return BuildTerrainView(camera, meshes[headNode.meshIndex].position.y);
}

// Where the viewport magnifies the sky texture everywhere its mipmaps are
// never read: it is then sampled without them, the same picture for less
// work; a smaller viewport (a preview) keeps them.
void ChooseSkyFilter(const GLint (&viewport)[4]) {
    const GLint filter =
        SkyTextureMagnified(skyTexelsPerRadian, viewport[3]) ? GL_LINEAR : GL_LINEAR_MIPMAP_LINEAR;
    const int32_t slot = meshes[domeNode.meshIndex].material;
    if (filter == skyMinFilter || slot < 0 || slot >= kTextureSlotCount)
        return;
    glBindTexture(GL_TEXTURE_2D, textureSlots[slot]);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
    skyMinFilter = filter;
}

// The sky and the sun over the rows the terrain may leave uncovered: the
// scissor drops the dome's fragments below them, all of which the terrain
// hides (drawn first) or the depth test rejects (drawn behind).
void DrawSceneSky(bool behind) {
    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    ChooseSkyFilter(viewport);
    const int32_t row = skyCutUnderTerrain
                            ? LowestSkyRow(terrainRoot, TerrainView(), kFieldOfViewDegrees,
                                           kNearPlane, viewport[2], viewport[3], skylineScratch)
                            : 0;
    if (row > 0) {
        glEnable(GL_SCISSOR_TEST);
        glScissor(viewport[0], viewport[1] + row, viewport[2], viewport[3] - row);
    }
    DrawSky(BuildSkyView(camera.characterView), DrawDome, nullptr, textureSlots[kSunGlowSlot],
            textureSlots[kSunHaloSlot], behind);
    glDisable(GL_SCISSOR_TEST);
}

// The terrain: opaque, depth-tested and written, back faces culled (the
// state the sky leaves, set here for when the terrain comes first).
void DrawSceneTerrain() {
    glEnable(GL_DEPTH_TEST);
    glDepthMask(GL_TRUE);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
    glDisable(GL_BLEND);
    glLoadMatrixf(TerrainView().m);
    DrawTerrainPasses(terrainRoot, textureSlots[FloorSlot(settings.nSuelo)], bodyNode.local);
}

void DrawSceneShadows() {
    DrawShadows(bodyNode, headNode, swordNode, meshes, kMeshCount);
}

void DrawSceneCharacter() {
    DrawSceneNode(CopySceneNode(bodyNode), meshes, textureSlots, settings.tipoIlum,
                  settings.interpol, keyframeClock.blendFraction);
}

} // namespace

void DrawScene() {
    // Fixed state of every frame.
    glColor3f(1.0f, 1.0f, 1.0f);
    glBindTexture(GL_TEXTURE_2D, 0);
    glMatrixMode(GL_MODELVIEW);

    // The character's view is the base of the stack for every part.
    glLoadIdentity();
    glMultMatrixf(camera.characterView.m);
    // The terrain, the dome and the sun are drawn in white, where modulating
    // the texture gives the texture itself: replacing it gives the same
    // picture with less work per pixel.
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    if (skyBehindTerrain) {
        // The terrain first, then the sky behind it: the same picture as the
        // sky first with the terrain over it, but the sky is shaded only
        // where the terrain left the screen uncovered.
        glPushMatrix();
        DrawSceneTerrain();
        PartDone(ScenePart::Terrain);
        glPopMatrix();
        glPushMatrix();
        DrawSceneSky(true); // replaces the top of the stack with its own matrices
        PartDone(ScenePart::Sky);
        glPopMatrix();
    } else {
        glPushMatrix();
        DrawSceneSky(false);
        PartDone(ScenePart::Sky);
        glPopMatrix();
        glPushMatrix();
        DrawSceneTerrain();
        PartDone(ScenePart::Terrain);
        glPopMatrix();
    }

    // Shadows lie over the floor and the terrain wherever they fall.
    glDisable(GL_DEPTH_TEST);
    if (settings.sombras)
        DrawSceneShadows();
    PartDone(ScenePart::Shadows);
    glDisable(GL_BLEND);
    glEnable(GL_DEPTH_TEST);

    // The character's grey levels multiply its textures.
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    DrawSceneCharacter();
    PartDone(ScenePart::Character);

    if (sceneOverlay != nullptr)
        sceneOverlay();
    glFlush();
    glWindow->Swap();
    PartDone(ScenePart::Present);
}

void RenderFrame() {
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    UpdateScene();
    DrawScene();
}

void ShutdownScene() {
    StopSceneMusic();
    if (glWindow != nullptr) {
        glWindow->Destroy();
        DeleteGlWindow(glWindow);
        glWindow = nullptr;
    }
    FreeCharacterMeshes();
}

void ReleaseScene() {
    ShutdownScene();
    FreeTerrain(&terrainRoot);
    for (uint32_t& slot : textureSlots)
        slot = 0;
}
