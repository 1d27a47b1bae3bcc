// The command bar: a flat toolbar in a rebar band when the common controls
// offer InitCommonControlsEx, otherwise a plain toolbar on the main window.
#pragma once

#include <windows.h>

#include <commctrl.h>

// Attached to the band toolbar as its GWLP_USERDATA for the toolbar's life.
struct SubclassRecord {
    WNDPROC previousProcedure;
};

typedef BOOL(WINAPI* InitCommonControlsExFunction)(const INITCOMMONCONTROLSEX*);
typedef InitCommonControlsExFunction (*InitCommonControlsExLookup)();

// Finds InitCommonControlsEx in the loaded COMCTL32.DLL; null when the
// library is too old to have it (and so has no rebar).
InitCommonControlsExFunction FindInitCommonControlsEx();

// Replaces the lookup used by CreateRebar (null restores the real one), so
// the plain-toolbar path can be exercised on a system that has rebars.
void SetInitCommonControlsExLookup(InitCommonControlsExLookup lookup);

class CommandBar {
public:
    // Mode 1: toolbar in a rebar band; mode 0: plain toolbar.
    int Mode() const { return mode_; }
    HWND BarWindow() const { return barWindow_; }
    HWND ToolbarWindow() const { return toolbarWindow_; }

    HWND CreateRebar(HWND parent, HINSTANCE instance, int controlId);
    void CreateBandToolbar(HWND parent, HINSTANCE instance, int bitmapId);
    HWND CreatePlainToolbar(HWND parent, HINSTANCE instance, int controlId, int bitmapId);

    // 1 when every button of the layout resource was added, else 0.
    int LoadToolbarButtons(int resourceId);
    // Replaces the toolbar's buttons; 0 marks a separator. 1 on success.
    int AddToolbarButtons(const DWORD* identifiers, int count);

    // Sizes the bar for a client area and returns its height share, or 0
    // when there is no bar window.
    int BarHeight(int width, int height);

private:
    int mode_ = 1;
    HWND barWindow_ = nullptr;
    HWND toolbarWindow_ = nullptr;
};

// Installs a window procedure on the toolbar, keeping the previous one in
// a SubclassRecord. False when the record cannot be had (nothing changes).
bool SubclassToolbar(HWND window, WNDPROC procedure);

// Draws an etched groove through the middle of each separator.
LRESULT CALLBACK ToolbarSeparatorProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The x of a separator's highlight line: the widths of the items before it
// summed from 0, plus half its own width. The shadow line is one to the left.
int SeparatorLineX(const int* itemWidths, int separatorIndex);
