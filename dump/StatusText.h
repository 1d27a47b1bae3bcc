// Failures in words. The texts are the window's: the object list's for a
// directory that cannot be listed, the property sheet's for an object that
// cannot be opened, so that both programs name a failure alike; a status
// neither has words for is written as its code.
#pragma once

#include <windows.h>

const int StatusTextChars = 128;

// What failed, which picks the words and the code's lead.
enum class Failed {
    Listing,   // a directory could not be listed
    Security,  // an opened object's security could not be read or evaluated
    Open,      // an object could not be opened for its link target or its details
};

void StatusText(Failed what, NTSTATUS status, wchar_t (&text)[StatusTextChars]);
