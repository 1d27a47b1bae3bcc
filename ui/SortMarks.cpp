#include "SortMarks.h"

// Drawn from the header's image list beside the text. The main list's etched
// bitmap is its own and stays so.
void SetColumnMark(HWND list, int column, int image)
{
    HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
    if (!header || column < 0)
        return;
    HDITEMW item = {};
    item.mask = HDI_FORMAT;
    SendMessageW(header, HDM_GETITEMW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&item));
    item.mask = HDI_FORMAT | HDI_IMAGE;
    item.fmt = image ? (item.fmt | HDF_IMAGE | HDF_BITMAP_ON_RIGHT) : (item.fmt & ~(HDF_IMAGE | HDF_BITMAP_ON_RIGHT));
    item.iImage = image;
    SendMessageW(header, HDM_SETITEMW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&item));
}

bool PickSortColumn(HWND list, ColumnSort& sort, int column, int columnCount)
{
    if (column < 0 || column >= columnCount)
        return false;
    if (sort.column != column)
        SetColumnMark(list, sort.column, MarkNone);
    sort.descending = sort.column == column ? !sort.descending : false;
    sort.column = column;
    SetColumnMark(list, column, sort.descending ? MarkDescending : MarkAscending);
    return true;
}
