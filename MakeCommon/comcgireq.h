// CGI request reading: parameters of GET and POST requests (multipart
// uploads included), value trimming, cookies and the script's location.
// Arrays and strings handed out are malloc'd: free requests with
// comCgiFreeRequest (comcgi.h); cookie values are freed one by one, then
// their array.
#ifndef COMCGIREQ_H
#define COMCGIREQ_H

#include <cstddef>
#include <cstdio>

// In place: cuts the trailing run of blanks, CR and LF (blanks only with
// trimBlanks); a text that is only such a run becomes "". With
// emptyIfBlank 1, a text of only blanks, CR, LF and full-width spaces
// (81 40 with sjis, else E3 80 80) becomes "". Leading blanks stay.
// 0; -99 for NULL.
int comCgiTrimValue(char* text, int sjis, int emptyIfBlank, int trimBlanks);

// Upload progress callback: returns 1 to stop storing data.
typedef unsigned char (*ComCgiProgress)();

// Reads the request of REQUEST_METHOD into parallel arrays. noTrim is a
// NULL-terminated list of names whose values keep their blanks (or NULL);
// uploadDir, progress and sizeLimit (0: none) serve multipart requests.
// The field count; 0 for no request; -1 no memory; -2 input ended early;
// -3 no or bad content length; -4 read error; -5 short body; -10 upload
// failed; -11 body above the size limit; -12 empty body; -13 stopped.
int comCgiGetRequest(char*** names, char*** values, char*** fileNames, char*** types,
                     const char* uploadDir, const char* const* noTrim,
                     ComCgiProgress progress, double sizeLimit);

// Values of every cookie of that name in HTTP_COOKIE, decoded, in order.
// Their number (0 when none); -1 when memory runs out. *count is set too.
int comCgiGetCookies(char*** values, int* count, const char* name);

// Directory of SCRIPT_FILENAME (else of argv[0], "." when empty) and,
// when baseName is given, its last component. 0.
int comCgiScriptDir(int argc, char** argv, char* dir, int dirSize, char* baseName,
                    int baseSize);
// SCRIPT_NAME ("" when unset), cut to outSize - 1 bytes. Returns out.
char* comCgiScriptName(char* out, size_t outSize);
// Sub-directory part of a script path whose tail names an executable file
// (relative to the current directory), with a closing '/'; "" when none.
// out needs strlen(path) + 2 bytes (at most 8193).
void comCgiScriptSubDir(const char* path, char* out);

// ---- multipart/form-data ------------------------------------------------------
// Reads a multipart body from standard input: plain fields into memory,
// file parts into temporary files (the value is the file's path). The
// field count; -1, -6 (no free temporary name), -11, -12, -13. On failure
// every output is freed and set to NULL and no temporary file stays.
int comCgiGetMultipart(char*** names, char*** values, char*** fileNames, char*** types,
                       const char* uploadDir, ComCgiProgress progress, double sizeLimit,
                       const char* const* noTrim);

// Lower-level pieces of the multipart reader.
int comCgiMpReadLine(char* line, int size, const char* boundary, int boundaryLen, int split);
int comCgiMpReadBoundary(char* line);
int comCgiMpSkipLine(char* line, const char* boundary, int boundaryLen, int split);
int comCgiMpIsBoundary(const char* line, const char* boundary, int length);
void comCgiMpHoldTail(const char* line, int length, char* hold);
int comCgiMpAppend(const char* bytes, char** buffer, int currentLen, int addedLen);
int comCgiMpReadValue(char* line, char** value, const char* boundary, int boundaryLen,
                      int split);
// path (the field's value) is rewritten in place to the name used.
int comCgiMpSaveFile(char* line, char* path, char** type, const char* boundary,
                     int boundaryLen, int split, int safariOrChrome, ComCgiProgress progress,
                     unsigned char* abortFlag);
int comCgiMpAddField(const char* name, const char* fileName, int count, char*** names,
                     char*** values, char*** fileNames, char*** types, const char* uploadDir,
                     int safariOrChrome);
void comCgiMpFixFileName(char* fileName, int safariOrChrome);
// Opens a file of an upload. A mode beginning with 'w' creates a new file
// (mode 0600) and never opens an existing name or follows a link (EEXIST);
// other modes as fopen. Null with errno on failure.
FILE* comCgiMpOpenFile(const char* path, const char* mode);

#endif
