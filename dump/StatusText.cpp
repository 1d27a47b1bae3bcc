#include "StatusText.h"

namespace {

// The property sheet's table (PropertySheet.cpp, OpenFailureText); null for
// a status it has no words for.
const wchar_t* OpenFailureWords(ULONG status)
{
    switch (status) {
    case 0xC0000022: return L"アクセスは拒否されました。";
    case 0xC0000024:
    case 0xFFFFFFFF: return L"このオブジェクトの情報は取得できません。";
    case 0xC0000034: return L"オブジェクトが見つかりません。";
    case 0xC0000043: return L"他のプロセスで使用中です。";
    case 0xC0000061: return L"権限がありません。";
    default: return nullptr;
    }
}

// prefix followed by the status as eight upper-case hex digits; no
// user32 formatting in a console program.
void WithHexStatus(const wchar_t* prefix, ULONG code, wchar_t (&text)[StatusTextChars])
{
    static const wchar_t Hex[] = L"0123456789ABCDEF";
    lstrcpynW(text, prefix, StatusTextChars - 10);
    wchar_t* at = text + lstrlenW(text);
    *at++ = L'0';
    *at++ = L'x';
    for (int shift = 28; shift >= 0; shift -= 4)
        *at++ = Hex[(code >> shift) & 0xF];
    *at = L'\0';
}

}  // namespace

void ListingFailureText(NTSTATUS status, wchar_t (&text)[StatusTextChars])
{
    const ULONG code = static_cast<ULONG>(status);
    // The object list's own words (ObjectList.cpp) come first.
    const wchar_t* words = code == 0xC0000022 ? L"アクセスが拒否されました。" : OpenFailureWords(code);
    if (words)
        lstrcpynW(text, words, StatusTextChars);
    else
        WithHexStatus(L"ERROR - ", code, text);
}

void ObjectOpenFailureText(NTSTATUS status, wchar_t (&text)[StatusTextChars])
{
    const ULONG code = static_cast<ULONG>(status);
    if (const wchar_t* words = OpenFailureWords(code))
        lstrcpynW(text, words, StatusTextChars);
    else
        WithHexStatus(L"オープンできませんでした。- CODE:", code, text);
}
