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

    // Appends the line of the entry at path in the options' form, with
    // holders and the --find-from line it matched when given; nothing when
    // --writable-by leaves it out.
    void AppendLine(ByteBuffer& out, const WideText& path, const wchar_t* typeName,
                    const EntryHolding* holders = nullptr, const wchar_t* matched = nullptr);
    // The same, from one read of the object, as JSON into json and as text
    // into text (either may be null). false when --writable-by left it out.
    bool AppendForms(ByteBuffer* json, ByteBuffer* text, const WideText& path, const wchar_t* typeName,
                     const EntryHolding* holders, const wchar_t* matched);

private:
    const DumpOptions& options_;
    SecurityAudit audit_;
    bool auditing_;
};
