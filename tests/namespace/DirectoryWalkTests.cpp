#include <doctest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "DirectoryWalk.h"
#include "EntryRecord.h"
#include "KernelObjects.h"
#include "NativeApi.h"

namespace {

struct Listed {
    int index;
    std::wstring type;
    std::wstring name;
};

struct Node {
    std::wstring path;
    int parent;  // index into nodes, -1 for the walk's own parent
};

// Records what a walk hands over; nodes are their position + 1.
class RecordingSink : public NamespaceSink {
public:
    DirectoryNode InsertDirectoryNode(DirectoryNode parent, const wchar_t* path) override
    {
        nodes.push_back({path, static_cast<int>(reinterpret_cast<INT_PTR>(parent)) - 1});
        return reinterpret_cast<DirectoryNode>(static_cast<INT_PTR>(nodes.size()));
    }
    void AddListEntry(int index, const wchar_t* typeName, const wchar_t* name) override
    {
        listed.push_back({index, typeName, name});
    }
    int Find(const std::wstring& path) const
    {
        for (size_t i = 0; i < nodes.size(); ++i)
            if (nodes[i].path == path)
                return static_cast<int>(i);
        return -1;
    }
    std::vector<int> Children(int node) const
    {
        std::vector<int> result;
        for (size_t i = 0; i < nodes.size(); ++i)
            if (nodes[i].parent == node)
                result.push_back(static_cast<int>(i));
        return result;
    }
    const Listed* Entry(const std::wstring& name) const
    {
        for (const Listed& l : listed)
            if (l.name == name)
                return &l;
        return nullptr;
    }
    std::vector<Node> nodes;
    std::vector<Listed> listed;
};

// Counts opens and closes of the real calls, so leaks of handles show.
int OpenCount = 0;
int CloseCount = 0;
NTSTATUS NTAPI CountingOpen(PHANDLE h, ACCESS_MASK a, POBJECT_ATTRIBUTES o)
{
    const NTSTATUS status = NtOpenDirectoryObject(h, a, o);
    if (status >= 0)
        ++OpenCount;
    return status;
}
NTSTATUS NTAPI CountingClose(HANDLE h)
{
    ++CloseCount;
    return NtClose(h);
}
const DirectoryCalls Counting = {CountingOpen, NtQueryDirectoryObject, CountingClose};

struct CountHandles {
    CountHandles() { OpenCount = CloseCount = 0; SetDirectoryCalls(&Counting); }
    ~CountHandles() { SetDirectoryCalls(nullptr); }
};

// Every node comes after its parent, and a directory's subtree is complete
// before the walk goes on with the directory's next sibling.
bool IsDepthFirst(const RecordingSink& sink)
{
    std::vector<int> open;
    for (size_t i = 0; i < sink.nodes.size(); ++i) {
        const int parent = sink.nodes[i].parent;
        while (!open.empty() && open.back() != parent)
            open.pop_back();
        if (open.empty() && i != 0)
            return false;
        open.push_back(static_cast<int>(i));
    }
    return true;
}

std::wstring Repeat(wchar_t c, size_t n) { return std::wstring(n, c); }

}  // namespace

TEST_CASE("the tree walk inserts every directory depth first under its parent")
{
    TestNamespace ns;
    REQUIRE(ns.Directory(L"A") >= 0);
    REQUIRE(ns.Directory(L"A\\A1") >= 0);
    REQUIRE(ns.Directory(L"A\\A1\\Deep") >= 0);
    REQUIRE(ns.Event(L"A\\ev") >= 0);
    REQUIRE(ns.Directory(L"B") >= 0);
    REQUIRE(ns.Mutant(L"mut") >= 0);
    REQUIRE(ns.Semaphore(L"sem") >= 0);
    REQUIRE(ns.SymbolicLink(L"link", L"\\Device") >= 0);
    REQUIRE(ns.Directory(L"Refused") >= 0);
    REQUIRE(ns.Directory(L"Refused\\Hidden") >= 0);
    REQUIRE(ns.Refuse(L"Refused") >= 0);
    REQUIRE(ns.Directory(L"Z") >= 0);

    RecordingSink sink;
    CountHandles counting;
    CHECK(EnumerateDirectory(ns.Root().c_str(), WalkTree, nullptr, sink) == 0);

    REQUIRE(sink.nodes.size() == 7);
    CHECK(sink.nodes[0].path == ns.Root());
    CHECK(sink.nodes[0].parent == -1);
    CHECK(IsDepthFirst(sink));
    for (const wchar_t* dir : {L"A", L"A\\A1", L"A\\A1\\Deep", L"B", L"Refused", L"Z"}) {
        const std::wstring path = ns.Path(dir);
        CAPTURE(std::string(path.begin(), path.end()));
        const int node = sink.Find(path);
        REQUIRE(node >= 0);
        const std::wstring parentPath = path.substr(0, path.rfind(L'\\'));
        CHECK(sink.nodes[node].parent == sink.Find(parentPath));
    }
    // Non-directories make no nodes; the refused directory is a leaf, and the walk went past it.
    CHECK(sink.Find(ns.Path(L"A\\ev")) == -1);
    CHECK(sink.Find(ns.Path(L"link")) == -1);
    CHECK(sink.Children(sink.Find(ns.Path(L"Refused"))).empty());
    CHECK(sink.Find(ns.Path(L"Refused\\Hidden")) == -1);
    CHECK(sink.listed.empty());
    // Every directory that opened was closed again.
    CHECK(OpenCount == 6);
    CHECK(CloseCount == OpenCount);
}

