// The real main window over a namespace of test objects, shared by every
// property-sheet case of the program, with a seam that counts the opens and
// closes and can make opens fail.
#pragma once

#include <doctest.h>

#include <initializer_list>
#include <string>

#include "GeneralPage.h"
#include "MainFrame.h"
#include "ObjectOpen.h"
#include "Screenshot.h"
#include "SheetDriver.h"
#include "explorer/PaneHost.h"

using namespace panehost;
using sheetdriver::Seen;

inline std::string Utf8(const std::wstring& text)
{
    std::string out(text.size() * 4 + 1, '\0');
    out.resize(WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &out[0], static_cast<int>(out.size()), nullptr,
                                   nullptr));
    return out.c_str();
}

// Counts the handles the opens hand out and the closes, and can make opens
// fail from a given open on.
struct CountingCalls {
    static inline int opens = 0, closes = 0, failFrom = -1;
    static inline NTSTATUS failWith = 0;
    static inline ObjectCalls table;

    template <NativeOpenCall ObjectCalls::*member>
    static NTSTATUS NTAPI Open(PHANDLE handle, ACCESS_MASK access, POBJECT_ATTRIBUTES attributes)
    {
        if (failFrom >= 0 && opens + failures >= failFrom)
            return ++failures, failWith;
        const NTSTATUS status = (NativeObjectCalls().*member)(handle, access, attributes);
        opens += status == 0;
        return status;
    }
    static NTSTATUS NTAPI Close(HANDLE handle)
    {
        ++closes;
        return NativeObjectCalls().close(handle);
    }
    static inline int failures = 0;

    static void Install()
    {
        table = NativeObjectCalls();
        table.openDirectory = Open<&ObjectCalls::openDirectory>;
        table.openEvent = Open<&ObjectCalls::openEvent>;
        table.openMutant = Open<&ObjectCalls::openMutant>;
        table.openSemaphore = Open<&ObjectCalls::openSemaphore>;
        table.openSymbolicLink = Open<&ObjectCalls::openSymbolicLink>;
        table.close = Close;
        SetObjectCalls(&table);
    }
    static void FailFrom(int open, NTSTATUS status)
    {
        failFrom = open;
        failWith = status;
        failures = 0;
        opens = closes = 0;
    }
};

inline void HoldKeys(std::initializer_list<int> keys)
{
    BYTE state[256] = {};
    for (int key : keys)
        state[key] = 0x80;
    SetKeyboardState(state);
}

// What Wine will not report: a permanent object (it keeps OBJ_PERMANENT
// objects but reports no attributes) and an event of an unknown type.
inline NTSTATUS NTAPI PermanentObject(HANDLE handle, ULONG infoClass, PVOID buffer, ULONG length, PULONG returned)
{
    const NTSTATUS status = NativeObjectCalls().queryObject(handle, infoClass, buffer, length, returned);
    if (infoClass == 0 && status == 0)
        static_cast<OBJECT_BASIC_INFORMATION*>(buffer)->Attributes |= 0x10;
    return status;
}
inline NTSTATUS NTAPI OddEvent(HANDLE handle, ULONG infoClass, PVOID buffer, ULONG length, PULONG returned)
{
    const NTSTATUS status = NativeObjectCalls().queryEvent(handle, infoClass, buffer, length, returned);
    static_cast<LONG*>(buffer)[0] = 5;
    return status;
}

inline DWORD WINAPI HoldAndExit(LPVOID mutant)
{
    WaitForSingleObject(static_cast<HANDLE>(mutant), INFINITE);
    return 0;
}

inline const wchar_t SecuredDescriptor[] = L"O:BAG:BAD:(A;;0x100000;;;SY)(A;;0x120001;;;BA)(A;;0x1F0003;;;WD)(D;;0x2;;;BG)";
inline const std::wstring LongTarget = L"\\" + std::wstring(1499, L't');
inline const std::wstring LongDirectory = std::wstring(700, L'd');
inline const std::wstring LongName = std::wstring(600, L'n');

