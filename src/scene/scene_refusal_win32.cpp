// Windows refusal of a missing heightmap: the reason in a message box, then
// the same clean exit as a window that cannot be created.
#include <windows.h>

#include <cstdlib>

#include "core/render_window.h"
#include "core/shell_state.h"
#include "scene/scene.h"

void RefuseMissingHeightmap() {
    HWND owner = static_cast<HWND>(hostWindow);
    if (owner != nullptr && !IsWindow(owner))
        owner = nullptr;
    MessageBoxA(owner, kMissingHeightmapMessage, "Informacion", MB_OK);
    if (glWindow != nullptr) {
        glWindow->Destroy();
        DeleteGlWindow(glWindow);
        glWindow = nullptr;
    }
    std::exit(0);
}
