// Entry point: decode the switch, load the settings, then run a dialog or the
// scene with its message loop, and tear down.
#include <windows.h>

#include "core/settings.h"
#include "core/shell_state.h"
#include "scene/scene.h"
#include "shell/command_line.h"
#include "shell/config_dialog.h"
#include "shell/settings_store.h"
#include "terrain/name_lists.h"

namespace {

HWND WindowFromNumber(uint32_t number) {
    // Window handles are 32-bit values, sign-extended in a 64-bit process.
    return reinterpret_cast<HWND>(static_cast<intptr_t>(static_cast<int32_t>(number)));
}

// The system's password dialog, through MPR.DLL loaded at run time; nothing
// happens on a system without it.
void ChangePassword(HWND owner) {
    HMODULE mpr = LoadLibraryA("MPR.DLL");
    if (mpr == nullptr)
        return;
    using PwdChangePassword = DWORD(WINAPI*)(LPCSTR, HWND, DWORD, void*);
    auto change = reinterpret_cast<PwdChangePassword>(
        reinterpret_cast<void*>(GetProcAddress(mpr, "PwdChangePasswordA")));
    if (change != nullptr)
        change("SCRSAVE", owner, 0, nullptr);
    FreeLibrary(mpr);
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    const CommandLine command = DecodeCommandLine(GetCommandLineA());
    saverMode = command.mode;
    hostWindow =
        command.ownerIsForeground ? GetForegroundWindow() : WindowFromNumber(command.hostWindow);
    // A number that names no window (including the values Windows reads as
    // special parents, such as -3 for message-only windows) is no owner and
    // no parent: the dialogs then have no owner, and a preview fails as for
    // a missing host window.
    if (!IsWindow(static_cast<HWND>(hostWindow)))
        hostWindow = nullptr;

    SetDefaultSettings(settings);
    LoadSettings(settings);
    BuildNameLists();

    if (saverMode == SaverMode::ChangePassword)
        ChangePassword(static_cast<HWND>(hostWindow));
    if (saverMode == SaverMode::Configure)
        RunConfigDialog(hostWindow);

    if (saverMode == SaverMode::FullScreen) {
        POINT cursor = {0, 0};
        GetCursorPos(&cursor);
        startCursor = ScreenPoint{cursor.x, cursor.y};
    } else if (saverMode == SaverMode::Preview) {
        settings.musica = false; // for this run only; the stored value stays
    } else {
        return 0;
    }

    SetupScene(instance);

    BOOL previous = FALSE;
    if (saverMode == SaverMode::FullScreen)
        SystemParametersInfoA(SPI_SETSCREENSAVERRUNNING, TRUE, &previous, 0);

    MSG message = {};
    for (;;) {
        if (!PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            RenderFrame();
            continue;
        }
        if (message.message == WM_QUIT)
            break;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }

    if (saverMode == SaverMode::FullScreen) {
        SystemParametersInfoA(SPI_SETSCREENSAVERRUNNING, FALSE, &previous, 0);
        StoreFrames(settings.frames);
    }
    ShutdownScene();
    return static_cast<int>(message.wParam);
}
