#include "SearchSubject.h"

#include "Owned.h"

namespace {

DWORD BuildWellKnownGroup(WELL_KNOWN_SID_TYPE type, AccessSubject* subject)
{
    BYTE sid[SECURITY_MAX_SID_SIZE];
    DWORD bytes = sizeof(sid);
    if (!CreateWellKnownSid(type, nullptr, sid, &bytes))
        return GetLastError();
    return BuildGroupSubject(sid, subject);
}

DWORD OpenOwnToken(KernelHandle* token)
{
    return OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token->Receive()) ? 0 : GetLastError();
}

// The account the program runs as, as an interactive logon of it gives its groups.
DWORD BuildCurrentUser(AccessSubject* subject)
{
    KernelHandle token;
    if (const DWORD error = OpenOwnToken(&token))
        return error;
    alignas(8) BYTE user[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    DWORD bytes = 0;
    if (!GetTokenInformation(token.Get(), TokenUser, user, sizeof(user), &bytes))
        return GetLastError();
    return BuildResolvedSubject(reinterpret_cast<TOKEN_USER*>(user)->User.Sid, true, L"", false, subject);
}

DWORD ReadOwnToken(AccessSubject* subject)
{
    KernelHandle token;
    if (const DWORD error = OpenOwnToken(&token))
        return error;
    return ReadTokenSubject(token.Get(), subject);
}

DWORD BuildTyped(const wchar_t* typed, AccessSubject* subject, AccountProblem* problem)
{
    BYTE sid[SECURITY_MAX_SID_SIZE];
    SID_NAME_USE use = SidTypeUnknown;
    *problem = ResolveAccountSid(typed, sid, &use);
    if (*problem != AccountProblem::None)
        return ERROR_NONE_MAPPED;
    return BuildResolvedSubject(sid, use == SidTypeUser, typed, false, subject);
}

}  // namespace

DWORD BuildSearchSubject(SubjectChoice choice, const wchar_t* typed, AccessSubject* subject, AccountProblem* problem)
{
    *problem = AccountProblem::None;
    switch (choice) {
    case SubjectChoice::Everyone:
        return BuildWellKnownGroup(WinWorldSid, subject);
    case SubjectChoice::Users:
        return BuildWellKnownGroup(WinBuiltinUsersSid, subject);
    case SubjectChoice::AuthenticatedUsers:
        return BuildWellKnownGroup(WinAuthenticatedUserSid, subject);
    case SubjectChoice::CurrentUser:
        return BuildCurrentUser(subject);
    case SubjectChoice::CurrentUserLow: {
        const DWORD error = BuildCurrentUser(subject);
        subject->SetIntegrity(IntegrityLow);
        return error;
    }
    case SubjectChoice::ThisProcess:
        return ReadOwnToken(subject);
    case SubjectChoice::Typed:
        return BuildTyped(typed, subject, problem);
    case SubjectChoice::None:
        break;
    }
    return ERROR_INVALID_PARAMETER;
}
