// Runs the built kagero-dump.exe as a child process and reads back what it
// wrote, and decodes its JSON Lines with nlohmann::json.
#pragma once

#include <windows.h>

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

struct DumpRun {
    long exitCode = -1;  // -1: it did not end in time
    std::string out;     // the bytes of stdout and stderr
    std::string err;
};

DumpRun RunDump(const std::vector<std::wstring>& arguments);

// Runs the dump with stdout on a pipe whose reader takes readBytes bytes
// and then closes its end; the dump's exit code and its stderr.
DumpRun RunDumpIntoClosedPipe(const std::vector<std::wstring>& arguments, size_t readBytes);

// UTF-8 to UTF-16; fails the test on bytes that are not valid UTF-8.
std::wstring FromUtf8(const std::string& text);

// The output split at "\n" (the last, empty piece dropped).
std::vector<std::string> Lines(const std::string& output);

// One JSON line parsed, with its texts as the exact UTF-16 the dump was
// given. parsed is false when the library refuses the line.
struct JsonEntry {
    bool parsed = false;
    nlohmann::json object;
    std::wstring Text(const char* key) const;
    bool Has(const char* key) const { return object.contains(key); }
};
JsonEntry ParseJsonLine(const std::string& line);
