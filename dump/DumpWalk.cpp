#include "DumpWalk.h"

#include <cstring>
#include <cwchar>
#include <new>

#include "AccessExplain.h"
#include "DirectoryEntries.h"
#include "DumpCompare.h"
#include "DumpMessages.h"
#include "DumpSubjects.h"
#include "EntryHolders.h"
#include "EntryLine.h"
#include "EntryReader.h"
#include "FindList.h"
#include "FileDevices.h"
#include "NameCompare.h"
#include "NativeApi.h"
#include "ObjectOpen.h"
#include "ObjectQueries.h"
#include "ObjectTypes.h"
#include "SecurityAudit.h"
#include "StatusText.h"
#include "TypeCheck.h"
#include "Version.h"
#include "WatchLoop.h"

namespace {

// One directory on the path being walked: its sorted entries and how far
// the walk has got through them.
struct WalkFrame {
    DirectoryEntries entries;
    WideText path;
    size_t next = 0;
    int depth = 0;
    WalkFrame* parent = nullptr;
};

// The directory test of the namespace walk itself: the exact type name.
bool IsDirectoryType(const wchar_t* typeName) { return wcscmp(typeName, L"Directory") == 0; }

// The entry called name, as the kernel opens a path (ChildPick); Count() when there is none.
size_t FindEntry(const DirectoryEntries& entries, const wchar_t* name)
{
    size_t found = entries.Count();
    ChildPick pick(name);
    for (size_t i = 0; i < entries.Count() && !pick.Exact(); ++i)
        if (pick.Offer(entries.Name(i), entries.NameLength(i)))
            found = i;
    return found;
}

// PATH's own entry, found in its parent; false for the root and for a name its parent does not have.
bool FindOwnEntry(const wchar_t* path, DirectoryEntries& entries, size_t* found, WideText* parent)
{
    const wchar_t* name = LastPathComponent(path);
    const size_t parentLength = static_cast<size_t>(name - path) - 1;
    if (!*name || !parent->Assign(path, parentLength ? parentLength : 1) ||
        ListDirectoryEntries(parent->Get(), entries) < 0)
        return false;
    *found = FindEntry(entries, name);
    return *found < entries.Count();
}

// PATH's names as the kernel has them, each read from its directory (through
// a link too, as the kernel opens a path), so that two dumps never differ by
// how PATH was typed; from a name that is not found on, as typed.
void UseKernelNames(WideText& path)
{
    WideText done, name, next;
    const wchar_t* at = path.Get();
    while (*at == L'\\') {
        const wchar_t* end = at + 1;
        while (*end && *end != L'\\')
            ++end;
        const wchar_t* directory = done.Empty() ? L"\\" : done.Get();
        DirectoryEntries entries;
        size_t found = 0;
        if (!name.Assign(at + 1, static_cast<size_t>(end - at - 1)) || ListDirectoryEntries(directory, entries) < 0 ||
            (found = FindEntry(entries, name.Get())) == entries.Count() ||
            !JoinObjectPath(directory, entries.Name(found), &next))
            break;
        done.Swap(next);
        at = end;
    }
    if (!done.Empty() && (!*at || JoinObjectPath(done.Get(), at + 1, &next)))
        path.Swap(*at ? next : done);
}

// The walk. Its entries go to reader's lines on output, or with a sink
// (and no reader) to the sink alone; with holders (not with a sink), each
// looked up in their scan.
class Dumper {
public:
    Dumper(const DumpOptions& options, OutputChannel& output, OutputChannel& errors, EntryReader* reader,
           WalkSink* sink, const EntryHolders* holders)
        : options_(options), output_(output), errors_(errors), reader_(reader), sink_(sink), holders_(holders)
    {
    }
    ~Dumper()
    {
        while (top_)
            Pop();
    }
    Dumper(const Dumper&) = delete;
    Dumper& operator=(const Dumper&) = delete;

