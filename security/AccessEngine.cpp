#include "AccessEngine.h"

#include <cstddef>

#include "AccessCheck.h"

namespace {

const BYTE InheritOnly = INHERIT_ONLY_ACE;
const DWORD SidOffset = offsetof(ACCESS_ALLOWED_ACE, SidStart);
const int NoMatch = -1;
const int OwnerRightsMatch = -2;  // an OWNER RIGHTS entry, which is the owner's

// OWNER RIGHTS (S-1-3-4) and ALL APPLICATION PACKAGES (S-1-15-2-1).
struct WellKnownSids {
    BYTE ownerRights[SECURITY_MAX_SID_SIZE];
    BYTE allPackages[SECURITY_MAX_SID_SIZE];
    WellKnownSids()
    {
        SID_IDENTIFIER_AUTHORITY creator = {SECURITY_CREATOR_SID_AUTHORITY};
        SID_IDENTIFIER_AUTHORITY package = {SECURITY_APP_PACKAGE_AUTHORITY};
        InitializeSid(ownerRights, &creator, 1);
        *GetSidSubAuthority(ownerRights, 0) = SECURITY_CREATOR_OWNER_RIGHTS_RID;
        InitializeSid(allPackages, &package, 2);
        *GetSidSubAuthority(allPackages, 0) = SECURITY_APP_PACKAGE_BASE_RID;
        *GetSidSubAuthority(allPackages, 1) = SECURITY_BUILTIN_PACKAGE_ANY_PACKAGE;
    }
};
const WellKnownSids& Known()
{
    static const WellKnownSids sids;
    return sids;
}

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

// The specific rights of a generic right: reading the descriptor and waiting are not reading, writing or running it.
ACCESS_MASK SpecificPart(ACCESS_MASK generic) { return generic & ~(READ_CONTROL | SYNCHRONIZE); }

bool IsEvaluated(BYTE type) { return type == ACCESS_ALLOWED_ACE_TYPE || type == ACCESS_DENIED_ACE_TYPE; }

// A SID with room bytes from its start: its header and every sub-authority within them.
bool SidFits(const BYTE* sid, size_t room) { return room >= 8 && room >= 8 + 4 * static_cast<size_t>(sid[1]); }

// The entries by their own sizes, never past the list's, the list never past room: false for an entry too short
// for its header, or for its SID where sidTypes says it has one, or running past the list.
template <typename HasSid>
bool CheckAcl(const ACL* acl, size_t room, HasSid hasSid)
{
    if (room < sizeof(ACL) || acl->AclSize < sizeof(ACL) || acl->AclSize > room)
        return false;
    const BYTE* at = reinterpret_cast<const BYTE*>(acl) + sizeof(ACL);
    const BYTE* const end = reinterpret_cast<const BYTE*>(acl) + acl->AclSize;
    for (DWORD i = 0; i < acl->AceCount; ++i) {
        const ACE_HEADER* header = reinterpret_cast<const ACE_HEADER*>(at);
        const size_t left = static_cast<size_t>(end - at);
        if (left < sizeof(ACE_HEADER) || header->AceSize < sizeof(ACE_HEADER) || header->AceSize > left)
            return false;
        if (hasSid(header->AceType) &&
            (header->AceSize < SidOffset || !SidFits(at + SidOffset, header->AceSize - SidOffset)))
            return false;
        at += header->AceSize;
    }
    return true;
}

// The parts of a descriptor, each checked to lie within its length (an absolute one's are where they are).
struct DescriptorParts {
    PSID owner = nullptr;
    bool daclPresent = false;
    const ACL* dacl = nullptr;
    const ACL* sacl = nullptr;
};

DWORD ReadParts(PSECURITY_DESCRIPTOR descriptor, DWORD length, DescriptorParts* parts)
{
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    BOOL present = FALSE, saclPresent = FALSE, defaulted = FALSE;
    PACL dacl = nullptr, sacl = nullptr;
    if (length < sizeof(SECURITY_DESCRIPTOR_RELATIVE) || !GetSecurityDescriptorControl(descriptor, &control, &revision) ||
        !GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted) ||
        !GetSecurityDescriptorSacl(descriptor, &saclPresent, &sacl, &defaulted) ||
        !GetSecurityDescriptorOwner(descriptor, &parts->owner, &defaulted))
        return ERROR_INVALID_SECURITY_DESCR;
    const BYTE* const start = static_cast<const BYTE*>(descriptor);
    const auto room = [&](const void* part) {
        const BYTE* at = static_cast<const BYTE*>(part);
        return !(control & SE_SELF_RELATIVE) ? static_cast<size_t>(-1)
               : at >= start && at < start + length ? static_cast<size_t>(start + length - at) : 0;
    };
    if (parts->owner && !SidFits(static_cast<const BYTE*>(parts->owner), room(parts->owner)))
        return ERROR_INVALID_SECURITY_DESCR;
    parts->daclPresent = present && dacl;
    parts->dacl = parts->daclPresent ? dacl : nullptr;
    parts->sacl = saclPresent && sacl ? sacl : nullptr;
    if (parts->dacl && !CheckAcl(parts->dacl, room(parts->dacl), IsEvaluated))
        return ERROR_INVALID_ACL;
    if (parts->sacl &&
        !CheckAcl(parts->sacl, room(parts->sacl), [](BYTE type) { return type == SYSTEM_MANDATORY_LABEL_ACE_TYPE; }))
        return ERROR_INVALID_ACL;
    return 0;
}

