// Who asks for access: integrity levels, capabilities and packages by their texts, a group's and an account's
// made-up logons, and the process's own token.
#include <doctest.h>

#include <windows.h>
#include <sddl.h>

#include <string>

#include "AccessSubject.h"

namespace {

std::wstring SidString(const void* sid)
{
    wchar_t* text = nullptr;
    if (!sid || !ConvertSidToStringSidW(const_cast<void*>(sid), &text))
        return L"(none)";
    std::wstring result = text;
    LocalFree(text);
    return result;
}

bool Same(const BYTE* held, PSID sid) { return EqualSid(const_cast<BYTE*>(held), sid) != FALSE; }

}  // namespace

TEST_CASE("integrity levels by name in any case or as S-1-16-N within a DWORD; the five levels' names; the rest refused")
{
    const DWORD untouched = 0xDEADBEEF;
    const struct { const wchar_t* text; DWORD level; } cases[] = {
        {L"untrusted", 0}, {L"low", 0x1000}, {L"medium", 0x2000}, {L"high", 0x3000}, {L"system", 0x4000},
        {L"HiGh", 0x3000}, {L"UNTRUSTED", 0}, {L"S-1-16-0", 0}, {L"S-1-16-12288", 0x3000}, {L"s-1-16-8192", 0x2000},
        {L"S-1-16-4294967295", 0xFFFFFFFF}, {L"S-1-16-4294967296", untouched},
        {L"S-1-16-99999999999999999999999", untouched}, {L"S-1-16-", untouched}, {L"S-1-16-1x", untouched},
        {L"", untouched}, {L"lowx", untouched}, {L"lo", untouched}, {L"S-1-5-1", untouched}, {nullptr, untouched},
    };
    for (const auto& c : cases) {
        CAPTURE(&c - cases);
        DWORD level = untouched;
        CHECK(ParseIntegrityLevel(c.text, &level) == (c.level != untouched));
        CHECK(level == c.level);
    }
    const struct { DWORD level; const wchar_t* name; } names[] = {
        {0, L"untrusted"}, {0x1000, L"low"}, {0x2000, L"medium"}, {0x3000, L"high"}, {0x4000, L"system"},
        {0x2100, nullptr}, {0x5000, nullptr},
    };
    for (const auto& n : names) {
        CAPTURE(&n - names);
        const wchar_t* name = IntegrityLevelName(n.level);
        CHECK(std::wstring(name ? name : L"(null)") == (n.name ? n.name : L"(null)"));
    }
}

TEST_CASE("capabilities by well-known name in any case or S-1-15-3 SID; packages by S-1-15-2 SID with its hash; "
          "the packages' well-known groups, other SIDs and garbage refused; a name Wine 8 cannot derive")
{
    const struct { const wchar_t* text; const wchar_t* sid; } capabilities[] = {
        {L"internetClient", L"S-1-15-3-1"}, {L"INTERNETCLIENTSERVER", L"S-1-15-3-2"},
        {L"privateNetworkClientServer", L"S-1-15-3-3"}, {L"picturesLibrary", L"S-1-15-3-4"},
        {L"videosLibrary", L"S-1-15-3-5"}, {L"musiclibrary", L"S-1-15-3-6"}, {L"documentsLibrary", L"S-1-15-3-7"},
        {L"enterpriseAuthentication", L"S-1-15-3-8"}, {L"sharedUserCertificates", L"S-1-15-3-9"},
        {L"removableStorage", L"S-1-15-3-10"}, {L"appointments", L"S-1-15-3-11"}, {L"Contacts", L"S-1-15-3-12"},
        {L"S-1-15-3-1024-1-2-3", L"S-1-15-3-1024-1-2-3"}, {L"S-1-15-3", nullptr}, {L"S-1-15-2-1", nullptr},
        {L"S-1-5-32-544", nullptr}, {L"internetClientx", nullptr}, {L"", nullptr}, {L"garbage", nullptr},
    };
    for (const auto& c : capabilities) {
        CAPTURE(&c - capabilities);
        BYTE sid[SECURITY_MAX_SID_SIZE] = {};
        CHECK(ResolveCapability(c.text, sid) == (c.sid != nullptr));
        if (c.sid)
            CHECK(SidString(sid) == c.sid);
    }
    const struct { const wchar_t* text; DWORD error; } packages[] = {
        {L"S-1-15-2-1-2-3-4-5-6-7", 0}, {L"S-1-15-2-1", ERROR_INVALID_PARAMETER}, {L"S-1-15-2-2", ERROR_INVALID_PARAMETER},
        {L"S-1-15-3-1", ERROR_INVALID_PARAMETER}, {L"S-1-5-32-544", ERROR_INVALID_PARAMETER},
        {L"S-1-x", ERROR_INVALID_PARAMETER}, {L"", ERROR_INVALID_PARAMETER},
        {L"Microsoft.WindowsCalculator_8wekyb3d8bbwe", ERROR_NOT_SUPPORTED},  // Wine 8's userenv has no derivation
    };
    for (const auto& c : packages) {
        CAPTURE(&c - packages);
        BYTE sid[SECURITY_MAX_SID_SIZE] = {};
        CHECK(ResolvePackage(c.text, sid) == c.error);
        if (!c.error)
            CHECK(SidString(sid) == c.text);
    }
}

