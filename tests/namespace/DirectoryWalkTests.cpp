// The directory walk over real objects, and over a fake for what the
// platform will not do on demand.
#include <doctest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "DirectoryWalk.h"
#include "EntryRecord.h"
#include "KernelObjects.h"
#include "NativeApi.h"
#include "ObjectTypes.h"

namespace {

// Nodes as "path <- parent path", entries as "index type name".
struct Recorder : NamespaceSink {
    DirectoryNode InsertDirectoryNode(DirectoryNode parent, const wchar_t* path) override
    {
        const INT_PTR at = reinterpret_cast<INT_PTR>(parent);
        nodes.push_back(std::wstring(path) + L" <- " + (at > 0 && at <= INT_PTR(paths.size()) ? paths[at - 1] : L"?"));
        paths.push_back(path);
        return reinterpret_cast<DirectoryNode>(static_cast<INT_PTR>(paths.size()));
    }
    void AddListEntry(int index, const wchar_t* type, const wchar_t* name) override
    {
        indexes.push_back(index);
        listed.push_back(std::wstring(type) + L" " + name);
    }
    std::vector<std::wstring> nodes, paths, listed;
    std::vector<int> indexes;
};
std::vector<std::wstring> Sorted(std::vector<std::wstring> texts) { return std::sort(texts.begin(), texts.end()), texts; }

// Opens and closes through the seam: the real calls counted, or a fake directory.
struct FakeEntry { const wchar_t *name, *type; };
struct FakeDirectory {
    std::vector<FakeEntry> entries;
    ULONG failAt, claimed;  // the query at failAt fails, or claims this size when it is set
    int mode;
    std::vector<std::wstring> expected;
};
const FakeDirectory* Fake = nullptr;
ULONG LargestAsked = 0;
int Opens = 0, Closes = 0;

NTSTATUS NTAPI Open(PHANDLE h, ACCESS_MASK a, POBJECT_ATTRIBUTES o)
{
    const NTSTATUS status = Fake ? (*h = reinterpret_cast<HANDLE>(0x100), 0) : NtOpenDirectoryObject(h, a, o);
    Opens += status >= 0;
    return status;
}
NTSTATUS NTAPI Close(HANDLE h) { return ++Closes, Fake ? 0 : NtClose(h); }
NTSTATUS NTAPI Query(HANDLE h, PVOID buffer, ULONG size, BOOLEAN one, BOOLEAN restart, PULONG context, PULONG needed)
{
    LargestAsked = std::max(LargestAsked, size);
    if (!Fake)
        return NtQueryDirectoryObject(h, buffer, size, one, restart, context, needed);
    if (Opens > 1 || *context >= Fake->entries.size())  // directories below the top are empty
        return static_cast<NTSTATUS>(0x8000001AL);
    if (*context == Fake->failAt)
        return Fake->claimed ? (*needed = Fake->claimed, NTSTATUS(0xC0000023L)) : NTSTATUS(0xC000009AL);
    const FakeEntry& e = Fake->entries[(*context)++];
    auto* info = static_cast<ObjectDirectoryInformation*>(buffer);
    auto* text = reinterpret_cast<wchar_t*>(info + 2);
    const USHORT name = static_cast<USHORT>(lstrlenW(e.name) * 2), type = static_cast<USHORT>(lstrlenW(e.type) * 2);
    lstrcpyW(text, e.name);
    lstrcpyW(text + name / 2 + 1, e.type);
    info->Name = {name, USHORT(name + 2), text};
    info->TypeName = {type, USHORT(type + 2), text + name / 2 + 1};
    return 0;
}
const DirectoryCalls Seam = {Open, Query, Close};

struct UseSeam {
    explicit UseSeam(const FakeDirectory* fake = nullptr) { Fake = fake, LargestAsked = 0, Opens = Closes = 0, SetDirectoryCalls(&Seam); }
    ~UseSeam() { SetDirectoryCalls(nullptr); }
};

const std::wstring Huge(2100, L'h');   // 4200 bytes: more than the 4096-byte query buffer
const std::wstring Large(1500, L'l');  // 3000 bytes: more than the lookup's 2048
const std::wstring TooLong = L"Target" + std::wstring(2048, L'x');  // over the lookup's 2048 characters
const std::wstring LongA(600, L'a'), LongB(600, L'b');               // together over a 1024-character path

}  // namespace

TEST_CASE("the tree walk: every directory once under its parent, refused ones as leaves, long paths skipped")
{
    TestNamespace ns;
    REQUIRE(ns.Build({{Kind::Directory, L"A"}, {Kind::Directory, L"A\\A1"}, {Kind::Directory, L"A\\A1\\Deep"},
                      {Kind::Event, L"A\\ev"}, {Kind::Directory, L"B"}, {Kind::SymbolicLink, L"link", 0, 0, L"\\Device"},
                      {Kind::Directory, L"Refused"}, {Kind::Directory, L"Refused\\Hidden"}, {Kind::Refuse, L"Refused"},
                      {Kind::Directory, L"Z"}, {Kind::Directory, LongA}, {Kind::Directory, LongA + L"\\" + LongB}}) == 0);
    Recorder sink;
    UseSeam counting;
    CHECK(EnumerateDirectory(ns.Root().c_str(), WalkTree, reinterpret_cast<DirectoryNode>(99), sink) == 0);
    const std::wstring r = ns.Root();
    CHECK(Sorted(sink.nodes) == Sorted({r + L" <- ?", r + L"\\A <- " + r, r + L"\\A\\A1 <- " + r + L"\\A",
                                                  r + L"\\A\\A1\\Deep <- " + r + L"\\A\\A1", r + L"\\B <- " + r,
                                                  r + L"\\Refused <- " + r, r + L"\\Z <- " + r,
                                                  r + L"\\" + LongA + L" <- " + r}));
    CHECK(sink.listed.empty());
    CHECK(Opens == 7);  // all but the refused one
    CHECK(Closes == 7);
}

