#include "DumpCompare.h"

#include <cstring>
#include <initializer_list>

#include "DumpMessages.h"
#include "FieldWriter.h"
#include "FindList.h"
#include "NameCompare.h"

namespace {

bool SameKey(const RecordField& a, const RecordField& b)
{
    return a.keyLength == b.keyLength && memcmp(a.key, b.key, a.keyLength) == 0;
}

const RecordField* FindSame(const GrowingArray<RecordField>& fields, const RecordField& like)
{
    for (size_t i = 0; i < fields.Count(); ++i)
        if (SameKey(fields[i], like))
            return &fields[i];
    return nullptr;
}

bool SameValue(const RecordField* a, const RecordField* b)
{
    return a && b && a->valueLength == b->valueLength && memcmp(a->value, b->value, a->valueLength) == 0;
}

// An entry's path and name are what it is, not what changed; win32Name follows from the path.
bool Compared(const RecordField& field)
{
    for (const char* key : {"path", "name", "win32Name"})
        if (field.keyLength == strlen(key) && memcmp(field.key, key, field.keyLength) == 0)
            return false;
    return true;
}

// names below directory (both in the form of Names); everything is below the root.
bool Below(const wchar_t* names, size_t length, const wchar_t* directory, size_t directoryLength)
{
    return directoryLength == 1 || (length > directoryLength && names[directoryLength] == L'\0' &&
                                    memcmp(names, directory, directoryLength * sizeof(wchar_t)) == 0);
}

}  // namespace

DumpComparer::DumpComparer(const DumpOptions& options, const SavedDump& baseline, OutputChannel& output)
    : options_(options), baseline_(baseline), output_(output)
{
    const wchar_t* path = options.path.Empty() ? L"\\" : options.path.Get();
    scope_.Add(path, static_cast<size_t>(lstrlenW(path)), L"", nullptr);
}

bool DumpComparer::Chosen(const wchar_t* names, size_t length, const wchar_t* type) const
{
    if (scope_.Count() == 0)
        return false;
    const wchar_t* scope = scope_.Names(0);
    const size_t scopeLength = scope_.NamesLength(0);
    // PATH's own entry (a PATH that is no directory) and those below it.
    const bool own = length == scopeLength && memcmp(names, scope, length * sizeof(wchar_t)) == 0;
    if (!own && !Below(names, length, scope, scopeLength))
        return false;
    size_t name = 0;  // after the last separator
    int depth = -1;   // 0 for PATH's own entries
    for (size_t i = 0; i < length; ++i)
        if (names[i] == L'\0') {
            depth += i >= (scopeLength == 1 ? 0 : scopeLength) ? 1 : 0;
            name = i + 1;
        }
    if (!own && options_.maxDepth != UnlimitedDepth && depth > options_.maxDepth)
        return false;
    bool typed = options_.typeCount == 0;
    for (int t = 0; t < options_.typeCount && !typed; ++t)
        typed = EqualCaseless(type, options_.types[t]);
    if (!typed || !options_.find.Matches(names + name, length - name))
        return false;
    if (!options_.lists)
        return true;
    WideText path;
    wchar_t* text = path.Allocate(length);
    if (!text)
        return false;
    for (size_t i = 0; i < length; ++i)
        text[i] = names[i] ? names[i] : L'\\';
    return options_.lists->Match(text, length, text + name, length - name) != nullptr;
}

bool DumpComparer::Unknown(const wchar_t* names, size_t length) const
{
    for (const SubtreeSnapshot* failures : {&baseline_.Failures(), &nowFailures_})
        for (size_t i = 0; i < failures->Count(); ++i)
            if (Below(names, length, failures->Names(i), failures->NamesLength(i)))
                return true;
    return false;
}

bool DumpComparer::NowFailed(const wchar_t* path)
{
    return nowFailures_.Add(path, static_cast<size_t>(lstrlenW(path)), L"", nullptr);
}

