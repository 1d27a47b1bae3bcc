#include <windows.h>

#include <string>

#include "BenchSupport.h"
#include "KernelObjects.h"

void RunNamespaceBench();

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

int main()
{
    std::printf("Kagero benchmark: each measurement against the bare native enumeration of the same data\n");
    RunNamespaceBench();
    return 0;
}
