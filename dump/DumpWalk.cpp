#include "DumpWalk.h"

#include <cstring>
#include <cwchar>
#include <new>

#include "DirectoryEntries.h"
#include "EntryFormat.h"
#include "NativeApi.h"
#include "ObjectDetails.h"
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

void ReadState(HANDLE object, int typeCode, ObjectState* state)
{
    OBJECT_BASIC_INFORMATION basic = {};
    wchar_t typeName[TypeNameChars];
    LONG typeCount = 0;
    QueryObjectInfo(object, &basic, ObjectBasicInformationBytes, typeName, TypeNameChars, &typeCount);
    state->handles = basic.HandleCount;
    state->references = basic.PointerCount;
    switch (typeCode) {
    case TypeEvent:
    case TypeEventPair:
        state->kind = ObjectState::Event;
        QueryEventState(object, &state->first, &state->second);
        break;
    case TypeMutant: {
        state->kind = ObjectState::Mutant;
        ULONG flags = 0;
        QueryMutantState(object, &state->first, &flags);
        state->second = static_cast<LONG>(flags);
        break;
    }
    case TypeSemaphore:
        state->kind = ObjectState::Semaphore;
        QuerySemaphoreState(object, &state->first, &state->second);
        break;
    default:
        break;
    }
}

// The entry called name: the exact name first, else the first without regard
// to case, as the kernel opens a path; Count() when there is none.
size_t FindEntry(const DirectoryEntries& entries, const wchar_t* name)
{
    size_t found = entries.Count();
    for (size_t i = 0; i < entries.Count(); ++i) {
        if (wcscmp(entries.Name(i), name) == 0)
            return i;
        if (found == entries.Count() && lstrcmpiW(entries.Name(i), name) == 0)
            found = i;
    }
    return found;
}

class Dumper {
public:
    Dumper(const DumpOptions& options, OutputChannel& output, OutputChannel& errors)
        : options_(options), output_(output), errors_(errors),
          audit_(options.writableBy, options.writableByCount, options.security),
          auditing_(options.security || options.writableByCount > 0)
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
    void SetSink(WalkSink* sink) { sink_ = sink; }

private:
    friend void ::FormatEntry(const DumpOptions&, const WideText&, const wchar_t*, OutputChannel&);
    // Lists path into a new frame on top; the status of the failure otherwise.
    NTSTATUS Push(WideText& path, int depth);
    void Pop();
    void Step();
    bool Selected(const wchar_t* name, size_t nameLength, const wchar_t* typeName);
    void Emit(const WideText& path, const wchar_t* name, size_t nameLength, const wchar_t* typeName);
    void Collect(const WideText& path, const wchar_t* typeName);
    bool EmitOwnEntry(const WideText& path, NTSTATUS listingStatus);
    void ReportFailure(const wchar_t* path, NTSTATUS status);

    const DumpOptions& options_;
    OutputChannel& output_;
    OutputChannel& errors_;
    WalkFrame* top_ = nullptr;
    bool failed_ = false;
    SecurityAudit audit_;
    bool auditing_;
    WalkSink* sink_ = nullptr;
};

int Dumper::Run()
{
    WideText path;
    const wchar_t* typed = options_.path.Empty() ? L"\\" : options_.path.Get();
    const NTSTATUS status = path.Assign(typed) ? Push(path, 0) : STATUS_NO_MEMORY_NT;
    // A path that is no directory is listed as ls lists a file: its own line.
    if (status < 0 && (sink_ || status == STATUS_NO_MEMORY_NT || !EmitOwnEntry(path, status)))
        ReportFailure(typed, status);
    while (top_ && !output_.Broken())
        Step();
    output_.Flush();
    return failed_ || output_.Broken() ? 1 : 0;
}

// Looks path's last name up in its parent. false when the parent cannot be
// listed or has no such entry but a directory, which PATH's failure is then about.
bool Dumper::EmitOwnEntry(const WideText& path, NTSTATUS listingStatus)
{
    const wchar_t* name = LastPathComponent(path.Get());
    WideText parent;
    const size_t parentLength = static_cast<size_t>(name - path.Get()) - 1;
    DirectoryEntries entries;
    if (!*name || !parent.Assign(path.Get(), parentLength ? parentLength : 1) ||
        ListDirectoryEntries(parent.Get(), entries) < 0)
        return false;
    const size_t found = FindEntry(entries, name);
    if (found == entries.Count() || IsDirectoryType(entries.TypeName(found)))
        return false;
    // A link refused on its way leads to what cannot be seen: that refusal is the news, not the link.
    if (listingStatus == STATUS_ACCESS_DENIED && wcscmp(entries.TypeName(found), L"SymbolicLink") == 0)
        return false;
    const wchar_t* ownName = entries.Name(found);
    const size_t ownLength = entries.NameLength(found);
    WideText ownPath;
    if (!JoinObjectPath(parent.Get(), ownName, &ownPath))
        return false;
    if (Selected(ownName, ownLength, entries.TypeName(found)))
        Emit(ownPath, ownName, ownLength, entries.TypeName(found));
    return true;
}

