// The explorer pane in the real main window: splitter, tree, list, sorting,
// copy and the menus' states.
#include "MainWindowFixture.h"

#include "CopyCommands.h"
#include "DirectoryTree.h"
#include "ObjectTypes.h"

namespace {

void Mouse(HWND pane, UINT message, int x)
{
    SendMessageW(pane, message, 0, MAKELPARAM(static_cast<WORD>(static_cast<short>(x)), 50));
}

bool ClipsChildren(HWND pane) { return (GetWindowLongPtrW(pane, GWL_STYLE) & WS_CLIPCHILDREN) != 0; }

std::vector<std::wstring> Names(const Program& p)
{
    std::vector<std::wstring> names;
    for (const Row& row : p.Rows())
        names.push_back(row.name);
    return names;
}

// A column's mark: '^' up, 'v' down, '-' none, '?' for anything else, or for
// a mark not shown as the live bitmap on the text's far side. The pictures
// differ at (0, 2): the down mark's top edge in shadow, else button face;
// and at (1, 6): the up mark's bottom edge in highlight.
char Mark(HWND list, int column)
{
    HDITEMW item = {};
    item.mask = HDI_FORMAT | HDI_BITMAP;
    Header_GetItem(ListView_GetHeader(list), column, &item);
    if (!(item.fmt & HDF_BITMAP))
        return '-';
    const int onRight = item.fmt & HDF_RIGHT ? 0 : HDF_BITMAP_ON_RIGHT;
    if (item.hbm != HeaderMarkBitmap || (item.fmt & (HDF_BITMAP_ON_RIGHT | HDF_IMAGE)) != onRight)
        return '?';
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, item.hbm);
    const COLORREF edge = GetPixel(dc, 0, 2), bottom = GetPixel(dc, 1, 6), face = GetSysColor(COLOR_BTNFACE);
    SelectObject(dc, old);
    DeleteDC(dc);
    return edge == GetSysColor(COLOR_BTNSHADOW) && bottom == face ? 'v'
         : edge == face && bottom == GetSysColor(COLOR_BTNHIGHLIGHT) ? '^' : '?';
}

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

bool Greyed(HMENU menu, UINT command) { return (GetMenuState(menu, command, MF_BYCOMMAND) & MF_GRAYED) != 0; }

// A sort item's mark: 'r' radio, 'c' plain check, '-' none.
char SortMark(HMENU sort, UINT command)
{
    const UINT state = GetMenuState(sort, command, MF_BYCOMMAND);
    return !(state & MF_CHECKED) ? '-' : (state & MFT_RADIOCHECK) ? 'r' : 'c';
}

}  // namespace

