#include "AccessExplain.h"

#include "AccessRights.h"
#include "FieldWriter.h"
#include "SidText.h"

namespace {

// A word in both forms: what a person reads, and its JSON name.
struct Word {
    const char* text;
    const char* json;
};

// Indexed by EntryOutcome.
const Word Outcomes[] = {
    {u8"継承専用のため対象外", "inheritOnly"}, {u8"評価しない種類", "unevaluated"}, {u8"該当しない", "notForSubject"},
    {u8"拒否のみのため許可は数えない", "allowOnDenyOnly"}, {u8"許可", "allowed"}, {u8"拒否", "denied"},
};
// Indexed by AccessPass.
const Word Passes[] = {{u8"主体の SID", "subject"}, {u8"制限 SID", "restricted"}, {u8"パッケージ", "package"}};
const Word AllowKind = {u8"許可", "allow"}, DenyKind = {u8"拒否", "deny"};
const Word NullDacl = {u8"NULL DACL (すべて許可)", "null"}, EmptyDacl = {u8"空", "empty"};
// Why the integrity check took rights, or did not.
const Word LevelLower = {u8"主体のレベルが低い", "lower"}, PolicyOff = {u8"主体の必須ポリシーがなし", "policyOff"},
           NotLower = {u8"主体のレベルが低くない", "notLower"};

// Bits by their words. The first row (bit 0) is what a value with none of them says; without a JSON name, none
// is an empty list.
struct Flag {
    DWORD bit;
    Word word;
};
const Flag SidAttributes[] = {
    {0, {u8"無効", "disabled"}}, {SE_GROUP_ENABLED, {u8"有効", "enabled"}}, {SE_GROUP_USE_FOR_DENY_ONLY, {u8"拒否のみ", "denyOnly"}}};
const Flag SubjectPolicies[] = {{0, {u8"なし", nullptr}}, {TOKEN_MANDATORY_POLICY_NO_WRITE_UP, {u8"書き込み上方禁止", "noWriteUp"}}};
const Flag LabelPolicies[] = {
    {0, {u8"なし", nullptr}}, {SYSTEM_MANDATORY_LABEL_NO_WRITE_UP, {u8"書き込み上方禁止", "noWriteUp"}},
    {SYSTEM_MANDATORY_LABEL_NO_READ_UP, {u8"読み取り上方禁止", "noReadUp"}},
    {SYSTEM_MANDATORY_LABEL_NO_EXECUTE_UP, {u8"実行上方禁止", "noExecuteUp"}}};
const DWORD ByRestricted = 0x1, ByWriteRestricted = 0x2, ByPackage = 0x4;
const Flag CombineRules[] = {
    {0, {u8"主体の SID のみ", nullptr}}, {ByRestricted, {u8"制限 SID も許可した権利だけ", "restricted"}},
    {ByWriteRestricted, {u8"ただし種類の汎用書き込みの権利に限る", "writeRestricted"}},
    {ByPackage, {u8"パッケージも許可した権利だけ", "package"}}};

const size_t AccountChars = 512;

// Writes the steps in either form: a step is an object of the JSON list or a text line (or lines) opened by its
// lead; a field is its key in JSON and its label, written as it is with its own spaces, in text. Each call returns
// the writer, so that a field and its value make one line.
class Explainer {
public:
    Explainer(ByteBuffer& out, bool json, int row) : out_(out), json_(json), row_(row) {}

    bool Json() const { return json_; }
    Explainer& Put(const char* json, const char* text)
    {
        out_.Append(json_ ? json : text);
        return *this;
    }
    Explainer& Open(const char* step, const char* lead)
    {
        return Put(steps_++ ? ", {\"step\": \"" : "{\"step\": \"", lead).Put(step, "").Put("\"", "");
    }
    void Close() { Put("}", "\n"); }
    Explainer& Field(const char* key, const char* label) { return Put(", \"", label).Put(key, "").Put("\": ", ""); }
    // A field the text says already, in its heading.
    void JsonField(const char* key, const Word& word)
    {
        if (json_)
            Field(key, "").Say(word);
    }

    Explainer& Ascii(const char* text) { return Put("\"", "").Put(text, text).Put("\"", ""); }
    Explainer& Say(const Word& word) { return json_ ? Ascii(word.json) : Put("", word.text); }
    Explainer& Text(const wchar_t* text)
    {
        Put("\"", "");
        AppendText(out_, text, json_ ? TextForm::Json : TextForm::Display);
        return Put("\"", "");
    }
    Explainer& Number(long long value)
    {
        out_.AppendDecimal(value);
        return *this;
    }
    Explainer& Null() { return Put("null", u8"なし"); }
    Explainer& Bool(bool value, const char* yes, const char* no) { return Put(value ? "true" : "false", value ? yes : no); }
    void Separate(bool more) { Put(more ? ", " : "", more ? u8"、" : ""); }

