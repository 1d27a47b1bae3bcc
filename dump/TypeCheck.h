// --type names checked against the types the system has.
#pragma once

#include "DirectoryEntries.h"
#include "DumpOptions.h"

// The first --type name that is no entry of \ObjectTypes (compared without
// regard to case as the kernel compares names, as the filter compares), with the system's types read into
// types in name order; null when every name is one, and when \ObjectTypes
// cannot be read whole, as then any name is taken.
const wchar_t* FindUnknownType(const DumpOptions& options, DirectoryEntries& types);
