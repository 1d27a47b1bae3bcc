#include "EntryExtras.h"

#include <cwchar>

#include "AccessRights.h"
#include "ObjectDetails.h"
#include "ObjectTypes.h"

namespace {

const size_t NameChars = 32;

void Key(ByteBuffer& out, bool json, const char* key)
{
    if (json) {
        out.Append(", \"");
        out.Append(key);
        out.Append("\": ");
    } else {
        out.AppendByte('\t');
        out.Append(key);
        out.AppendByte('=');
    }
}

void Number(ByteBuffer& out, bool json, const char* key, long long value)
{
    Key(out, json, key);
    out.AppendDecimal(value);
}

void Text(ByteBuffer& out, bool json, const char* key, const wchar_t* value)
{
    Key(out, json, key);
    out.Append(json ? "\"" : "");
    AppendText(out, value, json ? TextForm::Json : TextForm::Display);
    out.Append(json ? "\"" : "");
}

void HexText(ULONG value, char (&text)[11])
{
    static const char Digits[] = "0123456789ABCDEF";
    text[0] = '0';
    text[1] = 'x';
    for (int i = 0; i < 8; ++i)
        text[2 + i] = Digits[(value >> (28 - 4 * i)) & 0xF];
    text[10] = '\0';
}

// "0x" and eight upper-case digits, quoted in JSON.
void Hex(ByteBuffer& out, bool json, const char* key, ULONG value)
{
    char text[11];
    HexText(value, text);
    Key(out, json, key);
    out.Append(json ? "\"" : "");
    out.Append(text);
    out.Append(json ? "\"" : "");
}

// Appends value as count decimal digits, zeros in front.
void Digits(ByteBuffer& out, unsigned value, int count)
{
    char text[8];
    for (int i = count - 1; i >= 0; --i, value /= 10)
        text[i] = static_cast<char>('0' + value % 10);
    out.Append(text, static_cast<size_t>(count));
}

// 2026-12-07T09:40:12Z, or nothing for no time, as the sheet leaves it blank.
void Time(ByteBuffer& out, bool json, const char* key, LONGLONG time)
{
    Key(out, json, key);
    out.Append(json ? "\"" : "");
    SYSTEMTIME utc;
    const FILETIME file = {static_cast<DWORD>(time), static_cast<DWORD>(time >> 32)};
    if (time > 0 && FileTimeToSystemTime(&file, &utc)) {
        const WORD parts[6] = {utc.wYear, utc.wMonth, utc.wDay, utc.wHour, utc.wMinute, utc.wSecond};
        const char* after = "--T::Z";
        for (int i = 0; i < 6; ++i) {
            Digits(out, parts[i], i == 0 ? 4 : 2);
            out.AppendByte(after[i]);
        }
    }
    out.Append(json ? "\"" : "");
}

void AppendMore(ByteBuffer& out, const MoreDetails& more, bool json)
{
    switch (more.kind) {
    case MoreDetails::Section:
        Number(out, json, "sectionSize", more.value);
        Hex(out, json, "sectionAttributes", more.flags);
        break;
    case MoreDetails::Timer:
        Key(out, json, "signaled");
        out.Append(more.flags ? "true" : "false");
        // Milliseconds left, rounded up; a timer that is not running has none.
        Number(out, json, "remainingMs", more.value > 0 ? (more.value + 9999) / 10000 : 0);
        break;
    case MoreDetails::IoCompletion:
        Number(out, json, "queued", more.value);
        break;
    case MoreDetails::Job:
        Number(out, json, "activeProcesses", more.value);
        break;
    case MoreDetails::LinkCreated:
        Time(out, json, "created", more.value);
        break;
    case MoreDetails::None:
        break;
    }
}

// The mask and each of its rights by the security page's name, lowest bit first.
void AppendWritable(ByteBuffer& out, const SecurityFacts& security, bool json)
{
    char maskText[11];
    HexText(security.writable, maskText);
    Key(out, json, "writable");
    out.Append(json ? "{\"mask\": \"" : "");
    out.Append(maskText);
    out.Append(json ? "\", \"rights\": [" : " ");
    bool first = true;
    for (int bit = 0; bit < 32; ++bit) {
        const ACCESS_MASK mask = static_cast<ACCESS_MASK>(1) << bit;
        if (!(security.writable & mask))
            continue;
        out.Append(first ? "" : (json ? ", " : ","));
        first = false;
        out.Append(json ? "\"" : "");
        // A right without a name goes under its bit, as the security page offers it.
        wchar_t name[NameChars];
        if (GetAccessRightName(security.rightsRow, mask, name, NameChars) == 0) {
            AppendText(out, name, json ? TextForm::Json : TextForm::Display);
        } else {
            HexText(mask, maskText);
            out.Append(maskText);
        }
        out.Append(json ? "\"" : "");
    }
    out.Append(json ? "]}" : "");
}

}  // namespace

void ReadMoreDetails(HANDLE object, int typeCode, MoreDetails* more)
{
    *more = MoreDetails();
    NTSTATUS status = -1;
    bool signaled = false;
    LONG depth = 0;
    ULONG active = 0;
    if (typeCode == TypeSection) {
        status = QuerySectionDetails(object, &more->value, &more->flags);
        more->kind = MoreDetails::Section;
    } else if (typeCode == TypeTimer) {
        status = QueryTimerDetails(object, &signaled, &more->value);
        more->flags = signaled ? 1 : 0;
        more->kind = MoreDetails::Timer;
    } else if (typeCode == TypeJob) {
        status = QueryJobActiveProcesses(object, &active);
        more->value = active;
        more->kind = MoreDetails::Job;
    } else if (typeCode == TypeIoCompletion) {
        status = QueryIoCompletionDepth(object, &depth);
        more->value = depth;
        more->kind = MoreDetails::IoCompletion;
    }
    if (status < 0)
        *more = MoreDetails();
}

void AppendExtraFields(ByteBuffer& out, const EntryExtras& extras, bool json)
{
    AppendMore(out, extras.more, json);
    const SecurityFacts* security = extras.security;
    if (!security)
        return;
    if (security->owner)
        Text(out, json, "owner", security->owner);
    if (security->sddl)
        Text(out, json, "sddl", security->sddl);
    if (security->error)
        Text(out, json, "securityError", security->error);
    if (security->writableChecked)
        AppendWritable(out, *security, json);
}
