#include "glwindow/gl_window_win32.h"

#include "core/fatal_error.h"
#include "core/gl.h"
#include "core/shell_state.h"
#include "glwindow/gl_state.h"

namespace {

constexpr const char* kClassName = "XIOpenGL";
constexpr const char* kTitle = "Fan Tazro Screensaver 3D";
constexpr const char* kCaption = "Informacion";

void Inform(HWND owner, const char* text) {
    MessageBoxA(owner, text, kCaption, MB_OK);
}

} // namespace

RenderWindow* glWindow = nullptr;

RenderWindow* NewGlWindow() {
    return new GlWindow();
}

void DeleteGlWindow(RenderWindow* window) {
    delete static_cast<GlWindow*>(window);
}

void GlWindow::Create(WindowHandle& host, InstanceHandle inst, SaverMode mode) {
    // Only a live window can be the parent: a number that names none, or one
    // the system reads as a special parent (-3, message-only windows), is none.
    window = IsWindow(static_cast<HWND>(host)) ? static_cast<HWND>(host) : nullptr;
    instance = static_cast<HINSTANCE>(inst);

    RECT rect = {0, 0, 0, 0};
    if (mode == SaverMode::FullScreen) {
        rect.right = GetSystemMetrics(SM_CXSCREEN);
        rect.bottom = GetSystemMetrics(SM_CYSCREEN);
    } else {
        RECT hostRect;
        // A host window that cannot be read leaves a zero rectangle; the
        // child window then fails to be created in any case.
        if (window != nullptr && GetWindowRect(window, &hostRect)) {
            rect.right = hostRect.right - hostRect.left;
            rect.bottom = hostRect.bottom - hostRect.top;
        }
    }

    if (!BuildWindow(kTitle, rect, 32, mode)) {
        // The closing box is owned by what the failing step left: the host
        // window when registration failed, else none (the clean-up has
        // destroyed the GL window and cleared its handle).
        host = window;
        window = nullptr; // a host window is not this one's to destroy
        FatalError("La ventana no se ha podido crear");
    }

    CreateOverlayFont();
    created = true;
    host = window;
}

bool GlWindow::BuildWindow(const char* title, RECT rect, int32_t bits, SaverMode mode) {
    WNDCLASSA windowClass = {};
    windowClass.style = CS_HREDRAW | CS_VREDRAW | CS_OWNDC;
    windowClass.lpfnWndProc = GlWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(101));
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.lpszClassName = kClassName;
    if (RegisterClassA(&windowClass) == 0) {
        Inform(window, "No se puede registrar la clase de la ventana");
        return false;
    }

    const DWORD exStyle = WS_EX_APPWINDOW | WS_EX_WINDOWEDGE;
    DWORD style;
    if (mode == SaverMode::FullScreen) {
        style = WS_POPUP;
        window = nullptr;
    } else {
        style = WS_CHILD | WS_VISIBLE;
    }

    RECT adjusted = rect;
    AdjustWindowRectEx(&adjusted, style, FALSE, exStyle);
    // A child window needs a parent (Create keeps only a live one): without
    // one it is not created at all.
    if (mode == SaverMode::FullScreen || window != nullptr)
        window = CreateWindowExA(exStyle, kClassName, title, style, adjusted.left, adjusted.top,
                                 adjusted.right - adjusted.left, adjusted.bottom - adjusted.top,
                                 window, nullptr, instance, nullptr);
    else
        window = nullptr;
    if (window == nullptr) {
        Inform(nullptr, "No se puede crear la ventana");
        CleanUp();
        return false;
    }

    deviceContext = GetDC(window);
    if (deviceContext == nullptr) {
        Inform(window, "No se puede adquirir el DC");
        CleanUp();
        return false;
    }

    PIXELFORMATDESCRIPTOR format = {};
    format.nSize = sizeof(PIXELFORMATDESCRIPTOR);
    format.nVersion = 1;
    format.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    format.iPixelType = PFD_TYPE_RGBA;
    format.cColorBits = static_cast<BYTE>(bits);
    format.cDepthBits = 16;
    format.iLayerType = PFD_MAIN_PLANE;
    const int chosen = ChoosePixelFormat(deviceContext, &format);
    if (chosen == 0) {
        Inform(window, "Fallo al elegir el formato del pixel");
        CleanUp();
        return false;
    }
    if (!SetPixelFormat(deviceContext, chosen, &format)) {
        Inform(window, "Fallo al cambiar el formato del pixel");
        CleanUp();
        return false;
    }

    glContext = wglCreateContext(deviceContext);
    if (glContext == nullptr) {
        Inform(window, "Imposible crear el contexto de OpenGl");
        CleanUp();
        return false;
    }
    if (!wglMakeCurrent(deviceContext, glContext)) {
        Inform(window, "Imposible seleccionar el contexto de OpenGl");
        CleanUp();
        return false;
    }

    ShowWindow(window, SW_SHOW);
    SetForegroundWindow(window);
    SetFocus(window);

    Resize(rect.right - rect.left, rect.bottom - rect.top);
    width = rect.right;
    height = rect.bottom;
    colourBits = bits;
    ApplyFixedGlState();
    return true;
}

