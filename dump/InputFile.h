// The files kagero-dump reads: lists of names and saved dumps, each read
// whole before the walk, then taken line by line.
#pragma once

#include <windows.h>

#include <cstddef>

#include "TextEncoding.h"

// The bytes of the file called name, or of standard input for "-": 0, or the
// Win32 error (ERROR_NOT_ENOUGH_MEMORY when they do not fit in memory).
DWORD ReadWholeFile(const wchar_t* name, ByteBuffer& bytes);

// The lines of bytes, a byte-order mark before the first taken off, each
// line's "\r\n" or "\n" too; the last line needs no line feed.
class LineReader {
public:
    LineReader(const char* data, size_t size);
    // The next line; false after the last.
    bool Next(const char** line, size_t* length);
    // The number of the line Next gave last, from 1.
    int Number() const { return number_; }

private:
    const char* at_;
    const char* end_;
    int number_ = 0;
};

// At most most bytes of a line that could not be taken, as a person reads
// them (what is no UTF-8 as U+FFFD), for finding the line by.
void AppendLineStart(ByteBuffer& errors, const char* line, size_t length, size_t most);

// "kagero-dump: " lead, FILE, and " (エラー N)" after it when error is not 0, and a line feed.
void AppendFileFailure(ByteBuffer& errors, const char* lead, const wchar_t* name, DWORD error);
