// Base of the objects that back the program's windows.
#pragma once

#include <windows.h>

class WindowObject {
public:
    virtual ~WindowObject() = default;
    virtual LRESULT OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        return DefWindowProcW(window, message, wParam, lParam);
    }
};
