// Opens a named object with the native open call of its type, and the two
// small companions: privileges and handle closing.
#pragma once

#include <windows.h>
#include <winternl.h>

#include "NativeApi.h"

// Access masks the property sheet, the General page and the security
// provider ask for.
const ACCESS_MASK OpenForInformation = 0x01020001;  // ACCESS_SYSTEM_SECURITY | READ_CONTROL | query
const ACCESS_MASK OpenForQuery = 0x00000001;
const ACCESS_MASK OpenForSecurityWrite = 0x000C0000;      // WRITE_DAC | WRITE_OWNER
const ACCESS_MASK OpenForAuditWrite = 0x010C0000;         // ... and ACCESS_SYSTEM_SECURITY

typedef NTSTATUS(NTAPI* NativeOpenCall)(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES);
typedef NTSTATUS(NTAPI* NativeOpenFileCall)(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES, PIO_STATUS_BLOCK, ULONG, ULONG);
// NtQueryObject, NtQueryEvent, NtQueryMutant and NtQuerySemaphore share this shape.
typedef NTSTATUS(NTAPI* NativeQueryCall)(HANDLE, ULONG, PVOID, ULONG, PULONG);
typedef NTSTATUS(NTAPI* NativeQueryLinkCall)(HANDLE, PUNICODE_STRING, PULONG);

// Every native call the opens and queries make. Tests replace them to see
// the access each open passes, to count opens and closes, and to produce
// what the platform will not produce on demand.
struct ObjectCalls {
    NativeOpenCall openDirectory;
    NativeOpenCall openSection;
    NativeOpenCall openSymbolicLink;
    NativeOpenCall openEvent;
    NativeOpenCall openMutant;
    NativeOpenCall openSemaphore;
    NativeOpenCall openKey;
    NativeOpenCall openTimer;
    NativeOpenFileCall openFile;
    // NtOpenJobObject is looked up at run time; null when the system lacks it.
    NativeOpenCall (*findJobOpen)();
    NTSTATUS(NTAPI* close)(HANDLE);
    NativeQueryCall queryObject;
    NativeQueryCall queryEvent;
    NativeQueryCall queryMutant;
    NativeQueryCall querySemaphore;
    NativeQueryLinkCall querySymbolicLink;
};

const ObjectCalls& NativeObjectCalls();
const ObjectCalls& ActiveObjectCalls();
// Pass null to go back to ntdll's own calls.
void SetObjectCalls(const ObjectCalls* calls);

// Opens path with the open call of typeCode (an ObjectTypeCode) and the
// access the type's row derives from access. 0: *handle is the caller's to
// close. Otherwise the open's status, or StatusNoOpenForType, and *handle
// is left as it was.
NTSTATUS OpenObjectByType(const wchar_t* path, int typeCode, ACCESS_MASK access, HANDLE* handle);

// Switches a privilege on in the process token: 1 when it was adjusted
// (which does not mean the account holds it), else 0.
int EnablePrivilege(const wchar_t* privilegeName);

// Closes with NtClose (through the seam) and returns its status.
NTSTATUS CloseObjectHandle(HANDLE handle);

// Owns one object handle and closes it through the seam.
using ObjectHandle = OwnedHandle<CloseObjectHandle>;

// The property sheet's and the General page's open: the full information
// mask first, the query bit alone when that is refused. Returns the status
// of the last attempt.
NTSTATUS OpenForProperties(const wchar_t* path, int typeCode, ObjectHandle* handle);
