// The built kagero-dump.exe run as a child process over a namespace made here, its JSON parsed with nlohmann::json.
#include <doctest.h>

#include <windows.h>
#include <sddl.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <map>
#include <set>
#include <regex>
#include <string>
#include <vector>

#include "DirectoryEntries.h"
#include "DumpWalk.h"
#include "EntryExtras.h"
#include "HolderProcess.h"
#include "JsonLog.h"
#include "KernelObjects.h"
#include "NativeApi.h"
#include "ObjectOpen.h"
#include "SystemTables.h"
#include "WatchLoop.h"

namespace {

struct DumpRun { long exitCode; std::string out, err; };  // exit code -1: it did not end in time

}  // namespace

void KeepJsonLines(const std::string& out)
{
    static bool emptied = false;
    if (out.empty() || out[0] != '{')
        return;
    HANDLE file = CreateFileA(KAGERO_JSON_LOG, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                              emptied ? OPEN_ALWAYS : CREATE_ALWAYS, 0, nullptr);
    emptied = true;
    DWORD written = 0;
    REQUIRE((file != INVALID_HANDLE_VALUE && WriteFile(file, out.data(), DWORD(out.size()), &written, nullptr)));
    CloseHandle(file);
}

namespace {

// Invalid UTF-8 comes back with U+FFFD, which no expected text holds.
std::wstring FromUtf8(const std::string& text)
{
    std::wstring wide(text.size(), L'\0');  // never more units than bytes
    wide.resize(size_t(MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), &wide[0], int(wide.size()))));
    return wide;
}

// Reads a pipe to its end, or until limit bytes have come, then closes it.
std::string ReadPipe(HANDLE pipe, size_t limit = size_t(-1))
{
    std::string bytes;
    char chunk[4096];
    DWORD read = 0;
    while (bytes.size() < limit && ReadFile(pipe, chunk, sizeof(chunk), &read, nullptr) && read > 0)
        bytes.append(chunk, read);
    CloseHandle(pipe);
    return bytes;
}

// Runs the dump with its output and errors on pipes; a reader that takes only outBytes bytes goes away after them.
DumpRun RunDump(const std::vector<std::wstring>& arguments, size_t outBytes = size_t(-1))
{
    std::wstring line = L"kagero-dump";
    for (const std::wstring& argument : arguments)  // none holds a quote; backslashes before the closing one doubled
        line += L" \"" + argument + std::wstring(argument.size() - 1 - argument.find_last_not_of(L'\\'), L'\\') + L"\"";
    const std::wstring program = L"Z:" + FromUtf8(KAGERO_DUMP_EXE);  // drive Z: is the Unix root to Wine
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    HANDLE out[2], err[2];  // reading and writing ends; only the writing ends are inherited
    REQUIRE((CreatePipe(&out[0], &out[1], &inherit, 4096) && CreatePipe(&err[0], &err[1], &inherit, 65536)));
    for (HANDLE reading : {out[0], err[0]})
        SetHandleInformation(reading, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = out[1];
    startup.hStdError = err[1];
    PROCESS_INFORMATION process = {};
    REQUIRE(CreateProcessW(program.c_str(), &line[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr, &startup,
                           &process));
    CloseHandle(out[1]);  // the child holds the only writing ends now
    CloseHandle(err[1]);
    const std::string outText = ReadPipe(out[0], outBytes), errText = ReadPipe(err[0]);
    DWORD code = DWORD(-1);
    if (WaitForSingleObject(process.hProcess, 120000) == WAIT_OBJECT_0)
        GetExitCodeProcess(process.hProcess, &code);
    TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    KeepJsonLines(outText);
    return {long(code), outText, errText};
}

// nlohmann::json refuses the escape of an unpaired surrogate, the one exact JSON form of such a name: each
// becomes \u0000 and its digits, which Text() turns back into the unit (no name here has a backslash before "ud8").
std::vector<nlohmann::json> ParseLines(const std::string& out)
{
    std::vector<nlohmann::json> entries;
    for (size_t start = 0, end; (end = out.find('\n', start)) != std::string::npos; start = end + 1) {
        const std::string line = out.substr(start, end - start);
        const auto entry = nlohmann::json::parse(
            std::regex_replace(line, std::regex(R"(\\u(d[89a-f][0-9a-f]{2}))"), "\\u0000$1"), nullptr, false);
        CHECK_MESSAGE(entry.is_object(), line);
        if (entry.is_object())
            entries.push_back(entry);
    }
    return entries;
}

std::wstring Text(const nlohmann::json& entry, const char* key)
{
    std::wstring text = FromUtf8(entry.value(key, ""));
    for (size_t at; (at = text.find(L'\0')) != std::wstring::npos;)
        text.replace(at, 5, 1, wchar_t(std::stoul(text.substr(at + 1, 4), nullptr, 16)));
    return text;
}

// Names a careless program mangles: control characters, the edges of each UTF-8 length, surrogates alone, in
// pairs and reversed; letters a language's case rules match where the kernel's table does not (\x00DF, the
// Kelvin sign, the dotless \x0131); and plain ones whose case-blind order is easy to get wrong.
const std::wstring OddNames[] = {
    L"100%d%s%n", L"quote\"mark", L"tab\there", L"line\nbreak\r", L"ctl\x01\x1F\x7F\b\f\x80\x7FF\x800\xFFFF\xDBFF\xDFFF",
    L"日本語の名前", L"lone\xD800high", L"\xDC00lone-low", L"reversed\xDC00\xD800", L"pair\xD83D\xDE00",
    L"punct !#$&'()*+,-./:;<=>?@[]^_`{|}~", L"long-" + std::wstring(2995, L'x'), L"Stra\x00DF" L"e", L"\x212A" L"elvin",
    L"d\x0131r", L"n10", L"N9", L"n1a", L"9Z",
};

const TestNamespace& Fixture()
{
    static TestNamespace ns;
    static const int failed = [] {
        int rows = ns.Build({{Kind::Directory, L"Tree"}, {Kind::Directory, L"Tree\\Alpha"},
                             {Kind::Directory, L"Tree\\Alpha\\Deep"}, {Kind::Semaphore, L"Tree\\Alpha\\Deep\\leaf", 3, 10},
                             {Kind::Event, L"Tree\\Alpha\\inner", true, true}, {Kind::Event, L"Tree\\beta"},
                             {Kind::Mutant, L"Tree\\Gamma", 1}, {Kind::Mutant, L"Tree\\Gone", 2},
                             {Kind::Directory, L"Tree\\Refused"}, {Kind::Event, L"Tree\\Refused\\hidden"},
                             {Kind::Refuse, L"Tree\\Refused"}, {Kind::SymbolicLink, L"Tree\\Sealed", 0, 0, L"\\Nowhere"},
                             {Kind::Refuse, L"Tree\\Sealed"}, {Kind::Semaphore, L"Tree\\zz-last", 1, 5},
                             {Kind::SymbolicLink, L"Tree\\Link", 0, 0, L"\\Tree\\Alpha"}, {Kind::Directory, L"Names"}});
        for (const std::wstring& name : OddNames)
            rows += ns.Event(L"Names\\" + name) < 0;
        for (const wchar_t* directory : CaseDirectories)
            rows += ns.Directory(directory) < 0;
        for (const wchar_t* name : CaseNames)
            rows += ns.Event(name) < 0;
        return rows;
    }();
    REQUIRE(failed == 0);
    return ns;
}

// The holder's objects beside one of the test's own in In, and a link to In, in a namespace of their own.
struct HeldObjects { TestNamespace ns; HolderProcess holder; };
const HeldObjects& Held()
{
    static HeldObjects held;
    static const bool started = held.ns.Build({{Kind::Directory, L"In"}, {Kind::Event, L"In\\Ours"},
                                               {Kind::SymbolicLink, L"Via", 0, 0, held.ns.Path(L"In")}}) == 0 &&
                                held.holder.Start(held.ns.Path(L"In"));
    REQUIRE(started);
    return held;
}

// The test's own user: its SID string and DOMAIN\name.
struct UserNames { std::wstring sid, account; };
UserNames OwnUser()
{
    HANDLE token = nullptr;
    alignas(8) BYTE user[256];
    DWORD bytes = 0, nameChars = 256, domainChars = 256;
    wchar_t* sid = nullptr;
    wchar_t name[256], domain[256];
    SID_NAME_USE use;
    REQUIRE((OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token) &&
             GetTokenInformation(token, TokenUser, user, sizeof(user), &bytes) &&
             ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(user)->User.Sid, &sid) &&
             LookupAccountSidW(nullptr, reinterpret_cast<TOKEN_USER*>(user)->User.Sid, name, &nameChars, domain,
                               &domainChars, &use)));
    CloseHandle(token);
    UserNames names = {sid, std::wstring(domain) + L"\\" + name};
    LocalFree(sid);
    return names;
}

// What work writes to the output and errors it is given: pipes that hold all of it.
template <typename Work>
DumpRun Capture(Work work)
{
    HANDLE out[2], err[2];
    REQUIRE((CreatePipe(&out[0], &out[1], nullptr, 1 << 20) && CreatePipe(&err[0], &err[1], nullptr, 1 << 16)));
    const long code = work(out[1], err[1]);
    CloseHandle(out[1]);
    CloseHandle(err[1]);
    const DumpRun run = {code, ReadPipe(out[0]), ReadPipe(err[0])};
    KeepJsonLines(run.out);
    return run;
}

