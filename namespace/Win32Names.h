// Names as programs write them. A program names a kernel object relative to
// its session's named-objects directory ("Local\X", "Global\X", "Session\N\X")
// or a device as "\\.\X"; these turn such names into the kernel's paths and
// back, as pure text (no object is opened).
#pragma once

#include <windows.h>

#include <cstddef>

#include "WideText.h"

// The name a program passes to create or open the object at path: "Global\X"
// below \BaseNamedObjects, "Session\N\X" below \Sessions\N\BaseNamedObjects,
// "\\.\X" below \GLOBAL?? and \??. false (name untouched) for any other path,
// the directories themselves, and when memory runs out.
bool FindWin32Name(const wchar_t* path, size_t length, WideText* name);

// What one line of a list of names asks for.
enum class ListedName {
    Bare,    // a name alone: every entry of that name (text: the name)
    Path,    // a kernel path: that entry alone (text: the path)
    Device,  // "\\.\X": the entries below \GLOBAL?? and \?? (text: X)
    Bad,     // cannot be a name: an empty name after a prefix, "Session\" without a number, a NUL
};

// Reads line (length units, any content). "Local\X" means the named objects
// of ownSession; a prefix is taken without regard to case, as the kernel
// takes the links it stands for. Session 0's named objects are \BaseNamedObjects.
ListedName ReadListedName(const wchar_t* line, size_t length, DWORD ownSession, WideText* text);