TEST_CASE("The splitter bar sits at the width times the ratio, which only a completed drag changes")
{
    Program& p = Shell();
    HWND pane = p.Pane();
    const struct {
        int width, from, to, barLeft;  // the pane sized, then a drag from `from` to `to`
        double ratio;
    } steps[] = {
        {1000, -1, 600, 300, 0.3},  // off the bar: neither the button-down nor the button-up acts
        {10, -1, 600, 3, 0.3},      {333, -1, 600, 99, 0.3},   {17, -1, 600, 5, 0.3},
        {1000, 299, 600, 300, 0.3},  // just left of the bar
        {1000, 303, 600, 300, 0.3},  // just right of it
        {1000, 301, 500, 500, 0.5},  // a release at 500 stores 0.5,
        {801, -1, 600, 400, 0.5},    // which a resize follows
        {1000, 500, -40, 0, 0.0},    // clamped at both edges
        {1000, 1, 5000, 997, 0.997}, {1000, 998, 250, 250, 0.25},
        {0, 0, 1, 0, 0.25},  // no width: no ratio to learn
        {1000, -1, 600, 250, 0.25},
        {2, 0, 1, 0, 0.0},  // narrower than the bar: never negative
    };
    for (const auto& step : steps) {
        CAPTURE(step.width);
        CAPTURE(step.from);
        SetWindowPos(pane, nullptr, 0, 0, step.width, 400, SWP_NOZORDER | SWP_NOMOVE);
        Mouse(pane, WM_LBUTTONDOWN, step.from);
        Mouse(pane, WM_MOUSEMOVE, step.to);
        Mouse(pane, WM_LBUTTONUP, step.to);
        CHECK(p.site->BarRect().left == step.barLeft);
        CHECK(p.site->SplitRatio() == step.ratio);
        if (step.width >= step.barLeft + 3) {
            CHECK(Placed(p.Tree()) == "0,0," + std::to_string(step.barLeft) + ",400");
            CHECK(Placed(p.List()) == std::to_string(step.barLeft + 3) + ",0," + std::to_string(step.width - step.barLeft - 3) + ",400");
        }
    }
    // During a drag the controls stay put and the tracking bar is drawn
    // across them; a capture taken by another window ends the drag.
    SetWindowPos(pane, nullptr, 0, 0, 1000, 400, SWP_NOZORDER | SWP_NOMOVE);
    Mouse(pane, WM_LBUTTONDOWN, 0);
    CHECK(GetCapture() == pane);
    CHECK_FALSE(ClipsChildren(pane));
    Mouse(pane, WM_MOUSEMOVE, 700);
    CHECK(p.site->BarRect().left == 0);
    SetCapture(p.window);
    CHECK(ClipsChildren(pane));
    Mouse(pane, WM_LBUTTONUP, 700);
    CHECK(GetCapture() == p.window);  // not our capture to release
    ReleaseCapture();
    CHECK(p.site->SplitRatio() == 0.0);
    Mouse(pane, WM_LBUTTONDOWN, 0);  // the next drag works as usual
    Mouse(pane, WM_LBUTTONUP, 300);
    CHECK(p.site->SplitRatio() == 0.3);
    CHECK(GetCapture() == nullptr);
    CHECK(ClipsChildren(pane));
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
    REQUIRE(nodes.size() > 3);
    const HTREEITEM root = nodes[0];
    CHECK(p.NodeOf(root).first == L"\\");
    CHECK(p.PathOf(root) == L"\\");
    CHECK(TreeView_GetItemState(p.Tree(), root, TVIS_EXPANDED) == TVIS_EXPANDED);
    CHECK(p.Next(TVGN_NEXT, root) == nullptr);
    CHECK(p.Next(TVGN_CARET) == root);
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
    CHECK(p.Next(TVGN_PARENT, p.FindNode(ns.Path(L"Dir\\Deeper"))) == p.FindNode(ns.Path(L"Dir")));
    CHECK(p.FindNode(L"\\Device"));
    CHECK_FALSE(p.FindNode(ns.Path(L"Dir\\Deeper\\x")));

    p.SelectNode(ns.Path(L"Dir\\Deeper"));
    p.Command(CMD_UP);
    CHECK(p.Next(TVGN_CARET) == p.FindNode(ns.Path(L"Dir")));
    CHECK(p.Status(0) == ns.Path(L"Dir"));
    CHECK(p.Status(1) == L"1個のオブジェクト");
    CHECK(LiveEntryRecords() == 1);  // the rows shown before are freed

    // A second Refresh, from another selection, gives the same tree and frees the old one.
    p.Command(CMD_REFRESH);
    CHECK(p.Nodes().size() == nodes.size());
    CHECK(LiveTreePaths() == static_cast<long>(nodes.size()));
    CHECK(p.Next(TVGN_CARET) == p.Next(TVGN_ROOT));
    CHECK(p.Status(0) == L"\\");
    CHECK(LiveEntryRecords() == ListView_GetItemCount(p.List()));
    p.Command(CMD_UP);  // on the root: nothing
    CHECK(p.Next(TVGN_CARET) == p.Next(TVGN_ROOT));

    // A path of 1100 characters keeps its first 1023; the label comes from the cut text.
    const long paths = LiveTreePaths();
    const std::wstring longPath = L"\\" + std::wstring(1000, L'a') + L"\\" + std::wstring(98, L'b');
    HTREEITEM cut = InsertDirectoryNode(p.Next(TVGN_ROOT), longPath.c_str());
    CHECK(p.PathOf(cut) == longPath.substr(0, 1023));
    CHECK(p.NodeOf(cut).first == std::wstring(21, L'b'));
    // Refused nodes free their copies at once: under a node already gone, or with no tree.
    TreeView_DeleteItem(p.Tree(), cut);
    CHECK(InsertDirectoryNode(cut, L"\\Gone") == nullptr);
    TreeTargetWindow = nullptr;
    CHECK(InsertDirectoryNode(p.Next(TVGN_ROOT), L"\\Lost") == nullptr);
    CHECK(LiveTreePaths() == paths);
    TreeTargetWindow = p.Tree();
}

