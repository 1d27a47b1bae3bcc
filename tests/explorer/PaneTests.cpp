// The explorer pane in the real main window: splitter, tree, list, sorting, copy and the menus' states.
#include "MainWindowFixture.h"

#include "CopyCommands.h"
#include "DirectoryTree.h"

namespace {

void Mouse(HWND pane, UINT message, int x) { SendMessageW(pane, message, 0, MAKELPARAM(static_cast<short>(x), 50)); }

bool ClipsChildren(HWND pane) { return (GetWindowLongPtrW(pane, GWL_STYLE) & WS_CLIPCHILDREN) != 0; }

// The rows' names, top to bottom.
std::string Names(const Program& p)
{
    std::string names;
    for (const Row& row : p.Rows())
        names += (names.empty() ? "" : " ") + Utf8(row.name);
    return names;
}

// A column's mark: '^' up, 'v' down, '-' none, '?' when not the live bitmap
// right of the text. Only the down picture's top edge, at (0, 2), is in shadow.
char Mark(HWND list, int column)
{
    HDITEMW item = {};
    item.mask = HDI_FORMAT | HDI_BITMAP;
    Header_GetItem(ListView_GetHeader(list), column, &item);
    if (!(item.fmt & HDF_BITMAP))
        return '-';
    if (item.hbm != HeaderMarkBitmap || (item.fmt & (HDF_BITMAP_ON_RIGHT | HDF_IMAGE)) != HDF_BITMAP_ON_RIGHT)
        return '?';
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, item.hbm);
    const bool down = GetPixel(dc, 0, 2) == GetSysColor(COLOR_BTNSHADOW);
    SelectObject(dc, old);
    DeleteDC(dc);
    return down ? 'v' : '^';
}

// GlobalReAlloc that remembers the size asked for and fails once GrowsLeft runs out.
int GrowsLeft = 0;
SIZE_T LastGrowBytes = 0;
HGLOBAL WINAPI LimitedReAlloc(HGLOBAL block, SIZE_T bytes, UINT flags)
{
    LastGrowBytes = bytes;
    return GrowsLeft-- > 0 ? GlobalReAlloc(block, bytes, flags) : nullptr;
}

char Enabled(HWND toolbar, UINT command) { return SendMessageW(toolbar, TB_ISBUTTONENABLED, command, 0) ? 'e' : '-'; }

}  // namespace

TEST_CASE("The splitter bar sits at the width times the ratio, which only a completed drag changes")
{
    Program& p = Shell();
    HWND pane = p.Pane();
    // A capture taken by another window ends a drag, which then learns nothing.
    SetWindowPos(pane, nullptr, 0, 0, 1000, 400, SWP_NOZORDER | SWP_NOMOVE);
    Mouse(pane, WM_LBUTTONDOWN, 301);
    CHECK_FALSE(ClipsChildren(pane));  // the tracking bar is drawn across the controls
    SetCapture(p.window);
    CHECK(ClipsChildren(pane));
    Mouse(pane, WM_LBUTTONUP, 700);
    ReleaseCapture();
    // The pane sized to width, then a drag from `from` to `to`.
    const struct { int width, from, to, barLeft; double ratio; } steps[] = {
        {1000, -1, 600, 300, 0.3},  // off the bar: neither the button-down nor the button-up acts
        {10, -1, 600, 3, 0.3},       {333, -1, 600, 99, 0.3}, {1000, 299, 600, 300, 0.3}, {1000, 303, 600, 300, 0.3},
        {1000, 301, 500, 500, 0.5},  {801, -1, 600, 400, 0.5},    // a release stores its ratio, which a resize follows
        {1000, 500, -40, 0, 0.0},    {1000, 1, 5000, 997, 0.997},  // clamped at both edges
        {1000, 998, 250, 250, 0.25}, {0, 0, 1, 0, 0.25},          // no width: no ratio to learn
        {2, 0, 1, 0, 0.0},           {1000, 0, 300, 300, 0.3},    // narrower than the bar: never negative
    };
    for (const auto& step : steps) {
        INFO("width ", step.width, ", from ", step.from);
        SetWindowPos(pane, nullptr, 0, 0, step.width, 400, SWP_NOZORDER | SWP_NOMOVE);
        Mouse(pane, WM_LBUTTONDOWN, step.from);
        Mouse(pane, WM_MOUSEMOVE, step.to);
        Mouse(pane, WM_LBUTTONUP, step.to);
        CHECK(p.site->BarRect().left == step.barLeft);
        CHECK(p.site->SplitRatio() == step.ratio);
        CHECK(Placed(p.Tree()) == "0,0," + std::to_string(step.barLeft) + ",400");
        CHECK((GetCapture() == nullptr && ClipsChildren(pane)));
    }
    RECT client = {};
    GetClientRect(p.window, &client);
    SendMessageW(p.window, WM_SIZE, 0, MAKELPARAM(client.right, client.bottom));
}

