// The configuration dialog (resource 108) and the credits dialog (resource
// 109): the dialog procedures and the control calls. What the controls show
// and how they are read back lives in config_controls.cpp.
#include <windows.h>

#include "shell/config_controls.h"
#include "shell/config_dialog.h"
#include "shell/settings_store.h"
#include "terrain/name_lists.h"

namespace {

class DialogControls final : public ConfigControls {
  public:
    explicit DialogControls(HWND dialog) : dialog_(dialog) {}

    void AppendComboName(int comboId, const char* name) override {
        // Inserting at -1 appends, so the sorted style does not reorder the list.
        SendDlgItemMessageA(dialog_, comboId, CB_INSERTSTRING, static_cast<WPARAM>(-1),
                            reinterpret_cast<LPARAM>(name));
    }

    void SetComboText(int comboId, const char* text) override {
        SetDlgItemTextA(dialog_, comboId, text);
    }

    std::string GetComboText(int comboId) override {
        char text[kMaxComboText + 1] = {};
        GetDlgItemTextA(dialog_, comboId, text, sizeof text);
        return text;
    }

    void SetChecked(int buttonId, bool checked) override {
        CheckDlgButton(dialog_, buttonId, checked ? BST_CHECKED : BST_UNCHECKED);
    }

    bool IsChecked(int buttonId) override {
        return IsDlgButtonChecked(dialog_, buttonId) == BST_CHECKED;
    }

    void SetText(int controlId, const char* text) override {
        SetDlgItemTextA(dialog_, controlId, text);
    }

  private:
    HWND dialog_;
};

// A bitmap static sizes its window to its picture, but the sunken edge then
// takes a pixel on each side of the client area and the picture is squeezed
// into what is left (with the default stretch mode, neighbouring pixels are
// ANDed into wrong colours). Growing each picture's window by its frame shows
// the whole picture at its own size; where the client area already fits the
// picture, nothing changes.
void FitPicturesInTheirFrames(HWND dialog) {
    for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        char className[16] = "";
        GetClassNameA(child, className, sizeof className);
        if (lstrcmpiA(className, "Static") != 0 ||
            (GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) != SS_BITMAP)
            continue;
        HANDLE picture =
            reinterpret_cast<HANDLE>(SendMessageA(child, STM_GETIMAGE, IMAGE_BITMAP, 0));
        BITMAP size = {};
        if (picture == nullptr || GetObjectA(picture, sizeof size, &size) == 0)
            continue;
        RECT window = {};
        RECT client = {};
        GetWindowRect(child, &window);
        GetClientRect(child, &client);
        SetWindowPos(child, nullptr, 0, 0,
                     size.bmWidth + (window.right - window.left) - client.right,
                     size.bmHeight + (window.bottom - window.top) - client.bottom,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

// The credits close only through their OK button or Enter; Esc sends Cancel,
// which is left unhandled.
INT_PTR CALLBACK CreditsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        ShowCursor(TRUE);
        FitPicturesInTheirFrames(dialog);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) {
            EndDialog(dialog, 1);
            return TRUE;
        }
        return FALSE;
    default:
        return FALSE;
    }
}

INT_PTR CALLBACK ConfigDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    using namespace ConfigControlId;
    DialogControls controls(dialog);
    switch (message) {
    case WM_INITDIALOG:
        ShowCursor(TRUE);
        FillConfigControls(controls, settings, cameraList, floorList, true);
        controls.SetText(kFrames, FormatFrames(settings.frames).c_str());
        return TRUE; // the system sets the focus
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case kOk:
            ReadConfigControls(controls, settings, cameraList, floorList);
            SaveSettings(settings);
            ShowCursor(FALSE);
            EndDialog(dialog, 1);
            return TRUE;
        case kCancel:
            ShowCursor(FALSE);
            EndDialog(dialog, 2);
            return TRUE;
        case kCredits:
            DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(109), dialog,
                            CreditsDialogProc, 0);
            return TRUE;
        case kDefaults:
            // Every field but frames; nothing is stored until OK.
            SetDefaultSettings(settings);
            FillConfigControls(controls, settings, cameraList, floorList, false);
            return TRUE;
        default:
            return FALSE;
        }
    default:
        return FALSE;
    }
}

} // namespace

void RunConfigDialog(WindowHandle owner) {
    DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(108), static_cast<HWND>(owner),
                    ConfigDialogProc, 0);
}
