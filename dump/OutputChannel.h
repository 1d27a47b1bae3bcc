// Where the dump's lines go: a console gets them in its own characters
// through WriteConsoleW, anything else (a file, a pipe) gets UTF-8.
#pragma once

#include <windows.h>

#include "TextEncoding.h"

class OutputChannel {
public:
    explicit OutputChannel(HANDLE handle);
    OutputChannel(const OutputChannel&) = delete;
    OutputChannel& operator=(const OutputChannel&) = delete;

    // Lines are built here in UTF-8 and leave on Flush.
    ByteBuffer& Buffer() { return buffer_; }
    // Writes what the buffer holds. false once the output is gone (a closed
    // handle, a pipe whose reader left, a full disk): from then on every
    // write is dropped.
    bool Flush();
    // Flushes only once the buffer holds a good amount, so that a file is
    // written in large pieces.
    bool FlushWhenFull();
    // Before the walk waits on the kernel: a reader of a pipe or a console
    // sees every line written so far; a file still gets large pieces.
    bool FlushBeforeWaiting() { return toFile_ ? FlushWhenFull() : Flush(); }
    bool Broken() const { return broken_ || buffer_.Failed(); }
    bool IsConsole() const { return console_; }

private:
    bool WriteBytes(const char* bytes, size_t count);
    bool WriteToConsole(const char* bytes, size_t count);

    HANDLE handle_;
    bool console_ = false;
    bool toFile_ = false;
    bool broken_ = false;
    ByteBuffer buffer_;
};
