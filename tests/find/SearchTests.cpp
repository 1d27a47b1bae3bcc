// The namespace search over the search tree: its rows, counts, batches and stop.
#include <doctest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "NamespaceSearch.h"
#include "NativeApi.h"
#include "SearchTree.h"

namespace {

const UINT Found = WM_APP + 5;

// The real calls, counted, each a millisecond slower while Slow is set, failing on "ev10" while Broken is set.
// Once Paused is set, the query of the fifth entry of a directory of events says so and then waits, so that a
// Stop lands in the middle of that directory.
volatile LONG Opens = 0, Closes = 0, Queries = 0;
HANDLE Paused = nullptr;
HANDLE Stopping = nullptr;  // set by the search's Stop once the stop is asked
bool Slow = false, Broken = false;
NTSTATUS NTAPI Open(PHANDLE handle, ACCESS_MASK access, POBJECT_ATTRIBUTES attributes)
{
    const NTSTATUS status = NtOpenDirectoryObject(handle, access, attributes);
    InterlockedExchangeAdd(&Opens, status >= 0);
    return status;
}
NTSTATUS NTAPI Close(HANDLE handle) { InterlockedIncrement(&Closes); return NtClose(handle); }
NTSTATUS NTAPI Query(HANDLE handle, PVOID buffer, ULONG size, BOOLEAN one, BOOLEAN restart, PULONG context, PULONG needed)
{
    InterlockedIncrement(&Queries);
    Sleep(Slow ? 1 : 0);
    const NTSTATUS status = NtQueryDirectoryObject(handle, buffer, size, one, restart, context, needed);
    const wchar_t* name = static_cast<ObjectDirectoryInformation*>(buffer)->Name.Buffer;
    if (status == 0 && Broken && wcscmp(name, L"ev10") == 0)
        return STATUS_NO_MEMORY_NT;
    if (status == 0 && Paused && *context == 5 && name[0] == L'e' && name[1] == L'v') {
        SetEvent(Paused);
        Paused = nullptr;
        // Held until the stop is asked, so that it is asked while this query is under way.
        WaitForSingleObject(Stopping, 10000);
    }
    return status;
}
const DirectoryCalls Counting = {Open, Query, Close};

// Takes a batch as "path below the root<TAB>type<TAB>target" rows.
void Take(NamespaceSearch& search, const std::wstring& root, std::vector<std::wstring>* rows, SearchProgress* progress)
{
    SearchBatch* batch = search.TakeResults(progress);
    for (size_t i = 0; batch && i < batch->count; ++i) {
        const SearchResult& r = batch->results[i];
        const std::wstring path = std::wstring(r.directory).substr(std::min(root.size() + 1, wcslen(r.directory)));
        rows->push_back((path.empty() ? L"" : path + L"\\") + r.name + L"\t" + r.typeName + L"\t" + r.target);
    }
    FreeSearchBatch(batch);
}

// Answers every message as a window would until the search has finished, 5 s at most (a search that never ends
// fails instead of hanging); the rows sorted.
struct Outcome {
    Outcome(NamespaceSearch& search, HWND window, const std::wstring& root, const SearchQuery& query)
    {
        REQUIRE(search.Start(query, window, Found) == 0);
        MSG message;
        for (const ULONGLONG end = GetTickCount64() + 5000; !progress.finished && GetTickCount64() < end;) {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_POSTMESSAGE);
            while (PeekMessageW(&message, window, Found, Found, PM_REMOVE) && ++messages)
                Take(search, root, &rows, &progress);
        }
        std::sort(rows.begin(), rows.end());
    }
    std::vector<std::wstring> rows;
    SearchProgress progress = {};
    int messages = 0;
};

int Queued(HWND window)
{
    MSG message;
    int count = 0;
    while (PeekMessageW(&message, window, Found, Found, PM_REMOVE))
        ++count;
    return count;
}

}  // namespace

