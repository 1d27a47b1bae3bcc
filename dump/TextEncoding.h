// UTF-16 names from the kernel turned into UTF-8 output, in the two forms the
// dump writes: JSON string contents that give back the exact UTF-16 name, and
// display text that keeps one entry on one line.
#pragma once

#include <windows.h>

#include <cstddef>

#include "GrowingArray.h"

// A growable byte buffer on the process heap. A failed growth marks it
// failed and drops the bytes; nothing is written past its end.
class ByteBuffer {
public:
    ByteBuffer() : bytes_(4096) {}
    ByteBuffer(const ByteBuffer&) = delete;
    ByteBuffer& operator=(const ByteBuffer&) = delete;

    // Room for bytes more; false (and marked failed) when memory runs out.
    bool Reserve(size_t bytes);
    void Append(const char* bytes, size_t count);
    void Append(const char* text);  // NUL-terminated ASCII
    void AppendByte(char byte);
    void AppendDecimal(long long value);
    void Clear() { bytes_.Clear(); }
    // Memory ran out for what was to be written: the bytes are dropped.
    void MarkFailed()
    {
        bytes_.Clear();
        failed_ = true;
    }
    // Writing in place: Tail is where the next byte goes, and Commit counts
    // bytes written there (after a Reserve that made room for them).
    char* Tail() { return bytes_.Tail(); }
    void Commit(size_t bytes) { bytes_.Commit(bytes); }

    const char* Data() const { return bytes_.Data(); }
    size_t Size() const { return bytes_.Count(); }
    bool Failed() const { return failed_; }

private:
    GrowingArray<char> bytes_;
    bool failed_ = false;
};

enum class TextForm {
    // JSON string contents: '"' and '\' escaped, control characters and
    // unpaired surrogates as \uXXXX, everything else as UTF-8.
    Json,
    // For people and line tools: an unpaired surrogate becomes U+FFFD, a
    // control character its Control Pictures sign (U+2400 + code, U+2421
    // for DEL), so that a name never breaks the line or the tab columns.
    Display,
};

// Appends length UTF-16 units of text in the given form.
void AppendText(ByteBuffer& out, const wchar_t* text, size_t length, TextForm form);
void AppendText(ByteBuffer& out, const wchar_t* text, TextForm form);