TEST_CASE("walking the root finds the platform's well-known directories with single-backslash paths")
{
    TestNamespace ns;
    REQUIRE(ns.Directory(L"Child") >= 0);
    RecordingSink sink;
    CHECK(WalkNamespaceTree(reinterpret_cast<DirectoryNode>(42), sink) == 0);
    REQUIRE(!sink.nodes.empty());
    CHECK(sink.nodes[0].path == L"\\");
    CHECK(sink.nodes[0].parent == 41);
    for (const wchar_t* known : {L"\\Device", L"\\Sessions", L"\\ObjectTypes", L"\\BaseNamedObjects"}) {
        const int node = sink.Find(known);
        CHECK(node > 0);
        if (node > 0)
            CHECK(sink.nodes[node].parent == 0);
    }
    CHECK(sink.Find(ns.Root()) > 0);
    CHECK(sink.Find(ns.Path(L"Child")) > 0);
    for (const Node& node : sink.nodes) {
        CHECK(node.path.find(L"\\\\") == std::wstring::npos);
        CHECK(node.path.size() < static_cast<size_t>(ObjectPathChars));
    }
    CHECK(IsDepthFirst(sink));
}

TEST_CASE("listing hands over every entry with indexes 1, 2, 3; failed opens hand over nothing")
{
    TestNamespace ns;
    REQUIRE(ns.Directory(L"sub") >= 0);
    REQUIRE(ns.Event(L"ev") >= 0);
    REQUIRE(ns.Mutant(L"mut") >= 0);
    REQUIRE(ns.SymbolicLink(L"link", L"\\Device") >= 0);
    REQUIRE(ns.Directory(L"sub\\empty") >= 0);
    REQUIRE(ns.Directory(L"sub\\refused") >= 0);
    REQUIRE(ns.Event(L"sub\\refused\\inside") >= 0);
    REQUIRE(ns.Refuse(L"sub\\refused") >= 0);
    CountHandles counting;

    RecordingSink sink;
    CHECK(ListDirectoryEntries(ns.Root().c_str(), sink) == 0);
    REQUIRE(sink.listed.size() == 4);
    for (size_t i = 0; i < sink.listed.size(); ++i)
        CHECK(sink.listed[i].index == static_cast<int>(i + 1));
    CHECK(sink.Entry(L"sub")->type == L"Directory");
    CHECK(sink.Entry(L"mut")->type == L"Mutant");
    CHECK(sink.Entry(L"link")->type == L"SymbolicLink");
    CHECK(sink.nodes.empty());

    struct Case {
        const wchar_t* relative;
        NTSTATUS status;
    } cases[] = {{L"sub\\empty", 0},
                 {L"sub\\refused", static_cast<NTSTATUS>(0xC0000022L)},
                 {L"sub\\missing", static_cast<NTSTATUS>(0xC0000034L)}};
    for (const Case& c : cases) {
        RecordingSink listing;
        CHECK(ListDirectoryEntries(ns.Path(c.relative).c_str(), listing) == c.status);
        CHECK(listing.listed.empty());
    }
    CHECK(CloseCount == OpenCount);
}

