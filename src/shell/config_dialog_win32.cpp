// The configuration dialog.
#include <windows.h>

#include "shell/config_dialog.h"

namespace {

INT_PTR CALLBACK ConfigDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, LOWORD(wParam));
            return TRUE;
        }
        break;
    default:
        break;
    }
    return FALSE;
}

} // namespace

void RunConfigDialog(WindowHandle owner) {
    DialogBoxParamA(nullptr, MAKEINTRESOURCEA(108), static_cast<HWND>(owner), ConfigDialogProc, 0);
}
