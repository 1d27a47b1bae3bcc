#include <doctest.h>

#include <string>
#include <vector>

#include "DirectoryTree.h"
#include "KernelObjects.h"
#include "ListSort.h"
#include "ObjectList.h"
#include "ObjectTypes.h"
#include "PaneHost.h"

using namespace panehost;

namespace {

void Show(PaneHost& host, const std::wstring& path)
{
    HTREEITEM node = FindNode(host.Tree(), path);
    REQUIRE(node);
    Select(host.Tree(), node);
}

}  // namespace

TEST_CASE("A fill shows one row per object, sorted, and counts them")
{
    TestNamespace ns;
    REQUIRE(ns.Directory(L"Objects") >= 0);
    REQUIRE(ns.Directory(L"Objects\\Folder") >= 0);
    REQUIRE(ns.Event(L"Objects\\AnEvent") >= 0);
    REQUIRE(ns.Mutant(L"Objects\\AMutant") >= 0);
    REQUIRE(ns.Semaphore(L"Objects\\ASemaphore") >= 0);
    REQUIRE(ns.Timer(L"Objects\\ATimer") >= 0);
    REQUIRE(ns.IoCompletion(L"Objects\\ACompletion") >= 0);
    REQUIRE(ns.SymbolicLink(L"Objects\\ALink", L"\\Device") >= 0);
    PaneHost host;
    CurrentSortKey = SortByName;
    SortDescending[SortByName] = 0;
    Show(host, ns.Path(L"Objects"));

    const std::vector<Row> rows = Rows(host.List());
    CHECK(host.Status(0) == ns.Path(L"Objects"));
    CHECK(host.Status(1) == L"7個のオブジェクト");
    const struct {
        const wchar_t* name;
        const wchar_t* type;
        int image;
        int code;
    } expected[] = {
        {L"Folder", L"Directory", 0, TypeDirectory},     {L"ACompletion", L"IoCompletion", 2, TypeUnknown},
        {L"ALink", L"SymbolicLink", 7, TypeSymbolicLink}, {L"AMutant", L"Mutant", 9, TypeMutant},
        {L"AnEvent", L"Event", 8, TypeEvent},             {L"ASemaphore", L"Semaphore", 10, TypeSemaphore},
        {L"ATimer", L"Timer", 14, TypeTimer},
    };
    REQUIRE(rows.size() == 7);
    int indexSum = 0;
    for (size_t i = 0; i < rows.size(); ++i) {
        CAPTURE(i);
        CHECK(rows[i].name == expected[i].name);  // by name, the directory first
        CHECK(rows[i].type == expected[i].type);
        CHECK(rows[i].image == expected[i].image);
        CHECK(std::wstring(rows[i].record->name) == expected[i].name);
        CHECK(std::wstring(rows[i].record->typeName) == expected[i].type);
        CHECK(rows[i].record->typeCode == expected[i].code);
        indexSum += rows[i].record->enumerationIndex;
    }
    CHECK(indexSum == 1 + 2 + 3 + 4 + 5 + 6 + 7);
    CHECK(LiveEntryRecords() == 7);
}

TEST_CASE("Empty, refused and vanished directories")
{
    TestNamespace ns;
    REQUIRE(ns.Event(L"Row") >= 0);
    REQUIRE(ns.Directory(L"Empty") >= 0);
    REQUIRE(ns.Directory(L"Refused") >= 0);
    REQUIRE(ns.Refuse(L"Refused") >= 0);
    REQUIRE(ns.Directory(L"Vanishing") >= 0);
    PaneHost host;
    const struct {
        const wchar_t* directory;
        const wchar_t* count;
    } cases[] = {
        {L"Empty", L"0個のオブジェクト"},
        {L"Refused", L"アクセスが拒否されました。"},
        {L"Vanishing", L"ERROR - 0xC0000034"},
    };
    ns.Remove(L"Vanishing");  // after the tree was built
    for (const auto& c : cases) {
        CAPTURE(std::wstring(c.directory));
        Show(host, ns.Root());
        REQUIRE(Rows(host.List()).size() == 3);
        Show(host, ns.Path(c.directory));
        CHECK(Rows(host.List()).empty());
        CHECK(host.Status(0) == ns.Path(c.directory));
        CHECK(host.Status(1) == c.count);
        CHECK(LiveEntryRecords() == 0);
    }
}

TEST_CASE("A selection change to no node changes nothing")
{
    TestNamespace ns;
    REQUIRE(ns.Event(L"Stays") >= 0);
    PaneHost host;
    Show(host, ns.Root());
    NMTREEVIEWW change = {};
    change.hdr = {host.Tree(), 101, static_cast<UINT>(TVN_SELCHANGINGW)};
    // No node (even with data), then a node without a path.
    change.itemNew.lParam = reinterpret_cast<LPARAM>(L"\\");
    CHECK(SendMessageW(host.Pane(), WM_NOTIFY, 101, reinterpret_cast<LPARAM>(&change)) == 0);
    change.itemNew = {};
    change.itemNew.hItem = Next(host.Tree(), TVGN_ROOT);
    CHECK(SendMessageW(host.Pane(), WM_NOTIFY, 101, reinterpret_cast<LPARAM>(&change)) == 0);
    CHECK(Rows(host.List()).size() == 1);
    CHECK(host.Status(0) == ns.Root());
    CHECK(host.Status(1) == L"1個のオブジェクト");
}

TEST_CASE("Rows added directly, and rows no list takes")
{
    PaneHost host;
    SendMessageW(host.List(), LVM_DELETEALLITEMS, 0, 0);
    ListTargetWindow = host.List();
    AddListEntry(1, L"EventPair", L"pair");  // the platform makes no event pairs
    AddListEntry(2, L"Section", L"second");
    const std::vector<Row> rows = Rows(host.List());
    REQUIRE(rows.size() == 2);
    CHECK(rows[0].name == L"pair");
    CHECK(rows[0].image == 8);
    CHECK(rows[0].record->typeCode == TypeEventPair);
    CHECK(rows[1].type == L"Section");
    CHECK(rows[1].image == 12);

    ListTargetWindow = nullptr;
    AddListEntry(3, L"Event", L"nowhere");
    CHECK(LiveEntryRecords() == 2);
}

TEST_CASE("Every path and record is freed once across fills, Refreshes and destruction")
{
    TestNamespace ns;
    REQUIRE(ns.Directory(L"Busy") >= 0);
    for (int i = 0; i < 20; ++i)
        REQUIRE(ns.Event(L"Busy\\E" + std::to_wstring(i)) >= 0);
    REQUIRE(LiveTreePaths() == 0);
    REQUIRE(LiveEntryRecords() == 0);
    {
        PaneHost host;
        for (int round = 0; round < 3; ++round) {
            Show(host, ns.Path(L"Busy"));
            CHECK(LiveEntryRecords() == 20);
            host.Command(40003);
            CHECK(LiveTreePaths() == static_cast<long>(AllNodes(host.Tree()).size()));
        }
        Show(host, ns.Path(L"Busy"));
    }
    CHECK(LiveTreePaths() == 0);
    CHECK(LiveEntryRecords() == 0);
}