// The scan's calls, refusing the open of the process RefusedPid, or the handle table with RefusedTable.
HandleScanCalls Real;
DWORD RefusedPid = 0;
NTSTATUS RefusedTable = 0;
// Name queries from any thread but the test's wait for Release, as one on a synchronous pipe can wait for good.
HANDLE Release = nullptr;
DWORD TestThread = 0;
ObjectCalls RealObjects;
NTSTATUS NTAPI BlockingQuery(HANDLE handle, ULONG infoClass, PVOID buffer, ULONG length, PULONG returned)
{
    if (infoClass == 1 /* ObjectNameInformation */ && GetCurrentThreadId() != TestThread)
        WaitForSingleObject(Release, INFINITE);
    return RealObjects.queryObject(handle, infoClass, buffer, length, returned);
}
NTSTATUS NTAPI QueryRefusing(ULONG infoClass, PVOID buffer, ULONG length, PULONG returned)
{
    return infoClass == SystemExtendedHandleInformationClass && RefusedTable ? RefusedTable
                                                                            : Real.querySystem(infoClass, buffer, length, returned);
}
NTSTATUS NTAPI OpenRefusing(PHANDLE process, ACCESS_MASK access, POBJECT_ATTRIBUTES attributes, CLIENT_ID* client)
{
    return DWORD(ULONG_PTR(client->UniqueProcess)) == RefusedPid ? STATUS_ACCESS_DENIED
                                                                 : Real.openProcess(process, access, attributes, client);
}

// Where \ObjectTypes cannot be read, any --type name is taken.
NTSTATUS NTAPI RefuseObjectTypes(PHANDLE directory, ACCESS_MASK access, POBJECT_ATTRIBUTES attributes)
{
    const UNICODE_STRING& name = *attributes->ObjectName;
    return std::wstring(name.Buffer, name.Length / 2) == L"\\ObjectTypes"
               ? STATUS_ACCESS_DENIED
               : NtOpenDirectoryObject(directory, access, attributes);
}

}  // namespace

TEST_CASE("the whole namespace as JSON with --details: every line parses, each entry once, exact, in the window's order")
{
    const std::wstring root = Fixture().Root();
    const DumpRun run = RunDump({L"--json", L"--details"});
    CHECK(run.exitCode == 1);  // the refused directory
    CHECK(FromUtf8(run.err) == L"kagero-dump: " + root + L"\\Tree\\Refused: アクセスが拒否されました。\n");
    // The test holds one handle, the dump opens one more.
    const auto directory = R"({"type": "Directory", "handles": 2})"_json;
    const auto event = R"({"type": "Event", "handles": 2, "eventType": "synchronization", "signaled": false})"_json;
    std::map<std::wstring, nlohmann::json> found, expected = {
        {L"Tree", directory}, {L"Tree\\Alpha", directory}, {L"Tree\\Alpha\\Deep", directory}, {L"Names", directory},
        {L"Cases", directory}, {L"Cases\\Upper", directory}, {L"Cases\\Lower", directory},
        {L"Tree\\Alpha\\Deep\\leaf", R"({"type": "Semaphore", "handles": 2, "current": 3, "maximum": 10})"_json},
        {L"Tree\\Alpha\\inner", R"({"type": "Event", "handles": 2, "eventType": "notification", "signaled": true})"_json},
        {L"Tree\\beta", event},
        {L"Tree\\Gamma", R"({"type": "Mutant", "handles": 2, "owned": true, "abandoned": false})"_json},
        {L"Tree\\Gone", R"({"type": "Mutant", "handles": 2, "owned": false, "abandoned": true})"_json},
        {L"Tree\\Link", R"({"type": "SymbolicLink", "handles": 2, "target": "\\Tree\\Alpha", "created": ""})"_json},
        {L"Tree\\Refused", R"({"type": "Directory", "openError": "アクセスは拒否されました。"})"_json},
        {L"Tree\\Refused!", R"({"error": "アクセスが拒否されました。"})"_json},
        {L"Tree\\Sealed", R"({"type": "SymbolicLink", "openError": "アクセスは拒否されました。"})"_json},
        {L"Tree\\zz-last", R"({"type": "Semaphore", "handles": 2, "current": 1, "maximum": 5})"_json}};
    for (const std::wstring& name : OddNames)
        expected[L"Names\\" + name] = event;
    for (const wchar_t* name : CaseNames)
        expected[name] = event;
    std::map<std::wstring, std::wstring> last;  // directory -> the name before
    for (nlohmann::json entry : ParseLines(run.out)) {
        const std::wstring path = Text(entry, "path"), name = Text(entry, "name");
        const std::wstring parent = path.substr(0, path.rfind(L'\\'));
        if (!entry.contains("error")) {
            CHECK(path == parent + L"\\" + name);
            CHECK_MESSAGE(lstrcmpiW(last[parent].c_str(), name.c_str()) <= 0, entry.dump());
            last[parent] = name;
        }
        if (path.compare(0, root.size() + 1, root + L"\\") != 0)
            continue;
        const std::wstring key = path.substr(root.size() + 1) + (entry.contains("error") ? L"!" : L"");
        CHECK_MESSAGE(found.count(key) == 0, entry.dump());
        for (const char* field : {"path", "name", "references"})
            entry.erase(field);
        found[key] = entry;
    }
    CHECK(found == expected);
    DirectoryEntries twice;  // a listing that gave an entry twice, as it can while objects are made
    for (const wchar_t* name : {L"b", L"B", L"a", L"b"})
        twice.AddListEntry(0, L"Event", name);
    twice.Sort();
    CHECK((twice.Count() == 3 && std::wstring(twice.Name(2)) == L"b"));
}

