// A subtree of a few hundred real objects over five levels for the search: twelve directories of twenty events,
// names holding "needle" at known places, a refused directory, links with targets, and names that only case
// folding beyond ASCII or a single UTF-16 unit can match (the CaseNames in "Cases" among them).
#pragma once

#include "KernelObjects.h"

// Every object whose name holds "needle" in any case, outside the refused directory (which holds one more).
struct KnownObject { const wchar_t *path, *type, *target; };  // path below the root
inline const KnownObject NeedleObjects[] = {
    {L"NeedleTop", L"Event", L""}, {L"Alpha\\Sub1\\Deep\\Deeper\\haystack-NEEDLE", L"Mutant", L""},
    {L"Beta\\Sub2\\xneedlex", L"Semaphore", L""}, {L"Gamma\\NeedleLink", L"SymbolicLink", L"\\Device\\Null"},
    {L"Gamma\\NeedleDir", L"Directory", L""}, {L"Gamma\\Sub0\\\xD800needle", L"Event", L""}};  // a lone surrogate
// The directories that can be read (the root among them), the refused one, and every entry that can be seen.
const long SearchTreeDirectories = 22, SearchTreeRefused = 1, SearchTreeObjects = 277;

struct SearchTree : TestNamespace {
    SearchTree()
    {
        for (const std::wstring top : {L"Alpha", L"Beta", L"Gamma"}) {
            failed += Directory(top) < 0;
            for (int sub = 0; sub < 4; ++sub) {
                const std::wstring directory = top + L"\\Sub" + std::to_wstring(sub);
                failed += Directory(directory) < 0;
                for (int event = 0; event < 20; ++event)
                    failed += Event(directory + (event < 10 ? L"\\ev0" : L"\\ev") + std::to_wstring(event)) < 0;
            }
        }
        failed += Build({{Kind::Event, L"NeedleTop"}, {Kind::Directory, L"Alpha\\Sub1\\Deep"},
                         {Kind::Directory, L"Alpha\\Sub1\\Deep\\Deeper"}, {Kind::Mutant, L"Alpha\\Sub1\\Deep\\Deeper\\haystack-NEEDLE"},
                         {Kind::Semaphore, L"Beta\\Sub2\\xneedlex", 1, 2}, {Kind::SymbolicLink, L"Beta\\toBase", 0, 0, L"\\BaseNamedObjects"},
                         {Kind::SymbolicLink, L"Gamma\\NeedleLink", 0, 0, L"\\Device\\Null"}, {Kind::Directory, L"Gamma\\NeedleDir"},
                         {Kind::Event, L"Gamma\\NeedleDir\\inner"}, {Kind::Event, L"Gamma\\Sub0\\\xD800needle"},
                         {Kind::Event, L"Gamma\\Sub3\\\x00C4rger"}, {Kind::Directory, L"Refused"},
                         {Kind::Event, L"Refused\\NeedleHidden"}, {Kind::Refuse, L"Refused"}});
        for (const wchar_t* directory : CaseDirectories)
            failed += Directory(directory) < 0;
        for (const wchar_t* name : CaseNames)
            failed += Event(name) < 0;
    }
    int failed = 0;
};
