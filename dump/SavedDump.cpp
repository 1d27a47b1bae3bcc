#include "SavedDump.h"

#include <algorithm>
#include <cstring>

#include "DumpMessages.h"
#include "DumpOptions.h"
#include "InputFile.h"

namespace {

const char* SkipSpace(const char* at, const char* end)
{
    while (at < end && (*at == ' ' || *at == '\t' || *at == '\r' || *at == '\n'))
        ++at;
    return at;
}

// Past a string whose opening quote is at; null when it does not end on the line.
const char* SkipString(const char* at, const char* end)
{
    for (++at; at < end; ++at) {
        if (*at == '\\')
            ++at;
        else if (*at == '"')
            return at + 1;
    }
    return nullptr;
}

// Past one value: a string, an array or object with all it holds, or a bare word (number, true, false, null).
const char* SkipValue(const char* at, const char* end)
{
    if (at < end && *at == '"')
        return SkipString(at, end);
    if (at < end && (*at == '[' || *at == '{')) {
        int depth = 0;
        while (at < end) {
            if (*at == '"') {
                at = SkipString(at, end);
                if (!at)
                    return nullptr;
                continue;
            }
            depth += *at == '[' || *at == '{' ? 1 : *at == ']' || *at == '}' ? -1 : 0;
            ++at;
            if (depth == 0)
                return at;
        }
        return nullptr;
    }
    const char* start = at;
    while (at < end && ((*at >= '0' && *at <= '9') || (*at >= 'a' && *at <= 'z') || *at == '-' || *at == '+' ||
                        *at == '.' || *at == 'E'))
        ++at;
    return at > start ? at : nullptr;
}

struct GroupRow {
    const char* key;
    unsigned group;
};
// Every field an entry may hold beyond its own, by the option that writes it.
const GroupRow GroupRows[] = {
    {"handles", DetailsFields},       {"references", DetailsFields},  {"eventType", DetailsFields},
    {"signaled", DetailsFields},      {"owned", DetailsFields},       {"abandoned", DetailsFields},
    {"current", DetailsFields},       {"maximum", DetailsFields},     {"sectionSize", DetailsFields},
    {"sectionAttributes", DetailsFields}, {"remainingMs", DetailsFields}, {"queued", DetailsFields},
    {"activeProcesses", DetailsFields}, {"created", DetailsFields},   {"owner", SecurityFields},
    {"sddl", SecurityFields},         {"securityError", SecurityErrorField}, {"writable", WritableFields},
    {"holders", HoldersFields},       {"matched", MatchedFields},
};
const char* const OwnFields[] = {"path", "name", "type", "target", "win32Name", "openError"};

bool KeyIs(const RecordField& field, const char* key)
{
    return field.keyLength == strlen(key) && memcmp(field.key, key, field.keyLength) == 0;
}

// The group of an entry's field: 0 for its own, ~0u for one no dump writes.
unsigned GroupOf(const RecordField& field)
{
    for (const char* own : OwnFields)
        if (KeyIs(field, own))
            return 0;
    for (const GroupRow& row : GroupRows)
        if (KeyIs(field, row.key))
            return row.group;
    return ~0u;
}

}  // namespace

bool ReadRecordFields(const char* line, size_t length, GrowingArray<RecordField>& fields)
{
    fields.Clear();
    const char* end = line + length;
    const char* at = SkipSpace(line, end);
    if (at >= end || *at++ != '{')
        return false;
    at = SkipSpace(at, end);
    if (at < end && *at == '}')
        return SkipSpace(at + 1, end) == end;
    for (;;) {
        if (at >= end || *at != '"')
            return false;
        const char* keyEnd = SkipString(at, end);
        if (!keyEnd)
            return false;
        RecordField field = {at + 1, static_cast<size_t>(keyEnd - at - 2), nullptr, 0};
        at = SkipSpace(keyEnd, end);
        if (at >= end || *at++ != ':')
            return false;
        at = SkipSpace(at, end);
        const char* valueEnd = SkipValue(at, end);
        if (!valueEnd)
            return false;
        field.value = at;
        field.valueLength = static_cast<size_t>(valueEnd - at);
        if (!fields.Push(field))
            return false;
        at = SkipSpace(valueEnd, end);
        if (at < end && *at == '}')
            return SkipSpace(at + 1, end) == end;
        if (at >= end || *at++ != ',')
            return false;
        at = SkipSpace(at, end);
    }
}

const RecordField* FindField(const GrowingArray<RecordField>& fields, const char* key)
{
    for (size_t i = 0; i < fields.Count(); ++i)
        if (KeyIs(fields[i], key))
            return &fields[i];
    return nullptr;
}

