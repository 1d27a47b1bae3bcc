// Windows shows both programs' version resources in a file's properties.
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
