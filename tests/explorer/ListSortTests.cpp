#include <doctest.h>

#include <string>
#include <vector>

#include "CommandsFixture.h"
#include "EntryRecord.h"
#include "ListSort.h"
#include "ResourceIds.h"

namespace {

using Names = std::vector<std::wstring>;

const int MarkWidth = 12;
const int MarkHeight = 8;
const COLORREF Black = RGB(0, 0, 0);
const COLORREF White = RGB(255, 255, 255);
// Not in the marks' palette: shows where an image is transparent.
const COLORREF Backdrop = RGB(255, 0, 255);

using Pixels = std::vector<COLORREF>;  // row by row, MarkWidth per row

Pixels ReadPixels(HDC dc)
{
    Pixels pixels;
    for (int y = 0; y < MarkHeight; ++y)
        for (int x = 0; x < MarkWidth; ++x)
            pixels.push_back(GetPixel(dc, x, y));
    return pixels;
}

// The mark image as drawn over the backdrop colour.
Pixels SourceImage(int image)
{
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, MarkWidth, MarkHeight);
    HGDIOBJ old = SelectObject(dc, bitmap);
    HBRUSH backdrop = CreateSolidBrush(Backdrop);
    RECT whole = {0, 0, MarkWidth, MarkHeight};
    FillRect(dc, &whole, backdrop);
    ImageList_Draw(HeaderMarkImageList, image, dc, 0, 0, ILD_NORMAL);
    Pixels pixels = ReadPixels(dc);
    SelectObject(dc, old);
    DeleteObject(backdrop);
    DeleteObject(bitmap);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    return pixels;
}

Pixels BitmapPixels(HBITMAP bitmap)
{
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, bitmap);
    Pixels pixels = ReadPixels(dc);
    SelectObject(dc, old);
    DeleteDC(dc);
    return pixels;
}

struct RowSpan {
    int left = -1;   // first drawn column, -1 when the row is empty
    int right = -1;  // last drawn column
};

RowSpan Span(const Pixels& pixels, int y)
{
    RowSpan span;
    for (int x = 0; x < MarkWidth; ++x) {
        if (pixels[y * MarkWidth + x] == Backdrop)
            continue;
        if (span.left < 0)
            span.left = x;
        span.right = x;
    }
    return span;
}

// Any of the flags in the header item's format.
bool HasFormat(const HDITEMW& item, int flags) { return (item.fmt & flags) != 0; }

COLORREF At(const Pixels& pixels, int x, int y) { return pixels[y * MarkWidth + x]; }

// Drawn rows from `from` towards `to`: the left slope black, the right white,
// narrowing step by step towards the point.
void CheckSlopes(const Pixels& pixels, int from, int to, int step)
{
    int rows = 0;
    int lastLeft = -1;
    for (int y = from; y != to; y += step) {
        const RowSpan span = Span(pixels, y);
        if (span.left < 0)
            break;
        CHECK(At(pixels, span.left, y) == Black);
        CHECK(At(pixels, span.right, y) == White);
        CHECK(span.left > lastLeft);
        lastLeft = span.left;
        ++rows;
    }
    CHECK(rows >= 2);
}

int FirstDrawnRow(const Pixels& pixels, int from, int step)
{
    for (int y = from; y >= 0 && y < MarkHeight; y += step)
        if (Span(pixels, y).left >= 0)
            return y;
    return -1;
}

}  // namespace

TEST_CASE("the list sorts by name and by type, directories first, in both directions")
{
    CommandsWindow window;
    window.AddSampleRows();
    ResetSortState();

    SortObjectList(window.list, SortByName, false);
    CHECK(window.Names() == Names{L"beta", L"zeta", L"Alpha", L"Gamma"});
    SortDescending[SortByName] = 1;
    SortObjectList(window.list, SortByName, false);
    CHECK(window.Names() == Names{L"Gamma", L"Alpha", L"zeta", L"beta"});

    SortDescending[SortByType] = 0;
    SortObjectList(window.list, SortByType, false);
    CHECK(window.Names() == Names{L"beta", L"zeta", L"Gamma", L"Alpha"});
    SortDescending[SortByType] = 1;
    SortObjectList(window.list, SortByType, false);
    CHECK(window.Names() == Names{L"Alpha", L"Gamma", L"zeta", L"beta"});
}

