#include "DumpRunner.h"

#include <doctest.h>

#include <cstdlib>
#include <cwchar>

namespace {

// Quoted by the rules the child's runtime splits its command line with:
// backslashes double only before a quote.
std::wstring CommandLine(const std::vector<std::wstring>& arguments)
{
    std::wstring line = L"kagero-dump";
    for (const std::wstring& argument : arguments) {
        line += L" \"";
        size_t backslashes = 0;
        for (wchar_t c : argument) {
            if (c == L'"')
                line.append(backslashes + 1, L'\\');
            backslashes = c == L'\\' ? backslashes + 1 : 0;
            line += c;
        }
        line.append(backslashes, L'\\');
        line += L'"';
    }
    return line;
}

// A temporary file the child can inherit, gone when the test closes it.
HANDLE TemporaryFile()
{
    wchar_t directory[MAX_PATH];
    wchar_t name[MAX_PATH];
    GetTempPathW(MAX_PATH, directory);
    GetTempFileNameW(directory, L"kgd", 0, name);
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    HANDLE file = CreateFileW(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    REQUIRE(file != INVALID_HANDLE_VALUE);
    return file;
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

// Runs the dump with the given standard handles, calling whileRunning once
// it has started; its exit code, -1 when it does not end in time.
template <typename Work>
long RunWith(const std::vector<std::wstring>& arguments, HANDLE out, HANDLE err, Work whileRunning)
{
    wchar_t program[MAX_PATH] = L"Z:";  // drive Z: is the Unix root to Wine
    MultiByteToWideChar(CP_UTF8, 0, KAGERO_DUMP_EXE, -1, program + 2, MAX_PATH - 2);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = out;
    startup.hStdError = err;
    std::wstring line = CommandLine(arguments);
    PROCESS_INFORMATION process = {};
    REQUIRE(CreateProcessW(program, &line[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr, &startup,
                           &process));
    CloseHandle(process.hThread);
    whileRunning();
    DWORD exitCode = static_cast<DWORD>(-1);
    if (WaitForSingleObject(process.hProcess, 120000) == WAIT_OBJECT_0)
        GetExitCodeProcess(process.hProcess, &exitCode);
    else
        TerminateProcess(process.hProcess, static_cast<UINT>(-1));
    CloseHandle(process.hProcess);
    return static_cast<long>(exitCode);
}

// The unit of a \uXXXX escape at line[at], or -1.
long EscapedUnit(const std::string& line, size_t at)
{
    if (at + 6 > line.size() || line.compare(at, 2, "\\u") != 0)
        return -1;
    return std::strtol(line.substr(at + 2, 4).c_str(), nullptr, 16);
}

bool IsSurrogate(long unit) { return unit >= 0xD800 && unit <= 0xDFFF; }
bool IsPair(long high, long low) { return high >= 0xD800 && high <= 0xDBFF && low >= 0xDC00 && low <= 0xDFFF; }

// nlohmann::json refuses the escape of an unpaired surrogate (RFC 8259 leaves
// such escapes to the parser), yet that escape is the only exact JSON form of
// such a name. Each one becomes \u0000 and its four hex digits, which Text()
// turns back into the unit; no name here holds U+0000.
std::string MarkUnpairedSurrogates(const std::string& line)
{
    std::string marked;
    for (size_t at = 0; at < line.size();) {
        const long unit = line[at] == '\\' ? EscapedUnit(line, at) : -1;
        const size_t taken = IsPair(unit, EscapedUnit(line, at + 6)) ? 12 : line[at] == '\\' ? 2 : 1;
        if (IsSurrogate(unit) && taken == 2) {
            marked += "\\u0000" + line.substr(at + 2, 4);
            at += 6;
        } else {
            marked += line.substr(at, taken);
            at += taken;
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
    run.exitCode = RunWith(arguments, out, err, [] {});
    run.out = ReadWhole(out);
    run.err = ReadWhole(err);
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
    run.exitCode = RunWith(arguments, writer, err, [&] {
        CloseHandle(writer);  // the child holds the only writing end now
        char chunk[512];
        DWORD read = 0;
        while (run.out.size() < readBytes && ReadFile(reader, chunk, sizeof(chunk), &read, nullptr) && read > 0)
            run.out.append(chunk, read);
        CloseHandle(reader);
    });
    run.err = ReadWhole(err);
    CloseHandle(err);
    return run;
}

std::wstring FromUtf8(const std::string& text)
{
    const int size = static_cast<int>(text.size());
    const int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), size, nullptr, 0);
    CHECK_MESSAGE((length > 0 || text.empty()), "not valid UTF-8: " << text);
    std::wstring wide(static_cast<size_t>(length > 0 ? length : 0), L'\0');
    if (length > 0)
        MultiByteToWideChar(CP_UTF8, 0, text.data(), size, &wide[0], length);
    return wide;
}

std::vector<std::string> Lines(const std::string& output)
{
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = output.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(output.substr(start, end - start));
    return lines;
}

JsonEntry ParseJsonLine(const std::string& line)
{
    JsonEntry entry;
    entry.object = nlohmann::json::parse(MarkUnpairedSurrogates(line), nullptr, false);
    entry.parsed = entry.object.is_object();
    return entry;
}

std::wstring JsonEntry::Text(const char* key) const
{
    if (!parsed || !object.contains(key) || !object[key].is_string())
        return std::wstring();
    const std::wstring decoded = FromUtf8(object[key].get<std::string>());
    std::wstring text;
    for (size_t at = 0; at < decoded.size(); ++at) {
        const bool marked = decoded[at] == L'\0' && at + 4 < decoded.size();
        text += marked ? static_cast<wchar_t>(wcstoul(decoded.substr(at + 1, 4).c_str(), nullptr, 16)) : decoded[at];
        at += marked ? 4 : 0;
    }
    return text;
}
