#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "DirectoryWalk.h"
#include "KernelObjects.h"
#include "NativeApi.h"

void RunNamespaceBench();
void RunExplorerBench();
void RunDumpBench();
void RunHoldersBench();
void RunFindBench();

unsigned long BareEnumerate(const std::wstring& path, bool descend)
{
    HANDLE directory = nullptr;
    if (OpenDirectory(path.c_str(), &directory) < 0)
        return 0;
    static BYTE buffer[EnumerateBufferBytes];
    ULONG context = 0, length = 0;
    unsigned long count = 0;
    const std::wstring prefix = path.back() == L'\\' ? path : path + L"\\";
    std::vector<std::wstring> subdirectories;
    while (NtQueryDirectoryObject(directory, buffer, sizeof(buffer), TRUE, FALSE, &context, &length) >= 0) {
        ++count;
        const auto* entry = reinterpret_cast<const ObjectDirectoryInformation*>(buffer);
        if (descend && entry->TypeName.Length == 18 && memcmp(entry->TypeName.Buffer, L"Directory", 18) == 0)
            subdirectories.push_back(prefix + std::wstring(entry->Name.Buffer, entry->Name.Length / 2));
    }
    NtClose(directory);
    for (const std::wstring& child : subdirectories)
        count += BareEnumerate(child, true);
    return count;
}

void PrintOverhead(const wchar_t* label, unsigned long entries, double floor, double measured)
{
    std::printf("%-52ls floor %8.2f ms  measured %8.2f ms  ratio %.2fx  above floor %.2f us/entry\n", label,
                floor * 1000.0, measured * 1000.0, measured / floor,
                entries ? (measured - floor) * 1e6 / entries : 0.0);
}

int MakeDirectoryTree(TestNamespace& ns)
{
    int count = 0;
    for (int a = 0; a < 12; ++a) {
        const std::wstring first = L"d" + std::to_wstring(a);
        count += ns.Directory(first) >= 0;
        for (int b = 0; b < 12; ++b) {
            const std::wstring second = first + L"\\d" + std::to_wstring(b);
            count += ns.Directory(second) >= 0;
            for (int c = 0; c < 13; ++c)
                count += ns.Directory(second + L"\\d" + std::to_wstring(c)) >= 0;
        }
    }
    return count;
}

// With names (namespace, explorer, dump, holders, find), only those parts run.
int main(int argc, char** argv)
{
    std::printf("Kagero benchmark: each measurement against the bare native enumeration of the same data\n");
    const struct { const char* name; void (*run)(); } parts[] = {{"namespace", RunNamespaceBench}, {"explorer", RunExplorerBench},
        {"dump", RunDumpBench}, {"holders", RunHoldersBench}, {"find", RunFindBench}};
    for (const auto& part : parts) {
        bool chosen = argc < 2;
        for (int i = 1; i < argc; ++i)
            chosen = chosen || std::strcmp(argv[i], part.name) == 0;
        if (chosen)
            part.run();
    }
    return 0;
}
