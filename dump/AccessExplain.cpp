#include "AccessExplain.h"

#include "AccessRights.h"
#include "DumpMessages.h"
#include "FieldWriter.h"
#include "SidText.h"

namespace {

// A word in both forms: what a person reads, and its JSON name.
struct Word {
    Msg text;
    const char* json;
};

// Indexed by EntryOutcome.
const Word Outcomes[] = {
    {Msg::ExplainInheritOnly, "inheritOnly"},         {Msg::ExplainUnevaluated, "unevaluated"},
    {Msg::ExplainNotForSubject, "notForSubject"},     {Msg::ExplainAllowOnDenyOnly, "allowOnDenyOnly"},
    {Msg::ExplainAllow, "allowed"},                   {Msg::ExplainDeny, "denied"},
};
// Indexed by AccessPass.
const Word Passes[] = {{Msg::ExplainSubjectPass, "subject"},
                       {Msg::ExplainRestrictedPass, "restricted"},
                       {Msg::ExplainPackagePass, "package"}};
const Word AllowKind = {Msg::ExplainAllow, "allow"}, DenyKind = {Msg::ExplainDeny, "deny"};
const Word NullDacl = {Msg::ExplainNullDacl, "null"}, EmptyDacl = {Msg::ExplainEmptyDacl, "empty"};
// Why the integrity check took rights, or did not.
const Word LevelLower = {Msg::ExplainLevelLower, "lower"}, PolicyOff = {Msg::ExplainPolicyOff, "policyOff"},
           NotLower = {Msg::ExplainNotLower, "notLower"};

// Bits by their words. The first row (bit 0) is what a value with none of them says; without a JSON name, none
// is an empty list.
struct Flag {
    DWORD bit;
    Word word;
};
const Flag SidAttributes[] = {
    {0, {Msg::ExplainDisabled, "disabled"}},
    {SE_GROUP_ENABLED, {Msg::ExplainEnabled, "enabled"}},
    {SE_GROUP_USE_FOR_DENY_ONLY, {Msg::ExplainDenyOnly, "denyOnly"}}};
const Flag SubjectPolicies[] = {
    {0, {Msg::ExplainNone, nullptr}}, {TOKEN_MANDATORY_POLICY_NO_WRITE_UP, {Msg::ExplainNoWriteUp, "noWriteUp"}}};
const Flag LabelPolicies[] = {
    {0, {Msg::ExplainNone, nullptr}}, {SYSTEM_MANDATORY_LABEL_NO_WRITE_UP, {Msg::ExplainNoWriteUp, "noWriteUp"}},
    {SYSTEM_MANDATORY_LABEL_NO_READ_UP, {Msg::ExplainNoReadUp, "noReadUp"}},
    {SYSTEM_MANDATORY_LABEL_NO_EXECUTE_UP, {Msg::ExplainNoExecuteUp, "noExecuteUp"}}};
const DWORD ByRestricted = 0x1, ByWriteRestricted = 0x2, ByPackage = 0x4;
const Flag CombineRules[] = {
    {0, {Msg::ExplainSubjectOnly, nullptr}}, {ByRestricted, {Msg::ExplainByRestricted, "restricted"}},
    {ByWriteRestricted, {Msg::ExplainByWriteRestricted, "writeRestricted"}},
    {ByPackage, {Msg::ExplainByPackage, "package"}}};

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
    // The same, the text's part from the messages.
    Explainer& Put(const char* json, Msg text) { return Put(json, MessageText(text)); }
    Explainer& Open(const char* step, Msg lead) { return Open(step, MessageText(lead)); }
    Explainer& Field(const char* key, Msg label) { return Field(key, MessageText(label)); }
    // A field the text says already, in its heading.
    void JsonField(const char* key, const Word& word)
    {
        if (json_)
            Field(key, "").Say(word);
    }

    Explainer& Ascii(const char* text) { return Put("\"", "").Put(text, text).Put("\"", ""); }
    Explainer& Say(const Word& word) { return json_ ? Ascii(word.json) : Put("", MessageText(word.text)); }
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
    Explainer& Null() { return Put("null", MessageText(Msg::ExplainNone)); }
    Explainer& Bool(bool value, const char* yes, const char* no) { return Put(value ? "true" : "false", value ? yes : no); }
    Explainer& Bool(bool value, Msg yes, Msg no) { return Bool(value, MessageText(yes), MessageText(no)); }
    void Separate(bool more) { Put(more ? ", " : "", more ? MessageText(Msg::ExplainComma) : ""); }

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
        return Put("]", more ? "" : MessageText(Msg::ExplainNone));
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
    void SidList(const char* key, Msg label, const SubjectSid* sids, size_t count)
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
    e.Open("subject", Msg::ExplainSubject).SidList("sids", Msg::ExplainSid, subject.Sids(), subject.SidCount());
    e.Field("integrity", Msg::ExplainIntegrityLevel).Level(subject.Integrity());
    e.Field("policy", Msg::ExplainPolicy).Flags(SubjectPolicies, subject.MandatoryPolicy());
    e.SidList("restricting", Msg::ExplainRestricting, subject.RestrictingSids(), subject.RestrictingSidCount());
    if (e.Json() || subject.WriteRestricted())
        e.Field("writeRestricted", Msg::ExplainWriteRestricted).Bool(subject.WriteRestricted(), "", "");
    if (e.Json() || subject.AppContainer()) {
        e.Field("package", Msg::ExplainPackage);
        subject.AppContainer() ? e.SidItem(subject.Package(), nullptr) : e.Null();
        e.SidList("capabilities", Msg::ExplainCapabilities, subject.Capabilities(), subject.CapabilityCount());
    }
    e.Close();
}

