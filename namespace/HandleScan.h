// Which processes hold which named objects. One snapshot of the system's
// handle table and one of the process list; then each handle of every other
// process is duplicated into ours just long enough to ask its object's name
// (the table gives no object addresses under Wine, so names are what can be
// matched). A file's name is asked on a thread of its own with a time limit
// (a name query on a pipe can block for good), and the file is kept as held
// on the device its name lies on.
#pragma once

#include <windows.h>

#include <cstddef>

#include "FileDevices.h"
#include "GrowingArray.h"
#include "NameQueryThread.h"
#include "SystemTables.h"

struct HandleScanOptions {
    // Only handles to objects of this type (its name as the kernel gives it,
    // letter case ignored), and files too when it is Device; null or empty:
    // every type.
    const wchar_t* typeName = nullptr;
    // Only handles to this object, by its full path (letter case ignored,
    // as the kernel compares names); null: every named object.
    const wchar_t* path = nullptr;
    // false: each name asked and dropped, none kept (the bare scan).
    bool keepNames = true;
    // Read between two handles: non-zero ends the scan with STATUS_CANCELLED.
    volatile LONG* stop = nullptr;
};

// One handle to a named object, as a scan kept it.
struct HeldHandle {
    DWORD pid;
    const wchar_t* program;  // the process's image name; "" when the process list lacks it
    ULONG_PTR value;         // the handle's value in its process
    ACCESS_MASK access;      // as granted
    const wchar_t* name;     // the object's full name as the kernel gave it, terminated; a file's device
    size_t nameLength;
    const wchar_t* file;     // a file's name below its device, terminated (maybe empty); null for no file
    size_t fileLength;
};

struct HandleScanCounts {
    size_t tableHandles;     // rows in the handle table, every process's
    size_t duplicated;       // handles of other processes duplicated and asked
    size_t named;            // of them, those with a name
    size_t processesOpened;  // processes opened to duplicate from
    size_t processesEnded;   // processes that ended after the snapshot: skipped
    size_t stuckNames;       // files whose name did not come in time (or was never asked: too many stuck)
};

class HandleScan {
public:
    HandleScan() = default;
    HandleScan(const HandleScan&) = delete;
    HandleScan& operator=(const HandleScan&) = delete;

    // Takes the snapshots and asks every handle the options select, leaving
    // out our own process. 0, or the failure of a snapshot, memory, or
    // STATUS_CANCELLED; on a failure nothing is kept. Every handle it opens
    // is closed before it returns.
    NTSTATUS Run(const HandleScanOptions& options);

    // The kept handles, sorted by name (letter case ignored), then pid, then value.
    size_t Count() const { return items_.Count(); }
    HeldHandle Handle(size_t i) const;
    // The handles to path: their number, the first one's index in *first.
    size_t Find(const wchar_t* path, size_t* first) const;
    // How many processes hold path.
    size_t ProcessesHolding(const wchar_t* path) const;
    // Whether one of pids holds path.
    bool HeldByAny(size_t first, size_t count, const GrowingArray<DWORD>& pids) const;

    const ProcessList& Processes() const { return processes_; }
    // The processes that could not be opened, or none of whose handles
    // could be duplicated: what they hold is unknown.
    const GrowingArray<DWORD>& NotExamined() const { return notExamined_; }
    const HandleScanCounts& Counts() const { return counts_; }
    // The processes holding the files Counts().stuckNames counts, by id, each once.
    const GrowingArray<DWORD>& StuckPids() const { return stuckPids_; }

private:
    struct Row {  // one handle of the table
        DWORD pid;
        USHORT type;       // the table's type number: no proof of the type once the value was reused
        ULONG_PTR value;
        ACCESS_MASK access;
        ULONG_PTR object;  // the object's address; 0 where the table gives none
    };
    struct Item {  // one kept handle; its name and key in texts_
        DWORD pid;
        ACCESS_MASK access;
        ULONG_PTR value;
        size_t nameAt;
        size_t nameLength;
        size_t fileAt;      // after the key; SIZE_MAX for no file
        size_t fileLength;
    };
    NTSTATUS TakeRows(GrowingArray<Row>* rows, HANDLE own, HANDLE file, ULONG_PTR* address);
    NTSTATUS KeepByAddress(const GrowingArray<Row>& rows, ULONG_PTR address);
    NTSTATUS ScanProcess(const Row* rows, size_t count);
    bool Asked(const Row& row) const { return chosenNumber_ == NoNumber || row.type == chosenNumber_; }
    NTSTATUS AskHandle(HANDLE process, const Row& row, NTSTATUS* duplicated);
    NTSTATUS AskFile(const Row& row, HANDLE copy);
    void CountStuck(DWORD pid);
    bool Keep(const Row& row, const wchar_t* name, size_t length, const wchar_t* file = nullptr, size_t fileLength = 0);
    const wchar_t* Key(const Item& item) const { return texts_.Data() + item.nameAt + item.nameLength + 1; }
    size_t LowerBound(const wchar_t* key, size_t length) const;
    void Clear();

    HandleScanOptions options_;
    GrowingArray<wchar_t> wanted_;    // options_.path upper-cased
    GrowingArray<BYTE> query_;        // a name query's answer
    GrowingArray<Item> items_;
    GrowingArray<wchar_t> texts_;     // each kept name, then its upper-cased key, each terminated
    ProcessList processes_;
    GrowingArray<DWORD> notExamined_;
    GrowingArray<DWORD> stuckPids_;
    GrowingArray<wchar_t> resolved_;  // a file's name through the links to its device
    FileDevices devices_;
    NameQueryThread names_;
    long letGo_ = 0;                  // query threads this scan let go
    static const int NoNumber = -1;
    int chosenNumber_ = NoNumber;     // the table's number of the chosen type, from our own handle; else every row asked
    HandleScanCounts counts_ = {};
};
