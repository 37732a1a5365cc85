// scene2png: renders frames of the screen saver off screen (OSMesa) into PNG
// files. By default the whole scene goes through the saver's own SetupScene
// and RenderFrame at chosen virtual times and settings; the character mode
// draws the character alone at a chosen keyframe, for close looks at the model.
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "character/character_draw.h"
#include "character/mesh.h"
#include "character/scene_node.h"
#include "common/asset_folder.h"
#include "core/gl.h"
#include "core/math3d.h"
#include "core/settings.h"
#include "core/shell_state.h"
#include "glwindow/frame_timer.h"
#include "glwindow/gl_window_osmesa.h"
#include "glwindow/virtual_clock.h"
#include "png_file.h"
#include "scene/camera.h"
#include "scene/scene.h"
#include "terrain/textures.h"

#ifndef TAZRO_DEFAULT_ASSET_DIR
#define TAZRO_DEFAULT_ASSET_DIR "assets"
#endif

namespace {

struct Options {
    std::string assets = TAZRO_DEFAULT_ASSET_DIR;
    std::string output;
    int width = 640;
    int height = 480;
    bool characterOnly = false; // the character mode
    // Settings (both modes read the ones that apply to them).
    bool ninja = false;
    bool invtex = false;
    bool sombras = true;
    bool autocam = true;
    bool interpol = true;
    int lighting = 2;
    int floorSlot = -1; // nSuelo in the scene (default 2); the floor under the character
    // Camera: the scene's start values, or the character mode's fixed view.
    bool hasPitch = false, hasYaw = false, hasDistance = false;
    float pitch = kStartCameraPitch;
    float yaw = kStartCameraYaw;
    float distance = kStartCameraDistance;
    // Time of the scene mode, in seconds.
    double start = 0.0;     // first picture, after the set-up
    double fps = 30.0;      // frames per second simulated
    int frames = 1;         // pictures written
    double every = 0.0;     // seconds between pictures (0: every frame)
    double uptime = 3600.0; // system uptime at the set-up (the tick count)
    // Character mode only.
    int keyframe = 0;
    float blend = 0.0f;
    bool whole = false;     // aim at the middle of the body instead of the head
    bool hasCentre = false; // aim at centre instead
    Vec3 centre;
    bool strip = false; // all sixteen keyframes side by side
    float background[3] = {0.30f, 0.34f, 0.40f};
};

void Usage(FILE* out) {
    std::fprintf(
        out,
        "usage: scene2png [options] OUTPUT.png\n"
        "Renders frames of the screen saver off screen into PNG files, with its resources,\n"
        "set-up and frame. With --frames N above 1 the pictures are OUTPUT-0000.png,\n"
        "OUTPUT-0001.png, ... (the number inserted before .png).\n"
        "\n"
        "  --assets DIR        folder of generated assets (default %s)\n"
        "  --size WxH          picture size in pixels (default 640x480; a tile with --strip)\n"
        "\n"
        "Settings (the saver's registry values):\n"
        "  --ninja             the body in dark clothing (ninja)\n"
        "  --invtex            textures with red and blue exchanged (invtex)\n"
        "  --sombras 0|1       shadows (default 1)\n"
        "  --autocam 0|1       the camera tour (default 1)\n"
        "  --interpol 0|1      keyframe blending (default 1)\n"
        "  --tipoIlum N        lighting: 2 per vertex, 1 per face, 0 none (default 2);\n"
        "                      also --lighting N\n"
        "  --nSuelo N          floor texture slot: 2 dry earth, 8 lava, others the default\n"
        "                      (default 2); also --floor N\n"
        "\n"
        "Time (the whole scene; frames between pictures are advanced, not drawn):\n"
        "  --start S           seconds after the set-up of the first picture (default: the\n"
        "                      first frame)\n"
        "  --fps F             frames per second of virtual time (default 30)\n"
        "  --frames N          number of pictures (default 1)\n"
        "  --every S           seconds between pictures (default: every frame)\n"
        "  --uptime S          system uptime in seconds at the set-up (default 3600)\n"
        "  --pitch DEG         camera start pitch in degrees (default 340)\n"
        "  --yaw DEG           camera start yaw in degrees (default 31)\n"
        "  --distance D        camera start distance in scene units (default 30)\n"
        "                      (with --autocam 1 the tour moves on from these)\n"
        "\n"
        "Character mode (the character alone, a fixed camera at pitch, yaw, distance):\n"
        "  --character         select it (implied by the options below)\n"
        "  --keyframe K        keyframe 0 to 15 (default 0)\n"
        "  --blend T           blend fraction toward the next keyframe, 0 to 1 (default 0)\n"
        "  --whole             aim at the middle of the body instead of the head\n"
        "  --centre X,Y,Z      aim at this point (scene units) instead of the head\n"
        "  --background R,G,B  clear colour, 0 to 1 each (default 0.30,0.34,0.40)\n"
        "  --strip             all sixteen keyframes side by side in one picture\n"
        "  --floor SLOT        draws a floor under the character with texture slot 0 to 8\n"
        "\n"
        "  --help              this text\n",
        TAZRO_DEFAULT_ASSET_DIR);
}

bool ParseFloat(const char* text, float& out) {
    char* end = nullptr;
    errno = 0;
    const float value = std::strtof(text, &end);
    if (end == text || *end != '\0' || errno != 0 || !std::isfinite(value))
        return false;
    out = value;
    return true;
}

bool ParseDouble(const char* text, double& out) {
    char* end = nullptr;
    errno = 0;
    const double value = std::strtod(text, &end);
    if (end == text || *end != '\0' || errno != 0 || !std::isfinite(value))
        return false;
    out = value;
    return true;
}

bool ParseFlag(const char* text, bool& out) {
    if (std::strcmp(text, "0") == 0 || std::strcmp(text, "1") == 0) {
        out = text[0] == '1';
        return true;
    }
    return false;
}

bool ParseInt(const char* text, int& out) {
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || errno != 0 || value < -1000000 || value > 1000000)
        return false;
    out = static_cast<int>(value);
    return true;
}

