#include "EntryLine.h"

#include "EntryHolders.h"
#include "FieldWriter.h"
#include "Win32Names.h"

namespace {

// A mutant acquired n times has a count of 1 - n: owned at 0 and below.
bool MutantOwned(const ObjectState& state) { return state.first <= 0; }
bool MutantAbandoned(const ObjectState& state) { return (static_cast<ULONG>(state.second) & 0xFF00) != 0; }

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
    if (state.counted) {
        fields.Number("handles", state.handles);
        fields.Number("references", state.references);
    }
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

}  // namespace

void AppendEntryLine(ByteBuffer& out, const EntryFacts& entry, bool json)
{
    FieldWriter fields(out, json);
    if (json) {
        out.Append("{\"path\": ");
        fields.Value(entry.path, entry.pathLength);
        fields.Text("name", entry.name, entry.nameLength);
        fields.Text("type", entry.type);
        if (entry.target)
            fields.Text("target", entry.target, entry.targetLength);
        WideText win32Name;
        if (FindWin32Name(entry.path, entry.pathLength, &win32Name))
            fields.Text("win32Name", win32Name.Get(), win32Name.Length());
        if (entry.matched)
            fields.Text("matched", entry.matched);
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
        fields.Text("openError", entry.openError);
    if (entry.extras)
        AppendExtraFields(fields, *entry.extras);
    if (entry.holders)
        AppendHolders(fields, *entry.holders);
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
    FieldWriter fields(out, true);
    out.Append("{\"path\": ");
    fields.Value(path, static_cast<size_t>(lstrlenW(path)));
    fields.Text("error", reason);
    out.Append("}\n");
}
