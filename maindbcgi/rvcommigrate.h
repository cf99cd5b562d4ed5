// Helpers shared by the batch programs: command-line values, console
// output and number texts.
#ifndef RVCOMMIGRATE_H
#define RVCOMMIGRATE_H

#include "nstring.h"

class RvComMigrate {
public:
    // The argument after the first occurrence of name whose next argument
    // exists and does not begin with '-'; null when there is none.
    static const char* comMigrateFindArgValue(int argc, char** argv, const char* name);

    // Conversion hooks for printed texts and for names/paths: leave the text
    // unchanged; 0.
    static int comMigrateConvText(NString& text);
    static int comMigrateConvName(NString& text);

    // "\r" and the text on standard output, flushed (a progress line rewritten
    // in place). 0.
    static int comMigratePrintProgress(const NString& text);
    // The text on standard output, with a line feed when newline is set. 0.
    static int comMigratePrint(const NString& text, bool newline);

    // A number as text ("%d", "%u", "%ld", "%lu", "%lld", "%llu", "%f").
    static NString comMigrateToString(int value);
    static NString comMigrateToString(unsigned int value);
    static NString comMigrateToString(long value);
    static NString comMigrateToString(unsigned long value);
    static NString comMigrateToString(long long value);
    static NString comMigrateToString(unsigned long long value);
    static NString comMigrateToString(double value);
    static NString comMigrateToString(float value);
};

#endif
