// A subtree of a few hundred real objects over five levels for the search:
// twelve directories of twenty events, names that hold "needle" at known
// places, a refused directory, links with targets, and names that only a
// locale's case folding or a UTF-16 unit can match.
#pragma once

#include "KernelObjects.h"

// One object the search must find: its path below the root, type and link target.
struct KnownObject {
    const wchar_t* path;
    const wchar_t* type;
    const wchar_t* target;
};

// Every object whose name holds "needle" in any letter case, outside the
// refused directory (which holds one more).
extern const KnownObject NeedleObjects[];
extern const int NeedleObjectCount;

const long SearchTreeDirectories = 19;  // the root and every directory below it that can be read
const long SearchTreeRefused = 1;       // \Refused: its DACL is empty
const long SearchTreeObjects = 267;     // every entry the search can see

class SearchTree {
public:
    SearchTree();
    bool Built() const { return failed_ == 0; }
    const std::wstring& Root() const { return ns_.Root(); }
    std::wstring Path(const std::wstring& relative) const { return ns_.Path(relative); }

private:
    TestNamespace ns_;
    int failed_ = 0;
};
