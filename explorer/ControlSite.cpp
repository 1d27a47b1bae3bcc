#include "ControlSite.h"

#include <windowsx.h>

#include <new>

#include "AppGlobals.h"
#include "CopyCommands.h"
#include "DirectoryTree.h"
#include "FixedTexts.h"
#include "GoToPath.h"
#include "ImageStrips.h"
#include "ListSort.h"
#include "ObjectList.h"
#include "ResourceIds.h"
#include "WindowObject.h"

ControlSite* ActiveControlSite = nullptr;

namespace {

const wchar_t PaneClassName[] = L"PMW_ControlSite";
const int PaneWindowExtraBytes = 30;

const DWORD TreeStyle =
    WS_CHILD | WS_VISIBLE | WS_TABSTOP | TVS_HASBUTTONS | TVS_HASLINES | TVS_DISABLEDRAGDROP | TVS_SHOWSELALWAYS;
const DWORD ListStyle =
    WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_TABSTOP | LVS_REPORT | LVS_SHOWSELALWAYS | LVS_SHAREIMAGELISTS;
static_assert(TreeStyle == 0x50010033, "tree style");
static_assert(ListStyle == 0x52010049, "list style");

HBRUSH HalftoneBrush = nullptr;

HBRUSH GetHalftoneBrush()
{
    if (HalftoneBrush)
        return HalftoneBrush;
    // Monochrome rows are word-aligned: one word per 8-pixel row.
    static const WORD checkerboard[8] = {0x5555, 0xAAAA, 0x5555, 0xAAAA, 0x5555, 0xAAAA, 0x5555, 0xAAAA};
    HBITMAP bitmap = CreateBitmap(8, 8, 1, 1, checkerboard);
    if (!bitmap)
        return nullptr;
    HalftoneBrush = CreatePatternBrush(bitmap);
    DeleteObject(bitmap);
    return HalftoneBrush;
}

HINSTANCE InstanceOf(HWND window)
{
    HINSTANCE instance = window ? reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(window, GWLP_HINSTANCE)) : nullptr;
    return instance ? instance : AppInstance;
}

HWND CreateControl(const wchar_t* className, DWORD style, int id, HWND parent, HINSTANCE instance)
{
    const DWORD extendedStyle = IsOlderLook() ? 0 : WS_EX_CLIENTEDGE;
    if (IsOlderLook())
        style |= WS_BORDER;
    return CreateWindowExW(extendedStyle, className, L"", style, 0, 0, 0, 0, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
}

void InsertColumn(HWND list, int index, const wchar_t* text, int width)
{
    LVCOLUMNW column = {};
    column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
    column.fmt = LVCFMT_LEFT;
    column.cx = width;
    column.pszText = const_cast<wchar_t*>(text);
    column.iSubItem = index;
    SendMessageW(list, LVM_INSERTCOLUMNW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&column));
}

// bar left := width x ratio, truncated toward zero.
int BarLeftFor(int clientLeft, int width, double ratio)
{
    return static_cast<int>((clientLeft + width) * ratio);
}

}  // namespace

void DrawTrackingBar(HWND pane, int x, const RECT& client)
{
    HDC dc = GetDC(pane);
    if (!dc)
        return;
    HBRUSH brush = GetHalftoneBrush();
    HGDIOBJ previous = brush ? SelectObject(dc, brush) : nullptr;
    PatBlt(dc, x, client.top, TrackingBarWidth, client.bottom - client.top, PATINVERT);
    if (previous)
        SelectObject(dc, previous);
    ReleaseDC(pane, dc);
}

Pane* MakeControlSite() { return new (std::nothrow) ControlSite; }

LRESULT CALLBACK ControlSiteWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!ActiveControlSite)
        return DefWindowProcW(window, message, wParam, lParam);
    return ActiveControlSite->OnMessage(window, message, wParam, lParam);
}

ControlSite::ControlSite() { ActiveControlSite = this; }

ControlSite::~ControlSite()
{
    if (ActiveControlSite == this)
        ActiveControlSite = nullptr;
}

