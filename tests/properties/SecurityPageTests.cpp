// The security page on the sheet, driven through the real main window and
// read back from the system's access-control editor.
#include <doctest.h>

#include <cstdlib>

#include "ObjectSecurityInfo.h"
#include "PropertiesProgram.h"

namespace {

std::vector<std::string> Utf8All(const std::vector<std::wstring>& texts)
{
    std::vector<std::string> out;
    for (const auto& text : texts)
        out.push_back(Utf8(text));
    return out;
}

}  // namespace

TEST_CASE("An event's sheet has both pages and Apply; the security page shows its DACL with the event's rights")
{
    Program& p = TheProgram();
    p.SelectRow(p.ns.Root(), L"secured");
    sheetdriver::SecurityView view;
    sheetdriver::OnSheet = [&](HWND sheet, HWND) {
        SendMessageW(sheet, PSM_SETCURSEL, 1, 0);
        p.PumpAll();
        HWND page = reinterpret_cast<HWND>(SendMessageW(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
        view = sheetdriver::ReadSecurityPage(page, [&] { p.PumpAll(); });
        SaveScreenshotIfAsked(L"security-event");
    };
    const Seen seen = p.Properties();
    REQUIRE(seen.sheets.size() == 1);
    CHECK(Utf8All(seen.sheets[0].tabs) == std::vector<std::string>{"一般", "セキュリティ"});
    CHECK(seen.sheets[0].apply);

    CHECK(Utf8All(view.accounts) == std::vector<std::string>{"Administrators", "Everyone", "Guests", "SYSTEM"});
    // Rights in bit order, and per account "X" where its ACE allows or denies.
    const char* names[] = {"情報の問い合わせ", "変更", "削除", "アクセス許可の読み取り", "アクセス許可の変更",
                           "所有権の取得", "同期", "監査"};
    const struct {
        const char* allow;
        const char* deny;
    } marks[] = {
        {"X--X--X-", "--------"},  // Administrators: 0x120001
        {"XXXXXXX-", "--------"},  // Everyone: 0x1F0003
        {"--------", "-X------"},  // Guests: denied 0x2
    };
    REQUIRE(view.rights.size() == 4);
    for (size_t account = 0; account < 3; ++account) {
        CAPTURE(account);
        REQUIRE(view.rights[account].size() == 8);
        std::string allow, deny;
        for (size_t bit = 0; bit < 8; ++bit) {
            CHECK(Utf8(view.rights[account][bit].name) == names[bit]);
            allow += Utf8(view.rights[account][bit].allow);
            deny += Utf8(view.rights[account][bit].deny);
        }
        CHECK(allow == marks[account].allow);
        CHECK(deny == marks[account].deny);
    }
    CHECK(LiveSecurityProviders() == 0);
}

TEST_CASE("An object whose General page is refused shows the security page alone, without Apply")
{
    Program& p = TheProgram();
    p.SelectRow(p.ns.Root(), L"refused");
    RECT sheetRect = {}, mainRect = {};
    sheetdriver::OnSheet = [&](HWND sheet, HWND) {
        SaveScreenshotIfAsked(L"security-only");
        GetWindowRect(sheet, &sheetRect);
        GetWindowRect(MainWindowHandle, &mainRect);
    };
    const Seen seen = p.Properties();
    REQUIRE(seen.sheets.size() == 1);
    CHECK(Utf8All(seen.sheets[0].tabs) == std::vector<std::string>{"セキュリティ"});
    CHECK_FALSE(seen.sheets[0].apply);
    // Centred on the main window, as the General page centres a sheet.
    CHECK(std::abs((sheetRect.left + sheetRect.right) - (mainRect.left + mainRect.right)) <= 1);
    CHECK(std::abs((sheetRect.top + sheetRect.bottom) - (mainRect.top + mainRect.bottom)) <= 1);
    CHECK(LiveSecurityProviders() == 0);
    CHECK(CountingCalls::opens == CountingCalls::closes);
}