TEST_CASE("text lines depth first, sorted without regard to case, on past a refusal; filters; PATH in the kernel's names; exit codes and their one line")
{
    const std::wstring root = Fixture().Root(), t = Fixture().Path(L"Tree"), names = Fixture().Path(L"Names");
    const std::wstring letters = Fixture().Path(L"Cases"), low = L"\\KernelObjects\\Low";
    const std::wstring lower = L"Cases\\Lower\\Letter-", upper = L"Cases\\Upper\\Letter-", ev = L"\tEvent\n";
    const std::wstring refused = L"Refused: アクセスが拒否されました。\n", hint = L" (使い方: kagero-dump --help)\n";
    const std::wstring sealed = L"Sealed\tSymbolicLink\topenError=アクセスは拒否されました。\n", usage = L"使い方: kagero-dump [";
    const std::wstring held = Held().ns.Root(), in = Held().ns.Path(L"In"), pid = std::to_wstring(Held().holder.Pid());
    const std::wstring pipe = L"\\Device\\NamedPipe" + Held().holder.PipeName();
    const std::wstring file = L"\\Device\\HarddiskVolume1" + Held().holder.FileName();
    const std::wstring heldEvent = L"In\\HeldEvent\tEvent", heldMutant = L"In\\HeldMutant\tMutant", by = L"\tholders=kagero_holder.exe(PID)\n";
    std::vector<std::wstring> tooMany;
    for (int i = 0; i < 17; ++i)
        tooMany.insert(tooMany.end(), {L"--held-by", L"1"});
    const std::wstring types = L"DebugObject, Desktop, Device, Directory, Event, File, IoCompletion, Job, Key, KeyedEvent, "
                               L"Mutant, Process, Section, Semaphore, SymbolicLink, Thread, Timer, Token, Type, WindowStation";
    // Paths relative to Tree, else to the root; err after "kagero-dump: "; --help's out only as far as given.
    const struct { std::vector<std::wstring> arguments; long exitCode; std::wstring out, err; } cases[] = {
        {{t}, 1,
         L"Alpha\tDirectory\nAlpha\\Deep\tDirectory\nAlpha\\Deep\\leaf\tSemaphore\nAlpha\\inner\tEvent\nbeta\tEvent\n"
         L"Gamma\tMutant\nGone\tMutant\nLink\tSymbolicLink\t-> \\Tree\\Alpha\nRefused\tDirectory\n" + sealed +
             L"zz-last\tSemaphore\n",
         refused},
        // --find and --type ignore case, and the walk goes on below the entries they leave out.
        {{L"--find", L"A", t}, 1,
         L"Alpha\tDirectory\nAlpha\\Deep\\leaf\tSemaphore\nbeta\tEvent\nGamma\tMutant\n" + sealed + L"zz-last\tSemaphore\n",
         refused},
        {{L"--type", L"semaphore", L"--type", L"MUTANT", t}, 1,
         L"Alpha\\Deep\\leaf\tSemaphore\nGamma\tMutant\nGone\tMutant\nzz-last\tSemaphore\n", refused},
        {{L"--depth", L"0", t}, 0,
         L"Alpha\tDirectory\nbeta\tEvent\nGamma\tMutant\nGone\tMutant\nLink\tSymbolicLink\t-> \\Tree\\Alpha\n"
         L"Refused\tDirectory\n" + sealed + L"zz-last\tSemaphore\n",
         L""},
        {{L"--depth", L"1", L"--find", L"e", L"--type", L"Directory", root}, 0,
         L"Cases\tDirectory\nCases\\Lower\tDirectory\nCases\\Upper\tDirectory\nNames\tDirectory\nTree\tDirectory\nRefused\tDirectory\n",
         L""},
        {{L"--find", L"日本", names}, 0, L"Names\\日本語の名前\tEvent\n", L""},
        {{L"--find", L"CTL", names}, 0, L"Names\\ctl␁␟␡␈␌\x80\x7FF\x800\xFFFF\xDBFF\xDFFF\tEvent\n", L""},
        {{L"--find", L"LONE", names}, 0, L"Names\\lone\xFFFDhigh\tEvent\nNames\\\xFFFDlone-low\tEvent\n", L""},
        // The find window's rows over the same names; * and ? make a wildcard over the whole name.
        {{L"--find", L"-\x00E4", letters}, 0, lower + L"\x00E4" + ev + lower + L"\x00E4\xFFFD" + ev + upper + L"\x00C4" + ev, L""},
        {{L"--find", L"-\x03A3", letters}, 0, lower + L"\x03C3" + ev + upper + L"\x03A3" + ev, L""},
        {{L"--find", L"-\xFF41", letters}, 0, lower + L"\xFF41" + ev + upper + L"\xFF21" + ev, L""},
        {{L"--find", L"LETTER-?", letters}, 0,  // in the window's name order
         lower + L"\xFF41" + ev + lower + L"\x00E4" + ev + lower + L"\x03C3" + ev + upper + L"\xFF21" + ev + upper + L"\x00C4" + ev +
             upper + L"\x03A3" + ev,
         L""},
        {{L"--find", L"*\x00C4?", letters}, 0, lower + L"\x00E4\xFFFD" + ev, L""},
        {{L"--find", L"letter-\x00E4*", letters}, 0, lower + L"\x00E4" + ev + lower + L"\x00E4\xFFFD" + ev + upper + L"\x00C4" + ev, L""},
        {{L"--find", L"Low*", L"\\KernelObjects"}, 0,
         low + L"MemoryCondition\tEvent\n" + low + L"NonPagedPoolCondition\tEvent\n" + low + L"PagedPoolCondition\tEvent\n", L""},
        {{L"--find", L"*memory?ondition", L"\\KernelObjects"}, 0,
         L"\\KernelObjects\\HighMemoryCondition\tEvent\n" + low + L"MemoryCondition\tEvent\n", L""},
        {{L"--find", L"Memory*", L"\\KernelObjects"}, 0, L"", L""},
        {{L"--bogus"}, 2, L"", L"不明なオプションです: --bogus" + hint},
        // The nearest option within two edits, a swap of neighbours one, the name before = compared; none for a tie.
        {{L"--jsno"}, 2, L"", L"不明なオプションです: --jsno (近いオプション: --json)" + hint},
        {{L"--dpeht=0"}, 2, L"", L"不明なオプションです: --dpeht=0 (近いオプション: --depth)" + hint},
        {{L"--jsonxyz"}, 2, L"", L"不明なオプションです: --jsonxyz" + hint},
        {{L"--dep"}, 2, L"", L"不明なオプションです: --dep" + hint},
        // The largest number an int holds, and one past it; an option of one value given twice, in either form.
        {{L"--depth=2147483647", L"--find=lowmem", L"\\kernelobjects"}, 0, L"\\KernelObjects\\LowMemoryCondition\tEvent\n", L""},
        {{L"--depth", L"2147483648"}, 2, L"", L"--depth には 2147483647 までの整数を指定してください: 2147483648" + hint},
        {{L"--depth", L"99999999999999999999"}, 2, L"",
         L"--depth には 2147483647 までの整数を指定してください: 99999999999999999999" + hint},
        {{L"--watch", L"--interval", L"2147483647", L"\\NoSuch"}, 1, L"", L"\\NoSuch: オブジェクトが見つかりません。\n"},
        {{L"--watch", L"--interval=2147483648", L"\\NoSuch"}, 2, L"",
         L"--interval には 2147483647 までのミリ秒数を指定してください: 2147483648" + hint},
        {{L"--depth=1", L"--depth=0", t}, 2, L"", L"一度だけ指定できるオプションです: --depth" + hint},
        {{L"--find", L"a", L"--find", L"b", t}, 2, L"", L"一度だけ指定できるオプションです: --find" + hint},
        {{L"--watch", L"--interval", L"100", L"--interval=200", L"\\NoSuch"}, 2, L"",
         L"一度だけ指定できるオプションです: --interval" + hint},
        {{L"--writable-by", L"NoSuchAccount"}, 2, L"", L"アカウントが見つかりません: NoSuchAccount" + hint},
        {{L"--writable-by", L"S-1-5-x"}, 2, L"", L"アカウントが見つかりません: S-1-5-x" + hint},
        {{L"--writable-by", L""}, 2, L"", L"--writable-by の値が空です" + hint},
        {{L"--writable-by", L"BUILTIN"}, 2, L"", L"アカウントでもグループでもありません: BUILTIN" + hint},
        {{L"--writable-by=CO"}, 2, L"", L"アカウントでもグループでもありません: CO" + hint},
        // A SID that names no account here may be another domain's account.
        {{L"--writable-by", L"S-1-5-21-1-2-3-4000", L"--writable-by", L"WD", L"\\KernelObjects\\LowMemoryCondition"}, 0,
         L"\\KernelObjects\\LowMemoryCondition\tEvent\twritable=0x000D0002 変更,削除,アクセス許可の変更,所有権の取得\tunevaluated=0"
         L"\tby=null\n", L""},
        {{L"--interval", L"500", t}, 2, L"", L"--interval は --watch の見直す間隔です: 500" + hint},
        {{L"--depth=0", L"--find=lowmem", L"\\kernelobjects\\"}, 0, L"\\KernelObjects\\LowMemoryCondition\tEvent\n", L""},
        {{L"\\registry"}, 0, L"\\REGISTRY\tKey\n", L""},
        {{L"--watch", L"\\REGISTRY"}, 1, L"", L"\\REGISTRY: 見張れるのはディレクトリだけです。\n"},
        {{L"--json", L"--find"}, 2, L"", L"値がありません: --find" + hint},
        {{L"--depth", L"-1"}, 2, L"", L"--depth には 0 以上の整数を指定してください: -1" + hint},
        {{t, L"\\Device"}, 2, L"", L"パスは一つだけ指定できます: \\Device" + hint},
        {{t + L"\\Missing"}, 1, L"", L"Missing: オブジェクトが見つかりません。\n"},
        {{L"--json", L"\\NoSuch\\Deeper"}, 1, L"{\"path\": \"\\\\NoSuch\\\\Deeper\", \"error\": \"パスが見つかりません。\"}\n",
         L"\\NoSuch\\Deeper: パスが見つかりません。\n"},
        {{L"--type", L"Mutant", L"--depth", L"0", t + L"\\"}, 0, L"Gamma\tMutant\nGone\tMutant\n", L""},
        {{L"Device"}, 2, L"", L"パスは \\ で始めてください: Device" + hint},
        {{L"\\Device\\\\"}, 2, L"", L"パスに \\ が二つ続いています: \\Device\\\\" + hint},
        {{L"--watch", L"--interval", L"99", L"\\NoSuch"}, 2, L"", L"--interval には 100 以上のミリ秒数を指定してください: 99" + hint},
        {{L"--watch", L"--writable-by", L"WD", L"\\NoSuch"}, 2, L"", L"--watch とは一緒に使えません: --writable-by" + hint},
        {{L"--watch", L"--interval", L"100", L"\\NoSuch"}, 1, L"", L"\\NoSuch: オブジェクトが見つかりません。\n"},
        {{L"--type", L"Bogus", t}, 2, L"", L"システムにない種類です: Bogus (このシステムの種類: " + types + L")" + hint},
        // A path that is no directory: its own line, filtered as any entry; the kernel's name, found without regard to case.
        {{L"--details", L"--depth", L"0", L"--find", L"ET", L"--type", L"event", t + L"\\beta"}, 0,
         L"beta\tEvent\thandles=2\treferences=3\teventType=synchronization\tsignaled=false\n", L""},
        {{L"--type", L"Mutant", t + L"\\beta"}, 0, L"", L""},
        {{t + L"\\link"}, 0, L"Link\tSymbolicLink\t-> \\Tree\\Alpha\n", L""},
        // Found as the kernel finds a name: not SS for \x00DF, k for the Kelvin sign, I for \x0131; a lone surrogate as it is.
        {{names + L"\\STRASSE"}, 1, L"", L"Names\\STRASSE: オブジェクトが見つかりません。\n"},
        {{names + L"\\stra\x00DF" L"E"}, 0, L"Names\\Stra\x00DF" L"e\tEvent\n", L""},
        {{names + L"\\kelvin"}, 1, L"", L"Names\\kelvin: オブジェクトが見つかりません。\n"},
        {{names + L"\\DIR"}, 1, L"", L"Names\\DIR: オブジェクトが見つかりません。\n"},
        {{names + L"\\D\x0131R"}, 0, L"Names\\d\x0131r\tEvent\n", L""},
        {{names + L"\\LONE\xD800HIGH"}, 0, L"Names\\lone\xFFFDhigh\tEvent\n", L""},
        {{L"--json", L"\\KernelObjects\\LowMemoryCondition"}, 0,
         L"{\"path\": \"\\\\KernelObjects\\\\LowMemoryCondition\", \"name\": \"LowMemoryCondition\", \"type\": \"Event\"}\n", L""},
        {{L"--json", L"--version"}, 0, L"kagero-dump 1.10.158.1\n", L""},
        // Holders: a process once however many handles it has; the test's own; through a link; none; the chosen.
        {{L"--holders", in}, 0, heldEvent + by + heldMutant + by + L"In\\Ours\tEvent\tholders=dump_tests.exe(SELF)\n", L""},
        {{L"--held-by", pid, in}, 0, heldEvent + L"\n" + heldMutant + L"\n", L""},
        {{L"--held-by", L"dump_tests", L"--held-by", L"KAGERO_HOLDER.EXE", L"--type", L"event", in}, 0,
         heldEvent + L"\nIn\\Ours\tEvent\n", L""},
        {{L"--holders", L"--held-by", L"Kagero_Holder", L"--find", L"mutant", held + L"\\Via"}, 0,
         L"Via\\HeldMutant\tMutant" + by, L""},
        {{L"--holders", L"--held-by", pid, held + L"\\Via\\heldevent"}, 0, L"Via\\HeldEvent\tEvent" + by, L""},
        {{L"--holders", L"\\KernelObjects\\LowMemoryCondition"}, 0, L"\\KernelObjects\\LowMemoryCondition\tEvent\tholders=\n", L""},
        // Files: a pipe, a file of C: through the link and by its device; the devices a program holds files on.
        {{L"--holders", pipe}, 0, pipe + L"\tFile" + by, L""},
        {{L"--holders", L"\\??\\C:" + Held().holder.FileName()}, 0, file + L"\tFile" + by, L""},
        {{file}, 2, L"", L"ファイルは保持者だけを表示できます (--holders を付けてください): " + file + hint},
        {{L"--held-by", pid, L"\\Device"}, 0, L"\\Device\\HarddiskVolume1\tDevice\n\\Device\\HarddiskVolume2\tDevice\n\\Device\\NamedPipe\tDevice\n", L""},
        {{L"--held-by", L"kagero-dump", in}, 0, L"", L"kagero-dump 自身のハンドルは数えません。\n"},
        {{L"--held-by", L"NoSuchProgram", in}, 2, L"", L"実行中のプロセスが見つかりません: NoSuchProgram" + hint},
        {{L"--held-by", L"\x212A" L"agero_holder", in}, 2, L"", L"実行中のプロセスが見つかりません: \x212A" L"agero_holder" + hint},
        {tooMany, 2, L"", L"--held-by は 16 個まで指定できます: 1" + hint},
        {{L"--help", L"--bogus"}, 0, usage, L""},
        {{L"/?"}, 0, usage, L""},
        {{L"-h"}, 0, usage, L""},
    };
    const std::wstring self = std::to_wstring(GetCurrentProcessId());
    const auto relative = [&](const std::string& text) {
        std::wstring wide = FromUtf8(text);
        for (const std::wstring& prefix : {t + L"\\", root + L"\\", held + L"\\"})
            for (size_t at; (at = wide.find(prefix)) != std::wstring::npos;)
                wide.erase(at, prefix.size());
        for (const auto& id : {std::make_pair(L"(" + pid + L")", L"(PID)"), std::make_pair(L"(" + self + L")", L"(SELF)")})
            for (size_t at; (at = wide.find(id.first)) != std::wstring::npos;)
                wide.replace(at, id.first.size(), id.second);
        return wide;
    };
    for (const auto& c : cases) {
        CAPTURE(&c - cases);
        const DumpRun run = RunDump(c.arguments);
        CHECK(run.exitCode == c.exitCode);
        CHECK(relative(run.out).substr(0, c.out == usage ? c.out.size() : std::wstring::npos) == c.out);
        CHECK(relative(run.err) == (c.err.empty() ? L"" : L"kagero-dump: " + c.err));
    }
    DirectoryCalls refusing = ActiveDirectoryCalls();
    refusing.open = RefuseObjectTypes;
    SetDirectoryCalls(&refusing);
    wchar_t program[] = L"kagero-dump", type[] = L"--type", bogus[] = L"Bogus", depth[] = L"--depth", zero[] = L"0";
    wchar_t* arguments[] = {program, type, bogus, depth, zero, const_cast<wchar_t*>(t.c_str())};
    CHECK(RunDumpProgram(6, arguments, nullptr, nullptr) == 0);
    SetDirectoryCalls(nullptr);
    // About 50 KB of lines, none of them a failure, against a 4 KB pipe: a reader that goes away is a failure.
    TestNamespace ns;
    for (int i = 0; i < 200; ++i)
        ns.Event(std::to_wstring(i) + std::wstring(200, L'e'));
    for (size_t readBytes : {0, 5000}) {
        const DumpRun run = RunDump({ns.Root()}, readBytes);
        CHECK(run.exitCode == 1);
        CHECK(run.err.empty());
    }
}

