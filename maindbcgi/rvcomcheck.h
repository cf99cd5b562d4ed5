// Checks and conversions of texts that hold dates, mail addresses and
// decimal numbers.
#ifndef RVCOMCHECK_H
#define RVCOMCHECK_H

#include "nstring.h"

// Splits a date-time text ("2024/01/05 10:20:30", "2024-01-05 10:20:30" or
// the local-word form) into its parts; parts without a field keep their
// value. 0, or -100003 when no working copy can be allocated.
int rvcomParseDateTime(const char* text, NString& year, NString& month, NString& day,
                       NString& hour, NString& minute, NString& second);

// Checks "y,m,d,h,i,s" and writes "YYYY-MM-DD hh:mm:ss" (withSeparators)
// or "YYYYMMDDhhmmss" to out. 1 valid, 0 invalid.
int rvcomCheckDate(const char* text, NString& out, bool withSeparators);

// Splits a stamp of at most 14 bytes laid over "00000101000000".
// 0, or -100001 for a longer stamp (outputs unchanged).
int rvcomSplitDateTime(const char* stamp, NString& year, NString& month, NString& day,
                       NString& hour, NString& minute, NString& second);

// 1 valid, 0 invalid (1-256 bytes, ASCII, no blank, one inner '@').
int rvcomCheckMailAddress(const char* text);

// 1 for [-]digits[.digits] (a lone "-" too), else 0.
int rvcomIsNumberText(const char* text);

// 1 when the number fits intDigits/decDigits, else 0.
int rvcomCheckNumberDigits(const char* text, int intDigits, int decDigits);

// Counts the characters before and after the '.' (sign skipped).
// 0, or -100001 for an empty or non-number text.
int rvcomCountNumberDigits(const char* text, int* intDigits, int* decDigits);

// "1.500" -> "1.5", "2.000" -> "2"; a text without '.' unchanged. Always 0.
int rvcomTrimDecimalZeros(const char* text, NString& out);

// Fixed-width form "[-]III.DD" whose byte order is the numeric order of
// non-negative numbers. *out is allocated with malloc; the caller frees
// it. 0, -100001 (bad argument or an integer part longer than intDigits),
// -100003 (no memory).
int rvcomAlignNumberText(const char* text, int intDigits, int decDigits, char** out);

// *cmp = sign of a - b after alignment. 0, or a failure code.
int rvcomCompareNumber(const char* a, const char* b, int intDigits, int decDigits, int* cmp);

#endif
