#include "StatusText.h"

#include "DumpMessages.h"
#include "FailureWords.h"

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
        return WideMessageText(WideMsg::PathNotFound);
    case STATUS_NO_MEMORY_NT:
        return WideMessageText(WideMsg::NoMemory);
    case static_cast<NTSTATUS>(0xC0000077L):  // STATUS_INVALID_ACL
        return WideMessageText(WideMsg::BadAcl);
    default:
        return nullptr;
    }
}

// Where each failure's words come from, tried in this order: the object list's own for a refusal (a listing's
// alone), the open-failure words the window shares, the dump's own; else the code after its lead.
struct FailureWording {
    bool listRefusal;
    bool dumpWords;
    WideMsg codeLead;
};
// Indexed by Failed.
const FailureWording Wordings[] = {
    {true, true, WideMsg::ListingFailedCode},
    {false, true, WideMsg::SecurityFailedCode},
    {false, false, WideMsg::OpenFailedCode},
};

}  // namespace

void StatusText(Failed what, NTSTATUS status, wchar_t (&text)[StatusTextChars])
{
    const FailureWording& wording = Wordings[static_cast<int>(what)];
    const ULONG code = static_cast<ULONG>(status);
    const wchar_t* words = wording.listRefusal && status == STATUS_ACCESS_DENIED ? ListingAccessDeniedText
                                                                                 : OpenFailureWords(code);
    if (!words && wording.dumpWords)
        words = DumpOnlyWords(code);
    if (words)
        lstrcpynW(text, words, StatusTextChars);
    else
        WithHexStatus(WideMessageText(wording.codeLead), code, text);
}
