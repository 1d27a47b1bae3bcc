#include "NamePattern.h"

#include <climits>
#include <cwchar>

namespace {

// Greedy match that backs up to the last * on a mismatch.
bool WildcardMatches(const wchar_t* pattern, size_t patternLength, const wchar_t* name, size_t length)
{
    size_t p = 0, n = 0, star = patternLength, resume = 0;
    while (n < length) {
        if (p < patternLength && pattern[p] == L'*') {
            star = p++;
            resume = n;
        } else if (p < patternLength && (pattern[p] == L'?' || pattern[p] == name[n])) {
            ++p;
            ++n;
        } else if (star < patternLength) {
            p = star + 1;
            n = ++resume;
        } else {
            return false;
        }
    }
    while (p < patternLength && pattern[p] == L'*')
        ++p;
    return p == patternLength;
}

bool Contains(const wchar_t* name, size_t length, const wchar_t* wanted, size_t wantedLength)
{
    for (size_t at = 0; at + wantedLength <= length; ++at)
        if (wmemcmp(name + at, wanted, wantedLength) == 0)
            return true;
    return false;
}

}  // namespace

void FoldNameCase(const wchar_t* text, size_t length, wchar_t* folded)
{
    // Most names are ASCII, which the locale upper-cases as the list's quick order does.
    bool ascii = true;
    for (size_t i = 0; i < length; ++i) {
        const wchar_t c = text[i];
        ascii = ascii && c < 0x80;
        folded[i] = c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c;
    }
    const int count = static_cast<int>(length);
    if (ascii || (length <= INT_MAX &&
                  LCMapStringW(LOCALE_USER_DEFAULT, LCMAP_UPPERCASE, text, count, folded, count) == count))
        return;
    // The whole text was refused: each unit alone, so that one bad unit keeps the others folded.
    for (size_t i = 0; i < length; ++i)
        if (LCMapStringW(LOCALE_USER_DEFAULT, LCMAP_UPPERCASE, text + i, 1, folded + i, 1) != 1)
            folded[i] = text[i];
}

bool NamePattern::Set(const wchar_t* text)
{
    const size_t length = static_cast<size_t>(lstrlenW(text));
    wchar_t* folded = folded_.Allocate(length);
    if (!folded)
        return false;
    FoldNameCase(text, length, folded);
    wildcard_ = wcspbrk(text, L"*?") != nullptr;
    return true;
}

bool NamePattern::Matches(const wchar_t* name, size_t length)
{
    if (!wildcard_ && length < folded_.Length())
        return false;
    if (!scratchData_ || scratch_.Length() < length) {
        scratchData_ = scratch_.Allocate(length);
        if (!scratchData_)
            return false;
    }
    FoldNameCase(name, length, scratchData_);
    return wildcard_ ? WildcardMatches(folded_.Get(), folded_.Length(), scratchData_, length)
                     : Contains(scratchData_, length, folded_.Get(), folded_.Length());
}