    // The RID's name, else S-1-16-N.
    Explainer& Level(DWORD level)
    {
        if (const wchar_t* name = IntegrityLevelName(level))
            return Text(name);
        return Put("\"S-1-16-", "S-1-16-").Number(level).Put("\"", "");
    }
    // The hex, and in text the names of its rights too when named.
    Explainer& Mask(ACCESS_MASK mask, bool named)
    {
        char hex[HexTextChars];
        Ascii(FormatHex(mask, 8, hex));
        return named && !json_ ? Put("", " (").Rights(mask).Put("", ")") : *this;
    }
    // Each right by its name, a right without one as its bit, lowest first.
    Explainer& Rights(ACCESS_MASK mask)
    {
        Put("[", "");
        bool more = false;
        for (int bit = 0; bit < 32; ++bit) {
            const ACCESS_MASK right = static_cast<ACCESS_MASK>(1) << bit;
            if (!(mask & right))
                continue;
            Separate(more);
            more = true;
            wchar_t name[AccessNameMaxChars];
            char hex[HexTextChars];
            if (GetAccessRightName(row_, right, name, AccessNameMaxChars) == 0)
                Text(name);
            else
                Ascii(FormatHex(right, 8, hex));
        }
        return Put("]", more ? "" : u8"なし");
    }
    template <size_t N>
    Explainer& Flags(const Flag (&flags)[N], DWORD value)
    {
        Put("[", "");
        bool more = false;
        for (size_t i = 1; i < N; ++i)
            if (value & flags[i].bit) {
                Separate(more);
                more = true;
                Say(flags[i].word);
            }
        if (!more && (!json_ || flags[0].word.json))
            Say(flags[0].word);
        return Put("]", "");
    }
    // The short form, and the account where the system names one: JSON "account" beside it, text in parentheses.
    Explainer& Sid(PSID sid)
    {
        wchar_t text[SidStringChars], account[AccountChars];
        if (!FormatSidShort(sid, text))
            return Null();
        Text(text);
        return FormatAccountName(sid, account, AccountChars) ? Field("account", " (").Text(account).Put("", ")") : *this;
    }
    // {"sid", "account", "attributes"} in JSON; the same words in a row in text.
    Explainer& SidItem(PSID sid, const DWORD* attributes)
    {
        Put("{\"sid\": ", "").Sid(sid);
        if (attributes)
            Field("attributes", " ").Flags(SidAttributes, *attributes);
        return Put("}", "");
    }
    // A JSON list; in text each SID after its label (a line of its own), nothing for none.
    void SidList(const char* key, const char* label, const SubjectSid* sids, size_t count)
    {
        if (json_)
            Field(key, "").Put("[", "");
        for (size_t i = 0; i < count; ++i)
            Put(i ? ", " : "", label).SidItem(const_cast<BYTE*>(sids[i].sid), &sids[i].attributes);
        Put("]", "");
    }

private:
    ByteBuffer& out_;
    bool json_;
    int row_;
    int steps_ = 0;
};

void ExplainSubject(Explainer& e, const AccessSubject& subject)
{
    e.Open("subject", u8"  主体:").SidList("sids", u8"\n    SID: ", subject.Sids(), subject.SidCount());
    e.Field("integrity", u8"\n    整合性レベル: ").Level(subject.Integrity());
    e.Field("policy", u8"\n    必須ポリシー: ").Flags(SubjectPolicies, subject.MandatoryPolicy());
    e.SidList("restricting", u8"\n    制限 SID: ", subject.RestrictingSids(), subject.RestrictingSidCount());
    if (e.Json() || subject.WriteRestricted())
        e.Field("writeRestricted", u8"\n    書き込み制限").Bool(subject.WriteRestricted(), "", "");
    if (e.Json() || subject.AppContainer()) {
        e.Field("package", u8"\n    パッケージ: ");
        subject.AppContainer() ? e.SidItem(subject.Package(), nullptr) : e.Null();
        e.SidList("capabilities", u8"\n    機能: ", subject.Capabilities(), subject.CapabilityCount());
    }
    e.Close();
}

void ExplainObject(Explainer& e, const ExplainedObject& object, const PACL dacl, const AccessEvaluation& evaluation)
{
    PSID owner = nullptr;
    BOOL defaulted = FALSE;
    e.Open("object", u8"  オブジェクト:").Field("type", u8"\n    種類: ").Text(object.typeName);
    e.Field("owner", u8"\n    所有者: ");
    if (GetSecurityDescriptorOwner(object.descriptor, &owner, &defaulted) && owner)
        e.SidItem(owner, nullptr);
    else
        e.Null();
    e.Field("dacl", "\n    DACL: ");
    if (evaluation.nullDacl || !dacl || dacl->AceCount == 0)
        e.Say(evaluation.nullDacl || !dacl ? NullDacl : EmptyDacl);
    else
        e.Number(dacl->AceCount).Put("", u8" 個のエントリ");
    const IntegrityResult& label = evaluation.integrity;
    e.Field("label", u8"\n    ラベル: ").Put("{\"level\": ", label.labelled ? "" : u8"既定 ").Level(label.objectLevel);
    e.Field("policy", u8"、").Flags(LabelPolicies, label.objectPolicy);
    e.Field("labelled", "").Bool(label.labelled, "", "").Put("}", "").Close();
}

void ExplainEntry(Explainer& e, const PACL dacl, const EntryStep& step)
{
    e.Open("entry", "    ").JsonField("pass", Passes[static_cast<int>(step.pass)]);
    e.Field("ace", "#").Number(step.index).Field("type", " ");
    if (step.aceType == ACCESS_ALLOWED_ACE_TYPE || step.aceType == ACCESS_DENIED_ACE_TYPE)
        e.Say(step.aceType == ACCESS_ALLOWED_ACE_TYPE ? AllowKind : DenyKind);
    else
        e.Put("", u8"種類 ").Number(step.aceType);
    if (step.sidAt >= 0 && dacl)
        e.Field("sid", " ").Sid(reinterpret_cast<BYTE*>(dacl) + step.sidAt).Field("mask", " ").Mask(step.mask, false);
    e.Field("outcome", u8" → ").Say(Outcomes[static_cast<int>(step.outcome)]);
    if (e.Json() || step.outcome == EntryOutcome::Allowed || step.outcome == EntryOutcome::Denied)
        e.Field("change", " ").Mask(step.change, true);
    e.Close();
}

// The owner's implicit rights open the pass; then its entries in order; then what the pass alone grants.
void ExplainPass(Explainer& e, const PACL dacl, const AccessEvaluation& evaluation, int pass)
{
    const PassResult& result = evaluation.passes[pass];
    e.Open("owner", u8"  パス: ").Field("pass", "").Say(Passes[pass]);
    e.Field("isOwner", u8"\n    所有者: ").Bool(result.owner, u8"はい", u8"いいえ");
    e.Field("ownerRightsEntry", u8"、OWNER RIGHTS のエントリ: ").Bool(result.ownerRightsEntry, u8"あり", u8"なし");
    e.Field("granted", u8" → 暗黙の権利: ").Mask(result.ownerGranted, true).Close();
    for (size_t i = 0; i < evaluation.steps.Count(); ++i)
        if (static_cast<int>(evaluation.steps[i].pass) == pass)
            ExplainEntry(e, dacl, evaluation.steps[i]);
    e.Open("pass", u8"    計").JsonField("pass", Passes[pass]);
    e.Field("granted", ": ").Mask(result.granted, true).Close();
}

void ExplainCombine(Explainer& e, const AccessSubject& subject, const AccessEvaluation& evaluation)
{
    const DWORD rules = (subject.Restricted() ? ByRestricted : 0) | (subject.WriteRestricted() ? ByWriteRestricted : 0) |
                        (subject.AppContainer() ? ByPackage : 0);
    e.Open("combine", u8"  パスの組み合わせ: ").Field("rules", "").Flags(CombineRules, rules);
    e.Field("granted", u8" → ").Mask(evaluation.beforeIntegrity, true).Close();
}

void ExplainIntegrity(Explainer& e, const AccessSubject& subject, const IntegrityResult& integrity)
{
    const bool policyOff = !(subject.MandatoryPolicy() & TOKEN_MANDATORY_POLICY_NO_WRITE_UP);
    e.Open("integrity", u8"  整合性:").Field("subjectLevel", u8" 主体 ").Level(subject.Integrity());
    e.Field("objectLevel", u8"、オブジェクト ").Level(integrity.objectLevel);
    e.Field("reason", u8" → ").Say(integrity.applied ? LevelLower : policyOff ? PolicyOff : NotLower);
    e.Field("applied", u8"、").Bool(integrity.applied, u8"適用する", u8"適用しない");
    e.Field("removed", u8"、取り除く権利: ").Mask(integrity.removed, true).Close();
}

}  // namespace

