#include "EntryFormat.h"

namespace {

// A mutant acquired n times has a count of 1 - n: owned at 0 and below.
bool MutantOwned(const ObjectState& state) { return state.first <= 0; }
bool MutantAbandoned(const ObjectState& state) { return (static_cast<ULONG>(state.second) & 0xFF00) != 0; }

// Writes "key": value pairs for JSON, or <TAB>key=value fields for text.
class FieldWriter {
public:
    FieldWriter(ByteBuffer& out, bool json) : out_(out), json_(json) {}

    void Key(const char* key)
    {
        if (json_) {
            out_.Append(", \"");
            out_.Append(key);
            out_.Append("\": ");
        } else {
            out_.AppendByte('\t');
            out_.Append(key);
            out_.AppendByte('=');
        }
    }
    void Number(const char* key, long long value)
    {
        Key(key);
        out_.AppendDecimal(value);
    }
    void Flag(const char* key, bool value)
    {
        Key(key);
        out_.Append(value ? "true" : "false");
    }
    void Word(const char* key, const char* value)
    {
        Key(key);
        Quoted(value);
    }
    void Text(const char* key, const wchar_t* value, size_t length)
    {
        Key(key);
        if (json_)
            out_.AppendByte('"');
        AppendText(out_, value, length, json_ ? TextForm::Json : TextForm::Display);
        if (json_)
            out_.AppendByte('"');
    }

private:
    void Quoted(const char* value)
    {
        if (json_)
            out_.AppendByte('"');
        out_.Append(value);
        if (json_)
            out_.AppendByte('"');
    }
    ByteBuffer& out_;
    bool json_;
};

void AppendEventType(FieldWriter& fields, LONG eventType)
{
    if (eventType == 0)
        fields.Word("eventType", "notification");
    else if (eventType == 1)
        fields.Word("eventType", "synchronization");
    else
        fields.Number("eventType", eventType);
}

void AppendState(FieldWriter& fields, const ObjectState& state)
{
    fields.Number("handles", state.handles);
    fields.Number("references", state.references);
    switch (state.kind) {
    case ObjectState::Event:
        AppendEventType(fields, state.first);
        fields.Flag("signaled", state.second != 0);
        break;
    case ObjectState::Mutant:
        fields.Flag("owned", MutantOwned(state));
        fields.Flag("abandoned", MutantAbandoned(state));
        break;
    case ObjectState::Semaphore:
        fields.Number("current", state.first);
        fields.Number("maximum", state.second);
        break;
    case ObjectState::Plain:
        break;
    }
}

void AppendJsonString(ByteBuffer& out, const wchar_t* text, size_t length)
{
    out.AppendByte('"');
    AppendText(out, text, length, TextForm::Json);
    out.AppendByte('"');
}

}  // namespace

void AppendEntryLine(ByteBuffer& out, const EntryFacts& entry, bool json)
{
    FieldWriter fields(out, json);
    if (json) {
        out.Append("{\"path\": ");
        AppendJsonString(out, entry.path, entry.pathLength);
        fields.Text("name", entry.name, entry.nameLength);
        fields.Text("type", entry.type, static_cast<size_t>(lstrlenW(entry.type)));
        if (entry.target)
            fields.Text("target", entry.target, entry.targetLength);
    } else {
        AppendText(out, entry.path, entry.pathLength, TextForm::Display);
        out.AppendByte('\t');
        AppendText(out, entry.type, TextForm::Display);
        if (entry.target) {
            out.Append("\t-> ");
            AppendText(out, entry.target, entry.targetLength, TextForm::Display);
        }
    }
    if (entry.state)
        AppendState(fields, *entry.state);
    if (entry.openError)
        fields.Text("openError", entry.openError, static_cast<size_t>(lstrlenW(entry.openError)));
    if (entry.extras)
        AppendExtraFields(out, *entry.extras, json);
    out.Append(json ? "}\n" : "\n");
}

void AppendFailureLine(ByteBuffer& out, const wchar_t* path, const wchar_t* reason)
{
    out.Append("kagero-dump: ");
    AppendText(out, path, TextForm::Display);
    out.Append(": ");
    AppendText(out, reason, TextForm::Display);
    out.AppendByte('\n');
}

void AppendListingFailure(ByteBuffer& out, const wchar_t* path, const wchar_t* reason)
{
    out.Append("{\"path\": ");
    AppendJsonString(out, path, static_cast<size_t>(lstrlenW(path)));
    out.Append(", \"error\": ");
    AppendJsonString(out, reason, static_cast<size_t>(lstrlenW(reason)));
    out.Append("}\n");
}
