#include "AccessSubject.h"

#include <lm.h>
#include <sddl.h>

#include "Owned.h"

namespace {

// TOKEN_ACCESS_INFORMATION's Flags bit of a write-restricted token (ntifs.h's
// TOKEN_WRITE_RESTRICTED); the user-mode headers do not name it.
const DWORD TokenFlagWriteRestricted = 0x0008;
// How a token lists an ordinary group it holds.
const DWORD GroupOn = SE_GROUP_MANDATORY | SE_GROUP_ENABLED_BY_DEFAULT | SE_GROUP_ENABLED;

bool CopySidInto(PSID sid, DWORD attributes, SubjectSid* into)
{
    if (!sid || !IsValidSid(sid) || GetLengthSid(sid) > sizeof(into->sid))
        return false;
    *into = SubjectSid{};
    CopyMemory(into->sid, sid, GetLengthSid(sid));
    into->attributes = attributes;
    return true;
}

bool PushSid(GrowingArray<SubjectSid>& array, PSID sid, DWORD attributes)
{
    SubjectSid entry;
    return CopySidInto(sid, attributes, &entry) && array.Push(entry);
}

bool CopySidTo(PSID sid, BYTE (&into)[SECURITY_MAX_SID_SIZE])
{
    return sid && IsValidSid(sid) && CopySid(sizeof(into), into, sid);
}

// Why a SID was not taken: it is not one, or there was no memory for it.
DWORD Refused(PSID sid) { return sid && IsValidSid(sid) ? ERROR_NOT_ENOUGH_MEMORY : ERROR_INVALID_SID; }

// S-1-authority-rids..., at most two rids.
bool MakeSid(BYTE authority, BYTE count, DWORD first, DWORD second, BYTE (&sid)[SECURITY_MAX_SID_SIZE])
{
    SID_IDENTIFIER_AUTHORITY value = {{0, 0, 0, 0, 0, authority}};
    if (!InitializeSid(sid, &value, count))
        return false;
    *GetSidSubAuthority(sid, 0) = first;
    if (count > 1)
        *GetSidSubAuthority(sid, 1) = second;
    return true;
}

// Whether sid is S-1-authority-first-... with at least count sub-authorities.
bool SidIs(PSID sid, BYTE authority, DWORD first, BYTE count)
{
    const SID_IDENTIFIER_AUTHORITY* a = GetSidIdentifierAuthority(sid);
    for (int i = 0; i < 5; ++i)
        if (a->Value[i])
            return false;
    return a->Value[5] == authority && *GetSidSubAuthorityCount(sid) >= count && *GetSidSubAuthority(sid, 0) == first;
}

bool LabelRid(PSID label, DWORD* rid)
{
    if (!label || !IsValidSid(label) || *GetSidSubAuthorityCount(label) == 0)
        return false;
    *rid = *GetSidSubAuthority(label, *GetSidSubAuthorityCount(label) - 1);
    return true;
}

// One class of the token's information in a block of the process heap.
DWORD QueryToken(HANDLE token, TOKEN_INFORMATION_CLASS what, HeapBlock<BYTE>* block)
{
    DWORD size = 256;
    for (int attempt = 0; attempt < 4; ++attempt) {
        block->Reset(static_cast<BYTE*>(HeapAlloc(GetProcessHeap(), 0, size)));
        if (!*block)
            return ERROR_NOT_ENOUGH_MEMORY;
        DWORD needed = 0;
        if (GetTokenInformation(token, what, block->Get(), size, &needed))
            return 0;
        const DWORD error = GetLastError();
        if (error != ERROR_INSUFFICIENT_BUFFER || needed <= size)
            return error;
        size = needed;  // the groups may grow between the calls: try again
    }
    return ERROR_INSUFFICIENT_BUFFER;
}

// A class the platform does not answer: Windows before 8 has no AppContainer
// classes (ERROR_INVALID_PARAMETER); Wine 8 fails TokenRestrictedSids,
// TokenMandatoryPolicy, TokenCapabilities and TokenAccessInformation with
// ERROR_INVALID_FUNCTION (it answers TokenUser, TokenGroups,
// TokenIntegrityLevel, TokenIsAppContainer and TokenAppContainerSid).
bool Unanswered(DWORD error)
{
    return error == ERROR_INVALID_FUNCTION || error == ERROR_INVALID_PARAMETER || error == ERROR_NOT_SUPPORTED ||
           error == ERROR_CALL_NOT_IMPLEMENTED;
}

DWORD TakeGroups(const TOKEN_GROUPS& groups, AccessSubject* subject, bool (AccessSubject::*add)(PSID, DWORD))
{
    for (DWORD i = 0; i < groups.GroupCount; ++i)
        if (!(subject->*add)(groups.Groups[i].Sid, groups.Groups[i].Attributes))
            return Refused(groups.Groups[i].Sid);
    return 0;
}

wchar_t LowerAscii(wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c; }

// What follows prefix at the start of text (ASCII letters in any case), or null.
const wchar_t* AfterPrefix(const wchar_t* text, const wchar_t* prefix)
{
    for (; *prefix; ++text, ++prefix)
        if (LowerAscii(*text) != LowerAscii(*prefix))
            return nullptr;
    return text;
}

bool SameName(const wchar_t* text, const wchar_t* name)
{
    const wchar_t* rest = AfterPrefix(text, name);
    return rest && !*rest;
}

void FreeNetBlock(LPBYTE block) { NetApiBufferFree(block); }
using NetBlock = Owned<LPBYTE, FreeNetBlock>;
void ReleaseModule(HMODULE module) { FreeLibrary(module); }
using ModuleHandle = Owned<HMODULE, ReleaseModule>;

// The groups a listing names, each by the SID its name resolves to (those
// that do not resolve are skipped, those held already too). Administrators is
// deny-only unless elevated; *administrator says whether it was listed.
template <typename Info>
DWORD AddNamedGroups(const BYTE* block, DWORD count, LPWSTR Info::*name, bool elevated, AccessSubject* subject,
                     bool* administrator)
{
    BYTE administrators[SECURITY_MAX_SID_SIZE];
    if (!MakeSid(5, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, administrators))
        return GetLastError();
    const Info* infos = reinterpret_cast<const Info*>(block);
    for (DWORD i = 0; i < count; ++i) {
        BYTE sid[SECURITY_MAX_SID_SIZE];
        DWORD sidSize = sizeof(sid);
        wchar_t domain[256];
        DWORD domainLength = ARRAYSIZE(domain);
        SID_NAME_USE use;
        if (!LookupAccountNameW(nullptr, infos[i].*name, sid, &sidSize, domain, &domainLength, &use) ||
            subject->Holds(sid))
            continue;
        const bool admins = EqualSid(sid, administrators) != FALSE;
        *administrator = *administrator || admins;
        if (!subject->AddGroup(sid, admins && !elevated ? SE_GROUP_USE_FOR_DENY_ONLY : GroupOn))
            return ERROR_NOT_ENOUGH_MEMORY;
    }
    return 0;
}

// Everyone, Authenticated Users, INTERACTIVE, LOCAL, CONSOLE LOGON: what an
// interactive logon adds to the account's own groups; and Users, whose
// default members Authenticated Users and INTERACTIVE are, which the local
// group listing does not follow.
const struct { BYTE authority; BYTE count; DWORD rid; DWORD second; } LogonGroups[] = {
    {1, 1, SECURITY_WORLD_RID, 0},
    {5, 1, SECURITY_AUTHENTICATED_USER_RID, 0},
    {5, 1, SECURITY_INTERACTIVE_RID, 0},
    {2, 1, SECURITY_LOCAL_RID, 0},
    {2, 1, SECURITY_LOCAL_LOGON_RID, 0},
    {5, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_USERS},
};

const struct { const wchar_t* name; DWORD level; } Levels[] = {
    {L"untrusted", IntegrityUntrusted}, {L"low", IntegrityLow}, {L"medium", IntegrityMedium},
    {L"high", IntegrityHigh},           {L"system", IntegritySystem},
};

// The capabilities Windows names (S-1-15-3-N).
const struct { const wchar_t* name; DWORD rid; } Capabilities[] = {
    {L"internetClient", 1},   {L"internetClientServer", 2},     {L"privateNetworkClientServer", 3},
    {L"picturesLibrary", 4},  {L"videosLibrary", 5},            {L"musicLibrary", 6},
    {L"documentsLibrary", 7}, {L"enterpriseAuthentication", 8}, {L"sharedUserCertificates", 9},
    {L"removableStorage", 10}, {L"appointments", 11},           {L"contacts", 12},
};

using DeriveCall = HRESULT(WINAPI*)(PCWSTR, PSID*);

}  // namespace

