#include <doctest.h>

#include <string>

#include "AppGlobals.h"
#include "CommandsFixture.h"
#include "CopyCommands.h"
#include "ListSort.h"
#include "ResourceIds.h"

namespace {

const wchar_t Untouched[] = L"untouched";

void PutClipboardText(const wchar_t* text)
{
    const SIZE_T bytes = (lstrlenW(text) + 1) * sizeof(wchar_t);
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes);
    CopyMemory(GlobalLock(block), text, bytes);
    GlobalUnlock(block);
    REQUIRE(OpenClipboard(nullptr));
    EmptyClipboard();
    SetClipboardData(CF_UNICODETEXT, block);
    CloseClipboard();
}

std::wstring ClipboardText()
{
    std::wstring text;
    REQUIRE(OpenClipboard(nullptr));
    if (HANDLE block = GetClipboardData(CF_UNICODETEXT)) {
        text = static_cast<const wchar_t*>(GlobalLock(block));
        GlobalUnlock(block);
    }
    CloseClipboard();
    return text;
}

// GlobalReAlloc that remembers the sizes asked for and fails on demand.
int GrowCalls = 0;
int FailingGrowCall = 0;
SIZE_T LastGrowBytes = 0;
HGLOBAL WINAPI CountingReAlloc(HGLOBAL block, SIZE_T bytes, UINT flags)
{
    ++GrowCalls;
    LastGrowBytes = bytes;
    return GrowCalls == FailingGrowCall ? nullptr : GlobalReAlloc(block, bytes, flags);
}

void ResetGrowSeam(int failingCall)
{
    GrowCalls = 0;
    FailingGrowCall = failingCall;
    LastGrowBytes = 0;
}

bool Greyed(HMENU menu, UINT command) { return (GetMenuState(menu, command, MF_BYCOMMAND) & MF_GRAYED) != 0; }

bool ButtonEnabled(HWND toolbar, UINT command) { return SendMessageW(toolbar, TB_ISBUTTONENABLED, command, 0) != 0; }

HWND MakeToolbar(HWND parent)
{
    HWND toolbar = CreateWindowExW(0, TOOLBARCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, parent, nullptr,
                                   AppInstance, nullptr);
    SendMessageW(toolbar, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    TBBUTTON buttons[2] = {};
    buttons[0].iBitmap = I_IMAGENONE;
    buttons[0].idCommand = CMD_UP;
    buttons[0].fsState = TBSTATE_ENABLED;
    buttons[1] = buttons[0];
    buttons[1].idCommand = CMD_COPY;
    SendMessageW(toolbar, TB_ADDBUTTONSW, 2, reinterpret_cast<LPARAM>(buttons));
    return toolbar;
}

// The state of a sort item: 'r' radio-checked, 'c' plainly checked, '-' not.
char SortMark(HMENU menu, UINT command)
{
    MENUITEMINFOW info = {};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_FTYPE | MIIM_STATE;
    GetMenuItemInfoW(menu, command, FALSE, &info);
    if (!(info.fState & MFS_CHECKED))
        return '-';
    return (info.fType & MFT_RADIOCHECK) ? 'r' : 'c';
}

std::string SortMarks(HMENU menu)
{
    return {SortMark(menu, CMD_SORT_NAME), SortMark(menu, CMD_SORT_TYPE), SortMark(menu, CMD_SORT_ENUM)};
}

}  // namespace

