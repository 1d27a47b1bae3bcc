#include "SystemTables.h"

#include <algorithm>

#include "NameCompare.h"
#include "NativeApi.h"

namespace {

const ULONG FirstTableBytes = 64 * 1024;
const int TableAttempts = 8;

NTSTATUS NTAPI QuerySystemNative(ULONG infoClass, PVOID buffer, ULONG length, PULONG returned)
{
    return NtQuerySystemInformation(static_cast<SYSTEM_INFORMATION_CLASS>(infoClass), buffer, length, returned);
}

NTSTATUS NTAPI CloseNative(HANDLE handle) { return NtClose(handle); }

const HandleScanCalls NativeCalls = {QuerySystemNative, NtOpenProcess, NtDuplicateObject, CloseNative};
const HandleScanCalls* CurrentCalls = &NativeCalls;

bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

// A pid written in decimal, or false.
bool ParsePid(const wchar_t* text, DWORD* pid)
{
    ULONGLONG value = 0;
    if (!*text)
        return false;
    for (; *text; ++text) {
        if (!IsDigit(*text))
            return false;
        value = value * 10 + static_cast<ULONGLONG>(*text - L'0');
        if (value > 0xFFFFFFFFull)
            return false;
    }
    *pid = static_cast<DWORD>(value);
    return true;
}

// The length of a program name without one ".exe" at its end.
size_t StemLength(const wchar_t* name, size_t length)
{
    return length >= 4 && EqualCaseless(name + length - 4, 4, L".exe", 4) ? length - 4 : length;
}

}  // namespace

const HandleScanCalls& ActiveHandleScanCalls() { return *CurrentCalls; }

void SetHandleScanCalls(const HandleScanCalls* calls) { CurrentCalls = calls ? calls : &NativeCalls; }

NTSTATUS CloseScanHandle(HANDLE handle) { return ActiveHandleScanCalls().close(handle); }

NTSTATUS ReadSystemTable(ULONG infoClass, GrowingArray<BYTE>* buffer)
{
    ULONG size = FirstTableBytes;
    for (int attempt = 0; attempt < TableAttempts; ++attempt) {
        buffer->Clear();
        if (!buffer->Reserve(size))
            return STATUS_NO_MEMORY_NT;
        ULONG needed = 0;
        const NTSTATUS status = ActiveHandleScanCalls().querySystem(infoClass, buffer->Tail(), size, &needed);
        if (status != STATUS_INFO_LENGTH_MISMATCH_NT) {
            // A length left unset on success: the whole buffer is read, bounded by what it says it holds.
            buffer->Commit(needed && needed < size ? needed : size);
            return status;
        }
        // What the call said it needs, with room for what opens meanwhile, and at least double.
        ULONGLONG next = static_cast<ULONGLONG>(needed) + needed / 8;
        if (next < 2ull * size)
            next = 2ull * size;
        if (next > MaxSystemTableBytes)
            return STATUS_INFO_LENGTH_MISMATCH_NT;
        size = static_cast<ULONG>(next);
    }
    return STATUS_INFO_LENGTH_MISMATCH_NT;
}

NTSTATUS ProcessList::Take()
{
    Clear();
    GrowingArray<BYTE> buffer(1);
    const NTSTATUS status = ReadSystemTable(SystemProcessInformationClass, &buffer);
    if (status < 0)
        return status;
    const BYTE* base = buffer.Data();
    const size_t size = buffer.Count();
    // Each entry and its name must lie inside what the call gave; the offsets only go forward.
    for (size_t at = 0; size >= sizeof(SystemProcessHead) && at <= size - sizeof(SystemProcessHead);) {
        SystemProcessHead head;
        CopyMemory(&head, base + at, sizeof(head));
        const UNICODE_STRING& image = head.ImageName;
        const BYTE* text = reinterpret_cast<const BYTE*>(image.Buffer);
        size_t length = image.Length / sizeof(wchar_t);
        if (!text || text < base || static_cast<size_t>(text - base) > size ||
            size - static_cast<size_t>(text - base) < image.Length)
            length = 0;
        const Process process = {static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(head.UniqueProcessId)),
                                 names_.Count(), length};
        const wchar_t end = L'\0';
        if (!names_.Append(reinterpret_cast<const wchar_t*>(text), length) || !names_.Push(end) ||
            !processes_.Push(process))
            return STATUS_NO_MEMORY_NT;
        if (head.NextEntryOffset == 0 || head.NextEntryOffset > size - at)
            break;
        at += head.NextEntryOffset;
    }
    std::sort(processes_.Data(), processes_.Data() + processes_.Count(),
              [](const Process& a, const Process& b) { return a.pid < b.pid; });
    return 0;
}

size_t ProcessList::Find(DWORD pid) const
{
    const Process* begin = processes_.Data();
    const Process* end = begin + processes_.Count();
    const Process* found = std::lower_bound(begin, end, pid, [](const Process& p, DWORD wanted) { return p.pid < wanted; });
    return found != end && found->pid == pid ? static_cast<size_t>(found - begin) : Count();
}

const wchar_t* ProcessList::NameOf(DWORD pid) const
{
    const size_t i = Find(pid);
    return i < Count() ? Name(i) : L"";
}

bool ProcessList::Match(const wchar_t* text, GrowingArray<DWORD>* pids) const
{
    DWORD pid = 0;
    const bool byPid = ParsePid(text, &pid);
    const size_t textStem = StemLength(text, static_cast<size_t>(lstrlenW(text)));
    for (size_t i = 0; i < Count(); ++i) {
        const Process& process = processes_[i];
        const wchar_t* name = Name(i);
        const size_t stem = StemLength(name, process.nameLength);
        const bool named = textStem > 0 && EqualCaseless(name, stem, text, textStem);
        if ((named || (byPid && process.pid == pid)) && !pids->Push(process.pid))
            return false;
    }
    return true;
}
