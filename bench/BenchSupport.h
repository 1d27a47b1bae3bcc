// Timing helpers shared by the benchmarks.
#pragma once

#include <windows.h>

#include <cstdio>
#include <string>

class TestNamespace;

inline double Seconds()
{
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// The fastest of several runs: the least disturbed by the rest of the machine.
template <typename Work>
double BestOf(int runs, Work work)
{
    double best = 1e30;
    for (int i = 0; i < runs; ++i) {
        const double start = Seconds();
        work();
        const double elapsed = Seconds() - start;
        if (elapsed < best)
            best = elapsed;
    }
    return best;
}

// Times the floor and the measured work alternately, so that a change in the
// machine's load between them affects both alike. Keeps the best of each.
template <typename Floor, typename Work>
void Alternate(int runs, Floor floorWork, Work work, double* floor, double* measured)
{
    *floor = *measured = 1e30;
    for (int i = 0; i < runs; ++i) {
        const double a = BestOf(1, floorWork);
        const double b = BestOf(1, work);
        if (a < *floor)
            *floor = a;
        if (b < *measured)
            *measured = b;
    }
}

inline void PrintRatio(const wchar_t* label, unsigned long floorItems, size_t items, double floor, double measured)
{
    std::printf("%-52ls floor %8.2f ms (%lu entries)  measured %8.2f ms (%zu)  ratio %.2fx\n", label,
                floor * 1000.0, floorItems, measured * 1000.0, items, measured / floor);
}

// The platform's floor: one single-entry query per entry, nothing else;
// with descend, the same for every directory below. Returns the entries seen.
unsigned long BareEnumerate(const std::wstring& path, bool descend);
// The bare scan of the handle table, with no thread and no time limit: the
// snapshot, then for every other process's handle (only its files with
// filesOnly) a duplicate, a type query, a name query and a close. Returns
// the handles asked their names.
size_t BareNameScan(bool filesOnly);

// Prints the measurement and its cost per entry above the floor, so that a
// cost growing faster than the entries shows between runs of different sizes.
void PrintOverhead(const wchar_t* label, unsigned long entries, double floor, double measured);

// About 2,000 directories: 12 under the root, 12 under each, 13 under each of those.
int MakeDirectoryTree(TestNamespace& ns);