    int Run();
    // --compare: entries go to comparer instead of the output.
    void CompareWith(DumpComparer* comparer) { comparer_ = comparer; }

private:
    // Lists path into a new frame on top; the status of the failure otherwise.
    NTSTATUS Push(WideText& path, int depth);
    void Pop();
    void Step();
    bool Selected(const wchar_t* name, size_t nameLength, const wchar_t* typeName);
    // --find-from's line for the entry at path, or null; never null without lists.
    const wchar_t* Listed(const WideText& path, const wchar_t* name, size_t nameLength) const
    {
        return options_.lists ? options_.lists->Match(path.Get(), path.Length(), name, nameLength) : L"";
    }
    void Emit(const WideText& path, const wchar_t* typeName, const EntryHolding& holding, const wchar_t* matched);
    bool Held(const WideText& path, EntryHolding* holding);
    void Collect(const WideText& path, const wchar_t* typeName);
    bool EmitOwnEntry(const WideText& path, NTSTATUS listingStatus);
    bool EmitFile(const WideText& path);
    void ReportFailure(const wchar_t* path, NTSTATUS status);

    const DumpOptions& options_;
    OutputChannel& output_;
    OutputChannel& errors_;
    EntryReader* reader_;
    WalkSink* sink_;
    const EntryHolders* holders_;
    KernelPaths paths_;
    WalkFrame* top_ = nullptr;
    bool failed_ = false;
    DumpComparer* comparer_ = nullptr;
    ByteBuffer json_;  // --compare: the entry's lines, before the comparer takes them
    ByteBuffer text_;
    bool refused_ = false;  // a file's PATH without --holders: a bad command line
};

void Dumper::Emit(const WideText& path, const wchar_t* typeName, const EntryHolding& holding, const wchar_t* matched)
{
    const EntryHolding* holders = options_.holders ? &holding : nullptr;
    matched = options_.lists ? matched : nullptr;
    if (!comparer_) {
        reader_->AppendLine(output_.Buffer(), path, typeName, holders, matched);
        return;
    }
    json_.Clear();
    text_.Clear();
    if (reader_->AppendForms(&json_, options_.json ? nullptr : &text_, path, typeName, holders, matched))
        comparer_->Now(json_.Data(), json_.Size(), text_.Data(), text_.Size());
}

int Dumper::Run()
{
    WideText path;
    const wchar_t* typed = options_.path.Empty() ? L"\\" : options_.path.Get();
    const NTSTATUS status = path.Assign(typed) ? Push(path, 0) : STATUS_NO_MEMORY_NT;
    if (status >= 0 && holders_)
        paths_.SetRoot(typed);
    // A path that is no directory is listed as ls lists a file: its own line.
    if (status < 0 && (sink_ || status == STATUS_NO_MEMORY_NT || !EmitOwnEntry(path, status)) && !EmitFile(path))
        ReportFailure(typed, status);
    while (top_ && !output_.Broken())
        Step();
    output_.Flush();
    if (refused_)
        return 2;
    return failed_ || output_.Broken() ? 1 : 0;
}

// A PATH below a device (directly or through links) names a file of it: with
// --holders its own line, with the processes that have it open; without,
// only that can be said. false when PATH names no file.
bool Dumper::EmitFile(const WideText& path)
{
    FileDevices devices;
    GrowingArray<wchar_t> resolved;
    size_t fileAt = 0;
    if (sink_ || !devices.Resolve(path.Get(), path.Length(), &resolved, &fileAt) || fileAt + 1 >= resolved.Count())
        return false;
    if (!options_.holders || !holders_) {
        ByteBuffer& line = errors_.Buffer();
        line.Append("kagero-dump: ");
        line.Append(MessageText(Msg::FileNeedsHolders));
        AppendText(line, path.Get(), TextForm::Display);
        line.Append(MessageText(Msg::UsageHint));
        errors_.Flush();
        refused_ = true;
        return true;
    }
    WideText device, own;
    if (!device.Assign(resolved.Data(), fileAt) || !own.Assign(resolved.Data())) {
        ReportFailure(path.Get(), STATUS_NO_MEMORY_NT);
        return true;
    }
    EntryHolding holding = holders_->Find(device.Get());
    holding.file = resolved.Data() + fileAt;
    holding.fileLength = resolved.Count() - 1 - fileAt;
    const wchar_t* name = wcsrchr(own.Get(), L'\\') + 1;
    const wchar_t* matched = Listed(own, name, own.Length() - static_cast<size_t>(name - own.Get()));
    if (matched && holders_->Chosen(holding))
        Emit(own, L"File", holding, matched);
    return true;
}

// Looks path's last name up in its parent. false when the parent cannot be
// listed or has no such entry but a directory, which PATH's failure is then about.
bool Dumper::EmitOwnEntry(const WideText& path, NTSTATUS listingStatus)
{
    WideText parent;
    DirectoryEntries entries;
    size_t found = 0;
    if (!FindOwnEntry(path.Get(), entries, &found, &parent) || IsDirectoryType(entries.TypeName(found)))
        return false;
    // A link refused on its way leads to what cannot be seen: that refusal is the news, not the link.
    if (listingStatus == STATUS_ACCESS_DENIED && wcscmp(entries.TypeName(found), L"SymbolicLink") == 0)
        return false;
    const wchar_t* ownName = entries.Name(found);
    const size_t ownLength = entries.NameLength(found);
    WideText ownPath;
    if (!JoinObjectPath(parent.Get(), ownName, &ownPath))
        return false;
    EntryHolding holding = {};
    if (holders_)
        paths_.SetRoot(parent.Get());
    const wchar_t* matched = Listed(ownPath, ownName, ownLength);
    if (Selected(ownName, ownLength, entries.TypeName(found)) && matched && Held(ownPath, &holding))
        Emit(ownPath, entries.TypeName(found), holding, matched);
    return true;
}

NTSTATUS Dumper::Push(WideText& path, int depth)
{
    OwnedObject<WalkFrame> frame(new (std::nothrow) WalkFrame);
    if (!frame)
        return STATUS_NO_MEMORY_NT;
    NTSTATUS status = ListDirectoryEntries(path.Get(), frame->entries);
    if (status >= 0 && !frame->entries.Complete())
        status = STATUS_NO_MEMORY_NT;
    if (status < 0)
        return status;
    frame->entries.Sort();
    if (sink_)
        sink_->Listed(path.Get());
    frame->path.Swap(path);
    frame->depth = depth;
    frame->parent = top_;
    top_ = frame.Release();
    return 0;
}

void Dumper::Pop()
{
    OwnedObject<WalkFrame> done(top_);
    top_ = done->parent;
}

// Writes the next entry of the top directory, and descends into it when it
// is a directory within the depth limit.
void Dumper::Step()
{
    WalkFrame& frame = *top_;
    if (frame.next >= frame.entries.Count()) {
        Pop();
        return;
    }
    const size_t i = frame.next++;
    const wchar_t* name = frame.entries.Name(i);
    const wchar_t* typeName = frame.entries.TypeName(i);
    const bool descend =
        IsDirectoryType(typeName) && (options_.maxDepth == UnlimitedDepth || frame.depth < options_.maxDepth);
    bool selected = Selected(name, frame.entries.NameLength(i), typeName);
    if (!descend && !selected)
        return;
    WideText path;
    if (!JoinObjectPath(frame.path.Get(), name, &path)) {
        ReportFailure(frame.path.Get(), STATUS_NO_MEMORY_NT);
        return;
    }
    const wchar_t* matched = selected ? Listed(path, name, frame.entries.NameLength(i)) : nullptr;
    selected = matched != nullptr;
    EntryHolding holding = {};
    if (selected && sink_)
        Collect(path, typeName);
    else if (selected && Held(path, &holding))
        Emit(path, typeName, holding, matched);
    if (!descend) {
        output_.FlushWhenFull();
        return;
    }
    output_.FlushBeforeWaiting();
    const NTSTATUS status = Push(path, frame.depth + 1);
    if (status < 0)
        ReportFailure(path.Get(), status);
}

bool Dumper::Selected(const wchar_t* name, size_t nameLength, const wchar_t* typeName)
{
    if (options_.typeCount > 0) {
        bool typeMatches = false;
        for (int t = 0; t < options_.typeCount && !typeMatches; ++t)
            typeMatches = EqualCaseless(typeName, options_.types[t]);
        if (!typeMatches)
            return false;
    }
    return options_.find.Matches(name, nameLength);
}

// The entry's holders; false when --held-by leaves it out. Without holders,
// none and true.
bool Dumper::Held(const WideText& path, EntryHolding* holding)
{
    if (!holders_)
        return true;
    const wchar_t* name = paths_.Map(path.Get(), path.Length());
    if (!name) {
        ReportFailure(path.Get(), STATUS_NO_MEMORY_NT);
        return false;
    }
    *holding = holders_->Find(name);
    return holders_->Chosen(*holding);
}

// A link's target is part of what the watch compares; nothing else is read.
void Dumper::Collect(const WideText& path, const wchar_t* typeName)
{
    WideText target;
    const bool link = wcscmp(typeName, L"SymbolicLink") == 0;
    if (link) {
        ObjectHandle object;
        LONGLONG created = 0;
        if (OpenObjectByType(path.Get(), TypeSymbolicLink, OpenForQuery, object.Receive()) == 0)
            QuerySymbolicLink(object.Get(), &target, &created);
    }
    sink_->Entry(path, typeName, link ? &target : nullptr);
}

// One line on errors; in JSON also an object on the output, so that a script
// reading the output sees every failure, PATH's own too.
void Dumper::ReportFailure(const wchar_t* path, NTSTATUS status)
{
    if (sink_) {
        sink_->Failure(path, status);
        return;
    }
    if (comparer_)
        comparer_->NowFailed(path);
    wchar_t reason[StatusTextChars];
    StatusText(Failed::Listing, status, reason);
    AppendFailureLine(errors_.Buffer(), path, reason);
    errors_.Flush();
    failed_ = true;
    if (options_.json)
        AppendListingFailure(output_.Buffer(), path, reason);
}

// --explain: PATH's own object (a directory too, the root included) read once, each subject's evaluation written.
int RunExplain(const DumpOptions& options, const DumpSubjects& subjects, OutputChannel& output, OutputChannel& errors)
{
    const wchar_t* path = options.path.Get();
    DirectoryEntries entries;
    WideText parent, own;
    size_t found = 0;
    const bool root = lstrcmpW(path, L"\\") == 0;
    if (!root && (!FindOwnEntry(path, entries, &found, &parent) ||
                  !JoinObjectPath(parent.Get(), entries.Name(found), &own))) {
        wchar_t reason[StatusTextChars];
        StatusText(Failed::Listing, STATUS_OBJECT_NAME_NOT_FOUND_NT, reason);
        AppendFailureLine(errors.Buffer(), path, reason);
        errors.Flush();
        return 1;
    }
    const wchar_t* typeName = root ? L"Directory" : entries.TypeName(found);
    const wchar_t* ownPath = root ? path : own.Get();
    const int typeCode = LookupObjectType(typeName, nullptr);
    SecurityAudit audit(nullptr, false);
    SecuredObject object;
    const wchar_t* error = nullptr;
    if (audit.ReadObject(ownPath, typeCode, typeName, &object, &error) != 0) {
        AppendFailureLine(errors.Buffer(), ownPath, error);
        errors.Flush();
        return 1;
    }
    const ExplainedObject explained = {ownPath, typeName, object.rightsRow, object.descriptor, object.length,
                                       object.mapping};
    AccessEvaluation evaluation;
    for (size_t i = 0; i < subjects.Count() && !output.Broken(); ++i) {
        const DWORD failed = EvaluateAccess(object.descriptor, object.length, subjects.Subject(i), object.mapping,
                                            &evaluation);
        if (failed != 0) {
            wchar_t reason[StatusTextChars];
            StatusText(Failed::Security, Win32Status(failed), reason);
            AppendFailureLine(errors.Buffer(), ownPath, reason);
            errors.Flush();
            return 1;
        }
        AppendExplanation(output.Buffer(), options.json, explained, subjects.Subject(i), subjects.Label(i), evaluation);
        output.Flush();
    }
    return output.Broken() ? 1 : 0;
}

// --compare OLD --against NEW: two saved dumps, the namespace not read.
int RunCompareSaved(const DumpOptions& options, OutputChannel& output, OutputChannel& errors)
{
    SavedDump baseline, newer;
    const bool loaded = LoadSavedDump(options, options.compare, baseline, errors.Buffer()) &&
                        LoadSavedDump(options, options.against, newer, errors.Buffer());
    errors.Flush();
    if (!loaded)
        return 2;
    DumpComparer comparer(options, baseline, output);
    CompareSaved(comparer, newer);
    return output.Broken() ? 1 : 0;
}

// One line, ending in the usage hint; an unknown type also names the types
// the system has, an unknown option the one nearest to it. Returns the exit code of a bad command line.
int ReportBadCommandLine(OutputChannel& errors, const ArgumentError& error, const DirectoryEntries* types)
{
    ByteBuffer& line = errors.Buffer();
    line.Append("kagero-dump: ");
    line.Append(error.message);
    AppendText(line, error.argument, TextForm::Display);
    if (types) {
        line.Append(MessageText(Msg::SystemTypes));
        for (size_t i = 0; i < types->Count(); ++i) {
            line.Append(i ? ", " : "");
            AppendText(line, types->Name(i), TextForm::Display);
        }
        line.Append(")");
    }
    if (error.nearest) {
        line.Append(MessageText(Msg::NearestOption));
        AppendText(line, error.nearest, TextForm::Display);
        line.Append(")");
    }
    line.Append(MessageText(Msg::UsageHint));
    errors.Flush();
    return 2;
}

}  // namespace

