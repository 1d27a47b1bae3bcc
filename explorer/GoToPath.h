// Shows one object of the namespace in the pane, as the user would reach it.
#pragma once

#include <windows.h>

// A directory is selected in the tree (expanded on the way down; when a
// directory on the way is not in the tree, the tree is refreshed first); any
// other object has its directory selected and its row selected, focused and
// scrolled into view in the list. A "\" after the last name means a
// directory: a link's is gone to by the path it leads to; an object that is
// none is shown all the same. Returns 0; STATUS_OBJECT_NAME_NOT_FOUND when
// the path names nothing that is there; else the failure that hides it, the
// tree and the list then showing what they showed before.
NTSTATUS GoToObjectPath(const wchar_t* path);
// The same, and on failure the window's kind of box, owned by owner, with
// the failure's text, after the path on a line of its own with namePath.
// Returns true when the object is shown.
bool GoToObjectPathOrSay(HWND owner, const wchar_t* path, bool namePath = false);
// The window's failure box: the path as typed, then words on the next line.
void ShowPathFailure(HWND owner, const wchar_t* path, const wchar_t* words);