TEST_CASE("A fill shows one sorted row per object with its type and image and counts them, or says why not")
{
    Program& p = Shell();
    TestNamespace& ns = Objects();
    p.ResetSort();
    p.SelectNode(ns.Path(L"Objects"));
    CHECK(p.Status(0) == ns.Path(L"Objects"));
    CHECK(p.Status(1) == L"4個のオブジェクト");
    AddListEntry(5, L"EventPair", L"pair");  // Wine makes no event pairs: one added as the walk would
    const struct {
        const wchar_t *name, *type;
        int image, code;
    } expected[] = {
        {L"Folder", L"Directory", 0, TypeDirectory},  // by name, the directory first
        {L"ACompletion", L"IoCompletion", 2, TypeUnknown},
        {L"ALink", L"SymbolicLink", 7, TypeSymbolicLink},
        {L"AnEvent", L"Event", 8, TypeEvent},
        {L"pair", L"EventPair", 8, TypeEventPair},
    };
    const std::vector<Row> rows = p.Rows();
    REQUIRE(rows.size() == 5);
    int indexSum = 0;
    for (size_t i = 0; i < rows.size(); ++i) {
        CAPTURE(i);
        CHECK(rows[i].name == expected[i].name);
        CHECK(rows[i].type == expected[i].type);
        CHECK(rows[i].image == expected[i].image);
        CHECK(rows[i].record->typeCode == expected[i].code);
        indexSum += rows[i].record->enumerationIndex;
    }
    CHECK(indexSum == 1 + 2 + 3 + 4 + 5);
    ListTargetWindow = nullptr;  // a row no list takes frees its record at once
    AddListEntry(6, L"Event", L"nowhere");
    CHECK(LiveEntryRecords() == 5);

    ns.Remove(L"Vanishing");  // after the tree was built
    const std::pair<const wchar_t*, const wchar_t*> failures[] = {
        {L"Empty", L"0個のオブジェクト"}, {L"Closed", L"アクセスが拒否されました。"}, {L"Vanishing", L"ERROR - 0xC0000034"}};
    for (auto [directory, count] : failures) {
        CAPTURE(Utf8(directory));
        p.SelectNode(ns.Path(L"Objects"));
        p.SelectNode(ns.Path(directory));
        CHECK(ListView_GetItemCount(p.List()) == 0);
        CHECK(p.Status(0) == ns.Path(directory));
        CHECK(p.Status(1) == count);
        CHECK(LiveEntryRecords() == 0);
    }
}