TEST_CASE("an entry larger than the query buffer is read whole and nothing after it is lost")
{
    TestNamespace ns;
    const std::wstring huge = Repeat(L'h', 2100);   // 4200 bytes: more than the 4096-byte buffer
    const std::wstring large = Repeat(L'l', 1500);  // 3000 bytes: more than the lookup's 2048
    REQUIRE(ns.Event(L"before") >= 0);
    REQUIRE(ns.Event(huge) >= 0);
    REQUIRE(ns.Mutant(large) >= 0);
    REQUIRE(ns.Semaphore(L"after") >= 0);

    RecordingSink sink;
    CHECK(ListDirectoryEntries(ns.Root().c_str(), sink) == 0);
    REQUIRE(sink.listed.size() == 4);
    for (size_t i = 0; i < sink.listed.size(); ++i)
        CHECK(sink.listed[i].index == static_cast<int>(i + 1));
    REQUIRE(sink.Entry(huge) != nullptr);
    CHECK(sink.Entry(huge)->type == L"Event");
    CHECK(sink.Entry(large)->type == L"Mutant");
    CHECK(sink.Entry(L"after") != nullptr);

    // The lookup reads past, and finds, an entry larger than its own buffer.
    EntryRecord* found = nullptr;
    FindDirectoryEntry(ns.Root().c_str(), large.c_str(), &found);
    REQUIRE(found != nullptr);
    CHECK(found->typeCode == 4);
    FreeEntryRecord(found);
    found = nullptr;
    FindDirectoryEntry(ns.Root().c_str(), L"after", &found);
    REQUIRE(found != nullptr);
    CHECK(found->enumerationIndex == -1);
    CHECK(std::wstring(found->typeName) == L"Semaphore");
    FreeEntryRecord(found);
}

TEST_CASE("the lookup compares names exactly and leaves the slot alone on every miss")
{
    TestNamespace ns;
    REQUIRE(ns.Event(L"Target") >= 0);
    REQUIRE(ns.Directory(L"refused") >= 0);
    REQUIRE(ns.Event(L"refused\\Target") >= 0);
    REQUIRE(ns.Refuse(L"refused") >= 0);
    auto* const untouched = reinterpret_cast<EntryRecord*>(static_cast<INT_PTR>(0x1234));
    CountHandles counting;

    EntryRecord* slot = untouched;
    CHECK(FindDirectoryEntry(ns.Root().c_str(), L"target", &slot) == 0);
    CHECK(slot == untouched);
    CHECK(FindDirectoryEntry(ns.Root().c_str(), L"Targe", &slot) == 0);
    CHECK(slot == untouched);
    CHECK(FindDirectoryEntry(ns.Path(L"refused").c_str(), L"Target", &slot) == 0);
    CHECK(slot == untouched);
    CHECK(FindDirectoryEntry(ns.Path(L"missing").c_str(), L"Target", &slot) == 0);
    CHECK(slot == untouched);
    // A name too long for the lookup's buffer is refused rather than cut to some other name.
    const std::wstring tooLong = L"Target" + Repeat(L'x', FindTextChars);
    CHECK(FindDirectoryEntry(ns.Root().c_str(), tooLong.c_str(), &slot) == 0);
    CHECK(slot == untouched);
    CHECK(CloseCount == OpenCount);

    slot = nullptr;
    CHECK(FindDirectoryEntry(ns.Root().c_str(), L"Target", &slot) == 0);
    REQUIRE(slot != nullptr);
    CHECK(std::wstring(slot->name) == L"Target");
    CHECK(slot->typeCode == 3);
    FreeEntryRecord(slot);
}

TEST_CASE("a subdirectory whose path would not fit the path buffer is skipped, and no path overflows")
{
    TestNamespace ns;
    const std::wstring first = Repeat(L'a', 600);
    const std::wstring second = Repeat(L'b', 600);
    REQUIRE(ns.Directory(first) >= 0);
    REQUIRE(ns.Directory(first + L"\\" + second) >= 0);
    REQUIRE(ns.Directory(L"short") >= 0);

    RecordingSink sink;
    CHECK(EnumerateDirectory(ns.Root().c_str(), WalkTree, nullptr, sink) == 0);
    CHECK(sink.Find(ns.Path(first)) > 0);
    CHECK(sink.Find(ns.Path(L"short")) > 0);
    CHECK(sink.nodes.size() == 3);
    for (const Node& node : sink.nodes)
        CHECK(node.path.size() <= static_cast<size_t>(ObjectPathChars - 1));
}

TEST_CASE("child paths: one backslash under the root and after an empty parent, bounded by the buffer")
{
    wchar_t nameText[] = L"Child";
    UNICODE_STRING name = {10, 12, nameText};
    struct Case {
        const wchar_t* parent;
        const wchar_t* expected;
    } cases[] = {{L"\\", L"\\Child"}, {L"", L"\\Child"}, {L"\\Device", L"\\Device\\Child"}, {L"\\A\\", L"\\A\\Child"}};
    for (const Case& c : cases) {
        wchar_t buffer[32];
        CHECK(BuildChildPath(c.parent, name, buffer, 32));
        CHECK(std::wstring(buffer) == c.expected);
    }

    // "\Device\Child" is 13 characters: it fits 14 with its terminator, not 13.
    wchar_t guarded[20];
    std::fill(std::begin(guarded), std::end(guarded), L'#');
    CHECK(BuildChildPath(L"\\Device", name, guarded, 14));
    CHECK(std::wstring(guarded) == L"\\Device\\Child");
    CHECK(guarded[14] == L'#');
    std::fill(std::begin(guarded), std::end(guarded), L'#');
    CHECK_FALSE(BuildChildPath(L"\\Device", name, guarded, 13));
    CHECK(guarded[0] == L'\0');
    for (int i = 1; i < 20; ++i)
        CHECK(guarded[i] == L'#');
}

