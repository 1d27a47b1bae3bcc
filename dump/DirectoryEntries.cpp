#include "DirectoryEntries.h"

#include <algorithm>
#include <cwchar>

namespace {

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

bool DirectoryEntries::AddText(const wchar_t* text, size_t length, size_t* offset)
{
    *offset = texts_.Count();
    return texts_.Append(text, length) && texts_.Push(L'\0');
}

void DirectoryEntries::AddListEntry(int, const wchar_t* typeName, const wchar_t* name)
{
    if (failed_)
        return;
    Item item = {};
    item.nameLength = static_cast<size_t>(lstrlenW(name));
    item.plain = LettersAndDigitsOnly(name, item.nameLength);
    // Neighbours mostly share a type: its text is kept once for a run of them.
    const size_t count = items_.Count();
    const bool sameType = count > 0 && wcscmp(TypeName(count - 1), typeName) == 0;
    if (sameType)
        item.type = items_[count - 1].type;
    if (!AddText(name, item.nameLength, &item.name) ||
        (!sameType && !AddText(typeName, static_cast<size_t>(lstrlenW(typeName)), &item.type)) ||
        !items_.Push(item))
        failed_ = true;
}

void DirectoryEntries::Sort()
{
    const wchar_t* texts = texts_.Data();
    std::sort(items_.Data(), items_.Data() + items_.Count(), [texts](const Item& a, const Item& b) {
        const wchar_t* first = texts + a.name;
        const wchar_t* second = texts + b.name;
        const int order = a.plain && b.plain ? CompareUpper(first, second) : lstrcmpiW(first, second);
        return order ? order < 0 : wcscmp(first, second) < 0;
    });
    // A listing read while objects are made in the directory can give one
    // entry twice; a watch would report it made twice, then once deleted.
    size_t kept = 0;
    for (size_t i = 0; i < items_.Count(); ++i) {
        const Item& item = items_[i];
        if (kept == 0 || items_[kept - 1].nameLength != item.nameLength ||
            wmemcmp(texts + items_[kept - 1].name, texts + item.name, item.nameLength) != 0)
            items_[kept++] = item;
    }
    items_.Truncate(kept);
}

int CompareEntryNames(const wchar_t* a, const wchar_t* b)
{
    const bool plain = LettersAndDigitsOnly(a, static_cast<size_t>(lstrlenW(a))) &&
                       LettersAndDigitsOnly(b, static_cast<size_t>(lstrlenW(b)));
    const int order = plain ? CompareUpper(a, b) : lstrcmpiW(a, b);
    return order ? order : wcscmp(a, b);
}
