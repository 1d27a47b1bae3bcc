#include "NameCompare.h"

#include <cwchar>

#include "NativeApi.h"

namespace {

// keys: how many of the two are upper-cased already (a first).
int CompareUnits(const wchar_t* a, size_t aLength, const wchar_t* b, size_t bLength, int keys)
{
    const size_t common = aLength < bLength ? aLength : bLength;
    for (size_t i = 0; i < common; ++i) {
        const wchar_t x = keys > 0 ? a[i] : UpcaseUnit(a[i]);
        const wchar_t y = keys > 1 ? b[i] : UpcaseUnit(b[i]);
        if (x != y)
            return x < y ? -1 : 1;
    }
    return aLength == bLength ? 0 : (aLength < bLength ? -1 : 1);
}

}  // namespace

wchar_t UpcaseUnit(wchar_t unit) { return RtlUpcaseUnicodeChar(unit); }

void UpcaseText(wchar_t* text, size_t length)
{
    for (size_t i = 0; i < length; ++i)
        text[i] = UpcaseUnit(text[i]);
}

int CompareCaseless(const wchar_t* a, size_t aLength, const wchar_t* b, size_t bLength)
{
    return CompareUnits(a, aLength, b, bLength, 0);
}

int CompareKeyCaseless(const wchar_t* key, size_t keyLength, const wchar_t* b, size_t bLength)
{
    return CompareUnits(key, keyLength, b, bLength, 1);
}

int CompareKeys(const wchar_t* a, size_t aLength, const wchar_t* b, size_t bLength)
{
    return CompareUnits(a, aLength, b, bLength, 2);
}

bool EqualCaseless(const wchar_t* a, size_t aLength, const wchar_t* b, size_t bLength)
{
    return aLength == bLength && CompareCaseless(a, aLength, b, bLength) == 0;
}

bool EqualCaseless(const wchar_t* a, const wchar_t* b)
{
    return EqualCaseless(a, wcslen(a), b, wcslen(b));
}

ChildPick::ChildPick(const wchar_t* name, bool exactOnly) : name_(name), length_(wcslen(name)), exactOnly_(exactOnly)
{
}

bool ChildPick::Offer(const wchar_t* candidate, size_t length)
{
    if (exact_)
        return false;
    exact_ = length == length_ && wmemcmp(candidate, name_, length) == 0;
    const bool pick = exact_ || (!picked_ && !exactOnly_ && EqualCaseless(candidate, length, name_, length_));
    picked_ = picked_ || pick;
    return pick;
}

bool ChildPick::Offer(const wchar_t* candidate) { return Offer(candidate, wcslen(candidate)); }
