#include "FieldWriter.h"

void FieldWriter::Key(const char* key)
{
    if (json_) {
        out_.Append(", \"");
        out_.Append(key);
        out_.Append("\": ");
    } else {
        out_.AppendByte('\t');
        out_.Append(key);
        out_.AppendByte('=');
    }
}

void FieldWriter::Number(const char* key, long long value)
{
    Key(key);
    out_.AppendDecimal(value);
}

void FieldWriter::Flag(const char* key, bool value)
{
    Key(key);
    out_.Append(value ? "true" : "false");
}

void FieldWriter::Word(const char* key, const char* value)
{
    Key(key);
    Value(value);
}

void FieldWriter::Text(const char* key, const wchar_t* value, size_t length)
{
    Key(key);
    Value(value, length);
}

void FieldWriter::Text(const char* key, const wchar_t* value)
{
    Text(key, value, static_cast<size_t>(lstrlenW(value)));
}

void FieldWriter::Value(const char* value)
{
    Quote();
    out_.Append(value);
    Quote();
}

void FieldWriter::Value(const wchar_t* value, size_t length)
{
    Quote();
    AppendText(out_, value, length, json_ ? TextForm::Json : TextForm::Display);
    Quote();
}

void FieldWriter::Quote()
{
    if (json_)
        out_.AppendByte('"');
}

const char* FormatHex(unsigned long long value, int minDigits, char (&text)[HexTextChars])
{
    char* at = text + HexTextChars - 1;
    *at = '\0';
    for (int i = 0; i < 16 && (i < minDigits || value != 0); ++i, value >>= 4)
        *--at = "0123456789ABCDEF"[value & 0xF];
    *--at = 'x';
    *--at = '0';
    return at;
}
