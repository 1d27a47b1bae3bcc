// A file's name asked where a query that never returns cannot stall the
// asker: on a thread of its own, waited for a limited time. A name query on
// a synchronous pipe, or on a file with synchronous I/O pending, can wait
// for good; the thread left waiting is then let go with what it alone uses
// (the handle it asks, its buffer), ends by itself if the query ever
// returns, and never touches its asker again. Process exit ends it like
// every other thread.
#pragma once

#include <windows.h>

#include <cstddef>

#include "GrowingArray.h"

// How long one name is waited for, and how many threads let go waiting may
// live at once in the process; once that many are stuck, no file's name is
// asked until one returns.
const DWORD NameQueryLimitMs = 500;
const long MostStuckQueries = 4;

// For tests: the threads let go that have not ended yet.
long StuckNameQueries();

enum class NameAnswer { Answered, Stuck, Refused, Stopped };

class NameQueryThread {
public:
    NameQueryThread() = default;
    ~NameQueryThread() { End(); }
    NameQueryThread(const NameQueryThread&) = delete;
    NameQueryThread& operator=(const NameQueryThread&) = delete;

    // Asks handle's name on the thread (started on first use, again after
    // one was let go). The handle becomes the thread's, closed through the
    // scan's seam once asked. Answered: *status, and the name in *name
    // (*length characters, valid until the next Ask). Stuck: not answered
    // within NameQueryLimitMs, the thread let go. Refused: no thread (too
    // many stuck, or none could start); the handle is closed. Stopped: *stop
    // was set while waiting, the thread let go.
    NameAnswer Ask(HANDLE handle, volatile LONG* stop, NTSTATUS* status, const wchar_t** name, size_t* length);
    // Lets the thread end (it ends at once when it is idle).
    void End();

private:
    struct Shared;
    void LetGo();
    Shared* shared_ = nullptr;
};