TEST_CASE("Copy puts the selected names, or the tree's label, on the clipboard, one line each")
{
    CommandsWindow window;
    window.AddRow(1, L"Event", L"a");
    window.AddRow(2, L"Event", L"c");
    window.AddRow(3, L"Event", L"b");
    HTREEITEM root = window.AddNode(TVI_ROOT, L"\\");
    HTREEITEM disk = window.AddNode(window.AddNode(root, L"Device"), L"Harddisk0");

    SetFocus(window.list);
    REQUIRE(GetFocus() == window.list);
    PutClipboardText(Untouched);
    CopySelection(window.tree, window.list);
    CHECK(ClipboardText() == Untouched);  // nothing selected: nothing copied

    window.SetRowState(2, LVIS_SELECTED, LVIS_SELECTED);
    window.SetRowState(0, LVIS_SELECTED, LVIS_SELECTED);
    CopySelection(window.tree, window.list);
    CHECK(ClipboardText() == L"a\r\nb\r\n");
    CHECK(GetOpenClipboardWindow() == nullptr);

    SetFocus(window.tree);
    window.SelectNode(root);
    CopySelection(window.tree, window.list);
    CHECK(ClipboardText() == L"\\\r\n");
    window.SelectNode(disk);
    CopySelection(window.tree, window.list);
    CHECK(ClipboardText() == L"Harddisk0\r\n");

    // Texts are read with a capacity of 4096 characters.
    window.ClearRows();
    const std::wstring longName(5000, L'x');
    window.AddRow(1, L"Event", longName.c_str());
    window.SetRowState(0, LVIS_SELECTED, LVIS_SELECTED);
    SetFocus(window.list);
    CopySelection(window.tree, window.list);
    CHECK(ClipboardText() == std::wstring(4095, L'x') + L"\r\n");
}

TEST_CASE("the clipboard block always holds the text, its line breaks and the NUL; a failed grow copies nothing")
{
    CommandsWindow window;

    ResetGrowSeam(0);
    {
        ClipboardTextBuilder builder(CountingReAlloc);
        REQUIRE(builder.Open(window.list, 1));  // the root's label length, as bytes
        CHECK(builder.Append(L"\\", true));
        CHECK(LastGrowBytes >= 4 * sizeof(wchar_t));
        CHECK(builder.Append(L"", false));
        CHECK(LastGrowBytes >= 4 * sizeof(wchar_t));
        CHECK(builder.Commit());
    }
    CHECK(ClipboardText() == L"\\\r\n");
    CHECK(GetOpenClipboardWindow() == nullptr);

    PutClipboardText(Untouched);
    ResetGrowSeam(2);
    {
        ClipboardTextBuilder builder(CountingReAlloc);
        REQUIRE(builder.Open(window.list, 8));
        CHECK(builder.Append(L"first", true));
        CHECK_FALSE(builder.Append(L"second", true));
        CHECK_FALSE(builder.Append(L"third", true));
        CHECK(GrowCalls == 2);
        CHECK_FALSE(builder.Commit());
        CHECK(GetOpenClipboardWindow() == nullptr);
    }
    CHECK(ClipboardText() == Untouched);

    {
        ClipboardTextBuilder builder;
        REQUIRE(builder.Open(window.list, 8));
        CHECK(GetOpenClipboardWindow() == window.list);
        builder.Append(L"dropped", true);
    }
    CHECK(GetOpenClipboardWindow() == nullptr);
    CHECK(ClipboardText() == Untouched);
}

TEST_CASE("Select All selects every row and focuses the list")
{
    CommandsWindow window;
    SetFocus(window.tree);
    auto addRows = [&] {
        for (int row = 0; row < 5; ++row)
            window.AddRow(row + 1, L"Event", (L"e" + std::to_wstring(row)).c_str());
        window.SetRowState(-1, 0, LVIS_FOCUSED | LVIS_SELECTED);
    };

    SUBCASE("a focused row keeps the focus")
    {
        addRows();
        window.SetRowState(3, LVIS_FOCUSED, LVIS_FOCUSED);
        SelectAllEntries(window.list);
        CHECK(SendMessageW(window.list, LVM_GETSELECTEDCOUNT, 0, 0) == 5);
        CHECK(window.FocusedRow() == 3);
    }
    SUBCASE("without a focused row, row 0 takes the focus")
    {
        addRows();
        REQUIRE(window.FocusedRow() == -1);
        SelectAllEntries(window.list);
        CHECK(SendMessageW(window.list, LVM_GETSELECTEDCOUNT, 0, 0) == 5);
        CHECK(window.FocusedRow() == 0);
    }
    SUBCASE("on an empty list only the keyboard focus moves")
    {
        SelectAllEntries(window.list);
        CHECK(SendMessageW(window.list, LVM_GETITEMCOUNT, 0, 0) == 0);
    }
    CHECK(GetFocus() == window.list);
}

