// The rows of the find window's result list: each row owns its texts, the
// list shows them through its text callback, sorts and copies them.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "NamespaceSearch.h"
#include "SortMarks.h"

class WideText;

enum FoundColumn { ColumnName = 0, ColumnDirectory = 1, ColumnType = 2, ColumnTarget = 3, FoundColumnCount = 4 };

struct FoundRow {
    const wchar_t* texts[FoundColumnCount];  // in the row's own block, by FoundColumn
};

// One block holding the row and its four texts; null when memory runs out.
FoundRow* MakeFoundRow(const SearchResult& result);
void FreeFoundRow(FoundRow* row);
// Rows made and not yet freed: lets tests prove each is freed.
long LiveFoundRows();

// Directory and name joined; false when memory runs out.
bool FoundRowPath(const FoundRow* row, WideText* path);

// Appends the batch's rows, painting the list once for the whole batch.
// Returns how many rows were added.
int AddFoundRows(HWND list, const SearchBatch& batch);
// The row of the list's row index; null when there is none.
FoundRow* FoundRowAt(HWND list, int index);

// Sorts by a column; the same column again turns the order round.
void SortFoundRows(HWND list, ColumnSort& sort, int column);
// Sorts again by the current column, as when a search has ended.
void ResortFoundRows(HWND list, const ColumnSort& sort);

// The full paths of the selected rows, one per line, to the clipboard.
bool CopyFoundPaths(HWND list);

// The list's notifications that concern the rows themselves: their texts and
// their freeing. Returns true when handled, with the result in *result.
bool OnFoundListNotify(const NMHDR* header, LRESULT* result);
