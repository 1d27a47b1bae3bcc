#include "WatchLoop.h"

#include <cstdio>
#include <cwchar>

#include "DumpWalk.h"
#include "DumpMessages.h"
#include "EntryLine.h"
#include "NativeApi.h"
#include "StatusText.h"

namespace {

KernelHandle StopEvent;

// Runs on a thread of its own: the loop sees the event after its look.
BOOL WINAPI OnConsoleControl(DWORD type)
{
    if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT)
        return FALSE;
    SetEvent(StopEvent.Get());
    return TRUE;
}

// A directory that was seen in its parent and is gone by the time it is
// listed: its own deletion is the news, at the next look.
bool IsGone(NTSTATUS status)
{
    return status == STATUS_OBJECT_NAME_NOT_FOUND_NT || status == STATUS_OBJECT_PATH_NOT_FOUND_NT ||
           status == STATUS_OBJECT_TYPE_MISMATCH_NT;
}

// One look's walk into a snapshot. A directory that cannot be listed keeps
// what it held at the look before.
class LookSink final : public WalkSink {
public:
    LookSink(const wchar_t* root, const SubtreeSnapshot& before, const SubtreeSnapshot& failedBefore,
             SubtreeSnapshot& now, SubtreeSnapshot& failedNow, SubtreeSnapshot& recovered)
        : root_(root), before_(before), failedBefore_(failedBefore), now_(now), failedNow_(failedNow),
          recovered_(recovered)
    {
    }
    void Entry(const WideText& path, const wchar_t* typeName, const WideText* target) override
    {
        now_.Add(path.Get(), path.Length(), typeName, target);
    }
    void Listed(const wchar_t* path) override
    {
        WideText known;
        for (size_t i = 0; i < failedBefore_.Count(); ++i)
            if (failedBefore_.PathText(i, &known) && wcscmp(known.Get(), path) == 0)
                recovered_.Add(path, known.Length(), L"", nullptr);
    }
    void Failure(const wchar_t* path, NTSTATUS status) override
    {
        short_ = short_ || status == STATUS_NO_MEMORY_NT;
        if (short_)
            return;
        if (wcscmp(path, root_) == 0)
            rootStatus_ = status;
        if (IsGone(status))
            return;
        wchar_t reason[StatusTextChars];
        StatusText(Failed::Listing, status, reason);
        failedNow_.Add(path, static_cast<size_t>(lstrlenW(path)), reason, nullptr);
        now_.AddBelow(before_, path);
    }
    NTSTATUS RootStatus() const { return rootStatus_; }
    // Memory ran out: the look misses what it could not hold.
    bool CutShort() const { return short_ || now_.Failed() || failedNow_.Failed() || recovered_.Failed(); }

private:
    const wchar_t* root_;
    const SubtreeSnapshot& before_;
    const SubtreeSnapshot& failedBefore_;
    SubtreeSnapshot& now_;
    SubtreeSnapshot& failedNow_;
    SubtreeSnapshot& recovered_;
    NTSTATUS rootStatus_ = 0;
    bool short_ = false;
};

bool Holds(const SubtreeSnapshot& snapshot, const SubtreeSnapshot& other, size_t j)
{
    for (size_t i = 0; i < snapshot.Count(); ++i)
        if (CompareTreePaths(snapshot.Names(i), snapshot.NamesLength(i), other.Names(j), other.NamesLength(j)) == 0)
            return true;
    return false;
}

}  // namespace

Watcher::Watcher(const DumpOptions& options, OutputChannel& output, OutputChannel& errors, HANDLE outputHandle)
    : options_(options), output_(output), errors_(errors), outputHandle_(outputHandle), reader_(options),
      root_(options.path.Empty() ? L"\\" : options.path.Get()),
      scanning_(options.holders || options.heldByCount > 0)
{
}

int Watcher::Run()
{
    StopEvent.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!StopEvent) {
        errors_.Buffer().Append(MessageText(Msg::NoStopEvent));
        errors_.Buffer().AppendDecimal(GetLastError());
        errors_.Buffer().Append(")\n");
        errors_.Flush();
        return 1;
    }
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
    int code = Look(true) ? -1 : 1;
    while (code < 0) {
        if (WaitForSingleObject(StopEvent.Get(), static_cast<DWORD>(options_.intervalMs)) == WAIT_OBJECT_0)
            code = 0;
        else if (OutputGone() || !Look(false))
            code = 1;
    }
    SetConsoleCtrlHandler(OnConsoleControl, FALSE);
    StopEvent.Reset();
    return code;
}