void DumpComparer::Now(const char* json, size_t jsonLength, const char* text, size_t textLength)
{
    WideText path;
    const RecordField* field = nullptr;
    current_.Clear();
    if (!ReadRecordFields(json, jsonLength, is_) || (field = FindField(is_, "path")) == nullptr ||
        !DecodeJsonString(field->value, field->valueLength, &path) ||
        !current_.Add(path.Get(), path.Length(), L"", nullptr))
        return;
    const wchar_t* names = current_.Names(0);
    const size_t length = current_.NamesLength(0);
    int order = -1;
    while (next_ < baseline_.Count() &&
           (order = CompareTreePaths(baseline_.Names(next_), baseline_.NamesLength(next_), names, length)) < 0)
        Deleted(next_++);
    const bool same = next_ < baseline_.Count() && order == 0;
    if (!same) {
        // An entry below a directory the baseline could not list may have been there all along.
        if (!Unknown(names, length))
            Created(json, jsonLength, text, textLength);
        return;
    }
    const RecordField* type = FindField(is_, "type");
    size_t lineLength = 0;
    const char* line = baseline_.Line(next_, &lineLength);
    ReadRecordFields(line, lineLength, was_);
    if (!SameValue(type, FindField(was_, "type"))) {
        // Another object under the same name: one went, another came, as the watch says it.
        Deleted(next_++);
        Created(json, jsonLength, text, textLength);
        return;
    }
    ++next_;
    Changed(json, jsonLength);
}

void DumpComparer::Finish()
{
    while (next_ < baseline_.Count())
        Deleted(next_++);
    output_.Flush();
}

// {"event": EVENT, and the record's fields; whole: with its closing brace and line feed.
void DumpComparer::AppendEvent(const char* event, const char* json, size_t jsonLength, bool whole)
{
    ByteBuffer& out = output_.Buffer();
    while (jsonLength > 0 && (json[jsonLength - 1] == '\n' || json[jsonLength - 1] == '\r'))
        --jsonLength;
    const char* open = static_cast<const char*>(memchr(json, '{', jsonLength));
    const char* close = json + jsonLength;
    while (close > json && *--close != '}') {
    }
    if (!open || *close != '}' || close < open)
        return;
    out.Append("{\"event\": \"");
    out.Append(event);
    out.Append("\", ");
    out.Append(open + 1, static_cast<size_t>((whole ? close + 1 : close) - open - 1));
    out.Append(whole ? "\n" : "");
}

void DumpComparer::Deleted(size_t k)
{
    if (!Chosen(baseline_, k) || Unknown(baseline_.Names(k), baseline_.NamesLength(k)))
        return;
    size_t length = 0;
    const char* line = baseline_.Line(k, &length);
    if (options_.json) {
        AppendEvent("deleted", line, length, true);
    } else if (ReadRecordFields(line, length, was_)) {
        output_.Buffer().Append("- ");
        AppendTextFrom(was_);
    }
    output_.FlushWhenFull();
}

void DumpComparer::Created(const char* json, size_t jsonLength, const char* text, size_t textLength)
{
    ByteBuffer& out = output_.Buffer();
    if (options_.json) {
        AppendEvent("created", json, jsonLength, true);
    } else if (text) {
        out.Append("+ ");
        out.Append(text, textLength);
    } else {
        out.Append("+ ");
        AppendTextFrom(is_);
    }
    output_.FlushWhenFull();
}

// Every compared field that differs, in the order of the entry now, then those it no longer has.
void DumpComparer::Changed(const char* json, size_t jsonLength)
{
    ByteBuffer& out = output_.Buffer();
    bool any = false;
    WideText path;
    const RecordField* pathField = FindField(is_, "path");
    DecodeJsonString(pathField->value, pathField->valueLength, &path);
    for (int pass = 0; pass < 2; ++pass) {
        const GrowingArray<RecordField>& fields = pass == 0 ? is_ : was_;
        for (size_t i = 0; i < fields.Count(); ++i) {
            const RecordField& field = fields[i];
            const RecordField* before = pass == 0 ? FindSame(was_, field) : &field;
            const RecordField* now = pass == 0 ? &field : FindSame(is_, field);
            if (!Compared(field) || (pass == 1 && now) || SameValue(before, now))
                continue;
            if (options_.json) {
                if (!any)
                    AppendEvent("changed", json, jsonLength, false);
                out.Append(any ? ", \"" : ", \"was\": {\"");
                out.Append(field.key, field.keyLength);
                out.Append("\": ");
                if (before)
                    out.Append(before->value, before->valueLength);
                else
                    out.Append("null");
            } else {
                out.Append("~ ");
                AppendText(out, path.Get(), path.Length(), TextForm::Display);
                out.AppendByte('\t');
                out.Append(field.key, field.keyLength);
                out.Append(": ");
                AppendValue(before);
                out.Append(" -> ");
                AppendValue(now);
                out.AppendByte('\n');
            }
            any = true;
        }
    }
    if (any && options_.json)
        out.Append("}}\n");
    output_.FlushWhenFull();
}

