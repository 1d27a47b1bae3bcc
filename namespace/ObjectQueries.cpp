#include "ObjectQueries.h"

#include "NativeApi.h"
#include "ObjectOpen.h"
#include "WindowsLayout.h"

namespace {

const ULONG ObjectNameInformationClass = 1;
const ULONG FirstNameBytes = 1024;
// The longest name a counted string carries, with its header and terminator.
const ULONG MaxNameBytes = sizeof(UNICODE_STRING) + 0xFFFF + sizeof(wchar_t);

const ULONG ObjectBasicInformationClass = 0;
const ULONG ObjectTypeInformationClass = 2;
const ULONG LinkQueryBytes = 2048;
const ULONG StateBytes = 8;

// The event, mutant and semaphore results are 8 bytes in both, read as two LONGs: type and state; count, then
// the owned and abandoned BOOLEANs at bytes 4 and 5; current and maximum count.
static_assert(StateBytes == 8 && sizeof(LONG) == 4 && sizeof(BOOLEAN) == 1, "EVENT/MUTANT/SEMAPHORE_BASIC_INFORMATION");

NTSTATUS QueryBasic(HANDLE handle, OBJECT_BASIC_INFORMATION* basic)
{
    ZeroMemory(basic, sizeof(*basic));
    ULONG returned = 0;
    const NTSTATUS status =
        ActiveObjectCalls().queryObject(handle, ObjectBasicInformationClass, basic, sizeof(*basic), &returned);
    if (status < 0)
        ZeroMemory(basic, sizeof(*basic));
    return status;
}

// One 8-byte state query; both fields zero when it fails.
NTSTATUS QueryState(NativeQueryCall query, HANDLE handle, LONG* first, LONG* second)
{
    LONG fields[2] = {0, 0};
    ULONG returned = 0;
    const NTSTATUS status = query(handle, 0, fields, StateBytes, &returned);
    if (status < 0)
        fields[0] = fields[1] = 0;
    *first = fields[0];
    *second = fields[1];
    return status;
}

}  // namespace

NTSTATUS QueryTypeInformation(HANDLE handle, BYTE* buffer, ULONG* returned)
{
    return ActiveObjectCalls().queryObject(handle, ObjectTypeInformationClass, buffer, TypeQueryBytes, returned);
}

NTSTATUS QueryBasicInformation(HANDLE handle, OBJECT_BASIC_INFORMATION* record, ULONG bytes)
{
    OBJECT_BASIC_INFORMATION basic;
    const NTSTATUS status = QueryBasic(handle, &basic);
    CopyMemory(record, &basic, bytes < sizeof(basic) ? bytes : sizeof(basic));
    return status;
}

NTSTATUS QueryTypeNameAndCount(HANDLE handle, wchar_t* typeName, int typeNameChars, LONG* count)
{
    if (typeNameChars > 0)
        typeName[0] = L'\0';
    *count = 0;
    alignas(8) BYTE buffer[TypeQueryBytes] = {};
    ULONG returned = 0;
    const NTSTATUS status = QueryTypeInformation(handle, buffer, &returned);
    if (status < 0)
        return status;
    const auto* head = reinterpret_cast<const TypeInformationHead*>(buffer);
    *count = static_cast<LONG>(head->TotalNumberOfObjects);
    const int length = head->TypeName.Length / sizeof(WCHAR);
    if (LiesInside(head->TypeName, buffer, TypeQueryBytes) && length < typeNameChars) {
        CopyMemory(typeName, head->TypeName.Buffer, head->TypeName.Length);
        typeName[length] = L'\0';
    }
    return 0;
}

NTSTATUS QueryObjectInfo(HANDLE handle, OBJECT_BASIC_INFORMATION* record, ULONG bytes, wchar_t* typeName,
                         int typeNameChars, LONG* count)
{
    const NTSTATUS basic = QueryBasicInformation(handle, record, bytes);
    const NTSTATUS type = QueryTypeNameAndCount(handle, typeName, typeNameChars, count);
    return basic < 0 ? basic : type;
}

