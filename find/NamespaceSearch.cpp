#include "NamespaceSearch.h"

#include <cwchar>
#include <new>

#include "AccessCheck.h"
#include "AccessReasons.h"
#include "AccessRights.h"
#include "DirectoryWalk.h"
#include "EntryRecord.h"
#include "GrowingArray.h"
#include "LoadedText.h"
#include "NameMatch.h"
#include "NativeApi.h"
#include "ObjectOpen.h"
#include "ObjectQueries.h"
#include "ObjectSecurity.h"
#include "ObjectTypes.h"
#include "PropertySheet.h"
#include "ResourceIds.h"
#include "SidText.h"
#include "TextPool.h"
#include "WideText.h"

namespace {

// Results gathered in one directory are handed over at its end, or sooner
// when this many wait, so that a huge directory still shows rows early.
const size_t HandOverResults = 256;
// A message costs the worker about as much as reading a directory: while the
// window answers at once, the next one waits at least this long.
const ULONGLONG PostIntervalMs = 50;

// A reason cell: each granting entry's "#index:SID" and the two words, with separators.
const size_t ReasonTextChars = 1024;
const size_t ReasonSeparatorChars = 2;
const NTSTATUS StatusInvalidAcl = static_cast<NTSTATUS>(0xC0000077L);
const NTSTATUS StatusInvalidSecurityDescriptor = static_cast<NTSTATUS>(0xC0000079L);
const NTSTATUS StatusNameInvalid = static_cast<NTSTATUS>(0xC0000033L);

size_t Units(const UNICODE_STRING& text) { return text.Length / sizeof(WCHAR); }

// directory + "\" + name on the heap, from the counted name. Null when memory
// runs out, or when the name holds a NUL: its path would stop there and name
// some other object.
wchar_t* ChildPath(const wchar_t* directory, size_t directoryLength, const UNICODE_STRING& name)
{
    if (wmemchr(name.Buffer, L'\0', Units(name)))
        return nullptr;
    const size_t length = JoinObjectPathInto(directory, directoryLength, name.Buffer, Units(name), nullptr, 0);
    auto* path = static_cast<wchar_t*>(HeapAlloc(GetProcessHeap(), 0, (length + 1) * sizeof(wchar_t)));
    if (path)
        JoinObjectPathInto(directory, directoryLength, name.Buffer, Units(name), path, length + 1);
    return path;
}

// What the window and the worker share. The query and the window are set
// before the worker starts and only read by it; the rest is under lock.
struct SearchShared {
    CRITICAL_SECTION lock;
    KernelHandle thread;
    volatile LONG stop = 0;        // asked by Stop; the worker looks between entries
    volatile LONG workerDone = 0;  // the worker has handed over its last
    HWND window = nullptr;
    UINT message = 0;
    WideText start;
    WideText typeName;
    NamePattern pattern;
    const AccessSubject* subject = nullptr;
    TextPool texts;  // written by the worker alone while it runs
    // Under lock.
    GrowingArray<SearchResult> pending;
    SearchProgress progress = {};
    bool completed = false;   // the walk ended by itself and handed everything over
    bool messageOut = false;  // posted and not yet answered by TakeResults
    ULONGLONG lastPost = 0;   // GetTickCount64 of the last message, or of the start
    bool quiet = false;       // Stop has begun: nothing more is posted or kept
};

// The worker's walk: depth first, one directory read and closed before the
// next is opened, with its subdirectories kept on a stack of paths.
class SearchWalk final : public DirectoryVisitor {
public:
    explicit SearchWalk(SearchShared& shared) : shared_(shared) {}
    ~SearchWalk()
    {
        while (stack_.Count())
            HeapFree(GetProcessHeap(), 0, stack_.Pop());
    }
    SearchWalk(const SearchWalk&) = delete;
    SearchWalk& operator=(const SearchWalk&) = delete;

