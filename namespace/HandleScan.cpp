#include "HandleScan.h"

#include <algorithm>
#include <cwchar>

#include "NameCompare.h"
#include "NativeApi.h"
#include "ObjectOpen.h"
#include "ObjectQueries.h"
#include "ObjectTypes.h"

namespace {

const ACCESS_MASK ProcessDupHandle = 0x0040;

const size_t NoFile = static_cast<size_t>(-1);

HANDLE const CurrentProcess = reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-1));

using ScanHandle = OwnedHandle<CloseScanHandle>;

bool Stopped(volatile LONG* stop) { return stop && *stop != 0; }

// A duplication that failed because the handle or its whole process is gone, not because it was refused.
bool IsGone(NTSTATUS status) { return status == STATUS_INVALID_HANDLE_NT || status == STATUS_PROCESS_IS_TERMINATING_NT; }

}  // namespace

void HandleScan::Clear()
{
    items_.Clear();
    texts_.Clear();
    wanted_.Clear();
    notExamined_.Clear();
    stuckPids_.Clear();
    processes_.Clear();
    devices_.Forget();
    letGo_ = 0;
    counts_ = {};
}

NTSTATUS HandleScan::Run(const HandleScanOptions& options)
{
    Clear();
    options_ = options;
    if (options.path && !wanted_.Append(options.path, static_cast<size_t>(lstrlenW(options.path))))
        return STATUS_NO_MEMORY_NT;
    UpcaseText(wanted_.Data(), wanted_.Count());

    // With one object's path, our own handle to it: where the table gives
    // addresses, the other handles with its address are its holders, found
    // without duplicating or asking any of them (those whose name cannot be
    // asked too). A device is held through its files, other objects: asked.
    // Our own handles also give the table's type number of the object's type
    // (a device's: of a file, which is what its holders hold), so that only
    // the handles the snapshot gives that number are duplicated. Ours cannot
    // have been reused; a value reused in another process since the snapshot
    // is no handle the snapshot saw.
    ObjectHandle own, file;
    const int typeCode = options.path && options.typeName ? LookupObjectType(options.typeName, nullptr) : -1;
    if (typeCode >= 0)
        OpenObjectByType(options.path, typeCode, 0, (typeCode == TypeDevice ? file : own).Receive());
    // The handle table first: a process that held a handle then is in the
    // list taken after it, unless it has ended.
    GrowingArray<Row> rows;
    ULONG_PTR address = 0;
    NTSTATUS status = TakeRows(&rows, own.Get(), file.Get(), &address);
    if (status >= 0)
        status = processes_.Take();
    if (status >= 0 && address != 0)
        status = KeepByAddress(rows, address);
    for (size_t at = 0, end = 0; status >= 0 && address == 0 && at < rows.Count(); at = end) {
        for (end = at; end < rows.Count() && rows[end].pid == rows[at].pid; ++end) {
        }
        status = ScanProcess(rows.Data() + at, end - at);
    }
    names_.End();
    if (status < 0) {
        Clear();
        return status;
    }
    std::sort(items_.Data(), items_.Data() + items_.Count(), [this](const Item& a, const Item& b) {
        const int order = CompareKeys(Key(a), a.nameLength, Key(b), b.nameLength);
        if (order != 0)
            return order < 0;
        return a.pid != b.pid ? a.pid < b.pid : a.value < b.value;
    });
    return 0;
}

NTSTATUS HandleScan::KeepByAddress(const GrowingArray<Row>& rows, ULONG_PTR address)
{
    const size_t length = static_cast<size_t>(lstrlenW(options_.path));
    for (size_t i = 0; i < rows.Count(); ++i)
        if (rows[i].object == address && !Keep(rows[i], options_.path, length))
            return STATUS_NO_MEMORY_NT;
    return 0;
}

NTSTATUS HandleScan::TakeRows(GrowingArray<Row>* rows, HANDLE own, HANDLE file, ULONG_PTR* address)
{
    chosenNumber_ = NoNumber;
    GrowingArray<BYTE> table(1);
    const NTSTATUS status = ReadSystemTable(SystemExtendedHandleInformationClass, &table);
    if (status < 0)
        return status;
    if (table.Count() < sizeof(SystemHandleTableHead))
        return STATUS_INFO_LENGTH_MISMATCH_NT;
    SystemHandleTableHead head;
    CopyMemory(&head, table.Data(), sizeof(head));
    // Only the entries that lie inside what the call gave.
    const size_t room = (table.Count() - sizeof(head)) / sizeof(SystemHandleEntry);
    const size_t count = head.NumberOfHandles < room ? head.NumberOfHandles : room;
    counts_.tableHandles = count;
    if (!rows->Reserve(count))
        return STATUS_NO_MEMORY_NT;
    const DWORD self = GetCurrentProcessId();
    const BYTE* entries = table.Data() + sizeof(head);
    for (size_t i = 0; i < count; ++i) {
        SystemHandleEntry entry;
        CopyMemory(&entry, entries + i * sizeof(entry), sizeof(entry));
        const Row row = {static_cast<DWORD>(entry.UniqueProcessId), entry.ObjectTypeIndex, entry.HandleValue,
                         entry.GrantedAccess, reinterpret_cast<ULONG_PTR>(entry.Object)};
        if (row.pid != self) {
            rows->Push(row);
        } else if (own && row.value == reinterpret_cast<ULONG_PTR>(own)) {
            *address = row.object;
            chosenNumber_ = row.type;
        } else if (file && row.value == reinterpret_cast<ULONG_PTR>(file)) {
            chosenNumber_ = row.type;
        }
    }
    // Grouped by process, so that each is opened once.
    std::sort(rows->Data(), rows->Data() + rows->Count(),
              [](const Row& a, const Row& b) { return a.pid != b.pid ? a.pid < b.pid : a.value < b.value; });
    return 0;
}

