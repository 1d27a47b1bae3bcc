#include "DirectoryEntries.h"

#include <algorithm>
#include <cwchar>

namespace {

// Makes room for needed elements of elementSize bytes in *data, doubling.
bool Grow(void** data, size_t* capacity, size_t needed, size_t elementSize)
{
    if (needed <= *capacity)
        return true;
    size_t wanted = *capacity ? *capacity : 64;
    while (wanted < needed) {
        if (wanted > static_cast<size_t>(-1) / 2 / elementSize)
            return false;
        wanted *= 2;
    }
    void* grown = *data ? HeapReAlloc(GetProcessHeap(), 0, *data, wanted * elementSize)
                        : HeapAlloc(GetProcessHeap(), 0, wanted * elementSize);
    if (!grown)
        return false;
    *data = grown;
    *capacity = wanted;
    return true;
}

bool IsLetterOrDigit(wchar_t c)
{
    return (c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

bool LettersAndDigitsOnly(const wchar_t* name, size_t length)
{
    for (size_t i = 0; i < length; ++i)
        if (!IsLetterOrDigit(name[i]))
            return false;
    return true;
}

wchar_t Upper(wchar_t c) { return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c; }

// Between names of ASCII letters and digits alone, lstrcmpiW puts digits
// before letters and letters in the alphabet's order: the order of their
// upper-case codes, had here without a call per comparison.
int CompareUpper(const wchar_t* a, const wchar_t* b)
{
    while (*a && Upper(*a) == Upper(*b)) {
        ++a;
        ++b;
    }
    return static_cast<int>(Upper(*a)) - static_cast<int>(Upper(*b));
}

}  // namespace

DirectoryEntries::~DirectoryEntries()
{
    if (texts_)
        HeapFree(GetProcessHeap(), 0, texts_);
    if (items_)
        HeapFree(GetProcessHeap(), 0, items_);
}

bool DirectoryEntries::AddText(const wchar_t* text, size_t length, size_t* offset)
{
    void* texts = texts_;
    if (length >= static_cast<size_t>(-1) / 4 - textsUsed_ ||
        !Grow(&texts, &textsCapacity_, textsUsed_ + length + 1, sizeof(wchar_t)))
        return false;
    texts_ = static_cast<wchar_t*>(texts);
    CopyMemory(texts_ + textsUsed_, text, length * sizeof(wchar_t));
    texts_[textsUsed_ + length] = L'\0';
    *offset = textsUsed_;
    textsUsed_ += length + 1;
    return true;
}

void DirectoryEntries::AddListEntry(int, const wchar_t* typeName, const wchar_t* name)
{
    void* items = items_;
    if (failed_ || !Grow(&items, &itemsCapacity_, count_ + 1, sizeof(Item))) {
        failed_ = true;
        return;
    }
    items_ = static_cast<Item*>(items);
    Item item = {};
    item.nameLength = static_cast<size_t>(lstrlenW(name));
    item.plain = LettersAndDigitsOnly(name, item.nameLength);
    // Neighbours mostly share a type: its text is kept once for a run of them.
    const bool sameType = count_ > 0 && wcscmp(TypeName(count_ - 1), typeName) == 0;
    if (sameType)
        item.type = items_[count_ - 1].type;
    if (!AddText(name, item.nameLength, &item.name) ||
        (!sameType && !AddText(typeName, static_cast<size_t>(lstrlenW(typeName)), &item.type))) {
        failed_ = true;
        return;
    }
    items_[count_++] = item;
}

void DirectoryEntries::Sort()
{
    const wchar_t* texts = texts_;
    std::sort(items_, items_ + count_, [texts](const Item& a, const Item& b) {
        const wchar_t* first = texts + a.name;
        const wchar_t* second = texts + b.name;
        const int order = a.plain && b.plain ? CompareUpper(first, second) : lstrcmpiW(first, second);
        return order ? order < 0 : wcscmp(first, second) < 0;
    });
}

int CompareEntryNames(const wchar_t* a, const wchar_t* b)
{
    const bool plain = LettersAndDigitsOnly(a, static_cast<size_t>(lstrlenW(a))) &&
                       LettersAndDigitsOnly(b, static_cast<size_t>(lstrlenW(b)));
    const int order = plain ? CompareUpper(a, b) : lstrcmpiW(a, b);
    return order ? order : wcscmp(a, b);
}
