#include "ReportList.h"

#include <commctrl.h>

#include "AppGlobals.h"
#include "ImageStrips.h"

namespace {

void AddColumns(HWND list, const ReportColumn* columns, int count)
{
    RECT client = {};
    GetClientRect(list, &client);
    const int width = client.right - client.left - GetSystemMetrics(SM_CXVSCROLL);
    for (int column = 0; column < count; ++column) {
        LVCOLUMNW item = {};
        item.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM | LVCF_FMT;
        item.fmt = columns[column].format;
        item.pszText = const_cast<wchar_t*>(columns[column].title);
        item.cx = width * columns[column].share / 100;
        item.iSubItem = column;
        SendMessageW(list, LVM_INSERTCOLUMNW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&item));
    }
}

}  // namespace

void SetUpReportList(HWND list, const ReportColumn* columns, int count)
{
    if (IsOlderLook()) {
        SetWindowLongPtrW(list, GWL_EXSTYLE, GetWindowLongPtrW(list, GWL_EXSTYLE) & ~WS_EX_CLIENTEDGE);
        SetWindowLongPtrW(list, GWL_STYLE, GetWindowLongPtrW(list, GWL_STYLE) | WS_BORDER);
        SetWindowPos(list, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
    }
    SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
    SendMessageW(header, HDM_SETIMAGELIST, HDSIL_NORMAL, reinterpret_cast<LPARAM>(LoadHeaderMarks(AppInstance)));
    AddColumns(list, columns, count);
}
