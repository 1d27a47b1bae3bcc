#include <doctest.h>

#include "CommandBar.h"
#include "CopyCommands.h"
#include "PaneHost.h"

using namespace panehost;

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

// The clipboard's text, read once Copy has closed the clipboard.
std::wstring ClipboardText()
{
    std::wstring text;
    REQUIRE(GetOpenClipboardWindow() == nullptr);
    REQUIRE(OpenClipboard(nullptr));
    if (HANDLE block = GetClipboardData(CF_UNICODETEXT)) {
        text = static_cast<const wchar_t*>(GlobalLock(block));
        GlobalUnlock(block);
    }
    CloseClipboard();
    return text;
}

// GlobalReAlloc that remembers the size asked for and fails once GrowsLeft runs out.
int GrowsLeft = 0;
SIZE_T LastGrowBytes = 0;
HGLOBAL WINAPI LimitedReAlloc(HGLOBAL block, SIZE_T bytes, UINT flags)
{
    LastGrowBytes = bytes;
    return GrowsLeft-- > 0 ? GlobalReAlloc(block, bytes, flags) : nullptr;
}

void SelectRow(HWND list, int row) { SetRowState(list, row, LVIS_SELECTED, LVIS_SELECTED); }

bool Greyed(HMENU menu, UINT command) { return (GetMenuState(menu, command, MF_BYCOMMAND) & MF_GRAYED) != 0; }

// A sort item's mark: 'r' radio, 'c' plain check, '-' none.
char SortMark(HMENU sort, UINT command)
{
    const UINT state = GetMenuState(sort, command, MF_BYCOMMAND);
    return !(state & MF_CHECKED) ? '-' : (state & MFT_RADIOCHECK) ? 'r' : 'c';
}

}  // namespace

TEST_CASE("Copy puts the selected names, or the tree's label, on the clipboard, one line each")
{
    TestNamespace ns;
    REQUIRE(ns.Directory(L"Harddisk0") >= 0);
    PaneHost host;
    HWND list = host.List();
    host.ShowRows({{L"Event", L"a"}, {L"Event", L"c"}, {L"Event", L"b"}});
    SetFocus(list);
    REQUIRE(GetFocus() == list);
    PutClipboardText(Untouched);
    host.Command(CMD_COPY);
    CHECK(ClipboardText() == Untouched);  // nothing selected: nothing copied

    SelectRow(list, 2);
    SelectRow(list, 0);
    host.Command(CMD_COPY);
    CHECK(ClipboardText() == L"a\r\nb\r\n");

    // Texts are read with a capacity of 4096 characters.
    const std::wstring longName(5000, L'x');
    host.ShowRows({{L"Event", longName.c_str()}});
    SelectRow(list, 0);
    host.Command(CMD_COPY);
    CHECK(ClipboardText() == std::wstring(4095, L'x') + L"\r\n");

    SetFocus(host.Tree());
    host.Command(CMD_COPY);
    CHECK(ClipboardText() == L"\\\r\n");
    host.Show(ns.Path(L"Harddisk0"));
    host.Command(CMD_COPY);
    CHECK(ClipboardText() == L"Harddisk0\r\n");

    // The root's label starts a block of one byte, which must grow to hold
    // the label, its line break and the NUL.
    GrowsLeft = 1;
    {
        ClipboardTextBuilder builder(LimitedReAlloc);
        REQUIRE(builder.Open(list, 1));
        CHECK(builder.Append(L"\\", true));
        CHECK(LastGrowBytes >= 4 * sizeof(wchar_t));
        CHECK(builder.Commit());
    }
    CHECK(ClipboardText() == L"\\\r\n");

    // A Copy whose block cannot grow, or that is dropped, changes nothing.
    PutClipboardText(Untouched);
    GrowsLeft = 1;
    {
        ClipboardTextBuilder builder(LimitedReAlloc);
        REQUIRE(builder.Open(list, 8));
        CHECK(builder.Append(L"first", true));
        CHECK_FALSE(builder.Append(L"second", true));
        CHECK_FALSE(builder.Append(L"third", true));
        CHECK_FALSE(builder.Commit());
        CHECK(GetOpenClipboardWindow() == nullptr);
    }
    CHECK(ClipboardText() == Untouched);
    {
        ClipboardTextBuilder builder;
        REQUIRE(builder.Open(list, 8));
        builder.Append(L"dropped", true);
    }
    CHECK(ClipboardText() == Untouched);
}

