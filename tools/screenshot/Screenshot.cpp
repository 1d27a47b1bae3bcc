#include "Screenshot.h"

#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

void SaveScreenshotIfAsked(const wchar_t* name)
{
    const wchar_t* folder = _wgetenv(L"KAGERO_SCREENSHOTS");
    if (!folder || !*folder)
        return;
    // Everything on screen paints first, the desktop and then each window: a test often asks right after
    // showing, and a sheet's tab strip is otherwise caught half painted.
    const UINT redraw = RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW;
    RedrawWindow(nullptr, nullptr, nullptr, redraw);
    for (HWND top = GetTopWindow(nullptr); top; top = GetWindow(top, GW_HWNDNEXT))
        RedrawWindow(top, nullptr, nullptr, redraw);
    GdiFlush();

    const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    BITMAPINFO info = {{sizeof(BITMAPINFOHEADER), width, height, 1, 24, BI_RGB, 0, 0, 0, 0, 0}, {}};
    std::vector<BYTE> pixels(((width * 3 + 3) & ~3) * height);
    HDC screen = GetDC(nullptr), memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY);
    SelectObject(memory, previous);
    GetDIBits(memory, bitmap, 0, height, pixels.data(), &info, DIB_RGB_COLORS);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);

    const DWORD offset = sizeof(BITMAPFILEHEADER) + sizeof(info.bmiHeader);
    const BITMAPFILEHEADER file = {0x4D42, static_cast<DWORD>(offset + pixels.size()), 0, 0, offset};
    const std::wstring path = std::wstring(folder) + L"\\" + name + L".bmp";
    HANDLE out = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(out, &file, sizeof(file), &written, nullptr);
    WriteFile(out, &info.bmiHeader, sizeof(info.bmiHeader), &written, nullptr);
    WriteFile(out, pixels.data(), static_cast<DWORD>(pixels.size()), &written, nullptr);
    CloseHandle(out);
}
