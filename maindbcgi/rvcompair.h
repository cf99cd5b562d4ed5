// Pair files (name/value files as ordered (key, value) lists), pair and
// value lookups, splitting and joining texts, replacing text and realpath.
#ifndef RVCOMPAIR_H
#define RVCOMPAIR_H

#include "nstring.h"

#include <utility>
#include <vector>

typedef std::pair<NString, NString> RvPair;
typedef std::vector<RvPair> RvPairList;
typedef std::vector<NString> RvStringList;

// Result codes of the application helpers.
enum {
    RVCOM_ERR_ARG = -100001,        // bad or missing argument
    RVCOM_ERR_NO_MEMORY = -100003,
    RVCOM_ERR_READ_PAIR = -100007,  // pair file could not be read
    RVCOM_ERR_WRITE_PAIR = -100008, // pair file could not be written
    RVCOM_ERR_NO_FILE = -100010     // pair file (or row) does not exist
};

// Size of the buffer rvcomRealPath writes to.
enum { RVCOM_PATH_BUF_SIZE = 4096 };

// Appends the entries of a name/value file (no lock taken); retryCount
// below 1 counts as 1. 0, -100010 (no such file) or -100007.
int rvcomReadFileToPairArray(RvPairList& out, const char* path, int retryCount);
// Writes the pairs as a name/value file under the writer's lock. A key that
// would not read back the same (empty; holding '=', TAB, CR or LF; a '#' at
// its start or after a blank; a blank at either end) is refused. 0 or
// -100008.
int rvcomWriteFileFromPairArray(const RvPairList& pairs, const char* path, int retryCount);

// out = value of the first pair with that key; a null string when the key is
// null, empty or absent.
void rvcomGetPairValue(NString& out, const RvPairList& pairs, const char* key, bool caseless);
// Index of the first pair with that key; -1 when none (or key null/empty).
int rvcomFindPairKeyIndex(const RvPairList& pairs, const char* key, bool caseless);
// Index of the first element from start on equal to value (elements without
// text skipped); -1 when start is out of range or nothing matches.
int rvcomFindValueIndex(const RvStringList& list, const NString& value, int start, bool caseless);

// Appends the pieces between ','; empty inner pieces kept, a trailing ','
// adds nothing; pieces not trimmed. 0 or -100003.
int rvcomSplitComma(const char* text, RvStringList& out);
// Splits like rvcomSplitComma at separator, then each piece at its first
// '=' (no '=': empty value). 0 or -100003.
int rvcomSplitToPairArray(const char* text, RvPairList& out, char separator);
// Joins with separator; -100001 (out unchanged) when an element holds it.
int rvcomConvArrayToText(const RvStringList& list, NString& out, char separator);
// Appends the non-empty pieces between separators, each trimmed of blanks.
void rvcomConvTextToArray(const NString& text, RvStringList& out, char separator);

// out = src with every from replaced by to, matching at UTF-8 character
// boundaries only. 0 (src null/empty: out unchanged), -1 null from/to or
// empty from, -2 no memory.
int rvcomUtilStrReplace(const char* src, NString& out, const char* from, const char* to);

// realpath(path) into resolved (RVCOM_PATH_BUF_SIZE bytes). Always 0;
// resolved is "" when the path cannot be resolved (callers check the text).
int rvcomRealPath(const char* path, char* resolved);

// Real path of the running program from its argv[0]: rvcomRealPath of it
// when it names a path; a bare name was found through PATH, so the
// executable the process runs is taken instead. Same result rules.
int rvcomProgramPath(const char* argv0, char* resolved);

#endif
