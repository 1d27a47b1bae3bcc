// The property sheet of one object, as the other windows open it, and the
// one way they say why an object cannot be shown.
#pragma once

#include <windows.h>

struct EntryRecord;

// Shows the modal sheet of the entry record in directory (no record: the
// directory itself, which only the root does). Returns PropertySheetW's
// result, or 0 when no sheet was shown (a box owned by owner says why).
INT_PTR ShowPropertySheet(HWND owner, const wchar_t* directory, const EntryRecord* record);

// The text shown when an object cannot be opened. The General page's own
// re-open leaves out the privilege row (withPrivilegeRow false).
// buffer holds at least OpenFailureTextChars characters.
const int OpenFailureTextChars = 1024;
void OpenFailureText(NTSTATUS status, wchar_t* buffer, bool withPrivilegeRow = true);

// The one way a window reports such a failure to the user.
void ShowOpenFailure(HWND owner, const wchar_t* text);