NTSTATUS QuerySymbolicLink(HANDLE handle, WideText* target, LONGLONG* creationTime)
{
    const NativeQueryLinkCall query = ActiveObjectCalls().querySymbolicLink;
    target->Clear();
    alignas(8) BYTE fixed[LinkQueryBytes] = {};
    UNICODE_STRING text = {0, static_cast<USHORT>(LinkQueryBytes), reinterpret_cast<PWSTR>(fixed)};
    ULONG needed = 0;
    NTSTATUS status = query(handle, &text, &needed);
    // A longer target is asked again with the size the call reported: a
    // blank target for a valid link would mislead.
    WideText spill;
    if (status == STATUS_BUFFER_TOO_SMALL_NT && needed > LinkQueryBytes && needed <= 0xFFFF) {
        wchar_t* room = spill.Allocate((needed + 1) / sizeof(wchar_t));
        if (room) {
            text = {0, static_cast<USHORT>(needed), room};
            status = query(handle, &text, &needed);
        }
    }
    if (status >= 0 && text.Length > text.MaximumLength)
        status = STATUS_BUFFER_OVERFLOW_NT;
    if (status >= 0)
        target->Assign(text.Buffer, text.Length / sizeof(WCHAR));

    OBJECT_BASIC_INFORMATION basic;
    QueryBasic(handle, &basic);
    *creationTime = basic.CreateTime.QuadPart;
    return status;
}

NTSTATUS QueryEventState(HANDLE handle, LONG* eventType, LONG* state)
{
    return QueryState(ActiveObjectCalls().queryEvent, handle, eventType, state);
}

NTSTATUS QueryMutantState(HANDLE handle, LONG* currentCount, ULONG* flags)
{
    LONG second = 0;
    const NTSTATUS status = QueryState(ActiveObjectCalls().queryMutant, handle, currentCount, &second);
    // Two boolean bytes: owned by the caller, then abandoned.
    *flags = static_cast<ULONG>(second) & 0xFFFF;
    return status;
}

NTSTATUS QuerySemaphoreState(HANDLE handle, LONG* currentCount, LONG* maximumCount)
{
    return QueryState(ActiveObjectCalls().querySemaphore, handle, currentCount, maximumCount);
}

bool LiesInside(const UNICODE_STRING& text, const BYTE* buffer, size_t size)
{
    const BYTE* start = reinterpret_cast<const BYTE*>(text.Buffer);
    if (!start || start < buffer || text.Length % sizeof(WCHAR) != 0)
        return false;
    const size_t offset = static_cast<size_t>(start - buffer);
    return offset <= size && size - offset >= text.Length;
}

NTSTATUS QueryObjectName(HANDLE handle, GrowingArray<BYTE>* buffer, const wchar_t** name, size_t* length)
{
    *name = L"";
    *length = 0;
    ULONG size = FirstNameBytes;
    buffer->Clear();
    if (!buffer->Reserve(size))
        return STATUS_NO_MEMORY_NT;
    ULONG needed = 0;
    const NativeQueryCall queryObject = ActiveObjectCalls().queryObject;
    NTSTATUS status = queryObject(handle, ObjectNameInformationClass, buffer->Tail(), size, &needed);
    if ((status == STATUS_INFO_LENGTH_MISMATCH_NT || status == STATUS_BUFFER_TOO_SMALL_NT ||
         status == STATUS_BUFFER_OVERFLOW_NT) && needed > size && needed <= MaxNameBytes) {
        size = needed;
        if (!buffer->Reserve(size))
            return STATUS_NO_MEMORY_NT;
        status = queryObject(handle, ObjectNameInformationClass, buffer->Tail(), size, &needed);
    }
    if (status < 0)
        return status;
    const UNICODE_STRING& text = *reinterpret_cast<const UNICODE_STRING*>(buffer->Tail());
    if (text.Length > 0 && LiesInside(text, buffer->Tail(), size)) {
        *name = text.Buffer;
        *length = text.Length / sizeof(wchar_t);
    }
    return 0;
}
