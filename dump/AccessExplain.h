// --explain: how the access engine reached its answer for one object and
// one subject, step by step, in words for people or as one JSON object.
#pragma once

#include <windows.h>

#include <cstddef>

#include "AccessEngine.h"
#include "TextEncoding.h"

struct ExplainedObject {
    const wchar_t* path;
    const wchar_t* typeName;
    int rightsRow;  // the type's row of the access-right names (FindAccessRow)
    PSECURITY_DESCRIPTOR descriptor;  // as read, with its label where the system gave it
    DWORD length;
    GENERIC_MAPPING mapping;
};

// Appends the explanation of evaluation (EvaluateAccess of subject against
// object's descriptor), ended by "\n": in text, a block of lines; in JSON,
// one line {"path", "subject", "granted", "rights", "steps"}.
void AppendExplanation(ByteBuffer& out, bool json, const ExplainedObject& object, const AccessSubject& subject,
                       const wchar_t* subjectLabel, const AccessEvaluation& evaluation);
