#include "AccountResolve.h"

#include <sddl.h>

#include <cstring>

#include "Owned.h"
#include "SidText.h"

namespace {

const size_t AccountChars = 300;

bool SidCopy(PSID sid, BYTE (&into)[SECURITY_MAX_SID_SIZE])
{
    return IsValidSid(sid) && CopySid(SECURITY_MAX_SID_SIZE, into, sid);
}

bool IsSidString(const wchar_t* text) { return (text[0] == L'S' || text[0] == L's') && text[1] == L'-'; }

}  // namespace

AccountProblem ResolveAccountSid(const wchar_t* who, BYTE (&sid)[SECURITY_MAX_SID_SIZE], SID_NAME_USE* used)
{
    if (!who[0])
        return AccountProblem::Empty;
    LocalBlock converted;
    wchar_t name[256], domain[256];
    DWORD nameChars = 256, domainChars = 256, sidBytes = SECURITY_MAX_SID_SIZE;
    SID_NAME_USE use = SidTypeUser;
    // SDDL abbreviations and SID strings; a SID string the parser refuses is no account name either.
    if (ConvertStringSidToSidW(who, reinterpret_cast<PSID*>(converted.Receive()))) {
        if (!SidCopy(converted.Get(), sid))
            return AccountProblem::NotFound;
        // One this machine cannot name (another domain's) stands for that SID alone: no user to expand.
        if (!LookupAccountSidW(nullptr, sid, name, &nameChars, domain, &domainChars, &use))
            use = SidTypeWellKnownGroup;
    } else if (IsSidString(who) ||
               !LookupAccountNameW(nullptr, who, sid, &sidBytes, domain, &domainChars, &use)) {
        return AccountProblem::NotFound;
    }
    const SID_IDENTIFIER_AUTHORITY creator = SECURITY_CREATOR_SID_AUTHORITY;
    const bool placeholder = memcmp(GetSidIdentifierAuthority(sid), &creator, sizeof(creator)) == 0;
    if (used)
        *used = use;
    return !placeholder && use != SidTypeDomain && use != SidTypeDeletedAccount && use != SidTypeInvalid &&
                   use != SidTypeUnknown && use != SidTypeLabel
               ? AccountProblem::None
               : AccountProblem::NotAccountOrGroup;
}

DWORD BuildResolvedSubject(PSID sid, bool user, const wchar_t* typed, bool elevated, AccessSubject* subject)
{
    if (!user)
        return BuildGroupSubject(sid, subject);
    wchar_t account[AccountChars];
    if (!FormatAccountName(sid, account, AccountChars))
        lstrcpynW(account, typed, static_cast<int>(AccountChars));
    return BuildAccountSubject(sid, account, elevated, subject);
}