TEST_CASE("Refresh builds the namespace under an expanded, selected root; Up climbs to it; nodes' paths are freed")
{
    Program& p = Shell();
    TestNamespace& ns = Objects();
    p.Command(CMD_REFRESH);
    const std::vector<HTREEITEM> nodes = p.Nodes();
    const HTREEITEM root = p.Next(TVGN_ROOT);
    CHECK(Utf8(p.NodeOf(root).first + p.PathOf(root)) == "\\\\");
    CHECK(TreeView_GetItemState(p.Tree(), root, TVIS_EXPANDED) == TVIS_EXPANDED);
    CHECK(LiveTreePaths() == static_cast<long>(nodes.size()));
    for (HTREEITEM node : nodes) {
        CAPTURE(Utf8(p.PathOf(node)));
        TVITEMW item = {TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_HANDLE, node, 0, 0, nullptr, 0, 0, 0, 0, 0};
        TreeView_GetItem(p.Tree(), &item);
        CHECK((item.iImage == 0 && item.iSelectedImage == 1));  // the folder, shown open when selected
        if (HTREEITEM parent = p.Next(TVGN_PARENT, node))  // the parent's path, a backslash and the label
            CHECK(p.PathOf(node) == (parent == root ? L"" : p.PathOf(parent)) + L"\\" + p.NodeOf(node).first);
        if (HTREEITEM next = p.Next(TVGN_NEXT, node))
            CHECK(lstrcmpiW(p.NodeOf(node).first.c_str(), p.NodeOf(next).first.c_str()) <= 0);
    }
    CHECK_FALSE(p.FindNode(ns.Path(L"Dir\\Deeper\\x")));  // an event

    p.SelectNode(ns.Path(L"Dir\\Deeper"));
    p.Command(CMD_UP);
    CHECK(p.Next(TVGN_CARET) == p.FindNode(ns.Path(L"Dir")));
    CHECK(LiveEntryRecords() == 1);  // the rows shown before are freed
    // A second Refresh, from another selection, gives the same tree and frees the old one.
    p.Command(CMD_REFRESH);
    CHECK(LiveTreePaths() == static_cast<long>(nodes.size()));
    CHECK(p.Next(TVGN_CARET) == p.Next(TVGN_ROOT));
    p.Command(CMD_UP);  // on the root: nothing
    CHECK(p.Next(TVGN_CARET) == p.Next(TVGN_ROOT));

    // A path of 1100 characters keeps its first 1023, its label cut with it. Refused
    // nodes free their copies at once: under a node already gone, or with no tree.
    const std::wstring longPath = L"\\" + std::wstring(1000, L'a') + L"\\" + std::wstring(98, L'b');
    HTREEITEM cut = InsertDirectoryNode(p.Next(TVGN_ROOT), longPath.c_str());
    CHECK(p.NodeOf(cut) == std::make_pair(std::wstring(21, L'b'), longPath.substr(0, 1023)));
    TreeView_DeleteItem(p.Tree(), cut);
    CHECK(InsertDirectoryNode(cut, L"\\Gone") == nullptr);
    TreeTargetWindow = nullptr;
    CHECK(InsertDirectoryNode(p.Next(TVGN_ROOT), L"\\Lost") == nullptr);
    CHECK(LiveTreePaths() == static_cast<long>(nodes.size()));
    TreeTargetWindow = p.Tree();
}

TEST_CASE("A fill shows one sorted row per object with its type and image and counts them, or says why not")
{
    Program& p = Shell();
    TestNamespace& ns = Objects();
    p.ResetSort();
    p.SelectNode(ns.Path(L"Objects"));
    AddListEntry(5, L"EventPair", L"pair");  // Wine makes no event pairs: one added as the walk would
    std::vector<std::string> rows;           // name, type, image, type code: by name, the directory first
    for (const Row& row : p.Rows())
        rows.push_back(Utf8(row.name + L" " + row.type) + " " + std::to_string(row.image) + " " +
                       std::to_string(row.record->typeCode));
    CHECK(rows == std::vector<std::string>{"Folder Directory 0 0", "ACompletion IoCompletion 2 22",
                                           "ALink SymbolicLink 7 2", "AnEvent Event 8 3", "pair EventPair 8 14"});
    ListView_DeleteItem(p.List(), 0);  // a row deleted alone frees its record,
    ListTargetWindow = nullptr;        // as does a row no list takes
    AddListEntry(6, L"Event", L"nowhere");
    CHECK(LiveEntryRecords() == 4);

    ns.Remove(L"Vanishing");  // after the tree was built
    const std::pair<const wchar_t*, const wchar_t*> failures[] = {
        {L"Empty", L"0個のオブジェクト"}, {L"Closed", L"アクセスが拒否されました。"}, {L"Vanishing", L"ERROR - 0xC0000034"}};
    for (auto [directory, count] : failures) {
        p.SelectNode(ns.Path(L"Objects"));
        p.SelectNode(ns.Path(directory));
        CHECK(Utf8(p.Status(0) + L"|" + p.Status(1)) == Utf8(ns.Path(directory) + L"|" + count));
        CHECK((ListView_GetItemCount(p.List()) == 0 && LiveEntryRecords() == 0));
    }
}

