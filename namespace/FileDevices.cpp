#include "FileDevices.h"

#include "DirectoryWalk.h"
#include "NameCompare.h"
#include "NativeApi.h"
#include "ObjectOpen.h"
#include "ObjectQueries.h"
#include "ObjectTypes.h"
#include "Owned.h"
#include "WideText.h"

namespace {

// More links than any real name goes through: a loop.
const int MostLinks = 16;

// The type of one name in a directory, letter case ignored as the kernel opens it.
class TypeOfName final : public DirectoryVisitor {
public:
    TypeOfName(const wchar_t* name, size_t length) : name_(name), length_(length) {}
    bool VisitEntry(const UNICODE_STRING& name, const UNICODE_STRING& typeName) override
    {
        if (!EqualCaseless(name.Buffer, name.Length / sizeof(wchar_t), name_, length_))
            return true;
        found_ = true;
        directory_ = EqualCaseless(typeName.Buffer, typeName.Length / sizeof(wchar_t), L"Directory", 9);
        link_ = EqualCaseless(typeName.Buffer, typeName.Length / sizeof(wchar_t), L"SymbolicLink", 12);
        return false;
    }
    bool found_ = false, directory_ = false, link_ = false;

private:
    const wchar_t* name_;
    size_t length_;
};

}  // namespace

const FileDevices::Known* FileDevices::Look(const wchar_t* path, size_t length)
{
    for (size_t i = 0; i < known_.Count(); ++i)
        if (EqualCaseless(texts_.Data() + known_[i].at, known_[i].length, path, length))
            return &known_[i];
    // The parent, terminated, and the last name.
    size_t cut = length;
    while (cut > 0 && path[cut - 1] != L'\\')
        --cut;
    WideText parent, whole;
    if (cut == 0 || !parent.Assign(path, cut > 1 ? cut - 1 : 1) || !whole.Assign(path, length))
        return nullptr;
    TypeOfName type(path + cut, length - cut);
    Known known = {texts_.Count(), length, 0, 0, KindMissing};
    WideText target;
    if (ReadDirectory(parent.Get(), type) >= 0 && type.found_) {
        known.kind = type.directory_ ? KindDirectory : type.link_ ? KindLink : KindDevice;
        ObjectHandle link;
        LONGLONG created = 0;
        if (type.link_ && (OpenObjectByType(whole.Get(), TypeSymbolicLink, OpenForQuery, link.Receive()) < 0 ||
                           QuerySymbolicLink(link.Get(), &target, &created) < 0 || target.Empty()))
            known.kind = KindMissing;
    }
    known.targetAt = known.at + length;
    known.targetLength = target.Length();
    if (!texts_.Append(path, length) || !texts_.Append(target.Get(), target.Length()) || !known_.Push(known))
        return nullptr;
    return &known_[known_.Count() - 1];
}

bool FileDevices::Resolve(const wchar_t* name, size_t length, GrowingArray<wchar_t>* resolved, size_t* fileAt)
{
    GrowingArray<wchar_t> path, next;
    if (length == 0 || name[0] != L'\\' || !path.Append(name, length))
        return false;
    size_t at = 0;  // the names before at are directories
    for (int links = 0; links <= MostLinks;) {
        size_t end = at + 1;
        while (end < path.Count() && path[end] != L'\\')
            ++end;
        if (end == at + 1)
            return false;  // an empty name, or a directory at the end
        const Known* known = Look(path.Data(), end);
        if (!known || known->kind == KindMissing)
            return false;
        if (known->kind == KindDevice) {
            const wchar_t terminator = L'\0';
            resolved->Clear();
            *fileAt = end;
            return resolved->Append(path.Data(), path.Count()) && resolved->Push(terminator);
        }
        if (known->kind == KindDirectory) {
            at = end;
            if (at >= path.Count())
                return false;
            continue;
        }
        // A link: its target takes the place of the names up to it, and is read from its start.
        next.Clear();
        if (!next.Append(texts_.Data() + known->targetAt, known->targetLength) ||
            !next.Append(path.Data() + end, path.Count() - end))
            return false;
        path.Clear();
        if (!path.Append(next.Data(), next.Count()))
            return false;
        at = 0;
        ++links;
    }
    return false;
}
