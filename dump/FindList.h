// --find-from: the lists of names an entry must match, read whole before the
// walk, with each line kept as written for the entry's "matched".
#pragma once

#include "DumpOptions.h"
#include "GrowingArray.h"
#include "NameList.h"
#include "TextEncoding.h"
#include "TextPool.h"

class FindLists {
public:
    FindLists() = default;
    FindLists(const FindLists&) = delete;
    FindLists& operator=(const FindLists&) = delete;

    // Reads options' --find-from files. false, with the one line that says
    // why on errors, for a file that cannot be read and a line that cannot be a name.
    bool Read(const DumpOptions& options, ByteBuffer& errors);
    bool Active() const { return active_; }
    // The line the entry matched (the first of them), as written; null when none did.
    const wchar_t* Match(const wchar_t* path, size_t pathLength, const wchar_t* name, size_t nameLength) const;

private:
    bool ReadFile(const wchar_t* file, DWORD session, ByteBuffer& errors);
    bool AddLine(const wchar_t* line, size_t length, DWORD session);

    bool active_ = false;
    NameList list_;
    GrowingArray<const wchar_t*> lines_;  // by the list's line numbers: the texts as written
    TextPool texts_;
};
