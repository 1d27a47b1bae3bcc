// The namespace search over the search tree: its rows, counts, batches and stop.
#include <doctest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "NamespaceSearch.h"
#include "NativeApi.h"
#include "ObjectOpen.h"
#include "SearchTree.h"

namespace {

const UINT Found = WM_APP + 5;

// The real calls, counted; the query whose entry is the fifth of a directory of events stops for a while
// once, after it has said so, so that a Stop lands in the middle of a directory.
volatile LONG Opens = 0, Closes = 0, Queries = 0, LinkOpens = 0, LinkCloses = 0;
HANDLE Paused = nullptr;
NTSTATUS NTAPI Open(PHANDLE handle, ACCESS_MASK access, POBJECT_ATTRIBUTES attributes)
{
    const NTSTATUS status = NtOpenDirectoryObject(handle, access, attributes);
    InterlockedExchangeAdd(&Opens, status >= 0);
    return status;
}
NTSTATUS NTAPI Close(HANDLE handle)
{
    InterlockedIncrement(&Closes);
    return NtClose(handle);
}
NTSTATUS NTAPI Query(HANDLE handle, PVOID buffer, ULONG size, BOOLEAN one, BOOLEAN restart, PULONG context, PULONG needed)
{
    InterlockedIncrement(&Queries);
    const NTSTATUS status = NtQueryDirectoryObject(handle, buffer, size, one, restart, context, needed);
    const UNICODE_STRING& name = static_cast<ObjectDirectoryInformation*>(buffer)->Name;
    if (status == 0 && Paused && *context == 5 && name.Buffer[0] == L'e' && name.Buffer[1] == L'v') {
        SetEvent(Paused);
        Paused = nullptr;
        Sleep(300);
    }
    return status;
}
NTSTATUS NTAPI OpenLink(PHANDLE handle, ACCESS_MASK access, POBJECT_ATTRIBUTES attributes)
{
    const NTSTATUS status = NtOpenSymbolicLinkObject(handle, access, attributes);
    InterlockedExchangeAdd(&LinkOpens, status >= 0);
    return status;
}
NTSTATUS NTAPI CloseObject(HANDLE handle)
{
    InterlockedIncrement(&LinkCloses);
    return NtClose(handle);
}
const DirectoryCalls Counting = {Open, Query, Close};

// Sets the counting calls for its life.
struct Counted {
    Counted()
    {
        Opens = Closes = Queries = LinkOpens = LinkCloses = 0;
        objects = NativeObjectCalls();
        objects.openSymbolicLink = OpenLink;
        objects.close = CloseObject;
        SetDirectoryCalls(&Counting);
        SetObjectCalls(&objects);
    }
    ~Counted()
    {
        SetDirectoryCalls(nullptr);
        SetObjectCalls(nullptr);
    }
    ObjectCalls objects;
};

// Rows as "path below the root<TAB>type<TAB>target", sorted.
struct Outcome {
    std::vector<std::wstring> rows;
    SearchProgress progress = {};
    int messages = 0;
};

void Take(NamespaceSearch& search, const std::wstring& root, Outcome* outcome)
{
    SearchBatch* batch = search.TakeResults(&outcome->progress);
    for (size_t i = 0; batch && i < batch->count; ++i) {
        const SearchResult& r = batch->results[i];
        std::wstring path = std::wstring(r.directory).substr(std::min(root.size() + 1, wcslen(r.directory)));
        outcome->rows.push_back((path.empty() ? L"" : path + L"\\") + r.name + L"\t" + r.typeName + L"\t" + r.target);
    }
    FreeSearchBatch(batch);
}

// Answers every message as a window would, until the search says it has finished.
Outcome Search(NamespaceSearch& search, HWND window, const std::wstring& root, const SearchQuery& query)
{
    Outcome outcome;
    REQUIRE(search.Start(query, window, Found) == 0);
    MSG message;
    while (!outcome.progress.finished && GetMessageW(&message, window, Found, Found) > 0) {
        ++outcome.messages;
        Take(search, root, &outcome);
    }
    std::sort(outcome.rows.begin(), outcome.rows.end());
    return outcome;
}

int Queued(HWND window)
{
    MSG message;
    int count = 0;
    while (PeekMessageW(&message, window, Found, Found, PM_REMOVE))
        ++count;
    return count;
}

}  // namespace