TEST_CASE("search: names contained or matched by wildcards without regard to case, types, links with targets; counts; batches")
{
    SearchTree tree;
    REQUIRE(tree.failed == 0);
    const std::wstring root = tree.Root();
    HWND window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    NamespaceSearch search;
    Opens = Closes = 0;
    SetDirectoryCalls(&Counting);
    const std::wstring lower = L"Cases\\Lower\\Letter-", upper = L"Cases\\Upper\\Letter-", ev = L"\tEvent\t";
    const struct { const wchar_t *text, *type, *start; long done, failed; std::vector<std::wstring> rows; } cases[] = {
        {L"needletop*", nullptr, L"", 22, 1, {L"NeedleTop\tEvent\t"}},  // the name ends where the * starts
        {L"NEEDLE*", nullptr, L"", 22, 1, {L"Gamma\\NeedleDir\tDirectory\t", L"Gamma\\NeedleLink\tSymbolicLink\t\\Device\\Null",
                                            L"NeedleTop\tEvent\t"}},
        {L"?needle", L"", L"", 22, 1, {L"Gamma\\Sub0\\\xD800needle\tEvent\t"}},
        {L"*n??dle", L"", L"", 22, 1, {L"Alpha\\Sub1\\Deep\\Deeper\\haystack-NEEDLE\tMutant\t", L"Gamma\\Sub0\\\xD800needle\tEvent\t"}},
        {L"", L"symboliclink", L"", 22, 1, {L"Beta\\toBase\tSymbolicLink\t\\BaseNamedObjects",
                                            L"Gamma\\NeedleLink\tSymbolicLink\t\\Device\\Null"}},
        {L"\x00E4RG", L"", L"", 22, 1, {L"Gamma\\Sub3\\\x00C4rger\tEvent\t"}},
        {L"v07", L"Event", L"Alpha", 7, 0, {L"Alpha\\Sub0\\ev07\tEvent\t", L"Alpha\\Sub1\\ev07\tEvent\t",
                                            L"Alpha\\Sub2\\ev07\tEvent\t", L"Alpha\\Sub3\\ev07\tEvent\t"}},
        {L"v07", L"Mutant", L"Alpha\\", 7, 0, {}},
        {L"*", L"Directory", L"Alpha\\Sub1", 3, 0, {L"Alpha\\Sub1\\Deep\tDirectory\t", L"Alpha\\Sub1\\Deep\\Deeper\tDirectory\t"}},
        // kagero-dump's --find rows over the same names: each unit folded as the kernel folds names, the
        // lone surrogate one unit like any other.
        {L"-\x00E4", L"", L"Cases", 3, 0, {lower + L"\x00E4" + ev, lower + L"\x00E4\xDC00" + ev, upper + L"\x00C4" + ev}},
        {L"-\x03A3", L"", L"Cases", 3, 0, {lower + L"\x03C3" + ev, upper + L"\x03A3" + ev}},
        {L"-\xFF41", L"", L"Cases", 3, 0, {lower + L"\xFF41" + ev, upper + L"\xFF21" + ev}},
        {L"LETTER-?", L"", L"Cases", 3, 0, {lower + L"\x00E4" + ev, lower + L"\x03C3" + ev, lower + L"\xFF41" + ev,
                                          upper + L"\x00C4" + ev, upper + L"\x03A3" + ev, upper + L"\xFF21" + ev}},
        {L"*\x00C4?", L"", L"Cases", 3, 0, {lower + L"\x00E4\xDC00" + ev}},
        {L"letter-\x00E4*", L"", L"Cases", 3, 0, {lower + L"\x00E4" + ev, lower + L"\x00E4\xDC00" + ev, upper + L"\x00C4" + ev}},
        {L"needle", L"", L"Refused", 0, 1, {}},
        {L"needle", L"", L"Missing", 0, 1, {}},
    };
    for (const auto& c : cases) {
        CAPTURE(&c - cases);
        const Outcome outcome(search, window, root, {c.text, c.type, tree.Path(c.start).c_str()});
        CHECK(outcome.rows == c.rows);
        const SearchProgress& p = outcome.progress;
        CHECK((p.directoriesDone == c.done && p.directoriesFailed == c.failed && p.objectsFound == long(c.rows.size())));
    }
    Broken = true;  // the twelve directories of events fail partway; the walk goes on
    const SearchProgress broken = Outcome(search, window, root, {L"", nullptr, root.c_str()}).progress;
    Broken = false;
    CHECK((broken.directoriesDone == 10 && broken.directoriesFailed == 13));
    std::vector<std::wstring> needles;
    for (const KnownObject& k : NeedleObjects)
        needles.push_back(std::wstring(k.path) + L"\t" + k.type + L"\t" + k.target);
    std::sort(needles.begin(), needles.end());
    CHECK(Outcome(search, window, root, {L"needle", nullptr, root.c_str()}).rows == needles);

    // Everything, in batches: a window that answers at once gets a message per directory at most (one, at the
    // end, when the search is shorter than the interval); one that does not answer, during a search that
    // lasts, has one message waiting, and the last.
    const Outcome all(search, window, root, {L"", nullptr, root.c_str()});
    CHECK((all.rows.size() == size_t(SearchTreeObjects) && all.progress.objectsFound == SearchTreeObjects));
    CHECK((all.messages >= 1 && all.messages <= SearchTreeDirectories + SearchTreeRefused + 1));
    Slow = true;
    REQUIRE(search.Start({L"", nullptr, root.c_str()}, window, Found) == 0);
    for (int i = 0; i < 500 && search.Running(); ++i)
        Sleep(10);
    Slow = false;
    CHECK(Queued(window) == 2);
    std::vector<std::wstring> taken;
    Take(search, root, &taken, nullptr);
    CHECK(taken.size() == size_t(SearchTreeObjects));
    CHECK((Opens == 10 * 22 + 7 + 7 + 3 + 6 * 3 && Closes == Opens));
    SetDirectoryCalls(nullptr);
    // Started again before the end of the last was taken: none of its results come with the new one's.
    REQUIRE(search.Start({L"", nullptr, root.c_str()}, window, Found) == 0);
    for (int i = 0; i < 500 && search.Running(); ++i)
        Sleep(10);
    CHECK(Outcome(search, window, root, {L"", nullptr, (root + L"\\NoSuch").c_str()}).rows.empty());
    const std::vector<std::wstring> fromRoot = {L"Alpha\\Sub1\\Deep\\Deeper\\haystack-NEEDLE\tMutant\t"};
    CHECK(Outcome(search, window, root, {L"haystack-n*", L"Mutant", L"\\"}).rows == fromRoot);
    DestroyWindow(window);
}

