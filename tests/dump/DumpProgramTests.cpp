// The built kagero-dump.exe run as a child process over a namespace made
// here, its output parsed with nlohmann::json.
#include <doctest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "DumpRunner.h"
#include "KernelObjects.h"

namespace {

// Names the kernel accepts and a careless program mangles.
const std::wstring OddNames[] = {
    L"100%d%s%n",
    L"quote\"mark",
    L"tab\there",
    L"line\nbreak\r",
    L"ctl\x01\x1F\x7F",
    L"日本語の名前",
    L"lone\xD800high",
    L"\xDC00lone-low",
    L"reversed\xDC00\xD800",
    L"pair\xD83D\xDE00",
    L"punct !#$&'()*+,-./:;<=>?@[]^_`{|}~",
    L"long-" + std::wstring(2995, L'x'),
};

struct Expected {
    std::wstring relative;
    const wchar_t* type;
};

// Everything the dump must find below the fixture's root, and nothing more.
const Expected TreeEntries[] = {
    {L"Tree", L"Directory"},
    {L"Tree\\Alpha", L"Directory"},
    {L"Tree\\Alpha\\Deep", L"Directory"},
    {L"Tree\\Alpha\\Deep\\leaf", L"Semaphore"},
    {L"Tree\\Alpha\\inner", L"Event"},
    {L"Tree\\beta", L"Event"},
    {L"Tree\\Gamma", L"Mutant"},
    {L"Tree\\Gone", L"Mutant"},
    {L"Tree\\Link", L"SymbolicLink"},
    {L"Tree\\Refused", L"Directory"},
    {L"Tree\\Sealed", L"SymbolicLink"},
    {L"Tree\\zz-last", L"Semaphore"},
    {L"Names", L"Directory"},
};

DWORD WINAPI MakeAbandonedMutant(void* ns)
{
    // Owned by this thread, which ends without releasing it.
    static_cast<TestNamespace*>(ns)->Mutant(L"Tree\\Gone", true);
    return 0;
}

class DumpFixture {
public:
    DumpFixture()
    {
        ns.Directory(L"Tree");
        ns.Directory(L"Tree\\Alpha");
        ns.Directory(L"Tree\\Alpha\\Deep");
        ns.Semaphore(L"Tree\\Alpha\\Deep\\leaf", 3, 10);
        ns.Event(L"Tree\\Alpha\\inner", true, true);
        ns.Event(L"Tree\\beta", false, false);
        ns.Mutant(L"Tree\\Gamma", true);
        HANDLE thread = CreateThread(nullptr, 0, MakeAbandonedMutant, &ns, 0, nullptr);
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
        ns.SymbolicLink(L"Tree\\Link", ns.Path(L"Tree\\Alpha"));
        ns.Directory(L"Tree\\Refused");
        ns.Event(L"Tree\\Refused\\hidden");
        ns.Refuse(L"Tree\\Refused");
        ns.SymbolicLink(L"Tree\\Sealed", L"\\Nowhere");
        ns.Refuse(L"Tree\\Sealed");
        ns.Semaphore(L"Tree\\zz-last", 1, 5);
        ns.Directory(L"Names");
        for (const std::wstring& name : OddNames)
            created += ns.Event(L"Names\\" + name) >= 0;
    }
    std::wstring Path(const std::wstring& relative) const { return ns.Path(relative); }

    TestNamespace ns;
    size_t created = 0;
};

const DumpFixture& Fixture()
{
    static DumpFixture fixture;
    return fixture;
}

std::string Utf8(const std::wstring& text)
{
    const int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                           nullptr, nullptr);
    std::string bytes(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &bytes[0], length, nullptr, nullptr);
    return bytes;
}

std::wstring ParentOf(const std::wstring& path)
{
    const size_t last = path.rfind(L'\\');
    return last == 0 ? L"\\" : path.substr(0, last);
}

std::vector<JsonEntry> ParseAll(const DumpRun& run)
{
    std::vector<JsonEntry> entries;
    for (const std::string& line : Lines(run.out)) {
        entries.push_back(ParseJsonLine(line));
        CHECK_MESSAGE(entries.back().parsed, line);
    }
    return entries;
}

