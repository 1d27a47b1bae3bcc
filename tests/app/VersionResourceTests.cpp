// Windows shows both programs' version resources in a file's properties.
#include "MainWindowFixture.h"

TEST_CASE("Both programs carry the About box's version in their version resource")
{
    const std::pair<const char*, const char*> programs[] = {
        {KAGERO_EXE, "Kagero カーネル オブジェクト名前空間ビューア"},
        {KAGERO_DUMP_EXE, "Kagero カーネル オブジェクト名前空間ダンプ"},
    };
    for (const auto& program : programs) {
        const char* file = program.first;
        CAPTURE(file);
        const DWORD size = GetFileVersionInfoSizeA(file, nullptr);
        REQUIRE(size > 0);
        std::vector<BYTE> data(size);
        REQUIRE(GetFileVersionInfoA(file, 0, size, data.data()));
        VS_FIXEDFILEINFO* fixed = nullptr;
        UINT length = 0;
        REQUIRE(VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
        CHECK(fixed->dwFileVersionMS == 0x0001000A);  // 1.10
        CHECK(fixed->dwFileVersionLS == 0x009E0001);  // .158.1
        const std::pair<const wchar_t*, std::string> strings[] = {
            {L"ProductName", "Kagero"}, {L"FileVersion", "1.10.158.1"}, {L"ProductVersion", "1.10.158.1"},
            {L"FileDescription", program.second}};
        for (const auto& [name, expected] : strings) {
            const std::wstring key = std::wstring(L"\\StringFileInfo\\041104B0\\") + name;
            wchar_t* value = nullptr;
            CHECK(VerQueryValueW(data.data(), key.c_str(), reinterpret_cast<void**>(&value), &length));
            CHECK(Utf8(value ? value : L"") == expected);
        }
    }
}