TEST_CASE("From a fresh start, picks sort and toggle, the header mark follows, fills keep the order, a colour change etches it again; names compare as lstrcmpiW has them")
{
    Program& p = Shell();
    p.ResetSort();
    p.ShowRows({{L"Directory", L"zeta"}, {L"Event", L"alpha"}, {L"Directory", L"beta"}, {L"Device", L"Gamma"}});
    // Each pick (Fill, a column clicked, or a command), then the names and the two columns' marks.
    const int Fill = -1;
    const struct { int pick; const char *names, *marks; } steps[] = {
        {Fill, "beta zeta alpha Gamma", "^-"},          {0, "Gamma alpha zeta beta", "v-"},
        {1, "beta zeta Gamma alpha", "-^"},             {1, "alpha Gamma zeta beta", "-v"},
        {Fill, "alpha Gamma zeta beta", "-v"},          {CMD_SORT_ENUM, "zeta alpha beta Gamma", "--"},
        {CMD_SORT_ENUM, "Gamma beta alpha zeta", "--"}, {3, "Gamma beta alpha zeta", "--"},  // 3 names no order
    };
    for (const auto& step : steps) {
        CAPTURE(step.pick);
        const HBITMAP previous = HeaderMarkBitmap;
        if (step.pick == Fill) {
            SortObjectList(p.List(), -1, false);
        } else if (step.pick >= CMD_SORT_NAME) {
            p.Command(static_cast<WORD>(step.pick));
        } else {
            NMLISTVIEW click = {{p.List(), ListControlId, static_cast<UINT>(LVN_COLUMNCLICK)}, -1, step.pick, 0, 0, 0, {}, 0};
            SendMessageW(p.Pane(), WM_NOTIFY, ListControlId, reinterpret_cast<LPARAM>(&click));
        }
        CHECK(Names(p) == step.names);
        CHECK(std::string{Mark(p.List(), 0), Mark(p.List(), 1)} == step.marks);
        CHECK((HeaderMarkBitmap == previous || GetObjectType(previous) == 0));  // one mark bitmap at a time
    }
    // A colour scheme change passed down by the main window etches the down mark again: its top edge in the new shadow.
    p.ResetSort();
    p.Command(CMD_SORT_NAME);
    const int element = COLOR_BTNSHADOW;
    const COLORREF schemes[] = {RGB(0x80, 0x10, 0x10), GetSysColor(element)};  // a new shadow, then the old again
    for (COLORREF shadow : schemes) {
        SetSysColors(1, &element, &shadow);
        SendMessageW(p.window, WM_SYSCOLORCHANGE, 0, 0);
        CHECK(std::string{Mark(p.List(), 0), Mark(p.List(), 1)} == "v-");
    }
    // Case ignored, digits before letters, punctuation by its own rules.
    p.ResetSort();
    p.ShowRows({{L"Event", L"a_1"}, {L"Event", L"B2"}, {L"Event", L"a-2"}, {L"Event", L"b10"}, {L"Event", L"a1"},
                {L"Event", L"A"}});
    SortObjectList(p.List(), -1, false);
    CHECK(Names(p) == "A a_1 a1 a-2 b10 B2");
    p.SelectNode(L"\\");
}

