#include "TypeCheck.h"

#include "NameCompare.h"

namespace {

bool HasType(const DirectoryEntries& types, const wchar_t* name)
{
    for (size_t i = 0; i < types.Count(); ++i)
        if (EqualCaseless(types.Name(i), name))
            return true;
    return false;
}

}  // namespace

const wchar_t* FindUnknownType(const DumpOptions& options, DirectoryEntries& types)
{
    if (options.typeCount == 0)
        return nullptr;
    // A failed query ends a listing quietly: no types read is a listing that failed.
    if (ListDirectoryEntries(L"\\ObjectTypes", types) < 0 || !types.Complete() || types.Count() == 0)
        return nullptr;
    types.Sort();
    for (int t = 0; t < options.typeCount; ++t)
        if (!HasType(types, options.types[t]))
            return options.types[t];
    return nullptr;
}
