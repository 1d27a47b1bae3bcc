// Builds a private subtree of real kernel objects for a test. Every object
// lives as long as the TestNamespace holds its handle.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

class TestNamespace {
public:
    // The subtree's root is a new directory \KageroTest-<pid>-<n> under "\".
    TestNamespace();
    ~TestNamespace();
    TestNamespace(const TestNamespace&) = delete;
    TestNamespace& operator=(const TestNamespace&) = delete;

    const std::wstring& Root() const { return root_; }
    // Full path of a name relative to the root ("" gives the root itself).
    std::wstring Path(const std::wstring& relative) const;

    // Each returns the NT status of the create; relative paths.
    long Directory(const std::wstring& relative);
    long Event(const std::wstring& relative, bool manualReset = false, bool signalled = false);
    long Mutant(const std::wstring& relative, bool owned = false);
    long Semaphore(const std::wstring& relative, long initial = 1, long maximum = 5);
    long Timer(const std::wstring& relative);
    long IoCompletion(const std::wstring& relative);  // a type outside the type table
    long SymbolicLink(const std::wstring& relative, const std::wstring& target);
    // Objects created from now on get this descriptor (SDDL); an empty text
    // goes back to none. Wine gives an object made without one no owner and
    // no DACL.
    bool UseDescriptor(const std::wstring& sddl);
    // The handle the namespace keeps for the object (null if none).
    HANDLE Handle(const std::wstring& relative) const;
    // Gives an existing object an empty DACL, so that opening it is refused.
    long Refuse(const std::wstring& relative);
    // Closes the object's handle: the object leaves the namespace.
    void Remove(const std::wstring& relative);

private:
    // Takes the handle by reference: it is read after the create has run.
    long Keep(long status, const HANDLE& handle, const std::wstring& path);
    std::wstring root_;
    PSECURITY_DESCRIPTOR descriptor_ = nullptr;
    std::vector<std::pair<std::wstring, HANDLE>> handles_;
};