TEST_CASE("listing: every entry once, oversized ones too, numbered 1, 2, 3; lookups exact; failures give nothing")
{
    TestNamespace ns;
    REQUIRE(ns.Build({{Kind::Directory, L"sub"}, {Kind::Event, L"Target"}, {Kind::Event, TooLong.substr(0, 2047)},
                      {Kind::SymbolicLink, L"link", 0, 0, L"\\Device"}, {Kind::Event, Huge}, {Kind::Mutant, Large},
                      {Kind::Semaphore, L"after", 1, 5}, {Kind::Directory, L"sub\\empty"},
                      {Kind::Directory, L"sub\\refused"}, {Kind::Event, L"sub\\refused\\inside"},
                      {Kind::Refuse, L"sub\\refused"}}) == 0);
    UseSeam counting;
    Recorder sink;
    CHECK(ListDirectoryEntries(ns.Root().c_str(), sink) == 0);
    CHECK(sink.indexes == std::vector<int>{1, 2, 3, 4, 5, 6, 7});
    CHECK(Sorted(sink.listed) == Sorted({L"Directory sub", L"Event Target", L"Event " + TooLong.substr(0, 2047),
                                                   L"SymbolicLink link", L"Event " + Huge, L"Mutant " + Large,
                                                   L"Semaphore after"}));

    const struct {
        const wchar_t* directory;
        ULONG status;
    } listings[] = {{L"sub\\empty", 0}, {L"sub\\refused", 0xC0000022}, {L"sub\\missing", 0xC0000034}};
    for (const auto& c : listings) {
        Recorder listing;
        CHECK(ULONG(ListDirectoryEntries(ns.Path(c.directory).c_str(), listing)) == c.status);
        CHECK(listing.listed.empty());
    }

    // The lookup: a record with index -1 on an exact match, the slot untouched otherwise.
    const struct {
        const wchar_t* directory;
        std::wstring name;
        int typeCode;  // -9: no match
    } lookups[] = {{L"", L"Target", 3},      {L"", Large, 4},          {L"", L"after", 5},
                   {L"", L"target", -9},     {L"", L"Targe", -9},      {L"", L"TargetX", -9},
                   {L"", TooLong, -9},  // cut to fit, it would name another entry
                   {L"sub\\refused", L"inside", -9}, {L"missing", L"Target", -9}};
    for (const auto& c : lookups) {
        CAPTURE(c.name.size());
        auto* const untouched = reinterpret_cast<EntryRecord*>(static_cast<INT_PTR>(0x1234));
        EntryRecord* slot = untouched;
        CHECK(FindDirectoryEntry(ns.Path(c.directory).c_str(), c.name.c_str(), &slot) == 0);
        if (c.typeCode == -9) {
            CHECK(slot == untouched);
            continue;
        }
        REQUIRE(slot != untouched);
        CHECK(slot->name == c.name);
        CHECK(slot->typeCode == c.typeCode);
        CHECK(slot->enumerationIndex == -1);
        FreeEntryRecord(slot);
    }
    CHECK(Closes == Opens);
}

TEST_CASE("a failed query ends the directory quietly; an absurd size claim is not allocated; tree mode wants \"Directory\"")
{
    const FakeDirectory cases[] = {
        {{{L"one", L"Event"}, {L"two", L"Event"}, {L"three", L"Event"}}, 1, 0, WalkList, {L"Event one"}},
        {{{L"one", L"Event"}, {L"two", L"Event"}, {L"three", L"Event"}}, 1, 0x1000000, WalkList, {L"Event one"}},
        {{{L"lower", L"directory"}, {L"upper", L"DIRECTORY"}, {L"short", L"Dir"}, {L"real", L"Directory"}}, 9, 0,
         WalkTree, {L"\\ <- ?", L"\\real <- \\"}},
    };
    for (const FakeDirectory& c : cases) {
        CAPTURE(c.claimed);
        UseSeam fake(&c);
        Recorder sink;
        CHECK(EnumerateDirectory(L"\\", c.mode, nullptr, sink) == 0);
        CHECK((c.mode == WalkList ? sink.listed : sink.nodes) == c.expected);
        CHECK(LargestAsked <= 0x20100);  // the largest entry the kernel can return
        CHECK(Closes == Opens);
    }
}

TEST_CASE("child paths: one backslash under the root and after an empty parent, refused when they do not fit")
{
    wchar_t text[] = L"Child";
    const UNICODE_STRING name = {10, 12, text};
    const struct {
        const wchar_t* parent;
        int capacity;
        const wchar_t* expected;  // null: refused
    } cases[] = {{L"\\", 32, L"\\Child"},         {L"", 32, L"\\Child"},           {L"\\A\\", 32, L"\\A\\Child"},
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
        {L"File", -1, 2}, {L"", -1, 2}, {L"Direct", -1, 2}, {L"Events", -1, 2}, {L" Event", -1, 2},
    };
    for (const auto& c : cases) {
        CAPTURE(c.code);
        int image = -5;
        CHECK(LookupObjectType(c.name, &image) == c.code);
        CHECK(image == c.image);
    }
}
