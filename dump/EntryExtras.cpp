#include "EntryExtras.h"

#include <cwchar>

#include "AccessRights.h"
#include "DumpSubjects.h"
#include "ObjectDetails.h"
#include "ObjectTypes.h"
#include "SidText.h"

namespace {

const size_t NameChars = 32;
const size_t AccountChars = 512;

// "0x" and eight upper-case digits, quoted in JSON.
void Hex(FieldWriter& fields, const char* key, ULONG value)
{
    char text[HexTextChars];
    fields.Word(key, FormatHex(value, 8, text));
}

// Writes value as count decimal digits, zeros in front, at text.
char* Digits(char* text, unsigned value, int count)
{
    for (int i = count - 1; i >= 0; --i, value /= 10)
        text[i] = static_cast<char>('0' + value % 10);
    return text + count;
}

// 2026-12-07T09:40:12Z, or nothing for no time, as the sheet leaves it blank.
void Time(FieldWriter& fields, const char* key, LONGLONG time)
{
    char text[24] = "";
    SYSTEMTIME utc;
    const FILETIME file = {static_cast<DWORD>(time), static_cast<DWORD>(time >> 32)};
    if (time > 0 && FileTimeToSystemTime(&file, &utc)) {
        const WORD parts[6] = {utc.wYear, utc.wMonth, utc.wDay, utc.wHour, utc.wMinute, utc.wSecond};
        const char* after = "--T::Z";
        char* at = text;
        for (int i = 0; i < 6; ++i) {
            at = Digits(at, parts[i], i == 0 ? 4 : 2);
            *at++ = after[i];
        }
        *at = '\0';
    }
    fields.Word(key, text);
}

void AppendMore(FieldWriter& fields, const MoreDetails& more)
{
    switch (more.kind) {
    case MoreDetails::Section:
        fields.Number("sectionSize", more.value);
        Hex(fields, "sectionAttributes", more.flags);
        break;
    case MoreDetails::Timer:
        fields.Flag("signaled", more.flags != 0);
        // Milliseconds left, rounded up; a timer that is not running has none.
        fields.Number("remainingMs", more.value > 0 ? (more.value + 9999) / 10000 : 0);
        break;
    case MoreDetails::IoCompletion:
        fields.Number("queued", more.value);
        break;
    case MoreDetails::Job:
        fields.Number("activeProcesses", more.value);
        break;
    case MoreDetails::LinkCreated:
        Time(fields, "created", more.value);
        break;
    case MoreDetails::None:
        break;
    }
}

// by=#0:AU,#2:S-1-5-21-...,owner,null: each entry once in DACL order, whichever subjects it gave rights to.
void AppendReasonsText(FieldWriter& fields, const SecurityFacts& security)
{
    ByteBuffer& out = fields.Out();
    fields.Key("by");
    bool first = true, owner = false, nullDacl = false;
    int last = -1;
    for (;;) {
        const AccessReason* next = nullptr;
        for (size_t i = 0; i < security.reasonCount; ++i) {
            const AccessReason& reason = security.reasons[i];
            owner = owner || reason.kind == AccessReason::Owner;
            nullDacl = nullDacl || reason.kind == AccessReason::NullDacl;
            if (reason.kind == AccessReason::Entry && reason.ace > last && (!next || reason.ace < next->ace))
                next = &reason;
        }
        if (!next)
            break;
        last = next->ace;
        wchar_t sid[SidStringChars];
        out.Append(first ? "#" : ",#");
        first = false;
        out.AppendDecimal(next->ace);
        out.AppendByte(':');
        if (FormatSidShort(const_cast<void*>(next->sid), sid))
            fields.Value(sid, static_cast<size_t>(lstrlenW(sid)));
    }
    if (owner)
        out.Append(first ? "owner" : ",owner");
    if (nullDacl)
        out.Append(first && !owner ? "null" : ",null");
}

// "by": [{"ace": 0, "sid": "S-1-5-11", "account": "...", "mask": "0x..."}, {"owner": true, ...}, {"nullDacl": true, ...}]
void AppendReasonsJson(FieldWriter& fields, const SecurityFacts& security)
{
    ByteBuffer& out = fields.Out();
    out.Append(", \"by\": [");
    for (size_t i = 0; i < security.reasonCount; ++i) {
        const AccessReason& reason = security.reasons[i];
        out.Append(i ? ", {" : "{");
        if (reason.kind == AccessReason::Entry) {
            out.Append("\"ace\": ");
            out.AppendDecimal(reason.ace);
            wchar_t text[SidStringChars];
            PSID sid = const_cast<void*>(reason.sid);
            if (FormatSidString(sid, text)) {
                out.Append(", \"sid\": ");
                fields.Value(text, static_cast<size_t>(lstrlenW(text)));
            }
            wchar_t account[AccountChars];
            if (FormatAccountName(sid, account, AccountChars)) {
                out.Append(", \"account\": ");
                fields.Value(account, static_cast<size_t>(lstrlenW(account)));
            }
        } else {
            out.Append(reason.kind == AccessReason::Owner ? "\"owner\": true" : "\"nullDacl\": true");
        }
        char mask[HexTextChars];
        out.Append(", \"mask\": ");
        fields.Value(FormatHex(reason.mask, 8, mask));
        if (security.subjects && security.subjects->Count() > 1) {
            const wchar_t* label = security.subjects->Label(static_cast<size_t>(reason.subject));
            out.Append(", \"subject\": ");
            fields.Value(label, static_cast<size_t>(lstrlenW(label)));
        }
        out.AppendByte('}');
    }
    out.AppendByte(']');
}

// The mask and each of its rights by the security page's name, lowest bit first.
void AppendWritable(FieldWriter& fields, const SecurityFacts& security)
{
    ByteBuffer& out = fields.Out();
    const bool json = fields.Json();
    char maskText[HexTextChars];
    fields.Key("writable");
    out.Append(json ? "{\"mask\": " : "");
    fields.Value(FormatHex(security.writable, 8, maskText));
    out.Append(json ? ", \"rights\": [" : " ");
    bool first = true;
    for (int bit = 0; bit < 32; ++bit) {
        const ACCESS_MASK mask = static_cast<ACCESS_MASK>(1) << bit;
        if (!(security.writable & mask))
            continue;
        out.Append(first ? "" : (json ? ", " : ","));
        first = false;
        // A right without a name goes under its bit, as the security page offers it.
        wchar_t name[NameChars];
        if (GetAccessRightName(security.rightsRow, mask, name, NameChars) == 0) {
            fields.Value(name, static_cast<size_t>(lstrlenW(name)));
        } else {
            fields.Value(FormatHex(mask, 8, maskText));
        }
    }
    if (!json) {
        fields.Number("unevaluated", security.unevaluated);
        AppendReasonsText(fields, security);
        return;
    }
    out.Append("], \"unevaluated\": ");
    out.AppendDecimal(security.unevaluated);
    AppendReasonsJson(fields, security);
    out.AppendByte('}');
}

}  // namespace

void ReadMoreDetails(HANDLE object, int typeCode, MoreDetails* more)
{
    static const struct {
        int typeCode;
        MoreDetails::Kind kind;
    } Kinds[] = {{TypeSection, MoreDetails::Section},
                 {TypeTimer, MoreDetails::Timer},
                 {TypeIoCompletion, MoreDetails::IoCompletion},
                 {TypeJob, MoreDetails::Job}};
    *more = MoreDetails();
    TypeDetails details;
    for (const auto& type : Kinds)
        if (type.typeCode == typeCode && QueryTypeDetails(object, typeCode, &details) == 0) {
            more->kind = type.kind;
            more->value = details.value;
            more->flags = details.flags;
        }
}

void AppendExtraFields(FieldWriter& fields, const EntryExtras& extras)
{
    AppendMore(fields, extras.more);
    const SecurityFacts* security = extras.security;
    if (!security)
        return;
    if (security->owner)
        fields.Text("owner", security->owner);
    if (security->sddl)
        fields.Text("sddl", security->sddl);
    if (security->error)
        fields.Text("securityError", security->error);
    if (security->writableChecked)
        AppendWritable(fields, *security);
}
