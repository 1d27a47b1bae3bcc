#include "AccessCheck.h"

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

bool HasOwnerRightsEntry(PACL dacl, PSID ownerRights)
{
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        ACE_HEADER* header = nullptr;
        if (!GetAce(dacl, i, reinterpret_cast<void**>(&header)))
            continue;
        if ((header->AceType == ACCESS_ALLOWED_ACE_TYPE || header->AceType == ACCESS_DENIED_ACE_TYPE) &&
            EqualSid(&reinterpret_cast<ACCESS_ALLOWED_ACE*>(header)->SidStart, ownerRights))
            return true;
    }
    return false;
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

DWORD GrantedRights(PSECURITY_DESCRIPTOR descriptor, PSID who, const GENERIC_MAPPING& mapping, ACCESS_MASK* granted)
{
    WellKnown everyone, ownerRights;
    if (!everyone.Init(&WorldAuthority, SECURITY_WORLD_RID) ||
        !ownerRights.Init(&CreatorAuthority, SECURITY_CREATOR_OWNER_RIGHTS_RID))
        return GetLastError();
    BOOL present = FALSE, defaulted = FALSE;
    PACL dacl = nullptr;
    if (!GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted))
        return GetLastError();
    if (!present || !dacl) {
        *granted = MapGenericBits(GENERIC_ALL, mapping);
        return 0;
    }
    PSID owner = nullptr;
    if (!GetSecurityDescriptorOwner(descriptor, &owner, &defaulted))
        return GetLastError();
    const bool isOwner = owner && (EqualSid(owner, who) || EqualSid(owner, everyone.sid));
    ACCESS_MASK allowed = 0, denied = 0;
    // The owner's implicit rights come before every entry: no deny takes them.
    if (isOwner && !HasOwnerRightsEntry(dacl, ownerRights.sid))
        allowed = READ_CONTROL | WRITE_DAC;
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        ACE_HEADER* header = nullptr;
        if (!GetAce(dacl, i, reinterpret_cast<void**>(&header)))
            return GetLastError();
        if ((header->AceFlags & InheritOnly) ||
            (header->AceType != ACCESS_ALLOWED_ACE_TYPE && header->AceType != ACCESS_DENIED_ACE_TYPE))
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
