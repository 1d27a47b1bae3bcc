#include "ObjectDetails.h"

#include <winternl.h>

#include "NativeApi.h"
#include "ObjectOpen.h"
#include "ObjectQueries.h"
#include "ObjectTypes.h"
#include "WindowsLayout.h"

namespace {

const ULONG BasicInformationClass = 0;
const ULONG JobBasicAccountingClass = 1;

struct SectionBasicInformation {
    PVOID BaseAddress;
    ULONG Attributes;
    LARGE_INTEGER Size;
};
struct TimerBasicInformation {
    LARGE_INTEGER RemainingTime;
    BOOLEAN TimerState;
};
struct IoCompletionBasicInformation {
    LONG Depth;
};

// Windows' layouts (32-bit, 64-bit): the 32-bit build cannot run here, so a wrong one stops its build.
static_assert(sizeof(SectionBasicInformation) == WindowsLayout(16, 24)
              && offsetof(SectionBasicInformation, Attributes) == WindowsLayout(4, 8)
              && offsetof(SectionBasicInformation, Size) == WindowsLayout(8, 16), "SECTION_BASIC_INFORMATION");
static_assert(sizeof(TimerBasicInformation) == 16 && offsetof(TimerBasicInformation, TimerState) == 8,
              "TIMER_BASIC_INFORMATION");
static_assert(sizeof(IoCompletionBasicInformation) == 4, "IO_COMPLETION_BASIC_INFORMATION");
static_assert(sizeof(JOBOBJECT_BASIC_ACCOUNTING_INFORMATION) == 48
              && offsetof(JOBOBJECT_BASIC_ACCOUNTING_INFORMATION, ActiveProcesses) == 40,
              "JOBOBJECT_BASIC_ACCOUNTING_INFORMATION");

typedef NTSTATUS(NTAPI* JobQueryCall)(HANDLE, ULONG, PVOID, ULONG, PULONG);

// Looked up at run time, as the job's open is: older systems lack it.
JobQueryCall FindJobQuery()
{
    HMODULE ntdll = GetModuleHandleA("NTDLL.DLL");
    return ntdll ? reinterpret_cast<JobQueryCall>(
                       reinterpret_cast<void*>(GetProcAddress(ntdll, "NtQueryInformationJobObject")))
                 : nullptr;
}

// A query whose result must fill exactly its structure.
template <typename Query, typename Result>
NTSTATUS QueryWhole(Query query, HANDLE handle, ULONG infoClass, Result* result)
{
    ZeroMemory(result, sizeof(*result));
    ULONG returned = 0;
    const NTSTATUS status = query(handle, infoClass, result, sizeof(*result), &returned);
    if (status < 0)
        return status;
    return returned == sizeof(*result) ? 0 : STATUS_UNSUCCESSFUL_NT;
}

}  // namespace

extern "C" {
NTSYSAPI NTSTATUS NTAPI NtOpenIoCompletion(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES);
NTSYSAPI NTSTATUS NTAPI NtQuerySection(HANDLE, ULONG, PVOID, SIZE_T, PSIZE_T);
NTSYSAPI NTSTATUS NTAPI NtQueryTimer(HANDLE, ULONG, PVOID, ULONG, PULONG);
NTSYSAPI NTSTATUS NTAPI NtQueryIoCompletion(HANDLE, ULONG, PVOID, ULONG, PULONG);
}

NTSTATUS OpenForDetails(const wchar_t* path, int typeCode, ACCESS_MASK access, HANDLE* handle)
{
    if (typeCode != TypeIoCompletion)
        return OpenObjectByType(path, typeCode, access, handle);
    ObjectAttributes attributes;
    NTSTATUS status = attributes.Init(path);
    HANDLE opened = nullptr;
    if (status >= 0)
        status = NtOpenIoCompletion(&opened, access, attributes.Get());
    if (status == 0)
        *handle = opened;
    return status;
}

NTSTATUS QuerySectionDetails(HANDLE handle, LONGLONG* size, ULONG* attributes)
{
    SectionBasicInformation basic;
    ZeroMemory(&basic, sizeof(basic));
    SIZE_T returned = 0;
    NTSTATUS status = NtQuerySection(handle, BasicInformationClass, &basic, sizeof(basic), &returned);
    if (status >= 0 && returned != sizeof(basic))
        status = STATUS_UNSUCCESSFUL_NT;
    if (status < 0)
        return status;
    *size = basic.Size.QuadPart;
    *attributes = basic.Attributes;
    return 0;
}

NTSTATUS QueryTimerDetails(HANDLE handle, bool* signaled, LONGLONG* remaining)
{
    TimerBasicInformation basic;
    const NTSTATUS status = QueryWhole(NtQueryTimer, handle, BasicInformationClass, &basic);
    if (status < 0)
        return status;
    *signaled = basic.TimerState != 0;
    *remaining = basic.RemainingTime.QuadPart;
    return 0;
}

NTSTATUS QueryIoCompletionDepth(HANDLE handle, LONG* depth)
{
    IoCompletionBasicInformation basic;
    const NTSTATUS status = QueryWhole(NtQueryIoCompletion, handle, BasicInformationClass, &basic);
    if (status < 0)
        return status;
    *depth = basic.Depth;
    return 0;
}

NTSTATUS QueryJobActiveProcesses(HANDLE handle, ULONG* active)
{
    const JobQueryCall query = FindJobQuery();
    if (!query)
        return STATUS_UNSUCCESSFUL_NT;
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting;
    const NTSTATUS status = QueryWhole(query, handle, JobBasicAccountingClass, &accounting);
    if (status < 0)
        return status;
    *active = accounting.ActiveProcesses;
    return 0;
}

NTSTATUS QueryTypeGenericMapping(HANDLE handle, GENERIC_MAPPING* mapping)
{
    alignas(8) BYTE buffer[TypeQueryBytes] = {};
    ULONG returned = 0;
    const NTSTATUS status = QueryTypeInformation(handle, buffer, &returned);
    if (status < 0)
        return status;
    if (returned < sizeof(TypeInformationHead))
        return STATUS_UNSUCCESSFUL_NT;
    const GENERIC_MAPPING& given = reinterpret_cast<const TypeInformationHead*>(buffer)->GenericMapping;
    if (!given.GenericRead && !given.GenericWrite && !given.GenericExecute && !given.GenericAll)
        return STATUS_UNSUCCESSFUL_NT;
    *mapping = given;
    return 0;
}
