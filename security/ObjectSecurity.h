// One object's security as the access engine needs it: the descriptor read
// as the security page reads it (the label too where the system gives it)
// and the type's generic mapping. kagero-dump's audit and the find window's
// search both read it so.
#pragma once

#include <windows.h>

#include "Owned.h"

// The object's security as read for an evaluation of its own.
struct SecuredObject {
    PSECURITY_DESCRIPTOR descriptor = nullptr;  // valid until the reader's next read
    DWORD length = 0;
    SECURITY_INFORMATION parts = 0;  // what was asked for
    GENERIC_MAPPING mapping = {};
    int rightsRow = -1;
};

class ObjectSecurityReader {
public:
    ObjectSecurityReader() = default;
    ObjectSecurityReader(const ObjectSecurityReader&) = delete;
    ObjectSecurityReader& operator=(const ObjectSecurityReader&) = delete;

    // Opens the object for this read alone and reads its descriptor into
    // *object, which points into this reader until the next read. 0, or the
    // failure; *opening says whether it was the open's.
    NTSTATUS Read(const wchar_t* path, int typeCode, const wchar_t* typeName, SecuredObject* object, bool* opening);

private:
    struct TypeMapping {
        wchar_t typeName[64];
        GENERIC_MAPPING mapping;
    };
    static const int MappingSlots = 64;
    static const DWORD DescriptorBytes = 4096;

    NTSTATUS Open(const wchar_t* path, int typeCode, HANDLE* handle, SECURITY_INFORMATION* parts);
    GENERIC_MAPPING MappingOf(HANDLE object, int typeCode, const wchar_t* typeName);
    NTSTATUS ReadDescriptor(HANDLE object, SECURITY_INFORMATION parts, PSECURITY_DESCRIPTOR* descriptor, ULONG* length);

    bool privileged_ = false;
    TypeMapping mappings_[MappingSlots] = {};
    int mappingCount_ = 0;
    LocalBlock larger_;  // a descriptor that did not fit the fixed buffer
    alignas(8) BYTE descriptor_[DescriptorBytes] = {};
};
