// One scan of the holders of one object, on a worker thread of its own, so
// that the windows answer while the system's handles are asked.
#pragma once

#include <windows.h>

#include "HandleScan.h"
#include "Owned.h"
#include "WideText.h"

// For tests: called by Stop once the stop is asked, before it waits for the
// worker (null: nothing is called); and the workers that have not ended.
extern void (*HolderScanStopAsked)();
long LiveHolderWorkers();

class HolderScanJob {
public:
    HolderScanJob() = default;
    ~HolderScanJob() { Stop(); }
    HolderScanJob(const HolderScanJob&) = delete;
    HolderScanJob& operator=(const HolderScanJob&) = delete;

    // Stops any scan under way, then scans for the holders of path (an object
    // of typeName) and posts message to window when done. 0, or the Win32
    // error that kept the worker from starting.
    DWORD Start(const wchar_t* path, const wchar_t* typeName, HWND window, UINT message);
    // Ends the scan under way, if any, and drops its notice: once it returns,
    // nothing more is posted to the window.
    void Stop();

    // After the notice: the finished scan and its status, handed over (an
    // empty owner when no scan has finished). The worker has ended by then.
    OwnedObject<HandleScan> TakeScan(NTSTATUS* status);

private:
    static DWORD WINAPI Work(void* parameter);

    KernelHandle worker_;
    OwnedObject<HandleScan> scan_;
    WideText path_;
    WideText typeName_;
    HWND window_ = nullptr;
    UINT message_ = 0;
    volatile LONG stop_ = 0;
    NTSTATUS status_ = 0;
};
