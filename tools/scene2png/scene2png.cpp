// scene2png: renders the character off screen (OSMesa) into a PNG file, with
// the same resources, textures, meshes and drawing as the screen saver.
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "character/character_draw.h"
#include "character/math3d.h"
#include "character/mesh.h"
#include "character/scene_node.h"
#include "glwindow/gl.h"
#include "glwindow/osmesa_window.h"
#include "platform/asset_folder.h"
#include "png_writer.h"
#include "shell/shell_state.h"
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
    int keyframe = 0;
    float blend = 0.0f;
    bool interpol = true;
    int lighting = 2;
    bool ninja = false;
    bool invtex = false;
    float pitch = 340.0f;
    float yaw = 31.0f;
    float distance = 30.0f;
    bool whole = false;     // aim at the middle of the body instead of the head
    bool hasCentre = false; // aim at centre instead
    Vec3 centre;
    bool strip = false; // all sixteen keyframes side by side
    int floorSlot = -1; // texture slot of a floor under the character, or none
    float background[3] = {0.30f, 0.34f, 0.40f};
};

void Usage(FILE* out) {
    std::fprintf(
        out,
        "usage: scene2png [options] OUTPUT.png\n"
        "Renders the character off screen with the screen saver's resources and drawing.\n"
        "\n"
        "  --assets DIR        folder of generated assets (default %s)\n"
        "  --size WxH          picture size in pixels (default 640x480; a tile with --strip)\n"
        "  --keyframe K        keyframe 0 to 15 (default 0)\n"
        "  --blend T           blend fraction toward the next keyframe, 0 to 1 (default 0)\n"
        "  --interpol 0|1      keyframe blending, the interpol setting (default 1)\n"
        "  --lighting N        tipoIlum: 1 per face, 2 per vertex, 0 none (default 2)\n"
        "  --ninja             the body in dark clothing\n"
        "  --invtex            textures with red and blue exchanged\n"
        "  --pitch DEG         camera pitch in degrees (default 340)\n"
        "  --yaw DEG           camera yaw in degrees (default 31)\n"
        "  --distance D        camera distance in scene units (default 30)\n"
        "  --whole             aim at the middle of the body instead of the head\n"
        "  --centre X,Y,Z      aim at this point (scene units) instead of the head\n"
        "  --floor SLOT        draw a floor under the character with texture slot 2 or 8\n"
        "  --background R,G,B  clear colour, 0 to 1 each (default 0.30,0.34,0.40)\n"
        "  --strip             all sixteen keyframes side by side in one picture\n"
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
        } else if (arg == "--keyframe") {
            ok = value(v) && ParseInt(v, o.keyframe) && o.keyframe >= 0 && o.keyframe < 16;
        } else if (arg == "--blend") {
            ok = value(v) && ParseFloat(v, o.blend) && o.blend >= 0.0f && o.blend <= 1.0f;
        } else if (arg == "--interpol") {
            int flag = 0;
            ok = value(v) && ParseInt(v, flag) && (flag == 0 || flag == 1);
            o.interpol = flag == 1;
        } else if (arg == "--lighting") {
            ok = value(v) && ParseInt(v, o.lighting);
        } else if (arg == "--ninja") {
            o.ninja = true;
        } else if (arg == "--invtex") {
            o.invtex = true;
        } else if (arg == "--pitch") {
            ok = value(v) && ParseFloat(v, o.pitch);
        } else if (arg == "--yaw") {
            ok = value(v) && ParseFloat(v, o.yaw);
        } else if (arg == "--distance") {
            ok = value(v) && ParseFloat(v, o.distance) && o.distance > 0.0f;
        } else if (arg == "--whole") {
            o.whole = true;
        } else if (arg == "--centre") {
            ok = value(v) && std::sscanf(v, "%f,%f,%f", &o.centre.x, &o.centre.y, &o.centre.z) == 3;
            o.hasCentre = ok;
        } else if (arg == "--strip") {
            o.strip = true;
        } else if (arg == "--floor") {
            ok = value(v) && ParseInt(v, o.floorSlot) && o.floorSlot >= 0 &&
                 o.floorSlot < kTextureSlotCount;
        } else if (arg == "--background") {
            ok = value(v) && std::sscanf(v, "%f,%f,%f", &o.background[0], &o.background[1],
                                         &o.background[2]) == 3;
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

} // namespace

int main(int argc, char** argv) {
    Options o;
    const int parsed = ParseOptions(argc, argv, o);
    if (parsed != 0)
        return parsed < 0 ? 0 : parsed;

    AssetFolder assets(o.assets);
    SetResourceSource(&assets);

    SetOffscreenSize(o.width, o.height);
    glWindow = NewGlWindow();
    glWindow->Create(hostWindow, nullptr, SaverMode::FullScreen);
    auto& window = *static_cast<OsMesaWindow*>(glWindow);

    if (!LoadSceneTextures(o.invtex)) {
        for (int slot = 0; slot < kTextureSlotCount; ++slot)
            if (textureSlots[slot] == 0)
                std::fprintf(stderr,
                             "scene2png: warning: bitmap %d not found in %s; slot %d is "
                             "drawn untextured\n",
                             kTextureBitmapIds[slot], o.assets.c_str(), slot);
    }
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
    glWindow->Destroy();
    DeleteGlWindow(glWindow);
    glWindow = nullptr;
    FreeCharacterMeshes();
    if (!written) {
        std::fprintf(stderr, "scene2png: cannot write %s\n", o.output.c_str());
        return 1;
    }
    return 0;
}