TEST_CASE("--security and --writable-by over objects with their own descriptors; the details of sections, timers, completion objects and jobs; a link's time in UTC")
{
    // The objects' own descriptors through the dump (the DACL's reading has its own table): in the dump's order;
    // owned by the test's own user (U), so that the dump may read even an empty DACL.
    const std::wstring all = L"0x000D0002 変更,削除,アクセス許可の変更,所有権の取得";
    const struct { std::wstring sddl, name, everyone, administrators, by; } cases[] = {
        {L"O:UG:SYD:(A;;GA;;;BA)", L"administrators", L"", all, L"#0:BA"},
        {L"O:UG:SYD:(A;;GA;;;WD)", L"all-to-everyone", all, all, L"#0:WD"},
        {L"O:UG:SYD:", L"empty-dacl", L"", L"", L""},
        {L"", L"null-dacl", all, all, L"null"},
        {L"O:UG:SYD:(A;;GR;;;WD)", L"read-to-everyone", L"", L"", L""},
    };
    const std::wstring u = OwnUser().sid;
    const auto withUser = [&](std::wstring text) { return text.size() > 2 && text[2] == L'U' ? L"O:" + u + text.substr(3) : text; };
    TestNamespace ns, more;
    for (const auto& c : cases)
        REQUIRE(ns.Build({{Kind::Sddl, withUser(c.sddl)}, {Kind::Event, c.name}}) == 0);
    // Text with the owner's name and SDDL for Everyone; JSON for Administrators, by its name.
    const DumpRun everyone = RunDump({L"--security", L"--writable-by", L"WD", ns.Root()});
    std::wstring expected;
    for (const auto& c : cases)
        if (!c.everyone.empty())
            expected += ns.Path(c.name) + L"\tEvent\t" + (c.sddl.empty() ? L"" : L"owner=U\t") + L"sddl=" + c.sddl +
                        L"\twritable=" + c.everyone + L"\tunevaluated=0\tby=" + c.by + L"\n";
    CHECK(std::regex_replace(FromUtf8(everyone.out), std::wregex(L"owner=[^\t]*\tsddl=O:" + u), L"owner=U\tsddl=O:U") ==
          expected);
    std::map<std::wstring, std::wstring> found, wanted;
    // With Anonymous too, whose rights are Everyone's: the rights of either.
    for (const nlohmann::json& entry :
         ParseLines(RunDump({L"--json", L"--writable-by", L"Administrators", L"--writable-by", L"AN", ns.Root()}).out)) {
        const nlohmann::json writable = entry.value("writable", nlohmann::json::object());
        CHECK((writable.value("unevaluated", -1) == 0 && !entry.contains("owner")));
        std::wstring rights = FromUtf8(writable.value("mask", "")) + L" ";
        for (const auto& right : writable.value("rights", nlohmann::json::array()))
            rights += FromUtf8(right) + L",";
        rights.pop_back();
        found[Text(entry, "name")] = rights;
    }
    for (const auto& c : cases)
        if (!c.administrators.empty())
            wanted[c.name] = c.administrators;
    CHECK(found == wanted);
    // Each SDDL written parses back to the object's own owner, group and DACL.
    for (const auto& c : cases) {
        PSECURITY_DESCRIPTOR parsed = nullptr, own = nullptr;
        DWORD needed = 0;
        GetKernelObjectSecurity(ns.Handle(c.name), 7, nullptr, 0, &needed);
        own = LocalAlloc(LMEM_FIXED, needed);
        REQUIRE((own && GetKernelObjectSecurity(ns.Handle(c.name), 7, own, needed, &needed) &&
                 ConvertStringSecurityDescriptorToSecurityDescriptorW(withUser(c.sddl).c_str(), SDDL_REVISION_1, &parsed, nullptr)));
        PSID sids[4] = {};
        PACL acls[2] = {};
        BOOL flags[4] = {};
        GetSecurityDescriptorOwner(own, &sids[0], &flags[0]), GetSecurityDescriptorOwner(parsed, &sids[1], &flags[0]);
        GetSecurityDescriptorGroup(own, &sids[2], &flags[0]), GetSecurityDescriptorGroup(parsed, &sids[3], &flags[0]);
        GetSecurityDescriptorDacl(own, &flags[0], &acls[0], &flags[2]), GetSecurityDescriptorDacl(parsed, &flags[1], &acls[1], &flags[2]);
        CAPTURE(c.name);
        CHECK((sids[0] && sids[1] ? EqualSid(sids[0], sids[1]) != 0 : sids[0] == sids[1]));
        CHECK((sids[2] && sids[3] ? EqualSid(sids[2], sids[3]) != 0 : sids[2] == sids[3]));
        CHECK(flags[0] == flags[1]);
        CHECK((acls[0] && acls[1] ? acls[0]->AclSize == acls[1]->AclSize && memcmp(acls[0], acls[1], acls[0]->AclSize) == 0
                                  : acls[0] == acls[1]));
        LocalFree(parsed);
        LocalFree(own);
    }
    // Sizes are whole pages; a timer set an hour ahead; two packets queued; a job holding one process, held asleep.
    REQUIRE(more.Build({{Kind::Section, L"section", 8192}, {Kind::Timer, L"set"}, {Kind::Timer, L"unset"},
                        {Kind::IoCompletion, L"queue"}, {Kind::Job, L"job"}}) == 0);
    std::wstring program = L"Z:" + FromUtf8(KAGERO_DUMP_EXE), line = L"kagero-dump --version";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION held = {};
    REQUIRE(CreateProcessW(program.c_str(), &line[0], nullptr, nullptr, FALSE, CREATE_SUSPENDED | CREATE_NO_WINDOW, nullptr,
                           nullptr, &startup, &held));
    CHECK(AssignProcessToJobObject(more.Handle(L"job"), held.hProcess));
    LARGE_INTEGER due = {};
    due.QuadPart = -36000000000LL;
    CHECK(SetWaitableTimer(more.Handle(L"set"), &due, 0, nullptr, nullptr, FALSE));
    for (int packet = 0; packet < 2; ++packet)
        CHECK(PostQueuedCompletionStatus(more.Handle(L"queue"), 0, 0, nullptr));
    std::wstring details = std::regex_replace(FromUtf8(RunDump({L"--details", more.Root()}).out),
                                              std::wregex(L"\t(handles|references)=\\d+"), L"");
    for (size_t at; (at = details.find(more.Root() + L"\\")) != std::wstring::npos;)
        details.erase(at, more.Root().size() + 1);
    // The audit opens a completion object by its own call too, not as a file.
    const std::string queue = RunDump({L"--security", more.Root() + L"\\queue"}).out;
    CHECK((queue.find("\tIoCompletion\tsddl=") != std::string::npos && queue.find("securityError") == std::string::npos));
    TerminateProcess(held.hProcess, 0);
    CloseHandle(held.hProcess);
    CloseHandle(held.hThread);
    // A link's creation time in UTC whatever the local zone: CTest runs this program with TZ=JST-9.
    TIME_ZONE_INFORMATION zone = {};
    CHECK_MESSAGE((GetTimeZoneInformation(&zone) != TIME_ZONE_ID_INVALID && zone.Bias != 0), "run with TZ=JST-9, as CTest does");
    ByteBuffer created;
    FieldWriter fields(created, false);
    EntryExtras extras;
    extras.more = {MoreDetails::LinkCreated, 133486382450000000LL};
    AppendExtraFields(fields, extras);
    CHECK(std::string(created.Data(), created.Size()) == "\tcreated=2024-01-02T03:04:05Z");
    CHECK(std::regex_replace(details, std::wregex(L"remainingMs=359\\d{4}"), L"remainingMs=359xxxx") ==
          L"job\tJob\tactiveProcesses=1\nqueue\tIoCompletion\tqueued=2\nsection\tSection\tsectionSize=8192\tsectionAttributes=0x08000000\n"
          L"set\tTimer\tsignaled=false\tremainingMs=359xxxx\nunset\tTimer\tsignaled=false\tremainingMs=0\n");
}

