#include "FindResults.h"

#include <algorithm>
#include <cstring>
#include <functional>

#include "ClipboardText.h"
#include "Owned.h"
#include "ObjectTypes.h"
#include "ReportList.h"
#include "WideText.h"

namespace {

volatile LONG LiveRows = 0;

// The list's own text buffers are small; the rows start the clipboard small too.
const SIZE_T FirstClipboardBytes = 64;

const wchar_t* TextOrEmpty(const wchar_t* text) { return text ? text : L""; }

const DWORD KeyFlags = LCMAP_SORTKEY | NORM_IGNORECASE;

// The text's collation key, kept in pool; an empty key (first in order) when
// memory runs out. Keys compare as byte strings as the texts compare.
const char* CollationKey(const wchar_t* text, BlockPool<char>& pool)
{
    char small[512];
    int bytes = LCMapStringW(LOCALE_USER_DEFAULT, KeyFlags, text, -1, reinterpret_cast<LPWSTR>(small), sizeof(small));
    const char* key = nullptr;
    if (bytes > 0) {
        key = pool.Copy(small, static_cast<size_t>(bytes - 1));  // less its own 0 byte
    } else if ((bytes = LCMapStringW(LOCALE_USER_DEFAULT, KeyFlags, text, -1, nullptr, 0)) > 0) {
        HeapBlock<char> large(static_cast<char*>(HeapAlloc(GetProcessHeap(), 0, static_cast<SIZE_T>(bytes))));
        if (large && LCMapStringW(LOCALE_USER_DEFAULT, KeyFlags, text, -1, reinterpret_cast<LPWSTR>(large.Get()), bytes) == bytes)
            key = pool.Copy(large.Get(), static_cast<size_t>(bytes - 1));
    }
    return key ? key : "";
}

int Order(UINT a, UINT b) { return a < b ? -1 : a > b ? 1 : 0; }

// The column first, then name and directory, so that equal texts keep one
// order whatever order the walk found them in.
struct RowOrder {
    int column;
    bool descending;
    bool operator()(const FoundRow& a, const FoundRow& b) const
    {
        int result = column == ColumnName        ? 0
                     : column == ColumnDirectory ? Order(a.directoryRank, b.directoryRank)
                                                 : Order(a.rank, b.rank);
        if (result == 0)
            result = std::strcmp(a.nameKey, b.nameKey);
        if (result == 0)
            result = Order(a.directoryRank, b.directoryRank);
        return descending ? result > 0 : result < 0;
    }
};

// A distinct text of a column and its place in order.
struct Ranked {
    const wchar_t* text;
    const char* key;
    UINT rank;
};
bool ByText(const Ranked& a, const Ranked& b) { return std::less<const wchar_t*>()(a.text, b.text); }
bool ByKey(const Ranked& a, const Ranked& b) { return std::strcmp(a.key, b.key) < 0; }

// Whether name starts with the typed text, without regard to case.
bool StartsWith(const wchar_t* name, const wchar_t* typed)
{
    const int length = lstrlenW(typed);
    return length > 0 && lstrlenW(name) >= length &&
           CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, name, length, typed, length) == CSTR_EQUAL;
}

}  // namespace

long LiveFoundRows() { return LiveRows; }

bool FoundRowPath(const FoundRow* row, WideText* path)
{
    return JoinObjectPath(row->texts[ColumnDirectory], row->texts[ColumnName], path);
}