bool AccessSubject::SetUser(PSID sid, DWORD attributes)
{
    if (!(attributes & SE_GROUP_USE_FOR_DENY_ONLY))
        attributes |= SE_GROUP_ENABLED;
    SubjectSid user;
    if (!CopySidInto(sid, attributes, &user))
        return false;
    if (hasUser_) {
        sids_[0] = user;
        return true;
    }
    if (!sids_.Push(user))
        return false;
    // Groups added before the user move up one.
    MoveMemory(sids_.Data() + 1, sids_.Data(), (sids_.Count() - 1) * sizeof(SubjectSid));
    sids_[0] = user;
    hasUser_ = true;
    return true;
}

bool AccessSubject::AddGroup(PSID sid, DWORD attributes) { return PushSid(sids_, sid, attributes); }

bool AccessSubject::AddRestrictingSid(PSID sid, DWORD attributes) { return PushSid(restricting_, sid, attributes); }

bool AccessSubject::SetPackage(PSID sid)
{
    if (!CopySidTo(sid, package_))
        return false;
    hasPackage_ = true;
    integrity_ = IntegrityLow;
    return true;
}

bool AccessSubject::AddCapability(PSID sid, DWORD attributes) { return PushSid(capabilities_, sid, attributes); }

bool AccessSubject::Holds(PSID sid) const
{
    if (!sid || !IsValidSid(sid))
        return false;
    for (size_t i = 0; i < sids_.Count(); ++i)
        if (EqualSid(const_cast<BYTE*>(sids_[i].sid), sid))
            return true;
    return false;
}