TEST_CASE("--holders in JSON, in this process: each handle's access, [] where only this process holds; a process "
          "that cannot be examined said on stderr, first in the output and by exit 1, by a watch once; no handle table")
{
    const std::wstring in = Held().ns.Path(L"In");
    const DWORD pid = Held().holder.Pid();
    const std::string holder = "kagero_holder.exe " + std::to_string(pid);
    const std::string unseen = u8"ハンドルを調べられなかったプロセスがあります (保持者は分かりません)。";
    const std::wstring line = L"kagero-dump: ハンドルを調べられなかったプロセスが 1 個あります (保持者は分かりません): " +
                              std::to_wstring(pid) + L"\n";
    // By name: "process pid access access;" for each holder, the accesses sorted; the error object as "!".
    const struct { DWORD refusedPid; NTSTATUS refusedTable; long exitCode; std::map<std::string, std::string> holders; std::wstring err; } cases[] = {
        {0, 0, 0, {{"HeldEvent", holder + " 0x00100001 0x001F0003;"}, {"HeldMutant", holder + " 0x001F0001;"}, {"Ours", ""}}, L""},
        {pid, 0, 1, {{"!", unseen + " [" + std::to_string(pid) + "]"}, {"HeldEvent", ""}, {"HeldMutant", ""}, {"Ours", ""}}, line},
        {0, STATUS_ACCESS_DENIED, 1, {{"!", u8"ハンドルの一覧を読めませんでした: アクセスが拒否されました。 null"}},
         L"kagero-dump: ハンドルの一覧を読めませんでした: アクセスが拒否されました。\n"},
    };
    DumpOptions options;
    ArgumentError error;
    std::wstring watch[] = {L"kagero-dump", L"--watch", L"--json", L"--held-by", L"kagero_holder", in};
    wchar_t* watchArgv[] = {&watch[0][0], &watch[1][0], &watch[2][0], &watch[3][0], &watch[4][0], &watch[5][0]};
    REQUIRE(ParseDumpArguments(6, watchArgv, &options, &error) == ParseResult::Run);
    Real = ActiveHandleScanCalls();
    HandleScanCalls refusing = Real;
    refusing.querySystem = QueryRefusing;
    refusing.openProcess = OpenRefusing;
    SetHandleScanCalls(&refusing);
    std::wstring arguments[] = {L"kagero-dump", L"--json", L"--holders", in};
    wchar_t* argv[] = {&arguments[0][0], &arguments[1][0], &arguments[2][0], &arguments[3][0]};
    for (const auto& c : cases) {
        CAPTURE(&c - cases);
        RefusedPid = c.refusedPid;
        RefusedTable = c.refusedTable;
        const DumpRun run = Capture([&](HANDLE out, HANDLE err) { return long(RunDumpProgram(4, argv, out, err)); });
        std::map<std::string, std::string> found;
        for (const nlohmann::json& entry : ParseLines(run.out)) {
            CHECK_MESSAGE((found.empty() || entry.contains("path")), "the error object comes first");
            if (!entry.contains("path")) {
                found["!"] = entry.value("error", "") + " " + entry.value("pids", nlohmann::json()).dump();
                continue;
            }
            std::string& text = found[entry.value("name", "")] = entry.contains("holders") ? "" : "missing";
            for (const nlohmann::json& process : entry.value("holders", nlohmann::json::array())) {
                std::vector<std::string> access;
                for (const nlohmann::json& handle : process.value("handles", nlohmann::json::array())) {
                    CHECK(std::regex_match(handle.value("handle", ""), std::regex("0x[1-9A-F][0-9A-F]*")));
                    access.push_back(handle.value("access", ""));
                }
                std::sort(access.begin(), access.end());
                text += process.value("process", "") + " " + std::to_string(process.value("pid", 0L));
                for (const std::string& right : access)
                    text += " " + right;
                text += ";";
            }
        }
        CHECK(run.exitCode == c.exitCode);
        CHECK(found == c.holders);
        CHECK(FromUtf8(run.err) == c.err);
    }
    // A watch says it at the first look that finds it so, not at every look.
    RefusedPid = pid;
    RefusedTable = 0;
    const DumpRun looks = Capture([&](HANDLE out, HANDLE err) {
        OutputChannel output(out), errors(err);
        Watcher watcher(options, output, errors, out);
        return long(watcher.Look(true)) + long(watcher.Look(false));
    });
    SetHandleScanCalls(nullptr);
    // A file's handle says its name below the device: a pipe's, a file's of C: (as long as the path's own line).
    const std::string pipe = "\\kagero_holder_pipe_" + std::to_string(pid);
    const std::string file = "\\windows\\temp\\kagero_holder_" + std::to_string(pid) + ".txt";
    for (const std::string& path : {std::string("\\Device\\NamedPipe"), "\\Device\\HarddiskVolume1" + file}) {
        const DumpRun run = RunDump({L"--json", L"--holders", FromUtf8(path)});
        std::set<std::string> files;
        for (const nlohmann::json& entry : ParseLines(run.out))
            for (const nlohmann::json& process : entry.value("holders", nlohmann::json::array()))
                for (const nlohmann::json& handle : process.value("handles", nlohmann::json::array()))
                    if (process.value("pid", 0UL) == pid)
                        files.insert(entry.value("type", "") + " " + handle.value("file", "none"));
        CHECK(files.count(path.back() == 'e' ? "Device " + pipe : "File " + file) == 1);
    }
    // Files whose names never come: said with their processes, first in the output, and by exit 1.
    Release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    TestThread = GetCurrentThreadId();
    ObjectCalls blocking = RealObjects = ActiveObjectCalls();
    blocking.queryObject = BlockingQuery;
    SetObjectCalls(&blocking);
    std::wstring pipes[] = {L"kagero-dump", L"--json", L"--holders", L"\\Device\\NamedPipe"};
    wchar_t* pipesArgv[] = {&pipes[0][0], &pipes[1][0], &pipes[2][0], &pipes[3][0]};
    const DumpRun stuck = Capture([&](HANDLE out, HANDLE err) { return long(RunDumpProgram(4, pipesArgv, out, err)); });
    SetObjectCalls(nullptr);
    SetEvent(Release);
    const std::vector<nlohmann::json> said = ParseLines(stuck.out);
    REQUIRE(said.size() == 2);
    CHECK(stuck.exitCode == 1);
    CHECK(std::regex_match(stuck.err, std::regex(u8"kagero-dump: ([0-9]+) 個のハンドルは時間内に名前が分かりませんでした。"
                                                 u8"プロセス: ([0-9]+, )*" + std::to_string(pid) + "(, [0-9]+)*\n")));
    CHECK((said[0].value("error", "") == u8"時間内に名前が分からないハンドルがあります (保持者は分からないことがあります)。" &&
           said[0].value("handles", 0) >= 4 && said[1].value("holders", nlohmann::json()) == nlohmann::json::array()));
    CHECK(std::find(said[0]["pids"].begin(), said[0]["pids"].end(), pid) != said[0]["pids"].end());
    CHECK(looks.exitCode == 2);
    CHECK(FromUtf8(looks.err) == line);
    const std::vector<nlohmann::json> records = ParseLines(looks.out);
    REQUIRE(records.size() == 1);
    CHECK((records[0].value("event", "") == "error" && records[0].value("pids", nlohmann::json()) == nlohmann::json::array({pid})));
}

