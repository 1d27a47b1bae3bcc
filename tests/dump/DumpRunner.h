// Runs the built kagero-dump.exe as a child process and reads back what it
// wrote; decodes its JSON Lines with nlohmann::json.
#pragma once

#include <windows.h>

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

struct DumpRun {
    long exitCode = -1;  // -1: it did not end in time
    std::string out;     // the bytes it wrote to stdout and stderr
    std::string err;
};

DumpRun RunDump(const std::vector<std::wstring>& arguments);
// stdout is a pipe whose reader takes readBytes bytes, then closes its end.
DumpRun RunDumpIntoClosedPipe(const std::vector<std::wstring>& arguments, size_t readBytes);

// UTF-8 to UTF-16; fails the test on bytes that are not valid UTF-8.
std::wstring FromUtf8(const std::string& text);
// Every line ended by "\n", without it.
std::vector<std::string> Lines(const std::string& output);

// One JSON line as the library parsed it; Text() gives a string member as
// the exact UTF-16 the dump was given.
struct JsonEntry {
    bool parsed = false;
    nlohmann::json object;
    std::wstring Text(const char* key) const;
    bool Has(const char* key) const { return object.contains(key); }
};
JsonEntry ParseJsonLine(const std::string& line);
