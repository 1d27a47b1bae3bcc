// Saves the whole screen as a 24-bit BMP, so that a test can leave a
// picture of what it drove (converted to PNG outside Wine).
#pragma once

#include <windows.h>

bool SaveScreenBitmap(const wchar_t* path);

// When KAGERO_SCREENSHOTS names a folder, saves the screen there as
// name.bmp; otherwise does nothing.
void SaveScreenshotIfAsked(const wchar_t* name);