TEST_CASE("who can change it, as the system decides: an account with its groups, a running process, a sandbox; "
          "the reasons in both forms; --explain; the meaningless combinations")
{
    // Owned by SYSTEM, which none of the subjects is; anyone may read the descriptor, which changes nothing.
    const std::wstring u = OwnUser().sid, account = OwnUser().account;
    const std::wstring read = L"O:SYG:SYD:(A;;RC;;;WD)";
    TestNamespace ns;
    REQUIRE(ns.Build({{Kind::Sddl, read + L"(A;;GA;;;BA)"}, {Kind::Event, L"ba-only"},
                      {Kind::Sddl, read + L"(A;;GA;;;BU)"}, {Kind::Event, L"bu-only"},
                      {Kind::Sddl, read + L"(A;;GA;;;AU)"}, {Kind::Event, L"au-only"},
                      {Kind::Sddl, read + L"(A;;GA;;;IU)"}, {Kind::Event, L"iu-only"},
                      {Kind::Sddl, read + L"(A;;GA;;;S-1-5-21-1-2-3-4000)"}, {Kind::Event, L"other-user"},
                      {Kind::Sddl, read + L"(A;;GA;;;" + u + L")"}, {Kind::Event, L"the-user"},
                      {Kind::Sddl, L"O:SYG:SYD:(A;;GA;;;WD)S:(ML;;NW;;;LW)"}, {Kind::Event, L"low-label"},
                      {Kind::Sddl, L"O:SYG:SYD:(A;;GA;;;WD)"}, {Kind::Event, L"unlabelled"},
                      {Kind::Sddl, L"O:SYG:SYD:(A;;GA;;;WD)(A;;GA;;;S-1-15-3-1)S:(ML;;NW;;;LW)"},
                      {Kind::Event, L"package"}}) == 0);
    const std::wstring all = L"\tEvent\twritable=0x000D0002 変更,削除,アクセス許可の変更,所有権の取得\tunevaluated=0\tby=";
    const std::wstring cut = L"\tEvent\twritable=0x000D0000 削除,アクセス許可の変更,所有権の取得\tunevaluated=0\tby=";
    const std::wstring hint = L" (使い方: kagero-dump --help)\n";
    const std::wstring pkg = L"S-1-15-2-1-2-3-4-5-6-7", pid = std::to_wstring(Held().holder.Pid());
    const std::wstring everyoneToo = L"low-label" + all + L"#0:WD\npackage" + all + L"#0:WD\n";
    const std::wstring processRows = L"au-only" + all + L"#1:AU\nba-only" + all + L"#1:BA\nbu-only" + all + L"#1:BU\n" +
                                     L"iu-only" + all + L"#1:IU\n" +
                                     everyoneToo + L"the-user" + all + L"#1:" + u + L"\nunlabelled" + all + L"#0:WD\n";
    const struct { std::vector<std::wstring> arguments; long code; std::wstring out, err; } cases[] = {
        // An interactive logon: its groups count, Administrators for denying only; the user itself; not another.
        {{L"--writable-by", account}, 0,
         L"au-only" + all + L"#1:AU\nbu-only" + all + L"#1:BU\niu-only" + all + L"#1:IU\n" + everyoneToo + L"the-user" +
             all + L"#1:" + u +
             L"\nunlabelled" + all + L"#0:WD\n", L""},
        {{L"--writable-by", account, L"--elevated", L"--find", L"ba-"}, 0, L"ba-only" + all + L"#1:BA\n", L""},
        {{L"--writable-by", L"Users"}, 0, L"bu-only" + all + L"#1:BU\n" + everyoneToo + L"unlabelled" + all + L"#0:WD\n", L""},
        {{L"--writable-by-process", L"self"}, 0, processRows, L""},
        {{L"--writable-by-process", pid}, 0, processRows, L""},
        {{L"--writable-by-process", L"self", L"--integrity", L"low"}, 0, everyoneToo, L""},
        {{L"--writable-by-process", L"self", L"--integrity=S-1-16-4096", L"--find", L"label"}, 0,
         L"low-label" + all + L"#0:WD\n", L""},
        {{L"--writable-by-process", L"self", L"--restricted-to", L"AU"}, 0, L"au-only" + all + L"#1:AU\n", L""},
        {{L"--writable-by-process", L"self", L"--restricted-to", L"AU", L"--write-restricted", L"--find", L"label"}, 0,
         L"low-label" + cut + L"#0:WD\nunlabelled" + cut + L"#0:WD\n", L""},
        {{L"--writable-by", L"WD", L"--appcontainer", pkg, L"--find", L"package"}, 0, L"", L""},
        {{L"--writable-by", L"WD", L"--appcontainer", pkg, L"--capability", L"internetClient"}, 0,
         L"package" + all + L"#0:WD,#1:S-1-15-3-1\n", L""},
        {{L"--writable-by", L"WD", L"--elevated"}, 2, L"",
         L"--elevated はユーザーのアカウントの --writable-by に使います: --elevated" + hint},
        {{L"--writable-by", L"WD", L"--capability", L"internetClient"}, 2, L"",
         L"--capability は --appcontainer と一緒に使います: --capability" + hint},
        {{L"--writable-by", L"WD", L"--write-restricted"}, 2, L"",
         L"--write-restricted は --restricted-to と一緒に使います: --write-restricted" + hint},
        {{L"--integrity", L"low"}, 2, L"",
         L"--writable-by か --writable-by-process で主体を指定してください: --integrity, --restricted-to, --appcontainer ..." + hint},
        {{L"--writable-by", L"WD", L"--integrity", L"middle"}, 2, L"",
         L"整合性レベルは untrusted, low, medium, high, system か S-1-16-N です: middle" + hint},
        {{L"--explain", L"\\"}, 2, L"", L"--writable-by か --writable-by-process で主体を指定してください: --explain" + hint},
        {{L"--writable-by", L"WD", L"--explain"}, 2, L"", L"--explain には一つのオブジェクトのパスが要ります: --explain" + hint},
        {{L"--writable-by-process", L"NoSuchProgram"}, 2, L"", L"実行中のプロセスが見つかりません: NoSuchProgram" + hint},
        {{L"--writable-by", L"WD", L"--capability", L"notACapability"}, 2, L"", L"ケーパビリティではありません: notACapability" + hint},
        {{L"--writable-by", L"WD", L"--appcontainer", L"S-1-15-2-1"}, 2, L"", L"AppContainer のパッケージではありません: S-1-15-2-1" + hint},
        // The sandbox's lists repeat; its level and package are one each.
        {{L"--writable-by-process", L"self", L"--restricted-to", L"AU", L"--restricted-to", L"AU"}, 0,
         L"au-only" + all + L"#1:AU\n", L""},
        {{L"--writable-by", L"WD", L"--appcontainer", pkg, L"--capability", L"internetClient", L"--capability",
          L"internetClient"}, 0, L"package" + all + L"#0:WD,#1:S-1-15-3-1\n", L""},
        {{L"--writable-by", L"WD", L"--integrity", L"low", L"--integrity=high"}, 2, L"",
         L"一度だけ指定できるオプションです: --integrity" + hint},
        {{L"--writable-by", L"WD", L"--appcontainer", pkg, L"--appcontainer", pkg}, 2, L"",
         L"一度だけ指定できるオプションです: --appcontainer" + hint},
    };
    const std::wstring prefix = ns.Root() + L"\\";
    for (const auto& c : cases) {
        std::vector<std::wstring> arguments = c.arguments;
        if (c.code == 0)
            arguments.push_back(ns.Root());
        const DumpRun run = RunDump(arguments);
        CHECK(run.exitCode == c.code);
        std::wstring out = FromUtf8(run.out);
        for (size_t at; (at = out.find(prefix)) != std::wstring::npos;)
            out.erase(at, prefix.size());
        CHECK(out == c.out);
        CHECK(FromUtf8(run.err) == (c.code == 2 ? L"kagero-dump: " + c.err : c.err));
    }
    // JSON: each reason with its SID, account and mask, and with two subjects, whose it is.
    const std::vector<nlohmann::json> two =
        ParseLines(RunDump({L"--json", L"--writable-by", L"AU", L"--writable-by", L"WD", L"--find", L"au-", ns.Root()}).out);
    REQUIRE(two.size() == 1);
    CHECK(two[0]["writable"]["by"] == nlohmann::json::parse(
        R"([{"ace": 1, "sid": "S-1-5-11", "account": "NT AUTHORITY\\Authenticated Users", "mask": "0x000D0002", "subject": "AU"}])"));
    const std::vector<nlohmann::json> one = ParseLines(RunDump({L"--json", L"--writable-by", L"WD", ns.Path(L"unlabelled")}).out);
    REQUIRE(one.size() == 1);
    CHECK(one[0]["writable"]["by"] == nlohmann::json::parse(
        R"([{"ace": 0, "sid": "S-1-1-0", "account": "Everyone", "mask": "0x000D0002"}])"));
    // --explain: every right the subject gets, and the steps that gave them, per subject.
    const DumpRun explained = RunDump({L"--json", L"--explain", L"--writable-by", L"AU", L"--writable-by-process", L"self",
                                       L"--integrity", L"low", ns.Path(L"au-only")});
    const std::vector<nlohmann::json> steps = ParseLines(explained.out);
    REQUIRE(steps.size() == 2);
    CHECK(steps[0]["subject"] == "AU");
    CHECK(steps[0]["granted"] == "0x00120001");  // read control, query and wait: Low keeps no changing right
    CHECK(steps[1]["granted"] == "0x00120001");
    const DumpRun words = RunDump({L"--explain", L"--writable-by", L"AU", ns.Path(L"au-only")});
    CHECK(words.exitCode == 0);
    CHECK(FromUtf8(words.out).find(L"結果: 0x001F0003") != std::wstring::npos);
}

