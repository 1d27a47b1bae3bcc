#include "OutputChannel.h"

#include "Owned.h"

namespace {

const size_t FullBufferBytes = 64 * 1024;
// WriteConsoleW is given at most this many characters at a time.
const DWORD ConsoleChunkChars = 8192;

bool IsHighSurrogate(wchar_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }

}  // namespace

OutputChannel::OutputChannel(HANDLE handle) : handle_(handle)
{
    DWORD mode = 0;
    const bool valid = handle && handle != INVALID_HANDLE_VALUE;
    console_ = valid && GetConsoleMode(handle, &mode);
    toFile_ = valid && GetFileType(handle) == FILE_TYPE_DISK;
}

bool OutputChannel::Flush()
{
    if (Broken()) {
        buffer_.Clear();
        return false;
    }
    const bool written = buffer_.Size() == 0 || (console_ ? WriteToConsole(buffer_.Data(), buffer_.Size())
                                                          : WriteBytes(buffer_.Data(), buffer_.Size()));
    buffer_.Clear();
    broken_ = !written;
    return written;
}

bool OutputChannel::FlushWhenFull() { return buffer_.Size() < FullBufferBytes ? !Broken() : Flush(); }

bool OutputChannel::WriteBytes(const char* bytes, size_t count)
{
    while (count > 0) {
        const DWORD piece = count > 0x40000000 ? 0x40000000 : static_cast<DWORD>(count);
        DWORD written = 0;
        if (!WriteFile(handle_, bytes, piece, &written, nullptr) || written == 0)
            return false;
        bytes += written;
        count -= written;
    }
    return true;
}

// The buffer holds whole lines of valid UTF-8 (the encoder made them), so
// the conversion back to UTF-16 loses nothing.
bool OutputChannel::WriteToConsole(const char* bytes, size_t count)
{
    if (count > 0x7FFFFFFF)
        return false;
    const int chars = MultiByteToWideChar(CP_UTF8, 0, bytes, static_cast<int>(count), nullptr, 0);
    if (chars <= 0)
        return false;
    HeapBlock<wchar_t> block(
        static_cast<wchar_t*>(HeapAlloc(GetProcessHeap(), 0, static_cast<size_t>(chars) * sizeof(wchar_t))));
    wchar_t* text = block.Get();
    if (!text)
        return false;
    MultiByteToWideChar(CP_UTF8, 0, bytes, static_cast<int>(count), text, chars);
    bool written = true;
    for (DWORD at = 0; written && at < static_cast<DWORD>(chars);) {
        DWORD piece = static_cast<DWORD>(chars) - at;
        if (piece > ConsoleChunkChars)
            piece = IsHighSurrogate(text[at + ConsoleChunkChars - 1]) ? ConsoleChunkChars - 1 : ConsoleChunkChars;
        DWORD done = 0;
        written = WriteConsoleW(handle_, text + at, piece, &done, nullptr) && done > 0;
        at += done;
    }
    return written;
}
