// Shows one object of the namespace in the pane, as the user would reach it.
#pragma once

#include <windows.h>

// A directory is selected in the tree (expanded on the way down; when a
// directory on the way is not in the tree, the tree is refreshed first); any
// other object has its directory selected and its row selected, focused and
// scrolled into view in the list. Returns 0; STATUS_OBJECT_NAME_NOT_FOUND
// when the path names nothing that is there; else the failure that hides it.
NTSTATUS GoToObjectPath(const wchar_t* path);
// The same, and on failure the window's kind of box, owned by owner, with
// the failure's text. Returns true when the object is shown.
bool GoToObjectPathOrSay(HWND owner, const wchar_t* path);