bool Watcher::Look(bool starting)
{
    const bool first = starting || !seen_;
    const int now = 1 - before_;
    entries_[now].Clear();
    failures_[now].Clear();
    recovered_.Clear();
    LookSink sink(root_, entries_[before_], failures_[before_], entries_[now], failures_[now], recovered_);
    WalkIntoSink(options_, sink);
    // After the walk: an object it saw is still held when the scan asks (its
    // handles keep it), so a creation is said with its holders.
    NTSTATUS scanned = 0;
    if (scanning_) {
        if (first)
            paths_.SetRoot(root_);
        scanned = holders_[now].Take(options_);
    }
    SYSTEMTIME utc, local;
    GetSystemTime(&utc);
    if (!SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local))
        local = utc;
    snprintf(stamp_.local, sizeof(stamp_.local), "%02u:%02u:%02u.%03u", local.wHour, local.wMinute, local.wSecond,
             local.wMilliseconds);
    snprintf(stamp_.utc, sizeof(stamp_.utc), "%04u-%02u-%02uT%02u:%02u:%02u.%03uZ", utc.wYear, utc.wMonth, utc.wDay,
             utc.wHour, utc.wMinute, utc.wSecond, utc.wMilliseconds);
    // A look cut short is said and never compared: the next is compared with the last whole one.
    const bool whole = !sink.CutShort();
    const NTSTATUS rootStatus = whole ? sink.RootStatus() : STATUS_NO_MEMORY_NT;
    const bool gone = whole && (IsGone(rootStatus) || (first && rootStatus < 0));
    if (whole && !first && scanned >= 0)
        Compare(entries_[before_], entries_[now]);
    if (scanning_ && (whole || scanned < 0))
        ReportScan(scanned, holders_[before_].NotExamined(), holders_[now].NotExamined());
    if (!whole || gone) {
        wchar_t reason[StatusTextChars];
        StatusText(Failed::Listing, rootStatus, reason);
        const bool notDirectory = rootStatus == STATUS_OBJECT_TYPE_MISMATCH_NT;
        Report(root_, notDirectory ? WideMessageText(WideMsg::WatchNeedsDirectory) : reason, false);
    } else {
        ReportFailures(failures_[before_], failures_[now], recovered_);
    }
    if (whole) {
        before_ = now;
        seen_ = true;
    }
    output_.Flush();
    return !gone && scanned >= 0 && !output_.Broken();
}

void Watcher::Compare(const SubtreeSnapshot& before, const SubtreeSnapshot& now)
{
    size_t i = 0;
    size_t j = 0;
    while (i < before.Count() || j < now.Count()) {
        const int order = i == before.Count() ? 1
                          : j == now.Count()  ? -1
                                              : CompareTreePaths(before.Names(i), before.NamesLength(i),
                                                                 now.Names(j), now.NamesLength(j));
        if (order < 0) {
            Change(false, before, i++);
        } else if (order > 0) {
            Change(true, now, j++);
        } else {
            // Another object under the same name: the old one went, a new one came.
            if (!SameObject(before, i, now, j)) {
                Change(false, before, i);
                Change(true, now, j);
            }
            ++i;
            ++j;
        }
        output_.FlushWhenFull();
    }
}

void Watcher::Prefix(const char* event, char sign)
{
    ByteBuffer& out = output_.Buffer();
    if (options_.json) {
        out.Append("{\"event\": \"");
        out.Append(event);
        out.Append("\", \"time\": \"");
        out.Append(stamp_.utc);
        out.Append("\", ");
    } else {
        out.Append(stamp_.local);
        out.AppendByte(' ');
        out.AppendByte(sign);
        out.AppendByte(' ');
    }
}

