// The one answer to "what may this subject do to this object": the
// system's access check for MAXIMUM_ALLOWED, with every step kept so that
// a caller can say why. The DACL in order (deny first holds, grants add
// up, inherit-only entries skipped), the owner's implicit rights, the
// restricted and AppContainer passes, and the mandatory integrity check.
// Privileges are not applied.
#pragma once

#include <windows.h>

#include <cstddef>

#include "AccessSubject.h"
#include "GrowingArray.h"

// The passes over the DACL: the subject's own SIDs, its restricting SIDs,
// its package with the capabilities.
enum class AccessPass : BYTE { Subject, Restricted, Package };
const int AccessPassCount = 3;

// What one DACL entry did in one pass.
enum class EntryOutcome : BYTE {
    InheritOnly,      // controls only what inherits it
    Unevaluated,      // a kind not evaluated (callback, object, conditional, ...)
    NotForSubject,    // its SID is none of the pass's
    AllowOnDenyOnly,  // an allow for a SID the subject holds for denying only
    Allowed,          // granted its rights not denied before (maybe none new)
    Denied,           // denied its rights not granted before (maybe none new)
};

struct EntryStep {
    int index;  // in the DACL, from 0
    AccessPass pass;
    EntryOutcome outcome;
    BYTE aceType;
    BYTE aceFlags;
    int sidAt;           // the entry's SID in its descriptor (bytes from its start), for naming it
    int matched;         // the pass's SID it matched (Sids(), RestrictingSids() or the package list), -1 none
    ACCESS_MASK mask;    // the entry's rights, generic bits mapped
    ACCESS_MASK change;  // the rights this entry granted or denied first
};

struct PassResult {
    bool ran = false;
    bool owner = false;             // one of the pass's SIDs owns the object
    bool ownerRightsEntry = false;  // an OWNER RIGHTS entry (not inherit-only) takes the owner's implicit rights
    ACCESS_MASK ownerGranted = 0;   // READ_CONTROL | WRITE_DAC, or nothing
    ACCESS_MASK granted = 0;        // what this pass alone grants
};

struct IntegrityResult {
    bool labelled = false;       // the descriptor has a label (else Medium, no-write-up)
    DWORD objectLevel = IntegrityMedium;
    DWORD objectPolicy = SYSTEM_MANDATORY_LABEL_NO_WRITE_UP;
    bool applied = false;        // the subject's policy enforces it and its level is lower
    ACCESS_MASK removed = 0;     // the rights the check takes away
};

class AccessEvaluation {
public:
    AccessEvaluation() = default;
    AccessEvaluation(const AccessEvaluation&) = delete;
    AccessEvaluation& operator=(const AccessEvaluation&) = delete;

    ACCESS_MASK granted = 0;  // every right the subject gets
    bool nullDacl = false;    // no DACL: every pass grants everything
    int unevaluated = 0;      // the DACL's entries of kinds not evaluated (not inherit-only)
    PassResult passes[AccessPassCount];
    IntegrityResult integrity;
    ACCESS_MASK beforeIntegrity = 0;  // what the passes together grant
    GrowingArray<EntryStep> steps{16};  // every entry of every pass that ran, in order

    // The rights of mask the owner's implicit grant gave in some pass (an
    // entry's are its steps' change).
    ACCESS_MASK OwnerShare(ACCESS_MASK mask) const;
};

// Evaluates subject against the descriptor (self-relative of length bytes,
// or absolute), generic bits mapped with mapping. 0 with *evaluation
// filled; ERROR_INVALID_ACL for a DACL or SACL whose entries run past it
// (or past length) or are too short for their SIDs;
// ERROR_INVALID_SECURITY_DESCR for a descriptor whose parts do so;
// ERROR_NOT_ENOUGH_MEMORY when the steps could not be kept.
DWORD EvaluateAccess(PSECURITY_DESCRIPTOR descriptor, DWORD length, const AccessSubject& subject,
                     const GENERIC_MAPPING& mapping, AccessEvaluation* evaluation);

// The object's mandatory label from the descriptor's binary SACL: the
// first label entry that is not inherit-only. false with Medium and
// no-write-up when there is none.
bool ReadMandatoryLabel(PSECURITY_DESCRIPTOR descriptor, DWORD length, DWORD* level, DWORD* policy);
