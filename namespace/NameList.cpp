#include "NameList.h"

#include "NameCompare.h"
#include "NameMatch.h"
#include "WideText.h"

namespace {

const size_t FirstSlots = 64;

// FNV-1a over the upper-cased units, so that texts equal without regard to case hash alike.
unsigned HashCaseless(const wchar_t* text, size_t length)
{
    unsigned hash = 2166136261u;
    for (size_t i = 0; i < length; ++i) {
        const unsigned unit = UpcaseUnit(text[i]);
        hash = (hash ^ (unit & 0xFF)) * 16777619u;
        hash = (hash ^ (unit >> 8)) * 16777619u;
    }
    return hash;
}

bool HasWildcard(const wchar_t* text, size_t length)
{
    for (size_t i = 0; i < length; ++i)
        if (text[i] == L'*' || text[i] == L'?')
            return true;
    return false;
}

}  // namespace

bool NameList::Grow()
{
    const size_t size = slots_.Count() ? slots_.Count() * 2 : FirstSlots;
    GrowingArray<Row> old(static_cast<GrowingArray<Row>&&>(slots_));
    slots_ = GrowingArray<Row>(size);
    if (!slots_.Reserve(size))
        return false;
    const Row free = {};
    for (size_t i = 0; i < size; ++i)
        slots_.Push(free);
    for (size_t i = 0; i < old.Count(); ++i)
        if (old[i].folded)
            Insert(old[i]);
    return true;
}

// Into the first free slot from its hash on; a text already there keeps its earlier line.
bool NameList::Insert(const Row& row)
{
    const size_t mask = slots_.Count() - 1;
    for (size_t at = row.hash & mask;; at = (at + 1) & mask) {
        Row& slot = slots_[at];
        if (!slot.folded) {
            slot = row;
            return true;
        }
        if (slot.hash == row.hash && slot.path == row.path &&
            CompareKeys(slot.folded, slot.length, row.folded, row.length) == 0)
            return false;
    }
}

bool NameList::Add(const wchar_t* text, size_t length, bool path, int line)
{
    WideText folded;
    wchar_t* units = folded.Allocate(length);
    if (!units)
        return false;
    CopyMemory(units, text, length * sizeof(wchar_t));
    UpcaseText(units, length);
    Row row = {texts_.Copy(units, length), length, HashCaseless(text, length), line, path};
    if (!row.folded)
        return false;
    if (HasWildcard(text, length))
        return wildcards_.Push(row);
    if ((exactCount_ + 1) * 2 > slots_.Count() && !Grow())
        return false;
    exactCount_ += Insert(row) ? 1 : 0;
    lengths_[path][(length >> 6) & 3] |= 1ull << (length & 63);
    return true;
}

int NameList::Lookup(const wchar_t* text, size_t length, bool path) const
{
    if (!HasLength(lengths_[path], length))
        return -1;
    const unsigned hash = HashCaseless(text, length);
    const size_t mask = slots_.Count() - 1;
    for (size_t at = hash & mask; slots_[at].folded; at = (at + 1) & mask) {
        const Row& slot = slots_[at];
        if (slot.hash == hash && slot.path == path && CompareKeyCaseless(slot.folded, slot.length, text, length) == 0)
            return slot.line;
    }
    return -1;
}

int NameList::Match(const wchar_t* path, size_t pathLength, const wchar_t* name, size_t nameLength) const
{
    int best = Lookup(name, nameLength, false);
    const int byPath = Lookup(path, pathLength, true);
    if (byPath >= 0 && (best < 0 || byPath < best))
        best = byPath;
    for (size_t i = 0; i < wildcards_.Count(); ++i) {
        const Row& row = wildcards_[i];
        if ((best < 0 || row.line < best) && (row.path ? MatchesWildcard(row.folded, row.length, path, pathLength)
                                                       : MatchesWildcard(row.folded, row.length, name, nameLength)))
            best = row.line;
    }
    return best;
}
