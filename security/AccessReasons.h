// Why a subject may change an object: the DACL entries that granted it the
// written rights first, the owner's implicit rights, or a NULL DACL, taken
// from the engine's steps. kagero-dump's by= and the find window's 理由.
#pragma once

#include <windows.h>

#include "AccessEngine.h"
#include "GrowingArray.h"

struct AccessReason {
    enum Kind { Entry, Owner, NullDacl };
    Kind kind;
    int subject;     // in the order given
    int ace;         // Entry: its index in the DACL
    const void* sid; // Entry: its SID, in the descriptor read
    ACCESS_MASK mask;  // the written rights it gave
};

// Appends subject's reasons for the written rights of evaluation (made
// against the descriptor whose DACL is dacl, null for none): its entries in
// DACL order, an entry that granted in more than one pass once, then the
// owner, or a NULL DACL alone. false when memory ran out.
bool AddWriteReasons(int subject, const AccessEvaluation& evaluation, ACCESS_MASK written, const ACL* dacl,
                     GrowingArray<AccessReason>& reasons);
