#include "SecurityAudit.h"

#include <sddl.h>

#include <cstring>
#include <cwchar>

#include "AccessCheck.h"
#include "AccessReasons.h"
#include "AccessRights.h"
#include "AccountResolve.h"
#include "DumpMessages.h"
#include "DumpSubjects.h"
#include "NtStatus.h"
#include "SidText.h"

namespace {

const NTSTATUS StatusInvalidAcl = static_cast<NTSTATUS>(0xC0000077L);

bool SidCopy(PSID sid, BYTE (&into)[AccountSidBytes])
{
    return IsValidSid(sid) && CopySid(AccountSidBytes, into, sid);
}

}  // namespace

NTSTATUS Win32Status(DWORD error)
{
    return error == ERROR_INVALID_ACL ? StatusInvalidAcl
                                      : static_cast<NTSTATUS>(error == ERROR_NOT_ENOUGH_MEMORY ? 0xC0000017L
                                                                                                : 0x80070000L | error);
}

bool ResolveAccount(const wchar_t* who, BYTE (&sid)[AccountSidBytes], const char** why, SID_NAME_USE* used)
{
    const AccountProblem problem = ResolveAccountSid(who, sid, used);
    if (why)
        *why = problem == AccountProblem::Empty      ? MessageText(Msg::EmptyWritableBy)
               : problem == AccountProblem::NotFound ? MessageText(Msg::AccountNotFound)
                                                      : MessageText(Msg::NotAccountOrGroup);
    return problem == AccountProblem::None;
}

SecurityAudit::SecurityAudit(const DumpSubjects* subjects, bool sddl) : subjects_(subjects), sddl_(sddl) {}

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
        if (written && !AddWriteReasons(static_cast<int>(i), evaluation_, written, present ? dacl : nullptr, reasons_))
            return ERROR_NOT_ENOUGH_MEMORY;
    }
    facts->reasons = reasons_.Data();
    facts->reasonCount = reasons_.Count();
    facts->subjects = subjects_;
    return 0;
}

NTSTATUS SecurityAudit::ReadObject(const wchar_t* path, int typeCode, const wchar_t* typeName, SecuredObject* object,
                                   const wchar_t** error)
{
    bool opening = true;
    const NTSTATUS status = reader_.Read(path, typeCode, typeName, object, &opening);
    if (status != 0) {
        SecurityFacts facts;
        Fail(status, &facts, opening);
        *error = facts.error;
    }
    return status;
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
