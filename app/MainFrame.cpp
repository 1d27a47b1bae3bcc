#include "MainFrame.h"

#include <commctrl.h>

#include "AboutBox.h"
#include "AppGlobals.h"
#include "FindDialog.h"
#include "HoldersWindow.h"
#include "ModalScope.h"
#include "ResourceIds.h"
#include "Startup.h"

MainFrame* ActiveMainFrame = nullptr;

namespace {

const wchar_t MainClassName[] = L"Kagero_MainWndClass";
const wchar_t MainTitle[] = L"Kagero";
const int MainWindowExtraBytes = 30;
const int RebarId = 3;
const int PlainToolbarId = 3;
const int StatusBarId = 4;
// Replaced by the two-part layout at the first resize.
const int CreationStatusParts[] = {200, 400, 600, -1};
const int ViewMenuPosition = 2;

struct Placement {
    HWND window;
    RECT rect;  // left, top, width, height
};

// Moves the windows that exist in one batch; a window that is missing is
// skipped, since one failed deferral would drop the whole batch.
void PlaceWindows(const Placement* placements, int count)
{
    int existing = 0;
    for (int i = 0; i < count; ++i)
        existing += IsWindow(placements[i].window) ? 1 : 0;
    HDWP batch = existing ? BeginDeferWindowPos(existing) : nullptr;
    for (int i = 0; i < count; ++i) {
        const Placement& p = placements[i];
        if (!IsWindow(p.window))
            continue;
        if (batch)
            batch = DeferWindowPos(batch, p.window, nullptr, p.rect.left, p.rect.top, p.rect.right, p.rect.bottom,
                SWP_NOZORDER);
        if (!batch)
            SetWindowPos(p.window, nullptr, p.rect.left, p.rect.top, p.rect.right, p.rect.bottom, SWP_NOZORDER);
    }
    if (batch)
        EndDeferWindowPos(batch);
}

// Flips a bar's visible flag, lays the window out again and shows or hides
// the bar to match.
void ToggleBar(MainFrame& frame, HWND window, int& visible, HWND bar)
{
    visible ^= 1;
    RECT client = {};
    GetClientRect(window, &client);
    frame.OnSize(client.right, client.bottom);
    EnableWindow(bar, visible);
    ShowWindow(bar, visible ? SW_SHOWNORMAL : SW_HIDE);
}

}  // namespace

RECT PanePlacement(int width, int height, int barShare, int statusShare, bool toolbarVisible,
    bool statusBarVisible, bool olderLook)
{
    RECT placement;
    if (!olderLook) {
        placement.left = 0;
        placement.top = barShare + 1;
        placement.right = width;
        placement.bottom = height - 1 - statusShare - barShare;
        return placement;
    }
    // The older look hides the pane's side borders, and its top and bottom
    // borders when no bar covers them, just outside the client area.
    int d = toolbarVisible ? 1 : -1;
    int h2 = statusBarVisible ? height : height + 1;
    placement.left = -1;
    placement.top = barShare + d;
    placement.right = width + 2;
    placement.bottom = h2 - d - statusShare - barShare;
    return placement;
}

MainFrame::MainFrame(PaneFactory paneFactory) : paneFactory_(paneFactory) {}

MainFrame::~MainFrame()
{
    if (ActiveMainFrame == this)
        ActiveMainFrame = nullptr;
}

LRESULT MainFrame::OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        return OnCreate(window);
    case WM_DESTROY:
        // The system destroys the owned find window first, which stops its
        // search; should it still be there, it goes before the quit message.
        CloseFindDialog();
        CloseHoldersWindow();
        PostQuitMessage(0);
        return 0;
    case GoToStartPathMessage:
        if (pane_)
            GoToStartPath(window, reinterpret_cast<const wchar_t*>(lParam));
        return 0;
    case WM_NCDESTROY:
        mainWindow_ = nullptr;
        return WindowObject::OnMessage(window, message, wParam, lParam);
    case WM_SIZE:
        return OnSize(LOWORD(lParam), HIWORD(lParam));
    case WM_ACTIVATE:
        // Without a pane nobody restores the focus; the default handling does.
        if (!pane_)
            return WindowObject::OnMessage(window, message, wParam, lParam);
        return pane_->OnActivate(LOWORD(wParam), HIWORD(wParam), lParam);
    case WM_CLOSE:
        DestroyWindow(window);
        return 0;
    case WM_NOTIFY:
        return OnNotify(lParam);
    case WM_COMMAND:
        return OnCommand(window, wParam, lParam);
    case WM_INITMENUPOPUP:
        return OnInitMenuPopup(window, reinterpret_cast<HMENU>(wParam), lParam);
    case WM_SYSCOLORCHANGE:
        ForwardToChildren(window, message, wParam, lParam);
        return 0;
    default:
        return WindowObject::OnMessage(window, message, wParam, lParam);
    }
}

HWND MainFrame::CreateMainWindow(int showCommand)
{
    // Messages sent while the window is being created must reach this frame.
    ActiveMainFrame = this;
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = MainFrameWndProc;
    windowClass.cbWndExtra = MainWindowExtraBytes;
    windowClass.hInstance = AppInstance;
    windowClass.hIcon = LoadIconW(AppInstance, MAKEINTRESOURCEW(IDI_KAGERO));
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    windowClass.lpszClassName = MainClassName;
    if (!RegisterClassW(&windowClass))
        return nullptr;
    HMENU menu = LoadMenuW(AppInstance, MAKEINTRESOURCEW(IDM_MAINMENU));
    HWND window = CreateWindowExW(0, MainClassName, MainTitle, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT,
        CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, menu, AppInstance, nullptr);
    if (!window) {
        if (menu)
            DestroyMenu(menu);
        return nullptr;
    }
    ShowWindow(window, showCommand);
    return window;
}

