#include "FindList.h"

#include <initializer_list>

#include "DumpMessages.h"
#include "InputFile.h"
#include "Win32Names.h"

namespace {

// Enough of a bad line to find it by, however long it is.
const size_t ShownLineBytes = 1024;

// Blank: nothing but spaces and tabs.
bool Skipped(const char* line, size_t length)
{
    if (length > 0 && line[0] == '#')
        return true;
    for (size_t i = 0; i < length; ++i)
        if (line[i] != ' ' && line[i] != '\t')
            return false;
    return true;
}

}  // namespace

bool FindLists::Read(const DumpOptions& options, ByteBuffer& errors)
{
    active_ = options.findFromCount > 0;
    DWORD session = 0;
    ProcessIdToSessionId(GetCurrentProcessId(), &session);
    for (int i = 0; i < options.findFromCount; ++i)
        if (!ReadFile(options.findFrom[i], session, errors))
            return false;
    return true;
}

bool FindLists::ReadFile(const wchar_t* file, DWORD session, ByteBuffer& errors)
{
    ByteBuffer bytes;
    const DWORD error = ReadWholeFile(file, bytes);
    if (error) {
        AppendFileFailure(errors, MessageText(Msg::FindFromUnreadable), file, error);
        return false;
    }
    LineReader lines(bytes.Data(), bytes.Size());
    const char* line = nullptr;
    size_t length = 0;
    WideText wide;
    while (lines.Next(&line, &length)) {
        if (Skipped(line, length))
            continue;
        // Strict UTF-8: a byte that is none is a line that cannot be a name, not a name with U+FFFD in it.
        const int units = length <= 0x7FFFFFFF ? MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, line,
                                                                     static_cast<int>(length), nullptr, 0)
                                               : 0;
        wchar_t* text = units > 0 ? wide.Allocate(static_cast<size_t>(units)) : nullptr;
        const bool good = text &&
                          MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, line, static_cast<int>(length), text,
                                              units) == units &&
                          AddLine(text, static_cast<size_t>(units), session);
        if (!good) {
            errors.Append("kagero-dump: ");
            AppendText(errors, file, TextForm::Display);
            errors.AppendByte(':');
            errors.AppendDecimal(lines.Number());
            errors.Append(": ");
            errors.Append(MessageText(Msg::FindFromBadLine));
            AppendLineStart(errors, line, length, ShownLineBytes);
            errors.Append(MessageText(Msg::UsageHint));
            return false;
        }
    }
    return true;
}

bool FindLists::AddLine(const wchar_t* line, size_t length, DWORD session)
{
    WideText text;
    const ListedName kind = ReadListedName(line, length, session, &text);
    const int number = static_cast<int>(lines_.Count());
    const wchar_t* kept = texts_.Copy(line, length);
    if (kind == ListedName::Bad || !kept || !lines_.Push(kept))
        return false;
    if (kind != ListedName::Device)
        return list_.Add(text.Get(), text.Length(), kind == ListedName::Path, number);
    WideText path;
    for (const wchar_t* devices : {L"\\GLOBAL??", L"\\??"})
        if (!JoinObjectPath(devices, text.Get(), &path) || !list_.Add(path.Get(), path.Length(), true, number))
            return false;
    return true;
}

const wchar_t* FindLists::Match(const wchar_t* path, size_t pathLength, const wchar_t* name, size_t nameLength) const
{
    const int line = list_.Match(path, pathLength, name, nameLength);
    return line < 0 ? nullptr : lines_[static_cast<size_t>(line)];
}
