// The encoder in-process, and the built kagero-dump.exe run as a child
// process over a namespace made here, its JSON parsed with nlohmann::json.
#include <doctest.h>

#include <windows.h>

#include <nlohmann/json.hpp>

#include <map>
#include <regex>
#include <string>
#include <vector>

#include "KernelObjects.h"
#include "TextEncoding.h"

namespace {

struct DumpRun { long exitCode; std::string out, err; };  // exit code -1: it did not end in time

std::wstring FromUtf8(const std::string& text)
{
    const int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), int(text.size()), nullptr, 0);
    CHECK_MESSAGE((length > 0 || text.empty()), "not valid UTF-8: " << text);
    std::wstring wide(size_t(length > 0 ? length : 0), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), &wide[0], length);
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

// Runs the dump with its output and errors on pipes; a reader that takes
// only outBytes bytes goes away after them.
DumpRun RunDump(const std::vector<std::wstring>& arguments, size_t outBytes = size_t(-1))
{
    // Quoted as the child's runtime splits it: backslashes double only before a quote.
    std::wstring line = L"kagero-dump";
    for (const std::wstring& argument : arguments) {
        line += L" \"";
        size_t slashes = 0;
        for (wchar_t c : argument) {
            line.append(c == L'"' ? slashes + 1 : 0, L'\\');
            slashes = c == L'\\' ? slashes + 1 : 0;
            line += c;
        }
        line.append(slashes, L'\\') += L'"';
    }
    wchar_t program[MAX_PATH] = L"Z:";  // drive Z: is the Unix root to Wine
    MultiByteToWideChar(CP_UTF8, 0, KAGERO_DUMP_EXE, -1, program + 2, MAX_PATH - 2);
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    HANDLE out[2], err[2];  // reading and writing ends; only the writing ends are inherited
    REQUIRE((CreatePipe(&out[0], &out[1], &inherit, 4096) && CreatePipe(&err[0], &err[1], &inherit, 65536)));
    SetHandleInformation(out[0], HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(err[0], HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = out[1];
    startup.hStdError = err[1];
    PROCESS_INFORMATION process = {};
    REQUIRE(CreateProcessW(program, &line[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr, &startup,
                           &process));
    CloseHandle(out[1]);  // the child holds the only writing ends now
    CloseHandle(err[1]);
    DumpRun run = {-1, ReadPipe(out[0], outBytes), ReadPipe(err[0])};
    DWORD code = DWORD(-1);
    if (WaitForSingleObject(process.hProcess, 120000) == WAIT_OBJECT_0)
        GetExitCodeProcess(process.hProcess, &code);
    TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    run.exitCode = long(code);
    return run;
}

// nlohmann::json refuses the escape of an unpaired surrogate, yet it is the one exact JSON form of such a name.
// The dump writes pairs as UTF-8, and no name here has a backslash before "ud8": each such escape becomes
// \u0000 and its digits, which Text() turns back into the unit.
std::vector<nlohmann::json> ParseLines(const std::string& out)
{
    std::vector<nlohmann::json> entries;
    for (size_t start = 0, end; (end = out.find('\n', start)) != std::string::npos; start = end + 1) {
        const std::string line = out.substr(start, end - start);
        entries.push_back(nlohmann::json::parse(
            std::regex_replace(line, std::regex(R"(\\u(d[89a-f][0-9a-f]{2}))"), "\\u0000$1"), nullptr, false));
        CHECK_MESSAGE(entries.back().is_object(), line);
    }
    return entries;
}

std::wstring Text(const nlohmann::json& entry, const char* key)
{
    if (!entry.is_object() || !entry.contains(key))
        return L"";
    std::wstring text = FromUtf8(entry[key].get<std::string>());
    for (size_t at; (at = text.find(L'\0')) != std::wstring::npos;)
        text.replace(at, 5, 1, wchar_t(std::stoul(text.substr(at + 1, 4), nullptr, 16)));
    return text;
}

// Names a careless program mangles, and plain ones whose case-blind order is easy to get wrong.
const std::wstring OddNames[] = {
    L"100%d%s%n", L"quote\"mark", L"tab\there", L"line\nbreak\r", L"ctl\x01\x1F\x7F", L"日本語の名前",
    L"lone\xD800high", L"\xDC00lone-low", L"reversed\xDC00\xD800", L"pair\xD83D\xDE00",
    L"punct !#$&'()*+,-./:;<=>?@[]^_`{|}~", L"long-" + std::wstring(2995, L'x'), L"n10", L"N9", L"n1a", L"9Z",
};

// The thread ends owning the mutant: it is abandoned.
DWORD WINAPI MakeAbandonedMutant(void* ns) { return static_cast<TestNamespace*>(ns)->Mutant(L"Tree\\Gone", true) < 0; }

const TestNamespace& Fixture()
{
    static TestNamespace ns;
    static int failed = -1;
    if (failed < 0) {
        failed = ns.Build({{Kind::Directory, L"Tree"}, {Kind::Directory, L"Tree\\Alpha"},
                           {Kind::Directory, L"Tree\\Alpha\\Deep"}, {Kind::Semaphore, L"Tree\\Alpha\\Deep\\leaf", 3, 10},
                           {Kind::Event, L"Tree\\Alpha\\inner", true, true}, {Kind::Event, L"Tree\\beta"},
                           {Kind::Mutant, L"Tree\\Gamma", true}, {Kind::Directory, L"Tree\\Refused"},
                           {Kind::Event, L"Tree\\Refused\\hidden"}, {Kind::Refuse, L"Tree\\Refused"},
                           {Kind::SymbolicLink, L"Tree\\Sealed", 0, 0, L"\\Nowhere"}, {Kind::Refuse, L"Tree\\Sealed"},
                           {Kind::Semaphore, L"Tree\\zz-last", 1, 5}, {Kind::Directory, L"Names"},
                           {Kind::SymbolicLink, L"Tree\\Link", 0, 0, ns.Path(L"Tree\\Alpha")}});
        HANDLE thread = CreateThread(nullptr, 0, MakeAbandonedMutant, &ns, 0, nullptr);
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
        for (const std::wstring& name : OddNames)
            failed += ns.Event(L"Names\\" + name) < 0;
    }
    REQUIRE(failed == 0);
    return ns;
}

}  // namespace

TEST_CASE("the whole namespace as JSON with --details: every line parses, each entry once, exact, in the window's order")
{
    const std::wstring root = Fixture().Root();
    const DumpRun run = RunDump({L"--json", L"--details"});
    CHECK(run.exitCode == 1);  // the refused directory
    CHECK(FromUtf8(run.err) == L"kagero-dump: " + root + L"\\Tree\\Refused: アクセスが拒否されました。\n");
    std::map<std::wstring, nlohmann::json> found, expected = {  // the test holds one handle, the dump opens one more
        {L"Tree", R"({"type": "Directory", "handles": 2})"_json},
        {L"Tree\\Alpha", R"({"type": "Directory", "handles": 2})"_json},
        {L"Tree\\Alpha\\Deep", R"({"type": "Directory", "handles": 2})"_json},
        {L"Tree\\Alpha\\Deep\\leaf", R"({"type": "Semaphore", "handles": 2, "current": 3, "maximum": 10})"_json},
        {L"Tree\\Alpha\\inner", R"({"type": "Event", "handles": 2, "eventType": "notification", "signaled": true})"_json},
        {L"Tree\\beta", R"({"type": "Event", "handles": 2, "eventType": "synchronization", "signaled": false})"_json},
        {L"Tree\\Gamma", R"({"type": "Mutant", "handles": 2, "owned": true, "abandoned": false})"_json},
        {L"Tree\\Gone", R"({"type": "Mutant", "handles": 2, "owned": false, "abandoned": true})"_json},
        {L"Tree\\Link", R"({"type": "SymbolicLink", "handles": 2, "target": "\\Tree\\Alpha"})"_json},
        {L"Tree\\Refused", R"({"type": "Directory", "openError": "アクセスは拒否されました。"})"_json},
        {L"Tree\\Refused!", R"({"error": "アクセスが拒否されました。"})"_json},
        {L"Tree\\Sealed", R"({"type": "SymbolicLink", "openError": "アクセスは拒否されました。"})"_json},
        {L"Tree\\zz-last", R"({"type": "Semaphore", "handles": 2, "current": 1, "maximum": 5})"_json},
        {L"Names", R"({"type": "Directory", "handles": 2})"_json}};
    for (const std::wstring& name : OddNames)
        expected[L"Names\\" + name] = R"({"type": "Event", "handles": 2, "eventType": "synchronization", "signaled": false})"_json;
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
        CHECK(entry.value("references", 2L) >= entry.value("handles", 0L));
        if (entry.contains("target"))  // the root's path is not a fixed text
            entry["target"] = entry["target"].get<std::string>().substr(root.size());
        for (const char* key : {"path", "name", "references"})
            entry.erase(key);
        found[key] = entry;
    }
    CHECK(found == expected);
}

TEST_CASE("text lines: depth first, sorted without regard to case, links with targets, UTF-8, on past a refusal")
{
    const std::wstring t = Fixture().Path(L"Tree");
    const DumpRun run = RunDump({t});
    CHECK(run.exitCode == 1);
    CHECK(FromUtf8(run.out) == t + L"\\Alpha\tDirectory\n" + t + L"\\Alpha\\Deep\tDirectory\n" + t +
                                   L"\\Alpha\\Deep\\leaf\tSemaphore\n" + t + L"\\Alpha\\inner\tEvent\n" + t +
                                   L"\\beta\tEvent\n" + t + L"\\Gamma\tMutant\n" + t + L"\\Gone\tMutant\n" + t +
                                   L"\\Link\tSymbolicLink\t-> " + t + L"\\Alpha\n" + t + L"\\Refused\tDirectory\n" + t +
                                   L"\\Sealed\tSymbolicLink\topenError=アクセスは拒否されました。\n" + t +
                                   L"\\zz-last\tSemaphore\n");
    CHECK(FromUtf8(run.err) == L"kagero-dump: " + t + L"\\Refused: アクセスが拒否されました。\n");
}

TEST_CASE("filters and the depth limit select exactly the right entries; the walk still descends everywhere")
{
    const struct {
        std::vector<std::wstring> options;
        const wchar_t* under;
        std::vector<std::wstring> expected;
        long exitCode;
    } cases[] = {
        {{L"--find", L"A"}, L"Tree", {L"Alpha", L"Alpha\\Deep\\leaf", L"beta", L"Gamma", L"Sealed", L"zz-last"}, 1},
        {{L"--find", L"日本"}, L"Names", {L"日本語の名前"}, 0},
        {{L"--find", L"\""}, L"Names", {L"quote\"mark"}, 0},
        {{L"--type", L"semaphore", L"--type", L"MUTANT"}, L"Tree", {L"Alpha\\Deep\\leaf", L"Gamma", L"Gone", L"zz-last"}, 1},
        {{L"--depth", L"0"}, L"Tree", {L"Alpha", L"beta", L"Gamma", L"Gone", L"Link", L"Refused", L"Sealed", L"zz-last"}, 0},
        {{L"--depth", L"1", L"--find", L"e", L"--type", L"Directory"}, L"", {L"Names", L"Tree", L"Tree\\Refused"}, 0},
    };
    for (const auto& c : cases) {
        CAPTURE(&c - cases);
        const std::wstring base = Fixture().Path(c.under);
        std::vector<std::wstring> arguments = c.options;
        arguments.insert(arguments.end(), {L"--json", base});
        const DumpRun run = RunDump(arguments);
        CHECK(run.exitCode == c.exitCode);
        std::vector<std::wstring> paths;  // failures left out
        for (const nlohmann::json& entry : ParseLines(run.out))
            if (entry.contains("name"))
                paths.push_back(Text(entry, "path").substr(base.size() + 1));
        CHECK(paths == c.expected);
    }
}

TEST_CASE("exit codes: 2 for bad command lines, 1 for bad paths and a reader that goes away, each with its one line")
{
    const std::wstring tree = Fixture().Path(L"Tree"), hint = L" (使い方: kagero-dump --help)\n";
    // err: after "kagero-dump: "
    const struct { std::vector<std::wstring> arguments; long exitCode; std::wstring err; const char* out; } cases[] = {
        {{L"--bogus"}, 2, L"不明なオプションです: --bogus" + hint, ""},
        {{L"--json", L"--find"}, 2, L"値がありません: --find" + hint, ""},
        {{L"--depth", L"-1"}, 2, L"--depth には 0 以上の整数を指定してください: -1" + hint, ""},
        {{tree, L"\\Device"}, 2, L"パスは一つだけ指定できます: \\Device" + hint, ""},
        {{tree + L"\\Missing"}, 1, tree + L"\\Missing: オブジェクトが見つかりません。\n", ""},
        {{L"--json", tree + L"\\beta"}, 1, tree + L"\\beta: このオブジェクトの情報は取得できません。\n", ""},
        {{L"--json", L"--version"}, 0, L"", "kagero-dump 1.10.158.1\n"},
        {{L"--help", L"--bogus"}, 0, L"", u8"使い方: kagero-dump [オプション] [パス]\n"},
    };
    for (const auto& c : cases) {
        CAPTURE(&c - cases);
        const DumpRun run = RunDump(c.arguments);
        CHECK(run.exitCode == c.exitCode);
        CHECK(FromUtf8(run.err) == (c.err.empty() ? L"" : L"kagero-dump: " + c.err));
        CHECK(run.out.substr(0, std::string(c.out).size()) == c.out);
        CHECK(run.out.empty() == !*c.out);
    }
    // About 50 KB of lines, none of them a failure, against a 4 KB pipe.
    TestNamespace ns;
    for (int i = 0; i < 200; ++i)
        ns.Event(std::to_wstring(i) + std::wstring(200, L'e'));
    for (size_t readBytes : {0, 5000}) {
        const DumpRun run = RunDump({ns.Root()}, readBytes);
        CHECK(run.exitCode == 1);
        CHECK(run.err.empty());
    }
}

TEST_CASE("text encoding: JSON escapes and display text for every kind of UTF-16 unit")
{
    const struct { std::wstring text; const char *json, *display; } cases[] = {
        {L"\t\n\r\b\f", "\\t\\n\\r\\b\\f", u8"␉␊␍␈␌"},
        {std::wstring(L"\x01\x1F\x7F\0", 4), "\\u0001\\u001f\\u007f\\u0000", u8"␁␟␡␀"},
        {L"\x80\x7FF\x800\xFFFF", "\xC2\x80\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF", "\xC2\x80\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF"},
        {L"\xD83D\xDE00\xDBFF\xDFFF", "\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF", "\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF"},
        // Unpaired surrogates: inside, at the end, a high before a pair, a low before a high.
        {L"a\xD800z", "a\\ud800z", u8"a\uFFFDz"}, {L"x\xDBFF", "x\\udbff", u8"x\uFFFD"},
        {L"\xD800\xD800\xDC00", "\\ud800\xF0\x90\x80\x80", u8"\uFFFD\xF0\x90\x80\x80"},
        {L"\xDC00\xD800", "\\udc00\\ud800", u8"\uFFFD\uFFFD"},
    };
    for (const auto& c : cases) {
        CAPTURE(c.json);
        for (TextForm form : {TextForm::Json, TextForm::Display}) {
            ByteBuffer out;
            out.Append("<");
            AppendText(out, c.text.data(), c.text.size(), form);
            CHECK(std::string(out.Data(), out.Size()) == std::string("<") + (form == TextForm::Json ? c.json : c.display));
        }
    }
}
