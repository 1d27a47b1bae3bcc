// --explain over descriptors and subjects made here, in both forms: the JSON parsed with nlohmann::json, the text by
// its lines.
#include <doctest.h>

#include <windows.h>
#include <sddl.h>

#include <nlohmann/json.hpp>

#include <initializer_list>
#include <string>

#include "AccessCheck.h"
#include "AccessExplain.h"
#include "AccessRights.h"
#include "JsonLog.h"
#include "ObjectTypes.h"

namespace {

// Alice: S-1-5-21-1-2-3-1001 with Everyone, Administrators deny-only, at Medium with no-write-up unless said.
enum class Who { Alice, Low, Restricted, WriteRestricted, PolicyOff, Package };

void AddSid(AccessSubject& subject, const wchar_t* text, int as, DWORD attributes = SE_GROUP_ENABLED)
{
    PSID sid = nullptr;
    REQUIRE(ConvertStringSidToSidW(text, &sid));
    REQUIRE((as == 0 ? subject.SetUser(sid) : as == 1 ? subject.AddGroup(sid, attributes)
             : as == 2 ? subject.AddRestrictingSid(sid) : as == 3 ? subject.SetPackage(sid) : subject.AddCapability(sid)));
    LocalFree(sid);
}

void MakeSubject(Who who, AccessSubject& subject)
{
    AddSid(subject, L"S-1-5-21-1-2-3-1001", 0);
    AddSid(subject, L"S-1-1-0", 1);
    AddSid(subject, L"S-1-5-32-544", 1, SE_GROUP_USE_FOR_DENY_ONLY);
    subject.SetMandatoryPolicy(TOKEN_MANDATORY_POLICY_NO_WRITE_UP);
    subject.SetIntegrity(who == Who::Low ? IntegrityLow : who == Who::PolicyOff ? 0x1100 : IntegrityMedium);
    if (who == Who::PolicyOff)
        subject.SetMandatoryPolicy(TOKEN_MANDATORY_POLICY_OFF);
    if (who == Who::Restricted || who == Who::WriteRestricted)
        AddSid(subject, L"S-1-1-0", 2);
    subject.SetWriteRestricted(who == Who::WriteRestricted);
    if (who == Who::Package) {
        AddSid(subject, L"S-1-15-2-1-2-3-4-5-6-7", 3);
        AddSid(subject, L"S-1-15-3-1", 4);
    }
}

// An event \Kagero\Test explained for the subject; a null sddl is a NULL DACL; the DACL's byte at may be set to value.
std::string Explain(const wchar_t* sddl, Who who, bool json, int at = -1, BYTE value = 0)
{
    SECURITY_DESCRIPTOR nullDacl;
    PSECURITY_DESCRIPTOR descriptor = &nullDacl;
    REQUIRE((sddl ? ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &descriptor, nullptr)
                  : InitializeSecurityDescriptor(&nullDacl, SECURITY_DESCRIPTOR_REVISION) &&
                        SetSecurityDescriptorDacl(&nullDacl, TRUE, nullptr, FALSE)));
    PACL dacl = nullptr;
    BOOL present = FALSE, defaulted = FALSE;
    if (at >= 0 && GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted) && dacl)
        reinterpret_cast<BYTE*>(dacl)[at] = value;
    ExplainedObject object = {L"\\Kagero\\Test", L"Event", NoAccessRow, descriptor,
                              sddl ? GetSecurityDescriptorLength(descriptor) : DWORD(sizeof(nullDacl)),
                              DocumentedGenericMapping(TypeEvent, nullptr)};
    ACCESS_MASK valid = 0;
    FindAccessRow(TypeEvent, &valid, &object.rightsRow);
    AccessSubject subject;
    MakeSubject(who, subject);
    AccessEvaluation evaluation;
    REQUIRE(EvaluateAccess(object.descriptor, object.length, subject, object.mapping, &evaluation) == 0);
    ByteBuffer out;
    AppendExplanation(out, json, object, subject, L"alice", evaluation);
    if (sddl)
        LocalFree(descriptor);
    KeepJsonLines(std::string(out.Data(), out.Size()));
    return std::string(out.Data(), out.Size());
}

