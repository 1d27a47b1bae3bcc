// The modeless find window: one at most, owned by the main window.
#pragma once

#include <windows.h>

class Pane;

// Opens the find window owned by owner, or brings the open one forward. It
// goes to a result and reads the selected directory through pane, which
// outlives it. Returns its window, or null when it cannot be made.
HWND ShowFindDialog(HWND owner, Pane* pane);
// The open find window, or null: the message loop gives it its messages.
HWND FindDialogWindow();
// Closes the find window, if open, after stopping its search.
void CloseFindDialog();
