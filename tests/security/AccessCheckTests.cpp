// The system's access check as the engine makes it, over descriptors made here: hand-fixed rows for what the
// platform here does not implement, and thousands of random DACLs against its own AccessCheck where it does.
#include <doctest.h>

#include <windows.h>
#include <sddl.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "AccessCheck.h"
#include "AccessEngine.h"
#include "ObjectTypes.h"

namespace {

// A subject from words: the user first, then groups, each "E:" enabled, "D:" deny-only or "X:" disabled, by SID
// string or SDDL abbreviation; restricting SIDs and capabilities likewise without a prefix.
struct SubjectRow {
    const wchar_t* sids;
    DWORD level = IntegrityMedium;
    DWORD policy = TOKEN_MANDATORY_POLICY_VALID_MASK;
    const wchar_t* restricting = L"";
    bool writeRestricted = false;
    const wchar_t* package = nullptr;
    const wchar_t* capabilities = L"";
};

std::vector<std::wstring> Words(const wchar_t* text)
{
    std::vector<std::wstring> words;
    std::wstring word;
    for (const wchar_t* at = text;; ++at) {
        if (*at && *at != L' ') {
            word += *at;
        } else if (!word.empty()) {
            words.push_back(word);
            word.clear();
        }
        if (!*at)
            return words;
    }
}

struct Sid {
    PSID sid = nullptr;
    explicit Sid(const std::wstring& text) { REQUIRE(ConvertStringSidToSidW(text.c_str(), &sid)); }
    ~Sid() { LocalFree(sid); }
};

void Build(const SubjectRow& row, AccessSubject* subject)
{
    bool first = true;
    for (const std::wstring& word : Words(row.sids)) {
        const DWORD attributes = word[0] == L'E' ? SE_GROUP_ENABLED : word[0] == L'D' ? SE_GROUP_USE_FOR_DENY_ONLY : 0;
        Sid sid(word.substr(2));
        REQUIRE((first ? subject->SetUser(sid.sid, attributes) : subject->AddGroup(sid.sid, attributes)));
        first = false;
    }
    for (const std::wstring& word : Words(row.restricting))
        REQUIRE(subject->AddRestrictingSid(Sid(word).sid));
    subject->SetWriteRestricted(row.writeRestricted);
    if (row.package)
        REQUIRE(subject->SetPackage(Sid(row.package).sid));
    for (const std::wstring& word : Words(row.capabilities))
        REQUIRE(subject->AddCapability(Sid(word).sid));
    subject->SetIntegrity(row.level);
    subject->SetMandatoryPolicy(row.policy);
}

// A descriptor from SDDL; a null text is a NULL DACL.
struct Descriptor {
    SECURITY_DESCRIPTOR nullDacl;
    PSECURITY_DESCRIPTOR sd = &nullDacl;
    bool converted = false;
    explicit Descriptor(const wchar_t* sddl)
    {
        converted = sddl != nullptr;
        REQUIRE((sddl ? ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &sd, nullptr)
                      : InitializeSecurityDescriptor(&nullDacl, SECURITY_DESCRIPTOR_REVISION) &&
                            SetSecurityDescriptorDacl(&nullDacl, TRUE, nullptr, FALSE)));
    }
    ~Descriptor()
    {
        if (converted)
            LocalFree(sd);
    }
    DWORD Length() { return converted ? GetSecurityDescriptorLength(sd) : sizeof(nullDacl); }
};

const wchar_t* const Package = L"S-1-15-2-1-2-3-4-5-6-7";

}  // namespace

