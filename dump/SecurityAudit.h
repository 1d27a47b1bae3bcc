// --security and --writable-by: each object's descriptor read as the
// security page reads it, as SDDL, and the rights over it that let the
// given accounts change it.
#pragma once

#include <windows.h>

#include "EntryExtras.h"
#include "Owned.h"
#include "StatusText.h"
#include "WideText.h"

const DWORD AccountSidBytes = SECURITY_MAX_SID_SIZE;

// An account or group name, an SDDL abbreviation ("WD", "BU") or a SID
// string ("S-1-5-32-545") as a SID in sid. false, with why in words, for an
// empty WHO, one the system knows none for, and one no caller ever is: a
// domain, a deleted or unknown account, a creator placeholder (CO, CG, OW).
// A SID string the system cannot name is taken: another domain's account.
bool ResolveAccount(const wchar_t* who, BYTE (&sid)[AccountSidBytes], const char** why = nullptr);

class SecurityAudit {
public:
    // sids: count resolved accounts (none: no --writable-by); sddl: --security.
    SecurityAudit(const BYTE (*sids)[AccountSidBytes], int count, bool sddl);
    SecurityAudit(const SecurityAudit&) = delete;
    SecurityAudit& operator=(const SecurityAudit&) = delete;

    // Reads the object's security into *facts, which points into this
    // audit until the next read. false when the entry is to be left out:
    // its descriptor was read and none of the accounts can change it.
    bool Read(const wchar_t* path, int typeCode, const wchar_t* typeName, SecurityFacts* facts);

private:
    struct TypeMapping {
        wchar_t typeName[64];
        GENERIC_MAPPING mapping;
    };
    static const int MappingSlots = 64;
    static const DWORD DescriptorBytes = 4096;
    static const DWORD OwnerChars = 512;

    NTSTATUS Open(const wchar_t* path, int typeCode, HANDLE* handle, SECURITY_INFORMATION* parts);
    GENERIC_MAPPING MappingOf(HANDLE object, int typeCode, const wchar_t* typeName);
    void NameOwner(PSECURITY_DESCRIPTOR descriptor, SecurityFacts* facts);
    NTSTATUS ReadDescriptor(HANDLE object, SECURITY_INFORMATION parts, LocalBlock& larger,
                            PSECURITY_DESCRIPTOR* descriptor, ULONG* length);
    // The open's failure in the sheet's words, the read's and the evaluation's in the audit's.
    void Fail(NTSTATUS status, SecurityFacts* facts, bool opening);

    const BYTE (*sids_)[AccountSidBytes];
    int sidCount_;
    bool sddl_;
    bool privileged_ = false;
    TypeMapping mappings_[MappingSlots] = {};
    int mappingCount_ = 0;
    BYTE lastOwner_[AccountSidBytes] = {};
    wchar_t ownerName_[OwnerChars] = {};
    WideText sddlText_;
    wchar_t error_[StatusTextChars] = {};
    alignas(8) BYTE descriptor_[DescriptorBytes] = {};
};
