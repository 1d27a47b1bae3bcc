// The resources: both programs' version resources, which Windows shows in a file's properties; the menu and
// accelerators; the string table and the loading of its texts.
#include "MainWindowFixture.h"

#include "LoadedText.h"

TEST_CASE("Both programs carry the About box's version in their version resource")
{
    const std::pair<const char*, std::string> programs[] = {
        {KAGERO_EXE, "Kagero|1.10.158.1|1.10.158.1|Kagero カーネル オブジェクト名前空間ビューア"},
        {KAGERO_DUMP_EXE, "Kagero|1.10.158.1|1.10.158.1|Kagero カーネル オブジェクト名前空間ダンプ"}};
    for (const auto& [file, expected] : programs) {
        CAPTURE(file);
        std::vector<BYTE> data(GetFileVersionInfoSizeA(file, nullptr));
        REQUIRE(GetFileVersionInfoA(file, 0, static_cast<DWORD>(data.size()), data.data()));
        VS_FIXEDFILEINFO* fixed = nullptr;
        UINT length = 0;
        REQUIRE(VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
        CHECK((fixed->dwFileVersionMS == 0x0001000A && fixed->dwFileVersionLS == 0x009E0001));  // 1.10.158.1
        std::string strings;
        for (const wchar_t* name : {L"ProductName", L"FileVersion", L"ProductVersion", L"FileDescription"}) {
            wchar_t* value = nullptr;
            const std::wstring key = std::wstring(L"\\StringFileInfo\\041104B0\\") + name;
            VerQueryValueW(data.data(), key.c_str(), reinterpret_cast<void**>(&value), &length);
            strings += (strings.empty() ? "" : "|") + Utf8(value ? value : L"");
        }
        CHECK(strings == expected);
    }
}

TEST_CASE("The menu's popups command by command, accelerator table 103 byte for byte; Find ends the Edit menu, the holders follow Properties, with a table of their own")
{
    HMENU menu = LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDM_MAINMENU));
    std::function<std::string(HMENU)> items = [&](HMENU popup) {  // each item's command, 0 a separator, (...) a popup
        std::string text;
        for (int i = 0; i < GetMenuItemCount(popup); ++i)
            text += (i ? " " : "") + (GetSubMenu(popup, i) ? "(" + items(GetSubMenu(popup, i)) + ")"
                                                           : std::to_string(GetMenuItemID(popup, i)));
        return text;
    };
    CHECK(items(menu) == "(40008 40031 0 40002) (40027 40026 0 40030) (59392 59393 0 (40023 40024 0 40025) 40020 0 40003) (40004)");
    wchar_t text[64] = {};
    GetMenuStringW(menu, CMD_FIND, text, 64, MF_BYCOMMAND);
    CHECK(Utf8(text) == "検索(&F)...\tCtrl+F");
    GetMenuStringW(menu, CMD_HOLDERS, text, 64, MF_BYCOMMAND);
    CHECK(Utf8(text) == "開いているプロセス(&H)...\tCtrl+H");
    DestroyMenu(menu);
    // Each table byte for byte: flags (0x80 on the last entry), key, command and padding, one word each.
    const std::pair<int, std::vector<WORD>> tables[] = {
        {IDA_ACCELERATORS, {0x0B, 'A', 40026, 0, 0x03, VK_F5, 40003, 0, 0x93, VK_RETURN, 40008, 0}},
        {IDA_ADDITIONS_ACCELERATORS, {0x0B, 'F', 40030, 0, 0x8B, 'H', 40031, 0}}};
    for (const auto& [id, words] : tables) {
        CAPTURE(id);
        HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(id), RT_ACCELERATOR);
        REQUIRE(found);
        const WORD* data = static_cast<const WORD*>(LockResource(LoadResource(nullptr, found)));
        CHECK(std::vector<WORD>(data, data + SizeofResource(nullptr, found) / 2) == words);
    }
}

