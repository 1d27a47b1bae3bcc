// The system's two tables a holder scan reads, each in one query: every
// open handle of every process, and the process list (each process's id
// and its program's image name). Also the native calls the scan makes, as a
// seam for tests.
#pragma once

#include <windows.h>
#include <winternl.h>

#include <cstddef>

#include "GrowingArray.h"
#include "NativeApi.h"
#include "WindowsLayout.h"

const ULONG SystemProcessInformationClass = 5;
const ULONG SystemExtendedHandleInformationClass = 64;


// SYSTEM_HANDLE_INFORMATION_EX up to its entries, then one entry
// (SYSTEM_HANDLE_TABLE_ENTRY_INFO_EX).
struct SystemHandleTableHead {
    ULONG_PTR NumberOfHandles;
    ULONG_PTR Reserved;
};
struct SystemHandleEntry {
    PVOID Object;  // the object's address; zero under Wine (and for callers without the privilege)
    ULONG_PTR UniqueProcessId;
    ULONG_PTR HandleValue;
    ULONG GrantedAccess;
    USHORT CreatorBackTraceIndex;
    USHORT ObjectTypeIndex;
    ULONG HandleAttributes;
    ULONG Reserved;
};

// SYSTEM_PROCESS_INFORMATION as far as it is read; its threads follow it.
struct SystemProcessHead {
    ULONG NextEntryOffset;
    ULONG NumberOfThreads;
    LARGE_INTEGER WorkingSetPrivateSize;
    ULONG HardFaultCount;
    ULONG NumberOfThreadsHighWatermark;
    ULONGLONG CycleTime;
    LARGE_INTEGER CreateTime;
    LARGE_INTEGER UserTime;
    LARGE_INTEGER KernelTime;
    UNICODE_STRING ImageName;
    LONG BasePriority;
    HANDLE UniqueProcessId;
    HANDLE InheritedFromUniqueProcessId;
    ULONG HandleCount;
    ULONG SessionId;
};

// Windows' layouts (32-bit, 64-bit): the 32-bit build cannot run here, so a wrong one stops its build.
static_assert(sizeof(SystemHandleTableHead) == WindowsLayout(8, 16), "SYSTEM_HANDLE_INFORMATION_EX");
static_assert(sizeof(SystemHandleEntry) == WindowsLayout(28, 40)
              && offsetof(SystemHandleEntry, UniqueProcessId) == WindowsLayout(4, 8)
              && offsetof(SystemHandleEntry, HandleValue) == WindowsLayout(8, 16)
              && offsetof(SystemHandleEntry, GrantedAccess) == WindowsLayout(12, 24)
              && offsetof(SystemHandleEntry, ObjectTypeIndex) == WindowsLayout(18, 30)
              && offsetof(SystemHandleEntry, HandleAttributes) == WindowsLayout(20, 32),
              "SYSTEM_HANDLE_TABLE_ENTRY_INFO_EX");
static_assert(offsetof(SystemProcessHead, CreateTime) == 32 && offsetof(SystemProcessHead, ImageName) == 56
              && offsetof(SystemProcessHead, UniqueProcessId) == WindowsLayout(68, 80)
              && offsetof(SystemProcessHead, HandleCount) == WindowsLayout(76, 96)
              && sizeof(SystemProcessHead) == WindowsLayout(88, 104), "SYSTEM_PROCESS_INFORMATION");
static_assert(sizeof(CLIENT_ID) == WindowsLayout(8, 16), "CLIENT_ID");

extern "C" {
NTSYSAPI NTSTATUS NTAPI NtOpenProcess(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES, CLIENT_ID*);
NTSYSAPI NTSTATUS NTAPI NtDuplicateObject(HANDLE, HANDLE, HANDLE, PHANDLE, ACCESS_MASK, ULONG, ULONG);
}

// The native calls of a holder scan. Tests replace them to refuse opens and
// duplications, which the platform will not do on demand, and to count
// what is opened and closed.
struct HandleScanCalls {
    NTSTATUS(NTAPI* querySystem)(ULONG infoClass, PVOID buffer, ULONG length, PULONG returned);
    NTSTATUS(NTAPI* openProcess)(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES, CLIENT_ID*);
    NTSTATUS(NTAPI* duplicate)(HANDLE sourceProcess, HANDLE source, HANDLE targetProcess, PHANDLE target,
                               ACCESS_MASK access, ULONG attributes, ULONG options);
    NTSTATUS(NTAPI* close)(HANDLE);
};
const HandleScanCalls& ActiveHandleScanCalls();
// Pass null to go back to ntdll's own calls.
void SetHandleScanCalls(const HandleScanCalls* calls);
// Closes through the seam.
NTSTATUS CloseScanHandle(HANDLE handle);

// The largest table buffer a query may grow to.
const ULONG MaxSystemTableBytes = 256u << 20;
// Reads one system information class whole into buffer (emptied first),
// grown while the call says the table does not fit (at most to
// MaxSystemTableBytes, a few times). 0 and the bytes given as the buffer's
// count, or the failure.
NTSTATUS ReadSystemTable(ULONG infoClass, GrowingArray<BYTE>* buffer);

// The process list as it stood at one moment.
class ProcessList {
public:
    NTSTATUS Take();
    void Clear()
    {
        processes_.Clear();
        names_.Clear();
    }
    size_t Count() const { return processes_.Count(); }
    DWORD Pid(size_t i) const { return processes_[i].pid; }
    const wchar_t* Name(size_t i) const { return names_.Data() + processes_[i].nameAt; }
    // The image name of pid ("" when the list lacks it or it has none).
    const wchar_t* NameOf(DWORD pid) const;
    // Appends to pids those of the processes text names: a pid in decimal,
    // or a program's name, letter case ignored as the kernel ignores it
    // (NameCompare.h) and ".exe" optional. None
    // when it names no process. false when memory ran out.
    bool Match(const wchar_t* text, GrowingArray<DWORD>* pids) const;

private:
    struct Process {
        DWORD pid;
        size_t nameAt;  // in names_, terminated
        size_t nameLength;
    };
    size_t Find(DWORD pid) const;  // Count() when absent
    GrowingArray<Process> processes_;  // by pid
    GrowingArray<wchar_t> names_;
};
