// Process-wide values recorded once at start-up.
#pragma once

#include <windows.h>

extern HINSTANCE AppInstance;
extern int SystemMajorVersion;
extern HWND MainWindowHandle;

// Windows NT 3.x: borders instead of client edges, the system font, and
// the other differences of the older look.
inline bool IsOlderLook() { return SystemMajorVersion < 4; }
