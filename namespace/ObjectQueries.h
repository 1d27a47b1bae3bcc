// What the kernel says about an open object: the counters every object has,
// its type's name and count, and the state of links, events, mutants and
// semaphores. Each query returns its status, and a failed one leaves zeros
// and empty texts: a caller that shows what it read checks the status
// first, since a zero it did not read is no value.
#pragma once

#include <windows.h>
#include <winternl.h>

#include <cstddef>

#include "GrowingArray.h"
#include "WideText.h"
#include "WindowsLayout.h"

const ULONG ObjectBasicInformationBytes = 56;
// Windows' layout, the same in both builds; the 32-bit build cannot run here, so a wrong one stops its build.
static_assert(sizeof(OBJECT_BASIC_INFORMATION) == 56 && offsetof(OBJECT_BASIC_INFORMATION, HandleCount) == 8
              && offsetof(OBJECT_BASIC_INFORMATION, PointerCount) == 12
              && offsetof(OBJECT_BASIC_INFORMATION, CreateTime) == 48, "OBJECT_BASIC_INFORMATION");

// OBJECT_TYPE_INFORMATION as far as it is read: the type's name and count,
// and its generic mapping. The query gives it, with the name's characters
// after it, in TypeQueryBytes.
struct TypeInformationHead {
    UNICODE_STRING TypeName;
    ULONG TotalNumberOfObjects;
    ULONG OtherCounters[11];
    ULONG InvalidAttributes;
    GENERIC_MAPPING GenericMapping;
    ULONG ValidAccessMask;
};
const ULONG TypeQueryBytes = 1024;
// Windows' layouts (32-bit, 64-bit): the 32-bit build cannot run here, so a wrong one stops its build.
static_assert(offsetof(TypeInformationHead, TotalNumberOfObjects) == WindowsLayout(8, 16)
              && offsetof(TypeInformationHead, GenericMapping) == WindowsLayout(60, 68)
              && offsetof(TypeInformationHead, ValidAccessMask) == WindowsLayout(76, 84)
              && sizeof(GENERIC_MAPPING) == 16, "OBJECT_TYPE_INFORMATION");
// Queries the type information of an open object into buffer, which holds
// TypeQueryBytes and is aligned for the head. The query's status; *returned
// the bytes it gave.
NTSTATUS QueryTypeInformation(HANDLE handle, BYTE* buffer, ULONG* returned);

// The kernel's name of the object behind handle, in buffer (grown from a
// small first try to the size the kernel asks, within a counted string's
// most): 0 with *name and *length (0 for an unnamed object), the query's
// failure, or STATUS_NO_MEMORY_NT.
NTSTATUS QueryObjectName(HANDLE handle, GrowingArray<BYTE>* buffer, const wchar_t** name, size_t* length);

// Whether text, which a query put into buffer (size bytes), lies wholly
// inside it: only then is it read.
bool LiesInside(const UNICODE_STRING& text, const BYTE* buffer, size_t size);

const ULONG ObjectPermanentFlag = 0x10;  // OBJ_PERMANENT in the basic information's attributes
const int TypeNameChars = 1024;

// Copies bytes (at most 56) of the basic information into *record (zeros
// when the query fails). The query's status.
NTSTATUS QueryBasicInformation(HANDLE handle, OBJECT_BASIC_INFORMATION* record, ULONG bytes);
// The type name into typeName (typeNameChars characters, terminator
// included; a name that does not fit is left empty, the query still
// succeeded) and the type's object count into *count: empty and 0 when the
// query fails. The query's status.
NTSTATUS QueryTypeNameAndCount(HANDLE handle, wchar_t* typeName, int typeNameChars, LONG* count);
// Both of the above: the basic query's failure, else the type query's
// status.
NTSTATUS QueryObjectInfo(HANDLE handle, OBJECT_BASIC_INFORMATION* record, ULONG bytes, wchar_t* typeName,
                         int typeNameChars, LONG* count);

// The link's whole target, however long, and the object's creation time
// (100 ns units since 1601, UTC; 0 when not known). The target query's
// status: on a failure the target is empty.
NTSTATUS QuerySymbolicLink(HANDLE handle, WideText* target, LONGLONG* creationTime);

// Event type (0 manual reset, 1 auto reset) and state (non-zero: signalled).
// Each state query returns its status; both fields are zero on a failure.
NTSTATUS QueryEventState(HANDLE handle, LONG* eventType, LONG* state);
// Current count (1 free, 0 or less owned) and a flag word: owned-by-caller
// in bits 0-7, abandoned in bits 8-15.
NTSTATUS QueryMutantState(HANDLE handle, LONG* currentCount, ULONG* flags);
NTSTATUS QuerySemaphoreState(HANDLE handle, LONG* currentCount, LONG* maximumCount);
