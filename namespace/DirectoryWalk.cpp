#include "DirectoryWalk.h"

#include <new>
#include <memory>

#include "EntryRecord.h"
#include "NativeApi.h"
#include "WideText.h"

namespace {

// The largest entry the kernel can return: two UNICODE_STRING headers, the
// empty entry that ends the array, and two names of the longest counted
// length with their terminators.
const ULONG MaxEntryBytes = 2 * sizeof(ObjectDirectoryInformation) + 2 * (0xFFFF + sizeof(WCHAR)) + 64;

// Heap room for an entry that does not fit the fixed query buffer.
class SpillBuffer {
public:
    ~SpillBuffer() { Free(); }
    BYTE* Reserve(ULONG bytes)
    {
        if (bytes <= size_)
            return data_;
        Free();
        data_ = static_cast<BYTE*>(HeapAlloc(GetProcessHeap(), 0, bytes));
        size_ = data_ ? bytes : 0;
        return data_;
    }

private:
    void Free()
    {
        if (data_)
            HeapFree(GetProcessHeap(), 0, data_);
        data_ = nullptr;
        size_ = 0;
    }
    BYTE* data_ = nullptr;
    ULONG size_ = 0;
};

// A counted string the query wrote is usable as a NUL-terminated text only if
// it and its terminator lie inside the buffer.
bool IsTerminatedInside(const UNICODE_STRING& text, const BYTE* buffer, ULONG size)
{
    const BYTE* start = reinterpret_cast<const BYTE*>(text.Buffer);
    if (!start || start < buffer || text.Length % sizeof(WCHAR) != 0)
        return false;
    const ULONG offset = static_cast<ULONG>(start - buffer);
    if (offset > size || size - offset < text.Length + sizeof(WCHAR))
        return false;
    return text.Buffer[text.Length / sizeof(WCHAR)] == L'\0';
}

// Reads the entry at *context into buffer. An entry too large for buffer is
// read again, at the same position, into spill, so that no entry is lost.
NTSTATUS QueryOneEntry(HANDLE directory, BYTE* buffer, ULONG size, ULONG* context, SpillBuffer& spill,
                       const ObjectDirectoryInformation** entry)
{
    const DirectoryCalls& calls = ActiveDirectoryCalls();
    const ULONG position = *context;
    ULONG needed = 0;
    ZeroMemory(buffer, size);
    NTSTATUS status = calls.query(directory, buffer, size, TRUE, FALSE, context, &needed);
    BYTE* used = buffer;
    ULONG usedSize = size;
    if (status == STATUS_BUFFER_TOO_SMALL_NT || status == STATUS_BUFFER_OVERFLOW_NT) {
        if (needed <= size || needed > MaxEntryBytes)
            return status;
        used = spill.Reserve(needed);
        if (!used)
            return STATUS_NO_MEMORY_NT;
        usedSize = needed;
        *context = position;
        ZeroMemory(used, usedSize);
        status = calls.query(directory, used, usedSize, TRUE, FALSE, context, &needed);
    }
    if (status < 0)
        return status;
    const auto* information = reinterpret_cast<const ObjectDirectoryInformation*>(used);
    if (!IsTerminatedInside(information->Name, used, usedSize) ||
        !IsTerminatedInside(information->TypeName, used, usedSize))
        return STATUS_INFO_LENGTH_MISMATCH_NT;
    *entry = information;
    return status;
}

// Reads one opened directory entry by entry, in the kernel's order, into a
// fixed buffer of the caller's (spilling to the heap for a larger entry).
class DirectoryReader {
public:
    DirectoryReader(BYTE* buffer, ULONG size) : buffer_(buffer), size_(size) {}
    NTSTATUS Open(const wchar_t* path) { return OpenDirectory(path, directory_.Receive()); }
    // The next entry, or null at the end or on a failed query.
    const ObjectDirectoryInformation* Next()
    {
        const ObjectDirectoryInformation* entry = nullptr;
        ended_ = QueryOneEntry(directory_.Get(), buffer_, size_, &context_, spill_, &entry);
        return ended_ < 0 ? nullptr : entry;
    }
    // The 1-based position of the entry Next returned last.
    int Position() const { return static_cast<int>(context_); }
    // Why Next gave null: STATUS_NO_MORE_ENTRIES at the end, else the failure.
    NTSTATUS Ended() const { return ended_; }

private:
    DirectoryHandle directory_;
    BYTE* buffer_;
    ULONG size_;
    ULONG context_ = 0;
    NTSTATUS ended_ = 0;
    SpillBuffer spill_;
};

bool IsExactly(const UNICODE_STRING& text, const wchar_t* wanted)
{
    const size_t length = text.Length / sizeof(WCHAR);
    for (size_t i = 0; i < length; ++i) {
        if (wanted[i] != text.Buffer[i] || wanted[i] == L'\0')
            return false;
    }
    return wanted[length] == L'\0';
}

// Bounded copy; false (and an empty destination) when source does not fit.
bool CopyBounded(wchar_t* destination, int capacity, const wchar_t* source)
{
    const int length = lstrlenW(source);
    if (length >= capacity) {
        destination[0] = L'\0';
        return false;
    }
    CopyMemory(destination, source, (length + 1) * sizeof(wchar_t));
    return true;
}

// What one level of the tree walk keeps while it descends: on the heap, so
// that a deep namespace does not exhaust the stack.
struct WalkLevel {
    BYTE query[EnumerateBufferBytes];
    wchar_t child[ObjectPathChars];
};

NTSTATUS NTAPI CloseHandleNative(HANDLE handle) { return NtClose(handle); }

const DirectoryCalls NativeCalls = {NtOpenDirectoryObject, NtQueryDirectoryObject, CloseHandleNative};
const DirectoryCalls* CurrentCalls = &NativeCalls;

}  // namespace