HWND ControlSite::CreatePaneWindow(HWND mainWindow)
{
    HINSTANCE instance = InstanceOf(mainWindow);
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = ControlSiteWndProc;
    windowClass.cbWndExtra = PaneWindowExtraBytes;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = GetSysColorBrush(COLOR_WINDOW);
    windowClass.lpszClassName = PaneClassName;
    // The class outlives a pane window; a second pane reuses it.
    if (!RegisterClassW(&windowClass) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        return nullptr;
    paneWindow_ = CreateWindowExW(WS_EX_CONTROLPARENT, PaneClassName, L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN,
                                  CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, mainWindow,
                                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(PaneControlId)), instance, nullptr);
    return paneWindow_;
}

void ControlSite::SetBarWindows(HWND toolbar, HWND statusBar)
{
    toolbarWindow_ = toolbar;
    statusBarWindow_ = statusBar;
    toolbarStates_ = {};
}

LRESULT ControlSite::OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    UpdateToolbarState(toolbarWindow_, treeWindow_, listWindow_, toolbarStates_);
    switch (message) {
    case WM_CREATE:
        return OnCreate(window);
    case WM_DESTROY:
        toolbarWindow_ = nullptr;
        toolbarStates_ = {};
        return 0;
    case WM_SIZE:
        OnSize(LOWORD(lParam), HIWORD(lParam));
        return 0;
    case WM_PAINT:
        OnPaint();
        return 0;
    case WM_NOTIFY:
        return OnNotify(wParam, reinterpret_cast<const NMHDR*>(lParam));
    case WM_COMMAND:
        RouteCommand(LOWORD(wParam));
        return 0;
    case WM_MOUSEMOVE:
        OnMouseMove(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
        return 0;
    case WM_LBUTTONDOWN:
        OnButtonDown(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
        return 0;
    case WM_LBUTTONUP:
        OnButtonUp(GET_X_LPARAM(lParam));
        return 0;
    case WM_CAPTURECHANGED:
        OnCaptureLost();
        return 0;
    case WM_SYSCOLORCHANGE:
        ForwardToChildren(window, message, wParam, lParam);
        RebuildHeaderSortMark(listWindow_);
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

LRESULT ControlSite::OnCreate(HWND window)
{
    paneWindow_ = window;
    HINSTANCE instance = InstanceOf(window);
    barWidth_ = SplitterBarWidth;
    CreateControls(instance);
    GetClientRect(paneWindow_, &clientRect_);
    splitRatio_ = InitialSplitRatio;
    barRect_.left = BarLeftFor(clientRect_.left, clientRect_.right - clientRect_.left, splitRatio_);
    barRect_.top = 0;
    barRect_.right = barRect_.left + barWidth_;
    barRect_.bottom = clientRect_.bottom;
    if (!splitterCursor_)
        splitterCursor_ = LoadCursorW(instance, MAKEINTRESOURCEW(CUR_SPLITTER));
    InsertColumn(listWindow_, 0, ListNameTitle, 280);
    InsertColumn(listWindow_, 1, ListTypeTitle, 100);
    LoadImageLists(instance);
    // Posted: the Refresh runs from the loop, once the main window is complete.
    PostMessageW(paneWindow_, WM_COMMAND, CMD_REFRESH, 0);
    SetFocus(treeWindow_);
    return 0;
}

void ControlSite::CreateControls(HINSTANCE instance)
{
    treeWindow_ = CreateControl(WC_TREEVIEWW, TreeStyle, TreeControlId, paneWindow_, instance);
    listWindow_ = CreateControl(WC_LISTVIEWW, ListStyle, ListControlId, paneWindow_, instance);
    if (IsOlderLook()) {
        HGDIOBJ font = GetStockObject(SYSTEM_FONT);
        SendMessageW(treeWindow_, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
        SendMessageW(listWindow_, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    }
}

void ControlSite::LoadImageLists(HINSTANCE instance)
{
    HIMAGELIST types = LoadTypeImages(instance);
    SendMessageW(treeWindow_, TVM_SETIMAGELIST, TVSIL_NORMAL, reinterpret_cast<LPARAM>(types));
    SendMessageW(listWindow_, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(types));
    SetHeaderMarkImages(listWindow_, LoadHeaderMarks(instance));
}

void ControlSite::OnSize(int width, int height)
{
    clientRect_.right = width;
    clientRect_.bottom = height;
    // Not clamped: only the end of a drag changes the ratio.
    barRect_.left = BarLeftFor(clientRect_.left, width, splitRatio_);
    barRect_.right = barRect_.left + barWidth_;
    barRect_.bottom = height;
    LayoutChildren();
    RepaintBar();
}

void ControlSite::LayoutChildren()
{
    if (!IsWindow(listWindow_) || !IsWindow(treeWindow_))
        return;
    HDWP positions = BeginDeferWindowPos(2);
    if (positions)
        positions = DeferWindowPos(positions, listWindow_, nullptr, barRect_.right, 0,
                                   clientRect_.right + clientRect_.left - barRect_.right, clientRect_.bottom, 0);
    if (positions)
        positions = DeferWindowPos(positions, treeWindow_, nullptr, 0, 0, barRect_.left, clientRect_.bottom, 0);
    if (positions)
        EndDeferWindowPos(positions);
}

void ControlSite::OnPaint()
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(paneWindow_, &paint);
    if (dc)
        FillRect(dc, &barRect_, GetSysColorBrush(COLOR_BTNFACE));
    EndPaint(paneWindow_, &paint);
}

void ControlSite::RepaintBar()
{
    InvalidateRect(paneWindow_, &barRect_, TRUE);
    UpdateWindow(paneWindow_);
}

LRESULT ControlSite::OnNotify(WPARAM controlId, const NMHDR* header)
{
    if (!header)
        return 0;
    if (controlId == TreeControlId)
        return OnTreeNotify(header);
    if (controlId == ListControlId)
        return OnListNotify(header);
    return 0;
}

LRESULT ControlSite::OnTreeNotify(const NMHDR* header)
{
    switch (header->code) {
    case TVN_DELETEITEMW:
        return OnTreeDeleteItem(reinterpret_cast<const NMTREEVIEWW*>(header));
    case TVN_SELCHANGINGW:
        // 0 lets the selection move.
        FillObjectList(listWindow_, statusBarWindow_, reinterpret_cast<const NMTREEVIEWW*>(header));
        return 0;
    case TVN_KEYDOWN:
        return OnTreeKeyDown(reinterpret_cast<const NMTVKEYDOWN*>(header));
    case NM_SETFOCUS:
        lastFocusedChild_ = header->hwndFrom;
        return 0;
    default:
        return 0;
    }
}

LRESULT ControlSite::OnListNotify(const NMHDR* header)
{
    switch (header->code) {
    case LVN_COLUMNCLICK:
        SortObjectList(header->hwndFrom, reinterpret_cast<const NMLISTVIEW*>(header)->iSubItem, true);
        return 0;
    case LVN_DELETEITEM:
        return OnListDeleteItem(reinterpret_cast<const NMLISTVIEW*>(header));
    case LVN_DELETEALLITEMS:
        return OnListDeleteAllItems(reinterpret_cast<const NMLISTVIEW*>(header));
    case NM_SETFOCUS:
        lastFocusedChild_ = header->hwndFrom;
        return 0;
    case NM_RETURN:
    case NM_DBLCLK:
        OpenPropertiesForSelection(paneWindow_);
        return 0;
    default:
        return 0;
    }
}

LRESULT ControlSite::OnCommand(HWND, WPARAM wParam, LPARAM)
{
    RouteCommand(LOWORD(wParam));
    return 0;
}

void ControlSite::RouteCommand(WORD command)
{
    switch (command) {
    case CMD_REFRESH:
        RefreshTree(treeWindow_);
        break;
    case CMD_PROPERTIES:
        OpenPropertiesForSelection(paneWindow_);
        break;
    case CMD_UP:
        SelectParentDirectory(treeWindow_);
        break;
    case CMD_SORT_NAME:
    case CMD_SORT_TYPE:
    case CMD_SORT_ENUM:
        SortObjectList(listWindow_, command - CMD_SORT_NAME, true);
        break;
    case CMD_SELECT_ALL:
        SelectAllEntries(listWindow_);
        break;
    case CMD_COPY:
        CopySelection(treeWindow_, listWindow_);
        break;
    default:
        break;
    }
}

LRESULT ControlSite::OnActivate(UINT state, UINT, LPARAM)
{
    if (state != WA_INACTIVE && lastFocusedChild_)
        SetFocus(lastFocusedChild_);
    return 0;
}

LRESULT ControlSite::OnInitMenuPopup(HWND, HMENU menu, LPARAM lParam)
{
    return InitMenuPopupState(menu, lParam, treeWindow_, listWindow_);
}

void ControlSite::GoToPath(HWND owner, const wchar_t* path)
{
    GoToObjectPathOrSay(owner, path);
}

bool ControlSite::SelectedObject(HWND owner, WideText* path, WideText* typeName)
{
    return SelectedObjectPath(owner, path, typeName);
}

bool ControlSite::SelectedDirectory(WideText* path) const
{
    const wchar_t* selected = IsWindow(treeWindow_) ? TreeNodePath(treeWindow_, NextTreeNode(treeWindow_, TVGN_CARET, nullptr)) : nullptr;
    return path->Assign(selected ? selected : L"\\");
}

int ControlSite::ClampBarPosition(int x) const
{
    // Upper bound first, then 0: a pane narrower than the bar gets 0, never a
    // negative position.
    const int upper = clientRect_.right - barWidth_;
    if (x > upper)
        x = upper;
    if (x < 0)
        x = 0;
    return x;
}

void ControlSite::SetClipChildren(bool on)
{
    LONG_PTR style = GetWindowLongPtrW(paneWindow_, GWL_STYLE);
    style = on ? (style | WS_CLIPCHILDREN) : (style & ~static_cast<LONG_PTR>(WS_CLIPCHILDREN));
    SetWindowLongPtrW(paneWindow_, GWL_STYLE, style);
}

void ControlSite::OnButtonDown(int x, int y)
{
    const POINT point = {x, y};
    if (!PtInRect(&barRect_, point))
        return;
    SetCursor(splitterCursor_);
    SetCapture(paneWindow_);
    dragging_ = true;
    // Off, so that the tracking bar is drawn across the two controls.
    SetClipChildren(false);
    DrawTrackingBar(paneWindow_, x, clientRect_);
    dragPosition_ = x;
}

void ControlSite::OnMouseMove(int x, int y)
{
    if (dragging_) {
        DrawTrackingBar(paneWindow_, dragPosition_, clientRect_);  // erases the last one
        dragPosition_ = ClampBarPosition(x);
        DrawTrackingBar(paneWindow_, dragPosition_, clientRect_);
        return;
    }
    const POINT point = {x, y};
    if (PtInRect(&barRect_, point))
        SetCursor(splitterCursor_);
}

void ControlSite::OnButtonUp(int x)
{
    if (!dragging_)
        return;
    // Cleared first: the capture change that ReleaseCapture sends is ours.
    dragging_ = false;
    SetCursor(splitterCursor_);
    DrawTrackingBar(paneWindow_, dragPosition_, clientRect_);
    ReleaseCapture();
    x = ClampBarPosition(x);
    barRect_.left = x;
    barRect_.right = x + barWidth_;
    LayoutChildren();
    const int width = clientRect_.right + clientRect_.left;
    // A pane with no width has no ratio to learn: keep the old one.
    if (width > 0)
        splitRatio_ = static_cast<double>(barRect_.left) / width;
    SetClipChildren(true);
    RepaintBar();
}

void ControlSite::OnCaptureLost()
{
    // Another window took the capture mid-drag: end the drag where it began.
    if (!dragging_)
        return;
    dragging_ = false;
    DrawTrackingBar(paneWindow_, dragPosition_, clientRect_);
    SetClipChildren(true);
}
