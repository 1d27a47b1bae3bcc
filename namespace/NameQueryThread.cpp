#include "NameQueryThread.h"

#include <new>

#include "NtStatus.h"
#include "ObjectQueries.h"
#include "SystemTables.h"

namespace {

volatile LONG Stuck = 0;

enum State : LONG { Idle = 0, Asking = 1, Answered = 2, LetGoAsking = 3, Quit = 4 };

// The waits are cut into slices so that a stop is seen soon.
const DWORD SliceMs = 25;

}  // namespace

long StuckNameQueries() { return Stuck; }

// What the asker and the thread share; freed by whichever lets go last.
struct NameQueryThread::Shared {
    volatile LONG references = 2;
    volatile LONG state = Idle;
    HANDLE request = nullptr;   // set: a handle to ask, or the state says quit
    HANDLE answered = nullptr;  // set: the answer is in
    HANDLE handle = nullptr;
    NTSTATUS status = 0;
    const wchar_t* name = L"";
    size_t length = 0;
    GrowingArray<BYTE> buffer{1};

    ~Shared()
    {
        if (request)
            CloseHandle(request);
        if (answered)
            CloseHandle(answered);
    }
    void Release()
    {
        if (InterlockedDecrement(&references) == 0)
            delete this;
    }
    static DWORD WINAPI Work(void* parameter);
};

DWORD WINAPI NameQueryThread::Shared::Work(void* parameter)
{
    auto* shared = static_cast<Shared*>(parameter);
    while (WaitForSingleObject(shared->request, INFINITE) == WAIT_OBJECT_0 && shared->state == Asking) {
        shared->status = QueryObjectName(shared->handle, &shared->buffer, &shared->name, &shared->length);
        CloseScanHandle(shared->handle);
        shared->handle = nullptr;
        if (InterlockedCompareExchange(&shared->state, Answered, Asking) != Asking) {
            InterlockedDecrement(&Stuck);  // let go while it asked: nobody waits for this answer
            break;
        }
        SetEvent(shared->answered);
    }
    shared->Release();
    return 0;
}

NameAnswer NameQueryThread::Ask(HANDLE handle, volatile LONG* stop, NTSTATUS* status, const wchar_t** name,
                                size_t* length)
{
    if (!shared_ && Stuck < MostStuckQueries) {
        Shared* shared = new (std::nothrow) Shared;
        if (shared) {
            shared->request = CreateEventW(nullptr, FALSE, FALSE, nullptr);
            shared->answered = CreateEventW(nullptr, FALSE, FALSE, nullptr);
            HANDLE thread = shared->request && shared->answered ? CreateThread(nullptr, 0, Shared::Work, shared, 0, nullptr)
                                                                : nullptr;
            if (thread) {
                CloseHandle(thread);
                shared_ = shared;
            } else {
                delete shared;
            }
        }
    }
    if (!shared_) {
        CloseScanHandle(handle);
        return NameAnswer::Refused;
    }
    shared_->handle = handle;
    shared_->state = Asking;
    SetEvent(shared_->request);
    for (DWORD waited = 0; waited < NameQueryLimitMs && !(stop && *stop); waited += SliceMs) {
        if (WaitForSingleObject(shared_->answered, SliceMs) == WAIT_OBJECT_0) {
            *status = shared_->status;
            *name = shared_->name;
            *length = shared_->length;
            return NameAnswer::Answered;
        }
    }
    const bool stopped = stop && *stop;
    // Counted before it is let go, so that the thread's own count down never comes first.
    InterlockedIncrement(&Stuck);
    if (InterlockedCompareExchange(&shared_->state, LetGoAsking, Asking) != Asking) {
        InterlockedDecrement(&Stuck);  // answered just now
        WaitForSingleObject(shared_->answered, INFINITE);
        *status = shared_->status;
        *name = shared_->name;
        *length = shared_->length;
        return NameAnswer::Answered;
    }
    shared_->Release();
    shared_ = nullptr;
    return stopped ? NameAnswer::Stopped : NameAnswer::Stuck;
}

void NameQueryThread::End()
{
    if (!shared_)
        return;
    shared_->state = Quit;
    SetEvent(shared_->request);
    shared_->Release();
    shared_ = nullptr;
}
