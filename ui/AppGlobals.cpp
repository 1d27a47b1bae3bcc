#include "AppGlobals.h"

HINSTANCE AppInstance = nullptr;
int SystemMajorVersion = 0;
HWND MainWindowHandle = nullptr;

INT_PTR OlderLookColour(UINT message, WPARAM deviceContext)
{
    if (!IsOlderLook())
        return 0;
    switch (message) {
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:
        SetBkColor(reinterpret_cast<HDC>(deviceContext), GetSysColor(COLOR_BTNFACE));
        return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_BTNFACE));
    default:
        return 0;
    }
}
