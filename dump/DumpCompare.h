// kagero-dump --compare: the entries created, deleted and changed between a
// saved dump and the namespace now (or, with --against, another saved dump),
// written in the dump's order as the two lists are merged.
#pragma once

#include "DumpOptions.h"
#include "OutputChannel.h"
#include "SavedDump.h"

class DumpComparer {
public:
    DumpComparer(const DumpOptions& options, const SavedDump& baseline, OutputChannel& output);
    DumpComparer(const DumpComparer&) = delete;
    DumpComparer& operator=(const DumpComparer&) = delete;

    // The next entry now, in the dump's order: its JSON line, and its text
    // line when the output is text (null: made from the JSON).
    void Now(const char* json, size_t jsonLength, const char* text, size_t textLength);
    // A directory that cannot be listed now: what was below it is not known.
    bool NowFailed(const wchar_t* path);
    // The baseline's entries after the last one now.
    void Finish();
    bool Chosen(const SavedDump& dump, size_t k) const { return Chosen(dump.Names(k), dump.NamesLength(k), dump.Type(k)); }

private:
    void Deleted(size_t k);
    void Created(const char* json, size_t jsonLength, const char* text, size_t textLength);
    void Changed(const char* json, size_t jsonLength);
    bool Unknown(const wchar_t* names, size_t length) const;
    // A saved entry the walk would have listed under the options: below PATH,
    // within --depth, of a --type, matching --find and --find-from.
    bool Chosen(const wchar_t* names, size_t length, const wchar_t* type) const;
    void AppendTextFrom(const GrowingArray<RecordField>& fields);
    void AppendValue(const RecordField* field);
    void AppendEvent(const char* event, const char* json, size_t jsonLength, bool whole);

    const DumpOptions& options_;
    const SavedDump& baseline_;
    OutputChannel& output_;
    size_t next_ = 0;
    SubtreeSnapshot nowFailures_;
    SubtreeSnapshot current_;  // the entry now, its path in the form of Names
    GrowingArray<RecordField> was_;
    GrowingArray<RecordField> is_;
    SubtreeSnapshot scope_;  // PATH, in the form of Names
};

// A saved dump read for comparing under options: false, said on errors, when
// it cannot be read, is no dump, or was made with other options (named).
// Its directories that could not be listed are said once.
bool LoadSavedDump(const DumpOptions& options, const wchar_t* file, SavedDump& dump, ByteBuffer& errors);
// --against: every entry of newer the options choose fed to comparer, and the end.
void CompareSaved(DumpComparer& comparer, const SavedDump& newer);
