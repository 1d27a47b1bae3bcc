// The explorer pane: directory tree, splitter and object list, and the
// routing of their notifications and of every command.
#pragma once

#include <windows.h>

#include "Pane.h"

class ControlSite : public Pane {
public:
    ControlSite();  // becomes ActiveControlSite

    // Pane
    HWND CreatePaneWindow(HWND mainWindow) override;
    HWND PaneWindow() const override { return paneWindow_; }
    void SetBarWindows(HWND toolbar, HWND statusBar) override;
    LRESULT OnCommand(HWND window, WPARAM wParam, LPARAM lParam) override;
    LRESULT OnActivate(UINT state, UINT minimised, LPARAM otherWindow) override;
    LRESULT OnInitMenuPopup(HWND window, HMENU menu, LPARAM lParam) override;

    virtual LRESULT OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void LayoutChildren();

    HWND TreeWindow() const { return treeWindow_; }
    HWND ListWindow() const { return listWindow_; }
    HWND StatusBarWindow() const { return statusBarWindow_; }
    HWND ToolbarWindow() const { return toolbarWindow_; }
    HWND LastFocusedChild() const { return lastFocusedChild_; }
    const RECT& BarRect() const { return barRect_; }
    const RECT& ClientRect() const { return clientRect_; }
    double SplitRatio() const { return splitRatio_; }

private:
    HWND paneWindow_ = nullptr;
    HWND treeWindow_ = nullptr;
    HWND listWindow_ = nullptr;
    HWND statusBarWindow_ = nullptr;
    HWND toolbarWindow_ = nullptr;
    HWND lastFocusedChild_ = nullptr;
    RECT barRect_ = {};
    RECT clientRect_ = {};
    double splitRatio_ = 0.3;
    HCURSOR splitterCursor_ = nullptr;
    int dragPosition_ = 0;
    int barWidth_ = 3;
};

extern ControlSite* ActiveControlSite;

LRESULT CALLBACK ControlSiteWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The pane factory handed to the main window.
Pane* MakeControlSite();
