#include "NameMatch.h"

#include <cwchar>

#include "NameCompare.h"

namespace {

// Greedy match that backs up to the last * on a mismatch; the name is
// upper-cased unit by unit as it is read.
bool WildcardMatches(const wchar_t* pattern, size_t patternLength, const wchar_t* name, size_t length)
{
    size_t p = 0, n = 0, star = patternLength, resume = 0;
    while (n < length) {
        if (p < patternLength && pattern[p] == L'*') {
            star = p++;
            resume = n;
        } else if (p < patternLength && (pattern[p] == L'?' || pattern[p] == UpcaseUnit(name[n]))) {
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
    for (size_t at = 0; at + wantedLength <= length; ++at) {
        size_t i = 0;
        while (i < wantedLength && UpcaseUnit(name[at + i]) == wanted[i])
            ++i;
        if (i == wantedLength)
            return true;
    }
    return false;
}

}  // namespace

bool NamePattern::Set(const wchar_t* text)
{
    const size_t length = static_cast<size_t>(lstrlenW(text));
    wchar_t* folded = folded_.Allocate(length);
    if (!folded)
        return false;
    CopyMemory(folded, text, length * sizeof(wchar_t));
    UpcaseText(folded, length);
    wildcard_ = wcspbrk(text, L"*?") != nullptr;
    return true;
}

bool NamePattern::Matches(const wchar_t* name, size_t length) const
{
    return wildcard_ ? WildcardMatches(folded_.Get(), folded_.Length(), name, length)
                     : Contains(name, length, folded_.Get(), folded_.Length());
}

bool MatchesWildcard(const wchar_t* folded, size_t foldedLength, const wchar_t* name, size_t length)
{
    return WildcardMatches(folded, foldedLength, name, length);
}