    void Run();
    bool VisitEntry(const UNICODE_STRING& name, const UNICODE_STRING& typeName) override;

private:
    bool Stopped() const { return shared_.stop != 0; }
    NTSTATUS SearchDirectory(wchar_t* path);
    bool Selected(const UNICODE_STRING& name, const UNICODE_STRING& typeName);
    void AddResult(const UNICODE_STRING& name, const UNICODE_STRING& typeName);
    bool JudgeAccess(const wchar_t* path, int typeCode, const UNICODE_STRING& typeName, const wchar_t** rights,
                     const wchar_t** reason);
    const wchar_t* Unreadable(NTSTATUS status);
    void FormatReasons(wchar_t (&text)[ReasonTextChars]) const;
    const wchar_t* Kept(const wchar_t* text, const wchar_t*& last);
    const wchar_t* KeptTypeName(const UNICODE_STRING& typeName);
    void HandOver(bool final);

    SearchShared& shared_;
    GrowingArray<wchar_t*> stack_;  // directories yet to search, the next on top
    GrowingArray<SearchResult> found_;  // not yet handed over
    GrowingArray<const wchar_t*> typeNames_{16};  // in the pool: one copy for every result of a type
    const wchar_t* directory_ = nullptr;
    size_t directoryLength_ = 0;
    const wchar_t* keptDirectory_ = nullptr;  // in the pool, copied at the directory's first result
    long done_ = 0;
    long objects_ = 0;
    long failed_ = 0;
    long lost_ = 0;
    long unread_ = 0;
    NTSTATUS startStatus_ = 0;
    // With a subject: each result's security, read and judged here.
    ObjectSecurityReader reader_;
    AccessEvaluation evaluation_;
    GrowingArray<AccessReason> reasons_{8};
    const wchar_t* lastRights_ = nullptr;  // in the pool: neighbours mostly share their texts
    const wchar_t* lastReason_ = nullptr;
    wchar_t ownerWord_[LoadedTextChars] = {};
    wchar_t nullDaclWord_[LoadedTextChars] = {};
};

void SearchWalk::Run()
{
    if (shared_.subject) {
        LoadText(IDS_FIND_REASON_OWNER, ownerWord_, LoadedTextChars);
        LoadText(IDS_FIND_REASON_NULL_DACL, nullDaclWord_, LoadedTextChars);
    }
    HeapBlock<wchar_t> start(CopyText(shared_.start.Get()));
    if (start && stack_.Push(start.Get())) {
        start.Release();  // the stack's now
        startStatus_ = SearchDirectory(stack_.Pop());
    } else {
        ++failed_;
        startStatus_ = STATUS_NO_MEMORY_NT;
    }
    if (startStatus_ > 0)
        startStatus_ = 0;
    while (stack_.Count() && !Stopped())
        SearchDirectory(stack_.Pop());
    HandOver(true);
}

// Reads the directory at path, which it frees; its subdirectories go on the stack.
NTSTATUS SearchWalk::SearchDirectory(wchar_t* path)
{
    HeapBlock<wchar_t> owned(path);
    directory_ = path;
    directoryLength_ = static_cast<size_t>(lstrlenW(path));
    keptDirectory_ = nullptr;
    const size_t below = stack_.Count();
    const NTSTATUS status = ReadDirectory(path, *this);
    if (Stopped())
        return status;
    if (status < 0)
        ++failed_;
    else
        ++done_;
    // The subdirectories were pushed in the kernel's order: the first is to come off first.
    for (size_t a = below, b = stack_.Count(); a + 1 < b; ++a, --b) {
        wchar_t* first = stack_[a];
        stack_[a] = stack_[b - 1];
        stack_[b - 1] = first;
    }
    HandOver(false);
    return status;
}

bool SearchWalk::VisitEntry(const UNICODE_STRING& name, const UNICODE_STRING& typeName)
{
    if (Stopped())
        return false;
    // The walk's own test of a directory, as the tree's: the exact type name. Links are not followed.
    if (wcscmp(typeName.Buffer, L"Directory") == 0) {
        HeapBlock<wchar_t> child(ChildPath(directory_, directoryLength_, name));
        if (child && stack_.Push(child.Get()))
            child.Release();  // the stack's now
        else
            ++failed_;
    }
    if (Selected(name, typeName))
        AddResult(name, typeName);
    if (found_.Count() >= HandOverResults)
        HandOver(false);
    return true;
}

bool SearchWalk::Selected(const UNICODE_STRING& name, const UNICODE_STRING& typeName)
{
    const wchar_t* wanted = shared_.typeName.Get();
    if (*wanted && wcscmp(typeName.Buffer, wanted) != 0 && lstrcmpiW(typeName.Buffer, wanted) != 0)
        return false;
    return shared_.pattern.Matches(name.Buffer, Units(name));
}

void SearchWalk::AddResult(const UNICODE_STRING& name, const UNICODE_STRING& typeName)
{
    WideText target;
    const int typeCode = LookupObjectType(typeName.Buffer, nullptr);
    const wchar_t *rights = L"", *reason = L"";
    if (typeCode == TypeSymbolicLink || shared_.subject) {
        // Opened for this object alone; a target that cannot be read stays empty.
        HeapBlock<wchar_t> path(ChildPath(directory_, directoryLength_, name));
        ObjectHandle link;
        LONGLONG created = 0;
        if (path && typeCode == TypeSymbolicLink &&
            OpenObjectByType(path.Get(), TypeSymbolicLink, OpenForQuery, link.Receive()) == 0)
            QuerySymbolicLink(link.Get(), &target, &created);
        // A name no path can name has no security to read: it is listed as such.
        if (shared_.subject && !path)
            rights = Unreadable(StatusNameInvalid);
        else if (shared_.subject && !JudgeAccess(path.Get(), typeCode, typeName, &rights, &reason))
            return;
    }
    ++objects_;
    if (!keptDirectory_)
        keptDirectory_ = shared_.texts.Copy(directory_, directoryLength_);
    const SearchResult result = {keptDirectory_, shared_.texts.Copy(name.Buffer, Units(name)), KeptTypeName(typeName),
                                 target.Empty() ? L"" : shared_.texts.Copy(target.Get(), target.Length()), rights,
                                 reason};
    // A result that cannot be kept whole is counted as lost, not dropped unsaid.
    if (!result.directory || !result.name || !result.typeName || !result.target || !result.rights || !result.reason ||
        !found_.Push(result))
        ++lost_;
}

// Whether the subject can change the object, with the rights and reasons
// kept; one whose security cannot be read is listed, never passed as safe.
bool SearchWalk::JudgeAccess(const wchar_t* path, int typeCode, const UNICODE_STRING& typeName, const wchar_t** rights,
                             const wchar_t** reason)
{
    SecuredObject object;
    bool opening = true;
    const NTSTATUS status = reader_.Read(path, typeCode, typeName.Buffer, &object, &opening);
    if (status != 0) {
        *rights = Unreadable(status);
        return true;
    }
    const DWORD error = EvaluateAccess(object.descriptor, object.length, *shared_.subject, object.mapping, &evaluation_);
    if (error != 0) {
        *rights = Unreadable(error == ERROR_INVALID_ACL              ? StatusInvalidAcl
                             : error == ERROR_INVALID_SECURITY_DESCR ? StatusInvalidSecurityDescriptor
                                                                     : STATUS_NO_MEMORY_NT);
        return true;
    }
    const ACCESS_MASK written = evaluation_.granted & ChangingRights(object.mapping);
    if (!written)
        return false;
    BOOL present = FALSE, defaulted = FALSE;
    PACL dacl = nullptr;
    GetSecurityDescriptorDacl(object.descriptor, &present, &dacl, &defaulted);
    reasons_.Clear();
    wchar_t reasonText[ReasonTextChars] = {};
    if (AddWriteReasons(0, evaluation_, written, present ? dacl : nullptr, reasons_))
        FormatReasons(reasonText);
    wchar_t rightsText[AccessTextChars];
    DescribeAccess(typeCode, written, rightsText);
    *rights = Kept(rightsText, lastRights_);
    *reason = Kept(reasonText, lastReason_);
    return true;
}

// 読めません: and the open-failure words, counted for the status line.
const wchar_t* SearchWalk::Unreadable(NTSTATUS status)
{
    ++unread_;
    wchar_t words[OpenFailureTextChars];
    OpenFailureText(status, words);
    wchar_t text[LoadedTextChars + OpenFailureTextChars];
    FormatText(text, LoadedTextChars + OpenFailureTextChars, IDS_FIND_SECURITY_UNREADABLE, words);
    return Kept(text, lastRights_);
}

// "#0:AU, #2:S-1-5-21-..., 所有者", as kagero-dump's by= in the window's words;
// an entry that does not fit whole is left out with all after it.
void SearchWalk::FormatReasons(wchar_t (&text)[ReasonTextChars]) const
{
    size_t length = 0;
    text[0] = L'\0';
    for (size_t i = 0; i < reasons_.Count(); ++i) {
        const AccessReason& reason = reasons_[i];
        wchar_t part[SidStringChars + 16];
        if (reason.kind == AccessReason::Entry) {
            wchar_t sid[SidStringChars];
            if (!FormatSidShort(const_cast<void*>(reason.sid), sid))
                lstrcpyW(sid, L"?");
            wsprintfW(part, L"#%d:%s", reason.ace, sid);
        } else {
            lstrcpynW(part, reason.kind == AccessReason::Owner ? ownerWord_ : nullDaclWord_, SidStringChars + 16);
        }
        const size_t partLength = static_cast<size_t>(lstrlenW(part));
        const size_t separator = length ? ReasonSeparatorChars : 0;
        if (length + separator + partLength + 1 > ReasonTextChars)
            return;
        if (separator)
            lstrcpyW(text + length, L", ");
        lstrcpyW(text + length + separator, part);
        length += separator + partLength;
    }
}

// The text in the pool, or the last one kept when it is the same.
const wchar_t* SearchWalk::Kept(const wchar_t* text, const wchar_t*& last)
{
    if (last && wcscmp(last, text) == 0)
        return last;
    const wchar_t* copy = shared_.texts.Copy(text, static_cast<size_t>(lstrlenW(text)));
    if (copy)
        last = copy;
    return copy;
}

const wchar_t* SearchWalk::KeptTypeName(const UNICODE_STRING& typeName)
{
    for (size_t i = 0; i < typeNames_.Count(); ++i)
        if (wcscmp(typeNames_[i], typeName.Buffer) == 0)
            return typeNames_[i];
    const wchar_t* copy = shared_.texts.Copy(typeName.Buffer, Units(typeName));
    if (copy)
        typeNames_.Push(copy);  // if not, the next of its type makes its own copy
    return copy;
}

// Moves what was found to the window's side with the progress, and posts
// unless a message is still unanswered or the last went out too recently;
// the end is always posted.
void SearchWalk::HandOver(bool final)
{
    EnterCriticalSection(&shared_.lock);
    if (!shared_.quiet && !shared_.pending.Append(found_.Data(), found_.Count()))
        lost_ += static_cast<long>(found_.Count());
    found_.Clear();
    shared_.progress = {done_, objects_, failed_, final, false, lost_, startStatus_, unread_};
    shared_.completed = final && !shared_.quiet;
    const ULONGLONG now = GetTickCount64();
    const bool due = !shared_.messageOut && now - shared_.lastPost >= PostIntervalMs;
    if (!shared_.quiet && shared_.window && (final || due)) {
        shared_.messageOut = true;
        shared_.lastPost = now;
        PostMessageW(shared_.window, shared_.message, 0, 0);
    }
    LeaveCriticalSection(&shared_.lock);
}

volatile LONG LiveWorkers = 0;  // started by Start, not yet ended

DWORD WINAPI SearchWorker(void* parameter)
{
    auto* shared = static_cast<SearchShared*>(parameter);
    {
        SearchWalk walk(*shared);
        walk.Run();
    }
    InterlockedExchange(&shared->workerDone, 1);
    InterlockedDecrement(&LiveWorkers);
    return 0;
}

}  // namespace

