// The scene: set up once, then one frame per idle moment of the main loop.
//
// SetupScene makes the window and loads everything; RenderFrame advances what
// moves with time (the frame rate, the ten keyframe steps per second, the
// walk, the camera) and draws the sky, the terrain and its floor, the shadows
// and the character, each over the ones before, then presents the picture.
// Where the depth buffer allows, the sky is drawn after the terrain, behind
// it, so that it is not shaded where the terrain covers it. The two clocks
// come through injected sources: the frame timer's counter (frameTimer) and
// the tick count (ReadTickCount), so off-screen tools can draw any frame at a
// chosen virtual time.
#pragma once

#include <cstdint>

#include "core/render_window.h"
#include "scene/animation.h"
#include "scene/frame_rate.h"
#include "terrain/terrain.h"

extern FrameRate frameRate;
// The 10 Hz keyframe clock and the blend fraction passed to the drawing.
extern KeyframeClock keyframeClock;
// The terrain quadtree; null until the set-up builds it.
extern TerrainNode* terrainRoot;

// Whether the frame draws the terrain first and the sky behind it (true) or
// the sky first as plain background; the picture is the same. Behind needs a
// depth buffer that tells the farthest terrain (within about 37,000 units of
// the eye) from the dome on the same line of sight (beyond about 80,000
// units) with the far plane at 10,000,000 units: 24 bits set them some 20
// steps apart or more, 16 bits not at all. SetupScene sets it from the
// window's depth bits.
extern bool skyBehindTerrain;
inline constexpr int kSkyBehindTerrainDepthBits = 24;

// Whether the sky is drawn only on the rows above the lowest one it can show
// on (LowestSkyRow): below it the terrain fills the window's width, so the
// picture is the same with less shading. On unless a test compares.
extern bool skyCutUnderTerrain;

// The character walks along -x at this many scene units per second.
inline constexpr float kWalkSpeed = 50.0f;
// The body's walked translation is brought back by this many units whenever
// it has gone that far from its start: a whole number of floor-texture
// repeats (1,000 units each), so the picture does not change, while the
// coordinates keep the precision the drawing needs however long the run.
inline constexpr float kWalkWrap = 10000.0f;

// Creates the GL window from hostWindow and saverMode, takes the first timer
// reading, blanks both colour buffers, starts the music (when musica is on),
// loads the nine textures, prepares the meshes, builds the nodes, the camera
// and the terrain. A window that cannot be created, a damaged mesh resource
// or a missing heightmap ends the process through FatalError
// (core/fatal_error.h), which stops the music and tears the window down
// before it tells the user.
void SetupScene(InstanceHandle instance);

// Advances everything that moves with time and draws one complete frame.
// Allocates nothing.
void RenderFrame();

// The update half of a frame, without any drawing: body materials, timer and
// frame rate, keyframe step, walk and camera (RenderFrame's steps between the
// clear and the drawing). Tools use it to advance frames they do not draw.
void UpdateScene();

// The drawing half of a frame, after UpdateScene: sky and terrain (in the
// order skyBehindTerrain chooses), shadows, character, the overlay when one is
// set, then glFlush and Swap.
void DrawScene();

// One keyframe step at tick count nowMs (milliseconds): blendFraction 0, the
// clock restarts, every animated node moves to its next keyframe and the head
// and the sword take their transforms from the new keyframes.
void StepAnimation(uint64_t nowMs);

// Material of every body keyframe: the dark clothing when ninja is on, else
// the normal one.
void SetBodyMaterials(bool ninja);

// Moves the body along its own -x axis by walkSpeed / instantFps, keeping the
// translation within kWalkWrap of where it started.
void WalkBody(float instantFps);

// The parts of a drawn frame (Sky and Terrain in either order).
enum class ScenePart { Sky, Terrain, Shadows, Character, Present };
// Called, when set, after each part of DrawScene (Shadows also when they are
// off); the benchmark times the parts with it. Null in the screen saver.
using ScenePartHook = void (*)(ScenePart part);
extern ScenePartHook scenePartHook;

// Called, when set, after the character and before the picture is
// presented: the native saver draws its frame-rate line with it. Null
// otherwise. Whatever state it changes, the next frame sets again.
using SceneOverlay = void (*)();
extern SceneOverlay sceneOverlay;

// The screen saver's shutdown, in its order: the music first (it waits for the
// mixer thread), then the GL window is destroyed and deleted, then the meshes
// are freed. The rest of the set-up goes with the process.
void ShutdownScene();

// Releases what SetupScene made (music, window, meshes, terrain), for tools
// and tests that set a scene up more than once. The screen saver's own
// shutdown releases only what it must.
void ReleaseScene();