// The values of one key across the steps of one kind, strings bare and others as JSON ("-" where absent), joined by
// spaces; with more keys, each step's values joined by spaces too.
std::string Column(const nlohmann::json& steps, const char* step, std::initializer_list<const char*> keys)
{
    std::string joined;
    for (const auto& s : steps)
        for (const char* key : keys)
            if (s["step"] == step) {
                const nlohmann::json value = s.value(key, nlohmann::json("-"));
                joined += (joined.empty() ? "" : " ") + (value.is_string() ? value.get<std::string>() : value.dump());
            }
    return joined;
}

}  // namespace

TEST_CASE("explain, JSON: each entry's outcome and change in order, per pass; the owner's rights; how the passes "
          "combine; the integrity step; every granted right")
{
    const wchar_t* const entries = L"O:SYD:(D;;0x2;;;WD)(A;;GA;;;BA)(A;IO;GA;;;WD)(A;;GA;;;WD)";
    const wchar_t* const twoSids = L"O:SYD:(A;;GA;;;S-1-5-21-1-2-3-1001)(A;;GR;;;WD)";
    const wchar_t* const high = L"O:SYD:(A;;GA;;;WD)S:(ML;;NWNR;;;HI)";
    const char* const all = u8"情報の問い合わせ 変更 削除 アクセス許可の読み取り アクセス許可の変更 所有権の取得 同期";
    const char* const allButModify = u8"情報の問い合わせ 削除 アクセス許可の読み取り アクセス許可の変更 所有権の取得 同期";
    const char* const read = u8"情報の問い合わせ アクセス許可の読み取り";
    const char* const denyAllowInheritAllow = "denied 0x00000002 allowOnDenyOnly 0x00000000 inheritOnly 0x00000000 "
                                              "allowed 0x001F0001";
    const char* const notOwner = "false false 0x00000000", * const medium = "medium [\"noWriteUp\"] false";
    const char* const notApplied = "medium medium notLower false 0x00000000";
    // Entries as outcome and change; passes as the owner's step, then its total; the object as its DACL and label;
    // combine as the rules and what they grant; integrity as levels, reason, applied and removed.
    const struct { const wchar_t* sddl; Who who; const char* granted; const char* rights; const char* entries;
                   const char* owner; const char* passes; const char* dacl; const char* label; const char* combine;
                   const char* integrity; int at = -1; BYTE value = 0; } cases[] = {
        {entries, Who::Alice, "0x001F0001", allButModify, denyAllowInheritAllow, notOwner, "0x001F0001", "4", medium,
         "[] 0x001F0001", notApplied},
        {entries, Who::Low, "0x00120001", u8"情報の問い合わせ アクセス許可の読み取り 同期", denyAllowInheritAllow, notOwner,
         "0x001F0001", "4", medium, "[] 0x001F0001", "low medium lower true 0x000D0002"},
        {nullptr, Who::Alice, "0x001F0003", all, "", notOwner, "0x001F0003", "null", medium, "[] 0x001F0003", notApplied},
        {twoSids, Who::Restricted, "0x00020001", read,
         "allowed 0x001F0003 allowed 0x00000000 notForSubject 0x00000000 allowed 0x00020001",
         "false false 0x00000000 false false 0x00000000", "0x001F0003 0x00020001", "2", medium,
         "[\"restricted\"] 0x00020001", notApplied},
        {twoSids, Who::WriteRestricted, "0x001F0001", allButModify,
         "allowed 0x001F0003 allowed 0x00000000 notForSubject 0x00000000 allowed 0x00020001",
         "false false 0x00000000 false false 0x00000000", "0x001F0003 0x00020001", "2", medium,
         "[\"restricted\",\"writeRestricted\"] 0x001F0001", notApplied},
        {L"O:S-1-5-21-1-2-3-1001D:(A;IO;GA;;;OW)", Who::Alice, "0x00060000",
         u8"アクセス許可の読み取り アクセス許可の変更", "inheritOnly 0x00000000", "true false 0x00060000", "0x00060000", "1",
         medium, "[] 0x00060000", notApplied},
        {L"O:S-1-5-21-1-2-3-1001D:(A;;0x5;;;OW)", Who::Alice, "0x00000005", u8"情報の問い合わせ 0x00000004",
         "allowed 0x00000005", "true true 0x00000000", "0x00000005", "1", medium, "[] 0x00000005", notApplied},
        // The first entry's type byte made a callback's (9): a kind not evaluated.
        {L"O:SYD:(A;;GA;;;WD)(A;;GR;;;WD)", Who::Alice, "0x00020001", read, "unevaluated 0x00000000 allowed 0x00020001",
         notOwner, "0x00020001", "2", medium, "[] 0x00020001", notApplied, 8, 9},
        {L"O:SYD:", Who::Alice, "0x00000000", "", "", notOwner, "0x00000000", "empty", medium, "[] 0x00000000",
         notApplied},
        {high, Who::Alice, "0x00120000", u8"アクセス許可の読み取り 同期", "allowed 0x001F0003", notOwner, "0x001F0003", "1",
         "high [\"noWriteUp\",\"noReadUp\"] true", "[] 0x001F0003", "medium high lower true 0x000D0003"},
        {high, Who::PolicyOff, "0x001F0003", all, "allowed 0x001F0003", notOwner, "0x001F0003", "1",
         "high [\"noWriteUp\",\"noReadUp\"] true", "[] 0x001F0003", "S-1-16-4352 high policyOff false 0x00000000"},
        {L"O:SYD:(A;;GA;;;WD)(A;;GR;;;S-1-15-3-1)", Who::Package, "0x00020001", read,
         "allowed 0x001F0003 notForSubject 0x00000000 notForSubject 0x00000000 allowed 0x00020001",
         "false false 0x00000000 false false 0x00000000", "0x001F0003 0x00020001", "2", medium,
         "[\"package\"] 0x00020001", "low medium lower true 0x000D0002"},
    };
    for (const auto& c : cases) {
        CAPTURE(&c - cases);
        const std::string text = Explain(c.sddl, c.who, true, c.at, c.value);
        CHECK(text.find('\n') == text.size() - 1);
        const nlohmann::json j = nlohmann::json::parse(text);
        CHECK(j["path"] == "\\Kagero\\Test");
        CHECK(j["subject"] == "alice");
        CHECK(j["granted"] == c.granted);
        std::string rights;
        for (const auto& right : j["rights"])
            rights += (rights.empty() ? "" : " ") + right.get<std::string>();
        CHECK(rights == c.rights);
        const nlohmann::json& steps = j["steps"];
        CHECK(Column(steps, "entry", {"outcome", "change"}) == c.entries);
        CHECK(Column(steps, "owner", {"isOwner", "ownerRightsEntry", "granted"}) == c.owner);
        CHECK(Column(steps, "pass", {"granted"}) == c.passes);
        CHECK(Column(steps, "object", {"dacl"}) == c.dacl);
        CHECK(steps[1]["label"]["level"].get<std::string>() + " " + steps[1]["label"]["policy"].dump() + " " +
                  steps[1]["label"]["labelled"].dump() == c.label);
        CHECK(Column(steps, "combine", {"rules", "granted"}) == c.combine);
        CHECK(Column(steps, "integrity", {"subjectLevel", "objectLevel", "reason", "applied", "removed"}) == c.integrity);
        CHECK(Column(steps, "result", {"granted"}) == c.granted);
    }
}

