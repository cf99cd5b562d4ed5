// Helpers shared by the batch programs: command-line values, console
// output and number texts.
#ifndef RVCOMMIGRATE_H
#define RVCOMMIGRATE_H

#include "nstring.h"

// The argument after the first occurrence of name whose next argument
// exists and does not begin with '-'; null when there is none.
const char* comMigrateFindArgValue(int argc, char** argv, const char* name);

// Conversion hooks for printed texts and for names/paths: leave the text
// unchanged; 0.
int comMigrateConvText(NString& text);
int comMigrateConvName(NString& text);

// "\r" and the text on standard output, flushed (a progress line rewritten
// in place). 0.
int comMigratePrintProgress(const NString& text);
// The text on standard output, with a line feed when newline is set. 0.
int comMigratePrint(const NString& text, bool newline);

// A number as text ("%d", "%u", "%ld", "%lu", "%lld", "%llu", "%f").
NString comMigrateToString(int value);
NString comMigrateToString(unsigned int value);
NString comMigrateToString(long value);
NString comMigrateToString(unsigned long value);
NString comMigrateToString(long long value);
NString comMigrateToString(unsigned long long value);
NString comMigrateToString(double value);
NString comMigrateToString(float value);

#endif
