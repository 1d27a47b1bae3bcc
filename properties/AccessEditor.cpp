#include "AccessEditor.h"

#include "WideText.h"

HMODULE AccessEditorModule = nullptr;

namespace {

const wchar_t DefaultLibraryName[] = L"aclui.dll";
const wchar_t* LibraryName = DefaultLibraryName;
CreateSecurityPageCall EntryOverride = nullptr;

// The library's full path in the system directory; false when it cannot be named.
bool SystemLibraryPath(WideText* path)
{
    wchar_t directory[MAX_PATH];
    const UINT length = GetSystemDirectoryW(directory, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return false;
    return JoinObjectPath(directory, LibraryName, path);
}

}  // namespace

bool IsAccessEditorAvailable()
{
    WideText path;
    if (!SystemLibraryPath(&path))
        return false;
    const DWORD attributes = GetFileAttributesW(path.Get());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

CreateSecurityPageCall FindCreateSecurityPage()
{
    if (!AccessEditorModule) {
        WideText path;
        if (!SystemLibraryPath(&path))
            return nullptr;
        // The editor's own dependencies resolve from the system directory too.
        AccessEditorModule = LoadLibraryExW(path.Get(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
        if (!AccessEditorModule)
            return nullptr;
    }
    if (EntryOverride)
        return EntryOverride;
    return reinterpret_cast<CreateSecurityPageCall>(
        reinterpret_cast<void*>(GetProcAddress(AccessEditorModule, "CreateSecurityPage")));
}

void SetAccessEditorForTests(const wchar_t* libraryName, CreateSecurityPageCall entry)
{
    LibraryName = libraryName ? libraryName : DefaultLibraryName;
    EntryOverride = entry;
    AccessEditorModule = nullptr;
}