template <typename Visit>
void ForEachAce(const ACL* acl, Visit visit)
{
    const BYTE* at = reinterpret_cast<const BYTE*>(acl) + sizeof(ACL);
    for (DWORD i = 0; i < acl->AceCount; at += reinterpret_cast<const ACE_HEADER*>(at)->AceSize, ++i)
        visit(static_cast<int>(i), reinterpret_cast<const ACE_HEADER*>(at));
}

PSID AceSid(const ACE_HEADER* header)
{
    return const_cast<BYTE*>(reinterpret_cast<const BYTE*>(header) + SidOffset);
}

// The first label entry of the SACL that is not inherit-only; without one, Medium and no-write-up.
bool LabelOf(const ACL* sacl, DWORD* level, DWORD* policy)
{
    *level = IntegrityMedium;
    *policy = SYSTEM_MANDATORY_LABEL_NO_WRITE_UP;
    if (!sacl)
        return false;
    bool found = false;
    ForEachAce(sacl, [&](int, const ACE_HEADER* header) {
        if (found || header->AceType != SYSTEM_MANDATORY_LABEL_ACE_TYPE || (header->AceFlags & InheritOnly))
            return;
        const PSID sid = AceSid(header);
        const BYTE subAuthorities = *GetSidSubAuthorityCount(sid);
        if (subAuthorities == 0)
            return;
        found = true;
        *level = *GetSidSubAuthority(sid, subAuthorities - 1u);
        *policy = reinterpret_cast<const SYSTEM_MANDATORY_LABEL_ACE*>(header)->Mask &
                  (SYSTEM_MANDATORY_LABEL_NO_WRITE_UP | SYSTEM_MANDATORY_LABEL_NO_READ_UP |
                   SYSTEM_MANDATORY_LABEL_NO_EXECUTE_UP);
    });
    return found;
}

// The SIDs one pass matches entries against, with their attributes.
class PassSids {
public:
    PassSids(const AccessSubject& subject, AccessPass pass) : subject_(subject), pass_(pass) {}
    AccessPass Pass() const { return pass_; }
    size_t Count() const
    {
        switch (pass_) {
        case AccessPass::Subject:
            return subject_.SidCount();
        case AccessPass::Restricted:
            return subject_.RestrictingSidCount();
        case AccessPass::Package:
            break;
        }
        return 2 + subject_.CapabilityCount();
    }
    PSID Sid(size_t i) const
    {
        switch (pass_) {
        case AccessPass::Subject:
            return const_cast<BYTE*>(subject_.Sids()[i].sid);
        case AccessPass::Restricted:
            return const_cast<BYTE*>(subject_.RestrictingSids()[i].sid);
        case AccessPass::Package:
            break;
        }
        return i == 0   ? subject_.Package()
               : i == 1 ? const_cast<BYTE*>(Known().allPackages)
                        : const_cast<BYTE*>(subject_.Capabilities()[i - 2].sid);
    }
    DWORD Attributes(size_t i) const
    {
        switch (pass_) {
        case AccessPass::Subject:
            return subject_.Sids()[i].attributes;
        case AccessPass::Restricted:
            return subject_.RestrictingSids()[i].attributes;
        case AccessPass::Package:
            break;
        }
        return i < 2 ? SE_GROUP_ENABLED : subject_.Capabilities()[i - 2].attributes;
    }
    // The first SID equal to sid that counts for an allow (or a deny); else the first equal one at all, with
    // *counts false; NoMatch when none is equal.
    int Find(PSID sid, bool allow, bool* counts) const
    {
        int equal = NoMatch;
        for (size_t i = 0; i < Count(); ++i) {
            if (!EqualSid(Sid(i), sid))
                continue;
            const DWORD attributes = Attributes(i);
            if (allow ? SidAppliesToAllow(attributes) : SidAppliesToDeny(attributes)) {
                *counts = true;
                return static_cast<int>(i);
            }
            if (equal == NoMatch)
                equal = static_cast<int>(i);
        }
        *counts = false;
        return equal;
    }

private:
    const AccessSubject& subject_;
    AccessPass pass_;
};

