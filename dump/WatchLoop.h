// kagero-dump --watch: a look at PATH's subtree every interval, and the
// entries created and deleted since the one before written as they are seen.
#pragma once

#include <windows.h>

#include "DumpOptions.h"
#include "EntryHolders.h"
#include "EntryReader.h"
#include "OutputChannel.h"
#include "SubtreeSnapshot.h"

class Watcher {
public:
    // outputHandle: output's own handle, probed between looks.
    Watcher(const DumpOptions& options, OutputChannel& output, OutputChannel& errors, HANDLE outputHandle);
    Watcher(const Watcher&) = delete;
    Watcher& operator=(const Watcher&) = delete;

    // Until Ctrl+C or Ctrl+Break (0), or until PATH is gone, cannot be
    // listed at first, is no directory, or the output goes away (1).
    int Run();
    // One look, its changes written and flushed. The first writes none, nor
    // does one after looks cut short by memory alone, which only say so.
    // false when the watch cannot go on (said on errors).
    bool Look(bool first);

private:
    struct Stamp {
        char local[16];  // HH:MM:SS.mmm
        char utc[32];    // ISO 8601 with milliseconds and Z
    };
    void Compare(const SubtreeSnapshot& before, const SubtreeSnapshot& now);
    void Change(bool created, const SubtreeSnapshot& snapshot, size_t i);
    void ReportFailures(const SubtreeSnapshot& before, const SubtreeSnapshot& now, const SubtreeSnapshot& recovered);
    void Report(const wchar_t* path, const wchar_t* reason, bool listable);
    void ReportScan(NTSTATUS status, const GrowingArray<DWORD>& before, const GrowingArray<DWORD>& now);
    void Prefix(const char* event, char sign);
    void Splice();
    bool OutputGone();

    const DumpOptions& options_;
    OutputChannel& output_;
    OutputChannel& errors_;
    HANDLE outputHandle_;
    EntryReader reader_;  // a created entry's line, read again for --details
    ByteBuffer scratch_;        // one entry's line, before its prefix
    const wchar_t* root_;
    // Entries and failed directories (with the reason as type), before and now.
    SubtreeSnapshot entries_[2];
    SubtreeSnapshot failures_[2];
    SubtreeSnapshot recovered_;
    // With --holders or --held-by, a scan per look, before and now: a deleted
    // entry is chosen by its holders at the look before.
    bool scanning_;
    EntryHolders holders_[2];
    KernelPaths paths_;
    int before_ = 0;
    bool seen_ = false;  // a whole look has been taken
    Stamp stamp_ = {};
};

int RunWatch(const DumpOptions& options, OutputChannel& output, OutputChannel& errors, HANDLE outputHandle);