int RunDump(const DumpOptions& options, OutputChannel& output, OutputChannel& errors)
{
    DumpSubjects subjects;
    // A subject left out is said first; with none left, no entry could be chosen.
    const bool whole = subjects.Build(options, errors.Buffer(), options.json ? &output.Buffer() : nullptr);
    errors.Flush();
    if (options.subjectCount > 0 && subjects.Count() == 0) {
        output.Flush();
        return 1;
    }
    if (options.explain) {
        const int code = RunExplain(options, subjects, output, errors);
        return whole ? code : 1;
    }
    if (options.against)
        return RunCompareSaved(options, output, errors);
    EntryReader reader(options, &subjects);
    EntryHolders holders;
    const bool scanning = options.holders || options.heldByCount > 0;
    bool unseen = false;
    // One scan, before the walk; what it could not see is said first.
    if (scanning) {
        const NTSTATUS status = holders.Take(options);
        ByteBuffer* object = options.json ? &output.Buffer() : nullptr;
        const GrowingArray<DWORD>& missed = holders.NotExamined();
        if (status < 0)
            AppendScanFailure(errors.Buffer(), object, status);
        else if (missed.Count() > 0)
            AppendNotExamined(errors.Buffer(), object, missed.Data(), missed.Count());
        if (status >= 0 && holders.Scan().Counts().stuckNames > 0)
            AppendStuckNames(errors.Buffer(), object, holders.Scan());
        if (status >= 0 && holders.ChoosesOnlySelf())
            errors.Buffer().Append(MessageText(Msg::OwnHandlesUncounted));
        errors.Flush();
        if (status < 0) {
            output.Flush();
            return 1;
        }
        unseen = missed.Count() > 0 || holders.Scan().Counts().stuckNames > 0;
    }
    Dumper dumper(options, output, errors, &reader, nullptr, scanning ? &holders : nullptr);
    SavedDump baseline;
    if (options.compare && !LoadSavedDump(options, options.compare, baseline, errors.Buffer())) {
        errors.Flush();
        return 2;
    }
    errors.Flush();
    DumpComparer comparer(options, baseline, output);
    if (options.compare)
        dumper.CompareWith(&comparer);
    const int code = dumper.Run();
    if (options.compare)
        comparer.Finish();
    return unseen || !whole ? 1 : code;
}

