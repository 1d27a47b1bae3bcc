#include "DumpRunner.h"

#include <doctest.h>

#include <cwchar>

namespace {

const DWORD ChildTimeoutMs = 120000;

// One argument quoted by the rules the child's runtime splits its command
// line with: backslashes double only before a quote.
void AppendQuoted(std::wstring& line, const std::wstring& argument)
{
    line += L" \"";
    size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        line.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        backslashes = 0;
        line += c;
    }
    line.append(2 * backslashes, L'\\');
    line += L'"';
}

std::wstring CommandLine(const std::vector<std::wstring>& arguments)
{
    std::wstring line = L"kagero-dump";
    for (const std::wstring& argument : arguments)
        AppendQuoted(line, argument);
    return line;
}

std::wstring ProgramPath()
{
    wchar_t path[MAX_PATH] = L"Z:";  // drive Z: is the Unix root to Wine
    MultiByteToWideChar(CP_UTF8, 0, KAGERO_DUMP_EXE, -1, path + 2, MAX_PATH - 2);
    return path;
}

// A temporary file the child can inherit, gone when the test closes it.
HANDLE TemporaryFile()
{
    wchar_t directory[MAX_PATH];
    wchar_t name[MAX_PATH];
    GetTempPathW(MAX_PATH, directory);
    GetTempFileNameW(directory, L"kgd", 0, name);
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    return CreateFileW(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                       &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
}

std::string ReadWhole(HANDLE file)
{
    std::string bytes;
    SetFilePointer(file, 0, nullptr, FILE_BEGIN);
    char chunk[65536];
    DWORD read = 0;
    while (ReadFile(file, chunk, sizeof(chunk), &read, nullptr) && read > 0)
        bytes.append(chunk, read);
    return bytes;
}

// Starts the dump with the given standard handles; null on failure.
HANDLE StartDump(const std::vector<std::wstring>& arguments, HANDLE out, HANDLE err)
{
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nullptr;
    startup.hStdOutput = out;
    startup.hStdError = err;
    std::wstring line = CommandLine(arguments);
    PROCESS_INFORMATION process = {};
    const std::wstring program = ProgramPath();
    if (!CreateProcessW(program.c_str(), &line[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr,
                        &startup, &process))
        return nullptr;
    CloseHandle(process.hThread);
    return process.hProcess;
}

long WaitForExit(HANDLE process)
{
    DWORD exitCode = static_cast<DWORD>(-1);
    if (WaitForSingleObject(process, ChildTimeoutMs) == WAIT_OBJECT_0)
        GetExitCodeProcess(process, &exitCode);
    else
        TerminateProcess(process, 99);
    CloseHandle(process);
    return static_cast<long>(exitCode);
}

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The unit of the \uXXXX escape at line[at], or -1.
long EscapedUnit(const std::string& line, size_t at)
{
    if (at + 6 > line.size() || line[at] != '\\' || line[at + 1] != 'u')
        return -1;
    long unit = 0;
    for (size_t i = at + 2; i < at + 6; ++i) {
        const int digit = HexValue(line[i]);
        if (digit < 0)
            return -1;
        unit = unit * 16 + digit;
    }
    return unit;
}

bool IsHigh(long unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLow(long unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// nlohmann::json refuses the escape of an unpaired surrogate (RFC 8259
// leaves such escapes to the parser), yet that escape is the only exact JSON
// form of such a name. Each one is rewritten as \u0000 and its four hex
// digits, which Text() turns back into the unit; no name here holds U+0000.
std::string MarkUnpairedSurrogates(const std::string& line)
{
    std::string marked;
    for (size_t at = 0; at < line.size();) {
        if (line[at] != '\\') {
            marked += line[at++];
            continue;
        }
        const long unit = EscapedUnit(line, at);
        const bool paired = IsHigh(unit) && IsLow(EscapedUnit(line, at + 6));
        if (paired) {
            marked.append(line, at, 12);
            at += 12;
        } else if (IsHigh(unit) || IsLow(unit)) {
            marked += "\\u0000";
            marked.append(line, at + 2, 4);
            at += 6;
        } else {
            marked.append(line, at, 2);
            at += 2;
        }
    }
    return marked;
}

}  // namespace

DumpRun RunDump(const std::vector<std::wstring>& arguments)
{
    DumpRun run;
    HANDLE out = TemporaryFile();
    HANDLE err = TemporaryFile();
    REQUIRE(out != INVALID_HANDLE_VALUE);
    REQUIRE(err != INVALID_HANDLE_VALUE);
    if (HANDLE process = StartDump(arguments, out, err)) {
        run.exitCode = WaitForExit(process);
        run.out = ReadWhole(out);
        run.err = ReadWhole(err);
    }
    CloseHandle(out);
    CloseHandle(err);
    return run;
}

DumpRun RunDumpIntoClosedPipe(const std::vector<std::wstring>& arguments, size_t readBytes)
{
    DumpRun run;
    HANDLE reader = nullptr;
    HANDLE writer = nullptr;
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    REQUIRE(CreatePipe(&reader, &writer, &inherit, 4096));
    SetHandleInformation(reader, HANDLE_FLAG_INHERIT, 0);
    HANDLE err = TemporaryFile();
    HANDLE process = StartDump(arguments, writer, err);
    CloseHandle(writer);  // the child holds the only writing end now
    std::string taken;
    char chunk[512];
    DWORD read = 0;
    while (taken.size() < readBytes && ReadFile(reader, chunk, sizeof(chunk), &read, nullptr) && read > 0)
        taken.append(chunk, read);
    CloseHandle(reader);
    if (process) {
        run.exitCode = WaitForExit(process);
        run.out = taken;
        run.err = ReadWhole(err);
    }
    CloseHandle(err);
    return run;
}

std::wstring FromUtf8(const std::string& text)
{
    if (text.empty())
        return std::wstring();
    const int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()),
                                           nullptr, 0);
    CHECK_MESSAGE(length > 0, "not valid UTF-8: " << text);
    std::wstring wide(static_cast<size_t>(length > 0 ? length : 0), L'\0');
    if (length > 0)
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &wide[0], length);
    return wide;
}

std::vector<std::string> Lines(const std::string& output)
{
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = output.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(output.substr(start, end - start));
    if (start < output.size())
        lines.push_back(output.substr(start));
    return lines;
}

JsonEntry ParseJsonLine(const std::string& line)
{
    JsonEntry entry;
    entry.object = nlohmann::json::parse(MarkUnpairedSurrogates(line), nullptr, false);
    entry.parsed = !entry.object.is_discarded() && entry.object.is_object();
    return entry;
}

std::wstring JsonEntry::Text(const char* key) const
{
    if (!parsed || !object.contains(key) || !object[key].is_string())
        return std::wstring();
    const std::wstring decoded = FromUtf8(object[key].get<std::string>());
    std::wstring text;
    for (size_t at = 0; at < decoded.size(); ++at) {
        if (decoded[at] == L'\0' && at + 4 < decoded.size()) {
            text += static_cast<wchar_t>(wcstoul(decoded.substr(at + 1, 4).c_str(), nullptr, 16));
            at += 4;
        } else {
            text += decoded[at];
        }
    }
    return text;
}
