// The access rights the security page offers for each object type, and
// their Japanese names.
#pragma once

#include <windows.h>

#include <cstddef>

struct AccessRightName {
    ACCESS_MASK mask;
    const wchar_t* name;
};

// One type's rights: its valid mask and the names of its own rights, used
// pairs first, the rest zero (never matching).
struct AccessRightRow {
    int key;  // ObjectTypeCode
    ACCESS_MASK validMask;
    AccessRightName entries[16];
};

const int AccessRowCount = 13;
const int GenericAccessNameCount = 12;
const int NoAccessRow = -1;
// Valid mask of a type without a row: STANDARD_RIGHTS_ALL | 0x0001.
const ACCESS_MASK DefaultValidAccess = 0x001F0001;
// The longest name, terminator included; name slots must hold at least this.
const size_t AccessNameMaxChars = 12;

extern const AccessRightRow TypeAccessRows[AccessRowCount];
// The standard and generic rights every type shares, in search order.
extern const AccessRightName GenericAccessNames[GenericAccessNameCount];

// The valid mask and row (an index into TypeAccessRows, or NoAccessRow) of
// a type code. Always returns 0.
NTSTATUS FindAccessRow(int typeCode, ACCESS_MASK* validMask, int* row);

// Names mask: the row's first entry sharing a bit with it, else the generic
// list's. 0 with the name in text; STATUS_NOT_FOUND (0xC0000225) when no
// entry matches, or STATUS_BUFFER_TOO_SMALL (0xC0000023) when the name does
// not fit capacity characters with its terminator; text is untouched then.
NTSTATUS GetAccessRightName(int row, ACCESS_MASK mask, wchar_t* text, size_t capacity);

// Room for any mask's description: a name of at most AccessNameMaxChars
// characters for each of 32 bits, with separators, and the mask of the rest.
const size_t AccessTextChars = 32 * AccessNameMaxChars + 16;

// A granted mask as the security page names a type's rights: フルコントロール
// when it holds all the type's rights, else the name of each right it holds,
// from the lowest bit, joined by "、"; the bits no name fits follow as one
// mask ("0x%08X"), which is all there is of a mask no name fits at all.
void DescribeAccess(int typeCode, ACCESS_MASK mask, wchar_t (&text)[AccessTextChars]);
// The same by a file's rights (データの読み取り, ...), for the handles of files
// and pipes, which no type of the page names.
void DescribeFileAccess(ACCESS_MASK mask, wchar_t (&text)[AccessTextChars]);
