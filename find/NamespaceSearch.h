// Searches the namespace below one directory, by name and type, and when a
// subject is given by who can change it, on a worker thread with its own
// handles, so that the window stays responsive.
#pragma once

#include <windows.h>

#include "Owned.h"
#include "TextPool.h"

class AccessSubject;

struct SearchQuery {
    const wchar_t* text;      // without * or ?: contained in the name; with them: a wildcard over the whole name
    const wchar_t* typeName;  // only objects of this type; null or empty: every type
    const wchar_t* start;     // the directory searched, with every directory below it
    // Only the objects it can change (kagero-dump's --writable-by), and those
    // whose security cannot be read; null: no such question. It must stay
    // until the search's next Start or its Stop.
    const AccessSubject* subject = nullptr;
};

// One object found. Its texts are the search's own: they stay good until its
// next Start or its end, so that the window's rows can keep pointing at them.
struct SearchResult {
    const wchar_t* directory;  // the directory that holds it
    const wchar_t* name;
    const wchar_t* typeName;
    const wchar_t* target;     // a symbolic link's target; empty for other types
    // With a subject: the changing rights it has by the security page's names,
    // or 読めません: and why the security could not be read; empty without one.
    const wchar_t* rights;
    const wchar_t* reason;     // the entries that granted them (#0:AU), 所有者, NULL DACL
};

struct SearchProgress {
    long directoriesDone;
    long objectsFound;
    long directoriesFailed;  // could not be opened or read, and were skipped
    bool finished;           // the walk has ended, by itself or by Stop
    bool stopped;            // Stop ended it before every result was handed over
    long resultsLost;        // found, but no memory was left to keep them
    NTSTATUS startStatus;    // why the start directory could not be read; 0 when it was
    long securityUnread;     // results listed because their security could not be read
};

// Results handed from the worker to the window in one piece; freeing it
// leaves their texts to the search.
struct SearchBatch {
    SearchResult* results;
    size_t count;
};
void FreeSearchBatch(SearchBatch* batch);

// For tests: called by Stop once the worker has been asked to stop, before
// Stop waits for it, so that a test can hold the worker until then.
extern void (*SearchStopAsked)();
// For tests: the workers started and not yet ended.
long LiveSearchWorkers();

class NamespaceSearch {
public:
    NamespaceSearch();
    ~NamespaceSearch();  // stops the search and waits for its worker
    NamespaceSearch(const NamespaceSearch&) = delete;
    NamespaceSearch& operator=(const NamespaceSearch&) = delete;

    // Stops any search under way, drops its results not taken and their
    // texts (the caller has let go of them; with kept, the texts go there
    // instead, for rows still shown, and what kept held is dropped), and
    // starts one with copies of the query's texts. While it runs the worker
    // posts `message` (wParam and lParam 0) to window whenever results or
    // progress wait to be taken, never more than one such message
    // unanswered, and once more when it has finished.
    // Returns 0 or the Win32 error that kept the worker from starting.
    DWORD Start(const SearchQuery& query, HWND window, UINT message, TextPool* kept = nullptr);
    // Asks the worker to stop and waits for it. Once it returns, nothing is
    // posted any more. Results not yet taken are dropped, unless the walk had
    // already ended by itself: then they wait for TakeResults.
    void Stop();
    bool Running() const;
    // Takes the results found since the last call (null when there are none;
    // the caller frees the batch) and reads the progress. Answers the
    // worker's message: the next one may come.
    SearchBatch* TakeResults(SearchProgress* progress);
    // The bytes the texts of the results take, for measuring.
    size_t TextBytes() const;

private:
    struct State;
    // Defined where State is whole: a delete of it here would not be.
    static void FreeState(State* state);
    Owned<State*, FreeState> state_;
};
