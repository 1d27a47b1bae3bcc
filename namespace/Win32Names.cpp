#include "Win32Names.h"

#include <cwchar>
#include <initializer_list>

#include "NameCompare.h"

namespace {

const wchar_t GlobalObjects[] = L"\\BaseNamedObjects";
const wchar_t SessionsPrefix[] = L"\\Sessions\\";
const wchar_t* const SessionObjects = GlobalObjects;  // each session's have the same name

template <size_t N>
constexpr size_t Chars(const wchar_t (&)[N])
{
    return N - 1;
}

// text begins with prefix, without regard to case.
bool Begins(const wchar_t* text, size_t length, const wchar_t* prefix, size_t prefixLength)
{
    return length >= prefixLength && EqualCaseless(text, prefixLength, prefix, prefixLength);
}

// The length of the decimal digits at text (at most length), 0 for none.
size_t Digits(const wchar_t* text, size_t length)
{
    size_t n = 0;
    while (n < length && text[n] >= L'0' && text[n] <= L'9')
        ++n;
    return n;
}

// lead and rest as one text.
bool Compose(const wchar_t* lead, size_t leadLength, const wchar_t* rest, size_t restLength, WideText* out)
{
    wchar_t* text = out->Allocate(leadLength + restLength);
    if (!text)
        return false;
    CopyMemory(text, lead, leadLength * sizeof(wchar_t));
    CopyMemory(text + leadLength, rest, restLength * sizeof(wchar_t));
    return true;
}

// The named-objects directory below which path lies ("\" and at least one
// unit after it), as the length of the directory's part; 0 for none.
size_t BelowDirectory(const wchar_t* path, size_t length, const wchar_t* directory, size_t directoryLength)
{
    return Begins(path, length, directory, directoryLength) && length > directoryLength + 1 &&
                   path[directoryLength] == L'\\'
               ? directoryLength + 1
               : 0;
}

}  // namespace

bool FindWin32Name(const wchar_t* path, size_t length, WideText* name)
{
    size_t cut = BelowDirectory(path, length, GlobalObjects, Chars(GlobalObjects));
    if (cut)
        return Compose(L"Global\\", 7, path + cut, length - cut, name);
    for (const wchar_t* devices : {L"\\GLOBAL??", L"\\??"}) {
        cut = BelowDirectory(path, length, devices, static_cast<size_t>(lstrlenW(devices)));
        if (cut)
            return Compose(L"\\\\.\\", 4, path + cut, length - cut, name);
    }
    if (!Begins(path, length, SessionsPrefix, Chars(SessionsPrefix)))
        return false;
    const wchar_t* number = path + Chars(SessionsPrefix);
    const size_t digits = Digits(number, length - Chars(SessionsPrefix));
    const size_t directoryLength = Chars(SessionsPrefix) + digits + Chars(GlobalObjects);
    cut = digits ? BelowDirectory(path, length, path, directoryLength) : 0;
    if (!cut || !EqualCaseless(number + digits, Chars(GlobalObjects), SessionObjects, Chars(GlobalObjects)))
        return false;
    // "Session\" N "\" and the rest.
    WideText lead;
    wchar_t* text = lead.Allocate(8 + digits + 1);
    if (!text)
        return false;
    CopyMemory(text, L"Session\\", 8 * sizeof(wchar_t));
    CopyMemory(text + 8, number, digits * sizeof(wchar_t));
    text[8 + digits] = L'\\';
    return Compose(lead.Get(), lead.Length(), path + cut, length - cut, name);
}

ListedName ReadListedName(const wchar_t* line, size_t length, DWORD ownSession, WideText* text)
{
    if (length == 0 || wmemchr(line, L'\0', length))
        return ListedName::Bad;
    wchar_t session[16];
    const wchar_t* rest = nullptr;
    size_t restLength = 0;
    bool global = false;
    if (Begins(line, length, L"Global\\", 7)) {
        rest = line + 7;
        global = true;
    } else if (Begins(line, length, L"Local\\", 6)) {
        rest = line + 6;
        global = ownSession == 0;
        wsprintfW(session, L"%lu", ownSession);
    } else if (Begins(line, length, L"Session\\", 8)) {
        const size_t digits = Digits(line + 8, length - 8);
        // More digits than a session id has is no session.
        if (digits == 0 || digits > 10 || 8 + digits >= length || line[8 + digits] != L'\\')
            return ListedName::Bad;
        lstrcpynW(session, line + 8, static_cast<int>(digits) + 1);
        rest = line + 8 + digits + 1;
        global = lstrcmpW(session, L"0") == 0;
    } else if (Begins(line, length, L"\\\\.\\", 4)) {
        return length > 4 && text->Assign(line + 4, length - 4) ? ListedName::Device : ListedName::Bad;
    } else {
        // No name holds "\\": such a line is a path or a mistyped prefix.
        const bool path = line[0] == L'\\';
        if ((!path && wmemchr(line, L'\\', length)) || !text->Assign(line, length))
            return ListedName::Bad;
        return path ? ListedName::Path : ListedName::Bare;
    }
    restLength = length - static_cast<size_t>(rest - line);
    if (restLength == 0)
        return ListedName::Bad;
    wchar_t built[64];  // "\Sessions\", ten digits, "\BaseNamedObjects\"
    if (global)
        wsprintfW(built, L"%s\\", GlobalObjects);
    else
        wsprintfW(built, L"%s%s%s\\", SessionsPrefix, session, SessionObjects);
    return Compose(built, static_cast<size_t>(lstrlenW(built)), rest, restLength, text) ? ListedName::Path
                                                                                        : ListedName::Bad;
}
