// Base of the objects that back the program's windows.
#pragma once

#include <windows.h>

// Common controls learn of a colour-scheme change only from their parent,
// which passes WM_SYSCOLORCHANGE down with this.
inline void ForwardToChildren(HWND parent, UINT message, WPARAM wParam, LPARAM lParam)
{
    for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        SendMessageW(child, message, wParam, lParam);
}

class WindowObject {
public:
    virtual ~WindowObject() = default;
    virtual LRESULT OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        return DefWindowProcW(window, message, wParam, lParam);
    }
};