DWORD TakeTokenGroups(const TOKEN_GROUPS& groups, AccessSubject* subject)
{
    for (DWORD i = 0; i < groups.GroupCount; ++i) {
        const SID_AND_ATTRIBUTES& group = groups.Groups[i];
        DWORD rid = 0;
        if (group.Attributes & SE_GROUP_INTEGRITY) {
            if (LabelRid(group.Sid, &rid))
                subject->SetIntegrity(rid);
        } else if (!subject->AddGroup(group.Sid, group.Attributes)) {
            return Refused(group.Sid);
        }
    }
    return 0;
}

DWORD ReadTokenSubject(HANDLE token, AccessSubject* subject)
{
    HeapBlock<BYTE> block;
    DWORD error = QueryToken(token, TokenUser, &block);
    if (error)
        return error;
    const SID_AND_ATTRIBUTES user = reinterpret_cast<const TOKEN_USER*>(block.Get())->User;
    if (!subject->SetUser(user.Sid, user.Attributes))
        return Refused(user.Sid);
    if ((error = QueryToken(token, TokenGroups, &block)) != 0 ||
        (error = TakeTokenGroups(*reinterpret_cast<const TOKEN_GROUPS*>(block.Get()), subject)) != 0)
        return error;

    error = QueryToken(token, TokenRestrictedSids, &block);
    if (!error)
        error = TakeGroups(*reinterpret_cast<const TOKEN_GROUPS*>(block.Get()), subject, &AccessSubject::AddRestrictingSid);
    if (error && !Unanswered(error))
        return error;

    // The package first: it sets Low, which the token's own level then replaces.
    error = QueryToken(token, TokenIsAppContainer, &block);
    if (error && !Unanswered(error))
        return error;
    if (!error && *reinterpret_cast<const DWORD*>(block.Get())) {
        error = QueryToken(token, TokenAppContainerSid, &block);
        const PSID package =
            error ? nullptr : reinterpret_cast<const TOKEN_APPCONTAINER_INFORMATION*>(block.Get())->TokenAppContainer;
        if (package && !subject->SetPackage(package))
            return Refused(package);
        if (error && !Unanswered(error))
            return error;
        error = QueryToken(token, TokenCapabilities, &block);
        if (!error)
            error = TakeGroups(*reinterpret_cast<const TOKEN_GROUPS*>(block.Get()), subject, &AccessSubject::AddCapability);
        if (error && !Unanswered(error))
            return error;
    }

    DWORD rid = 0;
    error = QueryToken(token, TokenIntegrityLevel, &block);
    if (!error && LabelRid(reinterpret_cast<const TOKEN_MANDATORY_LABEL*>(block.Get())->Label.Sid, &rid))
        subject->SetIntegrity(rid);
    if (error && !Unanswered(error))
        return error;

    // Unanswered, the policy stays the one every token is made with.
    error = QueryToken(token, TokenMandatoryPolicy, &block);
    if (!error)
        subject->SetMandatoryPolicy(reinterpret_cast<const TOKEN_MANDATORY_POLICY*>(block.Get())->Policy);
    if (error && !Unanswered(error))
        return error;

    // Unanswered, a restricted token is taken as restricted for every right.
    if (subject->Restricted()) {
        error = QueryToken(token, TokenAccessInformation, &block);
        if (!error)
            subject->SetWriteRestricted(
                (reinterpret_cast<const TOKEN_ACCESS_INFORMATION*>(block.Get())->Flags & TokenFlagWriteRestricted) != 0);
        if (error && !Unanswered(error))
            return error;
    }
    return 0;
}