// The dump's own line for the entry after the time and the event; a created
// one is read again for --details.
void Watcher::Change(bool created, const SubtreeSnapshot& snapshot, size_t i)
{
    WideText path;
    scratch_.Clear();
    if (!snapshot.PathText(i, &path)) {
        output_.Buffer().MarkFailed();
        return;
    }
    EntryHolding holding = {};
    if (scanning_) {
        // A deleted entry as it was at the look before, its holders too.
        const EntryHolders& holders = holders_[created ? 1 - before_ : before_];
        const wchar_t* name = paths_.Map(path.Get(), path.Length());
        if (!name) {
            output_.Buffer().MarkFailed();
            return;
        }
        holding = holders.Find(name);
        if (!holders.Chosen(holding))
            return;
    }
    const EntryHolding* shown = options_.holders ? &holding : nullptr;
    if (created && options_.details) {
        reader_.AppendLine(scratch_, path, snapshot.Type(i), shown);
    } else {
        const wchar_t* name = LastPathComponent(path.Get());
        EntryFacts facts = {path.Get(), path.Length(), name, path.Length() - static_cast<size_t>(name - path.Get()),
                            snapshot.Type(i)};
        facts.target = snapshot.Target(i);
        facts.targetLength = snapshot.TargetLength(i);
        facts.holders = shown;
        AppendEntryLine(scratch_, facts, options_.json);
    }
    Prefix(created ? "created" : "deleted", created ? '+' : '-');
    Splice();
}

// The line in scratch_ after its prefix, less its own "{" in JSON; one that
// memory left empty or cut marks the output failed.
void Watcher::Splice()
{
    const size_t skip = options_.json ? 1 : 0;
    if (scratch_.Failed() || scratch_.Size() <= skip)
        output_.Buffer().MarkFailed();
    else
        output_.Buffer().Append(scratch_.Data() + skip, scratch_.Size() - skip);
}

// A directory is said once when it cannot be listed and once when it can be
// again, never at every look in between.
void Watcher::ReportFailures(const SubtreeSnapshot& before, const SubtreeSnapshot& now,
                             const SubtreeSnapshot& recovered)
{
    WideText path;
    for (size_t j = 0; j < now.Count(); ++j)
        if (!Holds(before, now, j) && now.PathText(j, &path))
            Report(path.Get(), now.Type(j), false);
    for (size_t j = 0; j < recovered.Count(); ++j)
        if (!Holds(now, recovered, j) && recovered.PathText(j, &path))
            Report(path.Get(), WideMessageText(WideMsg::ListableAgain), true);
}

void Watcher::Report(const wchar_t* path, const wchar_t* reason, bool listable)
{
    AppendFailureLine(errors_.Buffer(), path, reason);
    errors_.Flush();
    if (!options_.json)
        return;
    Prefix(listable ? "listable" : "error", ' ');
    ByteBuffer& out = output_.Buffer();
    if (listable) {
        out.Append("\"path\": \"");
        AppendText(out, path, TextForm::Json);
        out.Append("\"}\n");
        return;
    }
    scratch_.Clear();
    AppendListingFailure(scratch_, path, reason);
    Splice();
}

// A scan that failed ends the watch; processes that could not be examined
// are said at the look that first finds them so, not at every look.
void Watcher::ReportScan(NTSTATUS status, const GrowingArray<DWORD>& before, const GrowingArray<DWORD>& now)
{
    GrowingArray<DWORD> fresh;
    for (size_t i = 0; i < now.Count(); ++i) {
        bool known = false;
        for (size_t j = 0; j < before.Count() && !known; ++j)
            known = before[j] == now[i];
        if (!known && !fresh.Push(now[i]))
            status = STATUS_NO_MEMORY_NT;
    }
    if (status >= 0 && fresh.Count() == 0)
        return;
    scratch_.Clear();
    ByteBuffer* object = options_.json ? &scratch_ : nullptr;
    if (status < 0)
        AppendScanFailure(errors_.Buffer(), object, status);
    else
        AppendNotExamined(errors_.Buffer(), object, fresh.Data(), fresh.Count());
    errors_.Flush();
    if (!object)
        return;
    Prefix("error", ' ');
    Splice();
}

// A pipe whose reader left is found without a change to write: a write of
// nothing fails on it.
bool Watcher::OutputGone()
{
    if (output_.Broken())
        return true;
    DWORD written = 0;
    return GetFileType(outputHandle_) == FILE_TYPE_PIPE && !WriteFile(outputHandle_, "", 0, &written, nullptr);
}

int RunWatch(const DumpOptions& options, OutputChannel& output, OutputChannel& errors, HANDLE outputHandle)
{
    Watcher watcher(options, output, errors, outputHandle);
    return watcher.Run();
}