TEST_CASE("rights a DACL grants Everyone and Administrators: in order, deny first holds, inherit-only skipped, the owner's, "
          "by the type's mapping; entries not evaluated counted; a malformed DACL refused")
{
    // Owned by SYSTEM (neither column) or BA; a null text is a NULL DACL. An event's all: 0x001F0003. A byte of the
    // DACL at `at` may be set to value first: then error, or the entries not evaluated.
    const DWORD invalid = ERROR_INVALID_ACL;
    const struct { const wchar_t* sddl; int type; ACCESS_MASK everyone, administrators; int at = -1; BYTE value = 0;
                   DWORD error = 0; int unevaluated = 0; } cases[] = {
        {L"O:SYG:SYD:(A;;GA;;;BA)", TypeEvent, 0, 0x001F0003},
        {L"O:SYG:SYD:(A;;DCSD;;;WD)(D;;GA;;;WD)", TypeEvent, 0x00010002, 0x00010002},
        {L"O:SYG:SYD:(A;;GA;;;WD)", TypeEvent, 0x001F0003, 0x001F0003},
        {L"O:SYG:SYD:(D;;DC;;;WD)(A;;GA;;;WD)", TypeEvent, 0x001F0001, 0x001F0001},
        {L"O:SYG:SYD:", TypeEvent, 0, 0},
        {L"O:SYG:SYD:(A;IO;GA;;;WD)", TypeEvent, 0, 0},
        {nullptr, TypeEvent, 0x001F0003, 0x001F0003},
        {L"O:BAG:SYD:(A;;GR;;;WD)", TypeEvent, 0x00020001, 0x00060001},  // the owner: READ_CONTROL and WRITE_DAC
        {L"O:BAG:SYD:(A;;GR;;;OW)(A;;GR;;;WD)", TypeEvent, 0x00020001, 0x00020001},
        {L"O:SYG:SYD:(A;;GR;;;WD)", TypeEvent, 0x00020001, 0x00020001},
        {L"O:BAG:SYD:(A;;GW;;;OW)", TypeEvent, 0, 0x00020002},  // OWNER RIGHTS is the owner alone
        {L"O:WDG:SYD:", TypeEvent, 0x00060000, 0x00060000},     // owned by Everyone: every account is the owner
        {L"O:SYG:SYD:(A;;GW;;;WD)", TypeEvent, 0x00020002, 0x00020002},
        {L"O:SYG:SYD:(A;;GX;;;WD)", TypeEvent, 0x00120000, 0x00120000},
        {L"O:SYG:SYD:(A;;GA;;;WD)", TypeSection, 0x000F001F, 0x000F001F},
        {L"O:SYG:SYD:(A;;GW;;;WD)", TypeMutant, 0x00020000, 0x00020000},
        {L"O:BAG:SYD:(A;OICIIO;GR;;;OW)", TypeEvent, 0, 0x00060000},  // inherit-only: the owner's rights stay
        {L"O:SYG:SYD:(A;;GA;;;WD)(A;;GR;;;WD)", TypeEvent, 0x00020001, 0x00020001, 8, 9, 0, 1},  // a callback entry
        {L"O:SYG:SYD:(A;;GA;;;WD)", TypeEvent, 0, 0, 10, 8, invalid},   // an entry with no room for its SID
        {L"O:SYG:SYD:(A;;GA;;;WD)", TypeEvent, 0, 0, 10, 0, invalid},   // an entry of size 0
        {L"O:SYG:SYD:(A;;GA;;;WD)", TypeEvent, 0, 0, 4, 2, invalid},    // a count past the entries
        {L"O:SYG:SYD:(A;;GA;;;WD)", TypeEvent, 0, 0, 17, 2, invalid},   // a SID past its entry
        {L"O:SYG:SYD:(A;;GA;;;WD)", TypeEvent, 0, 0, 3, 1, invalid},    // a list past the descriptor
    };
    const SubjectRow subjects[2] = {{L"E:WD"}, {L"E:BA E:WD"}};
    for (const auto& c : cases) {
        CAPTURE(&c - cases);
        Descriptor descriptor(c.sddl);
        const DWORD length = descriptor.Length();
        PACL dacl = nullptr;
        BOOL present = FALSE, defaulted = FALSE;
        if (c.at >= 0 && GetSecurityDescriptorDacl(descriptor.sd, &present, &dacl, &defaulted) && dacl)
            reinterpret_cast<BYTE*>(dacl)[c.at] = c.value;
        const ACCESS_MASK expected[2] = {c.everyone, c.administrators};
        for (int s = 0; s < 2; ++s) {
            AccessSubject subject;
            Build(subjects[s], &subject);
            AccessEvaluation evaluation;
            CHECK(EvaluateAccess(descriptor.sd, length, subject, DocumentedGenericMapping(c.type, nullptr), &evaluation) ==
                  c.error);
            CHECK(evaluation.granted == expected[s]);
            CHECK(evaluation.unevaluated == c.unevaluated);
        }
    }
    // What changes an object: the standard rights that do, and generic write's own, without READ_CONTROL or SYNCHRONIZE.
    CHECK(ChangingRights(DocumentedGenericMapping(TypeEvent, nullptr)) == 0x000D0002);
    CHECK(ChangingRights(DocumentedGenericMapping(TypeDevice, nullptr)) == 0x000D0116);
}

