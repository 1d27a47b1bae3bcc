#include "DumpSubjects.h"

#include <new>

#include "AccountResolve.h"
#include "DumpMessages.h"
#include "FieldWriter.h"
#include "Owned.h"
#include "SidText.h"
#include "SystemTables.h"

namespace {

// The sandbox every subject is put in; a level given outright wins over an AppContainer's Low.
bool Modify(const SubjectModifiers& modifiers, AccessSubject* subject)
{
    bool kept = true;
    if (modifiers.appContainer) {
        kept = subject->SetPackage(const_cast<BYTE*>(modifiers.package));
        for (int i = 0; i < modifiers.capabilityCount; ++i)
            kept = kept && subject->AddCapability(const_cast<BYTE*>(modifiers.capabilities[i]));
    }
    if (modifiers.integritySet)
        subject->SetIntegrity(modifiers.integrity);
    for (int i = 0; i < modifiers.restrictedCount; ++i)
        kept = kept && subject->AddRestrictingSid(const_cast<BYTE*>(modifiers.restrictedTo[i]));
    subject->SetWriteRestricted(modifiers.writeRestricted);
    return kept;
}

// This program's file name, as the process list names a process.
const wchar_t* OwnProgram()
{
    static wchar_t path[MAX_PATH] = L"";
    if (!path[0] && !GetModuleFileNameW(nullptr, path, MAX_PATH))
        path[0] = L'\0';
    const wchar_t* name = path;
    for (const wchar_t* at = path; *at; ++at)
        if (*at == L'\\' || *at == L'/')
            name = at + 1;
    return name;
}

bool IsSelf(const wchar_t* text) { return lstrcmpiW(text, L"self") == 0; }

// PROGRAM(PID), cut to fit: a label, never opened.
void ProcessLabel(const wchar_t* program, DWORD pid, wchar_t (&label)[SubjectLabelChars])
{
    wchar_t digits[16];
    wsprintfW(digits, L"(%lu)", pid);
    lstrcpynW(label, program, static_cast<int>(SubjectLabelChars - 16));
    lstrcatW(label, digits);
}

DWORD ReadProcessSubject(DWORD pid, AccessSubject* subject)
{
    KernelHandle process(pid == GetCurrentProcessId() ? nullptr
                                                       : OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
    KernelHandle token;
    if ((pid != GetCurrentProcessId() && !process) ||
        !OpenProcessToken(process ? process.Get() : GetCurrentProcess(), TOKEN_QUERY, token.Receive()))
        return GetLastError();
    return ReadTokenSubject(token.Get(), subject);
}

// One line for the subjects left out, and in JSON an object too.
void AppendLeftOut(ByteBuffer& errors, ByteBuffer* output, const char* words, const GrowingArray<wchar_t>& names)
{
    errors.Append("kagero-dump: ");
    errors.Append(words);
    AppendText(errors, names.Data(), names.Count(), TextForm::Display);
    errors.AppendByte('\n');
    if (!output)
        return;
    GrowingArray<wchar_t> message;
    const int wordsChars = MultiByteToWideChar(CP_UTF8, 0, words, -1, nullptr, 0);
    if (wordsChars <= 0 || !message.Reserve(static_cast<size_t>(wordsChars) + names.Count()))
        return;
    MultiByteToWideChar(CP_UTF8, 0, words, -1, message.Tail(), wordsChars);
    message.Commit(static_cast<size_t>(wordsChars) - 1);
    message.Append(names.Data(), names.Count());
    FieldWriter fields(*output, true);
    output->Append("{\"error\": ");
    fields.Value(message.Data(), message.Count());
    output->Append("}\n");
}

void AppendName(GrowingArray<wchar_t>& names, const wchar_t* name)
{
    if (names.Count() > 0)
        names.Append(L", ", 2);
    names.Append(name, static_cast<size_t>(lstrlenW(name)));
}

}  // namespace

DumpSubjects::~DumpSubjects()
{
    for (size_t i = 0; i < subjects_.Count(); ++i)
        delete subjects_[i].subject;
}

bool DumpSubjects::Add(const wchar_t* label, AccessSubject* subject)
{
    Entry entry;
    entry.subject = subject;
    lstrcpynW(entry.label, label, static_cast<int>(SubjectLabelChars));
    if (subjects_.Push(entry))
        return true;
    delete subject;
    return false;
}

bool DumpSubjects::Build(const DumpOptions& options, ByteBuffer& errors, ByteBuffer* output)
{
    ProcessList processes;
    bool listed = false, kept = true;
    GrowingArray<wchar_t> unreadable, unlisted;
    GrowingArray<DWORD> pids;
    for (int r = 0; r < options.subjectCount; ++r) {
        const SubjectRequest& request = options.subjects[r];
        pids.Clear();
        if (request.process && IsSelf(request.text)) {
            kept = kept && pids.Push(GetCurrentProcessId());
        } else if (request.process) {
            if (!listed && processes.Take() < 0) {
                AppendName(unreadable, request.text);
                continue;
            }
            listed = true;
            kept = kept && processes.Match(request.text, &pids);
        }
        for (size_t p = 0; p < pids.Count(); ++p) {
            wchar_t label[SubjectLabelChars];
            ProcessLabel(pids[p] == GetCurrentProcessId() ? OwnProgram() : processes.NameOf(pids[p]), pids[p], label);
            OwnedObject<AccessSubject> subject(new (std::nothrow) AccessSubject);
            if (!subject || ReadProcessSubject(pids[p], subject.Get()) != 0 || !Modify(options.modifiers, subject.Get()))
                AppendName(unreadable, label);
            else
                kept = kept && Add(label, subject.Release());
        }
        if (request.process)
            continue;
        OwnedObject<AccessSubject> subject(new (std::nothrow) AccessSubject);
        PSID sid = const_cast<BYTE*>(request.sid);
        const DWORD built = !subject ? ERROR_NOT_ENOUGH_MEMORY
                                     : BuildResolvedSubject(sid, request.user, request.text, options.modifiers.elevated,
                                                            subject.Get());
        if (built != 0 || !Modify(options.modifiers, subject.Get()))
            AppendName(unlisted, request.text);
        else
            kept = kept && Add(request.text, subject.Release());
    }
    if (unreadable.Count() > 0)
        AppendLeftOut(errors, output, MessageText(Msg::UnreadableTokens), unreadable);
    if (unlisted.Count() > 0)
        AppendLeftOut(errors, output, MessageText(Msg::UnlistedGroups), unlisted);
    return kept && unreadable.Count() == 0 && unlisted.Count() == 0;
}

const wchar_t* FindMissingSubjectProcess(const DumpOptions& options)
{
    ProcessList processes;
    GrowingArray<DWORD> pids;
    bool listed = false;
    for (int i = 0; i < options.subjectCount; ++i) {
        const SubjectRequest& request = options.subjects[i];
        if (!request.process || IsSelf(request.text))
            continue;
        if (!listed && processes.Take() < 0)
            return nullptr;
        listed = true;
        pids.Clear();
        if (processes.Match(request.text, &pids) && pids.Count() == 0)
            return request.text;
    }
    return nullptr;
}
