// The directory walk over real objects, with the failures the platform will not produce on demand put into its calls.
#include <doctest.h>

#include <algorithm>
#include <cwchar>
#include <list>
#include <string>
#include <vector>

#include "DirectoryWalk.h"
#include "EntryRecord.h"
#include "GrowingArray.h"
#include "KernelObjects.h"
#include "NameCompare.h"
#include "NativeApi.h"
#include "ObjectOpen.h"
#include "ObjectTypes.h"

namespace {

// Nodes as "path <- parent path" ("?" for none), entries as "type name".
struct Recorder : NamespaceSink {
    DirectoryNode InsertDirectoryNode(DirectoryNode parent, const wchar_t* path) override
    {
        seen.push_back(std::wstring(path) + L" <- " + (parent ? *static_cast<std::wstring*>(parent) : L"?"));
        return &paths.emplace_back(path);
    }
    void AddListEntry(int index, const wchar_t* type, const wchar_t* name) override
    {
        indexes.push_back(index);
        seen.push_back(std::wstring(type) + L" " + name);
    }
    std::vector<std::wstring> seen;
    std::list<std::wstring> paths;  // the nodes: a list keeps their addresses
    std::vector<int> indexes;
};
std::vector<std::wstring> Sorted(std::vector<std::wstring> texts)
{
    std::sort(texts.begin(), texts.end());
    return texts;
}

// The real calls, counted (Wine reports no process handle count). The query numbered failAt fails, or claims
// claimed bytes when that is set; lowerTypes gives every entry's type name in lower case. mode and seen: the walk
// and the records it makes.
struct Injection { ULONG failAt, claimed; bool lowerTypes; int mode; size_t seen; };
Injection Inject = {};
ULONG Queries = 0, LargestAsked = 0;
int Opens = 0, Closes = 0;

NTSTATUS NTAPI Open(PHANDLE handle, ACCESS_MASK access, POBJECT_ATTRIBUTES attributes)
{
    const NTSTATUS status = NtOpenDirectoryObject(handle, access, attributes);
    Opens += status >= 0;
    return status;
}
NTSTATUS NTAPI Close(HANDLE handle)
{
    ++Closes;
    return NtClose(handle);
}
NTSTATUS NTAPI Query(HANDLE handle, PVOID buffer, ULONG size, BOOLEAN one, BOOLEAN restart, PULONG context, PULONG needed)
{
    LargestAsked = std::max(LargestAsked, size);
    if (++Queries == Inject.failAt) {
        *needed = Inject.claimed;
        return static_cast<NTSTATUS>(Inject.claimed ? 0xC0000023L : 0xC000009AL);  // too small; no memory
    }
    const NTSTATUS status = NtQueryDirectoryObject(handle, buffer, size, one, restart, context, needed);
    const UNICODE_STRING& type = static_cast<ObjectDirectoryInformation*>(buffer)->TypeName;
    if (status == 0 && Inject.lowerTypes)
        CharLowerBuffW(type.Buffer, type.Length / sizeof(wchar_t));
    return status;
}
const DirectoryCalls Counting = {Open, Query, Close};

const std::wstring Huge(2100, L'h');   // 4200 bytes: more than the 4096-byte query buffer
const std::wstring Large(1500, L'l');  // 3000 bytes: more than the lookup's 2048
const std::wstring TooLong = L"Target" + std::wstring(2048, L'x');  // over the lookup's 2048 characters
const std::wstring LongA(600, L'a'), LongB(600, L'b');               // together over a 1024-character path

}  // namespace