TEST_CASE("what the platform here does not check, fixed by hand: deny-only and disabled groups, restricted and "
          "write-restricted passes, integrity levels and label policies, AppContainers, the filtered administrator")
{
    // Events unless said: all 0x001F0003, read 0x00020001, write 0x00020002, execute 0x00120000; a section's
    // execute right is 0x8. U is a user who is none of the groups named.
    const wchar_t* const everyoneAll = L"O:SYG:SYD:(A;;GA;;;WD)";
    const struct { const wchar_t* sddl; SubjectRow subject; ACCESS_MASK granted; int type = TypeEvent; } cases[] = {
        {L"O:SYG:SYD:(D;;GA;;;BA)(A;;GA;;;WD)", {L"E:S-1-5-21-1-2-3-1000 D:BA E:WD"}, 0},  // a deny-only group's deny
        {L"O:SYG:SYD:(A;;GA;;;BA)", {L"E:S-1-5-21-1-2-3-1000 D:BA E:WD"}, 0},              // ... and not its allow
        {L"O:SYG:SYD:(A;;GA;;;BA)", {L"E:S-1-5-21-1-2-3-1000 E:BA E:WD"}, 0x001F0003},
        {L"O:SYG:SYD:(D;;GA;;;BA)(A;;GA;;;WD)", {L"E:S-1-5-21-1-2-3-1000 X:BA E:WD"}, 0x001F0003},  // disabled: neither
        {L"O:SYG:SYD:(A;;GA;;;BA)", {L"E:S-1-5-21-1-2-3-1000 X:BA E:WD"}, 0},
        {L"O:BAG:SYD:(A;;GR;;;WD)", {L"E:S-1-5-21-1-2-3-1000 D:BA E:WD"}, 0x00020001},  // a deny-only owner is none
        {L"O:S-1-5-21-1-2-3-1000G:SYD:", {L"D:S-1-5-21-1-2-3-1000 E:WD"}, 0},          // nor a deny-only user
        {L"O:SYG:SYD:(A;;GA;;;WD)(A;;GR;;;RC)", {L"E:WD", IntegrityMedium, 0x3, L"RC"}, 0x00020001},
        {L"O:SYG:SYD:(A;;GA;;;WD)", {L"E:WD", IntegrityMedium, 0x3, L"RC"}, 0},
        {L"O:SYG:SYD:(A;;GA;;;WD)(A;;GR;;;RC)", {L"E:WD", IntegrityMedium, 0x3, L"RC", true}, 0x001F0001},
        {L"O:SYG:SYD:(A;;GA;;;WD)(A;;GW;;;RC)", {L"E:WD", IntegrityMedium, 0x3, L"RC", true}, 0x001F0003},
        {L"O:SYG:SYD:(A;;GA;;;WD)", {L"E:WD", IntegrityMedium, 0x3, L"", true}, 0x001F0003},  // nothing to restrict with
        {L"O:RCG:SYD:(A;;GR;;;WD)", {L"E:WD", IntegrityMedium, 0x3, L"RC"}, 0x00020000},  // the owner in the second pass
        {L"O:SYG:SYD:(D;;GW;;;RC)(A;;GA;;;WD)", {L"E:WD", IntegrityMedium, 0x3, L"WD RC"}, 0x001D0001},
        {everyoneAll, {L"E:WD", IntegrityLow}, 0x00120001},  // no label: Medium, no-write-up
        {L"O:SYG:SYD:(A;;GA;;;WD)S:(ML;;NW;;;HI)", {L"E:WD"}, 0x00120001},
        {L"O:SYG:SYD:(A;;GA;;;WD)S:(ML;;NWNR;;;HI)", {L"E:WD"}, 0x00120000},
        {L"O:SYG:SYD:(A;;GA;;;WD)S:(ML;;NX;;;HI)", {L"E:WD"}, 0x000F0017, TypeSection},
        {L"O:SYG:SYD:(A;;GA;;;WD)S:(ML;;NWNRNX;;;HI)", {L"E:WD", IntegrityHigh}, 0x001F0003},  // equal
        {L"O:SYG:SYD:(A;;GA;;;WD)S:(ML;;NW;;;HI)", {L"E:WD", IntegritySystem}, 0x001F0003},     // higher
        {L"O:SYG:SYD:(A;;GA;;;WD)S:(ML;;NW;;;LW)", {L"E:WD", IntegrityLow}, 0x001F0003},
        {L"O:SYG:SYD:(A;;GA;;;WD)S:(ML;;NW;;;LW)", {L"E:WD", IntegrityUntrusted}, 0x00120001},
        {L"O:SYG:SYD:(A;;GA;;;WD)S:(ML;OICIIO;NW;;;HI)", {L"E:WD"}, 0x001F0003},  // an inherit-only label is none
        {everyoneAll, {L"E:WD", IntegrityLow, TOKEN_MANDATORY_POLICY_OFF}, 0x001F0003},
        {nullptr, {L"E:WD", IntegrityLow}, 0x00120001},  // a NULL DACL still has the default label
        {everyoneAll, {L"E:WD", IntegrityLow, 0x3, L"", false, Package}, 0},
        {L"O:SYG:SYD:(A;;GA;;;WD)(A;;GA;;;S-1-15-2-1-2-3-4-5-6-7)", {L"E:WD", IntegrityLow, 0x3, L"", false, Package},
         0x00120001},
        {L"O:SYG:SYD:(A;;GA;;;WD)(A;;GA;;;AC)", {L"E:WD", IntegrityLow, 0x3, L"", false, Package}, 0x00120001},
        {L"O:SYG:SYD:(A;;GA;;;WD)(A;;GR;;;AC)S:(ML;;NW;;;LW)", {L"E:WD", IntegrityLow, 0x3, L"", false, Package},
         0x00020001},
        {L"O:SYG:SYD:(A;;GA;;;WD)(A;;GA;;;S-1-15-3-1)", {L"E:WD", IntegrityLow, 0x3, L"", false, Package, L"S-1-15-3-1"},
         0x00120001},
        {L"O:SYG:SYD:(A;;GA;;;WD)(A;;GA;;;S-1-15-3-1)", {L"E:WD", IntegrityLow, 0x3, L"", false, Package}, 0},
        {L"O:SYG:SYD:(A;;GA;;;AC)", {L"E:WD", IntegrityLow, 0x3, L"", false, Package}, 0},  // the package alone is not enough
        {L"O:BAG:SYD:(A;;GA;;;BA)(A;;GR;;;AU)", {L"E:S-1-5-21-1-2-3-1000 E:WD E:AU D:BA"}, 0x00020001},  // filtered
        {L"O:BAG:SYD:(A;;GA;;;BA)(A;;GR;;;AU)", {L"E:S-1-5-21-1-2-3-1000 E:WD E:AU E:BA", IntegrityHigh}, 0x001F0003},
        {L"O:BAG:SYD:S:(ML;;NW;;;HI)", {L"E:S-1-5-21-1-2-3-1000 E:WD E:BA", IntegrityMedium}, 0x00020000},  // owner, not up
    };
    for (const auto& c : cases) {
        CAPTURE(&c - cases);
        Descriptor descriptor(c.sddl);
        AccessSubject subject;
        Build(c.subject, &subject);
        AccessEvaluation evaluation;
        REQUIRE(EvaluateAccess(descriptor.sd, descriptor.Length(), subject, DocumentedGenericMapping(c.type, nullptr),
                               &evaluation) == 0);
        CHECK(evaluation.granted == c.granted);
    }
    // The label is read from the binary SACL: the first that is not inherit-only.
    DWORD level = 0, policy = 0;
    Descriptor labelled(L"O:SYG:SYD:S:(ML;OICIIO;NW;;;SI)(ML;;NWNR;;;LW)(ML;;NX;;;HI)");
    CHECK((ReadMandatoryLabel(labelled.sd, labelled.Length(), &level, &policy) && level == 0x1000 && policy == 3));
    Descriptor unlabelled(L"O:SYG:SYD:");
    CHECK((!ReadMandatoryLabel(unlabelled.sd, unlabelled.Length(), &level, &policy) && level == 0x2000 && policy == 1));
}

