// The sort marks of list headers: bitmap 114's three images, shown beside a
// column's title, and the column-and-direction choice of the report lists
// that sort on a header click.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "ImageStrips.h"

// Header mark images of HeaderMarkImageList.
enum HeaderMark { MarkNone = 0, MarkDescending = 1, MarkAscending = 2 };

// Shows image (a HeaderMark) beside the column's title, from the header's
// image list; MarkNone takes the mark away.
void SetColumnMark(HWND list, int column, int image);

// A report list's sort: a header click picks the column, the same column
// again turns the order round.
struct ColumnSort {
    int column = -1;  // none yet: the order the rows came in
    bool descending = false;
};

// Picks column (0 to columnCount - 1) and moves the header's mark to it;
// false, nothing changed, for a column outside that range.
bool PickSortColumn(HWND list, ColumnSort& sort, int column, int columnCount);