TEST_CASE("real objects: directories under their parents, long paths skipped, entries from 1, exact lookups; refusals give nothing")
{
    TestNamespace ns;
    REQUIRE(ns.Build({{Kind::Directory, L"A"}, {Kind::Directory, L"A\\A1"}, {Kind::Directory, L"A\\A1\\Deep"},
                      {Kind::Event, L"A\\ev"}, {Kind::Directory, L"B"}, {Kind::SymbolicLink, L"link", 0, 0, L"\\Device"},
                      {Kind::Directory, L"Refused"}, {Kind::Directory, L"Refused\\Hidden"}, {Kind::Refuse, L"Refused"},
                      {Kind::Directory, L"Z"}, {Kind::Directory, LongA}, {Kind::Directory, LongA + L"\\" + LongB},
                      {Kind::Event, L"Target"}, {Kind::Event, TooLong.substr(0, 2047)}, {Kind::Event, Huge},
                      {Kind::Mutant, Large}, {Kind::Semaphore, L"after", 1, 5}}) == 0);
    const std::wstring r = ns.Root();
    Recorder tree;
    CHECK(EnumerateDirectory(r.c_str(), WalkTree, nullptr, tree) == 0);
    CHECK(Sorted(tree.seen) == Sorted({r + L" <- ?", r + L"\\A <- " + r, r + L"\\A\\A1 <- " + r + L"\\A",
                                        r + L"\\A\\A1\\Deep <- " + r + L"\\A\\A1", r + L"\\B <- " + r,
                                        r + L"\\Refused <- " + r, r + L"\\Z <- " + r, r + L"\\" + LongA + L" <- " + r}));

    Recorder list;
    CHECK(ListDirectoryEntries(r.c_str(), list) == 0);
    CHECK(list.indexes == std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11});
    CHECK(Sorted(list.seen) == Sorted({L"Directory A", L"Directory B", L"SymbolicLink link", L"Directory Refused",
                                         L"Directory Z", L"Directory " + LongA, L"Event Target", L"Event " + Huge,
                                         L"Event " + TooLong.substr(0, 2047), L"Mutant " + Large, L"Semaphore after"}));
    const std::pair<const wchar_t*, ULONG> failures[] = {{L"B", 0}, {L"Refused", 0xC0000022}, {L"missing", 0xC0000034}};
    for (const auto& [directory, status] : failures) {
        Recorder listing;
        CHECK(ULONG(ListDirectoryEntries(ns.Path(directory).c_str(), listing)) == status);
        CHECK(listing.seen.empty());
    }

    // The lookup: a record with index -1 on an exact match, else the slot untouched and the status says why.
    const struct { const wchar_t* directory; std::wstring name; ULONG result; } lookups[] = {  // type code or status
        {L"", L"Target", 3}, {L"", Large, 4}, {L"", L"after", 5}, {L"", L"target", 0xC0000034},
        {L"", L"Targe", 0xC0000034}, {L"", L"TargetX", 0xC0000034}, {L"missing", L"Target", 0xC0000034},
        {L"", TooLong, 0xC0000106},  // cut to fit, it would name another entry
        {L"Refused", L"Hidden", 0xC0000022}};
    for (const auto& c : lookups) {
        CAPTURE(c.name.size());
        auto* const untouched = reinterpret_cast<EntryRecord*>(static_cast<INT_PTR>(0x1234));
        EntryRecord* slot = untouched;
        const bool match = c.result < 0x100;
        CHECK(ULONG(FindDirectoryEntry(ns.Path(c.directory).c_str(), c.name.c_str(), &slot)) == (match ? 0 : c.result));
        CHECK((slot != untouched) == match);
        if (slot != untouched) {
            CHECK((slot->name == c.name && ULONG(slot->typeCode) == c.result && slot->enumerationIndex == -1));
            FreeEntryRecord(slot);
        }
    }
}

