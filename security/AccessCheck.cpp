#include "AccessCheck.h"

#include <cstddef>
#include <cwchar>

#include "ObjectTypes.h"

namespace {

const ACCESS_MASK Standard = STANDARD_RIGHTS_REQUIRED;  // DELETE | READ_CONTROL | WRITE_DAC | WRITE_OWNER
const ACCESS_MASK StandardAll = STANDARD_RIGHTS_ALL;    // ... and SYNCHRONIZE
const ACCESS_MASK Read = READ_CONTROL;
const ACCESS_MASK Sync = SYNCHRONIZE;
const BYTE InheritOnly = INHERIT_ONLY_ACE;

// Everyone (S-1-1-0) and OWNER RIGHTS (S-1-3-4).
SID_IDENTIFIER_AUTHORITY WorldAuthority = {SECURITY_WORLD_SID_AUTHORITY};
SID_IDENTIFIER_AUTHORITY CreatorAuthority = {SECURITY_CREATOR_SID_AUTHORITY};

struct WellKnown {
    BYTE sid[SECURITY_MAX_SID_SIZE];
    bool Init(SID_IDENTIFIER_AUTHORITY* authority, DWORD rid)
    {
        return InitializeSid(sid, authority, 1) && (*GetSidSubAuthority(sid, 0) = rid, true);
    }
};

// Folds the generic bits of an entry's mask into the type's own rights.
ACCESS_MASK MapGenericBits(ACCESS_MASK mask, const GENERIC_MAPPING& mapping)
{
    ACCESS_MASK mapped = mask & ~(GENERIC_READ | GENERIC_WRITE | GENERIC_EXECUTE | GENERIC_ALL);
    if (mask & GENERIC_READ)
        mapped |= mapping.GenericRead;
    if (mask & GENERIC_WRITE)
        mapped |= mapping.GenericWrite;
    if (mask & GENERIC_EXECUTE)
        mapped |= mapping.GenericExecute;
    if (mask & GENERIC_ALL)
        mapped |= mapping.GenericAll;
    return mapped;
}

const DWORD SidOffset = offsetof(ACCESS_ALLOWED_ACE, SidStart);

bool IsCounted(const ACE_HEADER* header)
{
    return header->AceType == ACCESS_ALLOWED_ACE_TYPE || header->AceType == ACCESS_DENIED_ACE_TYPE;
}

// A SID with room bytes from its start: its header and every sub-authority within them.
bool SidFits(const BYTE* sid, size_t room) { return room >= 8 && room >= 8 + 4 * static_cast<size_t>(sid[1]); }

// The entries by their own sizes, never past the list's, the list never past room: false for an entry too short
// for its header or SID or running past the list. Notes an OWNER RIGHTS entry and counts the entries of the types
// not evaluated; inherit-only ones control only what inherits them.
bool CheckDacl(const ACL* dacl, size_t room, PSID ownerRights, bool* hasOwnerRights, int* unevaluated)
{
    if (room < sizeof(ACL) || dacl->AclSize < sizeof(ACL) || dacl->AclSize > room)
        return false;
    const BYTE* at = reinterpret_cast<const BYTE*>(dacl) + sizeof(ACL);
    const BYTE* const end = reinterpret_cast<const BYTE*>(dacl) + dacl->AclSize;
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        const ACE_HEADER* header = reinterpret_cast<const ACE_HEADER*>(at);
        const size_t left = static_cast<size_t>(end - at);
        if (left < sizeof(ACE_HEADER) || header->AceSize < sizeof(ACE_HEADER) || header->AceSize > left)
            return false;
        const bool counted = IsCounted(header);
        if (counted && (header->AceSize < SidOffset || !SidFits(at + SidOffset, header->AceSize - SidOffset)))
            return false;
        if (!(header->AceFlags & InheritOnly)) {
            if (!counted)
                ++*unevaluated;
            else if (EqualSid(const_cast<BYTE*>(at + SidOffset), ownerRights))
                *hasOwnerRights = true;
        }
        at += header->AceSize;
    }
    return true;
}

}  // namespace

// Sections, keys, files and processes as the SDK defines their *_GENERIC_* or
// *_READ/_WRITE/_EXECUTE/_ALL_ACCESS; the small synchronization objects query
// with read, modify with write, wait with execute.
const GenericMappingRow GenericMappingRows[GenericMappingRowCount] = {
    {TypeDirectory, {Read | 0x3, Read | 0xC, Read | 0x3, Standard | 0xF}},
    {TypeSymbolicLink, {Read | 0x1, Read, Read | 0x1, Standard | 0x1}},
    {TypeSection, {Read | 0x5, Read | 0x2, Read | 0x8, Standard | 0x1F}},
    {TypeEvent, {Read | 0x1, Read | 0x2, Read | Sync, StandardAll | 0x3}},
    {TypeEventPair, {Read, Read, Read | Sync, StandardAll}},
    {TypeMutant, {Read | 0x1, Read, Read | Sync, StandardAll | 0x1}},
    {TypeSemaphore, {Read | 0x1, Read | 0x2, Read | Sync, StandardAll | 0x3}},
    {TypeTimer, {Read | 0x1, Read | 0x2, Read | Sync, StandardAll | 0x3}},
    {TypeKey, {Read | 0x19, Read | 0x6, Read | 0x19, Standard | 0x3F}},
    {TypeJob, {Read | 0x4, Read | 0xB, Read | Sync, StandardAll | 0x1F}},
    {TypeProcess, {Read | 0x410, Read | 0xBEA, Read | Sync | 0x1000, StandardAll | 0xFFFF}},
    {TypeThread, {Read | 0x48, Read | 0x37, Read | Sync | 0x1800, StandardAll | 0xFFFF}},
    {TypeDevice, {Read | Sync | 0x89, Read | Sync | 0x116, Read | Sync | 0xA0, StandardAll | 0x1FF}},
    {TypeIoCompletion, {Read | 0x1, Read | 0x2, Read | Sync, StandardAll | 0x3}},
};