// Fakes for what the platform will not do on demand.
namespace {

struct FakeEntry {
    const wchar_t* name;
    const wchar_t* type;
};
std::vector<FakeEntry> FakeEntries;
ULONG FailAt = 1000;          // the query at this position fails
NTSTATUS FailStatus = 0;
ULONG ClaimedSize = 0;        // when set, the query at FailAt claims this size instead
int FakeOpens = 0;
int FakeCloses = 0;

NTSTATUS NTAPI FakeOpen(PHANDLE h, ACCESS_MASK, POBJECT_ATTRIBUTES)
{
    ++FakeOpens;
    *h = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(0x100 + FakeOpens));
    return 0;
}
NTSTATUS NTAPI FakeClose(HANDLE)
{
    ++FakeCloses;
    return 0;
}
NTSTATUS NTAPI FakeQuery(HANDLE, PVOID buffer, ULONG size, BOOLEAN, BOOLEAN, PULONG context, PULONG needed)
{
    // A directory below the top is always empty, so the fake tree stays one level deep.
    if (FakeOpens > 1)
        return static_cast<NTSTATUS>(0x8000001AL);
    if (*context == FailAt) {
        if (ClaimedSize) {
            *needed = ClaimedSize;
            return static_cast<NTSTATUS>(0xC0000023L);
        }
        return FailStatus;
    }
    if (*context >= FakeEntries.size())
        return static_cast<NTSTATUS>(0x8000001AL);
    const FakeEntry& e = FakeEntries[*context];
    auto* info = static_cast<ObjectDirectoryInformation*>(buffer);
    auto* text = reinterpret_cast<wchar_t*>(info + 2);
    const size_t nameLength = lstrlenW(e.name), typeLength = lstrlenW(e.type);
    REQUIRE((nameLength + typeLength + 2) * 2 + 2 * sizeof(*info) <= size);
    lstrcpyW(text, e.name);
    lstrcpyW(text + nameLength + 1, e.type);
    info->Name = {static_cast<USHORT>(nameLength * 2), static_cast<USHORT>(nameLength * 2 + 2), text};
    info->TypeName = {static_cast<USHORT>(typeLength * 2), static_cast<USHORT>(typeLength * 2 + 2),
                      text + nameLength + 1};
    ++*context;
    return 0;
}
const DirectoryCalls Fake = {FakeOpen, FakeQuery, FakeClose};

struct UseFake {
    UseFake(std::vector<FakeEntry> entries, ULONG failAt, NTSTATUS status, ULONG claimed = 0)
    {
        FakeEntries = std::move(entries);
        FailAt = failAt;
        FailStatus = status;
        ClaimedSize = claimed;
        FakeOpens = FakeCloses = 0;
        SetDirectoryCalls(&Fake);
    }
    ~UseFake() { SetDirectoryCalls(nullptr); }
};

}  // namespace

TEST_CASE("a query failing mid-directory keeps what came before, returns 0 and closes the handle")
{
    UseFake fake({{L"one", L"Event"}, {L"two", L"Event"}, {L"three", L"Event"}}, 2,
                 static_cast<NTSTATUS>(0xC000009AL));
    RecordingSink sink;
    CHECK(ListDirectoryEntries(L"\\Fake", sink) == 0);
    REQUIRE(sink.listed.size() == 2);
    CHECK(sink.listed[1].name == L"two");
    CHECK(sink.listed[1].index == 2);
    CHECK(FakeCloses == FakeOpens);
}

TEST_CASE("an entry claiming more than any entry can need ends the listing instead of a huge allocation")
{
    UseFake fake({{L"one", L"Event"}, {L"two", L"Event"}}, 1, 0, 0x7FFFFFFF);
    RecordingSink sink;
    CHECK(ListDirectoryEntries(L"\\Fake", sink) == 0);
    CHECK(sink.listed.size() == 1);
    CHECK(FakeCloses == FakeOpens);
}

TEST_CASE("the tree mode descends only into entries typed exactly \"Directory\"")
{
    UseFake fake({{L"lower", L"directory"}, {L"upper", L"DIRECTORY"}, {L"real", L"Directory"}, {L"ev", L"Event"}},
                 1000, 0);
    RecordingSink sink;
    CHECK(EnumerateDirectory(L"\\", WalkTree, nullptr, sink) == 0);
    REQUIRE(sink.nodes.size() == 2);
    CHECK(sink.nodes[1].path == L"\\real");
    CHECK(FakeCloses == FakeOpens);
}
