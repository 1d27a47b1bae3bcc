// What a watch remembers of a subtree between two looks: each entry's path,
// type and a link's target, in the dump's order (depth first, each
// directory's names in the window's order). Two snapshots in that order are
// compared in one pass, as two sorted lists are merged.
#pragma once

#include <windows.h>

#include <cstddef>

#include "TextEncoding.h"
#include "WideText.h"

class SubtreeSnapshot {
public:
    SubtreeSnapshot() = default;
    SubtreeSnapshot(const SubtreeSnapshot&) = delete;
    SubtreeSnapshot& operator=(const SubtreeSnapshot&) = delete;

    // Adds an entry after the others; target null for anything but a link.
    // false once memory ran out, and from then on.
    bool Add(const wchar_t* path, size_t pathLength, const wchar_t* type, const WideText* target);
    // Adds other's entries below directory (all of them for "\\"), as they
    // were: what cannot be listed now is taken as unchanged.
    bool AddBelow(const SubtreeSnapshot& other, const wchar_t* directory);
    void Clear();

    size_t Count() const { return items_.Size() / sizeof(Item); }
    bool Failed() const { return items_.Failed() || texts_.Failed(); }
    size_t Bytes() const { return items_.Size() + texts_.Size(); }
    // The path with its names separated by L'\0' rather than "\\": so each
    // name can be compared in place.
    const wchar_t* Names(size_t i) const { return Texts() + Get(i).at; }
    size_t NamesLength(size_t i) const { return Get(i).pathLength; }
    const wchar_t* Type(size_t i) const { return Names(i) + Get(i).pathLength + 1; }
    const wchar_t* Target(size_t i) const { return Get(i).link ? Type(i) + Get(i).typeLength + 1 : nullptr; }
    size_t TargetLength(size_t i) const { return Get(i).targetLength; }
    // The full path as the dump writes it.
    bool PathText(size_t i, WideText* path) const;

private:
    struct Item {
        size_t at;  // in texts_: names, type and target, each ended by L'\0'
        ULONG pathLength;
        ULONG typeLength;
        ULONG targetLength;
        bool link;
    };
    const Item& Get(size_t i) const { return reinterpret_cast<const Item*>(items_.Data())[i]; }
    const wchar_t* Texts() const { return reinterpret_cast<const wchar_t*>(texts_.Data()); }
    bool AddText(const wchar_t* text, size_t length, bool separators);

    ByteBuffer items_;
    ByteBuffer texts_;
};

// The dump's order between two paths in the form of Names: parents before
// their entries, the names of one directory in the window's order.
int CompareTreePaths(const wchar_t* a, size_t aLength, const wchar_t* b, size_t bLength);
// The same type and, for links, the same target.
bool SameObject(const SubtreeSnapshot& a, size_t i, const SubtreeSnapshot& b, size_t j);