namespace {
NTSTATUS NTAPI QueryFails(HANDLE, ULONG, PVOID buffer, ULONG length, PULONG)
{
    memset(buffer, 0x5A, length);  // what a partial answer might leave
    return static_cast<NTSTATUS>(0xC0000022L);
}
}  // namespace

TEST_CASE("--details leaves out the fields of a query that failed, never zeros")
{
    const std::wstring tree = Fixture().Path(L"Tree");
    const struct { NativeQueryCall ObjectCalls::*call; const wchar_t* object; const char* line; } cases[] = {
        {&ObjectCalls::queryObject, L"\\beta", "beta\tEvent\teventType=synchronization\tsignaled=false\n"},
        {&ObjectCalls::queryEvent, L"\\beta", "beta\tEvent\thandles=2\treferences=3\n"},
        {&ObjectCalls::queryMutant, L"\\Gamma", "Gamma\tMutant\thandles=2\treferences=3\n"},
        {&ObjectCalls::querySemaphore, L"\\zz-last", "zz-last\tSemaphore\thandles=2\treferences=3\n"},
    };
    for (const auto& c : cases) {
        CAPTURE(&c - cases);
        ObjectCalls failing = ActiveObjectCalls();
        failing.*c.call = QueryFails;
        std::wstring arguments[] = {L"kagero-dump", L"--details", tree + c.object};
        wchar_t* argv[] = {&arguments[0][0], &arguments[1][0], &arguments[2][0]};
        SetObjectCalls(&failing);
        const DumpRun run = Capture([&](HANDLE out, HANDLE err) { return long(RunDumpProgram(3, argv, out, err)); });
        SetObjectCalls(nullptr);
        const std::string prefix = std::string(tree.begin(), tree.end()) + "\\";
        CHECK(run.out.substr(run.out.find(prefix) == 0 ? prefix.size() : 0) == c.line);
    }
}

namespace {

// A file of the test's own in the build's folder, its path as the dump is given it.
std::wstring SaveFile(const std::string& name, const std::string& bytes)
{
    const std::string path = std::string(KAGERO_DUMP_EXE).substr(0, std::string(KAGERO_DUMP_EXE).rfind('/') + 1) + name;
    HANDLE file = CreateFileW((L"Z:" + FromUtf8(path)).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    REQUIRE((file != INVALID_HANDLE_VALUE && WriteFile(file, bytes.data(), DWORD(bytes.size()), &written, nullptr)));
    CloseHandle(file);
    return L"Z:" + FromUtf8(path);
}

std::string Utf8(const std::wstring& text)
{
    std::string bytes(text.size() * 3, '\0');
    bytes.resize(size_t(WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), &bytes[0], int(bytes.size()), nullptr, nullptr)));
    return bytes;
}

}  // namespace

TEST_CASE("--find-from: names as programs write them, whole and caseless, wildcards, paths, devices, comments; "
          "win32Name in each named-objects directory; a bad line and standard input")
{
    const std::wstring tag = L"kagero-ff-" + std::to_wstring(GetCurrentProcessId());
    DWORD session = 0;
    ProcessIdToSessionId(GetCurrentProcessId(), &session);
    const std::wstring local = L"\\Sessions\\" + std::to_wstring(session) + L"\\BaseNamedObjects\\";
    TestNamespace ns;
    REQUIRE(ns.Build({{Kind::Directory, L"Hunt"}, {Kind::Event, L"Hunt\\" + tag + L"-g"},
                      {Kind::Event, L"Hunt\\" + tag + L"-l"}, {Kind::Event, L"Hunt\\" + tag + L"-bare"},
                      {Kind::Event, L"Hunt\\" + tag + L"-wild1"}, {Kind::Event, L"Hunt\\" + tag + L"-path"}}) == 0);
    std::vector<HANDLE> events;
    for (const wchar_t* name : {L"Global\\%s-g", L"Local\\%s-l", L"Local\\%s-bare", L"Global\\%s-wild2"}) {
        wchar_t full[128];
        wsprintfW(full, name, tag.c_str());
        events.push_back(CreateEventW(nullptr, TRUE, FALSE, full));
        REQUIRE(events.back());
    }
    const std::string t = Utf8(tag);
    const std::wstring list = SaveFile("hunt-list.txt", "\xEF\xBB\xBFGLOBAL\\" + t + "-G\r\n# from C:\\cases\r\n\r\n   \nLocal\\" + t + "-l\n" + t + "-bare\n" + t +
                                                             "-WILD?\n" + Utf8(ns.Path(L"Hunt\\")) + t +
                                                             "-path\n\\\\.\\NUL\nSession\\" + std::to_string(session) +
                                                             "\\" + t + "-l");
    // Over the whole namespace, where other tests' refused directories fail on their own.
    const DumpRun run = RunDump({L"--json", L"--find-from", list, L"\\"});
    std::vector<std::wstring> seen;
    for (const auto& entry : ParseLines(run.out))
        if (!entry.contains("error"))
            seen.push_back(Text(entry, "path") + L"|" + Text(entry, "matched") + L"|" + Text(entry, "win32Name"));
    const std::wstring bno = L"\\BaseNamedObjects\\";
    std::vector<std::wstring> expected = {
        L"\\??\\NUL|\\\\.\\NUL|\\\\.\\NUL",
        bno + tag + L"-g|GLOBAL\\" + tag + L"-G|Global\\" + tag + L"-g",
        bno + tag + L"-wild2|" + tag + L"-WILD?|Global\\" + tag + L"-wild2",
        ns.Path(L"Hunt\\") + tag + L"-bare|" + tag + L"-bare|",
        ns.Path(L"Hunt\\") + tag + L"-path|" + ns.Path(L"Hunt\\") + tag + L"-path|",
        ns.Path(L"Hunt\\") + tag + L"-wild1|" + tag + L"-WILD?|",
        local + tag + L"-bare|" + tag + L"-bare|Session\\" + std::to_wstring(session) + L"\\" + tag + L"-bare",
        local + tag + L"-l|Local\\" + tag + L"-l|Session\\" + std::to_wstring(session) + L"\\" + tag + L"-l"};
    std::sort(seen.begin(), seen.end());
    std::sort(expected.begin(), expected.end());
    CHECK(seen == expected);

    // Text lines are the dump's own; a bad line stops the run before any.
    const std::wstring bad = SaveFile("bad-list.txt", "# fine\nGlobal\\fine\nSession\\x\\y\n");
    const DumpRun refused = RunDump({L"--find-from", list, L"--find-from", bad, L"\\"});
    CHECK(refused.exitCode == 2);
    CHECK(refused.out.empty());
    CHECK(FromUtf8(refused.err) == L"kagero-dump: " + bad + L":3: 名前になりません: Session\\x\\y (使い方: kagero-dump --help)\n");
    for (const std::string& line : {std::string("Global\\"), std::string("a\0b", 3), std::string("\xFF")})
        CHECK(RunDump({L"--find-from", SaveFile("bad-list.txt", line), L"\\"}).exitCode == 2);
    CHECK(RunDump({L"--find-from", L"Z:\\no\\such\\list", L"\\"}).err.find(u8"名前の一覧を読めません") != std::string::npos);

    // Standard input, and --type beside the list.
    HANDLE in[2];
    REQUIRE(CreatePipe(&in[0], &in[1], nullptr, 4096));
    const std::string piped = t + "-bare\n";
    DWORD written = 0;
    WriteFile(in[1], piped.data(), DWORD(piped.size()), &written, nullptr);
    CloseHandle(in[1]);
    const HANDLE saved = GetStdHandle(STD_INPUT_HANDLE);
    SetStdHandle(STD_INPUT_HANDLE, in[0]);
    const std::wstring path = ns.Path(L"Hunt");
    wchar_t* argv[] = {const_cast<wchar_t*>(L"kagero-dump"), const_cast<wchar_t*>(L"--find-from"),
                       const_cast<wchar_t*>(L"-"), const_cast<wchar_t*>(L"--type"), const_cast<wchar_t*>(L"Event"),
                       const_cast<wchar_t*>(path.c_str())};
    const DumpRun fromInput = Capture([&](HANDLE out, HANDLE err) { return long(RunDumpProgram(6, argv, out, err)); });
    SetStdHandle(STD_INPUT_HANDLE, saved);
    CloseHandle(in[0]);
    CHECK(FromUtf8(fromInput.out) == path + L"\\" + tag + L"-bare\tEvent\n");
    for (HANDLE event : events)
        CloseHandle(event);
}