TEST_CASE("a group's subject: the SID first and Everyone once, enabled, at Medium with no-write-up and new-process-min; "
          "a user set after groups goes first, deny-only when so given, and set again replaces it")
{
    const struct { const wchar_t* sid, *second; } cases[] = {{L"S-1-1-0", nullptr}, {L"S-1-5-32-545", L"S-1-1-0"}};
    for (const auto& c : cases) {
        CAPTURE(&c - cases);
        PSID sid = nullptr;
        REQUIRE(ConvertStringSidToSidW(c.sid, &sid));
        AccessSubject subject;
        CHECK(BuildGroupSubject(sid, &subject) == 0);
        REQUIRE(subject.SidCount() == (c.second ? 2u : 1u));
        CHECK((SidString(subject.Sids()[0].sid) == c.sid && (!c.second || SidString(subject.Sids()[1].sid) == c.second)));
        for (size_t i = 0; i < subject.SidCount(); ++i)
            CHECK(SidAppliesToAllow(subject.Sids()[i].attributes));
        CHECK((subject.Integrity() == IntegrityMedium && subject.MandatoryPolicy() == 3));
        LocalFree(sid);
    }
    AccessSubject subject;
    BYTE garbage[SECURITY_MAX_SID_SIZE] = {9, 1};
    CHECK(BuildGroupSubject(garbage, &subject) == ERROR_INVALID_SID);
    PSID everyone = nullptr, users = nullptr, administrators = nullptr;
    REQUIRE((ConvertStringSidToSidW(L"WD", &everyone) && ConvertStringSidToSidW(L"BU", &users) &&
             ConvertStringSidToSidW(L"BA", &administrators)));
    REQUIRE((subject.AddGroup(everyone, SE_GROUP_ENABLED) && subject.SetUser(users, SE_GROUP_USE_FOR_DENY_ONLY)));
    REQUIRE(subject.SidCount() == 2);
    CHECK((Same(subject.Sids()[0].sid, users) && subject.Sids()[0].attributes == SE_GROUP_USE_FOR_DENY_ONLY));
    CHECK((Same(subject.Sids()[1].sid, everyone) && subject.Holds(everyone) && !subject.Holds(administrators)));
    REQUIRE(subject.SetUser(administrators));
    CHECK((subject.SidCount() == 2 && Same(subject.Sids()[0].sid, administrators) && subject.Sids()[0].attributes == 4));
    LocalFree(everyone);
    LocalFree(users);
    LocalFree(administrators);
}

