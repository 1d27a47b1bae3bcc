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
#include "NativeApi.h"

namespace {

// The platform's floor: one single-entry query per entry, nothing else.
ULONG BareEnumerate(const std::wstring& path, bool descend)
{
    HANDLE directory = nullptr;
    if (OpenDirectory(path.c_str(), &directory) < 0)
        return 0;
    static BYTE buffer[EnumerateBufferBytes];
    ULONG context = 0, length = 0, count = 0;
    std::vector<std::wstring> subdirectories;
    while (NtQueryDirectoryObject(directory, buffer, sizeof(buffer), TRUE, FALSE, &context, &length) >= 0) {
        ++count;
        const auto* entry = reinterpret_cast<const ObjectDirectoryInformation*>(buffer);
        if (descend && entry->TypeName.Length == 18 && memcmp(entry->TypeName.Buffer, L"Directory", 18) == 0)
            subdirectories.emplace_back(path + L"\\" + std::wstring(entry->Name.Buffer, entry->Name.Length / 2));
    }
    NtClose(directory);
    for (const std::wstring& child : subdirectories)
        count += BareEnumerate(child, true);
    return count;
}

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

void MeasureList(const wchar_t* label, const std::wstring& path)
{
    ULONG bareCount = 0;
    size_t listed = 0;
    double floor = 0, walk = 0;
    Alternate(
        7, [&] { bareCount = BareEnumerate(path, false); },
        [&] {
            RecordingSink sink;
            ListDirectoryEntries(path.c_str(), sink);
            listed = sink.entries.size();
        },
        &floor, &walk);
    PrintRatio(label, bareCount, listed, floor, walk);
}

void MeasureTree(const wchar_t* label, const std::wstring& root)
{
    ULONG bareCount = 0;
    size_t nodes = 0;
    double floor = 0, walk = 0;
    Alternate(
        7, [&] { bareCount = BareEnumerate(root, true); },
        [&] {
            RecordingSink sink;
            EnumerateDirectory(root.c_str(), WalkTree, nullptr, sink);
            nodes = sink.nodes.size();
        },
        &floor, &walk);
    PrintRatio(label, bareCount, nodes, floor, walk);
}

}  // namespace

void RunNamespaceBench()
{
    for (int n : {1000, 10000}) {
        TestNamespace ns;
        for (int i = 0; i < n; ++i)
            ns.Event(L"event" + std::to_wstring(i));
        const std::wstring label = L"ListDirectoryEntries, " + std::to_wstring(n) + L" events";
        MeasureList(label.c_str(), ns.Root());
    }
    {
        TestNamespace ns;
        const int directories = MakeDirectoryTree(ns);
        const std::wstring label = L"WalkNamespaceTree, " + std::to_wstring(directories) + L" directories";
        MeasureTree(label.c_str(), ns.Root());
    }
}