struct NamespaceSearch::State : SearchShared {
};

void (*SearchStopAsked)() = nullptr;

long LiveSearchWorkers() { return LiveWorkers; }

void FreeSearchBatch(SearchBatch* batch)
{
    if (!batch)
        return;
    if (batch->results)
        HeapFree(GetProcessHeap(), 0, batch->results);
    HeapFree(GetProcessHeap(), 0, batch);
}

void NamespaceSearch::FreeState(State* state) { delete state; }

NamespaceSearch::NamespaceSearch() : state_(new (std::nothrow) State)
{
    if (state_)
        InitializeCriticalSection(&state_->lock);
}

NamespaceSearch::~NamespaceSearch()
{
    if (!state_)
        return;
    Stop();
    DeleteCriticalSection(&state_->lock);
}

DWORD NamespaceSearch::Start(const SearchQuery& query, HWND window, UINT message, TextPool* kept)
{
    if (!state_)
        return ERROR_NOT_ENOUGH_MEMORY;
    Stop();
    State& s = *state_;
    s.stop = 0;
    s.workerDone = 0;
    s.quiet = false;
    s.messageOut = false;
    s.lastPost = GetTickCount64();  // the first notice after an interval too: a short search is told once
    s.progress = {};
    s.completed = false;
    s.pending.Clear();  // a last search that ended untaken: its results go with its texts
    if (kept)
        kept->Swap(s.texts);
    s.texts.Empty();
    s.window = window;
    s.message = message;
    // No start is the root; a "\" after the last name is the directory's own.
    const wchar_t* start = query.start && *query.start ? query.start : L"\\";
    size_t startLength = static_cast<size_t>(lstrlenW(start));
    while (startLength > 1 && start[startLength - 1] == L'\\')
        --startLength;
    if (!s.start.Assign(start, startLength) || !s.typeName.Assign(query.typeName ? query.typeName : L"") ||
        !s.pattern.Set(query.text ? query.text : L""))
        return ERROR_NOT_ENOUGH_MEMORY;
    s.subject = query.subject;
    InterlockedIncrement(&LiveWorkers);
    s.thread.Reset(CreateThread(nullptr, 0, SearchWorker, static_cast<SearchShared*>(state_.Get()), 0, nullptr));
    if (s.thread)
        return 0;
    const DWORD error = GetLastError();
    InterlockedDecrement(&LiveWorkers);
    return error;
}

