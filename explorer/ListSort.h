// Sorting the object list, and the sort mark in the column header.
#pragma once

#include <windows.h>
#include <commctrl.h>

enum SortKey { SortByName = 0, SortByType = 1, SortByEnumeration = 2 };

extern int CurrentSortKey;
extern int SortDescending[3];
extern HBITMAP HeaderMarkBitmap;
extern HIMAGELIST HeaderMarkImageList;

// key -1 sorts again by the current key; toggle flips the key's direction first.
void SortObjectList(HWND list, int key, bool toggle);
// LVM_SORTITEMS callback over EntryRecords; parameter packs key and direction.
int CALLBACK CompareEntries(LPARAM first, LPARAM second, LPARAM parameter);
// image 0 clears the column's mark, 1 marks descending, 2 ascending.
void SetHeaderSortMark(HWND list, int column, int image);
void SetHeaderMarkImages(HWND list, HIMAGELIST images);