// Returns 0 to go on, otherwise the exit code.
int ParseOptions(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](const char*& out) {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "scene2png: %s needs a value\n", arg.c_str());
                return false;
            }
            out = argv[++i];
            return true;
        };
        const char* v = nullptr;
        bool ok = true;
        if (arg == "--help" || arg == "-h") {
            Usage(stdout);
            return -1;
        } else if (arg == "--assets") {
            ok = value(v);
            if (ok)
                o.assets = v;
        } else if (arg == "--size") {
            ok = value(v) && std::sscanf(v, "%dx%d", &o.width, &o.height) == 2 && o.width > 0 &&
                 o.height > 0 && o.width <= 8192 && o.height <= 8192;
        } else if (arg == "--character") {
            o.characterOnly = true;
        } else if (arg == "--keyframe") {
            ok = value(v) && ParseInt(v, o.keyframe) && o.keyframe >= 0 && o.keyframe < 16;
            o.characterOnly = true;
        } else if (arg == "--blend") {
            ok = value(v) && ParseFloat(v, o.blend) && o.blend >= 0.0f && o.blend <= 1.0f;
            o.characterOnly = true;
        } else if (arg == "--interpol") {
            ok = value(v) && ParseFlag(v, o.interpol);
        } else if (arg == "--sombras") {
            ok = value(v) && ParseFlag(v, o.sombras);
        } else if (arg == "--autocam") {
            ok = value(v) && ParseFlag(v, o.autocam);
        } else if (arg == "--lighting" || arg == "--tipoIlum") {
            ok = value(v) && ParseInt(v, o.lighting);
        } else if (arg == "--ninja") {
            o.ninja = true;
        } else if (arg == "--invtex") {
            o.invtex = true;
        } else if (arg == "--pitch") {
            ok = value(v) && ParseFloat(v, o.pitch);
            o.hasPitch = true;
        } else if (arg == "--yaw") {
            ok = value(v) && ParseFloat(v, o.yaw);
            o.hasYaw = true;
        } else if (arg == "--distance") {
            ok = value(v) && ParseFloat(v, o.distance) && o.distance > 0.0f;
            o.hasDistance = true;
        } else if (arg == "--whole") {
            o.whole = true;
            o.characterOnly = true;
        } else if (arg == "--centre") {
            ok = value(v) && std::sscanf(v, "%f,%f,%f", &o.centre.x, &o.centre.y, &o.centre.z) == 3;
            o.hasCentre = ok;
            o.characterOnly = true;
        } else if (arg == "--strip") {
            o.strip = true;
            o.characterOnly = true;
        } else if (arg == "--floor" || arg == "--nSuelo") {
            ok = value(v) && ParseInt(v, o.floorSlot);
        } else if (arg == "--background") {
            ok = value(v) && std::sscanf(v, "%f,%f,%f", &o.background[0], &o.background[1],
                                         &o.background[2]) == 3;
            o.characterOnly = true;
        } else if (arg == "--start") {
            ok = value(v) && ParseDouble(v, o.start) && o.start >= 0.0 && o.start <= 1e6;
        } else if (arg == "--fps") {
            ok = value(v) && ParseDouble(v, o.fps) && o.fps >= 0.1 && o.fps <= 10000.0;
        } else if (arg == "--frames") {
            ok = value(v) && ParseInt(v, o.frames) && o.frames >= 1 && o.frames <= 100000;
        } else if (arg == "--every") {
            ok = value(v) && ParseDouble(v, o.every) && o.every >= 0.0 && o.every <= 1e6;
        } else if (arg == "--uptime") {
            ok = value(v) && ParseDouble(v, o.uptime) && o.uptime >= 0.0 && o.uptime <= 1e12;
        } else if (!arg.empty() && arg[0] == '-') {
            std::fprintf(stderr, "scene2png: unknown option %s (see --help)\n", arg.c_str());
            return 2;
        } else if (o.output.empty()) {
            o.output = arg;
        } else {
            std::fprintf(stderr, "scene2png: more than one output file given\n");
            return 2;
        }
        if (!ok) {
            std::fprintf(stderr, "scene2png: bad value for %s (see --help)\n", arg.c_str());
            return 2;
        }
    }
    if (o.output.empty()) {
        Usage(stderr);
        return 2;
    }
    if (o.characterOnly && o.floorSlot >= kTextureSlotCount) {
        std::fprintf(stderr, "scene2png: the character's floor is a texture slot 0 to 8\n");
        return 2;
    }
    return 0;
}

