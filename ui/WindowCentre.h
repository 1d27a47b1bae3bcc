// Centring one window on another, kept inside the full-screen area.
#pragma once

#include <windows.h>

// Where a window with screen rectangle `window` goes to sit centred on
// `reference`, clamped to a full-screen area of fullWidth x fullHeight.
POINT CentredPosition(const RECT& window, const RECT& reference, int fullWidth, int fullHeight);

// Moves `window` (size and z-order kept). Nothing moves when either
// rectangle cannot be read.
void CentreOnWindow(HWND window, HWND reference);
