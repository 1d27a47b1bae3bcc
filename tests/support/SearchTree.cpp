#include "SearchTree.h"

const KnownObject NeedleObjects[] = {
    {L"NeedleTop", L"Event", L""},
    {L"Alpha\\Sub1\\Deep\\Deeper\\haystack-NEEDLE", L"Mutant", L""},
    {L"Beta\\Sub2\\xneedlex", L"Semaphore", L""},
    {L"Gamma\\NeedleLink", L"SymbolicLink", L"\\Device\\Null"},
    {L"Gamma\\NeedleDir", L"Directory", L""},
    {L"Gamma\\Sub0\\\xD800needle", L"Event", L""},  // an unpaired surrogate first
};
const int NeedleObjectCount = sizeof(NeedleObjects) / sizeof(NeedleObjects[0]);

SearchTree::SearchTree()
{
    for (const wchar_t* top : {L"Alpha", L"Beta", L"Gamma"}) {
        failed_ += ns_.Directory(top) < 0;
        for (int sub = 0; sub < 4; ++sub) {
            const std::wstring directory = std::wstring(top) + L"\\Sub" + std::to_wstring(sub);
            failed_ += ns_.Directory(directory) < 0;
            for (int event = 0; event < 20; ++event)
                failed_ += ns_.Event(directory + (event < 10 ? L"\\ev0" : L"\\ev") + std::to_wstring(event)) < 0;
        }
    }
    failed_ += ns_.Build({{Kind::Event, L"NeedleTop"}, {Kind::Directory, L"Alpha\\Sub1\\Deep"},
                          {Kind::Directory, L"Alpha\\Sub1\\Deep\\Deeper"},
                          {Kind::Mutant, L"Alpha\\Sub1\\Deep\\Deeper\\haystack-NEEDLE"},
                          {Kind::Semaphore, L"Beta\\Sub2\\xneedlex", 1, 2},
                          {Kind::SymbolicLink, L"Beta\\toBase", 0, 0, L"\\BaseNamedObjects"},
                          {Kind::SymbolicLink, L"Gamma\\NeedleLink", 0, 0, L"\\Device\\Null"},
                          {Kind::Directory, L"Gamma\\NeedleDir"}, {Kind::Event, L"Gamma\\NeedleDir\\inner"},
                          {Kind::Event, L"Gamma\\Sub0\\\xD800needle"}, {Kind::Event, L"Gamma\\Sub3\\\x00C4rger"},
                          {Kind::Directory, L"Refused"}, {Kind::Event, L"Refused\\NeedleHidden"},
                          {Kind::Refuse, L"Refused"}});
}
