// Failures in words. The texts are the window's: the object list's for a
// directory that cannot be listed, the property sheet's for an object that
// cannot be opened, so that both programs name a failure alike.
#pragma once

#include <windows.h>

const int StatusTextChars = 128;

// Why a directory could not be listed.
void ListingFailureText(NTSTATUS status, wchar_t (&text)[StatusTextChars]);
// Why an opened object's security could not be read or evaluated.
void SecurityFailureText(NTSTATUS status, wchar_t (&text)[StatusTextChars]);
// Why an object could not be opened for its link target or its details.
void ObjectOpenFailureText(NTSTATUS status, wchar_t (&text)[StatusTextChars]);
