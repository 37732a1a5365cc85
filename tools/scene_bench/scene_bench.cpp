// scene_bench: what one frame of the scene costs.
//
//  1. The update alone (body materials, timer, frame rate, keyframe step,
//     walk, camera), many frames in a row.
//  2. The whole frame through OSMesa (software rendering on the processor,
//     so much slower than a graphics card), frames per second.
//  3. Where the drawing time goes: each part of the frame ends with glFinish
//     so its work is counted to it (this costs a little on its own).
// Beside the time on the clock, the processor time of the whole process (all
// of the renderer's threads), which is what a frame costs the machine.
//
// The frames follow the camera tour at a virtual 60 frames per second, so
// the figures average over the views of the tour. Figures are printed, never
// checked: speed goals are not tests.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <time.h>

#include "common/asset_folder.h"
#include "core/gl.h"
#include "core/settings.h"
#include "core/shell_state.h"
#include "glwindow/frame_timer.h"
#include "glwindow/gl_window_osmesa.h"
#include "glwindow/virtual_clock.h"
#include "scene/scene.h"

#ifndef TAZRO_DEFAULT_ASSET_DIR
#define TAZRO_DEFAULT_ASSET_DIR "assets"
#endif

namespace {

using Clock = std::chrono::steady_clock;

constexpr int64_t kFrameMicroseconds = 16667; // virtual 60 frames per second
int64_t virtualNow = int64_t{3600} * 1000000;

void NextVirtualFrame() {
    virtualNow += kFrameMicroseconds;
    SetVirtualTime(virtualNow);
}

double Seconds(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double>(to - from).count();
}

// Processor seconds of the whole process so far, all threads.
double ProcessorSeconds() {
    timespec now = {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

// Time of each part of the drawing, summed over the measured frames.
constexpr int kPartCount = 5;
const char* const kPartNames[kPartCount] = {"sky and sun", "terrain and floor", "shadows",
                                            "character", "flush and present"};
double partSeconds[kPartCount] = {};
double partProcessor[kPartCount] = {};
Clock::time_point partStart;
double partProcessorStart = 0.0;

void TimePart(ScenePart part) {
    glFinish();
    const Clock::time_point now = Clock::now();
    const double processor = ProcessorSeconds();
    partSeconds[static_cast<int>(part)] += Seconds(partStart, now);
    partProcessor[static_cast<int>(part)] += processor - partProcessorStart;
    partStart = now;
    partProcessorStart = processor;
}

void Usage() {
    std::printf("usage: scene_bench [--assets DIR] [--size WxH] [--frames N] [--no-shadows]\n"
                "Measures one frame of the scene: the update alone, and the whole frame\n"
                "drawn off screen (OSMesa), with the time of each part of the drawing.\n"
                "Defaults: the build's assets, 1024x768, 120 drawn frames, shadows on.\n");
}

} // namespace

int main(int argc, char** argv) {
    std::string assetsDir = TAZRO_DEFAULT_ASSET_DIR;
    int width = 1024, height = 768, frames = 120;
    bool shadows = true;
    for (int i = 1; i < argc; ++i) {
        const bool hasValue = i + 1 < argc;
        if (std::strcmp(argv[i], "--help") == 0) {
            Usage();
            return 0;
        } else if (std::strcmp(argv[i], "--assets") == 0 && hasValue) {
            assetsDir = argv[++i];
        } else if (std::strcmp(argv[i], "--size") == 0 && hasValue) {
            if (std::sscanf(argv[++i], "%dx%d", &width, &height) != 2 || width <= 0 ||
                height <= 0 || width > 8192 || height > 8192) {
                std::fprintf(stderr, "scene_bench: bad size %s\n", argv[i]);
                return 2;
            }
        } else if (std::strcmp(argv[i], "--frames") == 0 && hasValue) {
            frames = std::atoi(argv[++i]);
            if (frames <= 0 || frames > 100000) {
                std::fprintf(stderr, "scene_bench: bad frame count %s\n", argv[i]);
                return 2;
            }
        } else if (std::strcmp(argv[i], "--no-shadows") == 0) {
            shadows = false;
        } else {
            std::fprintf(stderr, "scene_bench: unknown option %s (see --help)\n", argv[i]);
            return 2;
        }
    }

    AssetFolder assets(assetsDir);
    SetResourceSource(&assets);
    SetDefaultSettings(settings);
    settings.musica = false;
    settings.sombras = shadows;
    saverMode = SaverMode::FullScreen;
    SetOffscreenSize(width, height);
    InitTimer(frameTimer, VirtualTimerClock());
    SetVirtualTime(virtualNow);

    const Clock::time_point setupStart = Clock::now();
    SetupScene(nullptr);
    const double setup = Seconds(setupStart, Clock::now());
    std::printf("scene set-up (window, textures, meshes, terrain): %.1f ms\n", setup * 1e3);

    // 1. The update alone.
    const int updates = 200000;
    const Clock::time_point updateStart = Clock::now();
    for (int k = 0; k < updates; ++k) {
        NextVirtualFrame();
        UpdateScene();
    }
    const double update = Seconds(updateStart, Clock::now()) / updates;
    std::printf("update alone: %.3f us per frame (%d frames)\n", update * 1e6, updates);

    // 2. The whole frame, as the saver draws it.
    for (int k = 0; k < 5; ++k) { // warm-up: first use of every texture and path
        NextVirtualFrame();
        RenderFrame();
    }
    const Clock::time_point frameStart = Clock::now();
    const double frameProcessorStart = ProcessorSeconds();
    for (int k = 0; k < frames; ++k) {
        NextVirtualFrame();
        RenderFrame();
    }
    glFinish();
    const double frame = Seconds(frameStart, Clock::now()) / frames;
    const double frameProcessor = (ProcessorSeconds() - frameProcessorStart) / frames;
    std::printf("whole frame at %dx%d, shadows %s: %.2f ms, %.1f frames per second, processor "
                "%.2f ms (%d frames)\n",
                width, height, shadows ? "on" : "off", frame * 1e3, 1.0 / frame,
                frameProcessor * 1e3, frames);

    // 3. The parts, each finished before the next starts.
    double clearAndUpdate = 0.0, clearAndUpdateProcessor = 0.0;
    scenePartHook = TimePart;
    for (int k = 0; k < frames; ++k) {
        NextVirtualFrame();
        const Clock::time_point start = Clock::now();
        const double processorStart = ProcessorSeconds();
        glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        UpdateScene();
        glFinish();
        partStart = Clock::now();
        partProcessorStart = ProcessorSeconds();
        clearAndUpdate += Seconds(start, partStart);
        clearAndUpdateProcessor += partProcessorStart - processorStart;
        DrawScene();
    }
    scenePartHook = nullptr;
    double total = clearAndUpdate, totalProcessor = clearAndUpdateProcessor;
    for (int p = 0; p < kPartCount; ++p) {
        total += partSeconds[p];
        totalProcessor += partProcessor[p];
    }
    std::printf("where the time goes (each part finished with glFinish; %.2f ms per frame, "
                "processor %.2f ms):\n",
                total / frames * 1e3, totalProcessor / frames * 1e3);
    std::printf("  %-20s %8.3f ms  %5.1f %%  processor %8.3f ms\n", "clear and update",
                clearAndUpdate / frames * 1e3, 100.0 * clearAndUpdate / total,
                clearAndUpdateProcessor / frames * 1e3);
    for (int p = 0; p < kPartCount; ++p)
        std::printf("  %-20s %8.3f ms  %5.1f %%  processor %8.3f ms\n", kPartNames[p],
                    partSeconds[p] / frames * 1e3, 100.0 * partSeconds[p] / total,
                    partProcessor[p] / frames * 1e3);

    ReleaseScene();
    return 0;
}
