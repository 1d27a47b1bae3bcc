#include "SecurityAudit.h"

#include <sddl.h>

#include <cstring>
#include <cwchar>

#include "AccessCheck.h"
#include "AccessRights.h"
#include "DumpMessages.h"
#include "DumpSubjects.h"
#include "ObjectDetails.h"
#include "ObjectOpen.h"
#include "SidText.h"

extern "C" NTSYSAPI NTSTATUS NTAPI NtQuerySecurityObject(HANDLE, SECURITY_INFORMATION, PSECURITY_DESCRIPTOR, ULONG,
                                                         PULONG);

namespace {

const SECURITY_INFORMATION PagedParts = OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION |
                                        DACL_SECURITY_INFORMATION;
// Less than the page asks, enough for all but the SACL; READ_CONTROL alone is
// what an owner holds without a DACL entry of its own.
const ACCESS_MASK OpenForReadControl = READ_CONTROL;
const NTSTATUS StatusInvalidAcl = static_cast<NTSTATUS>(0xC0000077L);


bool SidCopy(PSID sid, BYTE (&into)[AccountSidBytes])
{
    return IsValidSid(sid) && CopySid(AccountSidBytes, into, sid);
}

bool IsSidString(const wchar_t* text) { return (text[0] == L'S' || text[0] == L's') && text[1] == L'-'; }

}  // namespace

NTSTATUS Win32Status(DWORD error)
{
    return error == ERROR_INVALID_ACL ? StatusInvalidAcl
                                      : static_cast<NTSTATUS>(error == ERROR_NOT_ENOUGH_MEMORY ? 0xC0000017L
                                                                                                : 0x80070000L | error);
}

bool ResolveAccount(const wchar_t* who, BYTE (&sid)[AccountSidBytes], const char** why, SID_NAME_USE* used)
{
    const char* unused;
    why = why ? why : &unused;
    *why = who[0] ? MessageText(Msg::AccountNotFound) : MessageText(Msg::EmptyWritableBy);
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
        // One this machine cannot name (another domain's) stands for that SID alone: no user to expand.
        if (!LookupAccountSidW(nullptr, sid, name, &nameChars, domain, &domainChars, &use))
            use = SidTypeWellKnownGroup;
    } else if (IsSidString(who) ||
               !LookupAccountNameW(nullptr, who, sid, &sidBytes, domain, &domainChars, &use)) {
        return false;
    }
    const SID_IDENTIFIER_AUTHORITY creator = SECURITY_CREATOR_SID_AUTHORITY;
    const bool placeholder = memcmp(GetSidIdentifierAuthority(sid), &creator, sizeof(creator)) == 0;
    *why = MessageText(Msg::NotAccountOrGroup);
    if (used)
        *used = use;
    return !placeholder && use != SidTypeDomain && use != SidTypeDeletedAccount && use != SidTypeInvalid &&
           use != SidTypeUnknown && use != SidTypeLabel;
}

SecurityAudit::SecurityAudit(const DumpSubjects* subjects, bool sddl) : subjects_(subjects), sddl_(sddl) {}

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
        if (!FormatAccountName(owner, ownerName_, OwnerChars) &&
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
    StatusText(opening ? Failed::Open : Failed::Security, status, error_);
    facts->error = error_;
}

// The descriptor into the fixed buffer, else a block of its own; the label
// is left out where the system does not know it.
NTSTATUS SecurityAudit::ReadDescriptor(HANDLE object, SECURITY_INFORMATION parts, PSECURITY_DESCRIPTOR* descriptor,
                                       ULONG* length)
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

