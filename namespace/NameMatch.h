// The one test of an object's name against a text the user gave, for the
// find window and kagero-dump --find alike: a text the name contains, or a
// wildcard over the whole name. Case is ignored as the kernel ignores it
// when it looks a name up (NameCompare.h): unit by unit, each UTF-16 unit
// upper-cased by the system's own table, so that an unpaired surrogate is one
// unit like any other and the same text finds the same objects in both programs.
#pragma once

#include <windows.h>

#include <cstddef>

#include "WideText.h"

class NamePattern {
public:
    // Without * or ?: contained in the name; with them: a wildcard over the
    // whole name (* any run, ? one UTF-16 unit). Empty, as before the first
    // Set: every name. false (the pattern kept) when memory runs out.
    bool Set(const wchar_t* text);
    // A name of length units, any content.
    bool Matches(const wchar_t* name, size_t length) const;

private:
    WideText folded_;  // the text, upper-cased
    bool wildcard_ = false;
};

// A wildcard, upper-cased already, over the whole of name: the match of
// NamePattern's wildcards, for lists of patterns kept elsewhere.
bool MatchesWildcard(const wchar_t* folded, size_t foldedLength, const wchar_t* name, size_t length);
