#include "SidText.h"

#include <sddl.h>

#include "Owned.h"

namespace {

// The abbreviations SDDL gives SIDs that are the same on every machine (the domain-relative ones differ).
const struct {
    const wchar_t* abbreviation;
    const wchar_t* sid;
} Abbreviations[] = {
    {L"WD", L"S-1-1-0"},       {L"CO", L"S-1-3-0"},       {L"CG", L"S-1-3-1"},       {L"OW", L"S-1-3-4"},
    {L"NU", L"S-1-5-2"},       {L"IU", L"S-1-5-4"},       {L"SU", L"S-1-5-6"},       {L"AN", L"S-1-5-7"},
    {L"ED", L"S-1-5-9"},       {L"PS", L"S-1-5-10"},      {L"AU", L"S-1-5-11"},      {L"RC", L"S-1-5-12"},
    {L"SY", L"S-1-5-18"},      {L"LS", L"S-1-5-19"},      {L"NS", L"S-1-5-20"},      {L"WR", L"S-1-5-33"},
    {L"BA", L"S-1-5-32-544"},  {L"BU", L"S-1-5-32-545"},  {L"BG", L"S-1-5-32-546"},  {L"PU", L"S-1-5-32-547"},
    {L"AO", L"S-1-5-32-548"},  {L"SO", L"S-1-5-32-549"},  {L"PO", L"S-1-5-32-550"},  {L"BO", L"S-1-5-32-551"},
    {L"RE", L"S-1-5-32-552"},  {L"RU", L"S-1-5-32-554"},  {L"RD", L"S-1-5-32-555"},  {L"NO", L"S-1-5-32-556"},
    {L"MU", L"S-1-5-32-558"},  {L"LU", L"S-1-5-32-559"},  {L"IS", L"S-1-5-32-568"},  {L"CY", L"S-1-5-32-569"},
    {L"ER", L"S-1-5-32-573"},  {L"AC", L"S-1-15-2-1"},    {L"LW", L"S-1-16-4096"},   {L"ME", L"S-1-16-8192"},
    {L"MP", L"S-1-16-8448"},   {L"HI", L"S-1-16-12288"},  {L"SI", L"S-1-16-16384"},
};

const wchar_t* FindAbbreviation(const wchar_t* sidString)
{
    for (const auto& row : Abbreviations)
        if (lstrcmpW(row.sid, sidString) == 0)
            return row.abbreviation;
    return nullptr;
}

}  // namespace

bool FormatSidString(PSID sid, wchar_t (&text)[SidStringChars])
{
    LocalBlock converted;
    if (!sid || !IsValidSid(sid) || !ConvertSidToStringSidW(sid, reinterpret_cast<LPWSTR*>(converted.Receive())))
        return false;
    const wchar_t* string = static_cast<const wchar_t*>(converted.Get());
    if (lstrlenW(string) >= static_cast<int>(SidStringChars))
        return false;
    lstrcpyW(text, string);
    return true;
}

const wchar_t* SddlAbbreviation(PSID sid)
{
    wchar_t text[SidStringChars];
    return FormatSidString(sid, text) ? FindAbbreviation(text) : nullptr;
}

bool FormatSidShort(PSID sid, wchar_t (&text)[SidStringChars])
{
    if (!FormatSidString(sid, text))
        return false;
    if (const wchar_t* abbreviation = FindAbbreviation(text))
        lstrcpyW(text, abbreviation);
    return true;
}

bool FormatAccountName(PSID sid, wchar_t* text, size_t chars)
{
    wchar_t name[256], domain[256];
    DWORD nameChars = 256, domainChars = 256;
    SID_NAME_USE use;
    if (!sid || !IsValidSid(sid) || !LookupAccountSidW(nullptr, sid, name, &nameChars, domain, &domainChars, &use) ||
        !name[0])
        return false;
    const size_t needed = (domain[0] ? static_cast<size_t>(lstrlenW(domain)) + 1 : 0) + lstrlenW(name) + 1;
    if (needed > chars)
        return false;
    text[0] = L'\0';
    if (domain[0]) {
        lstrcpyW(text, domain);
        lstrcatW(text, L"\\");
    }
    lstrcatW(text, name);
    return true;
}
