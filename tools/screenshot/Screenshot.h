#pragma once

// Lets a test leave a picture of what it drove: when KAGERO_SCREENSHOTS names
// a folder, saves the whole screen there as a 24-bit name.bmp (made PNG outside Wine).
void SaveScreenshotIfAsked(const wchar_t* name);
