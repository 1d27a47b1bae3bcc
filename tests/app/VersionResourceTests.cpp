// Windows shows both programs' version resources in a file's properties.
#include <doctest.h>

#include <string>
#include <vector>

#include "MainWindowFixture.h"

TEST_CASE("Both programs carry the About box's version in their version resource")
{
    const struct {
        const char* file;
        const char* description;
    } programs[] = {
        {KAGERO_EXE, "Kagero カーネル オブジェクト名前空間ビューア"},
        {KAGERO_DUMP_EXE, "Kagero カーネル オブジェクト名前空間ダンプ"},
    };
    for (const auto& program : programs) {
        CAPTURE(program.file);
        const DWORD size = GetFileVersionInfoSizeA(program.file, nullptr);
        REQUIRE(size > 0);
        std::vector<BYTE> data(size);
        REQUIRE(GetFileVersionInfoA(program.file, 0, size, data.data()));
        VS_FIXEDFILEINFO* fixed = nullptr;
        UINT length = 0;
        REQUIRE(VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
        CHECK(fixed->dwFileVersionMS == 0x0001000A);  // 1.10
        CHECK(fixed->dwFileVersionLS == 0x009E0001);  // .158.1
        const struct {
            const wchar_t* name;
            std::string expected;
        } strings[] = {
            {L"ProductName", "Kagero"},
            {L"FileVersion", "1.10.158.1"},
            {L"ProductVersion", "1.10.158.1"},
            {L"FileDescription", program.description},
        };
        for (const auto& entry : strings) {
            const std::wstring key = std::wstring(L"\\StringFileInfo\\041104B0\\") + entry.name;
            wchar_t* value = nullptr;
            CHECK(VerQueryValueW(data.data(), key.c_str(), reinterpret_cast<void**>(&value), &length));
            CHECK(Utf8(value ? value : L"") == entry.expected);
        }
    }
}
