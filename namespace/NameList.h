// A list of names and paths, each with the number of its line, matched
// against every entry of a walk: exact texts through a hash of their
// upper-cased units (so that ten thousand of them cost one lookup each),
// wildcards one by one. Case is ignored as NameMatch ignores it.
#pragma once

#include <windows.h>

#include <cstddef>

#include "GrowingArray.h"
#include "TextPool.h"

class NameList {
public:
    NameList() = default;
    NameList(const NameList&) = delete;
    NameList& operator=(const NameList&) = delete;

    // A name (matched against an entry's name) or a path (against its whole
    // path); with * or ? a wildcard over the whole of it. false when memory runs out.
    bool Add(const wchar_t* text, size_t length, bool path, int line);
    // The lowest line whose text matches the entry, or -1.
    int Match(const wchar_t* path, size_t pathLength, const wchar_t* name, size_t nameLength) const;
    bool Empty() const { return exactCount_ == 0 && wildcards_.Count() == 0; }

private:
    struct Row {
        const wchar_t* folded;  // null: a free slot
        size_t length;
        unsigned hash;
        int line;
        bool path;
    };
    bool Grow();
    bool Insert(const Row& row);
    int Lookup(const wchar_t* text, size_t length, bool path) const;

    // The lengths (mod 256) of the exact names and of the paths: most entries'
    // texts are of none of them, and are then never hashed.
    static bool HasLength(const unsigned long long (&lengths)[4], size_t length)
    {
        return (lengths[(length >> 6) & 3] >> (length & 63)) & 1;
    }
    unsigned long long lengths_[2][4] = {};
    GrowingArray<Row> slots_;  // open addressing; a power of two, at most half full
    size_t exactCount_ = 0;
    GrowingArray<Row> wildcards_;
    TextPool texts_;
};
