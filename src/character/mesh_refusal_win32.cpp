// Windows refusal of a damaged mesh resource: the reason in a message box,
// then the same clean exit as a window that cannot be created.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "character/mesh.h"
#include "core/render_window.h"
#include "core/shell_state.h"

void RefuseDamagedMeshes(const MeshStatus& status) {
    char reason[256];
    FormatMeshError(status, reason, sizeof reason);
    char text[320];
    std::snprintf(text, sizeof text, "%s\ny se cerrara la aplicacion ", reason);
    HWND owner = static_cast<HWND>(hostWindow);
    if (owner != nullptr && !IsWindow(owner))
        owner = nullptr;
    MessageBoxA(owner, text, "Informacion", MB_OK);
    if (glWindow != nullptr) {
        glWindow->Destroy();
        DeleteGlWindow(glWindow);
        glWindow = nullptr;
    }
    std::exit(0);
}