TEST_CASE("the engine against the platform's AccessCheck for this process's token, over thousands of random DACLs")
{
    // Faithful here for allow and deny in order, inherit-only entries and the token's own enabled groups; the owner
    // is none of the token's SIDs and no label is set, where the platform is not.
    HANDLE process = nullptr, token = nullptr;
    REQUIRE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY | TOKEN_DUPLICATE, &process));
    REQUIRE(DuplicateToken(process, SecurityImpersonation, &token));
    AccessSubject subject;
    REQUIRE(ReadTokenSubject(token, &subject) == 0);
    std::vector<std::wstring> pool = {L"S-1-5-21-9-9-9-1001", L"S-1-5-21-9-9-9-1002", L"S-1-5-32-550", L"S-1-5-7"};
    for (size_t i = 0; i < subject.SidCount(); ++i) {
        LPWSTR text = nullptr;
        if (SidAppliesToAllow(subject.Sids()[i].attributes) &&
            ConvertSidToStringSidW(const_cast<BYTE*>(subject.Sids()[i].sid), &text)) {
            pool.push_back(text);
            LocalFree(text);
        }
    }
    REQUIRE(pool.size() > 5);
    const GENERIC_MAPPING mapping = DocumentedGenericMapping(TypeEvent, nullptr);
    const ACCESS_MASK bits[] = {0x1, 0x2, 0x10000, 0x20000, 0x40000, 0x80000, 0x100000};
    Sid owner(pool[0]);
    std::mt19937 random(20261208);
    int agreed = 0, rows = 3000;
    for (int row = 0; row < rows; ++row) {
        BYTE aclBytes[2048];
        PACL acl = reinterpret_cast<PACL>(aclBytes);
        REQUIRE(InitializeAcl(acl, sizeof(aclBytes), ACL_REVISION));
        // Denies before allows, as the system's editor orders them: the platform here lets a later deny take a
        // right granted before, which Windows does not (the hand rows above hold that order).
        struct Ace { bool allow; DWORD flags; ACCESS_MASK mask; size_t sid; };
        std::vector<Ace> aces;
        for (int n = static_cast<int>(random() % 9); n > 0; --n) {
            Ace ace = {random() % 10 < 7, random() % 8 == 0 ? DWORD(INHERIT_ONLY_ACE | OBJECT_INHERIT_ACE) : 0, 0,
                       random() % pool.size()};
            for (ACCESS_MASK bit : bits)
                ace.mask |= random() % 3 == 0 ? bit : 0;
            aces.push_back(ace);
        }
        std::stable_partition(aces.begin(), aces.end(), [](const Ace& ace) { return !ace.allow; });
        for (const Ace& ace : aces) {
            Sid sid(pool[ace.sid]);
            REQUIRE((ace.allow ? AddAccessAllowedAceEx(acl, ACL_REVISION, ace.flags, ace.mask, sid.sid)
                               : AddAccessDeniedAceEx(acl, ACL_REVISION, ace.flags, ace.mask, sid.sid)));
        }
        SECURITY_DESCRIPTOR sd;
        InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION);
        SetSecurityDescriptorOwner(&sd, owner.sid, FALSE);
        SetSecurityDescriptorGroup(&sd, owner.sid, FALSE);
        SetSecurityDescriptorDacl(&sd, TRUE, row % 97 == 0 ? nullptr : acl, FALSE);
        BYTE privileges[256];
        DWORD privilegeBytes = sizeof(privileges);
        DWORD expected = 0;
        BOOL status = FALSE;
        GENERIC_MAPPING copy = mapping;
        REQUIRE(AccessCheck(&sd, token, MAXIMUM_ALLOWED, &copy, reinterpret_cast<PPRIVILEGE_SET>(privileges),
                            &privilegeBytes, &expected, &status));
        AccessEvaluation evaluation;
        REQUIRE(EvaluateAccess(&sd, sizeof(sd), subject, mapping, &evaluation) == 0);
        CAPTURE(row);
        CHECK(evaluation.granted == (status ? expected : 0));
        agreed += evaluation.granted == (status ? expected : 0);
    }
    CHECK(agreed == rows);
    CloseHandle(token);
    CloseHandle(process);
}

