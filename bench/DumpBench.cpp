// Measures kagero-dump: the whole namespace dumped to a file against the
// bare walk of the same tree, timed in the same run (with --holders, against
// that walk and one bare handle scan; the audits of a group, this user's
// account and this process's token against --details); and the dump
// program's peak working set for a namespace ten times larger, which must
// not grow, and with --holders for ten times the handles held.
#include <windows.h>
#include <lmcons.h>
#include <psapi.h>

#include <string>

#include "BenchSupport.h"
#include "DumpCompare.h"
#include "DumpWalk.h"
#include "FindList.h"
#include "HandleScan.h"
#include "KernelObjects.h"
#include "Owned.h"
#include "WatchLoop.h"

namespace {

// A file that is emptied before every dump and gone when closed.
FileHandle DumpFile(bool inheritable)
{
    wchar_t directory[MAX_PATH];
    wchar_t name[MAX_PATH];
    GetTempPathW(MAX_PATH, directory);
    GetTempFileNameW(directory, L"kgb", 0, name);
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, inheritable ? TRUE : FALSE};
    return FileHandle(CreateFileW(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
}

void Empty(HANDLE file)
{
    SetFilePointer(file, 0, nullptr, FILE_BEGIN);
    SetEndOfFile(file);
}

// One in-process dump into the emptied file, its errors dropped.
void DumpInto(HANDLE file, const DumpOptions& options)
{
    Empty(file);
    OutputChannel output(file);
    OutputChannel errors(nullptr);
    RunDump(options, output, errors);
}

// The dump of the whole namespace in-process, as kagero-dump runs it.
void MeasureDump(const wchar_t* label, bool json)
{
    const FileHandle file = DumpFile(false);
    DumpOptions options;
    options.json = json;
    unsigned long bareCount = 0;
    double floor = 0;
    double dump = 0;
    LARGE_INTEGER size = {};
    Alternate(
        7, [&] { bareCount = BareEnumerate(L"\\", true); },
        [&] { DumpInto(file.Get(), options); },
        &floor, &dump);
    GetFileSizeEx(file.Get(), &size);
    std::printf("%-52ls floor %8.2f ms (%lu entries)  measured %8.2f ms (%lld bytes)  ratio %.2fx\n", label,
                floor * 1000.0, bareCount, dump * 1000.0, static_cast<long long>(size.QuadPart), dump / floor);
}

// One subject of --writable-by (an account, a group or a SID as typed) or
// --writable-by-process, as the command line makes it; false when the
// system knows no such account.
bool AddSubject(DumpOptions& options, const wchar_t* text, bool process)
{
    if (options.subjectCount >= MaximumWritableBy)
        return false;
    SubjectRequest& request = options.subjects[options.subjectCount];
    request.text = text;
    request.process = process;
    if (!process) {
        const char* why = "";
        SID_NAME_USE use = SidTypeUnknown;
        if (!ResolveAccount(text, request.sid, &why, &use))
            return false;
        request.user = use == SidTypeUser;
    }
    ++options.subjectCount;
    return true;
}

// An audit (with --security or without) against --details over the same
// namespace, timed alternately in one run.
void MeasureAudit(const wchar_t* label, bool security, const wchar_t* subject, bool process)
{
    DumpOptions audit;
    audit.security = security;
    if (!AddSubject(audit, subject, process)) {
        std::printf("%-52ls skipped: no account %ls\n", label, subject);
        return;
    }
    const FileHandle file = DumpFile(false);
    DumpOptions details;
    details.details = true;
    const auto dump = [&file](const DumpOptions& options) { DumpInto(file.Get(), options); };
    double detailed = 0;
    double audited = 0;
    Alternate(7, [&] { dump(details); }, [&] { dump(audit); }, &detailed, &audited);
    std::printf("%-52ls --details %8.2f ms  audit %8.2f ms  ratio %.2fx (at most 1.3x)\n", label, detailed * 1000.0,
                audited * 1000.0, audited / detailed);
}

// The user this program runs as, by name: an account whose groups --writable-by expands.
const wchar_t* CurrentUser()
{
    static wchar_t name[UNLEN + 1] = L"";
    DWORD length = UNLEN + 1;
    if (!name[0] && !GetUserNameW(name, &length))
        name[0] = L'\0';
    return name;
}

// kagero-dump --holders of the whole namespace, File handles included,
// against its floor: the bare walk plus one bare scan (every handle's name,
// a file's too, asked on this thread and dropped), timed alternately in one
// run.
void MeasureHolders(const wchar_t* label)
{
    const FileHandle file = DumpFile(false);
    DumpOptions options;
    options.holders = true;
    size_t handles = 0;
    unsigned long bareCount = 0;
    double floor = 0;
    double measured = 0;
    Alternate(
        7,
        [&] {
            bareCount = BareEnumerate(L"\\", true);
            handles = BareNameScan(false);
        },
        [&] { DumpInto(file.Get(), options); },
        &floor, &measured);
    std::printf("%-52ls floor %8.2f ms (%lu entries, %zu handles)  measured %8.2f ms  ratio %.2fx (at most 1.3x)\n",
                label, floor * 1000.0, bareCount, handles, measured * 1000.0, measured / floor);
}

// One look of kagero-dump --watch at the whole namespace, nothing changed
// since the look before: the walk, the snapshot and its comparison.
void MeasureWatchLook(const wchar_t* label)
{
    DumpOptions options;
    options.watch = true;
    OutputChannel output(nullptr);
    OutputChannel errors(nullptr);
    Watcher watcher(options, output, errors, nullptr);
    watcher.Look(true);
    unsigned long bareCount = 0;
    double floor = 0;
    double look = 0;
    Alternate(
        7, [&] { bareCount = BareEnumerate(L"\\", true); }, [&] { watcher.Look(false); }, &floor, &look);
    PrintRatio(label, bareCount, bareCount, floor, look);
}

// directories directories in two levels, nine events in each: ten entries per directory.
void MakeSpreadTree(TestNamespace& ns, int directories)
{
    for (int top = 0; top < directories / 10; ++top) {
        const std::wstring parent = L"d" + std::to_wstring(top);
        ns.Directory(parent);
        for (int sub = 0; sub < 10; ++sub) {
            const std::wstring directory = sub == 0 ? parent : parent + L"\\s" + std::to_wstring(sub);
            if (sub > 0)
                ns.Directory(directory);
            for (int e = 0; e < 9; ++e)
                ns.Event(directory + L"\\event-" + std::to_wstring(e));
        }
    }
}

// Runs kagero-dump.exe on the whole namespace into a file; its peak working
// set in bytes, 0 when it could not be run.
SIZE_T DumpPeakWorkingSet(const wchar_t* option, int limitMs)
{
    wchar_t program[MAX_PATH] = L"Z:";  // drive Z: is the Unix root to Wine
    MultiByteToWideChar(CP_UTF8, 0, KAGERO_DUMP_EXE, -1, program + 2, MAX_PATH - 2);
    std::wstring line = std::wstring(L"kagero-dump ") + option + L" \\";
    const FileHandle file = DumpFile(true);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = file.Get();
    startup.hStdError = file.Get();
    PROCESS_INFORMATION process = {};
    SIZE_T peak = 0;
    if (CreateProcessW(program, &line[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr, &startup,
                       &process)) {
        // Wine keeps no counters for a process that has ended: the peak,
        // which only ever grows, is read every millisecond until the end.
        PROCESS_MEMORY_COUNTERS counters = {};
        counters.cb = sizeof(counters);
        for (int waited = 0; waited < limitMs; ++waited) {
            if (GetProcessMemoryInfo(process.hProcess, &counters, sizeof(counters)) &&
                counters.PeakWorkingSetSize > peak)
                peak = counters.PeakWorkingSetSize;
            if (WaitForSingleObject(process.hProcess, 1) != WAIT_TIMEOUT)
                break;
        }
        TerminateProcess(process.hProcess, 0);  // a watch runs until stopped
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    return peak;
}

void MeasurePeakMemory(const wchar_t* option, int limitMs = 120000)
{
    SIZE_T peaks[2] = {};
    const int sizes[2] = {200, 2000};
    for (int i = 0; i < 2; ++i) {
        TestNamespace ns;
        MakeSpreadTree(ns, sizes[i]);
        peaks[i] = DumpPeakWorkingSet(option, limitMs);
    }
    const std::wstring label = std::wstring(L"kagero-dump ") + option + L" peak working set";
    std::printf("%-52ls 2,000 entries %8.2f MB  20,000 entries %8.2f MB  ratio %.2fx\n", label.c_str(),
                peaks[0] / 1048576.0, peaks[1] / 1048576.0, peaks[0] ? double(peaks[1]) / double(peaks[0]) : 0.0);
}

// kagero-dump --holders's peak working set with 2,000 and 20,000 more named
// events held open, one handle each. This process holds them: the scan
// leaves out only kagero-dump's own process, and the events add entries to
// its walk, whose memory does not grow with them.
void MeasureHoldersPeak()
{
    SIZE_T peaks[2] = {};
    const int counts[2] = {2000, 20000};
    for (int i = 0; i < 2; ++i) {
        TestNamespace ns;
        for (int e = 0; e < counts[i]; ++e)
            ns.Event(L"held-event-" + std::to_wstring(e));
        peaks[i] = DumpPeakWorkingSet(L"--holders", 120000);
    }
    std::printf("%-52ls 2,000 handles %8.2f MB  20,000 handles %8.2f MB  ratio %.2fx\n",
                L"kagero-dump --holders peak working set", peaks[0] / 1048576.0, peaks[1] / 1048576.0,
                peaks[0] ? double(peaks[1]) / double(peaks[0]) : 0.0);
}

// --find-from a list of 10,000 names (a tenth as programs write them, the
// rest bare) against --find of one name that matches nothing, both over the
// whole namespace, the list read in every run.
void MeasureFindFrom(const wchar_t* label)
{
    wchar_t directory[MAX_PATH];
    wchar_t list[MAX_PATH];
    GetTempPathW(MAX_PATH, directory);
    GetTempFileNameW(directory, L"kgl", 0, list);
    {
        std::string lines = "# 10,000 names\n";
        for (int i = 0; i < 10000; ++i)
            lines += (i % 10 == 0 ? "Global\\hunted-" : "hunted-") + std::to_string(i) + "\n";
        const FileHandle file(CreateFileW(list, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        DWORD written = 0;
        WriteFile(file.Get(), lines.data(), static_cast<DWORD>(lines.size()), &written, nullptr);
    }
    const FileHandle file = DumpFile(false);
    DumpOptions one;
    one.find.Set(L"no-such-name-anywhere");
    DumpOptions listed;
    listed.findFrom[listed.findFromCount++] = list;
    const auto dump = [&file](const DumpOptions& options) { DumpInto(file.Get(), options); };
    double floor = 0;
    double measured = 0;
    Alternate(
        7, [&] { dump(one); },
        [&] {
            FindLists lists;
            ByteBuffer errors;
            lists.Read(listed, errors);
            listed.lists = &lists;
            dump(listed);
            listed.lists = nullptr;
        },
        &floor, &measured);
    DeleteFileW(list);
    std::printf("%-52ls --find %8.2f ms  --find-from %8.2f ms  ratio %.2fx (at most 1.1x)\n", label, floor * 1000.0,
                measured * 1000.0, measured / floor);
}

// What --compare holds of a baseline (--json --security of the whole
// namespace) with 2,000 and 20,000 more entries: the loaded baseline's
// bytes, and kagero-dump --compare's peak working set.
void MeasureBaselineMemory()
{
    const int sizes[2] = {200, 2000};
    for (int size : sizes) {
        TestNamespace ns;
        MakeSpreadTree(ns, size);
        wchar_t directory[MAX_PATH];
        wchar_t name[MAX_PATH];
        GetTempPathW(MAX_PATH, directory);
        GetTempFileNameW(directory, L"kgc", 0, name);
        DumpOptions options;
        options.json = true;
        options.security = true;
        {
            const FileHandle file(CreateFileW(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
            OutputChannel output(file.Get());
            OutputChannel errors(nullptr);
            RunDump(options, output, errors);
        }
        SavedDump baseline;
        ByteBuffer errors;
        options.compare = name;
        LoadSavedDump(options, name, baseline, errors);
        const std::wstring option = std::wstring(L"--compare ") + name + L" --json --security";
        const SIZE_T peak = DumpPeakWorkingSet(option.c_str(), 120000);
        std::printf("%-52ls %6d more entries: %zu entries, baseline held %8.2f MB, peak working set %8.2f MB\n",
                    L"kagero-dump --compare (--json --security)", size * 10, baseline.Count(),
                    baseline.Bytes() / 1048576.0, peak / 1048576.0);
        DeleteFileW(name);
    }
}

}  // namespace

void RunDumpBench()
{
    {
        TestNamespace ns;
        const std::wstring more = std::to_wstring(MakeDirectoryTree(ns)) + L" more directories";
        MeasureDump((L"kagero-dump \\ to a file, " + more).c_str(), false);
        MeasureDump((L"kagero-dump --json \\ to a file, " + more).c_str(), true);
        MeasureAudit(L"kagero-dump --security --writable-by WD \\", true, L"WD", false);
        const std::wstring user = std::wstring(L"kagero-dump --writable-by ") + CurrentUser() + L" (this user) \\";
        MeasureAudit(user.c_str(), false, CurrentUser(), false);
        MeasureAudit(L"kagero-dump --writable-by-process self \\", false, L"self", true);
        MeasureHolders(L"kagero-dump --holders \\ (walk + one bare scan)");
        MeasureFindFrom(L"kagero-dump --find-from (10,000 names) \\");
        MeasureWatchLook((L"kagero-dump --watch: one look at \\, " + more).c_str());
    }
    MeasurePeakMemory(L"");
    MeasurePeakMemory(L"--json");
    MeasurePeakMemory(L"--security --writable-by WD");
    // Its looks for a few seconds: the first holds the whole subtree.
    MeasurePeakMemory(L"--watch --interval 100", 5000);
    MeasureHoldersPeak();
    MeasureBaselineMemory();
}
