// Copy, Select All, and the enabling of Copy and Up in menus and toolbar.
#pragma once

#include <windows.h>

#include "ClipboardText.h"

// Capacity of the text read from a tree label or a list row's name.
const int CopyTextCapacity = 4096;

void CopySelection(HWND tree, HWND list);
void SelectAllEntries(HWND list);
LRESULT InitMenuPopupState(HMENU menu, LPARAM lParam, HWND tree, HWND list);

// The Up and Copy states last sent to one toolbar. The pane alone sets these
// two buttons; a toolbar handed to it again is sent both states afresh.
struct ToolbarButtonStates {
    HWND toolbar = nullptr;  // none: nothing sent yet
    bool up = false;
    bool copy = false;
};

// Enables Up unless the root is selected and Copy when rows are selected.
// Runs before every message of the pane, so it sends a state only when it
// differs from the one in sent.
void UpdateToolbarState(HWND toolbar, HWND tree, HWND list, ToolbarButtonStates& sent);
