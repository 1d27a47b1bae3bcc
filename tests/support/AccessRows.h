// Objects whose descriptors say who can change them, owned by SYSTEM (which no subject of the tests is): one
// writable by Authenticated Users only, one by Administrators only, one labelled Low and its unlabelled twin
// (Medium: no write up from Low), and one whose security is refused to everyone.
#pragma once

#include "KernelObjects.h"

inline int BuildAccessRows(TestNamespace& ns, const std::wstring& directory)
{
    const std::wstring read = L"O:SYG:SYD:(A;;RC;;;WD)", at = directory + L"\\";
    return ns.Build({{Kind::Directory, directory},
                     {Kind::Sddl, read + L"(A;;GA;;;AU)"}, {Kind::Event, at + L"au-only"},
                     {Kind::Sddl, read + L"(A;;GA;;;BA)"}, {Kind::Event, at + L"ba-only"},
                     {Kind::Sddl, L"O:SYG:SYD:(A;;GA;;;WD)S:(ML;;NW;;;LW)"}, {Kind::Event, at + L"low-label"},
                     {Kind::Sddl, L"O:SYG:SYD:(A;;GA;;;WD)"}, {Kind::Event, at + L"unlabelled"},
                     {Kind::Sddl, L"O:SYG:SYD:"}, {Kind::Event, at + L"refused"}, {Kind::Sddl, L""}});
}