TEST_CASE("a failed query ends the directory quietly and fails a lookup; an absurd size claim is not allocated; tree mode wants \"Directory\"")
{
    TestNamespace ns;
    REQUIRE(ns.Build({{Kind::Directory, L"A1"}, {Kind::Directory, L"A1\\Deep"}, {Kind::Event, L"e1"}, {Kind::Event, L"e2"}}) == 0);
    const Injection cases[] = {  // mode 0: a lookup, whose failed read is its status, not a missing entry
        {2, 0, false, WalkList, 1}, {2, 0x1000000, false, WalkList, 1}, {0, 0, true, WalkTree, 1},
        {0, 0, false, WalkTree, 3}, {1, 0, false, 0, 0}};
    for (const Injection& c : cases) {
        CAPTURE(&c - cases);
        Inject = c;
        Queries = LargestAsked = Opens = Closes = 0;
        SetDirectoryCalls(&Counting);
        Recorder sink;
        EntryRecord* slot = nullptr;
        const NTSTATUS status = c.mode ? EnumerateDirectory(ns.Root().c_str(), c.mode, nullptr, sink)
                                       : FindDirectoryEntry(ns.Root().c_str(), L"e1", &slot);
        SetDirectoryCalls(nullptr);
        CHECK(ULONG(status) == (c.mode ? 0 : 0xC000009A));
        CHECK(sink.seen.size() + (slot != nullptr) == c.seen);
        CHECK(LargestAsked <= 0x20100);  // the largest entry the kernel can return
        CHECK(Closes == Opens);
    }
}

TEST_CASE("child paths: one backslash under the root and after an empty parent, refused when they do not fit")
{
    wchar_t text[] = L"Child";
    const UNICODE_STRING name = {10, 12, text};
    const struct { const wchar_t* parent; int capacity; const wchar_t* expected; } cases[] = {  // null: refused
        {L"\\", 32, L"\\Child"}, {L"", 32, L"\\Child"}, {L"\\A\\", 32, L"\\A\\Child"},
        {L"\\Device", 14, L"\\Device\\Child"}, {L"\\Device", 13, nullptr}};
    for (const auto& c : cases) {
        wchar_t buffer[40];
        std::fill(std::begin(buffer), std::end(buffer), L'#');
        CHECK(BuildChildPath(c.parent, name, buffer, c.capacity) == (c.expected != nullptr));
        CHECK(std::wstring(buffer) == (c.expected ? c.expected : L""));
        CHECK(buffer[c.capacity] == L'#');
    }
}

TEST_CASE("type names map to their codes and images in any letter case; other names are -1 with image 2")
{
    const struct { const wchar_t* name; int code, image; } cases[] = {
        {L"Directory", 0, 0}, {L"dIRECTORY", 0, 0}, {L"Device", 11, 6}, {L"Driver", 10, 5}, {L"SymbolicLink", 2, 7},
        {L"Section", 1, 12}, {L"event", 3, 8}, {L"EventPair", 14, 8}, {L"Mutant", 4, 9}, {L"Semaphore", 5, 10},
        {L"Port", 8, 3}, {L"Type", 7, 15}, {L"Timer", 12, 14}, {L"Key", 6, 13}, {L"Callback", 13, 2},
        {L"WindowStation", 9, 4}, {L"Profile", 15, 11}, {L"JOB", 21, 16}, {L"Process", 19, 2}, {L"Thread", 20, 2},
        {L"ioCompletion", 22, 2},
        {L"File", -1, 2}, {L"", -1, 2}, {L"Direct", -1, 2}, {L"Events", -1, 2}, {L" Event", -1, 2},
    };
    for (const auto& c : cases) {
        CAPTURE(c.code);
        int image = -5;
        CHECK(LookupObjectType(c.name, &image) == c.code);
        CHECK(image == c.image);
    }
}

