// Declarations of the ntdll object API that the SDK headers lack, the one
// way object attributes are built, and a small owner for directory handles.
#pragma once

#include <windows.h>
#include <winternl.h>

#include "NtStatus.h"
#include "Owned.h"
#include "WindowsLayout.h"

#define DIRECTORY_QUERY_RIGHT 0x0001

// One entry as NtQueryDirectoryObject returns it.
struct ObjectDirectoryInformation {
    UNICODE_STRING Name;
    UNICODE_STRING TypeName;
};

// Windows' layouts (32-bit, 64-bit): the 32-bit build cannot run here, so a wrong one stops its build.
static_assert(sizeof(UNICODE_STRING) == WindowsLayout(8, 16) && offsetof(UNICODE_STRING, MaximumLength) == 2
              && offsetof(UNICODE_STRING, Buffer) == WindowsLayout(4, 8), "UNICODE_STRING");
static_assert(sizeof(OBJECT_ATTRIBUTES) == WindowsLayout(24, 48)
              && offsetof(OBJECT_ATTRIBUTES, ObjectName) == WindowsLayout(8, 16)
              && offsetof(OBJECT_ATTRIBUTES, Attributes) == WindowsLayout(12, 24), "OBJECT_ATTRIBUTES");
static_assert(sizeof(ObjectDirectoryInformation) == WindowsLayout(16, 32)
              && offsetof(ObjectDirectoryInformation, TypeName) == WindowsLayout(8, 16), "directory entry");

extern "C" {
NTSYSAPI NTSTATUS NTAPI NtOpenDirectoryObject(PHANDLE directory, ACCESS_MASK access,
                                              POBJECT_ATTRIBUTES attributes);
NTSYSAPI NTSTATUS NTAPI NtQueryDirectoryObject(HANDLE directory, PVOID buffer, ULONG length,
                                               BOOLEAN returnSingleEntry, BOOLEAN restartScan,
                                               PULONG context, PULONG returnLength);
NTSYSAPI NTSTATUS NTAPI NtOpenSection(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES);
NTSYSAPI NTSTATUS NTAPI NtOpenSymbolicLinkObject(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES);
NTSYSAPI NTSTATUS NTAPI NtOpenEvent(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES);
NTSYSAPI NTSTATUS NTAPI NtOpenMutant(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES);
NTSYSAPI NTSTATUS NTAPI NtOpenSemaphore(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES);
NTSYSAPI NTSTATUS NTAPI NtOpenKey(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES);
NTSYSAPI NTSTATUS NTAPI NtOpenTimer(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES);
NTSYSAPI NTSTATUS NTAPI NtQuerySymbolicLinkObject(HANDLE, PUNICODE_STRING, PULONG);
NTSYSAPI NTSTATUS NTAPI NtQueryEvent(HANDLE, ULONG, PVOID, ULONG, PULONG);
NTSYSAPI NTSTATUS NTAPI NtQueryMutant(HANDLE, ULONG, PVOID, ULONG, PULONG);
NTSYSAPI NTSTATUS NTAPI NtQuerySemaphore(HANDLE, ULONG, PVOID, ULONG, PULONG);
// The kernel's own upper case of one UTF-16 unit, as it compares names.
NTSYSAPI WCHAR NTAPI RtlUpcaseUnicodeChar(WCHAR);
}

// The name and attributes every open passes: the path, case-insensitive,
// no root, no descriptor. A path too long for a counted string is refused,
// never cut (a cut path names some other object).
class ObjectAttributes {
public:
    NTSTATUS Init(const wchar_t* path);
    POBJECT_ATTRIBUTES Get() { return &attributes_; }

private:
    UNICODE_STRING name_ = {};
    OBJECT_ATTRIBUTES attributes_ = {};
};

// The three native calls the walk makes. Tests replace them to produce
// failures the platform cannot be made to produce on demand.
struct DirectoryCalls {
    NTSTATUS(NTAPI* open)(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES);
    NTSTATUS(NTAPI* query)(HANDLE, PVOID, ULONG, BOOLEAN, BOOLEAN, PULONG, PULONG);
    NTSTATUS(NTAPI* close)(HANDLE);
};

const DirectoryCalls& ActiveDirectoryCalls();
// Pass null to go back to ntdll's own calls.
void SetDirectoryCalls(const DirectoryCalls* calls);

// Closes through the walk's seam.
NTSTATUS CloseDirectoryHandle(HANDLE handle);
using DirectoryHandle = OwnedHandle<CloseDirectoryHandle>;