TEST_CASE("Copy puts the selected names, or the tree's label, on the clipboard, one line each; Select All")
{
    Program& p = Shell();
    auto copied = [&] {
        p.Command(CMD_COPY);
        return ClipboardText();
    };
    p.ShowRows({{L"Event", L"a"}, {L"Event", L"c"}, {L"Event", L"b"}});
    SetFocus(p.List());
    p.SetRowState(2, LVIS_SELECTED, LVIS_SELECTED);
    p.SetRowState(0, LVIS_SELECTED, LVIS_SELECTED);
    CHECK(copied() == L"a\r\nb\r\n");
    p.SetRowState(-1, 0, LVIS_SELECTED);
    CHECK(copied() == L"a\r\nb\r\n");  // nothing selected: nothing copied
    p.SelectNode(Objects().Path(L"Dir"));
    CHECK(copied() == L"Dir\r\n");

    // The root's label starts a block of one byte, which must grow to hold the label, its
    // line break and the NUL; a block that cannot grow leaves the clipboard as it was.
    GrowsLeft = 1;
    {
        ClipboardTextBuilder builder(LimitedReAlloc);
        REQUIRE(builder.Open(p.List(), 1));
        CHECK(builder.Append(L"\\", true));
        CHECK(LastGrowBytes >= 4 * sizeof(wchar_t));
        CHECK_FALSE(builder.Append(std::wstring(100, L'x').c_str(), true));
        CHECK_FALSE(builder.Commit());
    }
    CHECK(ClipboardText() == L"Dir\r\n");

    // Select All selects every row, keeps or gives the row focus, and focuses the list.
    const int cases[][3] = {{5, 3, 3}, {5, -1, 0}, {0, -1, -1}};  // rows, focused before, after
    for (const auto& c : cases) {
        INFO("rows ", c[0], ", focused ", c[1]);
        p.ShowRows(std::vector<std::pair<const wchar_t*, const wchar_t*>>(c[0], {L"Event", L"e"}));
        p.SetRowState(c[1], c[1] >= 0 ? LVIS_FOCUSED : 0, LVIS_FOCUSED);
        SetFocus(p.Tree());
        p.Command(CMD_SELECT_ALL);
        CHECK(ListView_GetSelectedCount(p.List()) == static_cast<UINT>(c[0]));
        CHECK(ListView_GetNextItem(p.List(), -1, LVNI_FOCUSED) == c[2]);
        CHECK(GetFocus() == p.List());
    }
}

TEST_CASE("Menus and toolbar: Copy and Up enabled only when they apply, the sort order marked")
{
    Program& p = Shell();
    HMENU menu = GetMenu(p.window), edit = GetSubMenu(menu, 1), view = GetSubMenu(menu, 2), sort = GetSubMenu(view, 3);
    HWND toolbar = p.frame.Bar().ToolbarWindow();
    // Up, Copy, Select All and Refresh in the menus ('g' greyed), then Up and Copy on the toolbar ('e' enabled).
    auto states = [&] {
        SendMessageW(p.window, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(edit), MAKELPARAM(1, 0));
        SendMessageW(p.window, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(view), MAKELPARAM(2, 0));
        SendMessageW(p.Pane(), WM_NULL, 0, 0);  // the toolbar follows every message of the pane
        return std::string{MenuMark(view, CMD_UP), MenuMark(edit, CMD_COPY), MenuMark(edit, CMD_SELECT_ALL),
                           MenuMark(view, CMD_REFRESH), Enabled(toolbar, CMD_UP), Enabled(toolbar, CMD_COPY)};
    };
    p.SelectNode(L"\\");
    CHECK(states() == "gg----");  // the root selected: Copy greyed although it would copy the label
    p.SelectNode(L"\\Device");
    p.ShowRows({{L"Event", L"a"}});
    p.SetRowState(0, LVIS_SELECTED, LVIS_SELECTED);
    CHECK(states() == "----ee");
    p.ShowRows({});
    p.SelectNode(L"\\");
    CHECK(states() == "gg----");
    // A toolbar handed over again is set afresh, whatever it showed.
    SendMessageW(toolbar, TB_ENABLEBUTTON, CMD_UP, TRUE);
    p.site->SetBarWindows(toolbar, p.frame.Status().Window());
    CHECK(states() == "gg----");

    // The sort submenu: a plain check in the older look, else a radio mark.
    const struct { int version, key; const char* marks; } cases[] = {  // marks of name, type, enumeration order
        {3, SortByEnumeration, "--c"}, {3, SortByType, "-c-"}, {10, SortByType, "-r-"}, {10, SortByName, "r--"}};
    for (const auto& c : cases) {
        INFO("version ", c.version, ", key ", c.key);
        SystemMajorVersion = c.version;
        CurrentSortKey = c.key;
        SendMessageW(p.window, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(sort), MAKELPARAM(3, 0));
        CHECK(std::string{MenuMark(sort, CMD_SORT_NAME), MenuMark(sort, CMD_SORT_TYPE), MenuMark(sort, CMD_SORT_ENUM)}
              == c.marks);
    }
    SystemMajorVersion = 10;
    p.ResetSort();
}
