#include "SecurityAudit.h"

#include <sddl.h>

#include <cwchar>

#include "AccessCheck.h"
#include "AccessRights.h"
#include "ObjectDetails.h"
#include "ObjectOpen.h"

namespace {

const SECURITY_INFORMATION PagedParts = OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION |
                                        DACL_SECURITY_INFORMATION;
// Less than the page asks, enough for all but the SACL; READ_CONTROL alone is
// what an owner holds without a DACL entry of its own.
const ACCESS_MASK OpenForReadControl = READ_CONTROL;

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

bool ResolveAccount(const wchar_t* who, BYTE (&sid)[AccountSidBytes])
{
    LocalBlock converted;
    // SDDL abbreviations and SID strings; a SID string the parser refuses is no account name either.
    if (ConvertStringSidToSidW(who, reinterpret_cast<PSID*>(converted.Receive())))
        return SidCopy(converted.Get(), sid);
    if (IsSidString(who))
        return false;
    DWORD sidBytes = AccountSidBytes;
    wchar_t domain[256];
    DWORD domainChars = 256;
    SID_NAME_USE use;
    return LookupAccountNameW(nullptr, who, sid, &sidBytes, domain, &domainChars, &use) != 0;
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
    *parts = PagedParts | SACL_SECURITY_INFORMATION;
    if (status != 0 && status != StatusNoOpenForType) {
        status = OpenForDetails(path, typeCode, OpenForReadControl, handle);
        *parts = PagedParts;
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

void SecurityAudit::Fail(NTSTATUS status, SecurityFacts* facts)
{
    ObjectOpenFailureText(status, error_);
    facts->error = error_;
}

bool SecurityAudit::Read(const wchar_t* path, int typeCode, const wchar_t* typeName, SecurityFacts* facts)
{
    *facts = SecurityFacts();
    ACCESS_MASK valid = 0;
    FindAccessRow(typeCode, &valid, &facts->rightsRow);
    ObjectHandle object;
    SECURITY_INFORMATION parts = 0;
    const NTSTATUS status = Open(path, typeCode, object.Receive(), &parts);
    if (status != 0) {
        Fail(status, facts);
        return true;
    }
    DWORD needed = 0;
    PSECURITY_DESCRIPTOR descriptor = descriptor_;
    // Most descriptors fit the fixed buffer; a larger one gets a block of its own.
    LocalBlock larger;
    BOOL read = GetKernelObjectSecurity(object.Get(), parts, descriptor, DescriptorBytes, &needed);
    if (!read && GetLastError() == ERROR_INSUFFICIENT_BUFFER && needed > DescriptorBytes &&
        (larger.Reset(LocalAlloc(LMEM_FIXED, needed)), larger)) {
        descriptor = larger.Get();
        read = GetKernelObjectSecurity(object.Get(), parts, descriptor, needed, &needed);
    }
    if (!read) {
        Fail(GetLastError() == ERROR_ACCESS_DENIED ? STATUS_ACCESS_DENIED : STATUS_UNSUCCESSFUL_NT, facts);
        return true;
    }
    NameOwner(descriptor, facts);
    LocalBlock text;
    if (sddl_ && ConvertSecurityDescriptorToStringSecurityDescriptorW(
                     descriptor, SDDL_REVISION_1, parts, reinterpret_cast<LPWSTR*>(text.Receive()), nullptr) &&
        sddlText_.Assign(static_cast<const wchar_t*>(text.Get())))
        facts->sddl = sddlText_.Get();
    if (sidCount_ == 0)
        return true;
    const GENERIC_MAPPING mapping = MappingOf(object.Get(), typeCode, typeName);
    const ACCESS_MASK changing = ChangingRights(mapping);
    for (int i = 0; i < sidCount_; ++i) {
        ACCESS_MASK granted = 0;
        if (GrantedRights(descriptor, const_cast<BYTE*>(sids_[i]), mapping, &granted) != 0) {
            Fail(STATUS_UNSUCCESSFUL_NT, facts);
            return true;
        }
        facts->writable |= granted & changing;
    }
    facts->writableChecked = true;
    return facts->writable != 0;
}