TEST_CASE("search: names contained or matched by wildcards without regard to case, types, links with targets; counts; no handle left open")
{
    SearchTree tree;
    REQUIRE(tree.Built());
    const std::wstring root = tree.Root();
    HWND window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    NamespaceSearch search;
    Counted counted;
    const struct { const wchar_t *text, *type, *start; long done, failed; std::vector<std::wstring> rows; } cases[] = {
        {L"NEEDLE*", nullptr, L"", 19, 1, {L"Gamma\\NeedleDir\tDirectory\t", L"Gamma\\NeedleLink\tSymbolicLink\t\\Device\\Null",
                                            L"NeedleTop\tEvent\t"}},
        {L"?needle", L"", L"", 19, 1, {L"Gamma\\Sub0\\\xD800needle\tEvent\t"}},
        {L"*n??dle", L"", L"", 19, 1, {L"Alpha\\Sub1\\Deep\\Deeper\\haystack-NEEDLE\tMutant\t", L"Gamma\\Sub0\\\xD800needle\tEvent\t"}},
        {L"", L"symboliclink", L"", 19, 1, {L"Beta\\toBase\tSymbolicLink\t\\BaseNamedObjects",
                                            L"Gamma\\NeedleLink\tSymbolicLink\t\\Device\\Null"}},
        {L"\x00E4RG", L"", L"", 19, 1, {L"Gamma\\Sub3\\\x00C4rger\tEvent\t"}},
        {L"v07", L"Event", L"Alpha", 7, 0, {L"Alpha\\Sub0\\ev07\tEvent\t", L"Alpha\\Sub1\\ev07\tEvent\t",
                                            L"Alpha\\Sub2\\ev07\tEvent\t", L"Alpha\\Sub3\\ev07\tEvent\t"}},
        {L"v07", L"Mutant", L"Alpha\\", 7, 0, {}},
        {L"*", L"Directory", L"Alpha\\Sub1", 3, 0, {L"Alpha\\Sub1\\Deep\tDirectory\t", L"Alpha\\Sub1\\Deep\\Deeper\tDirectory\t"}},
        {L"needle", L"", L"Refused", 0, 1, {}},
        {L"needle", L"", L"Missing", 0, 1, {}},
    };
    for (const auto& c : cases) {
        CAPTURE(&c - cases);
        const std::wstring start = tree.Path(c.start);
        const Outcome outcome = Search(search, window, root, {c.text, c.type, start.c_str()});
        CHECK(outcome.rows == c.rows);
        CHECK(outcome.progress.directoriesDone == c.done);
        CHECK(outcome.progress.directoriesFailed == c.failed);
        CHECK(outcome.progress.objectsFound == long(c.rows.size()));
    }
    const Outcome needles = Search(search, window, root, {L"needle", nullptr, root.c_str()});
    REQUIRE(needles.rows.size() == size_t(NeedleObjectCount));
    for (int i = 0; i < NeedleObjectCount; ++i) {
        const KnownObject& k = NeedleObjects[i];
        CHECK(std::count(needles.rows.begin(), needles.rows.end(), std::wstring(k.path) + L"\t" + k.type + L"\t" + k.target) == 1);
    }
    CHECK((Opens == Closes && Opens == 5 * 19 + 7 + 7 + 3 + 19 && LinkOpens == 4 && LinkCloses == 4));

    // Everything, in batches: a window that answers gets a message per directory at most; one that does not
    // answer has one message waiting, and the last.
    const Outcome all = Search(search, window, root, {L"", nullptr, root.c_str()});
    CHECK(all.rows.size() == size_t(SearchTreeObjects));
    CHECK(all.progress.objectsFound == SearchTreeObjects);
    CHECK((all.messages >= 2 && all.messages <= SearchTreeDirectories + SearchTreeRefused + 1));
    REQUIRE(search.Start({L"", nullptr, root.c_str()}, window, Found) == 0);
    while (search.Running())
        Sleep(10);
    CHECK(Queued(window) == 2);
    Outcome taken;
    Take(search, root, &taken);
    CHECK(taken.rows.size() == size_t(SearchTreeObjects));
    DestroyWindow(window);
}

TEST_CASE("search: Stop ends it in the middle of a directory, drops what was not taken, posts nothing more; so does the destructor")
{
    SearchTree tree;
    REQUIRE(tree.Built());
    HWND window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    Counted counted;
    HANDLE paused = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    for (bool destroy : {false, true}) {
        CAPTURE(destroy);
        ResetEvent(paused);
        LONG atPause = 0;
        Paused = paused;
        {
            NamespaceSearch search;
            REQUIRE(search.Start({L"", nullptr, tree.Root().c_str()}, window, Found) == 0);
            REQUIRE(WaitForSingleObject(paused, 10000) == WAIT_OBJECT_0);
            atPause = Queries;
            if (!destroy) {
                search.Stop();
                SearchProgress progress = {};
                CHECK(search.TakeResults(&progress) == nullptr);
                CHECK((progress.finished && !search.Running()));
            }
        }
        CHECK(Queries == atPause);
        CHECK(Queued(window) == 0);
        CHECK(Opens == Closes);
    }
    CloseHandle(paused);
    DestroyWindow(window);
}
