// Builds a private subtree of real kernel objects for a test. Every object
// lives as long as the TestNamespace holds its handle.
#pragma once

#include <windows.h>

#include <initializer_list>
#include <string>
#include <vector>

// One row of a namespace table. Refuse gives an object made earlier an
// empty DACL, so that opening it is refused; Sddl sets the descriptor of the
// rows after it ("" for none: Wine then gives no owner and no DACL).
enum class Kind { Directory, Event, Mutant, Semaphore, Timer, IoCompletion, SymbolicLink, Refuse, Sddl };
struct ObjectRow {
    Kind kind;
    std::wstring path;      // relative to the root; the SDDL for Kind::Sddl
    long first = 0;         // Event: manual reset; Mutant: owned; Semaphore: initial
    long second = 0;        // Event: signalled; Semaphore: maximum
    std::wstring target{};  // SymbolicLink
};

class TestNamespace {
public:
    // The subtree's root is a new directory \KageroTest-<pid>-<n> under "\".
    TestNamespace();
    ~TestNamespace();
    TestNamespace(const TestNamespace&) = delete;
    TestNamespace& operator=(const TestNamespace&) = delete;

    // Applies the rows in order; the number of rows that failed.
    int Build(std::initializer_list<ObjectRow> rows);

    const std::wstring& Root() const { return root_; }
    // Full path of a name relative to the root ("" gives the root itself).
    std::wstring Path(const std::wstring& relative) const;

    // Each returns the NT status of the create; relative paths.
    long Directory(const std::wstring& rel) { return Create({Kind::Directory, rel}); }
    long Event(const std::wstring& rel, bool manualReset = false, bool signalled = false)
    {
        return Create({Kind::Event, rel, manualReset, signalled});
    }
    long Mutant(const std::wstring& rel, bool owned = false) { return Create({Kind::Mutant, rel, owned}); }
    // The handle the namespace keeps for the object (null if none).
    HANDLE Handle(const std::wstring& relative) const;
    // Closes the object's handle: the object leaves the namespace.
    void Remove(const std::wstring& relative);

private:
    long Create(const ObjectRow& row);
    std::wstring root_;
    PSECURITY_DESCRIPTOR descriptor_ = nullptr;
    std::vector<std::pair<std::wstring, HANDLE>> handles_;
};
