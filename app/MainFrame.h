// The main window: menu, accelerators, command bar, status bar and the pane.
#pragma once

#include <windows.h>

#include "CommandBar.h"
#include "Pane.h"
#include "StatusBar.h"
#include "WindowObject.h"

class MainFrame : public WindowObject {
public:
    // The factory makes the pane during WM_CREATE; null means no pane.
    explicit MainFrame(PaneFactory paneFactory);
    ~MainFrame() override;  // the pane is not freed: it lives until the process ends

    LRESULT OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;

    // Registers the class, creates the window titled "Kagero" and shows it.
    // Returns the window, or null when the class or the window cannot be made.
    HWND CreateMainWindow(int showCommand);

    HWND Window() const { return mainWindow_; }
    Pane* PaneObject() const { return pane_; }
    CommandBar& Bar() { return commandBar_; }
    StatusBar& Status() { return statusBar_; }
    bool ToolbarVisible() const { return toolbarVisible_ != 0; }
    bool StatusBarVisible() const { return statusBarVisible_ != 0; }

    LRESULT OnCreate(HWND window);
    LRESULT OnSize(int width, int height);
    LRESULT OnCommand(HWND window, WPARAM wParam, LPARAM lParam);
    LRESULT OnInitMenuPopup(HWND window, HMENU menu, LPARAM lParam);
    LRESULT OnNotify(LPARAM notification);

private:
    HWND mainWindow_ = nullptr;
    Pane* pane_ = nullptr;  // lives until the process ends
    CommandBar commandBar_;
    StatusBar statusBar_;
    int toolbarVisible_ = 1;
    int statusBarVisible_ = 1;
    PaneFactory paneFactory_;
};

extern MainFrame* ActiveMainFrame;

LRESULT CALLBACK MainFrameWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Posted by the start-up with the command line's path (lParam), after the
// pane's first Refresh: the window then shows that object.
const UINT GoToStartPathMessage = WM_APP + 1;

// The pane's rectangle (left, top, width, height) for a client area of
// width x height, given the bar's share (BarHeight - 1, or 0 when hidden)
// and the status bar's height (0 when hidden).
RECT PanePlacement(int width, int height, int barShare, int statusShare, bool toolbarVisible,
    bool statusBarVisible, bool olderLook);

// The text after the first line feed, or null when there is none.
const wchar_t* TextAfterLineFeed(const wchar_t* text);
