// Windows bitmap loading: the system decodes the resource and resolves its
// palette into 24-bit pixels.
#include <windows.h>

#include <new>

#include "terrain/textures.h"

BitmapPixels LoadBitmapPixels(int resourceId) {
    BitmapPixels result;
    HBITMAP bitmap =
        static_cast<HBITMAP>(LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(resourceId),
                                        IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    if (bitmap == nullptr)
        return result;
    BITMAP info = {};
    if (GetObjectA(bitmap, sizeof info, &info) == 0 || info.bmWidth <= 0 || info.bmHeight <= 0) {
        DeleteObject(bitmap);
        return result;
    }
    HDC context = CreateCompatibleDC(nullptr);
    if (context == nullptr) {
        DeleteObject(bitmap);
        return result;
    }
    HGDIOBJ previous = SelectObject(context, bitmap);

    BITMAPINFO wanted = {};
    wanted.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    wanted.bmiHeader.biWidth = info.bmWidth;
    wanted.bmiHeader.biHeight = info.bmHeight; // positive: bottom-up
    wanted.bmiHeader.biPlanes = 1;
    wanted.bmiHeader.biBitCount = 24;
    wanted.bmiHeader.biCompression = BI_RGB;

    const int32_t stride = ((info.bmWidth * 3 + 3) / 4) * 4;
    uint8_t* pixels = new (std::nothrow)
        uint8_t[static_cast<size_t>(stride) * static_cast<size_t>(info.bmHeight)];
    if (pixels != nullptr && GetDIBits(context, bitmap, 0, static_cast<UINT>(info.bmHeight), pixels,
                                       &wanted, DIB_RGB_COLORS) == info.bmHeight) {
        result.width = info.bmWidth;
        result.height = info.bmHeight;
        result.stride = stride;
        result.pixels = pixels;
    } else {
        delete[] pixels;
    }
    SelectObject(context, previous);
    DeleteDC(context);
    DeleteObject(bitmap);
    return result;
}