TEST_CASE("entries compare by name within a type, without regard to case, and by enumeration index")
{
    EntryRecord* second = MakeEntryRecord(2, L"Event", L"b");
    EntryRecord* first = MakeEntryRecord(1, L"Event", L"a");
    EntryRecord* upper = MakeEntryRecord(3, L"EVENT", L"A");
    EntryRecord* unknown = MakeEntryRecord(4, L"Mystery", L"0");  // type outside the table: no directory
    EntryRecord* directory = MakeEntryRecord(5, L"Directory", L"z");
    auto compare = [](EntryRecord* a, EntryRecord* b, int key, int descending) {
        return CompareEntries(reinterpret_cast<LPARAM>(a), reinterpret_cast<LPARAM>(b),
                              MakeSortParameter(key, descending));
    };

    CHECK(compare(second, first, SortByType, 0) > 0);
    CHECK(compare(second, first, SortByType, 1) < 0);
    CHECK(compare(first, upper, SortByName, 0) == 0);
    CHECK(compare(first, upper, SortByType, 0) == 0);
    CHECK(compare(unknown, directory, SortByName, 0) > 0);
    CHECK(compare(first, second, SortByEnumeration, 0) < 0);
    CHECK(compare(second, first, SortByEnumeration, 0) > 0);
    CHECK(compare(second, first, SortByEnumeration, 1) < 0);
    CHECK(compare(first, first, SortByEnumeration, 1) == 0);
    CHECK(compare(first, second, 7, 1) == 0);

    for (EntryRecord* record : {second, first, upper, unknown, directory})
        FreeEntryRecord(record);
}

TEST_CASE("from a fresh start, picks toggle the order and move the header mark; fills keep the order")
{
    CommandsWindow window;
    const long recordsBefore = LiveEntryRecords();
    window.AddRow(1, L"Event", L"Alpha");
    window.AddRow(2, L"Directory", L"zeta");
    window.AddRow(3, L"Device", L"Gamma");
    window.AddRow(4, L"Directory", L"beta");
    ResetSortState();

    SortObjectList(window.list, -1, false);  // the first fill
    CHECK(window.Names() == Names{L"beta", L"zeta", L"Alpha", L"Gamma"});
    CHECK(window.HeaderItem(0).iImage == MarkAscending);
    CHECK(HasFormat(window.HeaderItem(0), HDF_BITMAP));

    SortObjectList(window.list, SortByName, true);  // click on "名前"
    CHECK(window.Names() == Names{L"Gamma", L"Alpha", L"zeta", L"beta"});
    CHECK(window.HeaderItem(0).iImage == MarkDescending);

    SortObjectList(window.list, SortByType, true);  // click on "タイプ"
    CHECK(window.Names() == Names{L"beta", L"zeta", L"Gamma", L"Alpha"});
    CHECK_FALSE(HasFormat(window.HeaderItem(0), HDF_BITMAP));
    CHECK(window.HeaderItem(1).iImage == MarkAscending);
    CHECK(HasFormat(window.HeaderItem(1), HDF_BITMAP));

    SortObjectList(window.list, SortByType, true);
    CHECK(window.Names() == Names{L"Alpha", L"Gamma", L"zeta", L"beta"});
    CHECK(window.HeaderItem(1).iImage == MarkDescending);

    // Another directory: the fill sorts by the same key and direction.
    window.ClearRows();
    window.AddRow(1, L"Event", L"e1");
    window.AddRow(2, L"Device", L"d1");
    window.AddRow(3, L"Event", L"e0");
    SortObjectList(window.list, -1, false);
    CHECK(window.Names() == Names{L"e1", L"e0", L"d1"});
    CHECK(CurrentSortKey == SortByType);
    CHECK(SortDescending[SortByType] == 1);
    CHECK(window.HeaderItem(1).iImage == MarkDescending);

    SortObjectList(window.list, CMD_SORT_ENUM - CMD_SORT_NAME, true);
    CHECK(window.Names() == Names{L"e1", L"d1", L"e0"});
    CHECK(CurrentSortKey == SortByEnumeration);
    CHECK_FALSE(HasFormat(window.HeaderItem(0), HDF_BITMAP));
    CHECK_FALSE(HasFormat(window.HeaderItem(1), HDF_BITMAP));

    SortObjectList(window.list, CMD_SORT_ENUM - CMD_SORT_NAME, true);
    CHECK(window.Names() == Names{L"e0", L"d1", L"e1"});
    CHECK_FALSE(HasFormat(window.HeaderItem(1), HDF_BITMAP));

    // A key that names no order changes nothing.
    SortObjectList(window.list, 3, true);
    CHECK(CurrentSortKey == SortByEnumeration);
    CHECK(window.Names() == Names{L"e0", L"d1", L"e1"});

    window.ClearRows();
    CHECK(LiveEntryRecords() == recordsBefore);
}

