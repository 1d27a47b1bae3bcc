// One entry's dump line, its object read now for what the options ask:
// --details, a link's target, --security and --writable-by. The dump makes
// one for its whole walk and the watch one for its whole run, so that the
// audit's buffers are made once, not for every entry.
#pragma once

#include "DumpOptions.h"
#include "EntryHolders.h"
#include "SecurityAudit.h"
#include "TextEncoding.h"
#include "WideText.h"

class EntryReader {
public:
    // subjects: those --writable-by and --writable-by-process made, if any.
    explicit EntryReader(const DumpOptions& options, const DumpSubjects* subjects = nullptr);
    EntryReader(const EntryReader&) = delete;
    EntryReader& operator=(const EntryReader&) = delete;

    // Appends the line of the entry at path, with holders when given;
    // nothing when --writable-by leaves it out.
    void AppendLine(ByteBuffer& out, const WideText& path, const wchar_t* typeName,
                    const EntryHolding* holders = nullptr);

private:
    const DumpOptions& options_;
    SecurityAudit audit_;
    bool auditing_;
};
