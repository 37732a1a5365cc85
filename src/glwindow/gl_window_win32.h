// The Windows implementation of RenderWindow: a WGL window.
#pragma once

#ifndef _WIN32
#error "gl_window_win32.h is the Windows window; the host uses its own RenderWindow"
#endif

#include <windows.h>

#include "core/render_window.h"

class GlWindow final : public RenderWindow {
  public:
    GlWindow() = default;

    void Create(WindowHandle& hostWindow, InstanceHandle instance, SaverMode mode) override;
    void Destroy() override;
    void GetSize(int32_t& width, int32_t& height, int32_t& colourBits) override;
    void GetRect(WindowRect& rect) override;
    void Resize(int32_t width, int32_t height) override;
    void Swap() override;
    void Print(float x, float y, const char* text) override;

  private:
    bool BuildWindow(const char* title, RECT rect, int32_t bits, SaverMode mode);
    void CleanUp();
    void CreateOverlayFont();

  public:
    uint32_t fontBase = 0;
    bool created = false;
    HWND window = nullptr;
    HINSTANCE instance = nullptr;
    HDC deviceContext = nullptr;
    HGLRC glContext = nullptr;
    int32_t height = 0;
    int32_t width = 0;
    int32_t colourBits = 0;
};

LRESULT CALLBACK GlWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
