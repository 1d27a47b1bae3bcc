#include "SubtreeSnapshot.h"

#include <cstring>
#include <cwchar>

#include "DirectoryEntries.h"

namespace {

// Kernel names and types are far shorter; anything longer is refused.
const size_t LongestText = 0x7FFFFFFF;

}  // namespace

bool SubtreeSnapshot::AddText(const wchar_t* text, size_t length, bool separators)
{
    const size_t bytes = (length + 1) * sizeof(wchar_t);
    if (length > LongestText || !texts_.Reserve(bytes))
        return false;
    wchar_t* to = reinterpret_cast<wchar_t*>(texts_.Tail());
    for (size_t i = 0; i < length; ++i)
        to[i] = separators && text[i] == L'\\' ? L'\0' : text[i];
    to[length] = L'\0';
    texts_.Commit(bytes);
    return true;
}

bool SubtreeSnapshot::Add(const wchar_t* path, size_t pathLength, const wchar_t* type, const WideText* target)
{
    if (Failed())
        return false;
    Item item = {};
    item.at = texts_.Size() / sizeof(wchar_t);
    item.pathLength = static_cast<ULONG>(pathLength);
    item.typeLength = static_cast<ULONG>(lstrlenW(type));
    item.link = target != nullptr;
    item.targetLength = target ? static_cast<ULONG>(target->Length()) : 0;
    if (!AddText(path, pathLength, true) || !AddText(type, item.typeLength, false) ||
        (target && !AddText(target->Get(), target->Length(), false)))
        return false;
    items_.Append(reinterpret_cast<const char*>(&item), sizeof(item));
    return !Failed();
}

bool SubtreeSnapshot::PathText(size_t i, WideText* path) const
{
    wchar_t* text = path->Allocate(NamesLength(i));
    if (!text)
        return false;
    for (size_t at = 0; at < NamesLength(i); ++at)
        text[at] = Names(i)[at] ? Names(i)[at] : L'\\';
    return true;
}

bool SubtreeSnapshot::AddBelow(const SubtreeSnapshot& other, const wchar_t* directory)
{
    const size_t length = static_cast<size_t>(lstrlenW(directory));
    SubtreeSnapshot own;  // the directory's path in the form of Names
    if (!own.Add(directory, length, L"", nullptr))
        return false;
    const bool root = length == 1;
    // The first entry after the directory: its entries follow it, together.
    size_t low = 0;
    for (size_t high = other.Count(); low < high;) {
        const size_t middle = low + (high - low) / 2;
        if (CompareTreePaths(other.Names(middle), other.NamesLength(middle), own.Names(0), length) <= 0)
            low = middle + 1;
        else
            high = middle;
    }
    for (size_t i = root ? 0 : low; i < other.Count(); ++i) {
        const bool below = root || (other.NamesLength(i) > length && other.Names(i)[length] == L'\0' &&
                                    memcmp(other.Names(i), own.Names(0), length * sizeof(wchar_t)) == 0);
        if (!below)
            break;
        WideText target;
        if (other.Target(i) && !target.Assign(other.Target(i), other.TargetLength(i)))
            return false;
        if (!Add(other.Names(i), other.NamesLength(i), other.Type(i), other.Target(i) ? &target : nullptr))
            return false;
    }
    return true;
}

void SubtreeSnapshot::Clear()
{
    items_.Clear();
    texts_.Clear();
}

int CompareTreePaths(const wchar_t* a, size_t aLength, const wchar_t* b, size_t bLength)
{
    // Most entries are the same at both looks: compared whole first.
    if (aLength == bLength && memcmp(a, b, aLength * sizeof(wchar_t)) == 0)
        return 0;
    size_t i = 0;
    size_t j = 0;
    while (i < aLength && j < bLength) {
        const int order = CompareEntryNames(a + i, b + j);
        if (order)
            return order;
        i += wcslen(a + i) + 1;
        j += wcslen(b + j) + 1;
    }
    // A directory before its entries.
    return (i < aLength ? 1 : 0) - (j < bLength ? 1 : 0);
}

bool SameObject(const SubtreeSnapshot& a, size_t i, const SubtreeSnapshot& b, size_t j)
{
    if (wcscmp(a.Type(i), b.Type(j)) != 0 || (a.Target(i) == nullptr) != (b.Target(j) == nullptr))
        return false;
    return !a.Target(i) || (a.TargetLength(i) == b.TargetLength(j) &&
                            memcmp(a.Target(i), b.Target(j), a.TargetLength(i) * sizeof(wchar_t)) == 0);
}