// Wine 8 lists Administrators alone as the local groups of any name, even
// one that is no account, and fails NetUserGetGroups with ERROR_INVALID_LEVEL
// (a stub). The global groups are taken where they can be listed: the local
// server lists none for a domain account either (NERR_UserNotFound).
DWORD BuildAccountSubject(PSID sid, const wchar_t* account, bool elevated, AccessSubject* subject)
{
    if (!account || !*account)
        return ERROR_INVALID_PARAMETER;
    if (!subject->SetUser(sid))
        return Refused(sid);
    bool administrator = false;
    NetBlock local;
    DWORD read = 0, total = 0;
    DWORD error = NetUserGetLocalGroups(nullptr, account, 0, LG_INCLUDE_INDIRECT, local.Receive(), MAX_PREFERRED_LENGTH,
                                        &read, &total);
    if (error != NERR_Success)
        return error;
    error = AddNamedGroups(local.Get(), read, &LOCALGROUP_USERS_INFO_0::lgrui0_name, elevated, subject, &administrator);
    if (error)
        return error;
    NetBlock global;
    const DWORD globalError = NetUserGetGroups(nullptr, account, 0, global.Receive(), MAX_PREFERRED_LENGTH, &read, &total);
    if (globalError == NERR_Success) {
        error = AddNamedGroups(global.Get(), read, &GROUP_USERS_INFO_0::grui0_name, elevated, subject, &administrator);
        if (error)
            return error;
    }
    for (const auto& group : LogonGroups) {
        BYTE well[SECURITY_MAX_SID_SIZE];
        if (!MakeSid(group.authority, group.count, group.rid, group.second, well))
            return GetLastError();
        if (!subject->Holds(well) && !subject->AddGroup(well, GroupOn))
            return ERROR_NOT_ENOUGH_MEMORY;
    }
    subject->SetIntegrity(administrator && elevated ? IntegrityHigh : IntegrityMedium);
    subject->SetMandatoryPolicy(TOKEN_MANDATORY_POLICY_VALID_MASK);
    return 0;
}