TEST_CASE("The window's own string table entries block by block, none beside them; the additions' texts apart, each within its bound")
{
    AppInstance = GetModuleHandleW(nullptr);
    const std::pair<UINT, std::string> own[] = {
        {40003, "最新の状態に更新します。\n更新"}, {40005, "ファイルを開きます。\n開く"}, {40007, "テキストエディタで開きます。"},
        {40008, "プロパティ\nプロパティ"}, {40020, "\n上のディレクトリへ"}, {40027, "\nコピー"}, {57634, "\nコピー"},
        {57665, "終了します。"}};
    std::string blocks;  // every id of the blocks that hold the own entries: "id=text " for those that have one
    for (UINT first : {40000u, 40016u, 57632u, 57664u})
        for (UINT id = first; id < first + 16; ++id) {
            wchar_t text[LoadedTextChars] = {};
            if (LoadStringW(AppInstance, id, text, LoadedTextChars) > 0)
                blocks += std::to_string(id) + "=" + Utf8(text) + " ";
        }
    std::string expected;
    for (const auto& [id, text] : own)
        expected += std::to_string(id) + "=" + text + " ";
    CHECK(blocks == expected);
    // The additions' ids, each loaded whole: none as long as the longest a window loads.
    std::string missing;
    for (UINT id = IDS_FIND_ALL_TYPES; id <= IDS_PATH_DOUBLED_SEPARATOR; ++id) {
        wchar_t text[LoadedTextChars + 1] = {};
        const int length = LoadStringW(AppInstance, id, text, LoadedTextChars + 1);
        const bool unused = (id > IDS_FIND_START_FAILED && id < IDS_HOLDERS_COLUMN_PROGRAM) ||
                            (id > IDS_HOLDERS_STUCK && id < IDS_USAGE);
        if ((length > 0) == unused || length >= LoadedTextChars - 1)
            missing += std::to_string(id) + " ";
    }
    CHECK(missing == "");
}

TEST_CASE("Loaded texts at their buffers' bounds: whole at length + 1, cut and ended one short, never past the count")
{
    AppInstance = GetModuleHandleW(nullptr);
    const std::string stopped = "検索を中止しました。", found = "2147483647 個のオブジェクトが見つかりました。";
    const int stoppedLength = 10, foundLength = 28;
    const struct { int count, step; std::string text; int length; } rows[] = {
        {stoppedLength + 1, 0, stopped, stoppedLength}, {stoppedLength, 0, "検索を中止しました", stoppedLength - 1},
        {1, 0, "", 0},
        {foundLength + 1, 1, found, foundLength}, {foundLength, 1, found.substr(0, found.size() - 3), foundLength - 1},
        {4, 1, "214", 3},
        // After "x": the blank and the sentence, as much as fits, or nothing when not even the blank and one character do.
        {stoppedLength + 3, 2, "x 検索を中止しました。", stoppedLength + 2}, {4, 2, "x 検", 3}, {3, 2, "x", 1}, {2, 2, "x", 1}};
    for (const auto& row : rows) {
        CAPTURE(row.count);
        CAPTURE(row.step);
        wchar_t buffer[64];
        for (wchar_t& c : buffer)
            c = L'#';
        int length = 0;
        if (row.step == 0)
            length = LoadText(IDS_FIND_STOPPED, buffer, row.count);
        else if (row.step == 1)
            length = FormatText(buffer, row.count, IDS_FIND_FOUND, 2147483647L);
        else {
            lstrcpyW(buffer, L"x");
            length = AppendSentence(buffer, row.count, 1, IDS_FIND_STOPPED, 0L);
        }
        CHECK((Utf8(buffer) == row.text && length == row.length && buffer[row.count] == L'#'));
    }
    wchar_t none[4] = {L'#', L'#', L'#', L'#'};
    CHECK((LoadText(1, none, 4) == 0 && none[0] == L'\0'));  // no such entry
}
