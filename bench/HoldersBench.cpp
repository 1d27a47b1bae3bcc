// The holders window's scan of one object against the bare scan of the
// handle table: snapshot, duplicate, name query and close for every handle.
#include <cstdio>

#include "BenchSupport.h"
#include "HandleScan.h"
#include "HolderProcess.h"
#include "HolderScanJob.h"
#include "KernelObjects.h"
#include "NameCompare.h"
#include "ObjectQueries.h"
#include "SystemTables.h"

size_t BareNameScan(bool filesOnly)
{
    GrowingArray<BYTE> table(1), query(1);
    if (ReadSystemTable(SystemExtendedHandleInformationClass, &table) < 0 || table.Count() < sizeof(SystemHandleTableHead))
        return 0;
    SystemHandleTableHead head;
    CopyMemory(&head, table.Data(), sizeof(head));
    const size_t room = (table.Count() - sizeof(head)) / sizeof(SystemHandleEntry);
    const size_t count = head.NumberOfHandles < room ? head.NumberOfHandles : room;
    const DWORD self = GetCurrentProcessId();
    DWORD openedPid = 0;
    HANDLE process = nullptr;
    size_t asked = 0;
    for (size_t i = 0; i < count; ++i) {
        SystemHandleEntry entry;
        CopyMemory(&entry, table.Data() + sizeof(head) + i * sizeof(entry), sizeof(entry));
        const DWORD pid = static_cast<DWORD>(entry.UniqueProcessId);
        if (pid == self)
            continue;
        if (pid != openedPid) {  // the table comes by process
            if (process)
                CloseHandle(process);
            process = OpenProcess(PROCESS_DUP_HANDLE, FALSE, pid);
            openedPid = pid;
        }
        HANDLE copy = nullptr;
        if (!process || !DuplicateHandle(process, reinterpret_cast<HANDLE>(entry.HandleValue), GetCurrentProcess(), &copy,
                                         0, FALSE, 0))
            continue;
        alignas(8) BYTE type[TypeQueryBytes] = {};
        ULONG returned = 0;
        const UNICODE_STRING& typeName = reinterpret_cast<const TypeInformationHead*>(type)->TypeName;
        const bool file = QueryTypeInformation(copy, type, &returned) >= 0 && LiesInside(typeName, type, TypeQueryBytes) &&
                          EqualCaseless(typeName.Buffer, typeName.Length / sizeof(wchar_t), L"File", 4);
        const wchar_t* name = nullptr;
        size_t length = 0;
        if (file || !filesOnly) {
            QueryObjectName(copy, &query, &name, &length);
            ++asked;
        }
        CloseHandle(copy);
    }
    if (process)
        CloseHandle(process);
    return asked;
}

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
size_t WindowScan(HolderScanJob& job, HWND window, const wchar_t* path, const wchar_t* type = L"Event")
{
    if (job.Start(path, type, window, Done) != 0)
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
    // A device's holders are its files: against a bare scan that asks every file's name.
    Alternate(15, [&] { duplicated = BareNameScan(true); },
              [&] { found = WindowScan(job, window, L"\\Device\\NamedPipe", L"Device"); }, &floor, &measured);
    PrintRatio(L"holders window: \\Device\\NamedPipe's holders (1.15x at most)", static_cast<unsigned long>(duplicated),
               found, floor, measured);
    DestroyWindow(window);
}