// A value for a person: a text as the text lines write it, anything else as its JSON; "(なし)" for none.
void DumpComparer::AppendValue(const RecordField* field)
{
    ByteBuffer& out = output_.Buffer();
    WideText text;
    if (!field)
        out.Append(MessageText(Msg::CompareNoValue));
    else if (DecodeJsonString(field->value, field->valueLength, &text))
        AppendText(out, text.Get(), text.Length(), TextForm::Display);
    else
        out.Append(field->value, field->valueLength);
}

// An entry's text line made from its record: PATH<TAB>TYPE, a link's target, then its other fields as key=value.
void DumpComparer::AppendTextFrom(const GrowingArray<RecordField>& fields)
{
    ByteBuffer& out = output_.Buffer();
    AppendValue(FindField(fields, "path"));
    out.AppendByte('\t');
    AppendValue(FindField(fields, "type"));
    if (const RecordField* target = FindField(fields, "target")) {
        out.Append("\t-> ");
        AppendValue(target);
    }
    for (size_t i = 0; i < fields.Count(); ++i) {
        const RecordField& field = fields[i];
        bool own = false;
        for (const char* key : {"path", "name", "type", "target", "win32Name", "matched"})
            own = own || (field.keyLength == strlen(key) && memcmp(field.key, key, field.keyLength) == 0);
        if (own)
            continue;
        out.AppendByte('\t');
        out.Append(field.key, field.keyLength);
        out.AppendByte('=');
        AppendValue(&field);
    }
    out.AppendByte('\n');
}

bool LoadSavedDump(const DumpOptions& options, const wchar_t* file, SavedDump& dump, ByteBuffer& errors)
{
    if (!dump.Load(file, errors))
        return false;
    const unsigned wanted = FieldGroupsOf(options);
    // A security error is written by either option, so it says nothing of which was given.
    const unsigned extra = dump.Groups() & ~wanted & ~SecurityErrorField;
    const unsigned missing = wanted & ~dump.Groups() & ~SecurityErrorField;
    if (dump.Count() > 0 && (extra || missing)) {
        errors.Append("kagero-dump: ");
        errors.Append(MessageText(extra ? Msg::BaselineMadeWith : Msg::BaselineMadeWithout));
        bool first = true;
        for (unsigned group = 1; group < SecurityErrorField; group <<= 1)
            if ((extra ? extra : missing) & group) {
                errors.Append(first ? "" : ", ");
                AppendText(errors, FieldGroupOption(group), TextForm::Display);
                first = false;
            }
        errors.Append("): ");
        AppendText(errors, file, TextForm::Display);
        errors.Append(MessageText(Msg::UsageHint));
        return false;
    }
    const SubtreeSnapshot& failures = dump.Failures();
    if (failures.Count() > 0) {
        errors.Append(MessageText(Msg::BaselineUnknownLead));
        errors.AppendDecimal(static_cast<long long>(failures.Count()));
        errors.Append(MessageText(Msg::BaselineUnknownCount));
        AppendText(errors, file, TextForm::Display);
        for (size_t i = 0; i < failures.Count(); ++i) {
            WideText path;
            errors.Append(i ? ", " : " (");
            if (failures.PathText(i, &path))
                AppendText(errors, path.Get(), path.Length(), TextForm::Display);
        }
        errors.Append(")\n");
    }
    return true;
}

void CompareSaved(DumpComparer& comparer, const SavedDump& newer)
{
    // Its failures first: what was below them is not known at any entry.
    for (size_t i = 0; i < newer.Failures().Count(); ++i) {
        WideText path;
        if (newer.Failures().PathText(i, &path))
            comparer.NowFailed(path.Get());
    }
    for (size_t k = 0; k < newer.Count(); ++k) {
        if (!comparer.Chosen(newer, k))
            continue;
        size_t length = 0;
        const char* line = newer.Line(k, &length);
        comparer.Now(line, length, nullptr, 0);
    }
    comparer.Finish();
}