NTSTATUS HandleScan::ScanProcess(const Row* rows, size_t count)
{
    // A process with nothing to ask is not opened.
    bool asking = false;
    for (size_t i = 0; i < count && !asking; ++i)
        asking = Asked(rows[i]);
    if (!asking)
        return 0;
    if (Stopped(options_.stop))
        return STATUS_CANCELLED_NT;

    const DWORD pid = rows[0].pid;
    CLIENT_ID client = {reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(pid)), nullptr};
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, nullptr, 0, nullptr, nullptr);
    HANDLE opened = nullptr;
    const NTSTATUS status = ActiveHandleScanCalls().openProcess(&opened, ProcessDupHandle, &attributes, &client);
    if (status == STATUS_INVALID_CID_NT || status == STATUS_INVALID_PARAMETER_NT ||
        status == STATUS_PROCESS_IS_TERMINATING_NT) {
        ++counts_.processesEnded;
        return 0;
    }
    if (status < 0)
        return notExamined_.Push(pid) ? 0 : STATUS_NO_MEMORY_NT;
    ScanHandle process;
    *process.Receive() = opened;
    ++counts_.processesOpened;

    size_t tried = 0, duplicated = 0, gone = 0;
    for (size_t i = 0; i < count; ++i) {
        if (Stopped(options_.stop))
            return STATUS_CANCELLED_NT;
        if (!Asked(rows[i]))
            continue;
        NTSTATUS duplication = 0;
        const NTSTATUS asked = AskHandle(process.Get(), rows[i], &duplication);
        if (asked < 0)
            return asked;
        ++tried;
        duplicated += duplication >= 0;
        gone += IsGone(duplication);
    }
    // Not one handle could be duplicated: gone with the process, or refused.
    if (tried > 0 && duplicated == 0) {
        if (gone == tried)
            ++counts_.processesEnded;
        else if (!notExamined_.Push(pid))
            return STATUS_NO_MEMORY_NT;
    }
    return 0;
}

NTSTATUS HandleScan::AskHandle(HANDLE process, const Row& row, NTSTATUS* duplication)
{
    HANDLE raw = nullptr;
    *duplication = ActiveHandleScanCalls().duplicate(process, reinterpret_cast<HANDLE>(row.value), CurrentProcess,
                                                     &raw, 0, 0, 0);
    if (*duplication < 0)
        return 0;  // closed since the snapshot, or refused
    ScanHandle copy;
    *copy.Receive() = raw;
    ++counts_.duplicated;

    // Every duplicate's own type is asked before its name: its type query
    // never blocks, as a file's name query can, and the value may have been
    // closed and given to another object since the snapshot, so the table's
    // type number is no proof, neither for this handle nor for the others of
    // its number: the verdict on each is its own. (Nor can the number be
    // matched with the system's type list: Wine numbers the table's types two
    // below the index that list and the type query give; only our own
    // handles tell which number is which.)
    alignas(8) BYTE type[TypeQueryBytes] = {};
    ULONG returned = 0;
    if (QueryTypeInformation(copy.Get(), type, &returned) < 0)
        return 0;
    const UNICODE_STRING& typeName = reinterpret_cast<const TypeInformationHead*>(type)->TypeName;
    if (!LiesInside(typeName, type, TypeQueryBytes))
        return 0;  // unknown: the next handle of this number asks again
    const size_t typeLength = typeName.Length / sizeof(wchar_t);
    const bool file = EqualCaseless(typeName.Buffer, typeLength, L"File", 4);
    const bool any = !options_.typeName || !*options_.typeName;
    const bool chosen = any || EqualCaseless(typeName.Buffer, typeLength, options_.typeName, wcslen(options_.typeName)) ||
                        (file && EqualCaseless(options_.typeName, L"Device"));
    if (!chosen)
        return 0;
    if (file)
        return AskFile(row, copy.Release());

    const wchar_t* name = nullptr;
    size_t length = 0;
    const NTSTATUS status = QueryObjectName(copy.Get(), &query_, &name, &length);
    if (status == STATUS_NO_MEMORY_NT)
        return status;
    if (status < 0 || length == 0)
        return 0;  // no name, nothing to match
    ++counts_.named;
    if (!options_.keepNames || (options_.path && CompareKeyCaseless(wanted_.Data(), wanted_.Count(), name, length) != 0))
        return 0;
    return Keep(row, name, length) ? 0 : STATUS_NO_MEMORY_NT;
}