void ExplainObject(Explainer& e, const ExplainedObject& object, const PACL dacl, const AccessEvaluation& evaluation)
{
    PSID owner = nullptr;
    BOOL defaulted = FALSE;
    e.Open("object", Msg::ExplainObject).Field("type", Msg::ExplainType).Text(object.typeName);
    e.Field("owner", Msg::ExplainOwner);
    if (GetSecurityDescriptorOwner(object.descriptor, &owner, &defaulted) && owner)
        e.SidItem(owner, nullptr);
    else
        e.Null();
    e.Field("dacl", Msg::ExplainDacl);
    if (evaluation.nullDacl || !dacl || dacl->AceCount == 0)
        e.Say(evaluation.nullDacl || !dacl ? NullDacl : EmptyDacl);
    else
        e.Number(dacl->AceCount).Put("", Msg::ExplainEntryCount);
    const IntegrityResult& label = evaluation.integrity;
    e.Field("label", Msg::ExplainLabel);
    e.Put("{\"level\": ", label.labelled ? "" : MessageText(Msg::ExplainDefaultLevel));
    e.Level(label.objectLevel);
    e.Field("policy", Msg::ExplainComma).Flags(LabelPolicies, label.objectPolicy);
    e.Field("labelled", "").Bool(label.labelled, "", "").Put("}", "").Close();
}

void ExplainEntry(Explainer& e, const PACL dacl, const EntryStep& step)
{
    e.Open("entry", "    ").JsonField("pass", Passes[static_cast<int>(step.pass)]);
    e.Field("ace", "#").Number(step.index).Field("type", " ");
    if (step.aceType == ACCESS_ALLOWED_ACE_TYPE || step.aceType == ACCESS_DENIED_ACE_TYPE)
        e.Say(step.aceType == ACCESS_ALLOWED_ACE_TYPE ? AllowKind : DenyKind);
    else
        e.Put("", Msg::ExplainAceType).Number(step.aceType);
    if (step.sidAt >= 0 && dacl)
        e.Field("sid", " ").Sid(reinterpret_cast<BYTE*>(dacl) + step.sidAt).Field("mask", " ").Mask(step.mask, false);
    e.Field("outcome", Msg::ExplainArrow).Say(Outcomes[static_cast<int>(step.outcome)]);
    if (e.Json() || step.outcome == EntryOutcome::Allowed || step.outcome == EntryOutcome::Denied)
        e.Field("change", " ").Mask(step.change, true);
    e.Close();
}

// The owner's implicit rights open the pass; then its entries in order; then what the pass alone grants.
void ExplainPass(Explainer& e, const PACL dacl, const AccessEvaluation& evaluation, int pass)
{
    const PassResult& result = evaluation.passes[pass];
    e.Open("owner", Msg::ExplainPass).Field("pass", "").Say(Passes[pass]);
    e.Field("isOwner", Msg::ExplainOwner).Bool(result.owner, Msg::ExplainYes, Msg::ExplainNo);
    e.Field("ownerRightsEntry", Msg::ExplainOwnerRightsEntry);
    e.Bool(result.ownerRightsEntry, Msg::ExplainPresent, Msg::ExplainNone);
    e.Field("granted", Msg::ExplainImplicitRights).Mask(result.ownerGranted, true).Close();
    for (size_t i = 0; i < evaluation.steps.Count(); ++i)
        if (static_cast<int>(evaluation.steps[i].pass) == pass)
            ExplainEntry(e, dacl, evaluation.steps[i]);
    e.Open("pass", Msg::ExplainPassTotal).JsonField("pass", Passes[pass]);
    e.Field("granted", ": ").Mask(result.granted, true).Close();
}

void ExplainCombine(Explainer& e, const AccessSubject& subject, const AccessEvaluation& evaluation)
{
    const DWORD rules = (subject.Restricted() ? ByRestricted : 0) | (subject.WriteRestricted() ? ByWriteRestricted : 0) |
                        (subject.AppContainer() ? ByPackage : 0);
    e.Open("combine", Msg::ExplainCombine).Field("rules", "").Flags(CombineRules, rules);
    e.Field("granted", Msg::ExplainArrow).Mask(evaluation.beforeIntegrity, true).Close();
}

void ExplainIntegrity(Explainer& e, const AccessSubject& subject, const IntegrityResult& integrity)
{
    const bool policyOff = !(subject.MandatoryPolicy() & TOKEN_MANDATORY_POLICY_NO_WRITE_UP);
    e.Open("integrity", Msg::ExplainIntegrity);
    e.Field("subjectLevel", Msg::ExplainSubjectLevel).Level(subject.Integrity());
    e.Field("objectLevel", Msg::ExplainObjectLevel).Level(integrity.objectLevel);
    e.Field("reason", Msg::ExplainArrow).Say(integrity.applied ? LevelLower : policyOff ? PolicyOff : NotLower);
    e.Field("applied", Msg::ExplainComma).Bool(integrity.applied, Msg::ExplainApplied, Msg::ExplainNotApplied);
    e.Field("removed", Msg::ExplainRemoved).Mask(integrity.removed, true).Close();
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
    e.Open("result", Msg::ExplainResult).Field("granted", " ").Mask(evaluation.granted, true).Close();
    e.Put("]}\n", "");
}
