// Display of date-time and time-span values through local-string
// templates, and request-parameter lookups.
#ifndef RVCOMDISP_H
#define RVCOMDISP_H

#include <vector>

#include "nstring.h"
#include "rvvalueparts.h"

// Request parameters: count names and values in request order.
struct RvParamArray {
    int count;
    char** names;
    char** values;
};

// Formats a YYYYMMDDhhmmss text with the local-string template of a
// "dateviewfmt_*" key. weekday may be null ("0".."6" names the day).
// 0, or -100001 for a missing date or key or an unacceptable date.
int rvcomChangeDateTimeFormat(const char* date, const char* weekday, const char* key,
                              NString& out);

// Formats a time span with the template of code "0".."9"; another code
// joins the four parts. 0, or -100001 for a missing code.
int rvcomChangeTimeSpanFormat(const TimeSpanParts& parts, const char* code, NString& out);

// Splits seconds into days, hours, minutes and seconds (truncating toward
// zero; read in 64 bits). Always 0.
int rvappGetParseTimeSpanValuesBySecondString(const NString& secondsText, long long& days,
                                              int& hours, int& minutes, int& seconds);
// Text form ("%d" each). 0.
int rvappGetParseTimeSpanValuesBySecondString(const NString& secondsText, NString& days,
                                              NString& hours, NString& minutes,
                                              NString& seconds);

// First value of name (case-insensitive), else def; empty name: no text.
NString& rvappGetParamValue(NString& out, const RvParamArray& params, const char* name,
                            const char* def);
// Every value of name, in order.
std::vector<NString>& rvappGetParamValues(std::vector<NString>& out,
                                          const RvParamArray& params, const char* name);

// "YYYY-MM-DD hh:mm:ss" (or a prefix of it) -> digits only. 0.
int rvcomPackDateTimeDigits(const char* text, NString& out);

#endif