TEST_CASE("Copy and Up are enabled in the menus and on the toolbar only when they apply")
{
    CommandsWindow window;
    HMENU menu = LoadMenuW(AppInstance, MAKEINTRESOURCEW(IDM_MAINMENU));
    REQUIRE(menu);
    HMENU edit = GetSubMenu(menu, 1);
    HMENU view = GetSubMenu(menu, 2);
    HWND toolbar = MakeToolbar(window.host);
    auto update = [&] {
        InitMenuPopupState(edit, MAKELPARAM(1, 0), window.tree, window.list);
        InitMenuPopupState(view, MAKELPARAM(2, 0), window.tree, window.list);
        UpdateToolbarState(toolbar, window.tree, window.list);
    };

    update();  // empty tree, empty list
    CHECK(Greyed(view, CMD_UP));
    CHECK(Greyed(edit, CMD_COPY));
    CHECK_FALSE(ButtonEnabled(toolbar, CMD_UP));
    CHECK_FALSE(ButtonEnabled(toolbar, CMD_COPY));

    HTREEITEM root = window.AddNode(TVI_ROOT, L"\\");
    HTREEITEM device = window.AddNode(root, L"Device");
    window.AddRow(1, L"Event", L"a");
    window.SelectNode(root);
    SetFocus(window.tree);
    update();
    CHECK(Greyed(view, CMD_UP));
    CHECK(Greyed(edit, CMD_COPY));  // although Copy would copy the tree's label
    CHECK_FALSE(ButtonEnabled(toolbar, CMD_UP));
    CHECK_FALSE(ButtonEnabled(toolbar, CMD_COPY));

    window.SelectNode(device);
    window.SetRowState(0, LVIS_SELECTED, LVIS_SELECTED);
    update();
    CHECK_FALSE(Greyed(view, CMD_UP));
    CHECK_FALSE(Greyed(edit, CMD_COPY));
    CHECK(ButtonEnabled(toolbar, CMD_UP));
    CHECK(ButtonEnabled(toolbar, CMD_COPY));
    CHECK_FALSE(Greyed(edit, CMD_SELECT_ALL));
    CHECK_FALSE(Greyed(view, CMD_REFRESH));

    DestroyWindow(toolbar);
    UpdateToolbarState(toolbar, window.tree, window.list);  // gone: nothing to update
    DestroyMenu(menu);
}

TEST_CASE("the sort submenu marks the current order: radio mark, or a plain check in the older look")
{
    CommandsWindow window;
    const int savedVersion = SystemMajorVersion;
    const int savedKey = CurrentSortKey;
    HMENU menu = LoadMenuW(AppInstance, MAKEINTRESOURCEW(IDM_MAINMENU));
    REQUIRE(menu);
    HMENU sort = GetSubMenu(GetSubMenu(menu, 2), 3);
    auto mark = [&](int key) {
        CurrentSortKey = key;
        InitMenuPopupState(sort, MAKELPARAM(3, 0), window.tree, window.list);
        return SortMarks(sort);
    };

    SystemMajorVersion = 10;
    CHECK(mark(SortByType) == "-r-");
    CHECK(mark(SortByEnumeration) == "--r");
    CHECK(mark(SortByName) == "r--");

    DestroyMenu(menu);
    menu = LoadMenuW(AppInstance, MAKEINTRESOURCEW(IDM_MAINMENU));
    sort = GetSubMenu(GetSubMenu(menu, 2), 3);
    SystemMajorVersion = 3;
    CHECK(mark(SortByEnumeration) == "--c");
    CHECK(mark(SortByType) == "-c-");

    HMENU help = GetSubMenu(menu, 3);
    const UINT aboutBefore = GetMenuState(help, CMD_ABOUT, MF_BYCOMMAND);
    InitMenuPopupState(help, MAKELPARAM(3, 0), window.tree, window.list);
    CHECK(GetMenuState(help, CMD_ABOUT, MF_BYCOMMAND) == aboutBefore);

    DestroyMenu(menu);
    SystemMajorVersion = savedVersion;
    CurrentSortKey = savedKey;
}
