#include "ObjectOpen.h"

#include "NativeApi.h"
#include "ObjectTypes.h"
#include "WindowsLayout.h"

// Windows' layouts (32-bit, 64-bit): the 32-bit build cannot run here, so a wrong one stops its build.
static_assert(sizeof(IO_STATUS_BLOCK) == WindowsLayout(8, 16)
              && offsetof(IO_STATUS_BLOCK, Information) == WindowsLayout(4, 8), "IO_STATUS_BLOCK");
static_assert(sizeof(TOKEN_PRIVILEGES) == 16 && offsetof(TOKEN_PRIVILEGES, Privileges) == 4
              && sizeof(LUID_AND_ATTRIBUTES) == 12 && offsetof(LUID_AND_ATTRIBUTES, Attributes) == 8,
              "TOKEN_PRIVILEGES with one LUID_AND_ATTRIBUTES");

namespace {

const ULONG ShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
const ACCESS_MASK DirectoryOpenBits = 0x00020003;  // READ_CONTROL | DIRECTORY_QUERY | DIRECTORY_TRAVERSE
const ACCESS_MASK SymbolicLinkQuery = 0x0001;
const ACCESS_MASK JobAssignProcess = 0x0001;
const ACCESS_MASK JobQuery = 0x0004;

NativeOpenCall FindNativeJobOpen()
{
    HMODULE ntdll = GetModuleHandleA("NTDLL.DLL");
    return ntdll ? reinterpret_cast<NativeOpenCall>(reinterpret_cast<void*>(GetProcAddress(ntdll, "NtOpenJobObject")))
                 : nullptr;
}

// The SDK declares NtQueryObject with its own enum for the class.
NTSTATUS NTAPI QueryObjectNative(HANDLE handle, ULONG infoClass, PVOID buffer, ULONG length, PULONG returned)
{
    return NtQueryObject(handle, static_cast<OBJECT_INFORMATION_CLASS>(infoClass), buffer, length, returned);
}

NTSTATUS NTAPI CloseNative(HANDLE handle) { return NtClose(handle); }

const ObjectCalls NativeCalls = {
    NtOpenDirectoryObject, NtOpenSection, NtOpenSymbolicLinkObject, NtOpenEvent, NtOpenMutant,
    NtOpenSemaphore,       NtOpenKey,     NtOpenTimer,              NtOpenFile,  FindNativeJobOpen,
    CloseNative,           QueryObjectNative, NtQueryEvent,         NtQueryMutant, NtQuerySemaphore,
    NtQuerySymbolicLinkObject,
};
const ObjectCalls* CurrentCalls = &NativeCalls;

// The row of the dispatch table: the open call and the access it passes.
// Types without a call of their own are opened as files; a null call with
// asFile false means the type is not opened by name.
struct OpenRow {
    NativeOpenCall call;
    bool asFile;
};

OpenRow RowFor(const ObjectCalls& calls, int typeCode, ACCESS_MASK* access)
{
    switch (typeCode) {
    case TypeDirectory:
        *access |= DirectoryOpenBits;
        return {calls.openDirectory, false};
    case TypeSection:
        return {calls.openSection, false};
    case TypeSymbolicLink:
        *access |= SymbolicLinkQuery;
        return {calls.openSymbolicLink, false};
    case TypeEvent:
        return {calls.openEvent, false};
    case TypeMutant:
        return {calls.openMutant, false};
    case TypeSemaphore:
        return {calls.openSemaphore, false};
    case TypeKey:
        return {calls.openKey, false};
    case TypeTimer:
        return {calls.openTimer, false};
    case TypeJob:
        // For a job, 0x1 assigns a process; its query right is 0x4.
        if (*access & JobAssignProcess)
            *access = (*access & ~JobAssignProcess) | JobQuery;
        return {calls.findJobOpen(), false};
    case TypeType:
    case TypePort:
    case TypeWindowStation:
        return {nullptr, false};
    default:
        return {nullptr, true};
    }
}

}  // namespace

const ObjectCalls& NativeObjectCalls() { return NativeCalls; }
const ObjectCalls& ActiveObjectCalls() { return *CurrentCalls; }
void SetObjectCalls(const ObjectCalls* calls) { CurrentCalls = calls ? calls : &NativeCalls; }

NTSTATUS ObjectAttributes::Init(const wchar_t* path)
{
    // A counted string holds at most 0xFFFE bytes, and its maximum adds the terminator.
    const size_t length = static_cast<size_t>(lstrlenW(path));
    if (length > 0x7FFE)
        return STATUS_NAME_TOO_LONG_NT;
    name_.Buffer = const_cast<wchar_t*>(path);
    name_.Length = static_cast<USHORT>(length * sizeof(wchar_t));
    name_.MaximumLength = static_cast<USHORT>(name_.Length + sizeof(wchar_t));
    attributes_ = {};
    attributes_.Length = sizeof(OBJECT_ATTRIBUTES);
    attributes_.ObjectName = &name_;
    attributes_.Attributes = OBJ_CASE_INSENSITIVE;
    return 0;
}

NTSTATUS OpenObjectByType(const wchar_t* path, int typeCode, ACCESS_MASK access, HANDLE* handle)
{
    const ObjectCalls& calls = ActiveObjectCalls();
    const OpenRow row = RowFor(calls, typeCode, &access);
    if (!row.asFile && !row.call)
        return StatusNoOpenForType;

    ObjectAttributes attributes;
    NTSTATUS status = attributes.Init(path);
    if (status < 0)
        return status;
    HANDLE opened = nullptr;
    if (row.asFile) {
        IO_STATUS_BLOCK io = {};
        status = calls.openFile(&opened, access, attributes.Get(), &io, ShareAll, 0);
    } else {
        status = row.call(&opened, access, attributes.Get());
    }
    if (status == 0)
        *handle = opened;
    return status;
}

int EnablePrivilege(const wchar_t* privilegeName)
{
    KernelHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, token.Receive()))
        return 0;
    TOKEN_PRIVILEGES privileges = {};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    BOOL adjusted = FALSE;
    if (LookupPrivilegeValueW(nullptr, privilegeName, &privileges.Privileges[0].Luid))
        adjusted = AdjustTokenPrivileges(token.Get(), FALSE, &privileges, sizeof(privileges), nullptr, nullptr);
    return adjusted ? 1 : 0;
}

NTSTATUS CloseObjectHandle(HANDLE handle) { return ActiveObjectCalls().close(handle); }

NTSTATUS OpenForProperties(const wchar_t* path, int typeCode, ObjectHandle* handle)
{
    const NTSTATUS status = OpenObjectByType(path, typeCode, OpenForInformation, handle->Receive());
    if (status == 0)
        return 0;
    return OpenObjectByType(path, typeCode, OpenForQuery, handle->Receive());
}
