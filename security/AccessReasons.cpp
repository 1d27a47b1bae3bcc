#include "AccessReasons.h"

bool AddWriteReasons(int subject, const AccessEvaluation& evaluation, ACCESS_MASK written, const ACL* dacl,
                     GrowingArray<AccessReason>& reasons)
{
    if (evaluation.nullDacl)
        return reasons.Push({AccessReason::NullDacl, subject, -1, nullptr, written});
    const size_t first = reasons.Count();
    for (size_t i = 0; i < evaluation.steps.Count(); ++i) {
        const EntryStep& step = evaluation.steps[i];
        const ACCESS_MASK share = step.outcome == EntryOutcome::Allowed ? step.change & written : 0;
        if (!share)
            continue;
        size_t at = first;
        while (at < reasons.Count() && reasons[at].ace < step.index)
            ++at;
        if (at < reasons.Count() && reasons[at].ace == step.index) {
            reasons[at].mask |= share;
            continue;
        }
        const AccessReason reason = {AccessReason::Entry, subject, step.index,
                                     reinterpret_cast<const BYTE*>(dacl) + step.sidAt, share};
        if (!reasons.Push(reason))
            return false;
        for (size_t move = reasons.Count() - 1; move > at; --move)
            reasons[move] = reasons[move - 1];
        reasons[at] = reason;
    }
    if (const ACCESS_MASK share = evaluation.OwnerShare(written))
        return reasons.Push({AccessReason::Owner, subject, -1, nullptr, share});
    return true;
}
