// Names compared without regard to case as the kernel compares them when it
// looks one up: each UTF-16 unit upper-cased by the system's own table
// (RtlUpcaseUnicodeChar), then unit against unit by code. No language's
// rules: "ß" is not "SS", the Kelvin sign is not "K", the dotless "ı" is
// neither "I" nor "i", an unpaired surrogate is one unit like any other. The
// window's name order for people is another thing (lstrcmpiW).
#pragma once

#include <windows.h>

#include <cstddef>

// One unit, and a text in place, upper-cased by the system's table.
wchar_t UpcaseUnit(wchar_t unit);
void UpcaseText(wchar_t* text, size_t length);

// Negative, zero or positive as a comes before, is, or comes after b: the
// upper-cased units by code, a name before the longer ones it begins.
int CompareCaseless(const wchar_t* a, size_t aLength, const wchar_t* b, size_t bLength);
// The same, a already upper-cased (a key kept for many comparisons).
int CompareKeyCaseless(const wchar_t* key, size_t keyLength, const wchar_t* b, size_t bLength);
// Two keys, both upper-cased already.
int CompareKeys(const wchar_t* a, size_t aLength, const wchar_t* b, size_t bLength);
bool EqualCaseless(const wchar_t* a, size_t aLength, const wchar_t* b, size_t bLength);
bool EqualCaseless(const wchar_t* a, const wchar_t* b);  // both terminated

// The child a path's name opens, among one directory's children offered one
// by one: the exact name first, else the first without regard to case.
class ChildPick {
public:
    // exactOnly: no caseless match is taken.
    explicit ChildPick(const wchar_t* name, bool exactOnly = false);
    // true when candidate is now the pick: the exact name, or the first
    // caseless match while no exact one has come.
    bool Offer(const wchar_t* candidate, size_t length);
    bool Offer(const wchar_t* candidate);
    // The exact name has come: no later child can be the pick.
    bool Exact() const { return exact_; }

private:
    const wchar_t* name_;
    size_t length_;
    bool exactOnly_;
    bool picked_ = false;
    bool exact_ = false;
};