// What one entry does in a pass, given the rights granted and denied before it, which it adds to.
EntryStep EvaluateEntry(int index, const ACE_HEADER* header, const DescriptorParts& parts, const PassSids& sids,
                        bool owner, const GENERIC_MAPPING& mapping, ACCESS_MASK* allowed, ACCESS_MASK* denied)
{
    EntryStep step = {index, sids.Pass(), EntryOutcome::InheritOnly, header->AceType, header->AceFlags, -1, NoMatch, 0, 0};
    if (!IsEvaluated(header->AceType)) {
        step.outcome = header->AceFlags & InheritOnly ? EntryOutcome::InheritOnly : EntryOutcome::Unevaluated;
        return step;
    }
    const PSID sid = AceSid(header);
    step.sidAt = static_cast<int>(static_cast<const BYTE*>(sid) - reinterpret_cast<const BYTE*>(parts.dacl));
    step.mask = MapGenericBits(reinterpret_cast<const ACCESS_ALLOWED_ACE*>(header)->Mask, mapping);
    if (header->AceFlags & InheritOnly)
        return step;
    const bool allow = header->AceType == ACCESS_ALLOWED_ACE_TYPE;
    bool counts = false;
    step.matched = sids.Find(sid, allow, &counts);
    if (step.matched == NoMatch && owner && EqualSid(sid, const_cast<BYTE*>(Known().ownerRights))) {
        step.matched = OwnerRightsMatch;
        counts = true;
    }
    if (!counts) {
        const bool denyOnly =
            step.matched != NoMatch && (sids.Attributes(static_cast<size_t>(step.matched)) & SE_GROUP_USE_FOR_DENY_ONLY);
        step.outcome = denyOnly ? EntryOutcome::AllowOnDenyOnly : EntryOutcome::NotForSubject;
    } else if (allow) {
        step.outcome = EntryOutcome::Allowed;
        step.change = step.mask & ~*denied & ~*allowed;
        *allowed |= step.change;
    } else {
        step.outcome = EntryOutcome::Denied;
        step.change = step.mask & ~*allowed & ~*denied;
        *denied |= step.change;
    }
    return step;
}

// One pass over the DACL as the access check makes it for MAXIMUM_ALLOWED: the owner's implicit rights first,
// then each entry in order, a right once denied staying denied and once granted staying granted.
bool RunPass(const DescriptorParts& parts, const AccessSubject& subject, AccessPass pass,
             const GENERIC_MAPPING& mapping, AccessEvaluation* evaluation)
{
    PassResult& result = evaluation->passes[static_cast<int>(pass)];
    result.ran = true;
    if (!parts.daclPresent) {
        result.granted = MapGenericBits(GENERIC_ALL, mapping);
        return true;
    }
    const PassSids sids(subject, pass);
    bool counts = false;
    result.owner = parts.owner && sids.Find(parts.owner, true, &counts) != NoMatch && counts;
    ForEachAce(parts.dacl, [&](int, const ACE_HEADER* header) {
        if (!(header->AceFlags & InheritOnly) && IsEvaluated(header->AceType) &&
            EqualSid(AceSid(header), const_cast<BYTE*>(Known().ownerRights)))
            result.ownerRightsEntry = true;
    });
    ACCESS_MASK allowed = 0, denied = 0;
    if (result.owner && !result.ownerRightsEntry)
        allowed = result.ownerGranted = READ_CONTROL | WRITE_DAC;
    bool kept = true;
    ForEachAce(parts.dacl, [&](int index, const ACE_HEADER* header) {
        kept = kept && evaluation->steps.Push(
                           EvaluateEntry(index, header, parts, sids, result.owner, mapping, &allowed, &denied));
    });
    result.granted = allowed;
    return kept;
}

