#include "SecurityAudit.h"

#include <sddl.h>

#include <cstring>
#include <cwchar>

#include "AccessCheck.h"
#include "AccessRights.h"
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
const NTSTATUS StatusInvalidAcl = static_cast<NTSTATUS>(0xC0000077L);

// A Win32 error as the status it stands for: the words are the statuses'.
NTSTATUS FromWin32(DWORD error)
{
    return error == ERROR_INVALID_ACL ? StatusInvalidAcl
                                      : static_cast<NTSTATUS>(error == ERROR_NOT_ENOUGH_MEMORY ? 0xC0000017L
                                                                                                : 0x80070000L | error);
}

bool SidCopy(PSID sid, BYTE (&into)[AccountSidBytes])
{
    return IsValidSid(sid) && CopySid(AccountSidBytes, into, sid);
}

bool IsSidString(const wchar_t* text) { return (text[0] == L'S' || text[0] == L's') && text[1] == L'-'; }

// DOMAIN\name, or name alone when it has no domain; false when it has no name.
bool AccountName(PSID sid, wchar_t* text, DWORD chars)
{
    wchar_t name[256], domain[256];
    DWORD nameChars = 256, domainChars = 256;
    SID_NAME_USE use;
    if (!LookupAccountSidW(nullptr, sid, name, &nameChars, domain, &domainChars, &use) || !name[0])
        return false;
    const size_t needed = (domain[0] ? lstrlenW(domain) + 1 : 0) + lstrlenW(name) + 1;
    if (needed > chars)
        return false;
    text[0] = L'\0';
    if (domain[0]) {
        lstrcpyW(text, domain);
        lstrcatW(text, L"\\");
    }
    lstrcatW(text, name);
    return true;
}

}  // namespace

bool ResolveAccount(const wchar_t* who, BYTE (&sid)[AccountSidBytes], const char** why)
{
    const char* unused;
    why = why ? why : &unused;
    *why = who[0] ? u8"アカウントが見つかりません: " : u8"--writable-by の値が空です";
    LocalBlock converted;
    wchar_t name[256], domain[256];
    DWORD nameChars = 256, domainChars = 256, sidBytes = AccountSidBytes;
    SID_NAME_USE use = SidTypeUser;
    // SDDL abbreviations and SID strings; a SID string the parser refuses is no account name either.
    if (!who[0]) {
        return false;
    } else if (ConvertStringSidToSidW(who, reinterpret_cast<PSID*>(converted.Receive()))) {
        if (!SidCopy(converted.Get(), sid))
            return false;
        LookupAccountSidW(nullptr, sid, name, &nameChars, domain, &domainChars, &use);
    } else if (IsSidString(who) ||
               !LookupAccountNameW(nullptr, who, sid, &sidBytes, domain, &domainChars, &use)) {
        return false;
    }
    const SID_IDENTIFIER_AUTHORITY creator = SECURITY_CREATOR_SID_AUTHORITY;
    const bool placeholder = memcmp(GetSidIdentifierAuthority(sid), &creator, sizeof(creator)) == 0;
    *why = u8"アカウントでもグループでもありません: ";
    return !placeholder && use != SidTypeDomain && use != SidTypeDeletedAccount && use != SidTypeInvalid &&
           use != SidTypeUnknown && use != SidTypeLabel;
}

SecurityAudit::SecurityAudit(const BYTE (*sids)[AccountSidBytes], int count, bool sddl)
    : sids_(sids), sidCount_(count), sddl_(sddl)
{
}

// The page's open first, with the SACL; else read control alone, without it.
NTSTATUS SecurityAudit::Open(const wchar_t* path, int typeCode, HANDLE* handle, SECURITY_INFORMATION* parts)
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
GENERIC_MAPPING SecurityAudit::MappingOf(HANDLE object, int typeCode, const wchar_t* typeName)
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

