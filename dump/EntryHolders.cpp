#include "EntryHolders.h"

#include "DirectoryWalk.h"
#include "DumpMessages.h"
#include "NameCompare.h"
#include "NativeApi.h"
#include "ObjectOpen.h"
#include "ObjectQueries.h"
#include "StatusText.h"

namespace {

// The pids, separated as a list in text or a JSON array's items.
void AppendPids(ByteBuffer& out, const DWORD* pids, size_t count)
{
    for (size_t i = 0; i < count; ++i) {
        out.Append(i ? ", " : "");
        out.AppendDecimal(pids[i]);
    }
}

void AppendErrorObject(ByteBuffer& object, const wchar_t* text, const DWORD* pids, size_t count,
                       size_t handles = 0)
{
    FieldWriter fields(object, true);
    object.Append("{\"error\": ");
    fields.Value(text, static_cast<size_t>(lstrlenW(text)));
    if (pids) {
        object.Append(", \"pids\": [");
        AppendPids(object, pids, count);
        object.Append("]");
    }
    if (handles) {
        object.Append(", \"handles\": ");
        object.AppendDecimal(static_cast<long long>(handles));
    }
    object.Append("}\n");
}

}  // namespace

NTSTATUS EntryHolders::Take(const DumpOptions& options)
{
    chosen_.Clear();
    choosing_ = options.heldByCount > 0;
    const NTSTATUS status = scan_.Run(HandleScanOptions());
    if (status < 0)
        return status;
    for (int i = 0; i < options.heldByCount; ++i)
        if (!scan_.Processes().Match(options.heldBy[i], &chosen_))
            return STATUS_NO_MEMORY_NT;
    return 0;
}

bool EntryHolders::ChoosesOnlySelf() const
{
    const DWORD self = GetCurrentProcessId();
    for (size_t i = 0; i < chosen_.Count(); ++i)
        if (chosen_[i] != self)
            return false;
    return choosing_ && chosen_.Count() > 0;
}

EntryHolding EntryHolders::Find(const wchar_t* path) const
{
    EntryHolding holding = {&scan_, 0, 0, nullptr, 0};
    holding.count = scan_.Find(path, &holding.first);
    return holding;
}

bool EntryHolders::Chosen(const EntryHolding& holding) const
{
    if (!choosing_)
        return true;
    return scan_.HeldByAny(holding.first, holding.count, chosen_);
}

void KernelPaths::SetRoot(const wchar_t* typed)
{
    kernel_.Clear();
    typedLength_ = static_cast<size_t>(lstrlenW(typed));
    DirectoryHandle directory;
    GrowingArray<BYTE> query(1);
    const wchar_t* name = nullptr;
    size_t named = 0;
    if (OpenDirectory(typed, directory.Receive()) < 0 || QueryObjectName(directory.Get(), &query, &name, &named) < 0 ||
        named == 0)
        return;
    if (EqualCaseless(name, named, typed, typedLength_))
        return;  // the typed name is the kernel's, as the scan looks names up
    kernel_.Assign(name, named);
}

const wchar_t* KernelPaths::Map(const wchar_t* path, size_t length)
{
    if (kernel_.Empty() || length < typedLength_)
        return path;
    // The root joins its names without a backslash of its own.
    const size_t rest = length - typedLength_;
    const size_t keep = kernel_.Length() == 1 && rest > 0 ? 0 : kernel_.Length();
    const wchar_t end = L'\0';
    mapped_.Clear();
    if (!mapped_.Append(kernel_.Get(), keep) || !mapped_.Append(path + typedLength_, rest) || !mapped_.Push(end))
        return nullptr;
    return mapped_.Data();
}

const wchar_t* FindMissingProgram(const DumpOptions& options)
{
    ProcessList processes;
    if (options.heldByCount == 0 || processes.Take() < 0)
        return nullptr;
    GrowingArray<DWORD> pids;
    for (int i = 0; i < options.heldByCount; ++i) {
        pids.Clear();
        if (processes.Match(options.heldBy[i], &pids) && pids.Count() == 0)
            return options.heldBy[i];
    }
    return nullptr;
}

void AppendHolders(FieldWriter& fields, const EntryHolding& holding)
{
    ByteBuffer& out = fields.Out();
    const bool json = fields.Json();
    fields.Key("holders");
    out.Append(json ? "[" : "");
    DWORD previous = 0;
    size_t written = 0;
    for (size_t i = 0; i < holding.count; ++i) {
        const HeldHandle handle = holding.scan->Handle(holding.first + i);
        if (holding.file && (!handle.file || !EqualCaseless(handle.file, handle.fileLength, holding.file,
                                                            holding.fileLength)))
            continue;
        const bool opens = written++ == 0 || handle.pid != previous;
        previous = handle.pid;
        if (opens) {
            if (written > 1)
                out.Append(json ? "]}, " : ",");
            out.Append(json ? "{\"process\": " : "");
            fields.Value(handle.program, static_cast<size_t>(lstrlenW(handle.program)));
            out.Append(json ? ", \"pid\": " : "(");
            out.AppendDecimal(handle.pid);
            out.Append(json ? ", \"handles\": [" : ")");
        }
        if (!json)
            continue;
        out.Append(opens ? "{\"handle\": \"" : ", {\"handle\": \"");
        char hex[HexTextChars];
        out.Append(FormatHex(handle.value, 1, hex));
        out.Append("\", \"access\": \"");
        out.Append(FormatHex(handle.access, 8, hex));
        out.Append("\"");
        if (handle.file) {
            out.Append(", \"file\": ");
            fields.Value(handle.file, handle.fileLength);
        }
        out.Append("}");
    }
    out.Append(!json ? "" : written > 0 ? "]}]" : "]");
}

void AppendNotExamined(ByteBuffer& errors, ByteBuffer* object, const DWORD* pids, size_t count)
{
    errors.Append(MessageText(Msg::NotExaminedLead));
    errors.AppendDecimal(static_cast<long long>(count));
    errors.Append(MessageText(Msg::NotExaminedCount));
    AppendPids(errors, pids, count);
    errors.AppendByte('\n');
    if (object)
        AppendErrorObject(*object, WideMessageText(WideMsg::NotExamined), pids, count);
}

void AppendStuckNames(ByteBuffer& errors, ByteBuffer* object, const HandleScan& scan)
{
    const GrowingArray<DWORD>& pids = scan.StuckPids();
    errors.Append(MessageText(Msg::StuckNamesLead));
    errors.AppendDecimal(static_cast<long long>(scan.Counts().stuckNames));
    errors.Append(MessageText(Msg::StuckNamesCount));
    AppendPids(errors, pids.Data(), pids.Count());
    errors.AppendByte('\n');
    if (object)
        AppendErrorObject(*object, WideMessageText(WideMsg::StuckNames), pids.Data(), pids.Count(),
                          scan.Counts().stuckNames);
}

void AppendScanFailure(ByteBuffer& errors, ByteBuffer* object, NTSTATUS status)
{
    wchar_t reason[StatusTextChars];
    StatusText(Failed::Listing, status, reason);
    wchar_t text[StatusTextChars + 32];
    lstrcpynW(text, WideMessageText(WideMsg::NoHandleList), 32);
    lstrcpynW(text + lstrlenW(text), reason, StatusTextChars);
    errors.Append("kagero-dump: ");
    AppendText(errors, text, TextForm::Display);
    errors.AppendByte('\n');
    if (object)
        AppendErrorObject(*object, text, nullptr, 0);
}
