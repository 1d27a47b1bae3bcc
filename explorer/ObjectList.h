// The object list: the entries of the directory selected in the tree.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "EntryRecord.h"

// The list AddListEntry inserts into; FillObjectList sets it.
extern HWND ListTargetWindow;
// How the last fill went: 0, or why its directory could not be listed.
extern NTSTATUS ListFillStatus;

// Adds one row (name, type, type image) carrying a new EntryRecord. A row the
// list refuses frees its record at once.
void AddListEntry(int enumerationIndex, const wchar_t* typeName, const wchar_t* name);

// Fills the list with the entries of the node about to be selected and
// writes the path and the count (or the failure) to the status bar.
LRESULT FillObjectList(HWND list, HWND statusBar, const NMTREEVIEWW* notification);

// Frees the row's record when the list deletes the row.
LRESULT OnListDeleteItem(const NMLISTVIEW* notification);
// Frees every row's record when the list is about to delete all rows (a fill,
// or its destruction). Returns TRUE, which spares the list a deletion notice
// per row: each would reach the pane and cost it the toolbar check.
LRESULT OnListDeleteAllItems(const NMLISTVIEW* notification);
