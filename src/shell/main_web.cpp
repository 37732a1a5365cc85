// Entry point of the web edition: the settings (defaults, then what the
// browser stored, then the page's query over them), the scene set up at
// once in the page's canvas, and a frame at every animation frame of the
// browser. The page's script (index.html) sizes the canvas, shows the
// overlay, the hint and the settings panel, and resolves the test hooks.
//
// Both clocks of the scene are the virtual clock: at the start of every
// frame it is set to the page's clock (performance.now) since the set-up,
// over a virtual uptime of an hour as scene2png's; the test hooks ?still and
// ?lapse step it instead, 1/30 s a frame as scene2png does, so that a frame
// of the page can be compared with scene2png's picture of the same time.
#include <emscripten.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "core/embedded_resources.h"
#include "core/gl.h"
#include "core/settings.h"
#include "core/shell_state.h"
#include "glwindow/fps_overlay.h"
#include "glwindow/frame_timer.h"
#include "glwindow/gl_window_web.h"
#include "glwindow/virtual_clock.h"
#include "music/wave_device.h"
#include "music/wave_device_web.h"
#include "music/wave_output.h"
#include "scene/scene.h"
#include "shell/page_music.h"
#include "shell/page_options.h"
#include "shell/settings_store.h"
#include "terrain/name_lists.h"

namespace {

// The tick count at the set-up, in microseconds: scene2png's default uptime.
constexpr int64_t kUptimeMicroseconds = 3600LL * 1000000;
// The virtual frame rate of the test hooks: scene2png's default.
constexpr double kHookFps = 30.0;
// ?bench leaves out this much drawing at the start (the first frames warm
// the shaders and caches up).
constexpr double kBenchWarmUpMs = 1000.0;

EmbeddedResources embeddedResources(kEmbeddedResources, kEmbeddedResourceCount);
PageOptions page;
double setupMs = 0.0;    // the page's clock at the set-up, in milliseconds
int64_t hookFrame = 0;   // frames stepped by a test hook since the set-up
int64_t lapseTarget = 0; // ?lapse: the frame to step up to
bool firstFrameDrawn = false;

FpsCounter fpsCounter;
char shownFps[sizeof fpsCounter.text] = "";

// The median is taken over at most this many frames (the mean over all).
constexpr int32_t kBenchKeptFrames = 8192;

struct Bench {
    double startMs = -1.0; // the first measured frame's start
    double totalMs = 0.0;  // main-thread time of the measured frames
    double longestMs = 0.0;
    int32_t frames = 0;
    double kept[kBenchKeptFrames] = {};
    bool told = false;
} bench;

char settingsText[160];

// clang-format off
EM_JS(int, ReadQuery, (char* out, int capacity), {
    return stringToUTF8(window.location.search, out, capacity);
});
EM_JS(void, PageWarn, (const char* text), { console.warn("tazroscr: " + UTF8ToString(text)); });
EM_JS(void, PageFirstFrame, (), { Module.page.firstFrame(); });
EM_JS(void, PageStill, (), { Module.page.still(); });
EM_JS(void, PageLapse, (double seconds), { Module.page.lapsed(seconds); });
EM_JS(void, PageBench, (double msPerFrame, double medianMs, double longestMs, int frames, int width,
                        int height), {
    Module.page.bench(msPerFrame, medianMs, longestMs, frames, width, height);
});
// clang-format on

// The music's failures, as warnings on the console: the scene goes on.
void WarnMusicFailure(MusicFailure failure) {
    char text[160];
    if (failure == MusicFailure::NoDevice)
        std::snprintf(text, sizeof text, "no sound: %s; the scene goes on silently",
                      PlatformWaveDevice().lastError());
    else
        std::snprintf(text, sizeof text,
                      "the embedded song cannot be loaded; the scene goes on silently");
    PageWarn(text);
}

// Virtual microseconds of hook frame k: scene2png's frame times.
int64_t HookFrameTime(int64_t k) {
    return kUptimeMicroseconds +
           static_cast<int64_t>(std::llround(static_cast<double>(k) * 1e6 / kHookFps));
}

// The frame-rate figure over the canvas (?fps), handed to the page only
// when it changes (about once a second).
void ShowFps() {
    CountFpsFrame(fpsCounter, frameTimer.delta);
    if (std::strcmp(fpsCounter.text, shownFps) == 0)
        return;
    std::memcpy(shownFps, fpsCounter.text, sizeof shownFps);
    glWindow->Print(0.0f, 0.0f, shownFps);
}

// ?still: the frames up to the asked time as scene2png makes them (only
// the last one drawn); afterwards the same picture is drawn again, the
// clocks standing still.
void StillFrame() {
    if (hookFrame > 0) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        DrawScene();
        return;
    }
    const int64_t last = std::max<int64_t>(1, std::llround(page.stillSeconds * kHookFps));
    for (hookFrame = 1; hookFrame < last; ++hookFrame) {
        SetVirtualTime(HookFrameTime(hookFrame));
        UpdateScene();
    }
    SetVirtualTime(HookFrameTime(hookFrame));
    RenderFrame();
    PageStill();
}

