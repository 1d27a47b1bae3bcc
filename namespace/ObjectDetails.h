// More of what the kernel says about an open object, for the types the
// window has no panel for: a section's size, a timer's state, a completion
// object's queue, a job's processes; and a type's generic mapping. Each
// query reports its failure, so that a caller never shows a zero it did
// not read.
#pragma once

#include <windows.h>

// Opens path with access like OpenObjectByType, and also the type it does
// not open by name that the details and the audit read (TypeIoCompletion,
// whose query right is bit 0 like the others'). 0, or the open's status
// with *handle untouched.
NTSTATUS OpenForDetails(const wchar_t* path, int typeCode, ACCESS_MASK access, HANDLE* handle);

// What the kernel says of a section, timer, I/O completion object or job, in
// two numbers: a section's size in bytes and its SEC_* attributes; the time
// left before a timer is signalled (100 ns units; negative or zero for a
// timer not set) and whether it is (1) or not (0); the packets queued on a
// completion object; the processes now in a job.
struct TypeDetails {
    LONGLONG value = 0;
    ULONG flags = 0;
};

// 0 and *details; or the query's failure, STATUS_OBJECT_TYPE_MISMATCH_NT for
// a type with no such query, with *details untouched.
NTSTATUS QueryTypeDetails(HANDLE handle, int typeCode, TypeDetails* details);

// The generic mapping the kernel keeps for the object's type. A failure, or
// a mapping of zeros (the kernel did not fill it), is a non-zero status.
NTSTATUS QueryTypeGenericMapping(HANDLE handle, GENERIC_MAPPING* mapping);
