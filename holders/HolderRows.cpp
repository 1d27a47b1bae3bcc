#include "HolderRows.h"

#include "AccessRights.h"
#include "ClipboardText.h"
#include "ReportList.h"

namespace {

// Larger than any column's text: a program's name is a file name.
const int RowTextChars = AccessTextChars;
const SIZE_T FirstClipboardBytes = 256;

struct SortContext {
    const HolderRowsSource* source;
    int column;
    bool descending;
};

// A file's handle by a file's rights: the object's type would name them as its own.
void DescribeHeld(const HeldHandle& held, int typeCode, wchar_t (&text)[AccessTextChars])
{
    if (held.file)
        DescribeFileAccess(held.access, text);
    else
        DescribeAccess(typeCode, held.access, text);
}

int CompareNumbers(ULONG_PTR a, ULONG_PTR b) { return a < b ? -1 : (a > b ? 1 : 0); }

// The column's order, then process and handle, so that equal texts keep one
// order whatever order the scan found them in.
int CALLBACK CompareRows(LPARAM first, LPARAM second, LPARAM parameter)
{
    const auto* context = reinterpret_cast<const SortContext*>(parameter);
    const HeldHandle a = context->source->scan->Handle(static_cast<size_t>(first));
    const HeldHandle b = context->source->scan->Handle(static_cast<size_t>(second));
    int result = 0;
    switch (context->column) {
    case ColumnProgram:
        result = lstrcmpiW(a.program, b.program);
        break;
    case ColumnFile:
        result = lstrcmpiW(a.file ? a.file : L"", b.file ? b.file : L"");
        break;
    case ColumnAccess: {
        wchar_t aText[AccessTextChars], bText[AccessTextChars];
        DescribeHeld(a, context->source->typeCode, aText);
        DescribeHeld(b, context->source->typeCode, bText);
        result = lstrcmpiW(aText, bText);
        break;
    }
    default:
        break;
    }
    // The handle column by value, then process; the others by process, then value.
    const bool byValue = context->column == ColumnHandle;
    if (result == 0)
        result = byValue ? CompareNumbers(a.value, b.value) : CompareNumbers(a.pid, b.pid);
    if (result == 0)
        result = byValue ? CompareNumbers(a.pid, b.pid) : CompareNumbers(a.value, b.value);
    return context->descending ? -result : result;
}

void Resort(HWND list, const HolderRowsSource& source, const ColumnSort& sort)
{
    if (sort.column < 0)
        return;
    SortContext context = {&source, sort.column, sort.descending};
    SendMessageW(list, LVM_SORTITEMS, reinterpret_cast<WPARAM>(&context), reinterpret_cast<LPARAM>(CompareRows));
}

}  // namespace

int FillHolderRows(HWND list, const HolderRowsSource& source, const wchar_t* path, const ColumnSort& sort)
{
    SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
    size_t first = 0;
    const size_t count = source.scan ? source.scan->Find(path, &first) : 0;
    int added = 0;
    for (size_t i = 0; i < count; ++i) {
        LVITEMW item = {};
        item.mask = LVIF_TEXT | LVIF_PARAM;
        item.iItem = added;
        item.pszText = LPSTR_TEXTCALLBACKW;
        item.lParam = static_cast<LPARAM>(first + i);
        if (SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)) >= 0)
            ++added;
    }
    Resort(list, source, sort);
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);
    return added;
}

void HolderRowText(const HolderRowsSource& source, LPARAM index, int column, wchar_t* text, int capacity)
{
    if (capacity <= 0)
        return;
    text[0] = L'\0';
    if (!source.scan || index < 0 || static_cast<size_t>(index) >= source.scan->Count())
        return;
    const HeldHandle held = source.scan->Handle(static_cast<size_t>(index));
    wchar_t made[RowTextChars];
    const wchar_t* shown = made;
    switch (column) {
    case ColumnProgram:
        shown = held.program;
        break;
    case ColumnPid:
        wsprintfW(made, L"%lu", held.pid);
        break;
    case ColumnHandle:
        wsprintfW(made, L"0x%I64X", static_cast<unsigned long long>(held.value));
        break;
    case ColumnAccess:
        DescribeHeld(held, source.typeCode, made);
        break;
    case ColumnFile:
        shown = held.file ? held.file : L"";
        break;
    default:
        made[0] = L'\0';
        break;
    }
    lstrcpynW(text, shown, capacity);
}

void FitHolderColumns(HWND list, const HolderRowsSource& source)
{
    int widths[HolderColumnCount] = {};
    {
        const CellMeasure measure(list);
        const int rows = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
        for (int row = 0; row < rows; ++row) {
            LVITEMW item = {};
            item.mask = LVIF_PARAM;
            item.iItem = row;
            if (!SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item)))
                continue;
            for (int column = 0; column < HolderColumnCount; ++column) {
                wchar_t text[RowTextChars];
                HolderRowText(source, item.lParam, column, text, RowTextChars);
                const int width = measure.Width(text);
                widths[column] = width > widths[column] ? width : widths[column];
            }
        }
    }
    FitReportColumns(list, widths, HolderColumnCount);
}

void SortHolderRows(HWND list, const HolderRowsSource& source, ColumnSort& sort, int column)
{
    if (PickSortColumn(list, sort, column, HolderColumnCount))
        Resort(list, source, sort);
}

bool CopyHolderRows(HWND list, const HolderRowsSource& source)
{
    if (SendMessageW(list, LVM_GETSELECTEDCOUNT, 0, 0) <= 0)
        return false;
    ClipboardTextBuilder builder;
    if (!builder.Open(list, FirstClipboardBytes))
        return false;
    for (int row = -1;;) {
        row = static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(row), LVNI_SELECTED));
        if (row < 0)
            break;
        LVITEMW item = {};
        item.mask = LVIF_PARAM;
        item.iItem = row;
        if (!SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item)))
            return false;
        for (int column = 0; column < HolderColumnCount; ++column) {
            wchar_t text[RowTextChars];
            HolderRowText(source, item.lParam, column, text, RowTextChars);
            if (!builder.Append(text, false) || !builder.Append(column + 1 < HolderColumnCount ? L"\t" : L"", column + 1 == HolderColumnCount))
                return false;
        }
    }
    return builder.Commit();
}
