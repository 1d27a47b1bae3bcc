// The walk that streams the namespace below a path to the output, depth
// first, each directory's entries in name order.
#pragma once

#include "DumpOptions.h"
#include "OutputChannel.h"

// Returns the exit code: 0, or 1 when the path or a directory below it could
// not be listed (each said on errors) or the output went away (said nowhere).
int RunDump(const DumpOptions& options, OutputChannel& output, OutputChannel& errors);

// The whole program over its arguments: 2 for a bad command line.
int RunDumpProgram(int argc, wchar_t** argv, HANDLE output, HANDLE errors);

// Takes a walk's entries instead of an output: the watch's look. Entries come
// in the dump's order, the filters applied; a link with the target read.
class WalkSink {
public:
    virtual void Entry(const WideText& path, const wchar_t* typeName, const WideText* target) = 0;
    // A directory listed, and one that could not be (PATH's own failure too).
    virtual void Listed(const wchar_t* path) = 0;
    virtual void Failure(const wchar_t* path, NTSTATUS status) = 0;

protected:
    ~WalkSink() = default;
};

// The dump's walk into sink: nothing is written and no details are read.
void WalkIntoSink(const DumpOptions& options, WalkSink& sink);
