// The type images: one 16 x 16 picture per row of the object type table,
// shared by the directory tree and the object list.
#pragma once

#include <windows.h>
#include <commctrl.h>

// Null until LoadTypeImages has loaded bitmap 110.
extern HIMAGELIST TypeImageList;

// Loads TypeImageList once; it is kept for the life of the program, like the
// controls that show it. Returns it, or null when the bitmap cannot be loaded.
HIMAGELIST LoadTypeImages(HINSTANCE instance);
