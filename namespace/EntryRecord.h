// The record behind one directory entry: what the list shows and what the
// property sheet opens.
#pragma once

#include <windows.h>

struct EntryRecord {
    wchar_t* name;
    wchar_t* typeName;
    int enumerationIndex;  // 1-based position in the directory; -1 from a lookup
    int typeCode;          // ObjectTypeCode of typeName
};

// Returns null when memory runs out. The record owns copies of both texts,
// kept in its own block: FreeEntryRecord frees all of it.
EntryRecord* MakeEntryRecord(int enumerationIndex, const wchar_t* typeName, const wchar_t* name);
// The same, also giving the type's image (one lookup of the type serves both).
EntryRecord* MakeEntryRecord(int enumerationIndex, const wchar_t* typeName, const wchar_t* name, int* image);
void FreeEntryRecord(EntryRecord* record);

// Records made and not yet freed; lets tests prove each is freed exactly once.
long LiveEntryRecords();

// Heap copy of a NUL-terminated text (process heap); null when out of memory.
wchar_t* CopyText(const wchar_t* text);
