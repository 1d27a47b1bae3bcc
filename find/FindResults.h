// The rows of the find window's result list. They are held here, in one
// array, and the list is virtual: it asks for the texts of the rows it
// draws, so that a search of any size costs the window only those. A header
// click sorts the array.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "GrowingArray.h"
#include "NamespaceSearch.h"
#include "SortMarks.h"
#include "TextPool.h"

class WideText;

// The rights and reason columns are shown only while the search has a subject.
enum FoundColumn {
    ColumnName = 0,
    ColumnDirectory = 1,
    ColumnType = 2,
    ColumnTarget = 3,
    ColumnRights = 4,
    ColumnReason = 5,
    FoundColumnCount = 6
};
const int PlainColumnCount = ColumnRights;

struct FoundRow {
    const wchar_t* texts[FoundColumnCount];  // the search's own texts, by FoundColumn
    // The name's collation key: a sort compares keys, many times faster
    // than the texts, in the order lstrcmpiW gives the texts.
    const char* nameKey;
    UINT rank;           // during a sort by type or target: the text's place
    UINT directoryRank;  // and the directory's, which orders equal names
    int image;
    bool selected;  // only while a sort carries the list's selection over
    bool focused;
};

// Rows held by every FoundList: lets tests prove each is let go.
long LiveFoundRows();

// Directory and name joined; false when memory runs out.
bool FoundRowPath(const FoundRow* row, WideText* path);

class FoundList {
public:
    FoundList() = default;
    ~FoundList() { Clear(); }
    FoundList(const FoundList&) = delete;
    FoundList& operator=(const FoundList&) = delete;

    // The list control, made with LVS_OWNERDATA, that shows the rows.
    void Attach(HWND list) { list_ = list; }
    // Appends the batch's rows in the order found and tells the list the new
    // count. Returns how many were added: fewer when memory runs out.
    size_t Add(const SearchBatch& batch);
    // The rows of the search before give way to the batch's (none, when
    // empty) in one change of the list: it is drawn once, not emptied first.
    size_t Replace(const SearchBatch& batch);
    // Lets go of every row (before the search's texts go) and empties the list.
    void Clear();
    size_t Count() const { return rows_.Count(); }
    // The widest text of each column so far, by FoundColumn, as the list draws it.
    const int* Widths() const { return widths_; }
    // The row at the list's index; null when there is none.
    const FoundRow* At(int index) const;
    // The row the user acts on: the focused one, if selected.
    const FoundRow* Focused() const;

    // Sorts by a column of the shown ones; the same column again turns the order round.
    void SortBy(ColumnSort& sort, int column, int shownColumns = FoundColumnCount);
    // Sorts again by the current column, as when a search has ended. The
    // selection and the focus stay on their rows.
    void Resort(const ColumnSort& sort);

    // The full paths of the selected rows, one per line, to the clipboard.
    bool CopyPaths() const;

    // The list's questions about its rows: their texts and images, and the
    // row a typed name starts. Returns true when handled, with the result.
    bool OnNotify(const NMHDR* header, LRESULT* result) const;

    // The bytes the rows and their keys take (their texts are the search's), for measuring.
    size_t Bytes() const { return rows_.Count() * sizeof(FoundRow) + keys_.Bytes(); }

private:
    bool RankColumn(int column, UINT FoundRow::*rank);
    void RememberSelection(bool all);
    void RestoreSelection(bool all);
    void Measure(size_t first);
    size_t Append(const SearchBatch& batch);
    void DropRows();

    HWND list_ = nullptr;
    GrowingArray<FoundRow> rows_{1024};
    BlockPool<char> keys_;
    int widths_[FoundColumnCount] = {};
};
