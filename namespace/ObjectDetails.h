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

// Size in bytes and the SEC_* attributes of a section.
NTSTATUS QuerySectionDetails(HANDLE handle, LONGLONG* size, ULONG* attributes);
// Whether the timer is signalled, and the time left before it is (100 ns
// units; the kernel gives a negative or zero value for a timer not set).
NTSTATUS QueryTimerDetails(HANDLE handle, bool* signaled, LONGLONG* remaining);
// The number of packets queued on an I/O completion object.
NTSTATUS QueryIoCompletionDepth(HANDLE handle, LONG* depth);
// The number of processes now in a job.
NTSTATUS QueryJobActiveProcesses(HANDLE handle, ULONG* active);

// The generic mapping the kernel keeps for the object's type. A failure, or
// a mapping of zeros (the kernel did not fill it), is a non-zero status.
NTSTATUS QueryTypeGenericMapping(HANDLE handle, GENERIC_MAPPING* mapping);