TEST_CASE("the current user's interactive logon: the user first, Wine's one local group Administrators deny-only at "
          "Medium or, elevated, enabled at High, the logon groups and Users enabled, each once; no account refused")
{
    HANDLE token = nullptr;
    REQUIRE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
    BYTE userBuffer[256];
    DWORD length = 0;
    REQUIRE(GetTokenInformation(token, TokenUser, userBuffer, sizeof(userBuffer), &length));
    PSID user = reinterpret_cast<TOKEN_USER*>(userBuffer)->User.Sid;
    wchar_t name[256], domain[256], account[520];
    DWORD nameLength = 256, domainLength = 256;
    SID_NAME_USE use;
    REQUIRE(LookupAccountSidW(nullptr, user, name, &nameLength, domain, &domainLength, &use));
    wsprintfW(account, L"%s\\%s", domain, name);
    // Wine 8 lists Administrators for every account and fails the global groups (ERROR_INVALID_LEVEL).
    const struct { bool elevated; DWORD administrators, level; } cases[] = {{false, 0x10, 0x2000}, {true, 7, 0x3000}};
    const wchar_t* const logon[] = {L"S-1-1-0", L"S-1-5-11", L"S-1-5-4", L"S-1-2-0", L"S-1-2-1", L"S-1-5-32-545"};
    for (const auto& c : cases) {
        CAPTURE(&c - cases);
        AccessSubject subject;
        REQUIRE(BuildAccountSubject(user, account, c.elevated, &subject) == 0);
        REQUIRE(subject.SidCount() == 8);  // the user, Administrators and the six
        CHECK((Same(subject.Sids()[0].sid, user) && SidAppliesToAllow(subject.Sids()[0].attributes)));
        CHECK((SidString(subject.Sids()[1].sid) == L"S-1-5-32-544" && subject.Sids()[1].attributes == c.administrators));
        for (size_t i = 0; i < 6; ++i) {
            CAPTURE(i);
            CHECK(SidString(subject.Sids()[2 + i].sid) == logon[i]);
            CHECK(SidAppliesToAllow(subject.Sids()[2 + i].attributes));
        }
        CHECK((subject.Integrity() == c.level && subject.MandatoryPolicy() == 3 && !subject.Restricted()));
    }
    AccessSubject subject;
    CHECK(BuildAccountSubject(user, L"", false, &subject) == ERROR_INVALID_PARAMETER);
    CloseHandle(token);
}

TEST_CASE("the process's token as it is: the user, each group with its attributes, Wine's High level, the policy as "
          "made; a label among groups taken as the level")
{
    HANDLE token = nullptr;
    REQUIRE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
    static BYTE user[256], groups[4096];
    DWORD length = 0;
    REQUIRE((GetTokenInformation(token, TokenUser, user, sizeof(user), &length) &&
             GetTokenInformation(token, TokenGroups, groups, sizeof(groups), &length)));
    const TOKEN_GROUPS* listed = reinterpret_cast<TOKEN_GROUPS*>(groups);
    AccessSubject subject;
    REQUIRE(ReadTokenSubject(token, &subject) == 0);
    CloseHandle(token);
    REQUIRE(subject.SidCount() == listed->GroupCount + 1);  // Wine 8 lists no label among the groups
    CHECK(Same(subject.Sids()[0].sid, reinterpret_cast<TOKEN_USER*>(user)->User.Sid));
    for (DWORD i = 0; i < listed->GroupCount; ++i) {
        CAPTURE(i);
        CHECK(Same(subject.Sids()[1 + i].sid, listed->Groups[i].Sid));
        CHECK(subject.Sids()[1 + i].attributes == listed->Groups[i].Attributes);
    }
    CHECK((subject.Integrity() == IntegrityHigh && subject.MandatoryPolicy() == 3));
    CHECK((!subject.Restricted() && !subject.AppContainer() && subject.CapabilityCount() == 0));

    PSID sids[3] = {};
    REQUIRE((ConvertStringSidToSidW(L"WD", &sids[0]) && ConvertStringSidToSidW(L"S-1-16-4096", &sids[1]) &&
             ConvertStringSidToSidW(L"BU", &sids[2])));
    alignas(TOKEN_GROUPS) BYTE room[sizeof(TOKEN_GROUPS) + 2 * sizeof(SID_AND_ATTRIBUTES)];
    TOKEN_GROUPS* made = reinterpret_cast<TOKEN_GROUPS*>(room);
    made->GroupCount = 3;
    SID_AND_ATTRIBUTES* entries = made->Groups;
    entries[0] = {sids[0], 7};
    entries[1] = {sids[1], SE_GROUP_INTEGRITY | SE_GROUP_INTEGRITY_ENABLED};
    entries[2] = {sids[2], 0x10};
    AccessSubject labelled;
    CHECK(TakeTokenGroups(*made, &labelled) == 0);
    REQUIRE(labelled.SidCount() == 2);
    CHECK((Same(labelled.Sids()[0].sid, sids[0]) && labelled.Sids()[0].attributes == 7));
    CHECK((Same(labelled.Sids()[1].sid, sids[2]) && labelled.Sids()[1].attributes == 0x10));
    CHECK(labelled.Integrity() == IntegrityLow);
    for (PSID sid : sids)
        LocalFree(sid);
}
