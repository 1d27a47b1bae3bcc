#include "ObjectSecurity.h"

#include <cwchar>

#include "AccessCheck.h"
#include "AccessRights.h"
#include "NtStatus.h"
#include "ObjectDetails.h"
#include "ObjectOpen.h"

extern "C" NTSYSAPI NTSTATUS NTAPI NtQuerySecurityObject(HANDLE, SECURITY_INFORMATION, PSECURITY_DESCRIPTOR, ULONG,
                                                         PULONG);

namespace {

const SECURITY_INFORMATION PagedParts = OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION |
                                        DACL_SECURITY_INFORMATION;
// Less than the page asks, enough for all but the SACL; READ_CONTROL alone is
// what an owner holds without a DACL entry of its own.
const ACCESS_MASK OpenForReadControl = READ_CONTROL;

}  // namespace

// The page's open first, with the SACL; else read control alone, without it.
NTSTATUS ObjectSecurityReader::Open(const wchar_t* path, int typeCode, HANDLE* handle, SECURITY_INFORMATION* parts)
{
    if (!privileged_) {
        // As the property sheet does: without it the system refuses the SACL.
        EnablePrivilege(L"SeSecurityPrivilege");
        privileged_ = true;
    }
    NTSTATUS status = OpenForDetails(path, typeCode, OpenForInformation, handle);
    *parts = PagedParts | LABEL_SECURITY_INFORMATION | SACL_SECURITY_INFORMATION;
    if (status != 0 && status != StatusNoOpenForType) {
        status = OpenForDetails(path, typeCode, OpenForReadControl, handle);
        *parts = PagedParts | LABEL_SECURITY_INFORMATION;
    }
    return status;
}

// The kernel's own mapping where it gives one, else the documented one; once per type.
GENERIC_MAPPING ObjectSecurityReader::MappingOf(HANDLE object, int typeCode, const wchar_t* typeName)
{
    for (int i = 0; i < mappingCount_; ++i)
        if (wcscmp(mappings_[i].typeName, typeName) == 0)
            return mappings_[i].mapping;
    GENERIC_MAPPING mapping;
    if (QueryTypeGenericMapping(object, &mapping) != 0)
        mapping = DocumentedGenericMapping(typeCode, typeName);
    if (mappingCount_ < MappingSlots && lstrlenW(typeName) < 64) {
        lstrcpyW(mappings_[mappingCount_].typeName, typeName);
        mappings_[mappingCount_++].mapping = mapping;
    }
    return mapping;
}

// The descriptor into the fixed buffer, else a block of its own; the label
// is left out where the system does not know it.
NTSTATUS ObjectSecurityReader::ReadDescriptor(HANDLE object, SECURITY_INFORMATION parts,
                                              PSECURITY_DESCRIPTOR* descriptor, ULONG* length)
{
    *descriptor = descriptor_;
    NTSTATUS status = NtQuerySecurityObject(object, parts, descriptor_, DescriptorBytes, length);
    if (status == STATUS_BUFFER_TOO_SMALL_NT && *length > DescriptorBytes &&
        (larger_.Reset(LocalAlloc(LMEM_FIXED, *length)), larger_)) {
        *descriptor = larger_.Get();
        status = NtQuerySecurityObject(object, parts, *descriptor, *length, length);
    }
    if (status < 0 && (parts & LABEL_SECURITY_INFORMATION))
        return ReadDescriptor(object, parts & ~LABEL_SECURITY_INFORMATION, descriptor, length);
    return status;
}

NTSTATUS ObjectSecurityReader::Read(const wchar_t* path, int typeCode, const wchar_t* typeName, SecuredObject* object,
                                    bool* opening)
{
    *object = SecuredObject();
    ACCESS_MASK valid = 0;
    FindAccessRow(typeCode, &valid, &object->rightsRow);
    ObjectHandle handle;
    SECURITY_INFORMATION parts = 0;
    *opening = true;
    NTSTATUS status = Open(path, typeCode, handle.Receive(), &parts);
    if (status != 0)
        return status;
    *opening = false;
    ULONG length = 0;
    status = ReadDescriptor(handle.Get(), parts, &object->descriptor, &length);
    if (status < 0)
        return status;
    object->length = length;
    object->parts = parts;
    object->mapping = MappingOf(handle.Get(), typeCode, typeName);
    return 0;
}