TEST_CASE("--compare: created, deleted and changed (a DACL, a link's target, a type) against the namespace and "
          "offline with --against; a baseline's unlisted directory is unknown; baselines refused with words")
{
    TestNamespace ns;
    REQUIRE(ns.Build({{Kind::Sddl, L"O:BAD:(A;;GA;;;WD)"}, {Kind::Directory, L"Cmp"}, {Kind::Event, L"Cmp\\gone"},
                      {Kind::Event, L"Cmp\\keep"}, {Kind::Event, L"Cmp\\redacl"},
                      {Kind::SymbolicLink, L"Cmp\\moved", 0, 0, L"\\A"}, {Kind::Event, L"Cmp\\turned"},
                      {Kind::Directory, L"Cmp\\Deep"}}) == 0);
    const std::wstring root = ns.Path(L"Cmp");
    const DumpRun before = RunDump({L"--json", L"--security", root});
    REQUIRE(before.exitCode == 0);
    const std::wstring baseline = SaveFile("baseline.jsonl", before.out);

    ns.Remove(L"Cmp\\gone");
    ns.Remove(L"Cmp\\moved");
    ns.Remove(L"Cmp\\turned");
    REQUIRE(ns.Build({{Kind::Sddl, L"O:BAD:(A;;GA;;;WD)"}, {Kind::Event, L"Cmp\\new"},
                      {Kind::SymbolicLink, L"Cmp\\moved", 0, 0, L"\\B"}, {Kind::Mutant, L"Cmp\\turned"},
                      {Kind::Event, L"Cmp\\Deep\\inside"}}) == 0);
    PSECURITY_DESCRIPTOR weaker = nullptr;
    REQUIRE(ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:(A;;GA;;;WD)(A;;GA;;;BU)", SDDL_REVISION_1, &weaker, nullptr));
    REQUIRE(SetKernelObjectSecurity(ns.Handle(L"Cmp\\redacl"), DACL_SECURITY_INFORMATION, weaker));
    LocalFree(weaker);

    const std::wstring sddl = L"O:BAG:S-1-5-21-0-0-0-513D:(A;;GA;;;WD)";
    const DumpRun text = RunDump({L"--compare", baseline, L"--security", root});
    CHECK(text.exitCode == 0);
    CHECK(FromUtf8(text.out) ==
          L"+ " + root + L"\\Deep\\inside\tEvent\towner=BUILTIN\\Administrators\tsddl=" + sddl + L"\n"
          L"- " + root + L"\\gone\tEvent\towner=BUILTIN\\Administrators\tsddl=" + sddl + L"\n"
          L"~ " + root + L"\\moved\ttarget: \\A -> \\B\n"
          L"+ " + root + L"\\new\tEvent\towner=BUILTIN\\Administrators\tsddl=" + sddl + L"\n"
          L"~ " + root + L"\\redacl\tsddl: " + sddl + L" -> O:BAG:S-1-5-21-0-0-0-513D:(A;;GA;;;WD)(A;;GA;;;BU)\n"
          L"- " + root + L"\\turned\tEvent\towner=BUILTIN\\Administrators\tsddl=" + sddl + L"\n"
          L"+ " + root + L"\\turned\tMutant\towner=BUILTIN\\Administrators\tsddl=" + sddl + L"\n");

    // JSON now and offline give the same records.
    const DumpRun json = RunDump({L"--compare", baseline, L"--security", L"--json", root});
    const std::wstring now = SaveFile("now.jsonl", RunDump({L"--json", L"--security", root}).out);
    const DumpRun offline = RunDump({L"--compare", baseline, L"--against", now, L"--security", L"--json", root});
    CHECK(offline.out == json.out);
    std::vector<std::string> events;
    for (const auto& record : ParseLines(json.out))
        events.push_back(record.value("event", "") + " " + Utf8(Text(record, "name")) + " " + record.value("type", "") +
                         (record.contains("was") ? " was " + record["was"].dump() : ""));
    CHECK(events == std::vector<std::string>{"created inside Event", "deleted gone Event",
                                             "changed moved SymbolicLink was {\"target\":\"\\\\A\"}", "created new Event",
                                             "changed redacl Event was {\"sddl\":\"" + Utf8(sddl) + "\"}",
                                             "deleted turned Event", "created turned Mutant"});

    // The filters choose on both sides: the entries of other types or deeper are left out, not deleted.
    const std::wstring turned = L"+ " + root + L"\\turned\tMutant\towner=BUILTIN\\Administrators\tsddl=" + sddl + L"\n";
    CHECK(FromUtf8(RunDump({L"--compare", baseline, L"--security", L"--type", L"mutant", root}).out) == turned);
    CHECK(FromUtf8(RunDump({L"--compare", baseline, L"--against", now, L"--security", L"--depth", L"0", L"--find", L"T", root}).out) ==
          L"- " + root +
              L"\\turned\tEvent\towner=BUILTIN\\Administrators\tsddl=" + sddl + L"\n" + turned);

    // A directory the baseline could not list: its entries are neither created nor deleted, said once.
    const std::string unlisted = before.out + "{\"path\": " + nlohmann::json(Utf8(root + L"\\Deep")).dump() +
                                 ", \"error\": \"refused\"}\n";
    const DumpRun partial = RunDump({L"--compare", SaveFile("partial.jsonl", unlisted), L"--security", root});
    CHECK(FromUtf8(partial.out).find(L"inside") == std::wstring::npos);
    CHECK(FromUtf8(partial.err).find(L"一覧できなかったディレクトリが 1 個あります") != std::wstring::npos);

    // Baselines refused: not a dump (its line named), unreadable, made with other options either way.
    const struct { std::string bytes; std::vector<std::wstring> options; std::wstring err; } bad[] = {
        {before.out + "not json\n", {L"--security"}, L", 7 行目: not json"},
        {"{\"event\": \"created\", \"path\": \"\\\\X\", \"name\": \"X\", \"type\": \"Event\"}\n", {}, L", 1 行目: "},
        {before.out, {}, L"(今はないもの: --security)"},
        {before.out, {L"--security", L"--holders"}, L"(比べる元にないもの: --holders)"}};
    for (const auto& c : bad) {
        CAPTURE(Utf8(c.err));
        std::vector<std::wstring> arguments = {L"--compare", SaveFile("bad.jsonl", c.bytes)};
        arguments.insert(arguments.end(), c.options.begin(), c.options.end());
        arguments.push_back(root);
        const DumpRun run = RunDump(arguments);
        CHECK(run.exitCode == 2);
        CHECK(run.out.empty());
        CHECK(FromUtf8(run.err).find(c.err) != std::wstring::npos);
    }
    CHECK(RunDump({L"--compare", L"Z:\\no\\such.jsonl", root}).exitCode == 2);
    CHECK(RunDump({L"--against", baseline, root}).exitCode == 2);
}
