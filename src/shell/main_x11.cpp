// Entry point of the native saver, an XScreenSaver hack: the settings from
// the options over the defaults, the scene set up in the window the options
// name, a frame every --delay microseconds until a stop signal, the window's
// end or, in its own window, the user closes it, with the user's music moved
// on between frames; then the shutdown, with the music first. The exit code is 0 when a signal, the
// window's end or the user ends the run; 2 after a bad option. When it cannot go on (no window to
// draw into, no X server, a request the server refuses, a damaged resource) FatalError says why and
// ends it with 1.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "core/embedded_resources.h"
#include "core/fatal_error.h"
#include "core/settings.h"
#include "core/shell_state.h"
#include "core/version.h"
#include "glwindow/fps_overlay.h"
#include "glwindow/frame_timer.h"
#include "glwindow/gl_window_x11.h"
#include "music/playlist.h"
#include "music/wave_device.h"
#include "music/wave_output.h"
#include "scene/scene.h"
#include "scene/scene_music.h"
#include "shell/hack_options.h"
#include "shell/stop_signals.h"
#include "terrain/name_lists.h"

namespace {

constexpr const char* kProgram = "tazroscr";
// The frame-rate line starts this many pixels from the lower left corner.
constexpr float kFpsMargin = 8.0f;
// Of the copies on one X display (XScreenSaver starts one per screen or
// monitor), the one that owns this selection plays the music; a silent one
// looks this often whether it has been given up, and then takes the music
// over, from the start of the song.
constexpr const char* kMusicSelection = "_TAZRO_MUSIC";
constexpr int64_t kClaimLookMicroseconds = 1000000;

EmbeddedResources embeddedResources(kEmbeddedResources, kEmbeddedResourceCount);
FpsCounter fpsCounter;

void DrawFpsLine() {
    CountFpsFrame(fpsCounter, frameTimer.delta);
    if (fpsCounter.text[0] == '\0')
        return;
    int32_t width = 0, height = 0, bits = 0;
    glWindow->GetSize(width, height, bits);
    float x = 0.0f, y = 0.0f;
    OverlayPrintPosition(width, height, kFpsMargin, kFpsMargin, x, y);
    glWindow->Print(x, y, fpsCounter.text);
}

void ReportMusicFailure(MusicFailure failure) {
    if (failure == MusicFailure::NoDevice)
        std::fprintf(stderr, "%s: no sound: %s; the scene goes on silently\n", kProgram,
                     PlatformWaveDevice().lastError());
    else
        std::fprintf(stderr, "%s: the embedded song cannot be loaded; the scene goes on silently\n",
                     kProgram);
}

// A line about the user's music (a file skipped, the embedded song instead).
void ReportMusicLine(const char* line) {
    std::fprintf(stderr, "%s: %s\n", kProgram, line);
}

// The seed of the user's music order: another order at every run.
uint64_t MusicSeed() {
    const uint64_t now =
        static_cast<uint64_t>(std::chrono::system_clock::now().time_since_epoch().count());
    return now ^ (static_cast<uint64_t>(getpid()) << 40);
}

// The X connection broke (the server ended, or the session): Xlib would end
// the process with code 1 once this returns, and nothing can be drawn or
// released on that connection any more. The music is stopped (its thread
// ended, the sound device dropped and closed) and the run ends with 0, as
// for a stop signal.
void ConnectionLost() {
    StopSceneMusic();
    std::fflush(stdout);
    std::fflush(stderr);
    _exit(0);
}

// The scene's shutdown (music first), then the connection.
void Shutdown() {
    ShutdownScene();
    DisconnectDisplay();
}

// Handles the window's events and waits until the next frame is due at
// deadline (monotonic microseconds), a stop signal comes or the window's
// events end the run.
WindowRun WaitForNextFrame(int64_t deadline) {
    for (;;) {
        const WindowRun run = HandleWindowEvents();
        if (run != WindowRun::Go || StopSignalled())
            return run;
        const int64_t left = deadline - MonotonicMicroseconds();
        if (left <= 0)
            return WindowRun::Go;
        WaitForInputOrStop(DisplayConnectionFd(), left);
    }
}

} // namespace

int main(int argc, char** argv) {
    InstallStopSignals();

    SetDefaultSettings(settings);
    BuildNameLists();
    HackOptions options;
    char message[256];
    switch (ParseHackOptions(argc, argv, options, settings, message, sizeof message)) {
    case HackCommand::Help:
        PrintHackUsage(stdout, kProgram);
        return 0;
    case HackCommand::Version:
        std::printf("%s %s\n", kProgram, TAZRO_VERSION);
        return 0;
    case HackCommand::Error:
        std::fprintf(stderr, "%s: %s\n", kProgram, message);
        PrintHackUsage(stderr, kProgram);
        return 2;
    case HackCommand::Run:
        break;
    }
    WindowTarget target;
    if (!ResolveWindowTarget(options, std::getenv("XSCREENSAVER_WINDOW"), target, message,
                             sizeof message))
        FatalError(message);

    SetResourceSource(&embeddedResources);
    SetMusicFailureReport(ReportMusicFailure);
    if (options.musicPath != nullptr)
        SetSceneMusicFiles(options.musicPath, PlatformMusicFiles(), ReportMusicLine, MusicSeed());
    if (StopSignalled())
        return 0;
    ConnectDisplay(ConnectionLost);
    switch (target.kind) {
    case WindowTargetKind::Own:
        hostWindow = nullptr;
        break;
    case WindowTargetKind::Root:
        hostWindow = RootWindowHandle();
        break;
    case WindowTargetKind::Given:
        hostWindow = WindowHandleFromId(target.id);
        break;
    }
    // The scene runs until something ends it, in the window hostWindow names
    // (none: a window of its own).
    if (StopSignalled()) {
        DisconnectDisplay();
        return 0;
    }
    const bool musicWanted = settings.musica;
    settings.musica = musicWanted && ClaimSelection(kMusicSelection);
    SetupScene(nullptr);
    if (options.fps)
        sceneOverlay = DrawFpsLine;

    int64_t nextClaimLook = MonotonicMicroseconds() + kClaimLookMicroseconds;
    while (!StopSignalled()) {
        const int64_t frameStart = MonotonicMicroseconds();
        RenderFrame();
        StepSceneMusic();
        if (musicWanted && !settings.musica && frameStart >= nextClaimLook) {
            nextClaimLook = frameStart + kClaimLookMicroseconds;
            settings.musica = ClaimSelection(kMusicSelection) && !StopSignalled();
            StartSceneMusic();
        }
        // The delay counts from the start of the frame, the frame's own time
        // included; 0 draws the next frame at once.
        const WindowRun run = WaitForNextFrame(frameStart + options.delayMicroseconds);
        if (run == WindowRun::Failed) {
            char reason[320];
            std::snprintf(reason, sizeof reason, "the X server refused: %s", WindowRunError());
            FatalError(reason);
        }
        if (run == WindowRun::Gone)
            std::fprintf(stderr, "%s: the window it draws into has gone\n", kProgram);
        if (run != WindowRun::Go)
            break;
    }
    Shutdown();
    return 0;
}
