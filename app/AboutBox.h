// The About box (dialog 106): icon, name, version and description.
#pragma once

#include <windows.h>

// The text that replaces the dialog's version placeholder.
extern const char AboutVersionText[];

INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