// The written rights each reason gave, the entries' in DACL order: an entry that granted in more than one pass
// is one reason.
void SecurityAudit::AddReasons(int subject, const AccessEvaluation& evaluation, ACCESS_MASK written, const ACL* dacl)
{
    if (evaluation.nullDacl) {
        reasons_.Push({AccessReason::NullDacl, subject, -1, nullptr, written});
        return;
    }
    const size_t first = reasons_.Count();
    for (size_t i = 0; i < evaluation.steps.Count(); ++i) {
        const EntryStep& step = evaluation.steps[i];
        const ACCESS_MASK share = step.outcome == EntryOutcome::Allowed ? step.change & written : 0;
        if (!share)
            continue;
        size_t at = first;
        while (at < reasons_.Count() && reasons_[at].ace < step.index)
            ++at;
        if (at < reasons_.Count() && reasons_[at].ace == step.index) {
            reasons_[at].mask |= share;
            continue;
        }
        const AccessReason reason = {AccessReason::Entry, subject, step.index,
                                     reinterpret_cast<const BYTE*>(dacl) + step.sidAt, share};
        if (!reasons_.Push(reason))
            return;
        for (size_t move = reasons_.Count() - 1; move > at; --move)
            reasons_[move] = reasons_[move - 1];
        reasons_[at] = reason;
    }
    if (const ACCESS_MASK share = evaluation.OwnerShare(written))
        reasons_.Push({AccessReason::Owner, subject, -1, nullptr, share});
}

DWORD SecurityAudit::Evaluate(const SecuredObject& object, SecurityFacts* facts)
{
    const ACCESS_MASK changing = ChangingRights(object.mapping);
    BOOL present = FALSE, defaulted = FALSE;
    PACL dacl = nullptr;
    GetSecurityDescriptorDacl(object.descriptor, &present, &dacl, &defaulted);
    reasons_.Clear();
    for (size_t i = 0; i < subjects_->Count(); ++i) {
        if (const DWORD error = EvaluateAccess(object.descriptor, object.length, subjects_->Subject(i), object.mapping,
                                               &evaluation_))
            return error;
        facts->unevaluated = evaluation_.unevaluated;
        const ACCESS_MASK written = evaluation_.granted & changing;
        facts->writable |= written;
        if (written)
            AddReasons(static_cast<int>(i), evaluation_, written, present ? dacl : nullptr);
    }
    facts->reasons = reasons_.Data();
    facts->reasonCount = reasons_.Count();
    facts->subjects = subjects_;
    return 0;
}

NTSTATUS SecurityAudit::ReadObject(const wchar_t* path, int typeCode, const wchar_t* typeName, SecuredObject* object,
                                   const wchar_t** error)
{
    *object = SecuredObject();
    ACCESS_MASK valid = 0;
    FindAccessRow(typeCode, &valid, &object->rightsRow);
    ObjectHandle handle;
    SECURITY_INFORMATION parts = 0;
    SecurityFacts facts;
    NTSTATUS status = Open(path, typeCode, handle.Receive(), &parts);
    if (status != 0) {
        Fail(status, &facts, true);
        *error = facts.error;
        return status;
    }
    ULONG length = 0;
    status = ReadDescriptor(handle.Get(), parts, &object->descriptor, &length);
    if (status < 0) {
        Fail(status, &facts, false);
        *error = facts.error;
        return status;
    }
    object->length = length;
    object->parts = parts;
    object->mapping = MappingOf(handle.Get(), typeCode, typeName);
    return 0;
}

bool SecurityAudit::Read(const wchar_t* path, int typeCode, const wchar_t* typeName, SecurityFacts* facts)
{
    *facts = SecurityFacts();
    SecuredObject object;
    const wchar_t* error = nullptr;
    if (ReadObject(path, typeCode, typeName, &object, &error) != 0) {
        facts->error = error;
        return true;
    }
    facts->rightsRow = object.rightsRow;
    if (sddl_) {
        LocalBlock text;
        NameOwner(object.descriptor, facts);
        if (!ConvertSecurityDescriptorToStringSecurityDescriptorW(object.descriptor, SDDL_REVISION_1, object.parts,
                                                                  reinterpret_cast<LPWSTR*>(text.Receive()), nullptr)) {
            Fail(Win32Status(GetLastError()), facts, false);
            return true;
        }
        if (!sddlText_.Assign(static_cast<const wchar_t*>(text.Get()))) {
            Fail(STATUS_NO_MEMORY_NT, facts, false);
            return true;
        }
        facts->sddl = sddlText_.Get();
    }
    if (!subjects_ || subjects_->Count() == 0)
        return true;
    if (const DWORD error = Evaluate(object, facts)) {
        Fail(Win32Status(error), facts, false);
        return true;
    }
    facts->writableChecked = true;
    return facts->writable != 0;
}
