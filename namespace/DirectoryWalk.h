// Walks object directories with the native directory calls: the whole tree
// from the root for the directory tree, one directory for the object list,
// or one named entry for the property sheet.
#pragma once

#include <windows.h>
#include <winternl.h>

struct EntryRecord;

// A tree node as the receiver of the walk knows it (an HTREEITEM for the
// directory tree). The walk only passes it back.
typedef void* DirectoryNode;

// What a walk hands its findings to. The directory tree and the object list
// are the real receivers; tests record.
class NamespaceSink {
public:
    // Inserts the node of the directory at path under parent; the node keeps
    // its own copy of the path. Returns the node its subdirectories go under.
    virtual DirectoryNode InsertDirectoryNode(DirectoryNode parent, const wchar_t* path) = 0;
    // One entry of a listed directory; both texts are the caller's.
    virtual void AddListEntry(int enumerationIndex, const wchar_t* typeName, const wchar_t* name) = 0;

protected:
    ~NamespaceSink() = default;
};

// What ReadDirectory hands each entry to. Both texts are the reader's,
// terminated, and valid only during the call.
class DirectoryVisitor {
public:
    // false stops the reading: the handle is closed at once.
    virtual bool VisitEntry(const UNICODE_STRING& name, const UNICODE_STRING& typeName) = 0;

protected:
    ~DirectoryVisitor() = default;
};

enum WalkMode { WalkTree = 1, WalkList = 2 };

const ULONG EnumerateBufferBytes = 4096;
const ULONG FindBufferBytes = 2048;
const int ObjectPathChars = 1024;     // a path buffer, terminator included
const int FindTextChars = 2048;       // FindDirectoryEntry's path and name buffers
const ACCESS_MASK DirectoryOpenAccess = 0x00020001;  // READ_CONTROL | DIRECTORY_QUERY

// Opens a directory for listing. Returns the open's status.
NTSTATUS OpenDirectory(const wchar_t* path, HANDLE* directory);

// Walks path in the given modes. Returns the open's failure status, else 0.
NTSTATUS EnumerateDirectory(const wchar_t* path, int mode, DirectoryNode parent, NamespaceSink& sink);
// Inserts the root and every directory below it under parent, depth first.
NTSTATUS WalkNamespaceTree(DirectoryNode parent, NamespaceSink& sink);
// Hands every entry of one directory to the sink. Returns 0 or the open's status.
NTSTATUS ListDirectoryEntries(const wchar_t* path, NamespaceSink& sink);
// Reads one directory's entries, in the kernel's order, holding its handle
// only while reading. Returns 0 when every entry was read or the visitor
// stopped, else the status of the open or of the query that failed (the
// entries before it were handed over).
NTSTATUS ReadDirectory(const wchar_t* path, DirectoryVisitor& visitor);
// Looks one entry up by its exact name. On a match returns 0 and *slot
// receives a new record (index -1) that the caller owns. Otherwise *slot is
// left alone and the status says why: STATUS_OBJECT_NAME_NOT_FOUND when the
// directory holds no such entry, else the failure (the directory's open, a
// path or name too long for the lookup, memory, a failed query).
NTSTATUS FindDirectoryEntry(const wchar_t* path, const wchar_t* name, EntryRecord** slot);

// Writes parent + "\" + name (no doubled backslash after the root) into
// buffer. Returns false, with buffer holding an empty text, when the result
// and its terminator do not fit capacity characters.
bool BuildChildPath(const wchar_t* parent, const UNICODE_STRING& name, wchar_t* buffer, int capacity);