GENERIC_MAPPING DocumentedGenericMapping(int typeCode, const wchar_t* typeName)
{
    for (const GenericMappingRow& row : GenericMappingRows)
        if (row.key == typeCode)
            return row.mapping;
    // Files are opened as devices are.
    if (typeName && wcscmp(typeName, L"File") == 0)
        return DocumentedGenericMapping(TypeDevice, nullptr);
    return {Read, Read, Read, StandardAll | 0x1};
}

ACCESS_MASK ChangingRights(const GENERIC_MAPPING& mapping)
{
    const ACCESS_MASK generic = GENERIC_READ | GENERIC_WRITE | GENERIC_EXECUTE | GENERIC_ALL;
    return (mapping.GenericWrite & ~(READ_CONTROL | SYNCHRONIZE | generic)) | DELETE | WRITE_DAC | WRITE_OWNER;
}

DWORD GrantedRights(PSECURITY_DESCRIPTOR descriptor, DWORD length, PSID who, const GENERIC_MAPPING& mapping,
                    ACCESS_MASK* granted, int* unevaluated)
{
    *unevaluated = 0;
    WellKnown everyone, ownerRights;
    if (!everyone.Init(&WorldAuthority, SECURITY_WORLD_RID) ||
        !ownerRights.Init(&CreatorAuthority, SECURITY_CREATOR_OWNER_RIGHTS_RID))
        return GetLastError();
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    BOOL present = FALSE, defaulted = FALSE;
    PACL dacl = nullptr;
    PSID owner = nullptr;
    if (length < sizeof(SECURITY_DESCRIPTOR_RELATIVE) || !GetSecurityDescriptorControl(descriptor, &control, &revision) ||
        !GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted) ||
        !GetSecurityDescriptorOwner(descriptor, &owner, &defaulted))
        return ERROR_INVALID_SECURITY_DESCR;
    // The parts of a descriptor as the system hands it lie within its length; an absolute one's where they are.
    const BYTE* const start = static_cast<const BYTE*>(descriptor);
    const auto room = [&](const void* part) {
        const BYTE* at = static_cast<const BYTE*>(part);
        return !(control & SE_SELF_RELATIVE) ? static_cast<size_t>(-1)
               : at >= start && at < start + length ? static_cast<size_t>(start + length - at) : 0;
    };
    if (owner && !SidFits(static_cast<const BYTE*>(owner), room(owner)))
        return ERROR_INVALID_SECURITY_DESCR;
    if (!present || !dacl) {
        *granted = MapGenericBits(GENERIC_ALL, mapping);
        return 0;
    }
    bool hasOwnerRights = false;
    if (!CheckDacl(dacl, room(dacl), ownerRights.sid, &hasOwnerRights, unevaluated))
        return ERROR_INVALID_ACL;
    const bool isOwner = owner && (EqualSid(owner, who) || EqualSid(owner, everyone.sid));
    ACCESS_MASK allowed = 0, denied = 0;
    // The owner's implicit rights come before every entry: no deny takes them.
    if (isOwner && !hasOwnerRights)
        allowed = READ_CONTROL | WRITE_DAC;
    const BYTE* at = reinterpret_cast<const BYTE*>(dacl) + sizeof(ACL);
    for (DWORD i = 0; i < dacl->AceCount; at += reinterpret_cast<const ACE_HEADER*>(at)->AceSize, ++i) {
        const ACE_HEADER* header = reinterpret_cast<const ACE_HEADER*>(at);
        if ((header->AceFlags & InheritOnly) || !IsCounted(header))
            continue;
        // Allowed and denied entries share their layout.
        const ACCESS_ALLOWED_ACE* ace = reinterpret_cast<const ACCESS_ALLOWED_ACE*>(header);
        PSID sid = const_cast<DWORD*>(&ace->SidStart);
        const bool applies = EqualSid(sid, who) || EqualSid(sid, everyone.sid) ||
                             (isOwner && EqualSid(sid, ownerRights.sid));
        if (!applies)
            continue;
        const ACCESS_MASK mask = MapGenericBits(ace->Mask, mapping);
        if (header->AceType == ACCESS_ALLOWED_ACE_TYPE)
            allowed |= mask & ~denied;
        else
            denied |= mask & ~allowed;
    }
    *granted = allowed;
    return 0;
}
