// A shown top-level window holding a real tree and a real report-view list
// (columns "名前" and "タイプ") whose rows carry EntryRecords, with the sort
// mark images loaded from the program's resources.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

class CommandsWindow {
public:
    CommandsWindow();
    ~CommandsWindow();  // frees every row's record and the mark images
    CommandsWindow(const CommandsWindow&) = delete;
    CommandsWindow& operator=(const CommandsWindow&) = delete;

    // Appends a row as the list walk does; the record belongs to the row.
    void AddRow(int enumerationIndex, const wchar_t* typeName, const wchar_t* name);
    void AddSampleRows();  // zeta Directory, Alpha Event, beta Directory, Gamma Device
    void ClearRows();
    std::vector<std::wstring> Names() const;  // in display order

    void SetRowState(int row, UINT state, UINT mask) const;
    bool RowHasState(int row, UINT state) const;
    int FocusedRow() const;

    HTREEITEM AddNode(HTREEITEM parent, const wchar_t* label) const;
    void SelectNode(HTREEITEM node) const;

    // Header item of a column: format, image and bitmap.
    HDITEMW HeaderItem(int column) const;

    HWND host = nullptr;
    HWND tree = nullptr;
    HWND list = nullptr;
};

// The sort state of a freshly started program.
void ResetSortState();