bool DecodeJsonString(const char* value, size_t length, WideText* text)
{
    if (length < 2 || value[0] != '"' || value[length - 1] != '"')
        return false;
    // Never more units than bytes.
    GrowingArray<wchar_t> units;
    if (!units.Reserve(length))
        return false;
    const char* at = value + 1;
    const char* end = value + length - 1;
    while (at < end) {
        if (*at != '\\') {
            // A run of UTF-8 up to the next escape.
            const char* run = at;
            while (at < end && *at != '\\')
                ++at;
            const int count = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, run, static_cast<int>(at - run),
                                                  units.Data() + units.Count(), static_cast<int>(length - units.Count()));
            if (count <= 0)
                return false;
            units.Commit(static_cast<size_t>(count));
            continue;
        }
        if (++at >= end)
            return false;
        static const char Plain[] = "\"\\/bfnrt";
        static const wchar_t Meant[] = L"\"\\/\b\f\n\r\t";
        const char* simple = strchr(Plain, *at);
        if (simple && *at) {
            units.Push(Meant[simple - Plain]);
            ++at;
            continue;
        }
        if (*at != 'u' || end - at < 5)
            return false;
        unsigned unit = 0;
        for (int i = 1; i <= 4; ++i) {
            const char digit = at[i];
            const int nibble = digit >= '0' && digit <= '9'   ? digit - '0'
                               : digit >= 'a' && digit <= 'f' ? digit - 'a' + 10
                               : digit >= 'A' && digit <= 'F' ? digit - 'A' + 10
                                                              : -1;
            if (nibble < 0)
                return false;
            unit = unit * 16 + static_cast<unsigned>(nibble);
        }
        units.Push(static_cast<wchar_t>(unit));
        at += 5;
    }
    return text->Assign(units.Data(), units.Count());
}

unsigned FieldGroupsOf(const DumpOptions& options)
{
    const bool writable = options.subjectCount > 0;
    return (options.details ? DetailsFields : 0) | (options.security ? SecurityFields : 0) |
           (writable ? WritableFields : 0) | (options.holders ? HoldersFields : 0) |
           (options.findFromCount > 0 ? MatchedFields : 0) |
           (options.security || writable ? SecurityErrorField : 0);
}

const wchar_t* FieldGroupOption(unsigned group)
{
    switch (group) {
    case DetailsFields:
        return L"--details";
    case SecurityFields:
        return L"--security";
    case WritableFields:
        return L"--writable-by";
    case HoldersFields:
        return L"--holders";
    case MatchedFields:
        return L"--find-from";
    default:
        return L"--security, --writable-by";
    }
}

// One line: an entry, a directory that could not be listed, or another
// failure (no path: the scan's, a subject's), which only the run it was said in needs.
bool SavedDump::Take(const char* line, size_t length, GrowingArray<RecordField>& fields)
{
    if (!ReadRecordFields(line, length, fields))
        return false;
    const RecordField* path = FindField(fields, "path");
    const RecordField* type = FindField(fields, "type");
    const RecordField* error = FindField(fields, "error");
    WideText pathText, typeText;
    if (path && !DecodeJsonString(path->value, path->valueLength, &pathText))
        return false;
    if (error && !type)
        return !path || failures_.Add(pathText.Get(), pathText.Length(), L"", nullptr);
    if (!path || !type || !FindField(fields, "name") || !DecodeJsonString(type->value, type->valueLength, &typeText))
        return false;
    for (size_t i = 0; i < fields.Count(); ++i) {
        const unsigned group = GroupOf(fields[i]);
        if (group == ~0u)
            return false;
        groups_ |= group;
    }
    const Span span = {static_cast<size_t>(line - bytes_.Data()), length};
    return paths_.Add(pathText.Get(), pathText.Length(), typeText.Get(), nullptr) && lines_.Push(span) &&
           order_.Push(order_.Count());
}

bool SavedDump::Load(const wchar_t* file, ByteBuffer& errors)
{
    const DWORD error = ReadWholeFile(file, bytes_);
    if (error) {
        AppendFileFailure(errors, MessageText(Msg::BaselineUnreadable), file, error);
        return false;
    }
    LineReader lines(bytes_.Data(), bytes_.Size());
    const char* line = nullptr;
    size_t length = 0;
    GrowingArray<RecordField> fields;
    while (lines.Next(&line, &length))
        if (!Take(line, length, fields)) {
            errors.Append("kagero-dump: ");
            errors.Append(MessageText(Msg::BaselineNotDump));
            AppendText(errors, file, TextForm::Display);
            errors.Append(", ");
            errors.AppendDecimal(lines.Number());
            errors.Append(MessageText(Msg::BaselineLine));
            AppendLineStart(errors, line, length, 80);  // enough to see what it is
            errors.Append(MessageText(Msg::UsageHint));
            return false;
        }
    // A file written by one dump is in order already; joined files are put in order.
    std::stable_sort(order_.Data(), order_.Data() + order_.Count(), [this](size_t a, size_t b) {
        return CompareTreePaths(paths_.Names(a), paths_.NamesLength(a), paths_.Names(b), paths_.NamesLength(b)) < 0;
    });
    return true;
}

const char* SavedDump::Line(size_t k, size_t* length) const
{
    const Span& span = lines_[order_[k]];
    *length = span.length;
    return bytes_.Data() + span.at;
}

size_t SavedDump::Bytes() const
{
    return bytes_.Size() + paths_.Bytes() + failures_.Bytes() + lines_.Count() * sizeof(Span) +
           order_.Count() * sizeof(size_t);
}
