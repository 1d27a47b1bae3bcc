// --security and --writable-by: each object's descriptor read as the
// security page reads it, as SDDL, and the rights over it that let the
// given accounts change it.
#pragma once

#include <windows.h>

#include "AccessEngine.h"
#include "EntryExtras.h"
#include "ObjectSecurity.h"
#include "Owned.h"
#include "StatusText.h"
#include "WideText.h"

const DWORD AccountSidBytes = SECURITY_MAX_SID_SIZE;

// An account or group name, an SDDL abbreviation ("WD", "BU") or a SID
// string ("S-1-5-32-545") as a SID in sid. false, with why in words, for an
// empty WHO, one the system knows none for, and one no caller ever is: a
// domain, a deleted or unknown account, a creator placeholder (CO, CG, OW).
// A SID string the system cannot name is taken: another domain's account.
// *use, when given, says what the system takes it for (SidTypeUser for a user).
bool ResolveAccount(const wchar_t* who, BYTE (&sid)[AccountSidBytes], const char** why = nullptr,
                    SID_NAME_USE* use = nullptr);

// A Win32 error of a read or an evaluation as the status it stands for, for StatusText (Failed::Security).
NTSTATUS Win32Status(DWORD error);

class DumpSubjects;

class SecurityAudit {
public:
    // subjects: --writable-by and --writable-by-process (null or none: no
    // evaluation); sddl: --security.
    SecurityAudit(const DumpSubjects* subjects, bool sddl);
    SecurityAudit(const SecurityAudit&) = delete;
    SecurityAudit& operator=(const SecurityAudit&) = delete;

    // Reads the object's security into *facts, which points into this
    // audit until the next read. false when the entry is to be left out:
    // its descriptor was read and none of the subjects can change it.
    bool Read(const wchar_t* path, int typeCode, const wchar_t* typeName, SecurityFacts* facts);
    // Reads the object's descriptor, label included where the system gives
    // it, for --explain. 0, or the failure with *error its words.
    NTSTATUS ReadObject(const wchar_t* path, int typeCode, const wchar_t* typeName, SecuredObject* object,
                        const wchar_t** error);

private:
    static const DWORD OwnerChars = 512;

    void NameOwner(PSECURITY_DESCRIPTOR descriptor, SecurityFacts* facts);
    // Every subject against the descriptor: the rights any of them has to change it, and why.
    DWORD Evaluate(const SecuredObject& object, SecurityFacts* facts);
    // The open's failure in the sheet's words, the read's and the evaluation's in the audit's.
    void Fail(NTSTATUS status, SecurityFacts* facts, bool opening);

    const DumpSubjects* subjects_;
    bool sddl_;
    ObjectSecurityReader reader_;
    BYTE lastOwner_[AccountSidBytes] = {};
    wchar_t ownerName_[OwnerChars] = {};
    WideText sddlText_;
    wchar_t error_[StatusTextChars] = {};
    AccessEvaluation evaluation_;
    GrowingArray<AccessReason> reasons_{8};
};
