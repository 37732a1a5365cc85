// FatalError as the host tools and the tests have it (the native saver's is
// the same file): the music and the window go first, then one line named
// after the program, and exit code 1.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "character/mesh.h"
#include "common/asset_folder.h"
#include "core/fatal_error.h"
#include "core/settings.h"
#include "core/shell_state.h"
#include "glwindow/gl_window_osmesa.h"
#include "music/wave_device.h"
#include "scene/scene.h"

namespace {

// Runs at the exit, after FatalError's line: names what was left standing.
void ReportWhatIsLeft() {
    if (NullWave().isOpen || NullWave().threadsStarted != NullWave().threadsEnded)
        std::fputs("the music is left\n", stderr);
    if (glWindow != nullptr)
        std::fputs("the window is left\n", stderr);
    if (meshes != nullptr)
        std::fputs("the meshes are left\n", stderr);
}

TEST(FatalErrorDeathTest, StopsTheMusicAndTearsTheWindowDownThenSaysWhyInOneLine) {
    AssetFolder assets(TAZRO_TEST_ASSET_DIR);
    EXPECT_EXIT(
        {
            SetResourceSource(&assets);
            SetDefaultSettings(settings);
            settings.musica = true;
            hostWindow = nullptr;
            SetOffscreenSize(32, 24);
            SetupScene(nullptr);
            if (glWindow == nullptr || !NullWave().playing || meshes == nullptr)
                std::_Exit(2); // the scene did not start as it should
            std::atexit(ReportWhatIsLeft);
            FatalError("no se puede seguir (42)");
        },
        testing::ExitedWithCode(1), "^tazro_render_tests: no se puede seguir \\(42\\)\n$");
}

} // namespace
