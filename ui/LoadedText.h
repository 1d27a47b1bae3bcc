// The additions' texts, loaded from the string table by id with the
// program's instance. Every copy is bounded: a text longer than its buffer
// is cut, never written past it.
#pragma once

#include <windows.h>

// The most characters a loaded text or format may have, its terminator
// included; the string table's entries stay well under it.
const int LoadedTextChars = 256;

// The text of id into buffer (count characters, the terminator included),
// cut to fit. Returns its length; 0 and an empty buffer when there is none.
int LoadText(UINT id, wchar_t* buffer, int count);

// The format of id filled in with the arguments (numbers, or %s words that
// are data, never a format), into buffer (count characters, the terminator
// included), cut to fit. Returns the length written.
int FormatText(wchar_t* buffer, int count, UINT id, ...);

// A further sentence after the length characters buffer holds: a blank and
// the format of id filled in, cut to fit. Returns the new length.
int AppendSentence(wchar_t* buffer, int count, int length, UINT id, ...);