TEST_CASE("the header mark stands right of the text, or left of it in a right-aligned column")
{
    CommandsWindow window;

    SetHeaderSortMark(window.list, 0, MarkAscending);
    HDITEMW item = window.HeaderItem(0);
    CHECK((item.fmt & (HDF_BITMAP | HDF_BITMAP_ON_RIGHT)) == (HDF_BITMAP | HDF_BITMAP_ON_RIGHT));
    CHECK_FALSE(HasFormat(item, HDF_IMAGE));
    CHECK(item.hbm == HeaderMarkBitmap);
    HBITMAP previous = HeaderMarkBitmap;

    HDITEMW rightAligned = {};
    rightAligned.mask = HDI_FORMAT;
    rightAligned.fmt = HDF_STRING | HDF_RIGHT;
    SendMessageW(GetDlgItem(window.list, 0), HDM_SETITEMW, 1, reinterpret_cast<LPARAM>(&rightAligned));
    SetHeaderSortMark(window.list, 1, MarkDescending);
    item = window.HeaderItem(1);
    CHECK(HasFormat(item, HDF_BITMAP));
    CHECK_FALSE(HasFormat(item, HDF_BITMAP_ON_RIGHT));
    CHECK(HasFormat(item, HDF_RIGHT));
    // Only one mark bitmap lives at a time.
    CHECK(GetObjectType(previous) == 0);

    SetHeaderSortMark(window.list, 1, MarkNone);
    CHECK_FALSE(HasFormat(window.HeaderItem(1), HDF_BITMAP | HDF_BITMAP_ON_RIGHT));

    // The enumeration order has no column: nothing to mark.
    SetHeaderSortMark(window.list, 2, MarkAscending);
    CHECK(SendMessageW(GetDlgItem(window.list, 0), HDM_GETITEMCOUNT, 0, 0) == 2);
}

TEST_CASE("the sort mark images are an empty image and two etched triangles")
{
    CommandsWindow window;
    REQUIRE(HeaderMarkImageList);
    int width = 0;
    int height = 0;
    ImageList_GetIconSize(HeaderMarkImageList, &width, &height);
    CHECK(width == MarkWidth);
    CHECK(height == MarkHeight);
    CHECK(ImageList_GetImageCount(HeaderMarkImageList) == 3);

    const Pixels empty = SourceImage(MarkNone);
    CHECK(empty == Pixels(MarkWidth * MarkHeight, Backdrop));

    for (int image : {MarkDescending, MarkAscending}) {
        CAPTURE(image);
        const Pixels pixels = SourceImage(image);
        for (int y = 0; y < MarkHeight; ++y) {
            CHECK(At(pixels, 10, y) == Backdrop);
            CHECK(At(pixels, 11, y) == Backdrop);
        }
    }

    // Down: a black top edge ten pixels wide, then the slopes to the point.
    const Pixels down = SourceImage(MarkDescending);
    const int top = FirstDrawnRow(down, 0, 1);
    REQUIRE(top >= 0);
    for (int x = 0; x < 10; ++x)
        CHECK(At(down, x, top) == Black);
    CheckSlopes(down, top + 1, MarkHeight, 1);

    // Up: a bottom edge ten pixels wide, white but for its black left corner.
    const Pixels up = SourceImage(MarkAscending);
    const int bottom = FirstDrawnRow(up, MarkHeight - 1, -1);
    REQUIRE(bottom >= 0);
    CHECK(At(up, 0, bottom) == Black);
    for (int x = 1; x < 10; ++x)
        CHECK(At(up, x, bottom) == White);
    CheckSlopes(up, bottom - 1, -1, -1);
}

TEST_CASE("the mark bitmap is 12 x 8, drawn in button colours")
{
    CommandsWindow window;
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    const COLORREF shadow = GetSysColor(COLOR_BTNSHADOW);
    const COLORREF highlight = GetSysColor(COLOR_BTNHIGHLIGHT);

    for (int image : {MarkNone, MarkDescending, MarkAscending}) {
        CAPTURE(image);
        SetHeaderSortMark(window.list, 0, image);
        REQUIRE(HeaderMarkBitmap);
        CHECK(window.HeaderItem(0).hbm == HeaderMarkBitmap);
        BITMAP info = {};
        GetObjectW(HeaderMarkBitmap, sizeof(info), &info);
        CHECK(info.bmWidth == MarkWidth);
        CHECK(info.bmHeight == MarkHeight);

        const Pixels source = SourceImage(image);
        const Pixels mark = BitmapPixels(HeaderMarkBitmap);
        for (size_t i = 0; i < source.size(); ++i) {
            COLORREF expected = source[i];
            if (expected == Backdrop)
                expected = face;
            else if (expected == Black)
                expected = shadow;
            else if (expected == White)
                expected = highlight;
            CAPTURE(i);
            CHECK(mark[i] == expected);
        }
    }
}