// The paths of the JSON entries (not failures), relative to base.
std::vector<std::wstring> RelativePaths(const DumpRun& run, const std::wstring& base)
{
    std::vector<std::wstring> paths;
    for (const JsonEntry& entry : ParseAll(run))
        if (entry.Has("name"))
            paths.push_back(entry.Text("path").substr(base.size() + 1));
    return paths;
}

// Depth first: every entry's directory is the last directory written on the
// way down to it (or the dump's own path).
void CheckDepthFirst(const std::vector<JsonEntry>& entries, const std::wstring& top)
{
    std::vector<std::wstring> open{top};
    for (const JsonEntry& entry : entries) {
        if (!entry.Has("name"))
            continue;
        const std::wstring path = entry.Text("path");
        while (!open.empty() && open.back() != ParentOf(path))
            open.pop_back();
        CHECK_MESSAGE(!open.empty(), Utf8(path));
        if (open.empty())
            return;
        if (entry.Text("type") == L"Directory")
            open.push_back(path);
    }
}

// The window's name order: lstrcmpiW, never the reverse within a directory.
void CheckNameOrder(const std::vector<JsonEntry>& entries)
{
    std::map<std::wstring, std::wstring> lastInDirectory;
    for (const JsonEntry& entry : entries) {
        if (!entry.Has("name"))
            continue;
        const std::wstring name = entry.Text("name");
        std::wstring& last = lastInDirectory[ParentOf(entry.Text("path"))];
        CHECK_MESSAGE(lstrcmpiW(last.c_str(), name.c_str()) <= 0, Utf8(name));
        last = name;
    }
}

}  // namespace

TEST_CASE("the whole namespace as JSON: every line parses, the fixture appears once each with exact names")
{
    const DumpFixture& fixture = Fixture();
    REQUIRE(fixture.created == sizeof(OddNames) / sizeof(OddNames[0]));
    const DumpRun run = RunDump({L"--json"});
    CHECK(run.exitCode == 1);  // the refused directory
    const std::vector<JsonEntry> entries = ParseAll(run);
    CHECK(entries.size() > 100);  // Wine's own namespace is there too
    CheckDepthFirst(entries, L"\\");
    CheckNameOrder(entries);

    const std::wstring root = fixture.Path(L"");
    std::map<std::wstring, std::wstring> found;  // relative path -> type
    std::vector<std::wstring> failures;
    for (const JsonEntry& entry : entries) {
        const std::wstring path = entry.Text("path");
        if (path.compare(0, root.size() + 1, root + L"\\") != 0)
            continue;
        const std::wstring relative = path.substr(root.size() + 1);
        if (entry.Has("error")) {
            failures.push_back(relative + L": " + entry.Text("error"));
            continue;
        }
        CHECK_MESSAGE(found.count(relative) == 0, Utf8(relative));
        found[relative] = entry.Text("type");
        CHECK(entry.Text("name") == relative.substr(relative.rfind(L'\\') + 1));
        if (relative == L"Tree\\Link")
            CHECK(entry.Text("target") == root + L"\\Tree\\Alpha");
        else
            CHECK_FALSE(entry.Has("target"));
    }
    std::map<std::wstring, std::wstring> expected;
    for (const Expected& e : TreeEntries)
        expected[e.relative] = e.type;
    for (const std::wstring& name : OddNames)
        expected[L"Names\\" + name] = L"Event";
    CHECK(found == expected);
    CHECK(failures == std::vector<std::wstring>{L"Tree\\Refused: アクセスが拒否されました。"});
    CHECK(run.err == Utf8(L"kagero-dump: " + root + L"\\Tree\\Refused: アクセスが拒否されました。\n"));
}

TEST_CASE("text lines: sorted without regard to case, links with targets, the walk going on past a refused directory")
{
    const std::wstring tree = Fixture().Path(L"Tree");
    const DumpRun run = RunDump({tree});
    CHECK(run.exitCode == 1);
    const std::wstring expected = tree + L"\\Alpha\tDirectory\n" +
                                  tree + L"\\Alpha\\Deep\tDirectory\n" +
                                  tree + L"\\Alpha\\Deep\\leaf\tSemaphore\n" +
                                  tree + L"\\Alpha\\inner\tEvent\n" +
                                  tree + L"\\beta\tEvent\n" +
                                  tree + L"\\Gamma\tMutant\n" +
                                  tree + L"\\Gone\tMutant\n" +
                                  tree + L"\\Link\tSymbolicLink\t-> " + tree + L"\\Alpha\n" +
                                  tree + L"\\Refused\tDirectory\n" +
                                  tree + L"\\Sealed\tSymbolicLink\topenError=アクセスは拒否されました。\n" +
                                  tree + L"\\zz-last\tSemaphore\n";
    CHECK(FromUtf8(run.out) == expected);
    CHECK(FromUtf8(run.err) == L"kagero-dump: " + tree + L"\\Refused: アクセスが拒否されました。\n");
}