void GlWindow::CleanUp() {
    if (glContext != nullptr) {
        wglMakeCurrent(nullptr, nullptr);
        wglDeleteContext(glContext);
        glContext = nullptr;
    }
    if (deviceContext != nullptr) {
        ReleaseDC(window, deviceContext);
        deviceContext = nullptr;
    }
    if (window != nullptr) {
        DestroyWindow(window);
        window = nullptr;
    }
    UnregisterClassA(kClassName, instance);
}

void GlWindow::CreateOverlayFont() {
    fontBase = glGenLists(96);
    HFONT font = CreateFontA(-12, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET,
                             OUT_TT_PRECIS, CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, 0, "Arial");
    // The font stays selected into the window's own device context for the
    // window's life and goes with it.
    SelectObject(deviceContext, font);
    wglUseFontBitmapsA(deviceContext, 32, 96, fontBase);
}

void GlWindow::Destroy() {
    if (created)
        glDeleteLists(fontBase, 96);
    CleanUp();
    created = false;
}

void GlWindow::GetSize(int32_t& w, int32_t& h, int32_t& bits) {
    w = width;
    h = height;
    bits = colourBits;
}

void GlWindow::GetRect(WindowRect& out) {
    RECT r = {0, 0, 0, 0};
    GetWindowRect(window, &r);
    out = WindowRect{r.left, r.top, r.right, r.bottom};
}

void GlWindow::Resize(int32_t w, int32_t h) {
    ApplyViewportProjection(w, h);
    height = h == 0 ? 1 : h;
    width = w;
}

void GlWindow::Swap() {
    SwapBuffers(deviceContext);
}

void GlWindow::Print(float x, float y, const char* text) {
    PrintWithFont(fontBase, x, y, text);
}

LRESULT CALLBACK GlWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    const bool fullScreen = saverMode == SaverMode::FullScreen;
    switch (message) {
    case WM_SIZE:
        if (glWindow != nullptr)
            glWindow->Resize(LOWORD(lParam), HIWORD(lParam));
        return 0;
    case WM_ACTIVATE:
        return 0;
    case WM_SETCURSOR:
        if (fullScreen)
            ShowCursor(FALSE);
        break;
    case WM_KEYDOWN:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
        if (fullScreen)
            PostQuitMessage(0);
        return 0;
    case WM_CLOSE:
        PostQuitMessage(0);
        return 0;
    case WM_SYSCOMMAND:
        if (fullScreen && (wParam == SC_SCREENSAVE || wParam == SC_MONITORPOWER))
            return 0;
        break;
    case WM_MOUSEMOVE:
        if (fullScreen) {
            POINT cursor;
            if (GetCursorPos(&cursor) && CursorLeftStart(startCursor, cursor.x, cursor.y))
                PostQuitMessage(0);
        }
        break;
    case WM_DESTROY:
        PostQuitMessage(0);
        break;
    default:
        break;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}