// One main window and one namespace for every case: they cost more to build
// than the cases take.
struct Program {
    Program()
    {
        AppInstance = GetModuleHandleW(nullptr);
        SystemMajorVersion = 6;
        REQUIRE(ns.Directory(L"Dir") >= 0);
        REQUIRE(ns.Directory(L"Dir\\Deeper") >= 0);
        REQUIRE(ns.Directory(L"Vanishing") >= 0);
        REQUIRE(ns.Event(L"auto") >= 0);
        REQUIRE(ns.Event(L"manual", true, true) >= 0);
        REQUIRE(ns.Mutant(L"held", true) >= 0);
        REQUIRE(ns.Mutant(L"abandoned") >= 0);
        REQUIRE(ns.Semaphore(L"sem", 3, 10) >= 0);
        REQUIRE(ns.SymbolicLink(L"link", L"\\Device") >= 0);
        REQUIRE(ns.SymbolicLink(L"longlink", LongTarget) >= 0);
        // A directory path and a name that together pass 1023 characters.
        REQUIRE(ns.Directory(LongDirectory) >= 0);
        REQUIRE(ns.Event(LongDirectory + L"\\" + LongName) >= 0);
        // Wine's editor shows no marks for the account of the DACL's first
        // entry: SYSTEM takes that place, and the cases read the others.
        REQUIRE(ns.UseDescriptor(SecuredDescriptor));
        REQUIRE(ns.Event(L"secured") >= 0);
        ns.UseDescriptor(L"");
        REQUIRE(ns.Event(L"refused") >= 0);
        REQUIRE(ns.Refuse(L"refused") >= 0);
        REQUIRE(WaitForSingleObject(ns.Handle(L"held"), 0) == WAIT_OBJECT_0);  // held twice
        HANDLE thread = CreateThread(nullptr, 0, HoldAndExit, ns.Handle(L"abandoned"), 0, nullptr);
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);

        frame = new MainFrame(MakeControlSite);
        MainWindowHandle = frame->CreateMainWindow(SW_SHOW);
        accelerators = LoadAcceleratorsW(AppInstance, MAKEINTRESOURCEW(IDA_ACCELERATORS));
        site = static_cast<ControlSite*>(frame->PaneObject());
        CountingCalls::Install();
        PumpAll();
    }

    void PumpAll() const
    {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (PreTranslateLoopMessage(&message, accelerators))
                continue;
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }

    // Shows directory in the tree (the list follows) and gives the list the
    // focus with the row named name focused and selected.
    void SelectRow(const std::wstring& directory, const std::wstring& name, UINT state = LVIS_FOCUSED | LVIS_SELECTED)
    {
        HWND tree = site->TreeWindow();
        HTREEITEM node = FindNode(tree, directory);
        REQUIRE(node);
        // Selecting another node first makes the list read the directory afresh.
        HTREEITEM root = Next(tree, TVGN_ROOT);
        SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET,
                     reinterpret_cast<LPARAM>(node == root ? Next(tree, TVGN_CHILD, root) : root));
        SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(node));
        SetFocus(site->ListWindow());
        SetRowState(site->ListWindow(), -1, 0, LVIS_FOCUSED | LVIS_SELECTED);
        const auto rows = Rows(site->ListWindow());
        row = -1;
        for (size_t i = 0; i < rows.size(); ++i)
            if (rows[i].record->name == name)  // the whole name: the shown text is read cut
                row = static_cast<int>(i);
        REQUIRE(row >= 0);
        SetRowState(site->ListWindow(), row, state, LVIS_FOCUSED | LVIS_SELECTED);
    }
    void SelectNode(const std::wstring& path)
    {
        HTREEITEM node = FindNode(site->TreeWindow(), path);
        REQUIRE(node);
        SendMessageW(site->TreeWindow(), TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(node));
        SetFocus(site->TreeWindow());
    }

    // Properties from the Object menu, run to the end of the sheet.
    Seen Properties()
    {
        return sheetdriver::Run([this] {
            PostMessageW(MainWindowHandle, WM_COMMAND, CMD_PROPERTIES, 0);
            PumpAll();
        });
    }

    TestNamespace ns;
    MainFrame* frame = nullptr;
    ControlSite* site = nullptr;
    HACCEL accelerators = nullptr;
    int row = -1;
};

inline Program& TheProgram()
{
    static Program* program = new Program;
    return *program;
}

inline void CheckOneBox(const Seen& seen, const wchar_t* text)
{
    CHECK(seen.sheets.empty());
    REQUIRE(seen.boxes.size() == 1);
    CHECK(Utf8(seen.boxes[0].text) == Utf8(text));
    CHECK(Utf8(seen.boxes[0].caption) == "Kagero");
    CHECK(seen.boxes[0].errorIcon);
}