LRESULT MainFrame::OnCreate(HWND window)
{
    mainWindow_ = window;
    toolbarVisible_ = 1;
    statusBarVisible_ = 1;
    if (commandBar_.CreateRebar(window, AppInstance, RebarId))
        commandBar_.CreateBandToolbar(window, AppInstance, IDR_TOOLBAR);
    else
        commandBar_.CreatePlainToolbar(window, AppInstance, PlainToolbarId, IDR_TOOLBAR);
    statusBar_.CreateStatusBar(window, StatusBarId, AppInstance);
    statusBar_.SetStatusParts(CreationStatusParts, ARRAYSIZE(CreationStatusParts));
    pane_ = paneFactory_ ? paneFactory_() : nullptr;
    if (pane_) {
        pane_->CreatePaneWindow(window);
        pane_->SetBarWindows(commandBar_.ToolbarWindow(), statusBar_.Window());
    }
    return 0;
}

LRESULT MainFrame::OnSize(int width, int height)
{
    int barShare = toolbarVisible_ ? commandBar_.BarHeight(width, height) - 1 : 0;
    Placement placements[2];
    int count = 0;
    if (toolbarVisible_)
        placements[count++] = {commandBar_.BarWindow(), {0, 0, width, barShare}};
    int statusShare = statusBarVisible_ ? statusBar_.LayoutStatusBar(width, height) : 0;
    HWND paneWindow = pane_ ? pane_->PaneWindow() : nullptr;
    placements[count++] = {paneWindow, PanePlacement(width, height, barShare, statusShare, toolbarVisible_ != 0,
                                           statusBarVisible_ != 0, IsOlderLook())};
    PlaceWindows(placements, count);
    // The bar is repainted at once so its grooves follow the new size.
    HWND bar = commandBar_.BarWindow();
    if (bar) {
        InvalidateRect(bar, nullptr, TRUE);
        UpdateWindow(bar);
    }
    return 0;
}

LRESULT MainFrame::OnCommand(HWND window, WPARAM wParam, LPARAM lParam)
{
    switch (LOWORD(wParam)) {
    case CMD_EXIT:
        DestroyWindow(window);
        break;
    case CMD_ABOUT:
        ModalDialogBox(AppInstance, DLG_ABOUT, window, AboutDialogProc, 0);
        break;
    case CMD_FIND:
        ShowFindDialog(window, pane_);
        break;
    case CMD_HOLDERS: {
        // The object Properties would show; where it cannot be had, the pane has said why.
        WideText path, typeName;
        if (pane_ && pane_->SelectedObject(window, &path, &typeName))
            ShowHoldersWindow(window, path.Get(), typeName.Get());
        break;
    }
    case CMD_VIEW_TOOLBAR:
        ToggleBar(*this, window, toolbarVisible_, commandBar_.BarWindow());
        break;
    case CMD_VIEW_STATUSBAR:
        ToggleBar(*this, window, statusBarVisible_, statusBar_.Window());
        break;
    default:
        break;
    }
    // Every command, those above included, goes on to the pane.
    return pane_ ? pane_->OnCommand(window, wParam, lParam) : 0;
}

LRESULT MainFrame::OnInitMenuPopup(HWND window, HMENU menu, LPARAM lParam)
{
    if (LOWORD(lParam) == ViewMenuPosition) {
        CheckMenuItem(menu, CMD_VIEW_TOOLBAR, MF_BYCOMMAND | (toolbarVisible_ ? MF_CHECKED : MF_UNCHECKED));
        CheckMenuItem(menu, CMD_VIEW_STATUSBAR, MF_BYCOMMAND | (statusBarVisible_ ? MF_CHECKED : MF_UNCHECKED));
    }
    return pane_ ? pane_->OnInitMenuPopup(window, menu, lParam) : 0;
}

LRESULT MainFrame::OnNotify(LPARAM notification)
{
    NMHDR* header = reinterpret_cast<NMHDR*>(notification);
    if (!header || header->code != TTN_NEEDTEXTW)
        return 0;
    // The toolbar's tooltip names the button by its command identifier.
    NMTTDISPINFOW* info = reinterpret_cast<NMTTDISPINFOW*>(notification);
    info->hinst = AppInstance;
    info->szText[0] = L'\0';
    LoadStringW(AppInstance, static_cast<UINT>(info->hdr.idFrom), info->szText, ARRAYSIZE(info->szText));
    info->lpszText = const_cast<wchar_t*>(TextAfterLineFeed(info->szText));
    return 0;
}

LRESULT CALLBACK MainFrameWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!ActiveMainFrame)
        return DefWindowProcW(window, message, wParam, lParam);
    return ActiveMainFrame->OnMessage(window, message, wParam, lParam);
}

const wchar_t* TextAfterLineFeed(const wchar_t* text)
{
    if (!text)
        return nullptr;
    for (const wchar_t* p = text; *p; p = CharNextW(p)) {
        if (*p == L'\n')
            return CharNextW(p);
    }
    return nullptr;
}
