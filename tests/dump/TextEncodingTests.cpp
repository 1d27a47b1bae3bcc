// The one encoder behind both output formats: exact JSON escapes, and
// display text that keeps an entry on one line.
#include <doctest.h>

#include <string>

#include "TextEncoding.h"

TEST_CASE("text encoding: JSON escapes and display text for every kind of UTF-16 unit")
{
    struct EncodingCase {
        std::wstring text;
        const char* json;
        const char* display;
    };
    const EncodingCase cases[] = {
        {L"Device\\Null", "Device\\\\Null", "Device\\Null"},
        {L"say \"%s%n\"", "say \\\"%s%n\\\"", "say \"%s%n\""},
        {L"\t\n\r\b\f", "\\t\\n\\r\\b\\f", u8"␉␊␍␈␌"},
        {std::wstring(L"\x01\x1F\x7F\0", 4), "\\u0001\\u001f\\u007f\\u0000", u8"␁␟␡␀"},
        {L"\x80\x7FF\x800\xFFFF", "\xC2\x80\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF", "\xC2\x80\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF"},
        {L"日本語", u8"日本語", u8"日本語"},
        {L"\xD83D\xDE00\xDBFF\xDFFF", "\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF", "\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF"},
        // Unpaired surrogates: inside, at the end, a high before a pair, a low before a high.
        {L"a\xD800z", "a\\ud800z", u8"a\uFFFDz"},
        {L"x\xDBFF", "x\\udbff", u8"x\uFFFD"},
        {L"\xD800\xD800\xDC00", "\\ud800\xF0\x90\x80\x80", u8"\uFFFD\xF0\x90\x80\x80"},
        {L"\xDC00\xD800", "\\udc00\\ud800", u8"\uFFFD\uFFFD"},
    };
    for (const EncodingCase& c : cases) {
        CAPTURE(c.json);
        for (TextForm form : {TextForm::Json, TextForm::Display}) {
            ByteBuffer out;
            out.Append("<");
            AppendText(out, c.text.data(), c.text.size(), form);
            CHECK(std::string(out.Data(), out.Size()) == std::string("<") + (form == TextForm::Json ? c.json : c.display));
        }
    }
}
