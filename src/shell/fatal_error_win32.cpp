// The Windows saver's end when it cannot go on: the music and the window go
// first, then the reason in the Spanish message box, then a clean exit.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "core/fatal_error.h"
#include "core/shell_state.h"
#include "scene/scene.h"

void FatalError(const char* reason) {
    ShutdownScene();
    // Destroying the window posted a quit; the box's own message loop would
    // take it and close the box before the user could read it.
    MSG quit;
    PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
    char text[512];
    std::snprintf(text, sizeof text, "%s\ny se cerrara la aplicacion ", reason);
    HWND owner = static_cast<HWND>(hostWindow);
    if (owner != nullptr && !IsWindow(owner))
        owner = nullptr;
    MessageBoxA(owner, text, "Informacion", MB_OK);
    std::exit(0);
}
