// A dump saved by kagero-dump --json, read back for --compare: its entries'
// paths in the dump's order, each with its line, and the directories it
// could not list. The lines are kept as read; their fields are taken apart
// only when an entry is compared.
#pragma once

#include <windows.h>

#include <cstddef>

#include "GrowingArray.h"
#include "SubtreeSnapshot.h"
#include "TextEncoding.h"
#include "WideText.h"

// One "key": value of a record: the key's bytes (without quotes) and the
// value's JSON text, as written.
struct RecordField {
    const char* key;
    size_t keyLength;
    const char* value;
    size_t valueLength;
};

// The fields of one JSON object on one line, nested values taken whole.
// false for anything but one object.
bool ReadRecordFields(const char* line, size_t length, GrowingArray<RecordField>& fields);
// The field called key, or null.
const RecordField* FindField(const GrowingArray<RecordField>& fields, const char* key);
// A JSON string value (quotes included) into UTF-16, any unit as escaped; false for another value.
bool DecodeJsonString(const char* value, size_t length, WideText* text);

// The options that write fields beyond an entry's own (path, name, type,
// target, win32Name, openError), one bit each.
const unsigned DetailsFields = 1;
const unsigned SecurityFields = 2;
const unsigned WritableFields = 4;
const unsigned HoldersFields = 8;
const unsigned MatchedFields = 16;
const unsigned SecurityErrorField = 32;  // --security or --writable-by
// The groups the options write.
struct DumpOptions;
unsigned FieldGroupsOf(const DumpOptions& options);
// The option that writes a group, for a person.
const wchar_t* FieldGroupOption(unsigned group);

class SavedDump {
public:
    SavedDump() = default;
    SavedDump(const SavedDump&) = delete;
    SavedDump& operator=(const SavedDump&) = delete;

    // Reads file. false, with the one line that says why on errors, for a
    // file that cannot be read or holds a line that is no record of kagero-dump --json.
    bool Load(const wchar_t* file, ByteBuffer& errors);

    // The entries in the dump's order (sorted so, as the file may not be).
    size_t Count() const { return order_.Count(); }
    const wchar_t* Names(size_t k) const { return paths_.Names(order_[k]); }
    size_t NamesLength(size_t k) const { return paths_.NamesLength(order_[k]); }
    const wchar_t* Type(size_t k) const { return paths_.Type(order_[k]); }
    const char* Line(size_t k, size_t* length) const;
    // The directories that could not be listed (names as in Names).
    const SubtreeSnapshot& Failures() const { return failures_; }
    // The field groups its entries hold.
    unsigned Groups() const { return groups_; }
    // Memory held: the file's bytes, the paths and the index.
    size_t Bytes() const;

private:
    struct Span {
        size_t at;
        size_t length;
    };
    bool Take(const char* line, size_t length, GrowingArray<RecordField>& fields);

    ByteBuffer bytes_;
    SubtreeSnapshot paths_;  // each entry's path and type, in the file's order
    GrowingArray<Span> lines_;
    GrowingArray<size_t> order_;
    SubtreeSnapshot failures_;
    unsigned groups_ = 0;
};
