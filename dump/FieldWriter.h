// The fields after an entry's path and type: "key": value pairs for JSON,
// <TAB>key=value for text. Texts are quoted in JSON and bare in text.
#pragma once

#include <cstddef>

#include "TextEncoding.h"

// Room for "0x", sixteen digits and the terminator.
const size_t HexTextChars = 19;
// "0x" and value's upper-case hexadecimal digits, at least minDigits of them
// (masks take eight, handle values as few as they need), written at the end
// of text; returns where they start.
const char* FormatHex(unsigned long long value, int minDigits, char (&text)[HexTextChars]);

class FieldWriter {
public:
    FieldWriter(ByteBuffer& out, bool json) : out_(out), json_(json) {}

    void Key(const char* key);
    void Number(const char* key, long long value);
    void Flag(const char* key, bool value);
    void Word(const char* key, const char* value);  // ASCII
    void Text(const char* key, const wchar_t* value, size_t length);
    void Text(const char* key, const wchar_t* value);

    // A value alone, for one made of parts.
    void Value(const char* value);
    void Value(const wchar_t* value, size_t length);

    ByteBuffer& Out() { return out_; }
    bool Json() const { return json_; }

private:
    void Quote();  // in JSON alone

    ByteBuffer& out_;
    bool json_;
};