TEST_CASE("search: Stop ends it in the middle of a directory, drops what was not taken, posts nothing more; so does the destructor")
{
    SearchTree tree;
    REQUIRE(tree.failed == 0);
    HWND window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    HANDLE paused = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    Stopping = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    SearchStopAsked = [] { SetEvent(Stopping); };
    SetDirectoryCalls(&Counting);
    for (bool destroy : {false, true}) {
        CAPTURE(destroy);
        ResetEvent(Paused = paused);
        ResetEvent(Stopping);
        LONG atPause = 0;
        {
            NamespaceSearch search;
            REQUIRE(search.Start({L"", nullptr, tree.Root().c_str()}, window, Found) == 0);
            REQUIRE(WaitForSingleObject(paused, 10000) == WAIT_OBJECT_0);
            atPause = Queries;
            SearchProgress progress = {};
            if (!destroy) {
                search.Stop();
                CHECK((search.TakeResults(&progress) == nullptr && progress.finished && !search.Running()));
            }
        }
        CHECK((Queries == atPause && Queued(window) == 0 && Opens == Closes && LiveSearchWorkers() == 0));
    }
    SetDirectoryCalls(nullptr);
    SearchStopAsked = nullptr;
    CloseHandle(paused);
    CloseHandle(Stopping);
    DestroyWindow(window);
}
