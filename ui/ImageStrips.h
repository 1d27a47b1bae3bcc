// The program's image strips, each loaded once and kept for the life of the
// program, like the controls that show them: the type images (one 16 x 16
// picture per row of the object type table, shared by every list and the
// tree) and the header's sort marks.
#pragma once

#include <windows.h>
#include <commctrl.h>

// Null until LoadTypeImages has loaded bitmap 110.
extern HIMAGELIST TypeImageList;
// The three mark images of bitmap 114; null until LoadHeaderMarks has loaded them.
extern HIMAGELIST HeaderMarkImageList;

// Each loads its strip unless it is loaded, and returns it (null when the
// bitmap cannot be loaded).
HIMAGELIST LoadTypeImages(HINSTANCE instance);
HIMAGELIST LoadHeaderMarks(HINSTANCE instance);
