#include "InputFile.h"

#include <cstring>

#include "Owned.h"
#include "WideText.h"

DWORD ReadWholeFile(const wchar_t* name, ByteBuffer& bytes)
{
    const bool input = lstrcmpW(name, L"-") == 0;
    FileHandle file(input ? nullptr
                          : CreateFileW(name, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    const HANDLE from = input ? GetStdHandle(STD_INPUT_HANDLE) : file.Get();
    if (from == INVALID_HANDLE_VALUE || !from)
        return input ? ERROR_INVALID_HANDLE : GetLastError();
    const DWORD chunk = 65536;
    for (;;) {
        if (!bytes.Reserve(chunk))
            return ERROR_NOT_ENOUGH_MEMORY;
        DWORD read = 0;
        if (!ReadFile(from, bytes.Tail(), chunk, &read, nullptr)) {
            const DWORD error = GetLastError();
            // A pipe whose writer has gone is the end of the input.
            return error == ERROR_BROKEN_PIPE ? 0 : error;
        }
        if (read == 0)
            return 0;
        bytes.Commit(read);
    }
}

LineReader::LineReader(const char* data, size_t size) : at_(data), end_(data + size)
{
    if (size >= 3 && memcmp(data, "\xEF\xBB\xBF", 3) == 0)
        at_ += 3;
}

bool LineReader::Next(const char** line, size_t* length)
{
    if (at_ >= end_)
        return false;
    const char* feed = static_cast<const char*>(memchr(at_, '\n', static_cast<size_t>(end_ - at_)));
    const char* stop = feed ? feed : end_;
    *line = at_;
    *length = static_cast<size_t>(stop - at_);
    if (*length > 0 && at_[*length - 1] == '\r')
        --*length;
    at_ = feed ? feed + 1 : end_;
    ++number_;
    return true;
}

void AppendFileFailure(ByteBuffer& errors, const char* lead, const wchar_t* name, DWORD error)
{
    errors.Append("kagero-dump: ");
    errors.Append(lead);
    AppendText(errors, name, TextForm::Display);
    if (error) {
        errors.Append(u8" (エラー ");
        errors.AppendDecimal(error);
        errors.Append(")");
    }
    errors.AppendByte('\n');
}

void AppendLineStart(ByteBuffer& errors, const char* line, size_t length, size_t most)
{
    const int bytes = static_cast<int>(length < most ? length : most);
    WideText shown;
    const int units = MultiByteToWideChar(CP_UTF8, 0, line, bytes, nullptr, 0);
    wchar_t* text = units > 0 ? shown.Allocate(static_cast<size_t>(units)) : nullptr;
    if (text && MultiByteToWideChar(CP_UTF8, 0, line, bytes, text, units) == units)
        AppendText(errors, text, static_cast<size_t>(units), TextForm::Display);
}
