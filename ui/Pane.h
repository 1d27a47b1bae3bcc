// What the main window needs of the pane that fills its client area. The
// explorer implements it; the shell knows it only through this interface.
#pragma once

#include <windows.h>

#include "WideText.h"

class Pane {
public:
    virtual ~Pane() = default;
    // Creates the pane window as a child of the main window; null on failure.
    virtual HWND CreatePaneWindow(HWND mainWindow) = 0;
    virtual HWND PaneWindow() const = 0;
    // The bars the pane writes to (toolbar button states, status texts).
    virtual void SetBarWindows(HWND toolbar, HWND statusBar) = 0;
    virtual LRESULT OnCommand(HWND window, WPARAM wParam, LPARAM lParam) = 0;
    virtual LRESULT OnActivate(UINT state, UINT minimised, LPARAM otherWindow) = 0;
    virtual LRESULT OnInitMenuPopup(HWND window, HMENU menu, LPARAM lParam) = 0;
    // Shows the object at path, as the find window shows its results; on
    // failure a box owned by owner says why.
    virtual void GoToPath(HWND owner, const wchar_t* path) = 0;
    // The full path of the directory selected in the tree; the root when
    // none is. false when memory runs out.
    virtual bool SelectedDirectory(WideText* path) const = 0;
    // The object Properties would show: its full path and type name. false
    // when there is none, or when it cannot be found (a box owned by owner
    // has said why, as for Properties).
    virtual bool SelectedObject(HWND owner, WideText* path, WideText* typeName) = 0;
};

// Makes the one pane; null when none can be had.
typedef Pane* (*PaneFactory)();