TEST_CASE("From a fresh start, picks sort and toggle, the header mark follows, fills keep the order")
{
    Program& p = Shell();
    p.ResetSort();
    p.ShowRows({{L"Directory", L"zeta"}, {L"Event", L"alpha"}, {L"Directory", L"beta"}, {L"Device", L"Gamma"}});
    const int Fill = -1;  // else a column clicked, or a command
    const struct {
        int pick;
        std::vector<std::wstring> names;
        std::string marks;  // of the name and the type column
    } steps[] = {
        {Fill, {L"beta", L"zeta", L"alpha", L"Gamma"}, "^-"},
        {0, {L"Gamma", L"alpha", L"zeta", L"beta"}, "v-"},
        {1, {L"beta", L"zeta", L"Gamma", L"alpha"}, "-^"},
        {1, {L"alpha", L"Gamma", L"zeta", L"beta"}, "-v"},
        {Fill, {L"alpha", L"Gamma", L"zeta", L"beta"}, "-v"},
        {CMD_SORT_ENUM, {L"zeta", L"alpha", L"beta", L"Gamma"}, "--"},
        {CMD_SORT_ENUM, {L"Gamma", L"beta", L"alpha", L"zeta"}, "--"},
        {3, {L"Gamma", L"beta", L"alpha", L"zeta"}, "--"},  // a key that names no order
    };
    for (const auto& step : steps) {
        CAPTURE(step.pick);
        if (step.pick == Fill) {
            SortObjectList(p.List(), -1, false);
        } else if (step.pick >= CMD_SORT_NAME) {
            p.Command(static_cast<WORD>(step.pick));
        } else {
            NMLISTVIEW click = {};
            click.hdr = {p.List(), ListControlId, static_cast<UINT>(LVN_COLUMNCLICK)};
            click.iSubItem = step.pick;
            SendMessageW(p.Pane(), WM_NOTIFY, ListControlId, reinterpret_cast<LPARAM>(&click));
        }
        CHECK(Names(p) == step.names);
        CHECK(std::string{Mark(p.List(), 0), Mark(p.List(), 1)} == step.marks);
    }
    // Another directory is filled in the same order and direction.
    p.SelectNode(Objects().Path(L"Objects"));
    std::vector<int> order;
    for (const Row& row : p.Rows())
        order.push_back(row.record->enumerationIndex);
    CHECK(order == std::vector<int>{4, 3, 2, 1});

    // In a right-aligned column the mark stands left of the text; only one
    // mark bitmap lives at a time.
    HDITEMW rightAligned = {};
    rightAligned.mask = HDI_FORMAT;
    rightAligned.fmt = HDF_STRING | HDF_RIGHT;
    Header_SetItem(ListView_GetHeader(p.List()), 1, &rightAligned);
    const HBITMAP previous = HeaderMarkBitmap;
    SetHeaderSortMark(p.List(), 1, MarkDescending);
    CHECK(Mark(p.List(), 1) == 'v');
    CHECK(GetObjectType(previous) == 0);
    rightAligned.fmt = HDF_STRING | HDF_LEFT;  // the shared window goes back to its own look
    Header_SetItem(ListView_GetHeader(p.List()), 1, &rightAligned);
    p.ResetSort();
    p.SelectNode(L"\\");
}

TEST_CASE("Names sort as lstrcmpiW has them: case ignored, digits before letters, punctuation by its own rules")
{
    Program& p = Shell();
    p.ResetSort();
    p.ShowRows({{L"Event", L"a_1"}, {L"Event", L"B2"}, {L"Event", L"a-2"}, {L"Event", L"b10"}, {L"Event", L"a1"},
                {L"Event", L"A"}});
    SortObjectList(p.List(), -1, false);
    CHECK(Names(p) == std::vector<std::wstring>{L"A", L"a_1", L"a1", L"a-2", L"b10", L"B2"});
    p.ResetSort();
    p.SelectNode(L"\\");
}

