// The holders of the dump's entries (--holders, --held-by): one scan of every
// other process's handles, each entry looked up in it by the kernel's name
// for its object, and the words and fields that say what was found.
#pragma once

#include <windows.h>

#include <cstddef>

#include "DumpOptions.h"
#include "FieldWriter.h"
#include "GrowingArray.h"
#include "HandleScan.h"
#include "TextEncoding.h"
#include "WideText.h"

// An entry's handles in a scan: Handle(first) to Handle(first + count - 1),
// each process's together, in pid order.
// With file, only the handles to that file below the device (letter case
// ignored).
struct EntryHolding {
    const HandleScan* scan;
    size_t first;
    size_t count;
    const wchar_t* file;
    size_t fileLength;
};

// One scan, and the --held-by programs found in its process list.
class EntryHolders {
public:
    EntryHolders() = default;
    EntryHolders(const EntryHolders&) = delete;
    EntryHolders& operator=(const EntryHolders&) = delete;

    // Scans every process's handles (every type but File) and finds the
    // --held-by programs among the processes of this scan, so that a
    // program started again is followed under its new id. 0 or the scan's
    // failure.
    NTSTATUS Take(const DumpOptions& options);
    // The handles to the object the kernel names path.
    EntryHolding Find(const wchar_t* path) const;
    // Whether --held-by keeps the entry: one of its programs holds it.
    // Always, without --held-by.
    bool Chosen(const EntryHolding& holding) const;
    const GrowingArray<DWORD>& NotExamined() const { return scan_.NotExamined(); }
    const HandleScan& Scan() const { return scan_; }
    // Whether --held-by names only this process, whose own handles the scan leaves out.
    bool ChoosesOnlySelf() const;

private:
    HandleScan scan_;
    GrowingArray<DWORD> chosen_;  // the processes --held-by names
    bool choosing_ = false;
};

// The walk's paths under the kernel's names for their objects: a PATH
// reached through a link names them otherwise, and a scan knows an object
// by the kernel's name alone.
class KernelPaths {
public:
    // Reads the kernel's name of the directory as typed (the walk's root, or
    // the parent of a PATH that is no directory). Without one, paths are
    // looked up as they are.
    void SetRoot(const wchar_t* typed);
    // path (under that directory) by the kernel's name, valid until the next
    // call; null when memory ran out.
    const wchar_t* Map(const wchar_t* path, size_t length);

private:
    size_t typedLength_ = 0;
    WideText kernel_;  // empty: the typed name is the kernel's
    GrowingArray<wchar_t> mapped_;
};

// The first --held-by program that names no running process; null when each
// names one, or when the list of processes cannot be read (the scan then
// says why).
const wchar_t* FindMissingProgram(const DumpOptions& options);

// The holders field: in text PROGRAM(PID) for each process, once however
// many handles it holds, separated by commas (nothing for none); in JSON an
// array of {"process", "pid", "handles": [{"handle", "access"}]}, a file's
// handle with "file" too: its name below the device.
void AppendHolders(FieldWriter& fields, const EntryHolding& holding);

// What a scan could not see: a line for errors and, when object is given,
// the JSON object for the output. The processes not examined, by id:
void AppendNotExamined(ByteBuffer& errors, ByteBuffer* object, const DWORD* pids, size_t count);
// The files whose name did not come in time: how many, and their processes.
void AppendStuckNames(ByteBuffer& errors, ByteBuffer* object, const HandleScan& scan);
// A scan that failed as a whole:
void AppendScanFailure(ByteBuffer& errors, ByteBuffer* object, NTSTATUS status);
