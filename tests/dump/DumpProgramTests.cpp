// The built kagero-dump.exe run as a child process over a namespace made
// here, its JSON parsed with nlohmann::json.
#include <doctest.h>

#include <map>
#include <string>
#include <vector>

#include "DumpRunner.h"
#include "KernelObjects.h"

namespace {

// Names a careless program mangles, and plain ones whose case-blind order is
// easy to get wrong.
const std::wstring OddNames[] = {
    L"100%d%s%n", L"quote\"mark", L"tab\there", L"line\nbreak\r", L"ctl\x01\x1F\x7F", L"日本語の名前",
    L"lone\xD800high", L"\xDC00lone-low", L"reversed\xDC00\xD800", L"pair\xD83D\xDE00",
    L"punct !#$&'()*+,-./:;<=>?@[]^_`{|}~", L"long-" + std::wstring(2995, L'x'), L"n10", L"N9", L"n1a", L"9Z",
};

// Everything below the fixture's root besides the odd names, with its type.
const std::pair<const wchar_t*, const wchar_t*> TreeEntries[] = {
    {L"Tree", L"Directory"}, {L"Tree\\Alpha", L"Directory"}, {L"Tree\\Alpha\\Deep", L"Directory"},
    {L"Tree\\Alpha\\Deep\\leaf", L"Semaphore"}, {L"Tree\\Alpha\\inner", L"Event"}, {L"Tree\\beta", L"Event"},
    {L"Tree\\Gamma", L"Mutant"}, {L"Tree\\Gone", L"Mutant"}, {L"Tree\\Link", L"SymbolicLink"},
    {L"Tree\\Refused", L"Directory"}, {L"Tree\\Sealed", L"SymbolicLink"}, {L"Tree\\zz-last", L"Semaphore"},
    {L"Names", L"Directory"},
};

DWORD WINAPI MakeAbandonedMutant(void* ns)
{
    // Owned by this thread, which ends without releasing it.
    static_cast<TestNamespace*>(ns)->Mutant(L"Tree\\Gone", true);
    return 0;
}

struct DumpFixture {
    DumpFixture()
    {
        for (const wchar_t* directory : {L"Tree", L"Tree\\Alpha", L"Tree\\Alpha\\Deep", L"Tree\\Refused", L"Names"})
            ns.Directory(directory);
        ns.Semaphore(L"Tree\\Alpha\\Deep\\leaf", 3, 10);
        ns.Event(L"Tree\\Alpha\\inner", true, true);
        ns.Event(L"Tree\\beta", false, false);
        ns.Mutant(L"Tree\\Gamma", true);
        HANDLE thread = CreateThread(nullptr, 0, MakeAbandonedMutant, &ns, 0, nullptr);
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
        ns.SymbolicLink(L"Tree\\Link", ns.Path(L"Tree\\Alpha"));
        ns.Event(L"Tree\\Refused\\hidden");
        ns.Refuse(L"Tree\\Refused");
        ns.SymbolicLink(L"Tree\\Sealed", L"\\Nowhere");
        ns.Refuse(L"Tree\\Sealed");
        ns.Semaphore(L"Tree\\zz-last", 1, 5);
        for (const std::wstring& name : OddNames)
            created += ns.Event(L"Names\\" + name) >= 0;
    }
    TestNamespace ns;
    size_t created = 0;
};

const TestNamespace& Fixture()
{
    static DumpFixture fixture;
    REQUIRE(fixture.created == sizeof(OddNames) / sizeof(OddNames[0]));
    return fixture.ns;
}

std::wstring ParentOf(const std::wstring& path) { return path.substr(0, path.rfind(L'\\')); }

std::vector<JsonEntry> ParseAll(const DumpRun& run)
{
    std::vector<JsonEntry> entries;
    for (const std::string& line : Lines(run.out)) {
        entries.push_back(ParseJsonLine(line));
        CHECK_MESSAGE(entries.back().parsed, line);
    }
    return entries;
}

}  // namespace