TEST_CASE("names compared as the kernel compares them: upper-cased unit by unit by the system's table, no language's "
          "rules; the kernel opens the same; a child picked by its exact name, else the first caseless match")
{
    // The order's sign by hand from the units' codes once upper-cased (U+0131, U+00DF, U+212A, U+03C2 and the
    // surrogates stay as they are); lstrcmpiW gives another for the rows marked *.
    const struct { const wchar_t *a, *b; int order; } cases[] = {
        {L"\x0131", L"I", 1}, {L"\x0131", L"i", 1}, {L"\x0131", L"J", 1} /* * */, {L"i", L"\x0130", -1},
        {L"\x00DF", L"SS", 1} /* * */, {L"stra\x00DF" L"e", L"STRASSE", 1} /* * */, {L"\x00DF", L"T", 1} /* * */,
        {L"\x212A", L"k", 1} /* * */, {L"\x03C2", L"\x03A3", 1} /* * */, {L"\xD800", L"\xE000", -1} /* * */,
        {L"\xDC00", L"\xFFFD", -1} /* * */, {L"lone\xD800" L"high", L"LONE\xD800" L"HIGH", 0},
        {L"aB\x00E9", L"Ab\x00C9", 0}, {L"x\x00FF", L"X\x0178", 0}, {L"Ab", L"AC", -1}, {L"ab", L"AB-", -1},
        {L"ab-", L"AB", 1}};
    TestNamespace ns;
    for (const auto& c : cases) {
        const int row = int(&c - cases);
        CAPTURE(row);
        const size_t aLength = wcslen(c.a), bLength = wcslen(c.b);
        const auto sign = [](int order) { return (order > 0) - (order < 0); };
        CHECK(sign(CompareCaseless(c.a, aLength, c.b, bLength)) == c.order);
        CHECK(sign(CompareCaseless(c.b, bLength, c.a, aLength)) == -c.order);
        std::wstring key(c.a);
        UpcaseText(&key[0], aLength);
        CHECK(sign(CompareKeyCaseless(key.c_str(), aLength, c.b, bLength)) == c.order);
        CHECK(EqualCaseless(c.a, c.b) == (c.order == 0));
        // The kernel: an object made as a, opened as b without regard to case.
        const std::wstring directory = L"r" + std::to_wstring(row);
        REQUIRE((ns.Directory(directory) >= 0 && ns.Event(directory + L"\\" + c.a) >= 0));
        UNICODE_STRING name;
        const std::wstring opened = ns.Path(directory + L"\\" + c.b);
        RtlInitUnicodeString(&name, opened.c_str());
        OBJECT_ATTRIBUTES attributes;
        InitializeObjectAttributes(&attributes, &name, OBJ_CASE_INSENSITIVE, nullptr, nullptr);
        ObjectHandle event;
        CHECK((NtOpenEvent(event.Receive(), SYNCHRONIZE, &attributes) == 0) == (c.order == 0));
    }

    const struct { std::vector<const wchar_t*> children; const wchar_t* name; bool exactOnly; int picked; } picks[] = {
        {{L"STRASSE", L"Stra\x00DF" L"e"}, L"STRA\x00DF" L"E", false, 1}, {{L"KEY", L"\x212A" L"ey"}, L"\x212A" L"EY", false, 1},
        {{L"a", L"A"}, L"A", false, 1}, {{L"Ab", L"aB", L"AB"}, L"ab", false, 0}, {{L"a", L"b"}, L"A", true, -1},
        {{L"b", L"A", L"a"}, L"a", true, 2}, {{L"ab", L"abc"}, L"ABCD", false, -1}};
    for (const auto& c : picks) {
        CAPTURE(&c - picks);
        ChildPick pick(c.name, c.exactOnly);
        int picked = -1;
        for (size_t i = 0; i < c.children.size() && !pick.Exact(); ++i)
            picked = pick.Offer(c.children[i]) ? int(i) : picked;
        CHECK(picked == c.picked);
    }
}

TEST_CASE("growing array: contents kept through growth; a size a size_t cannot count refused, contents kept")
{
    GrowingArray<int> numbers(2);
    for (int i = 0; i < 100; ++i)
        REQUIRE(numbers.Push(i * 3 + 1));
    const int more[] = {7, 8};
    CHECK(numbers.Append(more, 2));
    CHECK_FALSE(numbers.Reserve(size_t(-1) / sizeof(int) - 101));  // the bytes one element past a size_t
    CHECK_FALSE(numbers.Reserve(size_t(-1)));                       // the count itself past it
    REQUIRE(numbers.Count() == 102);
    CHECK(numbers.Pop() == 8);
    int wrong = 0;
    for (int i = 0; i < 100; ++i)
        wrong += numbers[size_t(i)] != i * 3 + 1;
    CHECK(wrong == 0);
}