TEST_CASE("text lines: odd names stay one line each, in UTF-8, with control pictures and U+FFFD")
{
    const std::wstring names = Fixture().Path(L"Names");
    const DumpRun run = RunDump({names});
    CHECK(run.exitCode == 0);
    const std::wstring shown[] = {
        L"100%d%s%n", L"quote\"mark", L"tab␉here", L"line␊break␍", L"ctl␁␟␡", L"日本語の名前",
        L"lone\xFFFDhigh", L"\xFFFDlone-low", L"reversed\xFFFD\xFFFD", L"pair\xD83D\xDE00",
        L"punct !#$&'()*+,-./:;<=>?@[]^_`{|}~", L"long-" + std::wstring(2995, L'x'),
    };
    std::set<std::wstring> expected;
    for (const std::wstring& name : shown)
        expected.insert(names + L"\\" + name + L"\tEvent");
    std::set<std::wstring> lines;
    for (const std::string& line : Lines(run.out))
        lines.insert(FromUtf8(line));
    CHECK(lines == expected);
}

TEST_CASE("filters and the depth limit select exactly the right entries, in order")
{
    struct FilterCase {
        std::vector<std::wstring> options;
        const wchar_t* under;
        std::vector<std::wstring> expected;
        long exitCode;
    };
    const FilterCase cases[] = {
        // The walk descends everywhere: leaf matches three levels down.
        {{L"--find", L"A"}, L"Tree", {L"Alpha", L"Alpha\\Deep\\leaf", L"beta", L"Gamma", L"Sealed", L"zz-last"}, 1},
        {{L"--find", L"ALPHA"}, L"Tree", {L"Alpha"}, 1},
        {{L"--find", L"日本"}, L"Names", {L"日本語の名前"}, 0},
        {{L"--find", L"%d"}, L"Names", {L"100%d%s%n"}, 0},
        {{L"--find", L"\""}, L"Names", {L"quote\"mark"}, 0},
        {{L"--type", L"Event"}, L"Tree", {L"Alpha\\inner", L"beta"}, 1},
        {{L"--type", L"semaphore", L"--type", L"MUTANT"}, L"Tree", {L"Alpha\\Deep\\leaf", L"Gamma", L"Gone", L"zz-last"}, 1},
        {{L"--depth", L"0"}, L"Tree", {L"Alpha", L"beta", L"Gamma", L"Gone", L"Link", L"Refused", L"Sealed", L"zz-last"}, 0},
        {{L"--depth", L"1", L"--type", L"Directory"}, L"Tree", {L"Alpha", L"Alpha\\Deep", L"Refused"}, 1},
        {{L"--depth", L"1", L"--find", L"e", L"--type", L"Directory"}, L"", {L"Names", L"Tree", L"Tree\\Refused"}, 0},
    };
    for (const FilterCase& c : cases) {
        const std::wstring base = Fixture().Path(c.under);
        std::vector<std::wstring> arguments = c.options;
        arguments.push_back(L"--json");
        arguments.push_back(base);
        CAPTURE(Utf8(arguments[0] + L" " + arguments[1]));
        const DumpRun run = RunDump(arguments);
        CHECK(run.exitCode == c.exitCode);
        CHECK(RelativePaths(run, base) == c.expected);
    }
}