DWORD BuildGroupSubject(PSID sid, AccessSubject* subject)
{
    BYTE everyone[SECURITY_MAX_SID_SIZE];
    if (!MakeSid(1, 1, SECURITY_WORLD_RID, 0, everyone))
        return GetLastError();
    if (!subject->SetUser(sid))
        return Refused(sid);
    if (!subject->Holds(everyone) && !subject->AddGroup(everyone, GroupOn))
        return ERROR_NOT_ENOUGH_MEMORY;
    subject->SetIntegrity(IntegrityMedium);
    subject->SetMandatoryPolicy(TOKEN_MANDATORY_POLICY_VALID_MASK);
    return 0;
}

bool ParseIntegrityLevel(const wchar_t* text, DWORD* level)
{
    if (!text)
        return false;
    for (const auto& known : Levels)
        if (SameName(text, known.name)) {
            *level = known.level;
            return true;
        }
    // N read here, not by ConvertStringSidToSidW: Wine 8's takes 4294967296 as 4294967295.
    const wchar_t* digits = AfterPrefix(text, L"S-1-16-");
    if (!digits || !*digits)
        return false;
    unsigned long long value = 0;
    for (const wchar_t* at = digits; *at; ++at) {
        if (*at < L'0' || *at > L'9')
            return false;
        value = value * 10 + static_cast<unsigned>(*at - L'0');
        if (value > 0xFFFFFFFFull)
            return false;
    }
    *level = static_cast<DWORD>(value);
    return true;
}

const wchar_t* IntegrityLevelName(DWORD level)
{
    for (const auto& known : Levels)
        if (known.level == level)
            return known.name;
    return nullptr;
}

bool ResolveCapability(const wchar_t* text, BYTE (&sid)[SECURITY_MAX_SID_SIZE])
{
    if (!text)
        return false;
    for (const auto& known : Capabilities)
        if (SameName(text, known.name))
            return MakeSid(15, 2, SECURITY_CAPABILITY_BASE_RID, known.rid, sid);
    LocalBlock parsed;
    return ConvertStringSidToSidW(text, parsed.Receive()) && SidIs(parsed.Get(), 15, SECURITY_CAPABILITY_BASE_RID, 2) &&
           CopySidTo(parsed.Get(), sid);
}

// Wine 8's userenv.dll has no DeriveAppContainerSidFromAppContainerName:
// a name gives ERROR_NOT_SUPPORTED there.
DWORD ResolvePackage(const wchar_t* text, BYTE (&sid)[SECURITY_MAX_SID_SIZE])
{
    if (!text || !*text)
        return ERROR_INVALID_PARAMETER;
    if (AfterPrefix(text, L"S-")) {
        // A package's SID has its hash after the 2; S-1-15-2-1 and S-1-15-2-2
        // are the well-known groups of all packages.
        LocalBlock parsed;
        if (!ConvertStringSidToSidW(text, parsed.Receive()) || !SidIs(parsed.Get(), 15, SECURITY_APP_PACKAGE_BASE_RID, 3))
            return ERROR_INVALID_PARAMETER;
        return CopySidTo(parsed.Get(), sid) ? 0 : ERROR_INVALID_SID;
    }
    ModuleHandle userenv(LoadLibraryExW(L"userenv.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
    const DeriveCall derive = userenv ? reinterpret_cast<DeriveCall>(reinterpret_cast<void*>(
                                            GetProcAddress(userenv.Get(), "DeriveAppContainerSidFromAppContainerName")))
                                      : nullptr;
    if (!derive)
        return ERROR_NOT_SUPPORTED;
    PSID derived = nullptr;
    const HRESULT result = derive(text, &derived);
    if (FAILED(result))
        return HRESULT_FACILITY(result) == FACILITY_WIN32 ? HRESULT_CODE(result) : ERROR_NOT_SUPPORTED;
    const bool copied = CopySidTo(derived, sid);
    if (derived)
        FreeSid(derived);
    return copied ? 0 : ERROR_INVALID_SID;
}
