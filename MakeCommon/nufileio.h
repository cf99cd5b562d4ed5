// Reader and writer of name/value text files under a ".lk" lock file; a
// write goes to a ".bk" file that is renamed over the data file.
#ifndef NUFILEIO_H
#define NUFILEIO_H

#include "nuioobj.h"

#include <string>

// Result codes (besides the callback object's own codes).
enum {
    NUFIO_NO_OBJECT = -1,
    NUFIO_OPEN = -10,          // data or .bk file cannot be opened
    NUFIO_PATH = -11,          // no path, too long, or a directory (write)
    NUFIO_WRITE = -12,         // writing the .bk file failed
    NUFIO_RENAME = -13,
    NUFIO_READ_LOCK = -14,
    NUFIO_WRITE_LOCK = -15,
    NUFIO_NOT_FOUND = -16,     // ENOENT, ENOTDIR, EBADF
    NUFIO_BUSY = -17,          // lock held elsewhere after all tries
    NUFIO_EXISTS = -18,
    NUFIO_UNLOCKED_READ = -19  // no-wait read went ahead without the lock
};

class NUFileIO {
public:
    NUFileIO();
    // Closes a held lock.
    virtual ~NUFileIO();

    NUFileIO(const NUFileIO&) = delete;
    NUFileIO& operator=(const NUFileIO&) = delete;

    // Reads obj's file into obj: 0, -19 or a failure code.
    virtual int read(NUioObj& obj, bool noWait = false, bool keepLock = false,
                     bool keepHash = false);
    // Writes obj's entries to its file: 0 or a failure code.
    virtual int write(NUioObj& obj, bool keepLock = false,
                      bool failIfExists = false);
    // Takes and keeps the write lock on obj's file.
    virtual int lock(NUioObj& obj);
    // Deletes obj's file under the write lock.
    virtual int remove(NUioObj& obj, bool keepLock = false,
                       bool removeLockFile = false);
    virtual char setSeparator(char sep);
    // Removes trailing blanks, TABs, CR and LF in place.
    virtual void trimRight(char* line);

    // Pointer forms: -1 for a null object.
    int read(NUioObj* obj, bool noWait = false, bool keepLock = false,
             bool keepHash = false)
    { return obj ? read(*obj, noWait, keepLock, keepHash) : NUFIO_NO_OBJECT; }
    int write(NUioObj* obj, bool keepLock = false, bool failIfExists = false)
    { return obj ? write(*obj, keepLock, failIfExists) : NUFIO_NO_OBJECT; }
    int lock(NUioObj* obj) { return obj ? lock(*obj) : NUFIO_NO_OBJECT; }
    int remove(NUioObj* obj, bool keepLock = false, bool removeLockFile = false)
    { return obj ? remove(*obj, keepLock, removeLockFile) : NUFIO_NO_OBJECT; }

    void setNoLock(bool on) { noLock = on ? 1 : 0; }
    void setRetryCount(int n) { retryCount = n; }
    void setRetryWaitSeconds(int s) { retryWaitSeconds = s; }
    void setShareMode(int mode) { shareMode = mode; }
    int getRetryCount() const { return retryCount; }
    int getRetryWaitSeconds() const { return retryWaitSeconds; }
    int getLastStatus() const { return lastStatus; }
    // Descriptor of the held lock file, -1 when none.
    int getLockFd() const { return lockFd; }
    // Releases a held lock.
    void unlock();

protected:
    int takeWriteLock(const char* path);
    int takeReadLock(const char* path);
    bool holdsWriteLock(const char* path) const;

    int retryCount = 3;
    int retryWaitSeconds = 2;
    int shareMode = 0;
    int lastStatus = 0;
    int lockFd = -1;
    bool lockIsWrite = false;
    std::string lockedPath;
    unsigned char noLock = 0;
    char separator = '=';
};

#endif
