// Shared steps of the definition records' field checks.
#ifndef RVAPPFIELDCHECK_H
#define RVAPPFIELDCHECK_H

#include "nstring.h"
#include "rvresult.h"
#include "rvvalidator.h"

// Code 0 for a passed check; otherwise the check's code with the
// validator's message for the item named by key.
RvResult rvappFieldResult(const RvCheckResult& check, const char* key);

// Required text of exactly one character out of allowed: -210001, -210006.
RvResult rvappCheckOneChar(const NString& value, const char* allowed, const char* key);
// Required text, then an integer range: -210001, -210008, -210002, -210003.
RvResult rvappCheckRequiredIntRange(const NString& value, int min, int max, const char* key);
// Empty passes; else an integer range: -210008, -210002, -210003.
RvResult rvappCheckOptionalIntRange(const NString& value, int min, int max, const char* key);

// Decimal value of the text's leading digits (optional blanks and sign), as
// the readers convert integers: 0 for null, empty or no digits; clamped to
// the int range.
int rvappTextToInt(const char* text);

// An id that stands unquoted in SQL: out = the integer text as "%lld".
// 0, or -100001 when the text is not an integer (comIsInteger) or too large.
int rvappIntegerIdText(const char* text, NString& out);

#endif