// A file's name on the query thread, then through the links to its device;
// kept as held on the device, with its name below it. One whose name does
// not come in time is counted, and after MostStuckQueries such in one scan
// no more files are asked: each would cost the whole limit again.
NTSTATUS HandleScan::AskFile(const Row& row, HANDLE copy)
{
    if (letGo_ >= MostStuckQueries) {
        CloseScanHandle(copy);
        CountStuck(row.pid);
        return 0;
    }
    NTSTATUS status = 0;
    const wchar_t* name = nullptr;
    size_t length = 0;
    switch (names_.Ask(copy, options_.stop, &status, &name, &length)) {
    case NameAnswer::Stopped:
        return STATUS_CANCELLED_NT;
    case NameAnswer::Stuck:
        ++letGo_;
        CountStuck(row.pid);
        return 0;
    case NameAnswer::Refused:
        CountStuck(row.pid);
        return 0;
    case NameAnswer::Answered:
        break;
    }
    if (status == STATUS_NO_MEMORY_NT)
        return status;
    if (status < 0 || length == 0)
        return 0;
    ++counts_.named;
    if (!options_.keepNames)
        return 0;
    size_t fileAt = 0;
    const bool device = devices_.Resolve(name, length, &resolved_, &fileAt);
    const wchar_t* held = device ? resolved_.Data() : name;
    const size_t heldLength = device ? fileAt : length;
    if (options_.path && CompareKeyCaseless(wanted_.Data(), wanted_.Count(), held, heldLength) != 0)
        return 0;
    const wchar_t* below = device ? resolved_.Data() + fileAt : L"";
    const size_t belowLength = device ? resolved_.Count() - 1 - fileAt : 0;
    return Keep(row, held, heldLength, below, belowLength) ? 0 : STATUS_NO_MEMORY_NT;
}

void HandleScan::CountStuck(DWORD pid)
{
    ++counts_.stuckNames;
    if (stuckPids_.Count() == 0 || stuckPids_[stuckPids_.Count() - 1] != pid)
        stuckPids_.Push(pid);  // the rows come by process: each pid once
}

bool HandleScan::Keep(const Row& row, const wchar_t* name, size_t length, const wchar_t* file, size_t fileLength)
{
    const size_t fileAt = file ? texts_.Count() + 2 * (length + 1) : NoFile;
    const Item item = {row.pid, row.access, row.value, texts_.Count(), length, fileAt, fileLength};
    const wchar_t end = L'\0';
    if (!texts_.Append(name, length) || !texts_.Push(end) || !texts_.Append(name, length))
        return false;
    UpcaseText(texts_.Data() + texts_.Count() - length, length);
    if (!texts_.Push(end) || (file && (!texts_.Append(file, fileLength) || !texts_.Push(end))))
        return false;
    return items_.Push(item);
}

HeldHandle HandleScan::Handle(size_t i) const
{
    const Item& item = items_[i];
    return {item.pid, processes_.NameOf(item.pid), item.value, item.access, texts_.Data() + item.nameAt,
            item.nameLength, item.fileAt == NoFile ? nullptr : texts_.Data() + item.fileAt, item.fileLength};
}

size_t HandleScan::LowerBound(const wchar_t* path, size_t length) const
{
    const Item* begin = items_.Data();
    const Item* end = begin + items_.Count();
    const Item* found = std::lower_bound(begin, end, 0, [&](const Item& item, int) {
        return CompareKeyCaseless(Key(item), item.nameLength, path, length) < 0;
    });
    return static_cast<size_t>(found - begin);
}

size_t HandleScan::Find(const wchar_t* path, size_t* first) const
{
    const size_t length = static_cast<size_t>(lstrlenW(path));
    size_t i = *first = LowerBound(path, length);
    while (i < items_.Count() && CompareKeyCaseless(Key(items_[i]), items_[i].nameLength, path, length) == 0)
        ++i;
    return i - *first;
}

size_t HandleScan::ProcessesHolding(const wchar_t* path) const
{
    size_t first = 0;
    const size_t count = Find(path, &first);
    size_t processes = 0;
    // Sorted by pid within one name: each new pid starts a process.
    for (size_t i = first; i < first + count; ++i)
        processes += i == first || items_[i].pid != items_[i - 1].pid;
    return processes;
}

bool HandleScan::HeldByAny(size_t first, size_t count, const GrowingArray<DWORD>& pids) const
{
    for (size_t i = first; i < first + count; ++i)
        for (size_t p = 0; p < pids.Count(); ++p)
            if (items_[i].pid == pids[p])
                return true;
    return false;
}
