#include <doctest.h>

#include "PaneHost.h"

using namespace panehost;

namespace {

using Names = std::vector<std::wstring>;

// The marks as the header shows them: '.' button face, 'K' button shadow,
// 'W' button highlight; the triangles' black and white, etched.
const char DownMark[] =
    "............\n"
    "............\n"
    "KKKKKKKKKK..\n"
    ".K......W...\n"
    "..K....W....\n"
    "...K..W.....\n"
    "....KW......\n"
    "............\n";
const char UpMark[] =
    "............\n"
    "............\n"
    "....KW......\n"
    "...K..W.....\n"
    "..K....W....\n"
    ".K......W...\n"
    "KWWWWWWWWW..\n"
    "............\n";

std::string Picture(HBITMAP bitmap)
{
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    const COLORREF shadow = GetSysColor(COLOR_BTNSHADOW);
    const COLORREF highlight = GetSysColor(COLOR_BTNHIGHLIGHT);
    BITMAP info = {};
    GetObjectW(bitmap, sizeof(info), &info);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, bitmap);
    std::string picture;
    for (int y = 0; y < info.bmHeight; ++y) {
        for (int x = 0; x < info.bmWidth; ++x) {
            const COLORREF pixel = GetPixel(dc, x, y);
            picture += pixel == face ? '.' : pixel == shadow ? 'K' : pixel == highlight ? 'W' : '?';
        }
        picture += '\n';
    }
    SelectObject(dc, old);
    DeleteDC(dc);
    return picture;
}

HDITEMW HeaderItem(HWND list, int column)
{
    HDITEMW item = {};
    item.mask = HDI_FORMAT | HDI_BITMAP;
    SendMessageW(GetDlgItem(list, 0), HDM_GETITEMW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&item));
    return item;
}

// A left-aligned column's mark: '^' up, 'v' down, '-' none, and '?' for any
// other picture, or one not shown as the live bitmap right of the text.
char Mark(HWND list, int column)
{
    const HDITEMW item = HeaderItem(list, column);
    if (!(item.fmt & HDF_BITMAP))
        return '-';
    if (item.hbm != HeaderMarkBitmap || (item.fmt & (HDF_BITMAP_ON_RIGHT | HDF_IMAGE)) != HDF_BITMAP_ON_RIGHT)
        return '?';
    const std::string picture = Picture(item.hbm);
    return picture == UpMark ? '^' : picture == DownMark ? 'v' : '?';
}

Names RowNames(HWND list)
{
    Names names;
    for (const Row& row : Rows(list))
        names.push_back(row.name);
    return names;
}

// Sorts as a fill does, by a click on a column's header, or by a command.
const int Fill = -1;

void Pick(const PaneHost& host, int pick)
{
    if (pick == Fill) {
        SortObjectList(host.List(), -1, false);
    } else if (pick >= CMD_SORT_NAME) {
        host.Command(static_cast<WORD>(pick));
    } else {
        NMLISTVIEW click = {};
        click.hdr = {host.List(), ListControlId, static_cast<UINT>(LVN_COLUMNCLICK)};
        click.iSubItem = pick;
        SendMessageW(host.Pane(), WM_NOTIFY, ListControlId, reinterpret_cast<LPARAM>(&click));
    }
}

}  // namespace

TEST_CASE("From a fresh start, picks sort and toggle, the header mark follows, fills keep the order")
{
    TestNamespace ns;
    REQUIRE(ns.Directory(L"Later") >= 0);
    for (const wchar_t* name : {L"Later\\x", L"Later\\y", L"Later\\z"})
        REQUIRE(ns.Event(name) >= 0);
    PaneHost host;
    HWND list = host.List();
    host.ShowRows({{L"Directory", L"zeta"}, {L"Event", L"Alpha"}, {L"Directory", L"beta"}, {L"Device", L"Gamma"}});
    const struct {
        int pick;
        Names names;
        std::string marks;  // of the name and the type column
    } steps[] = {
        {Fill, {L"beta", L"zeta", L"Alpha", L"Gamma"}, "^-"},
        {0, {L"Gamma", L"Alpha", L"zeta", L"beta"}, "v-"},
        {1, {L"beta", L"zeta", L"Gamma", L"Alpha"}, "-^"},
        {1, {L"Alpha", L"Gamma", L"zeta", L"beta"}, "-v"},
        {Fill, {L"Alpha", L"Gamma", L"zeta", L"beta"}, "-v"},
        {CMD_SORT_ENUM, {L"zeta", L"Alpha", L"beta", L"Gamma"}, "--"},
        {CMD_SORT_ENUM, {L"Gamma", L"beta", L"Alpha", L"zeta"}, "--"},
        {3, {L"Gamma", L"beta", L"Alpha", L"zeta"}, "--"},  // a key that names no order
    };
    for (size_t i = 0; i < sizeof(steps) / sizeof(steps[0]); ++i) {
        CAPTURE(i);
        Pick(host, steps[i].pick);
        CHECK(RowNames(list) == steps[i].names);
        CHECK(std::string{Mark(list, 0), Mark(list, 1)} == steps[i].marks);
    }

    // Another directory is filled in the same order and direction.
    host.Show(ns.Path(L"Later"));
    const std::vector<Row> rows = Rows(list);
    REQUIRE(rows.size() == 3);
    CHECK(rows[0].record->enumerationIndex == 3);
    CHECK(rows[2].record->enumerationIndex == 1);

    // In a right-aligned column the mark stands left of the text; only one
    // mark bitmap lives at a time.
    HDITEMW rightAligned = {};
    rightAligned.mask = HDI_FORMAT;
    rightAligned.fmt = HDF_STRING | HDF_RIGHT;
    SendMessageW(GetDlgItem(list, 0), HDM_SETITEMW, 1, reinterpret_cast<LPARAM>(&rightAligned));
    const HBITMAP previous = HeaderMarkBitmap;
    SetHeaderSortMark(list, 1, MarkDescending);
    CHECK((HeaderItem(list, 1).fmt & (HDF_RIGHT | HDF_BITMAP | HDF_BITMAP_ON_RIGHT)) == (HDF_RIGHT | HDF_BITMAP));
    CHECK(Picture(HeaderMarkBitmap) == DownMark);
    CHECK(GetObjectType(previous) == 0);
}

TEST_CASE("Names and type names compare without regard to case")
{
    EntryRecord* lower = MakeEntryRecord(1, L"Event", L"a");
    EntryRecord* upper = MakeEntryRecord(2, L"EVENT", L"A");
    for (int key : {SortByName, SortByType}) {
        CAPTURE(key);
        CHECK(CompareEntries(reinterpret_cast<LPARAM>(lower), reinterpret_cast<LPARAM>(upper),
                             MakeSortParameter(key, 0)) == 0);
    }
    FreeEntryRecord(lower);
    FreeEntryRecord(upper);
}