size_t FoundList::Add(const SearchBatch& batch)
{
    const size_t first = rows_.Count();
    const size_t added = Append(batch);
    // The rows already drawn stay; the new ones are drawn as they come into view.
    UndrawnChange change(list_, 0);
    SendMessageW(list_, LVM_SETITEMCOUNT, rows_.Count(), LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
    change.From(static_cast<int>(first));
    return added;
}

size_t FoundList::Replace(const SearchBatch& batch)
{
    const UndrawnChange change(list_, RDW_ERASE);
    DropRows();
    // Through none: the old rows' selection, focus and place in view go with them.
    SendMessageW(list_, LVM_SETITEMCOUNT, 0, 0);
    const size_t added = Append(batch);
    SendMessageW(list_, LVM_SETITEMCOUNT, rows_.Count(), 0);
    return added;
}

void FoundList::Clear()
{
    DropRows();
    if (list_ && IsWindow(list_)) {
        const UndrawnChange change(list_, RDW_ERASE);
        SendMessageW(list_, LVM_SETITEMCOUNT, 0, 0);
    }
}

// The batch's rows after the others, measured; the list is not told.
size_t FoundList::Append(const SearchBatch& batch)
{
    if (!batch.count || !rows_.Reserve(batch.count))
        return 0;
    const wchar_t* lastType = nullptr;
    int image = 0;
    for (size_t index = 0; index < batch.count; ++index) {
        const SearchResult& result = batch.results[index];
        if (result.typeName != lastType) {
            lastType = result.typeName;
            LookupObjectType(TextOrEmpty(lastType), &image);
        }
        FoundRow row = {{TextOrEmpty(result.name), TextOrEmpty(result.directory), TextOrEmpty(result.typeName),
                         TextOrEmpty(result.target), TextOrEmpty(result.rights), TextOrEmpty(result.reason)},
                        nullptr, 0, 0, image, false, false};
        row.nameKey = CollationKey(row.texts[ColumnName], keys_);
        rows_.Push(row);
    }
    InterlockedExchangeAdd(&LiveRows, static_cast<LONG>(batch.count));
    Measure(rows_.Count() - batch.count);
    return batch.count;
}

void FoundList::DropRows()
{
    InterlockedExchangeAdd(&LiveRows, -static_cast<LONG>(rows_.Count()));
    rows_.Clear();
    keys_.Empty();
    ZeroMemory(widths_, sizeof(widths_));
}

// Measured as the rows come, a batch at a time, so that fitting the columns
// when the search ends costs nothing; a directory, type or target text the
// row before shares is not measured again.
void FoundList::Measure(size_t first)
{
    if (!list_)
        return;
    const CellMeasure measure(list_);
    const wchar_t* last[FoundColumnCount] = {};
    for (size_t index = first; index < rows_.Count(); ++index)
        for (int column = 0; column < FoundColumnCount; ++column) {
            const wchar_t* text = rows_[index].texts[column];
            if (text == last[column])
                continue;
            last[column] = text;
            const int width = measure.Width(text);
            widths_[column] = width > widths_[column] ? width : widths_[column];
        }
}

const FoundRow* FoundList::At(int index) const
{
    return index >= 0 && static_cast<size_t>(index) < rows_.Count() ? &rows_[static_cast<size_t>(index)] : nullptr;
}

const FoundRow* FoundList::Focused() const
{
    return At(static_cast<int>(SendMessageW(list_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED | LVNI_SELECTED)));
}

void FoundList::SortBy(ColumnSort& sort, int column, int shownColumns)
{
    if (PickSortColumn(list_, sort, column, shownColumns < FoundColumnCount ? shownColumns : FoundColumnCount))
        Resort(sort);
}

void FoundList::Resort(const ColumnSort& sort)
{
    if (sort.column < 0 || sort.column >= FoundColumnCount || rows_.Count() < 2)
        return;
    // Each distinct text of a column keyed once; the name's keys are the rows'
    // own, and the directory is ranked for every sort: it orders equal names.
    const bool ranked = RankColumn(ColumnDirectory, &FoundRow::directoryRank) &&
                        (sort.column == ColumnName || sort.column == ColumnDirectory ||
                         RankColumn(sort.column, &FoundRow::rank));
    if (!ranked)
        return;  // no memory to sort with: the order stays
    const bool all = static_cast<size_t>(SendMessageW(list_, LVM_GETSELECTEDCOUNT, 0, 0)) == rows_.Count();
    RememberSelection(all);
    std::sort(rows_.Data(), rows_.Data() + rows_.Count(), RowOrder{sort.column, sort.descending});
    RestoreSelection(all);
    InvalidateRect(list_, nullptr, FALSE);
}

// Gives every row the place of its text of column among the column's
// distinct texts. Rows of one directory or type share their text, so there
// are few to key; a link's target is its own.
bool FoundList::RankColumn(int column, UINT FoundRow::*rank)
{
    const size_t count = rows_.Count();
    GrowingArray<Ranked> distinct(count);
    BlockPool<char> keys;
    if (!distinct.Reserve(count))
        return false;
    for (size_t index = 0; index < count; ++index)
        distinct.Push({rows_[index].texts[column], nullptr, 0});
    Ranked* first = distinct.Data();
    std::sort(first, first + count, ByText);
    Ranked* last = std::unique(first, first + count, [](const Ranked& a, const Ranked& b) { return a.text == b.text; });
    for (Ranked* at = first; at != last; ++at)
        at->key = CollationKey(at->text, keys);
    std::sort(first, last, ByKey);
    for (Ranked* at = first; at != last; ++at)
        at->rank = at != first && std::strcmp(at[-1].key, at->key) == 0 ? at[-1].rank : static_cast<UINT>(at - first);
    std::sort(first, last, ByText);
    for (size_t index = 0; index < count; ++index) {
        const Ranked wanted = {rows_[index].texts[column], nullptr, 0};
        rows_[index].*rank = std::lower_bound(first, last, wanted, ByText)->rank;
    }
    return true;
}

// The list keeps its selection by index: the rows carry it through a sort.
// When every row is selected, only the focus moves.
void FoundList::RememberSelection(bool all)
{
    for (int index = -1; !all;) {
        index = static_cast<int>(SendMessageW(list_, LVM_GETNEXTITEM, static_cast<WPARAM>(index), LVNI_SELECTED));
        if (index < 0 || static_cast<size_t>(index) >= rows_.Count())
            break;
        rows_[static_cast<size_t>(index)].selected = true;
    }
    const int focused = static_cast<int>(SendMessageW(list_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
    if (focused >= 0 && static_cast<size_t>(focused) < rows_.Count())
        rows_[static_cast<size_t>(focused)].focused = true;
}

void FoundList::RestoreSelection(bool all)
{
    LVITEMW item = {};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = all ? LVIS_SELECTED : 0;
    SendMessageW(list_, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&item));
    for (size_t index = 0; index < rows_.Count(); ++index) {
        FoundRow& row = rows_[index];
        if (!row.selected && !row.focused)
            continue;
        item.state = (all || row.selected ? LVIS_SELECTED : 0) | (row.focused ? LVIS_FOCUSED : 0);
        SendMessageW(list_, LVM_SETITEMSTATE, index, reinterpret_cast<LPARAM>(&item));
        row.selected = row.focused = false;
    }
}

bool FoundList::CopyPaths() const
{
    ClipboardTextBuilder builder;
    if (!builder.Open(list_, FirstClipboardBytes))
        return false;
    WideText path;
    for (int index = -1;;) {
        index = static_cast<int>(SendMessageW(list_, LVM_GETNEXTITEM, static_cast<WPARAM>(index), LVNI_SELECTED));
        if (index < 0)
            break;
        const FoundRow* row = At(index);
        // A path left out would pass the copy off as the whole selection.
        if (!row || !FoundRowPath(row, &path) || !builder.Append(path.Get(), true))
            return false;
    }
    return builder.Commit();
}

bool FoundList::OnNotify(const NMHDR* header, LRESULT* result) const
{
    *result = 0;
    switch (header->code) {
    case LVN_GETDISPINFOW: {
        LVITEMW& item = reinterpret_cast<NMLVDISPINFOW*>(const_cast<NMHDR*>(header))->item;
        const FoundRow* row = At(item.iItem);
        if ((item.mask & LVIF_IMAGE) && row)
            item.iImage = row->image;
        if ((item.mask & LVIF_TEXT) && item.pszText && item.cchTextMax > 0) {
            const bool known = row && item.iSubItem >= 0 && item.iSubItem < FoundColumnCount;
            lstrcpynW(item.pszText, known ? row->texts[item.iSubItem] : L"", item.cchTextMax);
        }
        return true;
    }
    case LVN_ODFINDITEMW: {
        // Typing a name's first letters goes to the next row it starts, as in a list that holds its rows.
        const auto* find = reinterpret_cast<const NMLVFINDITEMW*>(header);
        *result = -1;
        const size_t count = rows_.Count();
        if (!(find->lvfi.flags & (LVFI_STRING | LVFI_PARTIAL)) || !find->lvfi.psz || count == 0)
            return true;
        const size_t start = find->iStart >= 0 && static_cast<size_t>(find->iStart) < count ? find->iStart : 0;
        for (size_t step = 0; step < count; ++step) {
            const size_t index = (start + step) % count;
            if (StartsWith(rows_[index].texts[ColumnName], find->lvfi.psz)) {
                *result = static_cast<LRESULT>(index);
                break;
            }
        }
        return true;
    }
    default:
        return false;
    }
}
