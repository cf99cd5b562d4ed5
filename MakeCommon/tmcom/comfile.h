// File utilities: whole-file locks, directory creation, copies, the debug
// log (also the run-log writer), numbered logs, directory trees, file
// queries and temporary names.
#ifndef COMFILE_H
#define COMFILE_H

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <sys/stat.h>
#include <sys/types.h>

#if defined(__GNUC__)
#define COMFILE_PRINTF(f, a) __attribute__((format(printf, f, a)))
#else
#define COMFILE_PRINTF(f, a)
#endif

enum {
    COM_PATH_SIZE = 8192,         // work paths and the debug-log path
    COM_OLDPATH_SIZE = 1024,      // default size of comSetDebugLogPath's old-path buffer
    COM_DEBUGLOG_TEXT_MAX = 8190  // longest message of one debug-log line
};

// ---- debug log and numbered logs -----------------------------------------

// Copies the current path ("" while off) into oldPath (oldSize bytes, cut)
// when given; a non-empty path turns the debug log on, NULL or "" turns it
// off. 0; -1 (nothing changed) for a path of COM_PATH_SIZE bytes or more.
int comSetDebugLogPath(const char* path, char* oldPath, size_t oldSize = COM_OLDPATH_SIZE);
// Appends "YYYY/MM/DD hh:mm:ss.mmm " and the message (cut to 8190 bytes) in
// one write. 1 while off; else the close result, or the negative descriptor.
int comDebugLog(const char* fmt, ...) COMFILE_PRINTF(1, 2);
// Appends the text unchanged while on. 0, or -1 on a failure.
int comDebugLogRaw(const char* text);

// Receives a copy of every failure message: called as
// hook("[%s][%d]%s", sourceFile, line, message).
typedef void (*comTraceHookFn)(const char* fmt, ...);
void comSetTraceHook(comTraceHookFn hook);
void comClearTraceHook();

// Registers (or replaces) the path of a numbered log. 0; -99 NULL path;
// -10 out of memory; -9 for a path of COM_PATH_SIZE bytes or more.
int comLogSetPath(const char* path, int logId);
// Appends "YYYY/MM/DD hh:mm:ss " and the message to a registered log.
void comLogWrite(int logId, const char* fmt, ...) COMFILE_PRINTF(2, 3);
void comLogCloseAll();

// ---- locks ------------------------------------------------------------------
// Whole-file locks, tried `retries` times with `seconds` between tries; never
// blocking in the kernel. The result is the open descriptor (locked) or a
// negative value with errno set (EACCES when the tries ran out). Locks belong
// to the open descriptor: closing another descriptor of the file keeps them.

int comLockFileRead(const char* path, int retries, int seconds, int noLock);
// Opens read-write (created 0644, with missing directories).
int comLockFileWrite(const char* path, int retries, int seconds);
// Opens with the caller's flags (mode 0644), creating missing directories.
int comLockFileWriteShare(const char* path, int retries, int seconds, int flags, int largeFile);
// Lock by hard link in the path's directory: 0 taken, -1 not. Released by
// unlinking the path.
int comLockFileLink(const char* path);

// ---- directories and copies ---------------------------------------------

// mkdir 0755; the mkdir result (errno kept).
int comDirCreate(const char* path);
// Creates the directory part of path (text before the last '/') with its
// missing parents. 0; -1 (EEXIST when it already existed).
int comDirCreateAll(const char* path, int winStyle);
// 1 copied, 0 failed (a copy onto the same file is refused).
int comFileCopy(const char* src, const char* dst, int exclusive);
// Copies path to backup; returns path's descriptor still write-locked and at
// offset 0, or -1.
int comFileBackUp(const char* path, const char* backup, int retries, int seconds,
                  int share, int flags);
// read() unchanged.
ssize_t comFileRead(int fd, void* buf, size_t len);
// 0 when all bytes were written, else -1.
int comFileWrite(int fd, const void* buf, size_t len);

// ---- directory trees ---------------------------------------------------------
// Symbolic links are never followed inside a tree: a link is treated as an
// entry of its own (deleted, recreated or skipped), never as its target.

// Filter of comDirDelete: (entry name, 1 file / 0 directory, stat of the
// entry, second stat or NULL). Any result other than 1 keeps the entry.
typedef int (*comDirDeleteFilter)(const char* name, int isFile, const struct stat* st,
                                  const struct stat* stLarge);
// Recursive delete. 0 (also for a missing path); -9 NULL or ""; -1 failure.
int comDirDelete(const char* path, comDirDeleteFilter filter, int tolerant, int passFilterDown);
int comDirRename(const char* oldPath, const char* newPath);
int comFileRename(const char* oldPath, const char* newPath);

// One source entry of comDirCopy.
struct comDirCopyEntry {
    char name[256];
    mode_t mode;
    time_t atime;
    time_t mtime;
    comDirCopyEntry* next;
};
// Filter of comDirCopy: (source directory, destination directory, entry);
// 1 copies the entry.
typedef int (*comDirCopyFilter)(const char* srcDir, const char* dstDir,
                                const comDirCopyEntry* entry);
int comDirCopy(const char* src, const char* dst, comDirCopyFilter filter, uid_t uid,
               gid_t gid, int keepLinks, int keepExtra);
int comDirDeleteMatch(const char* dir, const char* prefix, const char* ext);
// NULL-terminated skip list or NULL. -1.0 on error.
double comDirSize(const char* path, const char* const* skip, int countDirs);
// pathOut: COM_PATH_SIZE bytes, nameOut: 256 bytes; skip returns non-0 to
// reject a name. 1 found, 0 none, -1 error.
int comDirFindFile(const char* dir, const char* pattern, char* pathOut, char* nameOut,
                   int (*skip)(const char* name));
// Callback: (name, context, 1) for a file, (dir "/" name, context, 0) for a
// directory; 1 stops the walk. comDirWalk clears the first 4 bytes of the
// context (it must hold at least 4); comDirWalk64 leaves it alone.
typedef int (*comDirWalkFn)(const char* name, void* context, int isFile);
int comDirWalk(const char* dir, void* context, comDirWalkFn callback);
int comDirWalk64(const char* dir, void* context, comDirWalkFn callback);

// ---- file queries -------------------------------------------------------------

double comFileSize(const char* path);
double comFileSizeReadable(const char* path);
// Modification time as UTC "YYYYMMDDhhmmss" (15 bytes). 0, -9, -1.
int comFileCreateDate(const char* path, char* out);
int comIsDir(const char* path);
int comStat(const char* path, struct stat* st);
int comLstat(const char* path, struct stat* st);
int comStat64(const char* path, struct stat* st);
int comFileExists(const char* path);
int comFileReadable(const char* path);
int comDiskSpace(const char* path, double* total, double* available);
int comRaiseFileLimit();
// Writes "/tmp". 0.
int comTempDir(char* buf);

// ---- temporary names -----------------------------------------------------------

class comFileTemp {
public:
    comFileTemp();
    virtual ~comFileTemp();
    // path ends in ".NNN": rewritten to the first free name (suffixes 001 to
    // 100 in turn, continuing across calls). 0, or -1.
    virtual int makeUniqueName(char* path);

private:
    int32_t m_seq;
};

// Creates base/sub/prefixXXXXXX (mkstemp; the descriptor is closed) and
// copies its path to out. 0; -1, -2, -4, -5, -9.
int comMkTemp(const char* prefix, const char* base, const char* sub, char* out, int outSize);

#endif