TEST_CASE("the whole namespace as JSON: every line parses, each entry once with its exact name, in the window's order")
{
    const std::wstring root = Fixture().Root();
    const DumpRun run = RunDump({L"--json"});
    CHECK(run.exitCode == 1);  // the refused directory
    CHECK(FromUtf8(run.err) == L"kagero-dump: " + root + L"\\Tree\\Refused: アクセスが拒否されました。\n");

    std::map<std::wstring, std::wstring> found;  // relative path -> type; "!" + path -> failure
    std::map<std::wstring, std::wstring> lastInDirectory;
    const std::vector<JsonEntry> entries = ParseAll(run);
    CHECK(entries.size() > 100);  // Wine's own namespace is there too
    for (const JsonEntry& entry : entries) {
        const std::wstring path = entry.Text("path");
        const bool failure = entry.Has("error");
        if (!failure) {
            const std::wstring name = entry.Text("name");
            CHECK(path == ParentOf(path) + L"\\" + name);
            std::wstring& last = lastInDirectory[ParentOf(path)];
            CHECK_MESSAGE(lstrcmpiW(last.c_str(), name.c_str()) <= 0, entry.object.dump());
            last = name;
        }
        if (path.compare(0, root.size() + 1, root + L"\\") != 0)
            continue;
        const std::wstring key = (failure ? L"!" : L"") + path.substr(root.size() + 1);
        CHECK_MESSAGE(found.count(key) == 0, entry.object.dump());
        found[key] = failure ? entry.Text("error") : entry.Text("type");
        CHECK(entry.Text("target") == (key == L"Tree\\Link" ? root + L"\\Tree\\Alpha" : L""));
    }
    std::map<std::wstring, std::wstring> expected(std::begin(TreeEntries), std::end(TreeEntries));
    for (const std::wstring& name : OddNames)
        expected[L"Names\\" + name] = L"Event";
    expected[L"!Tree\\Refused"] = L"アクセスが拒否されました。";
    CHECK(found == expected);
}

TEST_CASE("text lines: depth first, sorted without regard to case, links with targets, UTF-8, on past a refusal")
{
    const std::wstring tree = Fixture().Path(L"Tree");
    const DumpRun run = RunDump({tree});
    CHECK(run.exitCode == 1);
    CHECK(FromUtf8(run.out) == tree + L"\\Alpha\tDirectory\n" + tree + L"\\Alpha\\Deep\tDirectory\n" + tree +
                                   L"\\Alpha\\Deep\\leaf\tSemaphore\n" + tree + L"\\Alpha\\inner\tEvent\n" + tree +
                                   L"\\beta\tEvent\n" + tree + L"\\Gamma\tMutant\n" + tree + L"\\Gone\tMutant\n" +
                                   tree + L"\\Link\tSymbolicLink\t-> " + tree + L"\\Alpha\n" + tree +
                                   L"\\Refused\tDirectory\n" + tree +
                                   L"\\Sealed\tSymbolicLink\topenError=アクセスは拒否されました。\n" + tree +
                                   L"\\zz-last\tSemaphore\n");
    CHECK(FromUtf8(run.err) == L"kagero-dump: " + tree + L"\\Refused: アクセスが拒否されました。\n");
}

TEST_CASE("filters and the depth limit select exactly the right entries")
{
    struct FilterCase {
        std::vector<std::wstring> options;
        const wchar_t* under;
        std::vector<std::wstring> expected;
        long exitCode;
    };
    const FilterCase cases[] = {
        // The walk descends everywhere: leaf matches two levels down.
        {{L"--find", L"A"}, L"Tree", {L"Alpha", L"Alpha\\Deep\\leaf", L"beta", L"Gamma", L"Sealed", L"zz-last"}, 1},
        {{L"--find", L"日本"}, L"Names", {L"日本語の名前"}, 0},
        {{L"--find", L"%d"}, L"Names", {L"100%d%s%n"}, 0},
        {{L"--find", L"\""}, L"Names", {L"quote\"mark"}, 0},
        {{L"--type", L"Event"}, L"Tree", {L"Alpha\\inner", L"beta"}, 1},
        {{L"--type", L"semaphore", L"--type", L"MUTANT"}, L"Tree", {L"Alpha\\Deep\\leaf", L"Gamma", L"Gone", L"zz-last"}, 1},
        {{L"--depth", L"0"}, L"Tree", {L"Alpha", L"beta", L"Gamma", L"Gone", L"Link", L"Refused", L"Sealed", L"zz-last"}, 0},
        {{L"--depth", L"1", L"--find", L"e", L"--type", L"Directory"}, L"", {L"Names", L"Tree", L"Tree\\Refused"}, 0},
    };
    for (const FilterCase& c : cases) {
        const std::wstring base = Fixture().Path(c.under);
        std::vector<std::wstring> arguments = c.options;
        arguments.insert(arguments.end(), {L"--json", base});
        CAPTURE(&c - cases);
        const DumpRun run = RunDump(arguments);
        CHECK(run.exitCode == c.exitCode);
        std::vector<std::wstring> paths;  // failures left out
        for (const JsonEntry& entry : ParseAll(run))
            if (entry.Has("name"))
                paths.push_back(entry.Text("path").substr(base.size() + 1));
        CHECK(paths == c.expected);
    }
}

