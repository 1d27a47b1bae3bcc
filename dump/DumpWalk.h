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