void NamespaceSearch::Stop()
{
    if (!state_ || !state_->thread)
        return;
    State& s = *state_;
    InterlockedExchange(&s.stop, 1);
    EnterCriticalSection(&s.lock);
    s.quiet = true;
    LeaveCriticalSection(&s.lock);
    if (SearchStopAsked)
        SearchStopAsked();
    WaitForSingleObject(s.thread.Get(), INFINITE);
    s.thread.Reset();
    if (!s.completed) {
        s.pending.Clear();
        s.progress.stopped = true;
    }
    s.progress.finished = true;
    s.messageOut = false;
    // A message posted before Stop and not yet read would be taken for the next search's.
    MSG posted;
    if (s.window && GetWindowThreadProcessId(s.window, nullptr) == GetCurrentThreadId())
        while (PeekMessageW(&posted, s.window, s.message, s.message, PM_REMOVE)) {
        }
}

size_t NamespaceSearch::TextBytes() const { return state_ ? state_->texts.Bytes() : 0; }

bool NamespaceSearch::Running() const { return state_ && state_->thread && !state_->workerDone; }

SearchBatch* NamespaceSearch::TakeResults(SearchProgress* progress)
{
    if (!state_) {
        if (progress)
            *progress = {0, 0, 0, true, false, 0, STATUS_NO_MEMORY_NT, 0};
        return nullptr;
    }
    State& s = *state_;
    SearchBatch* batch = nullptr;
    EnterCriticalSection(&s.lock);
    if (progress)
        *progress = s.progress;
    s.messageOut = false;
    if (s.pending.Count()) {
        batch = static_cast<SearchBatch*>(HeapAlloc(GetProcessHeap(), 0, sizeof(SearchBatch)));
        if (batch) {
            batch->count = s.pending.Count();
            batch->results = s.pending.Release();
        }
    }
    LeaveCriticalSection(&s.lock);
    return batch;
}