TEST_CASE("--details: counts and the state of events, mutants and semaphores, as the objects hold them")
{
    // The test holds one handle on each object and the dump opens one more.
    const std::pair<const wchar_t*, const char*> cases[] = {
        {L"Alpha", R"({"handles": 2})"},
        {L"Alpha\\inner", R"({"handles": 2, "eventType": "notification", "signaled": true})"},
        {L"beta", R"({"handles": 2, "eventType": "synchronization", "signaled": false})"},
        {L"Gamma", R"({"handles": 2, "owned": true, "abandoned": false})"},
        {L"Gone", R"({"handles": 2, "owned": false, "abandoned": true})"},
        {L"Alpha\\Deep\\leaf", R"({"handles": 2, "current": 3, "maximum": 10})"},
        {L"zz-last", R"({"handles": 2, "current": 1, "maximum": 5})"},
        {L"Link", R"({"handles": 2})"},
        {L"Sealed", R"({"openError": "アクセスは拒否されました。"})"},
    };
    const std::wstring tree = Fixture().Path(L"Tree");
    std::map<std::wstring, JsonEntry> byPath;
    for (const JsonEntry& entry : ParseAll(RunDump({L"--json", L"--details", tree})))
        byPath[entry.Text("path")] = entry;
    for (const auto& c : cases) {
        const JsonEntry& entry = byPath[tree + L"\\" + c.first];
        CAPTURE(entry.object.dump());
        REQUIRE(entry.parsed);
        const nlohmann::json fields = nlohmann::json::parse(c.second);
        for (const auto& field : fields.items())
            CHECK(entry.object.value(field.key(), nlohmann::json()) == field.value());
        CHECK(entry.object.value("references", 0L) >= entry.object.value("handles", 0L));
    }
}

TEST_CASE("bad command lines exit 2, bad paths exit 1, each with one line on stderr; --version and --help")
{
    struct CommandCase {
        std::vector<std::wstring> arguments;
        long exitCode;
        std::wstring err;  // after "kagero-dump: "
        const char* outStart;
    };
    const std::wstring tree = Fixture().Path(L"Tree");
    const std::wstring hint = L" (使い方: kagero-dump --help)\n";
    const CommandCase cases[] = {
        {{L"--bogus"}, 2, L"不明なオプションです: --bogus" + hint, ""},
        {{L"--json", L"--find"}, 2, L"値がありません: --find" + hint, ""},
        {{L"--depth", L"-1"}, 2, L"--depth には 0 以上の整数を指定してください: -1" + hint, ""},
        {{tree, L"\\Device"}, 2, L"パスは一つだけ指定できます: \\Device" + hint, ""},
        {{tree + L"\\Missing"}, 1, tree + L"\\Missing: オブジェクトが見つかりません。\n", ""},
        {{L"--json", tree + L"\\beta"}, 1, tree + L"\\beta: このオブジェクトの情報は取得できません。\n", ""},
        {{tree + L"\\Refused"}, 1, tree + L"\\Refused: アクセスが拒否されました。\n", ""},
        {{L"--json", L"--version"}, 0, L"", "kagero-dump 1.10.158.1\n"},
        {{L"--help", L"--bogus"}, 0, L"", u8"使い方: kagero-dump [オプション] [パス]\n"},
    };
    for (const CommandCase& c : cases) {
        CAPTURE(&c - cases);
        const DumpRun run = RunDump(c.arguments);
        CHECK(run.exitCode == c.exitCode);
        CHECK(FromUtf8(run.err) == (c.err.empty() ? L"" : L"kagero-dump: " + c.err));
        CHECK(run.out.rfind(c.outStart, 0) == 0);
        CHECK((*c.outStart || run.out.empty()));
    }
}

TEST_CASE("a reader that goes away ends the dump quietly with exit code 1")
{
    // About 50 KB of lines, none of them a failure, against a 4 KB pipe.
    TestNamespace ns;
    for (int i = 0; i < 200; ++i)
        ns.Event(std::to_wstring(i) + std::wstring(200, L'e'));
    for (size_t readBytes : {0, 1, 5000}) {
        CAPTURE(readBytes);
        const DumpRun run = RunDumpIntoClosedPipe({ns.Root()}, readBytes);
        CHECK(run.exitCode == 1);
        CHECK(run.err.empty());
    }
}
