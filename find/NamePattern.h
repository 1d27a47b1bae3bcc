// The find window's test of a name: a text the name contains, or a wildcard
// over the whole name, without regard to case as the list's name order has it.
#pragma once

#include <windows.h>

#include <cstddef>

#include "WideText.h"

// Writes length units of text, upper-cased by the user's locale, to folded
// (room for length units). A unit the locale cannot map, such as half of a
// surrogate pair, is kept as it is.
void FoldNameCase(const wchar_t* text, size_t length, wchar_t* folded);

class NamePattern {
public:
    // Without * or ?: contained in the name; with them: a wildcard over the
    // whole name (* any run, ? one UTF-16 unit). Empty: every name. false
    // when memory runs out.
    bool Set(const wchar_t* text);
    // A name of length units, any content.
    bool Matches(const wchar_t* name, size_t length);

private:
    WideText folded_;
    bool wildcard_ = false;
    WideText scratch_;  // the folded name, kept between calls
    wchar_t* scratchData_ = nullptr;
};
