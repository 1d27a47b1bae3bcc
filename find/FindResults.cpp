#include "FindResults.h"

#include "ClipboardText.h"
#include "ObjectTypes.h"
#include "SortMarks.h"
#include "WideText.h"

namespace {

volatile LONG LiveRows = 0;

// The list's own text buffers are small; the rows start the clipboard small too.
const SIZE_T FirstClipboardBytes = 64;

// A SearchResult's texts by FoundColumn.
const wchar_t* ResultText(const SearchResult& result, int column)
{
    const wchar_t* texts[FoundColumnCount] = {result.name, result.directory, result.typeName, result.target};
    return texts[column] ? texts[column] : L"";
}

// The row keeps the column, the direction and no more: fits a 32-bit LPARAM.
LPARAM SortParameter(int column, bool descending)
{
    return static_cast<LPARAM>(static_cast<DWORD>(column) | (descending ? 0x10000u : 0u));
}

// The column's text first, then name and directory, so that equal texts
// keep one order whatever order the walk found them in.
int CALLBACK CompareFoundRows(LPARAM first, LPARAM second, LPARAM parameter)
{
    const auto* a = reinterpret_cast<const FoundRow*>(first);
    const auto* b = reinterpret_cast<const FoundRow*>(second);
    if (!a || !b)
        return 0;
    const int column = LOWORD(static_cast<DWORD>(parameter));
    int result = lstrcmpiW(a->texts[column], b->texts[column]);
    if (result == 0)
        result = lstrcmpiW(a->texts[ColumnName], b->texts[ColumnName]);
    if (result == 0)
        result = lstrcmpiW(a->texts[ColumnDirectory], b->texts[ColumnDirectory]);
    return HIWORD(static_cast<DWORD>(parameter)) ? -result : result;
}

void FillDisplayText(NMLVDISPINFOW* info)
{
    LVITEMW& item = info->item;
    const auto* row = reinterpret_cast<const FoundRow*>(item.lParam);
    if (!(item.mask & LVIF_TEXT) || !item.pszText || item.cchTextMax <= 0)
        return;
    const bool known = row && item.iSubItem >= 0 && item.iSubItem < FoundColumnCount;
    lstrcpynW(item.pszText, known ? row->texts[item.iSubItem] : L"", item.cchTextMax);
}

void FreeAllRows(HWND list)
{
    const int rows = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int index = 0; index < rows; ++index)
        FreeFoundRow(FoundRowAt(list, index));
}

}  // namespace

FoundRow* MakeFoundRow(const SearchResult& result)
{
    size_t lengths[FoundColumnCount];
    size_t characters = 0;
    for (int column = 0; column < FoundColumnCount; ++column)
        characters += (lengths[column] = static_cast<size_t>(lstrlenW(ResultText(result, column)))) + 1;
    void* block = HeapAlloc(GetProcessHeap(), 0, sizeof(FoundRow) + characters * sizeof(wchar_t));
    if (!block)
        return nullptr;
    auto* row = static_cast<FoundRow*>(block);
    auto* text = reinterpret_cast<wchar_t*>(row + 1);
    for (int column = 0; column < FoundColumnCount; ++column) {
        CopyMemory(text, ResultText(result, column), (lengths[column] + 1) * sizeof(wchar_t));
        row->texts[column] = text;
        text += lengths[column] + 1;
    }
    InterlockedIncrement(&LiveRows);
    return row;
}

void FreeFoundRow(FoundRow* row)
{
    if (!row)
        return;
    InterlockedDecrement(&LiveRows);
    HeapFree(GetProcessHeap(), 0, row);
}

long LiveFoundRows()
{
    return LiveRows;
}

bool FoundRowPath(const FoundRow* row, WideText* path)
{
    return JoinObjectPath(row->texts[ColumnDirectory], row->texts[ColumnName], path);
}

int AddFoundRows(HWND list, const SearchBatch& batch)
{
    int added = 0;
    SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    LVITEMW item = {};
    item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
    item.pszText = LPSTR_TEXTCALLBACKW;
    for (size_t index = 0; index < batch.count; ++index) {
        FoundRow* row = MakeFoundRow(batch.results[index]);
        if (!row)
            break;
        LookupObjectType(row->texts[ColumnType], &item.iImage);
        item.iItem = INT_MAX;  // at the end, in the order found
        item.lParam = reinterpret_cast<LPARAM>(row);
        // A refused row reports no deletion: its block would be lost.
        if (SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)) < 0)
            FreeFoundRow(row);
        else
            ++added;
    }
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    return added;
}

FoundRow* FoundRowAt(HWND list, int index)
{
    LVITEMW item = {};
    item.mask = LVIF_PARAM;
    item.iItem = index;
    if (index < 0 || !SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item)))
        return nullptr;
    return reinterpret_cast<FoundRow*>(item.lParam);
}

void SortFoundRows(HWND list, ColumnSort& sort, int column)
{
    if (PickSortColumn(list, sort, column, FoundColumnCount))
        ResortFoundRows(list, sort);
}

void ResortFoundRows(HWND list, const ColumnSort& sort)
{
    if (sort.column < 0)
        return;
    SendMessageW(list, LVM_SORTITEMS, static_cast<WPARAM>(SortParameter(sort.column, sort.descending)),
                 reinterpret_cast<LPARAM>(CompareFoundRows));
}

bool CopyFoundPaths(HWND list)
{
    ClipboardTextBuilder builder;
    if (!builder.Open(list, FirstClipboardBytes))
        return false;
    WideText path;
    for (int index = -1;;) {
        index = static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(index), LVNI_SELECTED));
        if (index < 0)
            break;
        const FoundRow* row = FoundRowAt(list, index);
        // A path left out would pass the copy off as the whole selection.
        if (!row || !FoundRowPath(row, &path) || !builder.Append(path.Get(), true))
            return false;
    }
    return builder.Commit();
}

bool OnFoundListNotify(const NMHDR* header, LRESULT* result)
{
    *result = 0;
    switch (header->code) {
    case LVN_GETDISPINFOW:
        FillDisplayText(reinterpret_cast<NMLVDISPINFOW*>(const_cast<NMHDR*>(header)));
        return true;
    case LVN_DELETEITEM:
        FreeFoundRow(reinterpret_cast<FoundRow*>(reinterpret_cast<const NMLISTVIEW*>(header)->lParam));
        return true;
    case LVN_DELETEALLITEMS:
        FreeAllRows(header->hwndFrom);
        *result = TRUE;  // no deletion notice per row: every block is freed already
        return true;
    default:
        return false;
    }
}
