// Which device a file's name lies on. A file handle's name comes as the
// device's path and the name below it (\Device\NamedPipe\X), or through the
// namespace's links (under Wine \??\C:\windows\win.ini); either is followed,
// name by name, until an object that is neither a directory nor a link: the
// device. What each path turned out to be is kept, so that a scan's many
// files on one device read the namespace once.
#pragma once

#include <windows.h>

#include <cstddef>

#include "GrowingArray.h"

class FileDevices {
public:
    FileDevices() = default;
    FileDevices(const FileDevices&) = delete;
    FileDevices& operator=(const FileDevices&) = delete;

    // name (length characters) through the links to its device: *resolved
    // holds the device's path followed by the name below it (that part
    // starts at *fileAt; it may be empty), terminated. false when no device
    // lies on the way (a name not in the namespace, a directory, a link
    // loop, memory).
    bool Resolve(const wchar_t* name, size_t length, GrowingArray<wchar_t>* resolved, size_t* fileAt);
    // Forgets what was looked up: the namespace may have changed since.
    void Forget()
    {
        known_.Clear();
        texts_.Clear();
    }

private:
    enum Kind : BYTE { KindMissing, KindDirectory, KindLink, KindDevice };
    struct Known {  // one path looked up; its text (and a link's target) in texts_
        size_t at, length, targetAt, targetLength;
        Kind kind;
    };
    const Known* Look(const wchar_t* path, size_t length);

    GrowingArray<Known> known_;
    GrowingArray<wchar_t> texts_;
};
