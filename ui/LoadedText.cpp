#include "LoadedText.h"

#include <cstdarg>

#include "AppGlobals.h"

namespace {

// wvsprintfW writes at most 1024 characters and the terminator.
const int FormattedChars = 1025;

int FormatArguments(wchar_t* buffer, int count, UINT id, va_list arguments)
{
    wchar_t format[LoadedTextChars];
    wchar_t whole[FormattedChars];
    LoadText(id, format, LoadedTextChars);
    wvsprintfW(whole, format, arguments);
    lstrcpynW(buffer, whole, count);
    return lstrlenW(buffer);
}

}  // namespace

int LoadText(UINT id, wchar_t* buffer, int count)
{
    if (count <= 0)
        return 0;
    buffer[0] = L'\0';
    const int length = LoadStringW(AppInstance, id, buffer, count);
    return length > 0 ? length : 0;
}

int FormatText(wchar_t* buffer, int count, UINT id, ...)
{
    if (count <= 0)
        return 0;
    va_list arguments;
    va_start(arguments, id);
    const int length = FormatArguments(buffer, count, id, arguments);
    va_end(arguments);
    return length;
}

int AppendSentence(wchar_t* buffer, int count, int length, UINT id, ...)
{
    if (length < 0 || length + 3 > count)
        return length;  // no room for a blank and a character
    buffer[length] = L' ';
    va_list arguments;
    va_start(arguments, id);
    length += 1 + FormatArguments(buffer + length + 1, count - length - 1, id, arguments);
    va_end(arguments);
    return length;
}