NTSTATUS Dumper::Push(WideText& path, int depth)
{
    WalkFrame* frame = new (std::nothrow) WalkFrame;
    if (!frame)
        return STATUS_NO_MEMORY_NT;
    NTSTATUS status = ListDirectoryEntries(path.Get(), frame->entries);
    if (status >= 0 && !frame->entries.Complete())
        status = STATUS_NO_MEMORY_NT;
    if (status < 0) {
        delete frame;
        return status;
    }
    frame->entries.Sort();
    if (sink_)
        sink_->Listed(path.Get());
    frame->path.Swap(path);
    frame->depth = depth;
    frame->parent = top_;
    top_ = frame;
    return 0;
}

void Dumper::Pop()
{
    WalkFrame* done = top_;
    top_ = done->parent;
    delete done;
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
    const bool selected = Selected(name, frame.entries.NameLength(i), typeName);
    if (!descend && !selected)
        return;
    WideText path;
    if (!JoinObjectPath(frame.path.Get(), name, &path)) {
        ReportFailure(frame.path.Get(), STATUS_NO_MEMORY_NT);
        return;
    }
    if (selected && sink_)
        Collect(path, typeName);
    else if (selected)
        Emit(path, name, frame.entries.NameLength(i), typeName);
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
            typeMatches = lstrcmpiW(typeName, options_.types[t]) == 0;
        if (!typeMatches)
            return false;
    }
    return options_.find.Matches(name, nameLength);
}

void Dumper::Emit(const WideText& path, const wchar_t* name, size_t nameLength, const wchar_t* typeName)
{
    EntryFacts facts = {path.Get(), path.Length(), name, nameLength, typeName};
    // Directories are most entries; the table gives them the same code.
    const int typeCode = IsDirectoryType(typeName) ? TypeDirectory : LookupObjectType(typeName, nullptr);
    EntryExtras extras;
    SecurityFacts security;
    facts.extras = &extras;
    // First, so that an entry --writable-by leaves out costs no more opens.
    if (auditing_) {
        if (!audit_.Read(path.Get(), typeCode, typeName, &security))
            return;
        extras.security = &security;
    }
    WideText target;
    ObjectState state;
    wchar_t openError[StatusTextChars];
    if (typeCode == TypeSymbolicLink || options_.details) {
        // Opened for this entry alone and closed before the next.
        ObjectHandle object;
        const NTSTATUS status = OpenForDetails(path.Get(), typeCode, OpenForQuery, object.Receive());
        if (status != 0) {
            ObjectOpenFailureText(status, openError);
            facts.openError = openError;
        } else {
            if (typeCode == TypeSymbolicLink) {
                LONGLONG created = 0;
                QuerySymbolicLink(object.Get(), &target, &created);
                facts.target = target.Get();
                facts.targetLength = target.Length();
                extras.more.kind = options_.details ? MoreDetails::LinkCreated : MoreDetails::None;
                extras.more.value = created;
            }
            if (options_.details) {
                ReadState(object.Get(), typeCode, &state);
                facts.state = &state;
                if (typeCode != TypeSymbolicLink)
                    ReadMoreDetails(object.Get(), typeCode, &extras.more);
            }
        }
    }
    AppendEntryLine(output_.Buffer(), facts, options_.json);
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
    wchar_t reason[StatusTextChars];
    ListingFailureText(status, reason);
    AppendFailureLine(errors_.Buffer(), path, reason);
    errors_.Flush();
    failed_ = true;
    if (options_.json)
        AppendListingFailure(output_.Buffer(), path, reason);
}

// One line, ending in the usage hint; an unknown type also names the types
// the system has. Returns the exit code of a bad command line.
int ReportBadCommandLine(OutputChannel& errors, const ArgumentError& error, const DirectoryEntries* types)
{
    ByteBuffer& line = errors.Buffer();
    line.Append("kagero-dump: ");
    line.Append(error.message);
    AppendText(line, error.argument, TextForm::Display);
    if (types) {
        line.Append(u8" (このシステムの種類: ");
        for (size_t i = 0; i < types->Count(); ++i) {
            line.Append(i ? ", " : "");
            AppendText(line, types->Name(i), TextForm::Display);
        }
        line.Append(")");
    }
    line.Append(u8" (使い方: kagero-dump --help)\n");
    errors.Flush();
    return 2;
}

}  // namespace

int RunDump(const DumpOptions& options, OutputChannel& output, OutputChannel& errors)
{
    Dumper dumper(options, output, errors);
    return dumper.Run();
}

void WalkIntoSink(const DumpOptions& options, WalkSink& sink)
{
    OutputChannel nowhere(nullptr);
    Dumper dumper(options, nowhere, nowhere);
    dumper.SetSink(&sink);
    dumper.Run();
}

void FormatEntry(const DumpOptions& options, const WideText& path, const wchar_t* typeName, OutputChannel& line)
{
    Dumper dumper(options, line, line);
    const wchar_t* name = LastPathComponent(path.Get());
    dumper.Emit(path, name, path.Length() - static_cast<size_t>(name - path.Get()), typeName);
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
    DirectoryEntries types;
    if (const wchar_t* unknown = FindUnknownType(options, types)) {
        error.message = u8"システムにない種類です: ";
        error.argument = unknown;
        return ReportBadCommandLine(err, error, &types);
    }
    return options.watch ? RunWatch(options, out, err, output) : RunDump(options, out, err);
}
