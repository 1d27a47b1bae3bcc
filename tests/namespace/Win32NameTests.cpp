// Names as programs write them, and lists of them matched whole.
#include <doctest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "NameList.h"
#include "Win32Names.h"

TEST_CASE("names as programs write them: each named-objects directory's prefix, a device's \\\\.\\, none elsewhere; "
          "a list's lines read back into paths, bad ones refused")
{
    const struct { const wchar_t *path, *name; } names[] = {
        {L"\\BaseNamedObjects\\X", L"Global\\X"}, {L"\\basenamedobjects\\A\\b", L"Global\\A\\b"},
        {L"\\Sessions\\1\\BaseNamedObjects\\X", L"Session\\1\\X"}, {L"\\Sessions\\12\\BaseNamedObjects\\e", L"Session\\12\\e"},
        {L"\\??\\C:", L"\\\\.\\C:"}, {L"\\GLOBAL??\\NUL", L"\\\\.\\NUL"}, {L"\\BaseNamedObjects", nullptr},
        {L"\\BaseNamedObjects\\", nullptr}, {L"\\BaseNamedObjectsX\\Y", nullptr}, {L"\\Sessions\\1\\BaseNamedObjects", nullptr},
        {L"\\Sessions\\\\BaseNamedObjects\\X", nullptr}, {L"\\Sessions\\1\\AppContainerNamedObjects\\S-1-15-2-1\\X", nullptr},
        {L"\\Sessions\\1\\BaseNamedObjectsX\\Y", nullptr}, {L"\\Device\\Null", nullptr}, {L"\\", nullptr}};
    for (const auto& c : names) {
        CAPTURE(std::wstring(c.path));
        WideText name;
        REQUIRE(FindWin32Name(c.path, wcslen(c.path), &name) == (c.name != nullptr));
        CHECK(std::wstring(name.Get()) == (c.name ? c.name : L""));
    }
    const struct { const wchar_t* line; ListedName kind; const wchar_t* text; } lines[] = {
        {L"Global\\X", ListedName::Path, L"\\BaseNamedObjects\\X"}, {L"gLoBaL\\X", ListedName::Path, L"\\BaseNamedObjects\\X"},
        {L"Local\\X", ListedName::Path, L"\\Sessions\\3\\BaseNamedObjects\\X"},
        {L"Session\\7\\X", ListedName::Path, L"\\Sessions\\7\\BaseNamedObjects\\X"},
        {L"Session\\0\\X", ListedName::Path, L"\\BaseNamedObjects\\X"}, {L"\\\\.\\COM1", ListedName::Device, L"COM1"},
        {L"\\Device\\Null", ListedName::Path, L"\\Device\\Null"}, {L"Name*", ListedName::Bare, L"Name*"},
        {L"Global\\", ListedName::Bad, L""}, {L"Local\\", ListedName::Bad, L""}, {L"Session\\X", ListedName::Bad, L""},
        {L"Session\\1", ListedName::Bad, L""}, {L"Session\\1\\", ListedName::Bad, L""}, {L"\\\\.\\", ListedName::Bad, L""},
        {L"Session\\12345678901\\X", ListedName::Bad, L""}, {L"a\\b", ListedName::Bad, L""}, {L"", ListedName::Bad, L""}};
    for (const auto& c : lines) {
        CAPTURE(std::wstring(c.line));
        WideText text;
        CHECK(ReadListedName(c.line, wcslen(c.line), 3, &text) == c.kind);
        CHECK(std::wstring(text.Get()) == c.text);
    }
    WideText text;
    CHECK(ReadListedName(L"Local\\X", 7, 0, &text) == ListedName::Path);  // a service's session
    CHECK(std::wstring(text.Get()) == L"\\BaseNamedObjects\\X");
    CHECK(ReadListedName(L"a\0b", 3, 1, &text) == ListedName::Bad);

    // Each line's number is its row; an entry takes the first line it matches.
    const struct { const wchar_t* text; bool path; } rows[] = {
        {L"\x212A" L"elvin", false}, {L"\\BaseNamedObjects\\Gate", true}, {L"gate", false}, {L"low*", false},
        {L"\\Device\\*", true}, {L"Kelvin", false}};
    NameList list;
    CHECK(list.Empty());
    for (const auto& row : rows)
        REQUIRE(list.Add(row.text, wcslen(row.text), row.path, int(&row - rows)));
    for (int i = 0; i < 300; ++i)  // grown well past its first table
        REQUIRE(list.Add((L"n" + std::to_wstring(i)).c_str(), std::to_wstring(i).size() + 1, false, 100 + i));
    const struct { const wchar_t *path, *name; int line; } entries[] = {
        {L"\\BaseNamedObjects\\GATE", L"GATE", 1}, {L"\\Other\\gate", L"gate", 2}, {L"\\X\\Lower", L"Lower", 3},
        {L"\\X\\lo", L"lo", -1}, {L"\\Device\\Null", L"Null", 4}, {L"\\Device", L"Device", -1},
        {L"\\X\\\x212A" L"ELVIN", L"\x212A" L"ELVIN", 0}, {L"\\X\\kelvin", L"kelvin", 5}, {L"\\X\\N299", L"N299", 399},
        {L"\\X\\n2999", L"n2999", -1}, {L"\\X\\gat", L"gat", -1}, {L"\\X\\gates", L"gates", -1}};
    for (const auto& c : entries) {
        CAPTURE(std::wstring(c.path));
        CHECK(list.Match(c.path, wcslen(c.path), c.name, wcslen(c.name)) == c.line);
    }
}