TEST_CASE("each type's generic read, write, execute and all as Windows documents them; files as devices; the rest standard")
{
    const struct { int type; const wchar_t* name; const char* mapping; } cases[] = {
        {TypeDirectory, nullptr, "00020003 0002000C 00020003 000F000F"},
        {TypeSymbolicLink, nullptr, "00020001 00020000 00020001 000F0001"},
        {TypeSection, nullptr, "00020005 00020002 00020008 000F001F"},
        {TypeEvent, nullptr, "00020001 00020002 00120000 001F0003"},
        {TypeEventPair, nullptr, "00020000 00020000 00120000 001F0000"},
        {TypeMutant, nullptr, "00020001 00020000 00120000 001F0001"},
        {TypeSemaphore, nullptr, "00020001 00020002 00120000 001F0003"},
        {TypeTimer, nullptr, "00020001 00020002 00120000 001F0003"},
        {TypeKey, nullptr, "00020019 00020006 00020019 000F003F"},
        {TypeJob, nullptr, "00020004 0002000B 00120000 001F001F"},
        {TypeProcess, nullptr, "00020410 00020BEA 00121000 001FFFFF"},
        {TypeThread, nullptr, "00020048 00020037 00121800 001FFFFF"},
        {TypeDevice, nullptr, "00120089 00120116 001200A0 001F01FF"},
        {TypeIoCompletion, nullptr, "00020001 00020002 00120000 001F0003"},
        {TypeUnknown, L"File", "00120089 00120116 001200A0 001F01FF"},
        {TypeType, L"Type", "00020000 00020000 00020000 001F0001"},
        {TypeUnknown, nullptr, "00020000 00020000 00020000 001F0001"},
    };
    for (const auto& c : cases) {
        CAPTURE(&c - cases);
        const GENERIC_MAPPING m = DocumentedGenericMapping(c.type, c.name);
        char text[40];
        snprintf(text, sizeof(text), "%08lX %08lX %08lX %08lX", m.GenericRead, m.GenericWrite, m.GenericExecute, m.GenericAll);
        CHECK(std::string(text) == c.mapping);
    }
}
