// The subjects of --writable-by and --writable-by-process: accounts as an
// interactive logon of them would be, running processes' tokens as they
// are, each made into the sandbox the modifiers describe.
#pragma once

#include <windows.h>

#include "AccessSubject.h"
#include "DumpOptions.h"
#include "GrowingArray.h"
#include "TextEncoding.h"

const size_t SubjectLabelChars = 300;

class DumpSubjects {
public:
    DumpSubjects() = default;
    ~DumpSubjects();
    DumpSubjects(const DumpSubjects&) = delete;
    DumpSubjects& operator=(const DumpSubjects&) = delete;

    // Makes every subject the options ask for; a program name gives one per
    // running process of it. Each process whose token could not be read,
    // and each account whose groups could not be listed, is said on errors
    // (in JSON also as an object on output) and left out. false when one
    // was, or when memory ran out.
    bool Build(const DumpOptions& options, ByteBuffer& errors, ByteBuffer* output);
    size_t Count() const { return subjects_.Count(); }
    const AccessSubject& Subject(size_t i) const { return *subjects_[i].subject; }
    // WHO as typed, or PROGRAM(PID) for a process.
    const wchar_t* Label(size_t i) const { return subjects_[i].label; }

private:
    struct Entry {
        AccessSubject* subject;
        wchar_t label[SubjectLabelChars];
    };
    bool Add(const wchar_t* label, AccessSubject* subject);
    DWORD AddProcess(DWORD pid, const wchar_t* program);
    GrowingArray<Entry> subjects_{4};
};

// The first --writable-by-process that names no running process; null when
// each names one (or the process list cannot be read: the build says so).
const wchar_t* FindMissingSubjectProcess(const DumpOptions& options);