// The orbit camera of the scene: the centre in the middle of the picture,
// the eye at the given distance, turned by yaw and then pitch (degrees).
Mat4 OrbitView(const Vec3& centre, float pitch, float yaw, float distance) {
    Mat4 view = Mat4Translate(Mat4Identity(), Vec3Set(-centre.x, -centre.y, -centre.z));
    view = Mat4Multiply(Mat4RotationY(yaw * 0.017453292f), view);
    view = Mat4Multiply(Mat4RotationX(pitch * 0.017453292f), view);
    view[14] -= distance;
    return view;
}

void DrawFloor(int slot) {
    const float half = 400.0f, repeats = 4.0f;
    glCullFace(GL_BACK);
    glColor3f(1.0f, 1.0f, 1.0f);
    glBindTexture(GL_TEXTURE_2D, textureSlots[slot]);
    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, 0.0f);
    glVertex3f(-half, 0.0f, half);
    glTexCoord2f(repeats, 0.0f);
    glVertex3f(half, 0.0f, half);
    glTexCoord2f(repeats, repeats);
    glVertex3f(half, 0.0f, -half);
    glTexCoord2f(0.0f, repeats);
    glVertex3f(-half, 0.0f, -half);
    glEnd();
}

void RenderKeyframe(const Options& o, int keyframe) {
    bodyNode.meshIndex = kFirstBodyMesh + 2 * keyframe;
    headNode.meshIndex = kFirstHeadMesh + 2 * keyframe;
    swordNode.meshIndex = kFirstSwordMesh + keyframe;
    ComposeChildLocal(headNode, bodyNode, meshes);
    ComposeChildLocal(swordNode, bodyNode, meshes);
    for (int k = 0; k < kKeyframeCount; ++k)
        meshes[kFirstBodyMesh + 2 * k].material = o.ninja ? kNinjaBodyMaterial : kBodyMaterial;

    const Mesh& body = meshes[bodyNode.meshIndex];
    const Mesh& head = meshes[headNode.meshIndex];
    Vec3 centre = Mat4TransformPoint(bodyNode.local, Vec3Set(head.position.x - body.position.x,
                                                             head.position.y - body.position.y,
                                                             head.position.z - body.position.z));
    if (o.whole)
        centre = Vec3Set(0.0f, 25.0f, 0.0f);
    if (o.hasCentre)
        centre = o.centre;

    glClearColor(o.background[0], o.background[1], o.background[2], 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_MODELVIEW);
    glLoadMatrixf(OrbitView(centre, o.pitch, o.yaw, o.distance).m);
    if (o.floorSlot >= 0)
        DrawFloor(o.floorSlot);
    DrawSceneNode(CopySceneNode(bodyNode), meshes, textureSlots, o.lighting, o.interpol, o.blend);
    glWindow->Swap();
}

