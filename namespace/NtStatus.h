// The NT status values Kagero names, in one place: the native calls' answers
// it tells apart, and the same values where it fails for those reasons
// itself. The _NT names keep clear of the SDK's (winnt.h makes some DWORDs).
#pragma once

#include <windows.h>
#include <winternl.h>

#define STATUS_BUFFER_OVERFLOW_NT ((NTSTATUS)0x80000005L)
#define STATUS_NO_MORE_ENTRIES_NT ((NTSTATUS)0x8000001AL)
#define STATUS_UNSUCCESSFUL_NT ((NTSTATUS)0xC0000001L)
#define STATUS_INFO_LENGTH_MISMATCH_NT ((NTSTATUS)0xC0000004L)
#define STATUS_NO_MEMORY_NT ((NTSTATUS)0xC0000017L)
#ifndef STATUS_ACCESS_DENIED
#define STATUS_ACCESS_DENIED ((NTSTATUS)0xC0000022L)
#endif
#define STATUS_BUFFER_TOO_SMALL_NT ((NTSTATUS)0xC0000023L)
#define STATUS_OBJECT_TYPE_MISMATCH_NT ((NTSTATUS)0xC0000024L)
#define STATUS_OBJECT_NAME_INVALID_NT ((NTSTATUS)0xC0000033L)
#define STATUS_OBJECT_NAME_NOT_FOUND_NT ((NTSTATUS)0xC0000034L)
#define STATUS_OBJECT_PATH_NOT_FOUND_NT ((NTSTATUS)0xC000003AL)
#define STATUS_OBJECT_PATH_SYNTAX_BAD_NT ((NTSTATUS)0xC000003BL)
#define STATUS_SHARING_VIOLATION_NT ((NTSTATUS)0xC0000043L)
#define STATUS_PRIVILEGE_NOT_HELD_NT ((NTSTATUS)0xC0000061L)
#define STATUS_NAME_TOO_LONG_NT ((NTSTATUS)0xC0000106L)
#define STATUS_NOT_FOUND_NT ((NTSTATUS)0xC0000225L)

// OpenObjectByType's answer for a type the system does not open by name:
// Kagero's own value, no system's.
const NTSTATUS StatusNoOpenForType = static_cast<NTSTATUS>(0xFFFFFFFF);
