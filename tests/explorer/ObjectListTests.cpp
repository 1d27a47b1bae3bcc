#include <doctest.h>

#include "ObjectTypes.h"
#include "PaneHost.h"

using namespace panehost;

TEST_CASE("A fill shows one sorted row per object with its type and image and counts them, or says why not")
{
    TestNamespace ns;
    REQUIRE(ns.Directory(L"Objects") >= 0);
    REQUIRE(ns.Event(L"Objects\\AnEvent") >= 0);
    REQUIRE(ns.IoCompletion(L"Objects\\ACompletion") >= 0);
    REQUIRE(ns.SymbolicLink(L"Objects\\ALink", L"\\Device") >= 0);
    REQUIRE(ns.Directory(L"Objects\\Folder") >= 0);
    REQUIRE(ns.Directory(L"Empty") >= 0);
    REQUIRE(ns.Directory(L"Refused") >= 0);
    REQUIRE(ns.Refuse(L"Refused") >= 0);
    REQUIRE(ns.Directory(L"Vanishing") >= 0);
    PaneHost host;
    ns.Remove(L"Vanishing");  // after the tree was built

    host.Show(ns.Path(L"Objects"));
    CHECK(host.Status(0) == ns.Path(L"Objects"));
    CHECK(host.Status(1) == L"4個のオブジェクト");
    // The platform makes no event pairs: one is added as the walk would.
    AddListEntry(5, L"EventPair", L"pair");
    const struct {
        const wchar_t* name;
        const wchar_t* type;
        int image;
        int code;
    } expected[] = {
        {L"Folder", L"Directory", 0, TypeDirectory},  // by name, the directory first
        {L"ACompletion", L"IoCompletion", 2, TypeUnknown},
        {L"ALink", L"SymbolicLink", 7, TypeSymbolicLink},
        {L"AnEvent", L"Event", 8, TypeEvent},
        {L"pair", L"EventPair", 8, TypeEventPair},
    };
    const std::vector<Row> rows = Rows(host.List());
    REQUIRE(rows.size() == 5);
    int indexSum = 0;
    for (size_t i = 0; i < rows.size(); ++i) {
        CAPTURE(i);
        CHECK(rows[i].name == expected[i].name);
        CHECK(rows[i].type == expected[i].type);
        CHECK(rows[i].image == expected[i].image);
        CHECK(rows[i].record->typeCode == expected[i].code);
        indexSum += rows[i].record->enumerationIndex;
    }
    CHECK(indexSum == 1 + 2 + 3 + 4 + 5);
    // A row no list takes frees its record at once.
    ListTargetWindow = nullptr;
    AddListEntry(6, L"Event", L"nowhere");
    CHECK(LiveEntryRecords() == 5);

    const struct {
        const wchar_t* directory;
        const wchar_t* count;
    } failures[] = {
        {L"Empty", L"0個のオブジェクト"},
        {L"Refused", L"アクセスが拒否されました。"},
        {L"Vanishing", L"ERROR - 0xC0000034"},
    };
    for (const auto& failure : failures) {
        CAPTURE(std::wstring(failure.directory));
        host.Show(ns.Root());
        REQUIRE(Rows(host.List()).size() == 3);
        host.Show(ns.Path(failure.directory));
        CHECK(Rows(host.List()).empty());
        CHECK(host.Status(0) == ns.Path(failure.directory));
        CHECK(host.Status(1) == failure.count);
        CHECK(LiveEntryRecords() == 0);
    }
}
