// Measures the namespace walk against the bare cost of the native directory
// calls, timed in the same run. Prints ratios; no thresholds are asserted.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "DirectoryWalk.h"
#include "KernelObjects.h"
#include "NamespaceSearch.h"
#include "NativeApi.h"

namespace {

class RecordingSink : public NamespaceSink {
public:
    DirectoryNode InsertDirectoryNode(DirectoryNode, const wchar_t* path) override
    {
        nodes.emplace_back(path);
        return reinterpret_cast<DirectoryNode>(nodes.size());
    }
    void AddListEntry(int index, const wchar_t* typeName, const wchar_t* name) override
    {
        entries.push_back({index, typeName, name});
    }
    struct Entry {
        int index;
        std::wstring type, name;
    };
    std::vector<std::wstring> nodes;
    std::vector<Entry> entries;
};

// The tree walk from path (tree) or the listing of path alone, against the
// bare enumeration of the same directories.
void MeasureWalk(const wchar_t* label, const std::wstring& path, bool tree)
{
    ULONG bareCount = 0;
    size_t handedOver = 0;
    double floor = 0, walk = 0;
    Alternate(
        7, [&] { bareCount = BareEnumerate(path, tree); },
        [&] {
            RecordingSink sink;
            EnumerateDirectory(path.c_str(), tree ? WalkTree : WalkList, nullptr, sink);
            handedOver = tree ? sink.nodes.size() : sink.entries.size();
        },
        &floor, &walk);
    PrintRatio(label, bareCount, handedOver, floor, walk);
}

// One search from start to its last message, answered as the find window does.
size_t SearchToEnd(NamespaceSearch& search, HWND window, const SearchQuery& query)
{
    const UINT found = WM_APP;
    size_t results = 0;
    SearchProgress progress = {};
    MSG message;
    if (search.Start(query, window, found) != 0)
        return 0;
    while (!progress.finished && GetMessageW(&message, window, found, found) > 0) {
        SearchBatch* batch = search.TakeResults(&progress);
        results += batch ? batch->count : 0;
        FreeSearchBatch(batch);
    }
    return results;
}

// The find window's search of the whole namespace for a name that matches
// nothing, against the bare walk of the same namespace.
void MeasureSearch(const wchar_t* label)
{
    HWND window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    NamespaceSearch search;
    ULONG bareCount = 0;
    size_t found = 0;
    double floor = 0, measured = 0;
    Alternate(
        7, [&] { bareCount = BareEnumerate(L"\\", true); },
        [&] { found = SearchToEnd(search, window, {L"no such name in kagero", nullptr, L"\\"}); }, &floor, &measured);
    PrintRatio(label, bareCount, found, floor, measured);
    DestroyWindow(window);
}

}  // namespace

void RunNamespaceBench()
{
    for (int n : {1000, 10000}) {
        TestNamespace ns;
        for (int i = 0; i < n; ++i)
            ns.Event(L"event" + std::to_wstring(i));
        const std::wstring label = L"ListDirectoryEntries, " + std::to_wstring(n) + L" events";
        MeasureWalk(label.c_str(), ns.Root(), false);
    }
    {
        TestNamespace ns;
        const int directories = MakeDirectoryTree(ns);
        const std::wstring label = L"WalkNamespaceTree, " + std::to_wstring(directories) + L" directories";
        MeasureWalk(label.c_str(), ns.Root(), true);
        MeasureSearch(L"NamespaceSearch of \\ for no name (target 1.15x)");
    }
}