void WalkIntoSink(const DumpOptions& options, WalkSink& sink)
{
    OutputChannel nowhere(nullptr);
    Dumper dumper(options, nowhere, nowhere, nullptr, &sink, nullptr);
    dumper.Run();
}

int RunDumpProgram(int argc, wchar_t** argv, HANDLE output, HANDLE errors)
{
    OutputChannel out(output);
    OutputChannel err(errors);
    DumpOptions options;
    ArgumentError error;
    switch (ParseDumpArguments(argc, argv, &options, &error)) {
    case ParseResult::Help:
        out.Buffer().Append(DumpUsageText);
        return out.Flush() ? 0 : 1;
    case ParseResult::Version:
        out.Buffer().Append("kagero-dump " KAGERO_VERSION_TEXT "\n");
        return out.Flush() ? 0 : 1;
    case ParseResult::Bad:
        return ReportBadCommandLine(err, error, nullptr);
    case ParseResult::Run:
        break;
    }
    UseKernelNames(options.path);
    FindLists lists;
    if (!lists.Read(options, err.Buffer())) {
        err.Flush();
        return 2;
    }
    options.lists = lists.Active() ? &lists : nullptr;
    DirectoryEntries types;
    if (const wchar_t* unknown = FindUnknownType(options, types)) {
        error.message = MessageText(Msg::UnknownType);
        error.argument = unknown;
        return ReportBadCommandLine(err, error, &types);
    }
    const wchar_t* missing = FindMissingProgram(options);
    if (missing || (missing = FindMissingSubjectProcess(options)) != nullptr) {
        error.message = MessageText(Msg::ProgramNotRunning);
        error.argument = missing;
        return ReportBadCommandLine(err, error, nullptr);
    }
    return options.watch ? RunWatch(options, out, err, output) : RunDump(options, out, err);
}
