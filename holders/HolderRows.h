// The rows of the holders window's list: one per handle a finished scan
// kept for the object. Each row's item data is the handle's index in the
// scan, which outlives the rows; the texts are made when the list asks.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "HandleScan.h"
#include "SortMarks.h"

// The file column: a file's name below the device (a device's holders are its files).
enum HolderColumn { ColumnProgram = 0, ColumnPid = 1, ColumnHandle = 2, ColumnAccess = 3, ColumnFile = 4, HolderColumnCount = 5 };

// What the list shows: the scan and the object's type, for the access names.
struct HolderRowsSource {
    const HandleScan* scan = nullptr;
    int typeCode = -1;
};

// Replaces the list's rows with those of the handles to path in the source's
// scan, in the order sort gives. Returns how many there are.
int FillHolderRows(HWND list, const HolderRowsSource& source, const wchar_t* path, const ColumnSort& sort);
// A column's text of the row whose item data is index, into text (capacity
// characters, cut to fit: the list's own buffer).
void HolderRowText(const HolderRowsSource& source, LPARAM index, int column, wchar_t* text, int capacity);
// Each column as wide as its widest text or its title, as a finished scan
// shows them; the user may resize them afterwards.
void FitHolderColumns(HWND list, const HolderRowsSource& source);
// Sorts by column; the same column again turns the order round.
void SortHolderRows(HWND list, const HolderRowsSource& source, ColumnSort& sort, int column);
// The selected rows as tab-separated lines of the columns, to the
// clipboard. false when there is nothing to copy or it cannot be copied.
bool CopyHolderRows(HWND list, const HolderRowsSource& source);