TEST_CASE("Select All selects every row, keeps or gives the row focus, and focuses the list")
{
    PaneHost host;
    HWND list = host.List();
    const struct {
        size_t rows;
        int focusedBefore;
        int focusedAfter;
    } cases[] = {{5, 3, 3}, {5, -1, 0}, {0, -1, -1}};
    for (const auto& c : cases) {
        CAPTURE(c.rows);
        CAPTURE(c.focusedBefore);
        host.ShowRows(Entries(c.rows, {L"Event", L"e"}));
        if (c.focusedBefore >= 0)
            SetRowState(list, c.focusedBefore, LVIS_FOCUSED, LVIS_FOCUSED);
        SetFocus(host.Tree());
        host.Command(CMD_SELECT_ALL);
        CHECK(SendMessageW(list, LVM_GETSELECTEDCOUNT, 0, 0) == static_cast<LRESULT>(c.rows));
        CHECK(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED) == c.focusedAfter);
        CHECK(GetFocus() == list);
    }
}

TEST_CASE("Menus and toolbar: Copy and Up enabled only when they apply, the sort order marked")
{
    PaneHost host;
    HMENU menu = LoadMenuW(AppInstance, MAKEINTRESOURCEW(IDM_MAINMENU));
    REQUIRE(menu);
    HMENU edit = GetSubMenu(menu, 1);
    HMENU view = GetSubMenu(menu, 2);
    CommandBar bar;
    HWND toolbar = bar.CreatePlainToolbar(host.window, AppInstance, 5, IDR_TOOLBAR);
    host.site->SetBarWindows(toolbar, host.statusBar);
    auto expect = [&](bool up, bool copy) {
        host.site->OnInitMenuPopup(host.window, edit, MAKELPARAM(1, 0));
        host.site->OnInitMenuPopup(host.window, view, MAKELPARAM(2, 0));
        SendMessageW(host.Pane(), WM_NULL, 0, 0);  // the toolbar follows every message of the pane
        CHECK(Greyed(view, CMD_UP) != up);
        CHECK(Greyed(edit, CMD_COPY) != copy);
        CHECK((SendMessageW(toolbar, TB_ISBUTTONENABLED, CMD_UP, 0) != 0) == up);
        CHECK((SendMessageW(toolbar, TB_ISBUTTONENABLED, CMD_COPY, 0) != 0) == copy);
        CHECK_FALSE(Greyed(edit, CMD_SELECT_ALL));
        CHECK_FALSE(Greyed(view, CMD_REFRESH));
    };

    SetFocus(host.Tree());
    expect(false, false);  // the root selected: Copy greyed although it would copy the label
    host.Show(L"\\Device");
    host.ShowRows({{L"Event", L"a"}});
    SelectRow(host.List(), 0);
    expect(true, true);
    SendMessageW(host.Tree(), TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
    host.ShowRows({});
    expect(false, false);

    // The sort submenu: a plain check in the older look, else a radio mark.
    HMENU sort = GetSubMenu(view, 3);
    const struct {
        int version;
        int key;
        const char* marks;  // name, type, enumeration order
    } cases[] = {
        {3, SortByEnumeration, "--c"}, {3, SortByType, "-c-"},
        {10, SortByType, "-r-"}, {10, SortByEnumeration, "--r"}, {10, SortByName, "r--"},
    };
    for (const auto& c : cases) {
        CAPTURE(c.version);
        CAPTURE(c.key);
        SystemMajorVersion = c.version;
        CurrentSortKey = c.key;
        host.site->OnInitMenuPopup(host.window, sort, MAKELPARAM(3, 0));
        const std::string marks = {SortMark(sort, CMD_SORT_NAME), SortMark(sort, CMD_SORT_TYPE),
                                   SortMark(sort, CMD_SORT_ENUM)};
        CHECK(marks == c.marks);
    }
    DestroyWindow(toolbar);
    DestroyMenu(menu);
}
