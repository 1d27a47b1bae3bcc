#include "StatusText.h"

#include "StatusTexts.h"

namespace {

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

// Words the window never needs, for statuses that only a typed path brings;
// the window's texts stay its own.
const wchar_t* DumpOnlyWords(ULONG code)
{
    switch (static_cast<NTSTATUS>(code)) {
    case STATUS_OBJECT_PATH_NOT_FOUND_NT:  // a directory on the way is missing
        return L"パスが見つかりません。";
    case STATUS_NO_MEMORY_NT:
        return L"メモリが足りません。";
    case static_cast<NTSTATUS>(0xC0000077L):  // STATUS_INVALID_ACL
        return L"DACL が壊れています。";
    default:
        return nullptr;
    }
}

}  // namespace

void ListingFailureText(NTSTATUS status, wchar_t (&text)[StatusTextChars])
{
    const ULONG code = static_cast<ULONG>(status);
    // The object list's own words come first.
    const wchar_t* words = status == STATUS_ACCESS_DENIED ? ListingAccessDeniedText : OpenFailureWords(code);
    if (!words)
        words = DumpOnlyWords(code);
    if (words)
        lstrcpynW(text, words, StatusTextChars);
    else
        WithHexStatus(L"ERROR - ", code, text);
}

void SecurityFailureText(NTSTATUS status, wchar_t (&text)[StatusTextChars])
{
    const ULONG code = static_cast<ULONG>(status);
    const wchar_t* words = OpenFailureWords(code) ? OpenFailureWords(code) : DumpOnlyWords(code);
    if (words)
        lstrcpynW(text, words, StatusTextChars);
    else
        WithHexStatus(L"セキュリティを読めませんでした。- CODE:", code, text);
}

void ObjectOpenFailureText(NTSTATUS status, wchar_t (&text)[StatusTextChars])
{
    const ULONG code = static_cast<ULONG>(status);
    if (const wchar_t* words = OpenFailureWords(code))
        lstrcpynW(text, words, StatusTextChars);
    else
        WithHexStatus(L"オープンできませんでした。- CODE:", code, text);
}
