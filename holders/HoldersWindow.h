// The modeless holders window: the processes that have one
// object open, one row per handle. One at most, owned by the main window.
#pragma once

#include <windows.h>

// Opens the window owned by owner for the object at path, of the type named
// typeName, and scans for its holders; an open window is turned to the
// object and brought forward. Returns the window, or null when it cannot be
// made.
HWND ShowHoldersWindow(HWND owner, const wchar_t* path, const wchar_t* typeName);
// The open window, or null: the message loop gives it its messages.
HWND HoldersWindowHandle();
// The window's own keys (F5 scans again) and its dialog keys; true when the
// message was taken. The message loop offers it every message of the window.
bool PreTranslateHoldersMessage(MSG* message);
// Closes the window, if open, after stopping its scan.
void CloseHoldersWindow();
