// Queries on real objects made in Wine's namespace.
#include <doctest.h>

#include <string>

#include "KernelObjects.h"
#include "ObjectOpen.h"
#include "ObjectQueries.h"
#include "ObjectTypes.h"

namespace {

struct Opened {
    Opened(const std::wstring& path, int type) { status = OpenObjectByType(path.c_str(), type, OpenForQuery, handle.Receive()); }
    ObjectHandle handle;
    NTSTATUS status = 0;
};

DWORD WINAPI HoldAndExit(LPVOID mutant)
{
    WaitForSingleObject(static_cast<HANDLE>(mutant), INFINITE);
    return 0;  // ends still owning it: the mutant is abandoned
}

}  // namespace

TEST_CASE("Basic information and the type's name and count")
{
    TestNamespace ns;
    REQUIRE(ns.Event(L"ev") >= 0);
    Opened event(ns.Path(L"ev"), TypeEvent);
    REQUIRE(event.status == 0);
    OBJECT_BASIC_INFORMATION basic;
    FillMemory(&basic, sizeof(basic), 0xCC);
    wchar_t typeName[TypeNameChars];
    LONG count = -5;
    CHECK(QueryObjectInfo(event.handle.Get(), &basic, ObjectBasicInformationBytes, typeName, TypeNameChars, &count) == 0);
    CHECK(std::wstring(typeName) == L"Event");
    CHECK(basic.HandleCount == 2);  // the namespace's handle and ours
    CHECK((basic.Attributes & ObjectPermanentFlag) == 0);
    CHECK(count >= 0);

    // A name that does not fit the caller's buffer is left out, not cut.
    wchar_t tiny[5];
    CHECK(QueryObjectInfo(event.handle.Get(), &basic, ObjectBasicInformationBytes, tiny, 5, &count) == 0);
    CHECK(tiny[0] == L'\0');

    // A handle that is no handle: zeros and empty texts.
    FillMemory(&basic, sizeof(basic), 0xCC);
    count = -5;
    HANDLE invalid = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(0x7FFC));
    CHECK(QueryObjectInfo(invalid, &basic, ObjectBasicInformationBytes, typeName, TypeNameChars, &count) == 0);
    CHECK(basic.HandleCount == 0);
    CHECK(basic.Attributes == 0);
    CHECK(typeName[0] == L'\0');
    CHECK(count == 0);
}

TEST_CASE("Event, mutant and semaphore states")
{
    TestNamespace ns;
    REQUIRE(ns.Event(L"auto") >= 0);
    REQUIRE(ns.Event(L"manual", true) >= 0);
    REQUIRE(ns.Event(L"set", true, true) >= 0);
    REQUIRE(ns.Mutant(L"free") >= 0);
    REQUIRE(ns.Mutant(L"once", true) >= 0);
    REQUIRE(ns.Mutant(L"twice", true) >= 0);
    REQUIRE(ns.Mutant(L"abandoned") >= 0);
    REQUIRE(ns.Semaphore(L"sem", 3, 10) >= 0);
    REQUIRE(WaitForSingleObject(ns.Handle(L"twice"), 0) == WAIT_OBJECT_0);
    HANDLE thread = CreateThread(nullptr, 0, HoldAndExit, ns.Handle(L"abandoned"), 0, nullptr);
    REQUIRE(thread);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);

    const struct {
        const wchar_t* name;
        int type;
        LONG first;
        LONG second;
    } rows[] = {
        {L"auto", TypeEvent, 1, 0},        {L"manual", TypeEvent, 0, 0},     {L"set", TypeEvent, 0, 1},
        // Held by this thread: the owned-by-caller byte is set.
        {L"free", TypeMutant, 1, 0},       {L"once", TypeMutant, 0, 1},      {L"twice", TypeMutant, -1, 1},
        {L"abandoned", TypeMutant, 1, 0x100}, {L"sem", TypeSemaphore, 3, 10},
    };
    for (const auto& row : rows) {
        CAPTURE(std::string(row.name, row.name + lstrlenW(row.name)));
        Opened object(ns.Path(row.name), row.type);
        REQUIRE(object.status == 0);
        LONG first = -99;
        LONG second = -99;
        ULONG flags = 0xDEAD;
        if (row.type == TypeEvent)
            QueryEventState(object.handle.Get(), &first, &second);
        else if (row.type == TypeSemaphore)
            QuerySemaphoreState(object.handle.Get(), &first, &second);
        else
            QueryMutantState(object.handle.Get(), &first, &flags), second = static_cast<LONG>(flags);
        CHECK(first == row.first);
        CHECK(second == row.second);
    }

    // A query of the wrong kind fails: zeros, and still 0 returned.
    Opened event(ns.Path(L"set"), TypeEvent);
    LONG current = -99;
    LONG maximum = -99;
    CHECK(QuerySemaphoreState(event.handle.Get(), &current, &maximum) == 0);
    CHECK(current == 0);
    CHECK(maximum == 0);
    ULONG flags = 0xDEAD;
    CHECK(QueryMutantState(event.handle.Get(), &current, &flags) == 0);
    CHECK(flags == 0);
}

TEST_CASE("Symbolic-link targets are read whole, however long")
{
    TestNamespace ns;
    const std::wstring exact = L"\\" + std::wstring(1023, L'x');  // 1024 characters: fills the first buffer
    const std::wstring longer = L"\\" + std::wstring(1499, L'y');
    const std::wstring targets[] = {L"\\Device", exact, longer};
    for (size_t i = 0; i < 3; ++i)
        REQUIRE(ns.SymbolicLink(L"link" + std::to_wstring(i), targets[i]) >= 0);
    for (size_t i = 0; i < 3; ++i) {
        CAPTURE(i);
        Opened link(ns.Path(L"link" + std::to_wstring(i)), TypeSymbolicLink);
        REQUIRE(link.status == 0);
        WideText target;
        LONGLONG created = -1;
        CHECK(QuerySymbolicLink(link.handle.Get(), &target, &created) == 0);
        CHECK(target.Length() == targets[i].size());
        CHECK(std::wstring(target.Get()) == targets[i]);
        CHECK(created >= 0);
    }
    // Not a link: an empty target.
    REQUIRE(ns.Event(L"ev") >= 0);
    Opened event(ns.Path(L"ev"), TypeEvent);
    WideText target;
    target.Assign(L"stale");
    LONGLONG created = -1;
    QuerySymbolicLink(event.handle.Get(), &target, &created);
    CHECK(target.Empty());
}