void SecurityAudit::NameOwner(PSECURITY_DESCRIPTOR descriptor, SecurityFacts* facts)
{
    PSID owner = nullptr;
    BOOL defaulted = FALSE;
    if (!GetSecurityDescriptorOwner(descriptor, &owner, &defaulted) || !owner || !IsValidSid(owner))
        return;
    // Neighbours mostly share their owner: the name is looked up once for a run of them.
    if (!ownerName_[0] || !EqualSid(owner, lastOwner_)) {
        ownerName_[0] = L'\0';
        LocalBlock text;
        if (!AccountName(owner, ownerName_, OwnerChars) &&
            ConvertSidToStringSidW(owner, reinterpret_cast<LPWSTR*>(text.Receive())))
            lstrcpynW(ownerName_, static_cast<const wchar_t*>(text.Get()), OwnerChars);
        if (!SidCopy(owner, lastOwner_))
            ownerName_[0] = L'\0';
    }
    if (ownerName_[0])
        facts->owner = ownerName_;
}

void SecurityAudit::Fail(NTSTATUS status, SecurityFacts* facts, bool opening)
{
    if (opening)
        ObjectOpenFailureText(status, error_);
    else
        SecurityFailureText(status, error_);
    facts->error = error_;
}

// The descriptor into the fixed buffer, else a block of its own; the label
// is left out where the system does not know it.
NTSTATUS SecurityAudit::ReadDescriptor(HANDLE object, SECURITY_INFORMATION parts, LocalBlock& larger,
                                       PSECURITY_DESCRIPTOR* descriptor, ULONG* length)
{
    *descriptor = descriptor_;
    NTSTATUS status = NtQuerySecurityObject(object, parts, descriptor_, DescriptorBytes, length);
    if (status == STATUS_BUFFER_TOO_SMALL_NT && *length > DescriptorBytes &&
        (larger.Reset(LocalAlloc(LMEM_FIXED, *length)), larger)) {
        *descriptor = larger.Get();
        status = NtQuerySecurityObject(object, parts, *descriptor, *length, length);
    }
    if (status < 0 && (parts & LABEL_SECURITY_INFORMATION))
        return ReadDescriptor(object, parts & ~LABEL_SECURITY_INFORMATION, larger, descriptor, length);
    return status;
}

bool SecurityAudit::Read(const wchar_t* path, int typeCode, const wchar_t* typeName, SecurityFacts* facts)
{
    *facts = SecurityFacts();
    ACCESS_MASK valid = 0;
    FindAccessRow(typeCode, &valid, &facts->rightsRow);
    ObjectHandle object;
    SECURITY_INFORMATION parts = 0;
    NTSTATUS status = Open(path, typeCode, object.Receive(), &parts);
    if (status != 0) {
        Fail(status, facts, true);
        return true;
    }
    // Most descriptors fit the fixed buffer; a larger one gets a block of its own.
    LocalBlock larger;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ULONG length = 0;
    status = ReadDescriptor(object.Get(), parts, larger, &descriptor, &length);
    if (status < 0) {
        Fail(status, facts, false);
        return true;
    }
    LocalBlock text;
    if (sddl_) {
        NameOwner(descriptor, facts);
        if (!ConvertSecurityDescriptorToStringSecurityDescriptorW(descriptor, SDDL_REVISION_1, parts,
                                                                  reinterpret_cast<LPWSTR*>(text.Receive()), nullptr)) {
            Fail(FromWin32(GetLastError()), facts, false);
            return true;
        }
        if (!sddlText_.Assign(static_cast<const wchar_t*>(text.Get()))) {
            Fail(STATUS_NO_MEMORY_NT, facts, false);
            return true;
        }
        facts->sddl = sddlText_.Get();
    }
    if (sidCount_ == 0)
        return true;
    const GENERIC_MAPPING mapping = MappingOf(object.Get(), typeCode, typeName);
    const ACCESS_MASK changing = ChangingRights(mapping);
    for (int i = 0; i < sidCount_; ++i) {
        ACCESS_MASK granted = 0;
        const DWORD error =
            GrantedRights(descriptor, length, const_cast<BYTE*>(sids_[i]), mapping, &granted, &facts->unevaluated);
        if (error != 0) {
            Fail(FromWin32(error), facts, false);
            return true;
        }
        facts->writable |= granted & changing;
    }
    facts->writableChecked = true;
    return facts->writable != 0;
}
