// Process-wide trace log and whole-file helpers.
//
// Tracing is off until comTraceSetPath is given a non-empty path. Each line
// is "<yy-mm-dd HH:MM:SS> - <source>(<line>)\t:<message>" + LF, stored as
// lower-case hex digits except CR and LF, appended with one write().
//
// Per-source-file convention: report through COMTRACE, which passes the
// source file's base name (no directory, no extension) and the line:
//
//     COMTRACE("ret[%d] tableid[%s]", ret, tableId);
//
// A file that wants another name passes it itself:
//
//     COMTRACE_SRC("rvcomFoo", "ret[%d]", ret);
#ifndef COMTRACE_H
#define COMTRACE_H

#include <cstdarg>

class NUString;

#if defined(__GNUC__)
#define COMTRACE_PRINTF(f, a) __attribute__((format(printf, f, a)))
#else
#define COMTRACE_PRINTF(f, a)
#endif

// Stores the trace path (at most 1023 bytes; a longer path turns tracing
// off) and returns the stored path. null or "" turns tracing off.
const char* comTraceSetPath(const char* path);
// The stored trace path ("" while tracing is off).
const char* comTracePath();

// Appends one trace line; nothing while the trace path is empty. The source
// name is printed as given (at most 256 characters); a null fmt counts as "".
void comTraceWrite(const char* srcFile, int line, const char* fmt, ...) COMTRACE_PRINTF(3, 4);
void comTraceWriteV(const char* srcFile, int line, const char* fmt, va_list ap);
// As comTraceWrite, with the directory and extension cut from srcPath
// (for __FILE__).
void comTraceWriteFile(const char* srcPath, int line, const char* fmt, ...) COMTRACE_PRINTF(3, 4);

#define COMTRACE(...) ::comTraceWriteFile(__FILE__, __LINE__, __VA_ARGS__)
#define COMTRACE_SRC(src, ...) ::comTraceWrite((src), __LINE__, __VA_ARGS__)

// Reads at most size - 1 bytes of the trace file into buf and NUL-terminates
// them; buf unchanged while tracing is off or size is 0.
void comTraceReadFile(char* buf, unsigned size);

// Makes a directory and its missing parents: 0 when it exists or was made,
// -3 on failure.
int comDirMake(const char* path);
// comDirMake of the directory part of filePath (0 when it has none).
int comDirMakeForFile(const char* filePath);
// 1 when path exists (a trailing '/' or '\\' is ignored), 0 when not or for
// null; a negative code when memory runs out.
int comPathExists(const char* path);
// The whole file as a malloc'd NUL-terminated text ("" for a missing or
// empty file), or null. The caller frees it.
char* comFileReadAll(const char* path);
// Writes len bytes to path (truncating it): 0; -1 for a null buffer or path
// or len 0; -10 when the file cannot be opened; -11 when a write or the
// close fails (the file is then incomplete).
int comFileWriteAll(const void* buf, unsigned len, const char* path);
// 1 when both files hold the same bytes, else 0 (two empty files give 0).
int comFileCompare(const char* path1, const char* path2);
// out = dir + '/' (unless dir is empty or ends with '/' or '\\') + file.
// 0; -1 for a null dir; else the failing NUString code.
int comPathJoin(NUString& out, const char* dir, const char* file);

#endif
