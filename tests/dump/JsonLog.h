// Every JSON line the dump's tests see is kept in one file, which the
// json_schema test then checks against the published schema.
#pragma once

#include <string>

// Appends out's lines when out is JSON Lines (its first byte '{'); the file
// is emptied at the first call of a run.
void KeepJsonLines(const std::string& out);
