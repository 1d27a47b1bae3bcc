// Stands in for the find window until it is built: no window is made.
#include "FindDialog.h"

HWND ShowFindDialog(HWND) { return nullptr; }

HWND FindDialogWindow() { return nullptr; }

void CloseFindDialog() {}
