// Who asks for access: what a token holds that the system's access check
// reads (the user and groups with their attributes, restricting SIDs, the
// integrity level and mandatory policy, an AppContainer package and its
// capabilities), taken from a real token or made up for an account.
#pragma once

#include <windows.h>

#include <cstddef>

#include "GrowingArray.h"

// One SID with its token attributes (SE_GROUP_ENABLED, SE_GROUP_USE_FOR_DENY_ONLY, ...).
struct SubjectSid {
    BYTE sid[SECURITY_MAX_SID_SIZE];
    DWORD attributes;
};

// An enabled SID's allow and deny entries apply; a deny-only one's deny
// entries alone; a disabled one's neither.
inline bool SidAppliesToAllow(DWORD attributes)
{
    return (attributes & SE_GROUP_ENABLED) && !(attributes & SE_GROUP_USE_FOR_DENY_ONLY);
}
inline bool SidAppliesToDeny(DWORD attributes)
{
    return (attributes & (SE_GROUP_ENABLED | SE_GROUP_USE_FOR_DENY_ONLY)) != 0;
}

const DWORD IntegrityUntrusted = SECURITY_MANDATORY_UNTRUSTED_RID;
const DWORD IntegrityLow = SECURITY_MANDATORY_LOW_RID;
const DWORD IntegrityMedium = SECURITY_MANDATORY_MEDIUM_RID;
const DWORD IntegrityHigh = SECURITY_MANDATORY_HIGH_RID;
const DWORD IntegritySystem = SECURITY_MANDATORY_SYSTEM_RID;

class AccessSubject {
public:
    AccessSubject() = default;
    AccessSubject(const AccessSubject&) = delete;
    AccessSubject& operator=(const AccessSubject&) = delete;

    // The user comes first among Sids(); attributes as a token gives them
    // (SE_GROUP_ENABLED is implied for a user that is not deny-only).
    // false for a SID that is not valid or when memory ran out.
    bool SetUser(PSID sid, DWORD attributes = 0);
    bool AddGroup(PSID sid, DWORD attributes);
    bool AddRestrictingSid(PSID sid, DWORD attributes = SE_GROUP_ENABLED | SE_GROUP_MANDATORY);
    // Only with restricting SIDs: they then count for the writing rights alone.
    void SetWriteRestricted(bool writeRestricted) { writeRestricted_ = writeRestricted; }
    // A mandatory-label RID (IntegrityLow...) and TOKEN_MANDATORY_POLICY_* bits.
    void SetIntegrity(DWORD level) { integrity_ = level; }
    void SetMandatoryPolicy(DWORD policy) { policy_ = policy; }
    // Makes it an AppContainer process of the package (at Low integrity).
    bool SetPackage(PSID sid);
    bool AddCapability(PSID sid, DWORD attributes = SE_GROUP_ENABLED);

    // The user, then the groups in the order added.
    const SubjectSid* Sids() const { return sids_.Data(); }
    size_t SidCount() const { return sids_.Count(); }
    const SubjectSid* RestrictingSids() const { return restricting_.Data(); }
    size_t RestrictingSidCount() const { return restricting_.Count(); }
    bool Restricted() const { return restricting_.Count() > 0; }
    bool WriteRestricted() const { return writeRestricted_ && Restricted(); }
    DWORD Integrity() const { return integrity_; }
    DWORD MandatoryPolicy() const { return policy_; }
    bool AppContainer() const { return hasPackage_; }
    PSID Package() const { return hasPackage_ ? const_cast<BYTE*>(package_) : nullptr; }
    const SubjectSid* Capabilities() const { return capabilities_.Data(); }
    size_t CapabilityCount() const { return capabilities_.Count(); }
    // Whether sid is the user or one of the groups (any attributes).
    bool Holds(PSID sid) const;

private:
    GrowingArray<SubjectSid> sids_{16};
    GrowingArray<SubjectSid> restricting_{4};
    GrowingArray<SubjectSid> capabilities_{4};
    bool hasUser_ = false;
    bool writeRestricted_ = false;
    DWORD integrity_ = IntegrityMedium;
    DWORD policy_ = TOKEN_MANDATORY_POLICY_VALID_MASK;
    bool hasPackage_ = false;
    BYTE package_[SECURITY_MAX_SID_SIZE] = {};
};

// What a token holds, exactly as it is. 0, or the Win32 error of a query
// that failed (the user and groups must be read; the others, where the
// platform does not know them, are taken as absent).
DWORD ReadTokenSubject(HANDLE token, AccessSubject* subject);
// A token's TokenGroups as ReadTokenSubject takes them: each group with its
// attributes, the integrity label (SE_GROUP_INTEGRITY) as the level instead.
DWORD TakeTokenGroups(const TOKEN_GROUPS& groups, AccessSubject* subject);

// An interactive logon of the user account sid (DOMAIN\name or name in
// account): the user, its local groups as the system lists them (nested
// ones included), its global groups, Everyone, Authenticated Users,
// INTERACTIVE, LOCAL, CONSOLE LOGON and Users, at Medium integrity with
// no-write-up. A member of Administrators gets it deny-only unless elevated;
// elevated, it is enabled and the level is High. 0, or the Win32 error of
// the group listing.
DWORD BuildAccountSubject(PSID sid, const wchar_t* account, bool elevated, AccessSubject* subject);

// What every member of a group (or holder of a well-known SID) certainly
// has: that SID and Everyone, at Medium integrity with no-write-up.
DWORD BuildGroupSubject(PSID sid, AccessSubject* subject);

// "untrusted", "low", "medium", "high", "system" (any case) or "S-1-16-N":
// the RID. false for anything else.
bool ParseIntegrityLevel(const wchar_t* text, DWORD* level);
// The level's name ("low"), or null for a RID without one.
const wchar_t* IntegrityLevelName(DWORD level);

// A capability by its well-known name (internetClient, ...) or a SID string.
// false for neither.
bool ResolveCapability(const wchar_t* text, BYTE (&sid)[SECURITY_MAX_SID_SIZE]);

// An AppContainer package by SID string (S-1-15-2-...) or by its name, as
// the system derives it. 0, ERROR_INVALID_PARAMETER for a SID string that is
// not a package's, or ERROR_NOT_SUPPORTED where the system cannot derive one.
DWORD ResolvePackage(const wchar_t* text, BYTE (&sid)[SECURITY_MAX_SID_SIZE]);
