#include "CommandsFixture.h"

#include "AppGlobals.h"
#include "EntryRecord.h"
#include "ListSort.h"
#include "ResourceIds.h"

namespace {

const wchar_t HostClass[] = L"KageroTest_CommandsHost";

// Rows own their records exactly as in the pane: freed on row deletion.
LRESULT CALLBACK HostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NOTIFY) {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header->code == LVN_DELETEITEM)
            FreeEntryRecord(reinterpret_cast<EntryRecord*>(reinterpret_cast<const NMLISTVIEW*>(lParam)->lParam));
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void RegisterHostClass()
{
    static bool registered = false;
    if (registered)
        return;
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_LISTVIEW_CLASSES | ICC_TREEVIEW_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    AppInstance = GetModuleHandleW(nullptr);
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = HostProc;
    windowClass.hInstance = AppInstance;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.lpszClassName = HostClass;
    RegisterClassW(&windowClass);
    registered = true;
}

void InsertColumn(HWND list, int column, const wchar_t* text, int width)
{
    LVCOLUMNW item = {};
    item.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
    item.fmt = LVCFMT_LEFT;
    item.cx = width;
    item.pszText = const_cast<wchar_t*>(text);
    item.iSubItem = column;
    SendMessageW(list, LVM_INSERTCOLUMNW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&item));
}

}  // namespace

CommandsWindow::CommandsWindow()
{
    RegisterHostClass();
    host = CreateWindowExW(0, HostClass, L"Kagero test", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, 0, 700, 400,
                           nullptr, nullptr, AppInstance, nullptr);
    tree = CreateWindowExW(WS_EX_CLIENTEDGE, WC_TREEVIEWW, L"", 0x50010033, 0, 0, 200, 360, host,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(101)), AppInstance, nullptr);
    list = CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"", 0x52010049, 203, 0, 480, 360, host,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(102)), AppInstance, nullptr);
    InsertColumn(list, 0, L"名前", 280);
    InsertColumn(list, 1, L"タイプ", 100);
    SetHeaderMarkImages(list, ImageList_LoadImageW(AppInstance, MAKEINTRESOURCEW(IDB_SORTMARKS), 12, 1,
                                                   RGB(0, 255, 0), IMAGE_BITMAP, 0));
    ShowWindow(host, SW_SHOW);
    SetForegroundWindow(host);
    SetActiveWindow(host);
}

CommandsWindow::~CommandsWindow()
{
    DestroyWindow(host);
    if (HeaderMarkImageList)
        ImageList_Destroy(HeaderMarkImageList);
    HeaderMarkImageList = nullptr;
    if (HeaderMarkBitmap)
        DeleteObject(HeaderMarkBitmap);
    HeaderMarkBitmap = nullptr;
}

void CommandsWindow::AddRow(int enumerationIndex, const wchar_t* typeName, const wchar_t* name)
{
    LVITEMW item = {};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    item.pszText = const_cast<wchar_t*>(name);
    item.lParam = reinterpret_cast<LPARAM>(MakeEntryRecord(enumerationIndex, typeName, name));
    const auto row = static_cast<int>(SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    item.iSubItem = 1;
    item.pszText = const_cast<wchar_t*>(typeName);
    SendMessageW(list, LVM_SETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

void CommandsWindow::AddSampleRows()
{
    AddRow(1, L"Directory", L"zeta");
    AddRow(2, L"Event", L"Alpha");
    AddRow(3, L"Directory", L"beta");
    AddRow(4, L"Device", L"Gamma");
}

void CommandsWindow::ClearRows() { SendMessageW(list, LVM_DELETEALLITEMS, 0, 0); }

std::vector<std::wstring> CommandsWindow::Names() const
{
    std::vector<std::wstring> names;
    const auto rows = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < rows; ++row) {
        wchar_t text[256] = {};
        LVITEMW item = {};
        item.pszText = text;
        item.cchTextMax = 256;
        SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
        names.emplace_back(item.pszText);
    }
    return names;
}

void CommandsWindow::SetRowState(int row, UINT state, UINT mask) const
{
    LVITEMW item = {};
    item.state = state;
    item.stateMask = mask;
    SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

bool CommandsWindow::RowHasState(int row, UINT state) const
{
    return (SendMessageW(list, LVM_GETITEMSTATE, static_cast<WPARAM>(row), state) & state) == state;
}

int CommandsWindow::FocusedRow() const
{
    return static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
}

HTREEITEM CommandsWindow::AddNode(HTREEITEM parent, const wchar_t* label) const
{
    TVINSERTSTRUCTW insert = {};
    insert.hParent = parent;
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT;
    insert.item.pszText = const_cast<wchar_t*>(label);
    return reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
}

void CommandsWindow::SelectNode(HTREEITEM node) const
{
    SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(node));
}

HDITEMW CommandsWindow::HeaderItem(int column) const
{
    HDITEMW item = {};
    item.mask = HDI_FORMAT | HDI_BITMAP | HDI_IMAGE;
    SendMessageW(GetDlgItem(list, 0), HDM_GETITEMW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&item));
    return item;
}

void ResetSortState()
{
    CurrentSortKey = SortByName;
    SortDescending[SortByName] = 0;
    SortDescending[SortByType] = 1;
    SortDescending[SortByEnumeration] = 1;
}