const DirectoryCalls& ActiveDirectoryCalls() { return *CurrentCalls; }

void SetDirectoryCalls(const DirectoryCalls* calls) { CurrentCalls = calls ? calls : &NativeCalls; }

NTSTATUS CloseDirectoryHandle(HANDLE handle) { return ActiveDirectoryCalls().close(handle); }

NTSTATUS OpenDirectory(const wchar_t* path, HANDLE* directory)
{
    ObjectAttributes attributes;
    const NTSTATUS status = attributes.Init(path);
    if (status < 0)
        return status;
    return ActiveDirectoryCalls().open(directory, DirectoryOpenAccess, attributes.Get());
}

bool BuildChildPath(const wchar_t* parent, const UNICODE_STRING& name, wchar_t* buffer, int capacity)
{
    return capacity > 0 && JoinObjectPathInto(parent, static_cast<size_t>(lstrlenW(parent)), name.Buffer,
                                              name.Length / sizeof(WCHAR), buffer,
                                              static_cast<size_t>(capacity)) < static_cast<size_t>(capacity);
}

NTSTATUS EnumerateDirectory(const wchar_t* path, int mode, DirectoryNode parent, NamespaceSink& sink)
{
    DirectoryNode node = parent;
    if (mode & WalkTree)
        node = sink.InsertDirectoryNode(parent, path);

    std::unique_ptr<WalkLevel> level(new (std::nothrow) WalkLevel);
    if (!level)
        return 0;
    DirectoryReader reader(level->query, EnumerateBufferBytes);
    const NTSTATUS opened = reader.Open(path);
    if (opened < 0)
        return opened;
    while (const ObjectDirectoryInformation* entry = reader.Next()) {
        if (mode & WalkList)
            sink.AddListEntry(reader.Position(), entry->TypeName.Buffer, entry->Name.Buffer);
        // A path too long for the buffer cannot be named: that directory is skipped.
        if ((mode & WalkTree) && IsExactly(entry->TypeName, L"Directory") &&
            BuildChildPath(path, entry->Name, level->child, ObjectPathChars))
            EnumerateDirectory(level->child, mode, node, sink);
    }
    return 0;
}

NTSTATUS WalkNamespaceTree(DirectoryNode parent, NamespaceSink& sink)
{
    return EnumerateDirectory(L"\\", WalkTree, parent, sink);
}

NTSTATUS ListDirectoryEntries(const wchar_t* path, NamespaceSink& sink)
{
    return EnumerateDirectory(path, WalkList, nullptr, sink);
}

NTSTATUS ReadDirectory(const wchar_t* path, DirectoryVisitor& visitor)
{
    BYTE query[EnumerateBufferBytes];
    DirectoryReader reader(query, EnumerateBufferBytes);
    const NTSTATUS status = reader.Open(path);
    if (status < 0)
        return status;
    while (const ObjectDirectoryInformation* entry = reader.Next()) {
        if (!visitor.VisitEntry(entry->Name, entry->TypeName))
            return 0;
    }
    return reader.Ended() == STATUS_NO_MORE_ENTRIES_NT ? 0 : reader.Ended();
}

NTSTATUS FindDirectoryEntry(const wchar_t* path, const wchar_t* name, EntryRecord** slot)
{
    struct Texts {
        wchar_t path[FindTextChars];
        wchar_t name[FindTextChars];
        BYTE query[FindBufferBytes];
    };
    std::unique_ptr<Texts> texts(new (std::nothrow) Texts);
    if (!texts)
        return STATUS_NO_MEMORY_NT;
    // A path or name cut to fit would name some other object: such a lookup is refused.
    if (!CopyBounded(texts->path, FindTextChars, path) || !CopyBounded(texts->name, FindTextChars, name))
        return STATUS_NAME_TOO_LONG_NT;

    DirectoryReader reader(texts->query, FindBufferBytes);
    const NTSTATUS opened = reader.Open(texts->path);
    if (opened < 0)
        return opened;
    while (const ObjectDirectoryInformation* entry = reader.Next()) {
        if (IsExactly(entry->Name, texts->name)) {
            EntryRecord* record = MakeEntryRecord(-1, entry->TypeName.Buffer, entry->Name.Buffer);
            if (!record)
                return STATUS_NO_MEMORY_NT;
            *slot = record;
            return 0;
        }
    }
    // Read to the end without a match: the entry is not there.
    return reader.Ended() == STATUS_NO_MORE_ENTRIES_NT ? STATUS_OBJECT_NAME_NOT_FOUND_NT : reader.Ended();
}
