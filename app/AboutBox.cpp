#include "AboutBox.h"

#include "AppGlobals.h"
#include "ResourceIds.h"
#include "Version.h"
#include "WindowCentre.h"

const char AboutVersionText[] = KAGERO_VERSION_TEXT;

namespace {

// On the older look the box takes the window colour, as the system's own
// boxes did then; otherwise the dialog colours apply.
INT_PTR OnControlColour(HDC dc)
{
    if (!IsOlderLook())
        return FALSE;
    SetBkColor(dc, GetSysColor(COLOR_WINDOW));
    return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_WINDOW));
}

}  // namespace

INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        SetDlgItemTextA(dialog, CTRL_ABOUT_VERSION, AboutVersionText);
        CentreOnWindow(dialog, GetParent(dialog));
        return TRUE;
    case WM_COMMAND:
        // OK, Enter, Escape and the close box all arrive here.
        EndDialog(dialog, 0);
        return FALSE;
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:
        return OnControlColour(reinterpret_cast<HDC>(wParam));
    default:
        return FALSE;
    }
}
