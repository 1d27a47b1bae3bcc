// The explorer pane: directory tree, splitter and object list, and the
// routing of their notifications and of every command.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "CopyCommands.h"
#include "Pane.h"

// Control ids of the pane and its two controls.
const int PaneControlId = 100;
const int TreeControlId = 101;
const int ListControlId = 102;

const double InitialSplitRatio = 0.3;
const int SplitterBarWidth = 3;
const int TrackingBarWidth = 5;

class ControlSite : public Pane {
public:
    ControlSite();  // becomes ActiveControlSite
    ~ControlSite() override;
    ControlSite(const ControlSite&) = delete;
    ControlSite& operator=(const ControlSite&) = delete;

    // Pane
    HWND CreatePaneWindow(HWND mainWindow) override;
    HWND PaneWindow() const override { return paneWindow_; }
    void SetBarWindows(HWND toolbar, HWND statusBar) override;
    LRESULT OnCommand(HWND window, WPARAM wParam, LPARAM lParam) override;
    LRESULT OnActivate(UINT state, UINT minimised, LPARAM otherWindow) override;
    LRESULT OnInitMenuPopup(HWND window, HMENU menu, LPARAM lParam) override;
    void GoToPath(HWND owner, const wchar_t* path) override;
    bool SelectedDirectory(WideText* path) const override;
    bool SelectedObject(HWND owner, WideText* path, WideText* typeName) override;

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
    bool Dragging() const { return dragging_; }

private:
    LRESULT OnCreate(HWND window);
    void CreateControls(HINSTANCE instance);
    void LoadImageLists(HINSTANCE instance);
    void OnSize(int width, int height);
    void OnPaint();
    LRESULT OnNotify(WPARAM controlId, const NMHDR* header);
    LRESULT OnTreeNotify(const NMHDR* header);
    LRESULT OnListNotify(const NMHDR* header);
    void RouteCommand(WORD command);
    void OnButtonDown(int x, int y);
    void OnMouseMove(int x, int y);
    void OnButtonUp(int x);
    void OnCaptureLost();
    int ClampBarPosition(int x) const;
    void SetClipChildren(bool on);
    void RepaintBar();

    HWND paneWindow_ = nullptr;
    HWND treeWindow_ = nullptr;
    HWND listWindow_ = nullptr;
    HWND statusBarWindow_ = nullptr;
    HWND toolbarWindow_ = nullptr;
    ToolbarButtonStates toolbarStates_;
    HWND lastFocusedChild_ = nullptr;
    RECT barRect_ = {};
    RECT clientRect_ = {};
    double splitRatio_ = InitialSplitRatio;
    HCURSOR splitterCursor_ = nullptr;
    int dragPosition_ = 0;
    int barWidth_ = SplitterBarWidth;
    // Set from the button-down on the bar until the button-up or the loss of
    // the capture: tells our drag from a capture some other window holds.
    bool dragging_ = false;
};

extern ControlSite* ActiveControlSite;

LRESULT CALLBACK ControlSiteWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Draws (or, drawn again at the same x, erases) the 5-pixel halftone bar
// that follows a splitter drag.
void DrawTrackingBar(HWND pane, int x, const RECT& client);

// Shows the property sheet of the selection: the tree's caret directory when
// the tree has the focus, else the list row that is focused and selected.
void OpenPropertiesForSelection(HWND owner);
// The full path and type name of the same object, for the other commands that
// act on it. false when there is none, or (said as Properties says it) when
// it cannot be found.
bool SelectedObjectPath(HWND owner, WideText* path, WideText* typeName);

// The pane factory handed to the main window.
Pane* MakeControlSite();
