// The resources: both programs' version resources, which Windows shows in a file's properties; the menu and accelerators.
#include "MainWindowFixture.h"

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