TEST_CASE("explain, JSON: the subject's SIDs with their attributes, the entries' kinds and SIDs")
{
    const nlohmann::json steps =
        nlohmann::json::parse(Explain(L"O:BAD:(D;;0x2;;;WD)(A;;GA;;;BA)", Who::Restricted, true, 8, 9))["steps"];
    CHECK(steps[0].dump() ==
          "{\"capabilities\":[],\"integrity\":\"medium\",\"package\":null,\"policy\":[\"noWriteUp\"],"
          "\"restricting\":[{\"account\":\"Everyone\",\"attributes\":[\"enabled\"],\"sid\":\"WD\"}],"
          "\"sids\":[{\"attributes\":[\"enabled\"],\"sid\":\"S-1-5-21-1-2-3-1001\"},"
          "{\"account\":\"Everyone\",\"attributes\":[\"enabled\"],\"sid\":\"WD\"},"
          "{\"account\":\"BUILTIN\\\\Administrators\",\"attributes\":[\"denyOnly\"],\"sid\":\"BA\"}],"
          "\"step\":\"subject\",\"writeRestricted\":false}");
    CHECK(steps[1]["owner"].dump() == "{\"account\":\"BUILTIN\\\\Administrators\",\"sid\":\"BA\"}");
    CHECK(Column(steps, "entry", {"type"}) == "9 allow 9 allow");
    CHECK(Column(steps, "entry", {"sid"}) == "- BA - BA");
    CHECK(Column(steps, "entry", {"pass"}) == "subject subject restricted restricted");
    const nlohmann::json package = nlohmann::json::parse(Explain(L"O:SYD:", Who::Package, true))["steps"][0];
    CHECK(package["package"]["sid"] == "S-1-15-2-1-2-3-4-5-6-7");
    CHECK(package["capabilities"].size() == 1);
    CHECK(package["capabilities"][0]["sid"] == "S-1-15-3-1");
    CHECK(package["capabilities"][0]["attributes"].dump() == "[\"enabled\"]");
    CHECK(package["integrity"] == "low");
}