// The mandatory integrity check: a subject whose policy enforces it, below the object's level, loses what the
// object's label forbids: writing (with deleting and changing its permissions and owner), reading, running.
void CheckIntegrity(const DescriptorParts& parts, const AccessSubject& subject, const GENERIC_MAPPING& mapping,
                    IntegrityResult* integrity)
{
    integrity->labelled = LabelOf(parts.sacl, &integrity->objectLevel, &integrity->objectPolicy);
    integrity->applied = (subject.MandatoryPolicy() & TOKEN_MANDATORY_POLICY_NO_WRITE_UP) &&
                         subject.Integrity() < integrity->objectLevel;
    if (!integrity->applied)
        return;
    if (integrity->objectPolicy & SYSTEM_MANDATORY_LABEL_NO_WRITE_UP)
        integrity->removed |= ChangingRights(mapping);
    if (integrity->objectPolicy & SYSTEM_MANDATORY_LABEL_NO_READ_UP)
        integrity->removed |= SpecificPart(mapping.GenericRead);
    if (integrity->objectPolicy & SYSTEM_MANDATORY_LABEL_NO_EXECUTE_UP)
        integrity->removed |= SpecificPart(mapping.GenericExecute);
}

}  // namespace

ACCESS_MASK AccessEvaluation::OwnerShare(ACCESS_MASK mask) const
{
    ACCESS_MASK share = 0;
    for (const PassResult& pass : passes)
        share |= pass.ownerGranted;
    return share & mask;
}

bool ReadMandatoryLabel(PSECURITY_DESCRIPTOR descriptor, DWORD length, DWORD* level, DWORD* policy)
{
    DescriptorParts parts;
    const bool read = ReadParts(descriptor, length, &parts) == 0;
    return LabelOf(read ? parts.sacl : nullptr, level, policy);
}

DWORD EvaluateAccess(PSECURITY_DESCRIPTOR descriptor, DWORD length, const AccessSubject& subject,
                     const GENERIC_MAPPING& mapping, AccessEvaluation* evaluation)
{
    evaluation->granted = evaluation->beforeIntegrity = 0;
    evaluation->unevaluated = 0;
    for (PassResult& pass : evaluation->passes)
        pass = PassResult();
    evaluation->integrity = IntegrityResult();
    evaluation->steps.Clear();
    DescriptorParts parts;
    if (const DWORD error = ReadParts(descriptor, length, &parts))
        return error;
    evaluation->nullDacl = !parts.daclPresent;
    if (parts.dacl)
        ForEachAce(parts.dacl, [&](int, const ACE_HEADER* header) {
            evaluation->unevaluated += !(header->AceFlags & InheritOnly) && !IsEvaluated(header->AceType);
        });
    if (!RunPass(parts, subject, AccessPass::Subject, mapping, evaluation))
        return ERROR_NOT_ENOUGH_MEMORY;
    ACCESS_MASK granted = evaluation->passes[0].granted;
    // A restricted subject gets a right only when its restricting SIDs grant it too; a write-restricted one only
    // for the rights of the type's generic write.
    if (subject.Restricted()) {
        if (!RunPass(parts, subject, AccessPass::Restricted, mapping, evaluation))
            return ERROR_NOT_ENOUGH_MEMORY;
        const ACCESS_MASK restricted = evaluation->passes[static_cast<int>(AccessPass::Restricted)].granted;
        granted &= subject.WriteRestricted() ? restricted | ~SpecificPart(mapping.GenericWrite) : restricted;
    }
    // An AppContainer gets a right only when its package, every package or one of its capabilities is granted it.
    if (subject.AppContainer()) {
        if (!RunPass(parts, subject, AccessPass::Package, mapping, evaluation))
            return ERROR_NOT_ENOUGH_MEMORY;
        granted &= evaluation->passes[static_cast<int>(AccessPass::Package)].granted;
    }
    evaluation->beforeIntegrity = granted;
    CheckIntegrity(parts, subject, mapping, &evaluation->integrity);
    evaluation->granted = granted & ~evaluation->integrity.removed;
    return 0;
}
