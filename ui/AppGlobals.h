// Process-wide values recorded once at start-up.
#pragma once

#include <windows.h>

extern HINSTANCE AppInstance;
extern int SystemMajorVersion;
extern HWND MainWindowHandle;

// Windows NT 3.x: borders instead of client edges, the system font, and
// the other differences of the older look.
inline bool IsOlderLook() { return SystemMajorVersion < 4; }

// The button-face colouring of the older look, shared by every dialog: the
// brush for a WM_CTLCOLOR* message, or 0 when the system colours apply.
INT_PTR OlderLookColour(UINT message, WPARAM deviceContext);
