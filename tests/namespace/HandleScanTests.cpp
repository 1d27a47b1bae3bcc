// The holder scan over a second process that holds known objects, with the refusals the platform will not
// produce on demand put into its native calls.
#include <doctest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "HandleScan.h"
#include "HolderProcess.h"
#include "KernelObjects.h"
#include "NativeApi.h"
#include "ObjectOpen.h"

namespace {

std::wstring Row(const wchar_t* program, DWORD pid, ACCESS_MASK access)
{
    wchar_t text[16];
    wsprintfW(text, L" %lx", access);
    return program + (L" " + std::to_wstring(pid)) + text;
}
// "program pid access" for each handle to path.
std::vector<std::wstring> Rows(const HandleScan& scan, const std::wstring& path)
{
    std::vector<std::wstring> rows;
    size_t first = 0;
    const size_t count = scan.Find(path.c_str(), &first);
    for (size_t i = first; i < first + count; ++i)
        rows.push_back(Row(scan.Handle(i).program, scan.Handle(i).pid, scan.Handle(i).access));
    std::sort(rows.begin(), rows.end());
    return rows;
}
// "device\\file" for each of pid's file handles on the holder's pipe and file of C:, sorted.
std::vector<std::wstring> Files(const HandleScan& scan, DWORD pid)
{
    std::vector<std::wstring> files;
    for (size_t i = 0; i < scan.Count(); ++i)
        if (scan.Handle(i).pid == pid && scan.Handle(i).file && std::wstring(scan.Handle(i).file).find(L"kagero_holder_") != std::wstring::npos)
            files.push_back(scan.Handle(i).name + std::wstring(scan.Handle(i).file));
    std::sort(files.begin(), files.end());
    return files;
}
bool Listed(const GrowingArray<DWORD>& pids, DWORD pid)
{
    return std::find(pids.Data(), pids.Data() + pids.Count(), pid) != pids.Data() + pids.Count();
}

std::vector<DWORD> Matches(const ProcessList& list, const std::wstring& text)
{
    GrowingArray<DWORD> pids;
    REQUIRE(list.Match(text.c_str(), &pids));
    std::vector<DWORD> found(pids.Data(), pids.Data() + pids.Count());
    std::sort(found.begin(), found.end());
    return found;
}

// The real calls, counted. Refusals for the process Refuse.pid: its open, every duplication from it, or only
// that of the handle Refuse.value; the table query can claim ever more bytes (claim 1: one more than asked).
struct Refusal { DWORD pid; NTSTATUS open, duplicate; ULONG_PTR value; int stopAt; ULONG claim; };
Refusal Refuse = {};
HANDLE RefusedProcess = nullptr;
int Opens = 0, Closes = 0, Duplications = 0, TableQueries = 0;
ULONG LargestTable = 0;
volatile LONG StopFlag = 0;
// The refused process's handle whose value a file of ours takes, as if it had been closed and reused since the snapshot.
ULONG_PTR FileInstead = 0;
// Non-zero: the table's rows of other processes left out, as if they had none.
DWORD OnlyPid = 0;
// Non-empty: the table gives addresses, as Windows does for administrators: our own handle to the object named
// Addressed and the refused process's handle FileInstead share one, every other row has one of its own.
std::wstring Addressed;
void GiveAddresses(SystemHandleEntry* entries, ULONG_PTR count)
{
    for (ULONG_PTR i = 0; i < count; ++i) {
        SystemHandleEntry& entry = entries[i];
        alignas(8) BYTE name[2048];
        ULONG got = 0;
        const auto* text = reinterpret_cast<const UNICODE_STRING*>(name);
        const bool ours = entry.UniqueProcessId == GetCurrentProcessId() &&
                          NtQueryObject(HANDLE(entry.HandleValue), ObjectNameInformation, name, sizeof(name), &got) >= 0 &&
                          std::wstring(text->Buffer, text->Length / 2) == Addressed;
        const bool held = entry.UniqueProcessId == Refuse.pid && entry.HandleValue == FileInstead;
        entry.Object = reinterpret_cast<PVOID>(ours || held ? 0x1230 : 0x10000 + i);
    }
}

NTSTATUS NTAPI QuerySystem(ULONG infoClass, PVOID buffer, ULONG length, PULONG returned)
{
    if (infoClass == SystemExtendedHandleInformationClass) {
        ++TableQueries;
        LargestTable = std::max(LargestTable, length);
        if (Refuse.claim) {
            *returned = Refuse.claim == 1 ? length + 1 : Refuse.claim;
            return STATUS_INFO_LENGTH_MISMATCH_NT;
        }
    }
    const NTSTATUS status = NtQuerySystemInformation(static_cast<SYSTEM_INFORMATION_CLASS>(infoClass), buffer, length,
                                                     returned);
    if (status < 0 || infoClass != SystemExtendedHandleInformationClass)
        return status;
    auto* head = static_cast<SystemHandleTableHead*>(buffer);
    auto* entries = reinterpret_cast<SystemHandleEntry*>(head + 1);
    if (!Addressed.empty())
        GiveAddresses(entries, head->NumberOfHandles);
    if (!OnlyPid)
        return status;
    ULONG_PTR kept = 0;
    for (ULONG_PTR i = 0; i < head->NumberOfHandles; ++i)
        if (entries[i].UniqueProcessId == OnlyPid)
            entries[kept++] = entries[i];
    head->NumberOfHandles = kept;
    return status;
}
// Name queries from any thread but the test's wait for Release (the query thread's file names), as one on a
// synchronous pipe can wait for good.
HANDLE Release = nullptr;
DWORD TestThread = 0;
ObjectCalls RealObjects, Blocking;
NTSTATUS NTAPI BlockingQuery(HANDLE handle, ULONG infoClass, PVOID buffer, ULONG length, PULONG returned)
{
    if (infoClass == 1 /* ObjectNameInformation */ && GetCurrentThreadId() != TestThread)
        WaitForSingleObject(Release, INFINITE);
    return RealObjects.queryObject(handle, infoClass, buffer, length, returned);
}
NTSTATUS NTAPI OpenProcess(PHANDLE process, ACCESS_MASK access, POBJECT_ATTRIBUTES attributes, CLIENT_ID* client)
{
    const bool refused = DWORD(ULONG_PTR(client->UniqueProcess)) == Refuse.pid;
    if (refused && Refuse.open) {
        *process = reinterpret_cast<HANDLE>(0x1234);  // written even on failure: must not be closed
        return Refuse.open;
    }
    const NTSTATUS status = NtOpenProcess(process, access, attributes, client);
    Opens += status >= 0;
    if (refused)
        RefusedProcess = *process;
    return status;
}
NTSTATUS NTAPI Duplicate(HANDLE from, HANDLE source, HANDLE to, PHANDLE target, ACCESS_MASK access, ULONG attributes,
                         ULONG options)
{
    if (++Duplications == Refuse.stopAt)
        StopFlag = 1;
    if (from == RefusedProcess && Refuse.duplicate && (!Refuse.value || Refuse.value == ULONG_PTR(source)))
        return Refuse.duplicate;
    if (from == RefusedProcess && FileInstead == ULONG_PTR(source)) {
        static const FileHandle file(
            CreateFileW(L"C:\\windows\\win.ini", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        from = GetCurrentProcess();
        source = file.Get();
    }
    const NTSTATUS status = NtDuplicateObject(from, source, to, target, access, attributes, options);
    Opens += status >= 0;
    return status;
}
NTSTATUS NTAPI Close(HANDLE handle)
{
    ++Closes;
    if (handle == RefusedProcess)  // its value may come again for another process
        RefusedProcess = nullptr;
    return NtClose(handle);
}
const HandleScanCalls Counting = {QuerySystem, OpenProcess, Duplicate, Close};

// Runs a scan through the counting calls with refusal set.
NTSTATUS CountedRun(HandleScan& scan, const Refusal& refusal, const HandleScanOptions& options = {})
{
    Refuse = refusal;
    RefusedProcess = nullptr;
    Opens = Closes = Duplications = TableQueries = 0;
    LargestTable = 0;
    StopFlag = 0;
    SetHandleScanCalls(&Counting);
    HandleScanOptions stoppable = options;
    stoppable.stop = &StopFlag;
    const NTSTATUS status = scan.Run(stoppable);
    SetHandleScanCalls(nullptr);
    return status;
}

const NTSTATUS Denied = STATUS_ACCESS_DENIED;

}  // namespace

TEST_CASE("holders: the holder's program, pid and each handle's access, found in any letter case, a long name too; "
          "not our own handles, files on their devices, no prefix; narrowed by type and path; none once it has ended")
{
    TestNamespace ns;
    const std::wstring directory = L"Stra\x00DF" L"e-" + std::wstring(600, L'd');  // names over the first query's 1024 bytes
    REQUIRE(ns.Build({{Kind::Event, L"Ours"}, {Kind::Directory, directory}}) == 0);
    HolderProcess holder;
    REQUIRE(holder.Start(ns.Path(directory)));
    const DWORD pid = holder.Pid();
    const std::wstring event = ns.Path(directory + L"\\" + HolderProcess::EventName);
    const std::wstring mutant = ns.Path(directory + L"\\" + HolderProcess::MutantName);
    const std::wstring pipes = L"\\Device\\NamedPipe";
    // We hold the holder's event too: only the holder's handles are listed.
    UNICODE_STRING name;
    RtlInitUnicodeString(&name, event.c_str());
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &name, OBJ_CASE_INSENSITIVE, nullptr, nullptr);
    ObjectHandle ours;
    REQUIRE(NtOpenEvent(ours.Receive(), SYNCHRONIZE, &attributes) == 0);

    HandleScan scan;
    REQUIRE(CountedRun(scan, {}) == 0);
    const wchar_t* program = HolderProcess::ProgramName;
    CHECK(Rows(scan, event) == std::vector<std::wstring>{Row(program, pid, HolderProcess::EventOpenedAccess),
                                                         Row(program, pid, HolderProcess::EventCreatedAccess)});
    CHECK(Rows(scan, mutant) == std::vector<std::wstring>{Row(program, pid, HolderProcess::MutantAccess)});
    std::wstring upper = event;
    CharUpperBuffW(&upper[0], DWORD(upper.size()));
    CHECK(Rows(scan, upper).size() == 2);
    // Not the kernel's name for it: SS for the one unit \x00DF, the Kelvin sign for K.
    std::wstring doubled = event, kelvin = event;
    doubled.replace(doubled.find(L'\x00DF'), 1, L"SS");
    kelvin[kelvin.find(L'K')] = L'\x212A';
    CHECK((Rows(scan, doubled).empty() && Rows(scan, kelvin).empty()));
    CHECK(scan.ProcessesHolding(upper.c_str()) == 1);
    CHECK(Rows(scan, event.substr(0, event.size() - 1)).empty());
    CHECK(Rows(scan, ns.Path(L"Ours")).empty());
    for (size_t i = 0; i < scan.Count(); ++i)  // files on their devices: under Wine their names start with \??\ and a drive
        CHECK(std::wstring(scan.Handle(i).name).rfind(L"\\??\\", 0) == std::wstring::npos);
    // Both ends of its pipe, its file of C: and its own program (on Z:, the Unix root), each below its device.
    const std::wstring pipe = L"\\Device\\NamedPipe" + holder.PipeName();
    CHECK(Files(scan, pid) == std::vector<std::wstring>{L"\\Device\\HarddiskVolume1" + holder.FileName(), pipe, pipe});
    CHECK((scan.Counts().stuckNames == 0 && scan.StuckPids().Count() == 0));
    CHECK((!Listed(scan.NotExamined(), pid) && Opens > 1 && Opens == Closes));
    GrowingArray<DWORD> holders, others;
    REQUIRE((scan.Processes().Match(L"kagero_holder", &holders) && scan.Processes().Match(L"explorer", &others)));
    size_t first = 0;
    const size_t count = scan.Find(event.c_str(), &first);
    CHECK((scan.HeldByAny(first, count, holders) && !scan.HeldByAny(first, count, others)));

    const struct { const wchar_t* type; const std::wstring& path; size_t kept; } narrowed[] = {  // keepNames 0: bare
        {L"Mutant", mutant, 1}, {L"mutant", mutant, 1}, {L"Event", mutant, 0}, {nullptr, event, 2}, {L"File", event, 0},
        {L"Device", pipes, 2}, {nullptr, L"", 0}};
    for (const auto& n : narrowed) {
        CAPTURE(&n - narrowed);
        HandleScanOptions options;
        options.typeName = n.type;
        options.path = n.path.empty() ? nullptr : n.path.c_str();
        options.keepNames = n.type || !n.path.empty();
        REQUIRE(CountedRun(scan, {}, options) == 0);
        CHECK((Files(scan, pid).size() + (n.path == pipes ? 0 : scan.Count()) == n.kept && Opens == Closes));
    }
    CHECK((scan.Counts().named > 2 && scan.Counts().duplicated >= scan.Counts().named));

    holder.Stop();
    REQUIRE(CountedRun(scan, {}) == 0);
    for (size_t i = 0; i < scan.Count(); ++i)
        CHECK(scan.Handle(i).pid != pid);
}

TEST_CASE("holders: a process not opened or with no handle duplicated is not examined and listed; one that ended is "
          "skipped; a closed handle is skipped; a stop ends the scan; the table grows within bounds; all closed")
{
    TestNamespace ns;
    HolderProcess holder;
    REQUIRE(holder.Start(ns.Root()));
    const DWORD pid = holder.Pid();
    const std::wstring event = ns.Path(HolderProcess::EventName), mutant = ns.Path(HolderProcess::MutantName);
    HandleScan scan;
    REQUIRE(CountedRun(scan, {}) == 0);
    size_t first = 0;
    REQUIRE(scan.Find(event.c_str(), &first) == 2);
    const ULONG_PTR created = scan.Handle(first).access == HolderProcess::EventCreatedAccess ? scan.Handle(first).value
                                                                                            : scan.Handle(first + 1).value;

    const NTSTATUS Gone = STATUS_INVALID_HANDLE_NT, Cancelled = STATUS_CANCELLED_NT, Mismatch = STATUS_INFO_LENGTH_MISMATCH_NT;
    // Another process may end meanwhile, so the ended are not counted here: the refused are listed.
    const struct { Refusal refusal; NTSTATUS result; size_t eventRows, mutantRows; bool listed; } cases[] = {
        {{pid, Denied, 0, 0, 0, 0}, 0, 0, 0, true},
        {{pid, STATUS_INVALID_CID_NT, 0, 0, 0, 0}, 0, 0, 0, false},
        {{pid, STATUS_INVALID_PARAMETER_NT, 0, 0, 0, 0}, 0, 0, 0, false},
        {{pid, STATUS_PROCESS_IS_TERMINATING_NT, 0, 0, 0, 0}, 0, 0, 0, false},
        {{pid, 0, Denied, 0, 0, 0}, 0, 0, 0, true},
        {{pid, 0, Gone, 0, 0, 0}, 0, 0, 0, false},
        {{pid, 0, STATUS_PROCESS_IS_TERMINATING_NT, 0, 0, 0}, 0, 0, 0, false},
        {{pid, 0, Gone, created, 0, 0}, 0, 1, 1, false},
        {{pid, 0, Denied, created, 0, 0}, 0, 1, 1, false},
        {{0, 0, 0, 0, 3, 0}, Cancelled, 0, 0, false},
        {{0, 0, 0, 0, 0, 1}, Mismatch, 0, 0, false},
        {{0, 0, 0, 0, 0, 0xFFFFFF00}, Mismatch, 0, 0, false},
    };
    for (const auto& c : cases) {
        CAPTURE(&c - cases);
        CHECK(ULONG(CountedRun(scan, c.refusal)) == ULONG(c.result));
        CHECK(Rows(scan, event).size() == c.eventRows);
        CHECK(Rows(scan, mutant).size() == c.mutantRows);
        CHECK(Listed(scan.NotExamined(), pid) == c.listed);
        CHECK(Opens == Closes);
        CHECK((TableQueries <= 8 && LargestTable <= MaxSystemTableBytes));
    }
    // A value a file took since the snapshot: its own type is asked, never its name (a pipe's could block).
    FileInstead = created;
    REQUIRE(CountedRun(scan, {pid, 0, 0, 0, 0, 0}) == 0);
    CHECK(Rows(scan, event).size() == 1);
    // Where the table gives addresses, the object's holders are the handles with our own handle's address, none of
    // them duplicated.
    Addressed = event;
    HandleScanOptions one;
    one.path = event.c_str();
    one.typeName = L"Event";
    const std::vector<std::wstring> createdOnly = {Row(HolderProcess::ProgramName, pid, HolderProcess::EventCreatedAccess)};
    REQUIRE(CountedRun(scan, {pid, 0, 0, 0, 0, 0}, one) == 0);
    Addressed.clear();
    CHECK((Rows(scan, event) == createdOnly && Duplications == 0 && scan.Counts().duplicated == 0));
    // The same where it is the first handle of its type number in the table: its verdict is its own, not its type's.
    OnlyPid = pid;
    HandleScanOptions events;
    events.typeName = L"Event";
    REQUIRE(CountedRun(scan, {pid, 0, 0, 0, 0, 0}, events) == 0);
    OnlyPid = 0;
    FileInstead = 0;
    CHECK(Rows(scan, event).size() == 1);

    // Name queries that never return: the scan ends, each file it could not name counted, by its process; at
    // most MostStuckQueries threads left waiting, which end once the queries return and touch no later scan.
    Release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    TestThread = GetCurrentThreadId();
    RealObjects = Blocking = ActiveObjectCalls();
    Blocking.queryObject = BlockingQuery;
    SetObjectCalls(&Blocking);
    OnlyPid = pid;  // the holder's files alone; the second time none is asked: as many counted
    REQUIRE(CountedRun(scan, {}) == 0);
    const size_t stuck = scan.Counts().stuckNames;
    CHECK((scan.StuckPids().Count() == 1 && Listed(scan.StuckPids(), pid) && Files(scan, pid).empty()));
    REQUIRE(CountedRun(scan, {}) == 0);
    OnlyPid = 0;
    SetObjectCalls(nullptr);
    CHECK((stuck > 4 && scan.Counts().stuckNames == stuck));
    CHECK(StuckNameQueries() == MostStuckQueries);
    REQUIRE(CountedRun(scan, {}) == 0);  // none asked while that many wait
    CHECK((scan.Counts().stuckNames >= 4 && Rows(scan, event).size() == 2 && StuckNameQueries() == MostStuckQueries));
    SetEvent(Release);
    for (int i = 0; i < 200 && StuckNameQueries() > 0; ++i)
        Sleep(10);
    CHECK(StuckNameQueries() == 0);
    CloseHandle(Release);
    REQUIRE(CountedRun(scan, {}) == 0);
    CHECK((scan.Counts().stuckNames == 0 && Files(scan, pid).size() == 3 && Opens == Closes));
    for (size_t i = 0; i < scan.Count(); ++i)
        CHECK(std::wstring(scan.Handle(i).name).rfind(L"\\??\\", 0) == std::wstring::npos);
}

TEST_CASE("program names: a pid in decimal, a name in any letter case with or without .exe; others name none")
{
    TestNamespace ns;
    REQUIRE(ns.Build({{Kind::Directory, L"A"}, {Kind::Directory, L"B"}}) == 0);
    HolderProcess a, b;
    REQUIRE((a.Start(ns.Path(L"A")) && b.Start(ns.Path(L"B"))));
    ProcessList list;
    REQUIRE(list.Take() == 0);
    const std::vector<DWORD> both = a.Pid() < b.Pid() ? std::vector<DWORD>{a.Pid(), b.Pid()}
                                                      : std::vector<DWORD>{b.Pid(), a.Pid()};
    const std::vector<DWORD> none, first = {a.Pid()}, self = {GetCurrentProcessId()};
    const struct { std::wstring text; const std::vector<DWORD>& pids; } cases[] = {
        {L"kagero_holder", both}, {L"kagero_holder.exe", both}, {L"KAGERO_Holder.EXE", both}, {L"Kagero_Holder", both},
        {std::to_wstring(a.Pid()), first}, {L"00" + std::to_wstring(a.Pid()), first}, {L"namespace_tests", self},
        {std::to_wstring(0x100000000ull + a.Pid()), none}, {L"kagero_holde", none}, {L"kagero_holder.ex", none},
        {L"kagero_holder.exe.exe", none}, {L"agero_holder", none}, {L"", none}, {L".exe", none}, {L"-1", none},
        {L"\x212A" L"agero_holder", none}};  // the Kelvin sign is no K to the kernel
    for (const auto& c : cases) {
        CAPTURE(std::string(c.text.begin(), c.text.end()));
        CHECK(Matches(list, c.text) == c.pids);
    }
    CHECK(std::wstring(list.NameOf(a.Pid())) == HolderProcess::ProgramName);
    CHECK(std::wstring(list.NameOf(0xFFFFFFF0)).empty());
}
