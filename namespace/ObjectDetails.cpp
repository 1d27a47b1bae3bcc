#include "ObjectDetails.h"

#include <winternl.h>

#include "NativeApi.h"
#include "ObjectOpen.h"
#include "ObjectQueries.h"
#include "ObjectTypes.h"
#include "WindowsLayout.h"

extern "C" {
NTSYSAPI NTSTATUS NTAPI NtOpenIoCompletion(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES);
NTSYSAPI NTSTATUS NTAPI NtQuerySection(HANDLE, ULONG, PVOID, SIZE_T, PSIZE_T);
NTSYSAPI NTSTATUS NTAPI NtQueryTimer(HANDLE, ULONG, PVOID, ULONG, PULONG);
NTSYSAPI NTSTATUS NTAPI NtQueryIoCompletion(HANDLE, ULONG, PVOID, ULONG, PULONG);
}

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

// The shape every details query has; the section's, whose sizes are SIZE_T, is wrapped into it.
typedef NTSTATUS(NTAPI* InformationQuery)(HANDLE, ULONG, PVOID, ULONG, PULONG);

// Looked up at run time, as the job's open is: older systems lack it.
InformationQuery FindJobQuery()
{
    HMODULE ntdll = GetModuleHandleA("NTDLL.DLL");
    return ntdll ? reinterpret_cast<InformationQuery>(
                       reinterpret_cast<void*>(GetProcAddress(ntdll, "NtQueryInformationJobObject")))
                 : nullptr;
}

NTSTATUS NTAPI QueryJob(HANDLE handle, ULONG infoClass, PVOID info, ULONG bytes, PULONG returned)
{
    const InformationQuery query = FindJobQuery();
    return query ? query(handle, infoClass, info, bytes, returned) : STATUS_UNSUCCESSFUL_NT;
}

void ReadSection(const void* info, TypeDetails* details)
{
    const SectionBasicInformation& basic = *static_cast<const SectionBasicInformation*>(info);
    details->value = basic.Size.QuadPart;
    details->flags = basic.Attributes;
}

void ReadTimer(const void* info, TypeDetails* details)
{
    const TimerBasicInformation& basic = *static_cast<const TimerBasicInformation*>(info);
    details->value = basic.RemainingTime.QuadPart;
    details->flags = basic.TimerState != 0 ? 1 : 0;
}

void ReadCompletion(const void* info, TypeDetails* details)
{
    details->value = static_cast<const IoCompletionBasicInformation*>(info)->Depth;
}

void ReadJob(const void* info, TypeDetails* details)
{
    details->value = static_cast<const JOBOBJECT_BASIC_ACCOUNTING_INFORMATION*>(info)->ActiveProcesses;
}

NTSTATUS NTAPI QuerySection(HANDLE handle, ULONG infoClass, PVOID info, ULONG bytes, PULONG returned)
{
    SIZE_T given = 0;
    const NTSTATUS status = NtQuerySection(handle, infoClass, info, bytes, &given);
    *returned = static_cast<ULONG>(given);
    return status;
}

// Each type's query: its information class, the structure that must come back whole, and what is read of it.
struct DetailsQuery {
    int typeCode;
    InformationQuery query;
    ULONG infoClass;
    ULONG bytes;
    void (*read)(const void* info, TypeDetails* details);
};
const DetailsQuery DetailsQueries[] = {
    {TypeSection, QuerySection, BasicInformationClass, sizeof(SectionBasicInformation), ReadSection},
    {TypeTimer, NtQueryTimer, BasicInformationClass, sizeof(TimerBasicInformation), ReadTimer},
    {TypeIoCompletion, NtQueryIoCompletion, BasicInformationClass, sizeof(IoCompletionBasicInformation),
     ReadCompletion},
    {TypeJob, QueryJob, JobBasicAccountingClass, sizeof(JOBOBJECT_BASIC_ACCOUNTING_INFORMATION), ReadJob},
};
const ULONG DetailsBytes = sizeof(JOBOBJECT_BASIC_ACCOUNTING_INFORMATION);  // the largest
static_assert(sizeof(SectionBasicInformation) <= DetailsBytes && sizeof(TimerBasicInformation) <= DetailsBytes,
              "every structure fits the buffer");

}  // namespace

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

NTSTATUS QueryTypeDetails(HANDLE handle, int typeCode, TypeDetails* details)
{
    for (const DetailsQuery& type : DetailsQueries) {
        if (type.typeCode != typeCode)
            continue;
        alignas(8) BYTE info[DetailsBytes] = {};
        ULONG returned = 0;
        const NTSTATUS status = type.query(handle, type.infoClass, info, type.bytes, &returned);
        if (status < 0)
            return status;
        if (returned != type.bytes)
            return STATUS_UNSUCCESSFUL_NT;
        type.read(info, details);
        return 0;
    }
    return STATUS_OBJECT_TYPE_MISMATCH_NT;
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
