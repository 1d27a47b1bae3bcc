#include "ListSort.h"

// Placeholder bodies until sorting lands.
int CurrentSortKey = 0;
int SortDescending[3] = {0, 1, 1};
HBITMAP HeaderMarkBitmap = nullptr;
HIMAGELIST HeaderMarkImageList = nullptr;

void SortObjectList(HWND, int, bool) {}
int CALLBACK CompareEntries(LPARAM, LPARAM, LPARAM) { return 0; }
void SetHeaderSortMark(HWND, int, int) {}
void SetHeaderMarkImages(HWND, HIMAGELIST images) { HeaderMarkImageList = images; }
