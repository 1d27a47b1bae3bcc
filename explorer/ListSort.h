// Sorting the object list, and the sort mark in the column header.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "SortMarks.h"

enum SortKey { SortByName = 0, SortByType = 1, SortByEnumeration = 2 };

// Number of sort keys; SortDescending has one flag per key.
const int SortKeyCount = 3;

extern int CurrentSortKey;
extern int SortDescending[SortKeyCount];
extern HBITMAP HeaderMarkBitmap;

// key -1 sorts again by the current key; toggle flips the key's direction first.
// A key outside 0..2 is ignored.
void SortObjectList(HWND list, int key, bool toggle);
// LVM_SORTITEMS callback over EntryRecords; parameter packs key and direction.
int CALLBACK CompareEntries(LPARAM first, LPARAM second, LPARAM parameter);
// The CompareEntries parameter for a key and its descending flag (0 or 1).
LPARAM MakeSortParameter(int key, int descending);
// image 0 clears the column's mark, 1 marks descending, 2 ascending.
void SetHeaderSortMark(HWND list, int column, int image);
// Builds the current key's mark again: it is etched in the scheme's colours.
void RebuildHeaderSortMark(HWND list);
void SetHeaderMarkImages(HWND list, HIMAGELIST images);