// Copies the window's picture (RGBA, bottom row first) into an RGB image
// (top row first) at column x0 of a picture imageWidth wide.
void CopyTile(const OsMesaWindow& window, std::vector<uint8_t>& image, int imageWidth, int x0) {
    const std::vector<uint8_t>& rgba = window.FrontPixels();
    for (int y = 0; y < window.height; ++y) {
        const uint8_t* source =
            rgba.data() + static_cast<size_t>(window.height - 1 - y) * window.width * 4;
        uint8_t* target = image.data() + (static_cast<size_t>(y) * imageWidth + x0) * 3;
        for (int x = 0; x < window.width; ++x) {
            target[3 * x] = source[4 * x];
            target[3 * x + 1] = source[4 * x + 1];
            target[3 * x + 2] = source[4 * x + 2];
        }
    }
}

// OUTPUT with "-NNNN" inserted before its ".png" (or appended) for picture
// index when more than one picture is written.
std::string PicturePath(const Options& o, int index) {
    if (o.frames <= 1)
        return o.output;
    char number[16];
    std::snprintf(number, sizeof number, "-%04d", index);
    const size_t dot = o.output.size() >= 4 ? o.output.size() - 4 : std::string::npos;
    if (dot != std::string::npos && o.output.compare(dot, 4, ".png") == 0)
        return o.output.substr(0, dot) + number + ".png";
    return o.output + number;
}

void WarnMissingTextures(const Options& o) {
    for (int slot = 0; slot < kTextureSlotCount; ++slot)
        if (textureSlots[slot] == 0)
            std::fprintf(stderr,
                         "scene2png: warning: bitmap %d not found in %s; slot %d is drawn "
                         "untextured\n",
                         kTextureBitmapIds[slot], o.assets.c_str(), slot);
}

