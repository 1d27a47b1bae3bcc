// The holders window's scan of one object against the bare scan of the
// handle table: snapshot, duplicate, name query and close for every handle.
#include <cstdio>

#include "BenchSupport.h"
#include "HandleScan.h"
#include "HolderProcess.h"
#include "HolderScanJob.h"
#include "KernelObjects.h"

namespace {

const UINT Done = WM_APP + 7;

// The bare scan: every handle asked its name, none kept.
size_t BareScan()
{
    HandleScan scan;
    HandleScanOptions options;
    options.keepNames = false;
    scan.Run(options);
    return scan.Counts().duplicated;
}

// The window's scan, as its worker runs it: one object, its type, to the
// notice the window takes.
size_t WindowScan(HolderScanJob& job, HWND window, const wchar_t* path)
{
    if (job.Start(path, L"Event", window, Done) != 0)
        return 0;
    MSG message;
    while (GetMessageW(&message, window, Done, Done) <= 0) {
    }
    NTSTATUS status = 0;
    const OwnedObject<HandleScan> scan = job.TakeScan(&status);
    size_t first = 0;
    return scan ? scan->Find(path, &first) : 0;
}

}  // namespace

void RunHoldersBench()
{
    TestNamespace ns;
    HolderProcess holder;
    if (!holder.Start(ns.Root())) {
        std::printf("holders: the holder did not start\n");
        return;
    }
    const std::wstring path = ns.Path(HolderProcess::EventName);
    HWND window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    HolderScanJob job;
    size_t duplicated = 0, found = 0;
    double floor = 0, measured = 0;
    Alternate(15, [&] { duplicated = BareScan(); }, [&] { found = WindowScan(job, window, path.c_str()); }, &floor,
              &measured);
    PrintRatio(L"holders window: one event's holders (1.15x at most)", static_cast<unsigned long>(duplicated), found,
               floor, measured);
    DestroyWindow(window);
}