TEST_CASE("--details: counts and the state of events, mutants and semaphores, as the objects hold them")
{
    struct DetailCase {
        const wchar_t* relative;
        const char* fields;  // every field the entry must carry, with its value
    };
    // The test holds one handle on each object, the dump opens one more.
    const DetailCase cases[] = {
        {L"Tree\\Alpha", R"({"handles": 2})"},
        {L"Tree\\Alpha\\inner", R"({"handles": 2, "eventType": "notification", "signaled": true})"},
        {L"Tree\\beta", R"({"handles": 2, "eventType": "synchronization", "signaled": false})"},
        {L"Tree\\Gamma", R"({"handles": 2, "owned": true, "abandoned": false})"},
        {L"Tree\\Gone", R"({"handles": 2, "owned": false, "abandoned": true})"},
        {L"Tree\\Alpha\\Deep\\leaf", R"({"handles": 2, "current": 3, "maximum": 10})"},
        {L"Tree\\zz-last", R"({"handles": 2, "current": 1, "maximum": 5})"},
        {L"Tree\\Link", R"({"handles": 2})"},
        {L"Tree\\Sealed", R"({"openError": "アクセスは拒否されました。"})"},
    };
    const DumpRun run = RunDump({L"--json", L"--details", Fixture().Path(L"Tree")});
    std::map<std::wstring, JsonEntry> byPath;
    for (const JsonEntry& entry : ParseAll(run))
        byPath[entry.Text("path")] = entry;
    for (const DetailCase& c : cases) {
        const JsonEntry& entry = byPath[Fixture().Path(c.relative)];
        CAPTURE(entry.object.dump());
        REQUIRE(entry.parsed);
        const nlohmann::json fields = nlohmann::json::parse(c.fields);
        for (const auto& field : fields.items())
            CHECK(entry.object.value(field.key(), nlohmann::json()) == field.value());
        if (entry.Has("handles"))
            CHECK(entry.object.value("references", 0L) >= entry.object.value("handles", 0L));
        else
            CHECK_FALSE(entry.Has("references"));
    }
}

TEST_CASE("bad command lines exit 2 and bad paths exit 1, each with one line on stderr")
{
    struct FailureCase {
        std::vector<std::wstring> arguments;
        long exitCode;
        std::wstring err;  // after "kagero-dump: "
    };
    const std::wstring tree = Fixture().Path(L"Tree");
    const std::wstring hint = L" (使い方: kagero-dump --help)\n";
    const FailureCase cases[] = {
        {{L"--bogus"}, 2, L"不明なオプションです: --bogus" + hint},
        {{L"-"}, 2, L"不明なオプションです: -" + hint},
        {{L"--json", L"--find"}, 2, L"値がありません: --find" + hint},
        {{L"--depth"}, 2, L"値がありません: --depth" + hint},
        {{L"--depth", L"-1"}, 2, L"--depth には 0 以上の整数を指定してください: -1" + hint},
        {{L"--depth", L"2x"}, 2, L"--depth には 0 以上の整数を指定してください: 2x" + hint},
        {{tree, L"\\Device"}, 2, L"パスは一つだけ指定できます: \\Device" + hint},
        {{tree + L"\\Missing"}, 1, tree + L"\\Missing: オブジェクトが見つかりません。\n"},
        {{L"--json", tree + L"\\beta"}, 1, tree + L"\\beta: このオブジェクトの情報は取得できません。\n"},
        {{tree + L"\\Refused"}, 1, tree + L"\\Refused: アクセスが拒否されました。\n"},
    };
    for (const FailureCase& c : cases) {
        CAPTURE(Utf8(c.err));
        const DumpRun run = RunDump(c.arguments);
        CHECK(run.exitCode == c.exitCode);
        CHECK(run.out.empty());
        CHECK(FromUtf8(run.err) == L"kagero-dump: " + c.err);
    }
}

TEST_CASE("--version prints the About box's version and --help the usage, exit 0")
{
    const DumpRun version = RunDump({L"--json", L"--version"});
    CHECK(version.exitCode == 0);
    CHECK(version.out == "kagero-dump 1.10.158.1\n");
    const DumpRun help = RunDump({L"--help", L"--bogus"});
    CHECK(help.exitCode == 0);
    CHECK(help.out.rfind(u8"使い方: kagero-dump [オプション] [パス]\n", 0) == 0);
    CHECK(help.out.find("--depth N") != std::string::npos);
    CHECK(help.err.empty());
}

TEST_CASE("a reader that goes away ends the dump quietly with exit code 1")
{
    for (size_t readBytes : {0, 1, 5000}) {
        CAPTURE(readBytes);
        const DumpRun run = RunDumpIntoClosedPipe({L"--details"}, readBytes);
        CHECK(run.exitCode == 1);
        CHECK(run.err.empty());
    }
}
