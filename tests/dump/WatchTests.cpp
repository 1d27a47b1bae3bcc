// kagero-dump --watch run as a child over a namespace changed here, its JSON parsed with nlohmann::json.
#include <doctest.h>

#include <windows.h>
#include <sddl.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <regex>
#include <string>
#include <vector>

#include "HolderProcess.h"
#include "JsonLog.h"
#include "KernelObjects.h"
#include "NativeApi.h"
#include "WatchLoop.h"

namespace {

// The directory whose open runs out of memory.
std::wstring CutShort;
NTSTATUS NTAPI OpenCutShort(PHANDLE directory, ACCESS_MASK access, POBJECT_ATTRIBUTES attributes)
{
    const UNICODE_STRING& name = *attributes->ObjectName;
    return std::wstring(name.Buffer, name.Length / 2) == CutShort ? STATUS_NO_MEMORY_NT
                                                                   : NtOpenDirectoryObject(directory, access, attributes);
}

struct Watch {
    PROCESS_INFORMATION process = {};
    HANDLE out = nullptr, err = nullptr;  // reading ends
    std::string pending, errors;
};

// The child on pipes, with a console of its own for Ctrl+C.
void Start(Watch& w, const std::wstring& path, const std::wstring& options = L"")
{
    std::wstring line = L"kagero-dump --watch --json --interval 200 " + options + L"\"" + path + L"\"";
    std::wstring program = L"Z:" + std::wstring(KAGERO_DUMP_EXE, KAGERO_DUMP_EXE + sizeof(KAGERO_DUMP_EXE) - 1);
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    HANDLE out, err;
    REQUIRE((CreatePipe(&w.out, &out, &inherit, 65536) && CreatePipe(&w.err, &err, &inherit, 65536)));
    SetHandleInformation(w.out, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(w.err, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = out;
    startup.hStdError = err;
    REQUIRE(CreateProcessW(program.c_str(), &line[0], nullptr, nullptr, TRUE, CREATE_NEW_CONSOLE, nullptr, nullptr,
                           &startup, &w.process));
    CloseHandle(out);
    CloseHandle(err);
}

void Drain(HANDLE pipe, std::string& into)
{
    char chunk[4096];
    DWORD ready = 0, read = 0;
    while (PeekNamedPipe(pipe, nullptr, 0, nullptr, &ready, nullptr) && ready > 0 &&
           ReadFile(pipe, chunk, std::min<DWORD>(ready, sizeof(chunk)), &read, nullptr))
        into.append(chunk, read);
}

// The records that come within waitMs, or until count have come; each as "event path type target", the root
// left out, and the detail field's JSON where a record has it; sorted: a change made between two looks may come
// in either.
std::string Records(Watch& w, const std::string& root, size_t count, int waitMs = 5000, const char* detail = "")
{
    std::vector<std::string> records;
    for (int waited = 0; records.size() < count && waited < waitMs; waited += 50) {
        Sleep(50);
        Drain(w.out, w.pending);
        Drain(w.err, w.errors);
        for (size_t end; (end = w.pending.find('\n')) != std::string::npos; w.pending.erase(0, end + 1)) {
            KeepJsonLines(w.pending.substr(0, end + 1));
            const auto record = nlohmann::json::parse(w.pending.substr(0, end), nullptr, false);
            REQUIRE_MESSAGE(record.is_object(), w.pending.substr(0, end));
            CHECK(std::regex_match(record.value("time", ""), std::regex(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z)")));
            std::string path = record.value("path", "");
            CHECK(path.compare(0, root.size() + 1, root + "\\") == 0);
            records.push_back(record.value("event", "") + " " + path.erase(0, root.size() + 1) + " " +
                              record.value("type", record.value("error", "")) + " " + record.value("target", "") +
                              (record.contains(detail) ? " " + record[detail].dump() : ""));
        }
    }
    std::sort(records.begin(), records.end());
    std::string joined;
    for (const std::string& record : records)
        joined += record + "\n";
    return joined;
}

long Ended(Watch& w, int waitMs)
{
    DWORD code = DWORD(-1);
    if (WaitForSingleObject(w.process.hProcess, waitMs) == WAIT_OBJECT_0)
        GetExitCodeProcess(w.process.hProcess, &code);
    TerminateProcess(w.process.hProcess, 9);
    for (HANDLE h : {w.process.hProcess, w.process.hThread, w.out, w.err})
        CloseHandle(h);
    return long(code);
}

}  // namespace

TEST_CASE("--watch: each creation and deletion once, a replaced object or retargeted link as both, a refused directory once; the end; a look cut short by memory, as text")
{
    TestNamespace ns;
    REQUIRE(ns.Build({{Kind::Event, L"Swap"}, {Kind::Directory, L"Shut"}, {Kind::Event, L"Shut\\inside"},
                      {Kind::Directory, L"Early"}, {Kind::Refuse, L"Early"}}) == 0);
    const std::string root(ns.Root().begin(), ns.Root().end());
    Watch w;
    Start(w, ns.Root());
    const std::string refused = " アクセスが拒否されました。 \n";
    CHECK(Records(w, root, 1, 10000) == "error Early" + refused);  // the first look says only that

    REQUIRE(ns.Build({{Kind::Event, L"ev"}, {Kind::Directory, L"Sub"}, {Kind::Semaphore, L"Sub\\sem", 1, 2},
                      {Kind::SymbolicLink, L"Ln", 0, 0, L"\\Somewhere"}}) == 0);
    CHECK(Records(w, root, 4) ==
          "created Ln SymbolicLink \\Somewhere\ncreated Sub Directory \ncreated Sub\\sem Semaphore \ncreated ev Event \n");
    for (const wchar_t* name : {L"ev", L"Swap", L"Ln"})
        ns.Remove(name);
    REQUIRE(ns.Build({{Kind::Mutant, L"Swap"}, {Kind::Refuse, L"Shut"}, {Kind::SymbolicLink, L"Ln", 0, 0, L"\\Elsewhere"}}) == 0);
    CHECK(Records(w, root, 6) == "created Ln SymbolicLink \\Elsewhere\ncreated Swap Mutant \ndeleted Ln SymbolicLink \\Somewhere\n"
                                 "deleted Swap Event \ndeleted ev Event \nerror Shut" + refused);
    // Not said again at the next looks: Mark's creation, then its deletion, comes alone (a look's records come in one write).
    REQUIRE(ns.Build({{Kind::Event, L"Mark"}}) == 0);
    CHECK(Records(w, root, 1) == "created Mark Event \n");
    PSECURITY_DESCRIPTOR open = nullptr;  // listable again: said once, its entries unchanged
    ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:(A;;GA;;;WD)", SDDL_REVISION_1, &open, nullptr);
    CHECK(SetKernelObjectSecurity(ns.Handle(L"Shut"), DACL_SECURITY_INFORMATION, open));
    LocalFree(open);
    CHECK(Records(w, root, 1) == "listable Shut  \n");
    ns.Remove(L"Mark");
    CHECK(Records(w, root, 1) == "deleted Mark Event \n");
    // The first look's failure, then that the watch has begun, which a script can wait for.
    CHECK(w.errors == "kagero-dump: " + root + "\\Early: アクセスが拒否されました。\nkagero-dump: " + root +
                          ": 見張りを始めました (Ctrl+C で終わります)。\nkagero-dump: " + root +
                          "\\Shut: アクセスが拒否されました。\nkagero-dump: " + root + "\\Shut: 一覧できるようになりました。\n");
    // Ctrl+C ends it with 0. Wine sends Ctrl+C alone (not Ctrl+Break) and only to the processes of a console: here
    // the child's own, which the test joins, ignoring Ctrl+C itself.
    FreeConsole();
    REQUIRE(AttachConsole(w.process.dwProcessId));
    SetConsoleCtrlHandler(nullptr, TRUE);
    CHECK(GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0));
    CHECK(Ended(w, 5000) == 0);
    FreeConsole();
    SetConsoleCtrlHandler(nullptr, FALSE);
    // A reader that leaves ends it, though nothing changes.
    Watch quitting;
    Start(quitting, ns.Root());
    CHECK(Records(quitting, root, 1, 10000) == "error Early" + refused);  // its first look written: nothing is owed
    CloseHandle(quitting.out);
    quitting.out = nullptr;
    CHECK(Ended(quitting, 5000) == 1);
    // With --details a created entry is read again, a deleted one written as it was seen. PATH gone: its entries
    // deleted, then its failure, and the end.
    Watch gone;
    REQUIRE(ns.Build({{Kind::Directory, L"Sub\\Early"}, {Kind::Refuse, L"Sub\\Early"}}) == 0);
    Start(gone, ns.Path(L"Sub"), L"--details ");
    CHECK(Records(gone, root, 1, 10000) == "error Sub\\Early" + refused);
    REQUIRE(ns.Build({{Kind::Semaphore, L"Sub\\more", 1, 2}}) == 0);
    CHECK(Records(gone, root, 1, 5000, "maximum") == "created Sub\\more Semaphore  2\n");
    ns.Remove(L"Sub\\more");
    CHECK(Records(gone, root, 1, 5000, "maximum") == "deleted Sub\\more Semaphore \n");
    for (const wchar_t* name : {L"Sub\\Early", L"Sub\\sem", L"Sub"})
        ns.Remove(name);
    CHECK(Records(gone, root, 3) ==
          "deleted Sub\\Early Directory \ndeleted Sub\\sem Semaphore \nerror Sub オブジェクトが見つかりません。 \n");
    CHECK(Ended(gone, 5000) == 1);
    // In this process, as text: a look that memory cuts short is said and compared with nothing; the next is
    // compared with the last whole one, + for a creation and - for a deletion.
    TestNamespace cut;
    REQUIRE(cut.Build({{Kind::Event, L"old"}}) == 0);
    std::wstring arguments[] = {L"kagero-dump", L"--watch", cut.Root()};
    wchar_t* argv[] = {&arguments[0][0], &arguments[1][0], &arguments[2][0]};
    DumpOptions options;
    ArgumentError error;
    REQUIRE(ParseDumpArguments(3, argv, &options, &error) == ParseResult::Run);
    HANDLE out[2], err[2];
    REQUIRE((CreatePipe(&out[0], &out[1], nullptr, 1 << 16) && CreatePipe(&err[0], &err[1], nullptr, 1 << 16)));
    OutputChannel output(out[1]), errors(err[1]);
    Watcher watcher(options, output, errors, out[1]);
    CHECK(watcher.Look(true));
    cut.Remove(L"old");
    REQUIRE(cut.Build({{Kind::Event, L"new"}}) == 0);
    DirectoryCalls cutting = ActiveDirectoryCalls();
    cutting.open = OpenCutShort;
    CutShort = cut.Root();
    SetDirectoryCalls(&cutting);
    CHECK(watcher.Look(false));
    SetDirectoryCalls(nullptr);
    CHECK(watcher.Look(false));
    std::string lines, said;
    Drain(out[0], lines);
    Drain(err[0], said);
    for (HANDLE h : {out[0], out[1], err[0], err[1]})
        CloseHandle(h);
    const std::string at(cut.Root().begin(), cut.Root().end());
    CHECK(std::regex_replace(lines, std::regex(R"(\d\d:\d\d:\d\d\.\d{3} )"), "") == "+ " + at + "\\new\tEvent\n- " + at + "\\old\tEvent\n");
    CHECK(said == "kagero-dump: " + at + u8": メモリが足りません。\n");
}

TEST_CASE("--watch --held-by: a holder started meanwhile, its objects created with their holders and deleted with "
          "those it had when it ends; the test's own and the first holder's never")
{
    TestNamespace ns;
    REQUIRE(ns.Build({{Kind::Directory, L"A"}, {Kind::Directory, L"B"}, {Kind::Directory, L"Early"}, {Kind::Refuse, L"Early"}}) == 0);
    HolderProcess first, second;
    REQUIRE(first.Start(ns.Path(L"A")));  // --held-by names a running program
    const std::string root(ns.Root().begin(), ns.Root().end());
    Watch w;
    Start(w, ns.Root(), L"--holders --held-by kagero_holder ");
    CHECK(Records(w, root, 1, 10000) == "error Early アクセスが拒否されました。 \n");  // its first look
    REQUIRE(ns.Build({{Kind::Event, L"mine"}}) == 0);
    REQUIRE(second.Start(ns.Path(L"B")));
    const std::string pid = std::to_string(second.Pid());
    // Each handle's value left out; the created handle comes first.
    const auto held = [&](std::string records) {
        records = std::regex_replace(records, std::regex(R"(,"handle":"0x[0-9A-F]+")"), "");
        return std::regex_replace(records, std::regex("\"pid\":" + pid + ","), "\"pid\":PID,");
    };
    const std::string event = R"( [{"handles":[{"access":"0x001F0003"},{"access":"0x00100001"}],"pid":PID,"process":"kagero_holder.exe"}])";
    const std::string mutant = R"( [{"handles":[{"access":"0x001F0001"}],"pid":PID,"process":"kagero_holder.exe"}])";
    CHECK(held(Records(w, root, 2, 5000, "holders")) ==
          "created B\\HeldEvent Event " + event + "\ncreated B\\HeldMutant Mutant " + mutant + "\n");
    second.Stop();
    ns.Remove(L"mine");
    CHECK(held(Records(w, root, 2, 5000, "holders")) ==
          "deleted B\\HeldEvent Event " + event + "\ndeleted B\\HeldMutant Mutant " + mutant + "\n");
    CHECK(Records(w, root, 1, 1000) == "");
    Ended(w, 0);
}