// The character alone: one keyframe, or the sixteen side by side.
int RenderCharacter(const Options& o) {
    glWindow = NewGlWindow();
    glWindow->Create(hostWindow, nullptr, SaverMode::FullScreen);
    auto& window = *static_cast<OsMesaWindow*>(glWindow);

    if (!LoadSceneTextures(o.invtex))
        WarnMissingTextures(o);
    MeshStatus status;
    if (!PrepareCharacterMeshes(status)) {
        char text[256];
        FormatMeshError(status, text, sizeof text);
        std::fprintf(stderr, "scene2png: %s (assets: %s)\n", text, o.assets.c_str());
        return 1;
    }
    BuildCharacterNodes(meshes);

    const int tiles = o.strip ? kKeyframeCount : 1;
    const int imageWidth = o.width * tiles;
    std::vector<uint8_t> image(static_cast<size_t>(imageWidth) * o.height * 3);
    for (int t = 0; t < tiles; ++t) {
        RenderKeyframe(o, o.strip ? t : o.keyframe);
        CopyTile(window, image, imageWidth, t * o.width);
    }

    const bool written = WritePng(o.output, imageWidth, o.height, image);
    ReleaseScene();
    if (!written) {
        std::fprintf(stderr, "scene2png: cannot write %s\n", o.output.c_str());
        return 1;
    }
    return 0;
}

// Virtual microseconds of frame k after the set-up at base.
int64_t FrameTime(int64_t base, const Options& o, int64_t k) {
    return base + static_cast<int64_t>(std::llround(static_cast<double>(k) * 1e6 / o.fps));
}

// The whole scene through the saver's set-up and frame at virtual times: the
// set-up at the uptime, then one frame every 1 / fps seconds. The frames
// before and between pictures are advanced without drawing.
int RenderScene(const Options& o) {
    SetDefaultSettings(settings);
    settings.ninja = o.ninja;
    settings.invtex = o.invtex;
    settings.sombras = o.sombras;
    settings.autocam = o.autocam;
    settings.interpol = o.interpol;
    settings.musica = false;
    settings.tipoIlum = o.lighting;
    if (o.floorSlot != -1)
        settings.nSuelo = o.floorSlot;
    saverMode = SaverMode::FullScreen;
    hostWindow = nullptr;

    const int64_t base = static_cast<int64_t>(std::llround(o.uptime * 1e6));
    InitTimer(frameTimer, VirtualTimerClock());
    SetVirtualTime(base);
    SetupScene(nullptr); // a damaged or missing resource ends the process with its message
    WarnMissingTextures(o);
    if (o.hasPitch)
        camera.cameraPitch = o.pitch;
    if (o.hasYaw)
        camera.cameraYaw = o.yaw;
    if (o.hasDistance)
        camera.cameraDistance = o.distance;
    auto& window = *static_cast<OsMesaWindow*>(glWindow);

    const int64_t first = std::max<int64_t>(1, std::llround(o.start * o.fps));
    const int64_t spacing = std::max<int64_t>(1, std::llround(o.every * o.fps));
    const int64_t last = first + spacing * (o.frames - 1);
    std::vector<uint8_t> image(static_cast<size_t>(o.width) * o.height * 3);
    int picture = 0;
    for (int64_t k = 1; k <= last; ++k) {
        SetVirtualTime(FrameTime(base, o, k));
        if (k < first || (k - first) % spacing != 0) {
            UpdateScene();
            continue;
        }
        RenderFrame();
        CopyTile(window, image, o.width, 0);
        const std::string path = PicturePath(o, picture);
        if (!WritePng(path, o.width, o.height, image)) {
            std::fprintf(stderr, "scene2png: cannot write %s\n", path.c_str());
            ReleaseScene();
            return 1;
        }
        if (o.frames > 1)
            std::fprintf(stderr, "scene2png: %s at %.3f s (%d of %d)\n", path.c_str(),
                         static_cast<double>(k) / o.fps, picture + 1, o.frames);
        ++picture;
    }
    ReleaseScene();
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    Options o;
    const int parsed = ParseOptions(argc, argv, o);
    if (parsed != 0)
        return parsed < 0 ? 0 : parsed;

    AssetFolder assets(o.assets);
    SetResourceSource(&assets);
    SetOffscreenSize(o.width, o.height);
    return o.characterOnly ? RenderCharacter(o) : RenderScene(o);
}
