#include "TextEncoding.h"

namespace {

bool IsHighSurrogate(wchar_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(wchar_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }
bool IsControl(wchar_t unit) { return unit < 0x20 || unit == 0x7F; }

// Room for one unit in its longest form: a \uXXXX escape.
const size_t LongestUnitBytes = 6;

char* AppendUtf8(char* at, unsigned long codePoint)
{
    if (codePoint < 0x80) {
        *at++ = static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
        *at++ = static_cast<char>(0xC0 | (codePoint >> 6));
        *at++ = static_cast<char>(0x80 | (codePoint & 0x3F));
    } else if (codePoint < 0x10000) {
        *at++ = static_cast<char>(0xE0 | (codePoint >> 12));
        *at++ = static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        *at++ = static_cast<char>(0x80 | (codePoint & 0x3F));
    } else {
        *at++ = static_cast<char>(0xF0 | (codePoint >> 18));
        *at++ = static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
        *at++ = static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        *at++ = static_cast<char>(0x80 | (codePoint & 0x3F));
    }
    return at;
}

char* AppendUnicodeEscape(char* at, wchar_t unit)
{
    static const char Hex[] = "0123456789abcdef";
    *at++ = '\\';
    *at++ = 'u';
    *at++ = Hex[(unit >> 12) & 0xF];
    *at++ = Hex[(unit >> 8) & 0xF];
    *at++ = Hex[(unit >> 4) & 0xF];
    *at++ = Hex[unit & 0xF];
    return at;
}

// The short JSON escape of a control character, or 0 when it has none.
char ShortEscape(wchar_t unit)
{
    switch (unit) {
    case L'\b': return 'b';
    case L'\f': return 'f';
    case L'\n': return 'n';
    case L'\r': return 'r';
    case L'\t': return 't';
    default: return 0;
    }
}

char* AppendJsonUnit(char* at, wchar_t unit)
{
    if (unit == L'"' || unit == L'\\') {
        *at++ = '\\';
        *at++ = static_cast<char>(unit);
    } else if (IsControl(unit)) {
        const char escape = ShortEscape(unit);
        if (escape) {
            *at++ = '\\';
            *at++ = escape;
        } else {
            at = AppendUnicodeEscape(at, unit);
        }
    } else if (IsHighSurrogate(unit) || IsLowSurrogate(unit)) {
        at = AppendUnicodeEscape(at, unit);
    } else {
        at = AppendUtf8(at, unit);
    }
    return at;
}

char* AppendDisplayUnit(char* at, wchar_t unit)
{
    if (IsControl(unit))
        return AppendUtf8(at, unit == 0x7F ? 0x2421 : 0x2400 + unit);
    if (IsHighSurrogate(unit) || IsLowSurrogate(unit))
        return AppendUtf8(at, 0xFFFD);
    return AppendUtf8(at, unit);
}

}  // namespace

bool ByteBuffer::Reserve(size_t bytes)
{
    if (!failed_ && !bytes_.Reserve(bytes))
        failed_ = true;
    return !failed_;
}

void ByteBuffer::Append(const char* bytes, size_t count)
{
    if (!failed_ && !bytes_.Append(bytes, count))
        failed_ = true;
}

void ByteBuffer::Append(const char* text) { Append(text, static_cast<size_t>(lstrlenA(text))); }

void ByteBuffer::AppendByte(char byte) { Append(&byte, 1); }

void ByteBuffer::AppendDecimal(long long value)
{
    char digits[24];
    char* at = digits + sizeof(digits);
    unsigned long long magnitude = value < 0 ? 0ULL - static_cast<unsigned long long>(value)
                                             : static_cast<unsigned long long>(value);
    do {
        *--at = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude);
    if (value < 0)
        *--at = '-';
    Append(at, static_cast<size_t>(digits + sizeof(digits) - at));
}

void AppendText(ByteBuffer& out, const wchar_t* text, size_t length, TextForm form)
{
    if (length > (static_cast<size_t>(-1) - 16) / LongestUnitBytes || !out.Reserve(length * LongestUnitBytes))
        return;
    // Reserve has made room for the longest form of every unit.
    char* const start = out.Tail();
    char* at = start;
    for (size_t i = 0; i < length; ++i) {
        const wchar_t unit = text[i];
        if (unit < 0x80 && unit >= 0x20 && unit != L'"' && unit != L'\\' && unit != 0x7F) {
            *at++ = static_cast<char>(unit);
        } else if (IsHighSurrogate(unit) && i + 1 < length && IsLowSurrogate(text[i + 1])) {
            const unsigned long codePoint = 0x10000 + ((unit - 0xD800UL) << 10) + (text[i + 1] - 0xDC00UL);
            at = AppendUtf8(at, codePoint);
            ++i;
        } else if (form == TextForm::Json) {
            at = AppendJsonUnit(at, unit);
        } else {
            at = AppendDisplayUnit(at, unit);
        }
    }
    out.Commit(static_cast<size_t>(at - start));
}

void AppendText(ByteBuffer& out, const wchar_t* text, TextForm form)
{
    AppendText(out, text, static_cast<size_t>(lstrlenW(text)), form);
}