TEST_CASE("explain, text: the steps as lines, names in parentheses, the rights by name")
{
    CHECK(Explain(L"O:SYD:(D;;0x2;;;WD)(A;;GA;;;BA)(A;IO;GA;;;WD)(A;;GA;;;WD)", Who::Low, false) ==
          u8"\\Kagero\\Test\talice\n"
          u8"  主体:\n"
          u8"    SID: S-1-5-21-1-2-3-1001 有効\n"
          u8"    SID: WD (Everyone) 有効\n"
          u8"    SID: BA (BUILTIN\\Administrators) 拒否のみ\n"
          u8"    整合性レベル: low\n"
          u8"    必須ポリシー: 書き込み上方禁止\n"
          u8"  オブジェクト:\n"
          u8"    種類: Event\n"
          u8"    所有者: SY (NT AUTHORITY\\SYSTEM)\n"
          u8"    DACL: 4 個のエントリ\n"
          u8"    ラベル: 既定 medium、書き込み上方禁止\n"
          u8"  パス: 主体の SID\n"
          u8"    所有者: いいえ、OWNER RIGHTS のエントリ: なし → 暗黙の権利: 0x00000000 (なし)\n"
          u8"    #0 拒否 WD (Everyone) 0x00000002 → 拒否 0x00000002 (変更)\n"
          u8"    #1 許可 BA (BUILTIN\\Administrators) 0x001F0003 → 拒否のみのため許可は数えない\n"
          u8"    #2 許可 WD (Everyone) 0x001F0003 → 継承専用のため対象外\n"
          u8"    #3 許可 WD (Everyone) 0x001F0003 → 許可 0x001F0001 (情報の問い合わせ、削除、アクセス許可の読み取り、"
          u8"アクセス許可の変更、所有権の取得、同期)\n"
          u8"    計: 0x001F0001 (情報の問い合わせ、削除、アクセス許可の読み取り、アクセス許可の変更、所有権の取得、同期)\n"
          u8"  パスの組み合わせ: 主体の SID のみ → 0x001F0001 (情報の問い合わせ、削除、アクセス許可の読み取り、アクセス許可の変更、"
          u8"所有権の取得、同期)\n"
          u8"  整合性: 主体 low、オブジェクト medium → 主体のレベルが低い、適用する、取り除く権利: 0x000D0002 (変更、削除、"
          u8"アクセス許可の変更、所有権の取得)\n"
          u8"  結果: 0x00120001 (情報の問い合わせ、アクセス許可の読み取り、同期)\n");
    // Restricting SIDs, write-restricted, and a level and policy without names; a NULL DACL.
    const std::string text = Explain(nullptr, Who::PolicyOff, false);
    CHECK(text.find(u8"\n    整合性レベル: S-1-16-4352\n    必須ポリシー: なし\n  オブジェクト:") != std::string::npos);
    CHECK(text.find(u8"\n    DACL: NULL DACL (すべて許可)\n") != std::string::npos);
    CHECK(Explain(nullptr, Who::WriteRestricted, false).find(u8"\n    制限 SID: WD (Everyone) 有効\n    書き込み制限\n") !=
          std::string::npos);
}
