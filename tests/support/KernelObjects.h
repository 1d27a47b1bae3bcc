// A private subtree of real kernel objects for a test. Every object lives as
// long as the TestNamespace holds its handle.
#pragma once

#include <windows.h>

#include <initializer_list>
#include <map>
#include <string>

// One row of a namespace table. Refuse gives an object made earlier an empty
// DACL, so that opening it is refused; Sddl sets the descriptor of the rows
// after it ("" for none: Wine then gives no owner and no DACL).
enum class Kind { Directory, Event, Mutant, Semaphore, IoCompletion, SymbolicLink, Refuse, Sddl, Section, Timer, Job };
struct ObjectRow {
    Kind kind;
    std::wstring path;      // relative to the root; the SDDL for Kind::Sddl
    long first = 0;         // Event: manual reset; Mutant: 1 owned, 2 abandoned; Semaphore: initial; Section: size
    long second = 0;        // Event: signalled; Semaphore: maximum
    std::wstring target{};  // SymbolicLink
};

// Names that differ only in the case of one letter beyond ASCII (Latin, Greek, full-width), in two directories
// because the kernel takes them for one name within one, and a name whose last unit is a lone surrogate. The find
// window's tests and kagero-dump's make them alike, so that the same text is seen to find the same of them.
inline const wchar_t* const CaseDirectories[] = {L"Cases", L"Cases\\Upper", L"Cases\\Lower"};
inline const wchar_t* const CaseNames[] = {L"Cases\\Upper\\Letter-\x00C4", L"Cases\\Upper\\Letter-\x03A3",
                                           L"Cases\\Upper\\Letter-\xFF21", L"Cases\\Lower\\Letter-\x00E4",
                                           L"Cases\\Lower\\Letter-\x03C3", L"Cases\\Lower\\Letter-\xFF41",
                                           L"Cases\\Lower\\Letter-\x00E4\xDC00"};

// The root is a new directory \KageroTest-<pid>-<n>; paths are relative to it.
class TestNamespace {
public:
    TestNamespace();
    ~TestNamespace();
    TestNamespace(const TestNamespace&) = delete;
    TestNamespace& operator=(const TestNamespace&) = delete;

    // Applies the rows in order; the number of rows that failed.
    int Build(std::initializer_list<ObjectRow> rows);
    const std::wstring& Root() const { return root_; }
    std::wstring Path(const std::wstring& relative) const;  // "" gives the root
    // The NT status of the create.
    long Directory(const std::wstring& relative) { return Create({Kind::Directory, relative}); }
    long Event(const std::wstring& relative) { return Create({Kind::Event, relative}); }
    HANDLE Handle(const std::wstring& relative) const;  // null if none
    // Closes the object's handle: the object leaves the namespace.
    void Remove(const std::wstring& relative);

private:
    long Create(const ObjectRow& row);
    std::wstring root_;
    PSECURITY_DESCRIPTOR descriptor_ = nullptr;
    std::map<std::wstring, HANDLE> handles_;  // by full path: a child sorts after its parent
};