// ?lapse: the next virtual frame toward the target, drawn, with the sound
// pulled along to the same virtual time. One a browser frame: more than one
// makes the WebGL driver end its render passes early and warn of it.
void LapseFrame() {
    if (hookFrame >= lapseTarget)
        return;
    ++hookFrame;
    SetVirtualTime(HookFrameTime(hookFrame));
    RenderFrame();
    PullSound(static_cast<uint64_t>(
        std::llround(static_cast<double>(hookFrame) * kMusicRate / kHookFps)));
    if (hookFrame == lapseTarget)
        PageLapse(static_cast<double>(hookFrame) / kHookFps);
}

// ?bench: main-thread time of each frame after the warm-up, told once.
void MeasureFrame(double startMs, double endMs) {
    if (bench.told || startMs - setupMs < kBenchWarmUpMs)
        return;
    if (bench.startMs < 0.0)
        bench.startMs = startMs;
    const double ms = endMs - startMs;
    bench.totalMs += ms;
    bench.longestMs = std::max(bench.longestMs, ms);
    if (bench.frames < kBenchKeptFrames)
        bench.kept[bench.frames] = ms;
    ++bench.frames;
    if (endMs - bench.startMs < page.benchSeconds * 1000.0)
        return;
    bench.told = true;
    const int32_t kept = std::min(bench.frames, kBenchKeptFrames);
    std::nth_element(bench.kept, bench.kept + kept / 2, bench.kept + kept);
    int32_t width = 0, height = 0, bits = 0;
    glWindow->GetSize(width, height, bits);
    PageBench(bench.totalMs / bench.frames, bench.kept[kept / 2], bench.longestMs, bench.frames,
              width, height);
}

void Frame() {
    const double startMs = emscripten_get_now();
    FollowCanvasSize();
    if (page.stillSeconds >= 0.0) {
        StillFrame();
    } else if (page.lapse) {
        LapseFrame();
    } else {
        SetVirtualTime(kUptimeMicroseconds + std::llround((startMs - setupMs) * 1000.0));
        RenderFrame();
    }
    if (page.benchSeconds > 0.0)
        MeasureFrame(startMs, emscripten_get_now());
    if (!firstFrameDrawn) {
        firstFrameDrawn = true;
        PageFirstFrame();
    }
}

} // namespace

extern "C" {

// ?lapse: steps the scene and the sound on until seconds of virtual time
// have passed since the set-up; the page is told when they have.
EMSCRIPTEN_KEEPALIVE void TazroLapseTo(double seconds) {
    if (page.lapse && seconds >= 0.0 && seconds <= kMaxPageSeconds)
        lapseTarget = std::max(lapseTarget, std::llround(seconds * kHookFps));
}

// The settings in force, as a query: what the page's script and the tests
// read back.
EMSCRIPTEN_KEEPALIVE const char* TazroSettingsText() {
    std::snprintf(settingsText, sizeof settingsText,
                  "ninja=%d&sombras=%d&invtex=%d&autocam=%d&musica=%d&interpol=%d&tipo-ilum=%d"
                  "&suelo=%d",
                  settings.ninja, settings.sombras, settings.invtex, settings.autocam,
                  settings.musica, settings.interpol, static_cast<int>(settings.tipoIlum),
                  static_cast<int>(settings.nSuelo));
    return settingsText;
}

// The page goes away: the smoothed frame rate of this run is stored, as a
// full-screen run stores it, for the settings panel to show.
EMSCRIPTEN_KEEPALIVE void TazroStoreFrames() {
    if (page.stillSeconds < 0.0 && !page.lapse)
        StoreFrames(settings.frames);
}

// The user's own module (index.html: the file picker or a file dropped on
// the page): size bytes at bytes, which the page frees afterwards; none
// when the page could not hold them. Why it does not play, in Spanish to
// follow the file's name; empty when it plays.
EMSCRIPTEN_KEEPALIVE const char* TazroPlayModule(const uint8_t* bytes, int32_t size) {
    if (bytes == nullptr)
        return PageModuleRefusal(SongLoadError::kOutOfMemory);
    return PlayPageModule(PlatformWaveDevice(), bytes, static_cast<size_t>(size > 0 ? size : 0));
}

} // extern "C"

int main() {
    SetDefaultSettings(settings);
    BuildNameLists();
    LoadSettings(settings);
    char query[2048];
    ReadQuery(query, sizeof query);
    char message[160];
    if (!ParsePageQuery(query, page, settings, message, sizeof message))
        PageWarn(message);

    SetResourceSource(&embeddedResources);
    SetMusicFailureReport(WarnMusicFailure);
    saverMode = SaverMode::FullScreen;
    hostWindow = nullptr;
    SetSoundPulledByPage(page.lapse);
    SetVirtualTime(kUptimeMicroseconds);
    setupMs = emscripten_get_now();
    SetupScene(nullptr);
    if (page.fps)
        sceneOverlay = ShowFps;
    emscripten_set_main_loop(Frame, 0, false);
    return 0;
}
