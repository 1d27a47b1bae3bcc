#include "ReportList.h"

#include <commctrl.h>

#include <cstring>

#include "AppGlobals.h"
#include "ImageStrips.h"
#include "LoadedText.h"

namespace {

// Room round a cell's text, as the list leaves it when it sizes a column to
// its labels, and round a title with its sort mark.
const int CellMargin = 12;
const int ImageMargin = 4;
const int TitleMargin = 18;
const int MaxFittedColumns = 16;

void AddColumns(HWND list, const ReportColumn* columns, int count)
{
    RECT client = {};
    GetClientRect(list, &client);
    const int width = client.right - client.left - GetSystemMetrics(SM_CXVSCROLL);
    for (int column = 0; column < count; ++column) {
        wchar_t title[LoadedTextChars];
        LoadText(columns[column].title, title, LoadedTextChars);
        LVCOLUMNW item = {};
        item.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM | LVCF_FMT;
        item.fmt = columns[column].format;
        item.pszText = title;
        item.cx = width * columns[column].share / 100;
        item.iSubItem = column;
        SendMessageW(list, LVM_INSERTCOLUMNW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&item));
    }
}

// What a title needs: its text, the sort mark beside it, the margins.
int TitleWidth(HWND list, const CellMeasure& measure, int column)
{
    wchar_t title[LoadedTextChars] = {};
    LVCOLUMNW item = {};
    item.mask = LVCF_TEXT;
    item.pszText = title;
    item.cchTextMax = LoadedTextChars;
    SendMessageW(list, LVM_GETCOLUMNW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&item));
    HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
    int markWidth = 0, markHeight = 0;
    HIMAGELIST marks = reinterpret_cast<HIMAGELIST>(SendMessageW(header, HDM_GETIMAGELIST, 0, 0));
    if (marks)
        ImageList_GetIconSize(marks, &markWidth, &markHeight);
    return measure.Width(title) + markWidth + TitleMargin;
}

// The first column also shows the row's small image.
int ImageWidth(HWND list, int column)
{
    HIMAGELIST images = reinterpret_cast<HIMAGELIST>(SendMessageW(list, LVM_GETIMAGELIST, LVSIL_SMALL, 0));
    int width = 0, height = 0;
    if (column != 0 || !images || !ImageList_GetIconSize(images, &width, &height))
        return 0;
    return width + ImageMargin;
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

CellMeasure::CellMeasure(HWND list) : list_(list), context_(GetDC(list)), oldFont_(nullptr)
{
    if (context_)
        oldFont_ = SelectObject(context_, reinterpret_cast<HGDIOBJ>(SendMessageW(list, WM_GETFONT, 0, 0)));
}

CellMeasure::~CellMeasure()
{
    if (!context_)
        return;
    SelectObject(context_, oldFont_);
    ReleaseDC(list_, context_);
}

int CellMeasure::Width(const wchar_t* text) const
{
    const int length = lstrlenW(text);
    SIZE size = {};
    if (!context_ || !GetTextExtentPoint32W(context_, text, length < DrawnCellChars ? length : DrawnCellChars, &size))
        return 0;
    return size.cx;
}

void FitReportColumns(HWND list, const int* widths, int count)
{
    int fitted[MaxFittedColumns], current[MaxFittedColumns];
    bool changed = false;
    count = count < MaxFittedColumns ? count : MaxFittedColumns;
    {
        const CellMeasure measure(list);
        for (int column = 0; column < count; ++column) {
            const int cells = widths[column] + ImageWidth(list, column) + CellMargin;
            const int title = TitleWidth(list, measure, column);
            fitted[column] = cells > title ? cells : title;
            current[column] = static_cast<int>(SendMessageW(list, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(column), 0));
            changed |= fitted[column] != current[column];
        }
    }
    if (!changed)
        return;  // a search with the rows of the last leaves the list and its header as drawn
    const UndrawnChange change(list, RDW_ERASE | RDW_ALLCHILDREN);  // the header too
    for (int column = 0; column < count; ++column)
        if (fitted[column] != current[column])
            SendMessageW(list, LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(column), fitted[column]);
}

UndrawnChange::UndrawnChange(HWND list, UINT redraw)
    : list_(list), redraw_(redraw | RDW_INVALIDATE | RDW_FRAME),
      shown_(list && (GetWindowLongW(list, GWL_STYLE) & WS_VISIBLE) != 0)
{
    // The default handling, not the control's: that would lay out and draw its scroll bars again at once.
    if (!shown_)
        return;
    bars_ = ReadBars();
    DefWindowProcW(list_, WM_SETREDRAW, FALSE, 0);
}

UndrawnChange::~UndrawnChange()
{
    if (!shown_)
        return;
    DefWindowProcW(list_, WM_SETREDRAW, TRUE, 0);
    const bool framed = BarsChanged(bars_, ReadBars());
    if (!from_) {
        RedrawWindow(list_, nullptr, nullptr, framed ? redraw_ : redraw_ & ~RDW_FRAME);
        return;
    }
    if (framed)
        InvalidateFrame();
    if (!IsRectEmpty(&rows_))
        RedrawWindow(list_, &rows_, nullptr, redraw_ & ~RDW_FRAME);
}

void UndrawnChange::From(int first)
{
    RECT client;
    from_ = true;
    if (!shown_ || !GetClientRect(list_, &client))
        return;
    rows_ = client;
    RECT row = {LVIR_BOUNDS, 0, 0, 0};
    if (SendMessageW(list_, LVM_GETITEMRECT, static_cast<WPARAM>(first), reinterpret_cast<LPARAM>(&row)) &&
        row.top > client.top)
        rows_.top = row.top;
    if (rows_.top >= rows_.bottom)
        SetRectEmpty(&rows_);
}

UndrawnChange::Bars UndrawnChange::ReadBars() const
{
    Bars bars = {};
    bars.style = static_cast<DWORD>(GetWindowLongW(list_, GWL_STYLE)) & (WS_VSCROLL | WS_HSCROLL);
    GetClientRect(list_, &bars.client);
    for (int bar = 0; bar < 2; ++bar) {
        SCROLLINFO info = {sizeof(info), SIF_ALL, 0, 0, 0, 0, 0};
        if (GetScrollInfo(list_, bar ? SB_HORZ : SB_VERT, &info)) {
            bars.range[bar][0] = info.nMin;
            bars.range[bar][1] = info.nMax;
            bars.range[bar][2] = static_cast<int>(info.nPage);
            bars.range[bar][3] = info.nPos;
        }
    }
    return bars;
}

bool UndrawnChange::BarsChanged(const Bars& before, const Bars& after)
{
    return before.style != after.style || !EqualRect(&before.client, &after.client) ||
           std::memcmp(before.range, after.range, sizeof(before.range)) != 0;
}

// The window's rectangle less its client's, in client coordinates: the border and scroll bars.
void UndrawnChange::InvalidateFrame() const
{
    RECT outer, client;
    if (!GetWindowRect(list_, &outer) || !GetClientRect(list_, &client))
        return;
    MapWindowPoints(nullptr, list_, reinterpret_cast<POINT*>(&outer), 2);
    HRGN frame = CreateRectRgnIndirect(&outer);
    HRGN inner = CreateRectRgnIndirect(&client);
    if (frame && inner && CombineRgn(frame, frame, inner, RGN_DIFF) != ERROR)
        RedrawWindow(list_, nullptr, frame, RDW_INVALIDATE | RDW_FRAME);
    if (inner)
        DeleteObject(inner);
    if (frame)
        DeleteObject(frame);
}