void AppendExplanation(ByteBuffer& out, bool json, const ExplainedObject& object, const AccessSubject& subject,
                       const wchar_t* subjectLabel, const AccessEvaluation& evaluation)
{
    Explainer e(out, json, object.rightsRow);
    PACL dacl = nullptr;
    BOOL present = FALSE, defaulted = FALSE;
    if (!GetSecurityDescriptorDacl(object.descriptor, &present, &dacl, &defaulted) || !present)
        dacl = nullptr;
    e.Put("{\"path\": ", "").Text(object.path).Field("subject", "\t").Text(subjectLabel);
    if (json)
        e.Field("granted", "").Mask(evaluation.granted, false).Field("rights", "").Rights(evaluation.granted);
    e.Put(", \"steps\": [", "\n");
    ExplainSubject(e, subject);
    ExplainObject(e, object, dacl, evaluation);
    for (int pass = 0; pass < AccessPassCount; ++pass)
        if (evaluation.passes[pass].ran)
            ExplainPass(e, dacl, evaluation, pass);
    ExplainCombine(e, subject, evaluation);
    ExplainIntegrity(e, subject, evaluation.integrity);
    e.Open("result", u8"  結果:").Field("granted", " ").Mask(evaluation.granted, true).Close();
    e.Put("]}\n", "");
}