TEST_CASE("Copy puts the selected names, or the tree's label, on the clipboard, one line each; Select All")
{
    Program& p = Shell();
    p.ShowRows({{L"Event", L"a"}, {L"Event", L"c"}, {L"Event", L"b"}});
    SetFocus(p.List());
    PutClipboardText(L"untouched");
    p.Command(CMD_COPY);
    CHECK(ClipboardText() == L"untouched");  // nothing selected: nothing copied
    p.SetRowState(2, LVIS_SELECTED, LVIS_SELECTED);
    p.SetRowState(0, LVIS_SELECTED, LVIS_SELECTED);
    p.Command(CMD_COPY);
    CHECK(ClipboardText() == L"a\r\nb\r\n");
    const std::wstring longName(5000, L'x');  // read with a capacity of 4096 characters
    p.ShowRows({{L"Event", longName.c_str()}});
    p.SetRowState(0, LVIS_SELECTED, LVIS_SELECTED);
    p.Command(CMD_COPY);
    CHECK(ClipboardText() == std::wstring(4095, L'x') + L"\r\n");
    p.SelectNode(L"\\");
    p.Command(CMD_COPY);
    CHECK(ClipboardText() == L"\\\r\n");
    p.SelectNode(Objects().Path(L"Dir"));
    p.Command(CMD_COPY);
    CHECK(ClipboardText() == L"Dir\r\n");

    // The root's label starts a block of one byte, which must grow to hold
    // the label, its line break and the NUL.
    GrowsLeft = 1;
    {
        ClipboardTextBuilder builder(LimitedReAlloc);
        REQUIRE(builder.Open(p.List(), 1));
        CHECK(builder.Append(L"\\", true));
        CHECK(LastGrowBytes >= 4 * sizeof(wchar_t));
        CHECK(builder.Commit());
    }
    CHECK(ClipboardText() == L"\\\r\n");
    // A Copy whose block cannot grow, or that is dropped, changes nothing.
    PutClipboardText(L"untouched");
    GrowsLeft = 1;
    {
        ClipboardTextBuilder builder(LimitedReAlloc);
        REQUIRE(builder.Open(p.List(), 8));
        CHECK(builder.Append(L"first", true));
        CHECK_FALSE(builder.Append(L"second", true));
        CHECK_FALSE(builder.Append(L"third", true));
        CHECK_FALSE(builder.Commit());
        CHECK(GetOpenClipboardWindow() == nullptr);
    }
    {
        ClipboardTextBuilder builder;
        REQUIRE(builder.Open(p.List(), 8));
        builder.Append(L"dropped", true);
    }
    CHECK(ClipboardText() == L"untouched");

    // Select All selects every row, keeps or gives the row focus, and focuses the list.
    const int cases[][3] = {{5, 3, 3}, {5, -1, 0}, {0, -1, -1}};  // rows, focused before, after
    for (const auto& c : cases) {
        CAPTURE(c[0]);
        CAPTURE(c[1]);
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
    HMENU menu = GetMenu(p.window), edit = GetSubMenu(menu, 1), view = GetSubMenu(menu, 2);
    HWND toolbar = p.frame.Bar().ToolbarWindow();
    auto expect = [&](bool up, bool copy) {
        SendMessageW(p.window, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(edit), MAKELPARAM(1, 0));
        SendMessageW(p.window, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(view), MAKELPARAM(2, 0));
        SendMessageW(p.Pane(), WM_NULL, 0, 0);  // the toolbar follows every message of the pane
        CHECK(Greyed(view, CMD_UP) != up);
        CHECK(Greyed(edit, CMD_COPY) != copy);
        CHECK((SendMessageW(toolbar, TB_ISBUTTONENABLED, CMD_UP, 0) != 0) == up);
        CHECK((SendMessageW(toolbar, TB_ISBUTTONENABLED, CMD_COPY, 0) != 0) == copy);
        CHECK_FALSE((Greyed(edit, CMD_SELECT_ALL) || Greyed(view, CMD_REFRESH)));
    };
    p.SelectNode(L"\\");
    expect(false, false);  // the root selected: Copy greyed although it would copy the label
    p.SelectNode(L"\\Device");
    p.ShowRows({{L"Event", L"a"}});
    p.SetRowState(0, LVIS_SELECTED, LVIS_SELECTED);
    expect(true, true);
    p.ShowRows({});
    p.SelectNode(L"\\");
    expect(false, false);
    // A toolbar handed over again is set afresh, whatever it showed.
    SendMessageW(toolbar, TB_ENABLEBUTTON, CMD_UP, TRUE);
    p.site->SetBarWindows(toolbar, p.frame.Status().Window());
    expect(false, false);

    // The sort submenu: a plain check in the older look, else a radio mark.
    HMENU sort = GetSubMenu(view, 3);
    const struct {
        int version, key;
        const char* marks;  // name, type, enumeration order
    } cases[] = {{3, SortByEnumeration, "--c"}, {3, SortByType, "-c-"}, {10, SortByType, "-r-"},
                 {10, SortByEnumeration, "--r"}, {10, SortByName, "r--"}};
    for (const auto& c : cases) {
        CAPTURE(c.version);
        CAPTURE(c.key);
        SystemMajorVersion = c.version;
        CurrentSortKey = c.key;
        SendMessageW(p.window, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(sort), MAKELPARAM(3, 0));
        CHECK(std::string{SortMark(sort, CMD_SORT_NAME), SortMark(sort, CMD_SORT_TYPE), SortMark(sort, CMD_SORT_ENUM)}
              == c.marks);
    }
    SystemMajorVersion = 10;
    p.ResetSort();
}
