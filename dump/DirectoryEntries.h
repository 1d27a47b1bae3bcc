// One directory's entries, collected from its listing and put in name order.
// The dump holds one of these per directory on the path it is walking, and
// nothing more, so its memory follows the namespace's depth and the size of
// those directories, never the size of the namespace.
#pragma once

#include <windows.h>

#include <cstddef>

#include "DirectoryWalk.h"
#include "GrowingArray.h"

class DirectoryEntries final : public NamespaceSink {
public:
    DirectoryEntries() = default;
    DirectoryEntries(const DirectoryEntries&) = delete;
    DirectoryEntries& operator=(const DirectoryEntries&) = delete;

    DirectoryNode InsertDirectoryNode(DirectoryNode, const wchar_t*) override { return nullptr; }
    void AddListEntry(int enumerationIndex, const wchar_t* typeName, const wchar_t* name) override;

    // Name order without regard to case, by the comparison the window's list
    // uses (lstrcmpiW, spared for plain ASCII names where its order is known);
    // names that compare as equal are ordered by their code units, so that the
    // order never depends on the kernel's.
    void Sort();
    // false when memory ran out and some entries were dropped.
    bool Complete() const { return !failed_; }

    size_t Count() const { return items_.Count(); }
    const wchar_t* Name(size_t i) const { return texts_.Data() + items_[i].name; }
    size_t NameLength(size_t i) const { return items_[i].nameLength; }
    const wchar_t* TypeName(size_t i) const { return texts_.Data() + items_[i].type; }

private:
    struct Item {
        size_t name;  // offsets into texts_
        size_t nameLength;
        size_t type;
        bool plain;  // ASCII letters and digits alone
    };
    // Adds text and its terminator to texts_; the offset, or false.
    bool AddText(const wchar_t* text, size_t length, size_t* offset);

    GrowingArray<wchar_t> texts_;
    GrowingArray<Item> items_;
    bool failed_ = false;
};

// Sort's order between two names, for those not held here: below zero when a
// comes first, zero only for the same name.
int CompareEntryNames(const wchar_t* a, const wchar_t* b);
