#include "HolderScanJob.h"

#include <new>
#include <utility>

#include "NtStatus.h"

void (*HolderScanStopAsked)() = nullptr;

namespace {

volatile LONG LiveWorkers = 0;

}  // namespace

long LiveHolderWorkers() { return LiveWorkers; }

DWORD HolderScanJob::Start(const wchar_t* path, const wchar_t* typeName, HWND window, UINT message)
{
    Stop();
    if (!path_.Assign(path) || !typeName_.Assign(typeName))
        return ERROR_NOT_ENOUGH_MEMORY;
    scan_.Reset(new (std::nothrow) HandleScan);
    if (!scan_)
        return ERROR_NOT_ENOUGH_MEMORY;
    window_ = window;
    message_ = message;
    stop_ = 0;
    status_ = STATUS_UNSUCCESSFUL_NT;
    InterlockedIncrement(&LiveWorkers);
    worker_.Reset(CreateThread(nullptr, 0, Work, this, 0, nullptr));
    if (!worker_) {
        InterlockedDecrement(&LiveWorkers);
        const DWORD error = GetLastError();
        scan_.Reset();
        return error ? error : ERROR_NOT_ENOUGH_MEMORY;
    }
    return 0;
}

void HolderScanJob::Stop()
{
    if (!worker_)
        return;
    InterlockedExchange(&stop_, 1);
    if (HolderScanStopAsked)
        HolderScanStopAsked();
    WaitForSingleObject(worker_.Get(), INFINITE);
    worker_.Reset();
    scan_.Reset();
    // A notice posted before the stop would name a scan that is gone.
    MSG posted;
    while (PeekMessageW(&posted, window_, message_, message_, PM_REMOVE)) {
    }
}

OwnedObject<HandleScan> HolderScanJob::TakeScan(NTSTATUS* status)
{
    if (!worker_ || !scan_)
        return {};
    WaitForSingleObject(worker_.Get(), INFINITE);  // it posts just before it ends
    worker_.Reset();
    *status = status_;
    return std::move(scan_);
}

DWORD WINAPI HolderScanJob::Work(void* parameter)
{
    auto* job = static_cast<HolderScanJob*>(parameter);
    HandleScanOptions options;
    options.path = job->path_.Get();
    options.typeName = job->typeName_.Empty() ? nullptr : job->typeName_.Get();
    options.stop = &job->stop_;
    job->status_ = job->scan_->Run(options);
    if (!job->stop_)
        PostMessageW(job->window_, job->message_, 0, 0);
    InterlockedDecrement(&LiveWorkers);
    return 0;
}
