#include "nufileio.h"

#include "comfile.h"
#include "comstr.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Longest data path whose ".lk" name still fits the lock-name area.
const size_t kMaxLockedPath = 1020;

char* findSeparator(char* line, char sep)
{
    if (sep == '\0')
        return nullptr;
    return strchr(line, sep);
}

// A '#' that follows a TAB in the value starts a trailing comment.
void cutTrailingComment(char* value)
{
    char* tab = strchr(value, '\t');
    if (!tab)
        return;
    char* hash = strchr(tab, '#');
    if (hash)
        *hash = '\0';
}

// The line's first '#' lies before the separator (or there is none) and
// stands at the line start or right after a blank or TAB.
bool isCommentLine(const char* line, const char* sepPos)
{
    const char* hash = strchr(line, '#');
    if (!hash)
        return false;
    if (sepPos && hash > sepPos)
        return false;
    return hash == line || hash[-1] == ' ' || hash[-1] == '\t';
}

int writeAll(int fd, const std::string& data)
{
    const char* p = data.data();
    size_t left = data.size();
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        p += n;
        left -= static_cast<size_t>(n);
    }
    return 0;
}

void appendValue(std::string& out, const char* value)
{
    if (!value) {
        out += '\n';
        return;
    }
    const char* part = value;
    for (;;) {
        const char* lf = strchr(part, '\n');
        if (!lf) {
            out += part;
            out += '\n';
            return;
        }
        const char* end = lf;
        if (end > part && end[-1] == '\r')
            end--;
        out.append(part, static_cast<size_t>(end - part));
        out += "\n\t";
        part = lf + 1;
    }
}

bool sameFile(int fd, const char* path)
{
    struct stat fs, ls;
    if (fstat(fd, &fs) != 0 || lstat(path, &ls) != 0)
        return false;
    return !S_ISLNK(ls.st_mode) && fs.st_dev == ls.st_dev && fs.st_ino == ls.st_ino;
}

} // namespace

NUFileIO::NUFileIO() = default;

NUFileIO::~NUFileIO()
{
    unlock();
}

void NUFileIO::unlock()
{
    if (lockFd >= 0) {
        close(lockFd);
        lockFd = -1;
    }
    lockIsWrite = false;
    lockedPath.clear();
}

char NUFileIO::setSeparator(char sep)
{
    separator = sep;
    return separator;
}

void NUFileIO::trimRight(char* line)
{
    if (line)
        comRTrim(line);
}

bool NUFileIO::holdsWriteLock(const char* path) const
{
    return lockFd >= 0 && lockIsWrite && lockedPath == path;
}

int NUFileIO::takeWriteLock(const char* path)
{
    if (strlen(path) > kMaxLockedPath)
        return NUFIO_PATH;
    unlock();
    std::string lk = std::string(path) + ".lk";
    // The lock file is never reached through a symbolic link.
    int fd = comLockFileWriteShare(lk.c_str(), retryCount, retryWaitSeconds,
                                   O_RDWR | O_CREAT | O_NOFOLLOW, 0);
    if (fd < 0)
        return (errno == EACCES || errno == EAGAIN) ? NUFIO_BUSY : NUFIO_WRITE_LOCK;
    lockFd = fd;
    lockIsWrite = true;
    lockedPath = path;
    return 0;
}

int NUFileIO::takeReadLock(const char* path)
{
    if (strlen(path) > kMaxLockedPath)
        return NUFIO_PATH;
    unlock();
    std::string lk = std::string(path) + ".lk";
    struct stat st;
    if (lstat(lk.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
        errno = ELOOP;
        return NUFIO_READ_LOCK;
    }
    int fd = comLockFileRead(lk.c_str(), retryCount, retryWaitSeconds, 0);
    if (fd < 0) {
        if (errno == ENOENT || errno == EBADF || errno == ENOTDIR)
            return NUFIO_NOT_FOUND;
        if (errno == EACCES || errno == EAGAIN)
            return NUFIO_BUSY;
        return NUFIO_READ_LOCK;
    }
    if (!sameFile(fd, lk.c_str())) {
        close(fd);
        errno = ELOOP;
        return NUFIO_READ_LOCK;
    }
    lockFd = fd;
    lockIsWrite = false;
    lockedPath = path;
    return 0;
}

int NUFileIO::read(NUioObj& obj, bool noWait, bool keepLock, bool keepHash)
{
    lastStatus = 0;
    char path[NUIO_PATH_SIZE];
    int rc = obj.getPath(path, sizeof path);
    if (rc)
        return rc;

    // A write lock already held (lock(), or a write with keep-lock) covers
    // the read: trading it for a read lock would let another writer in.
    bool underWriteLock = holdsWriteLock(path);
    if (!noLock && !underWriteLock) {
        if (noWait) {
            retryCount = 1;
            retryWaitSeconds = 0;
        }
        rc = takeReadLock(path);
        if (rc == NUFIO_BUSY && noWait) {
            lastStatus = NUFIO_UNLOCKED_READ;
        } else if (rc == NUFIO_NOT_FOUND) {
            // No lock file: the file was never written under a lock, so
            // there is no writer to wait for. The data file decides.
        } else if (rc) {
            return rc;
        }
    }

    FILE* fp = fopen(path, "r");
    if (!fp) {
        int err = errno;
        if (err == ENOENT || err == ENOTDIR || err == EBADF) {
            if (!noLock && !keepLock && !underWriteLock)
                unlock();
            return NUFIO_NOT_FOUND;
        }
        if (!noLock && !keepLock && !underWriteLock)
            unlock();
        return NUFIO_OPEN;
    }

    char section[NUIO_SECTION_SIZE];
    section[0] = '\0';
    char* line = nullptr;
    size_t cap = 0;
    ssize_t len;
    rc = 0;
    // Continuation lines are joined here and appended to their entry at
    // once: appending each alone copies the whole value every time.
    std::string pending;
    auto flush = [&]() {
        if (pending.empty())
            return 0;
        int ar = obj.appendToLast(pending.c_str());
        pending.clear();
        return ar != 0 && ar != -7 ? ar : 0;
    };
    // Whole lines, however long: a line is never split into pieces.
    while ((len = getline(&line, &cap, fp)) >= 0) {
        if (len > 0 && line[len - 1] == '\n')
            line[--len] = '\0';
        if (line[0] != '\t' && (rc = flush()) != 0)
            break;

        int sr = obj.sectionLine(line, section);
        section[sizeof section - 1] = '\0';
        if (sr == 1)
            continue;
        if (sr != 0) {
            rc = sr;
            break;
        }

        if (line[0] == '\t') {
            // Continuation: the TAB stands for a line break in the value.
            line[0] = '\n';
            trimRight(line + 1);
            pending += line;
            continue;
        }

        char* sep = findSeparator(line, separator);
        if (isCommentLine(line, sep) || !sep)
            continue;

        *sep = '\0';
        char* name = line;
        char* value = sep + 1;
        trimRight(name);
        while (*value == ' ' || *value == '\t')
            value++;
        if (!keepHash)
            cutTrailingComment(value);
        trimRight(value);
        int ar = obj.addEntry(name, value, section);
        if (ar != 0) {
            rc = ar;
            break;
        }
    }
    if (rc == 0)
        rc = flush();
    bool readFailed = ferror(fp) != 0;
    free(line);
    fclose(fp);
    if (!noLock && !keepLock && !underWriteLock)
        unlock();
    if (rc)
        return rc;
    if (readFailed)
        return NUFIO_OPEN;
    return lastStatus;
}

int NUFileIO::write(NUioObj& obj, bool keepLock, bool failIfExists)
{
    char path[NUIO_PATH_SIZE];
    int rc = obj.getPath(path, sizeof path);
    if (rc)
        return rc;
    if (strlen(path) > kMaxLockedPath)
        return NUFIO_PATH;
    struct stat st;
    if (stat(path, &st) == 0 && S_ISDIR(st.st_mode))
        return NUFIO_PATH;

    // A kept read lock is not enough to replace the file.
    if (!(keepLock && holdsWriteLock(path))) {
        rc = takeWriteLock(path);
        if (rc)
            return rc;
    }

    if (failIfExists && lstat(path, &st) == 0) {
        unlock();
        return NUFIO_EXISTS;
    }

    // Build the whole text first; the data file is only touched by rename.
    std::string text;
    char section[NUIO_SECTION_SIZE];
    std::string current;
    for (int index = 0;; index++) {
        char* name = nullptr;
        char* value = nullptr;
        section[0] = '\0';
        if (obj.getEntry(index, &name, &value, section) != 0)
            break;
        section[sizeof section - 1] = '\0';
        if (section[0] && current != section) {
            current = section;
            text += '[';
            text += section;
            text += "]\n";
        }
        if (!name)
            continue;
        text += name;
        text += separator;
        appendValue(text, value);
    }

    std::string bk = std::string(path) + ".bk";
    // Never through a symbolic link: the .bk name is fixed and predictable.
    int fd = open(bk.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW, 0666);
    if (fd < 0) {
        if (!keepLock)
            unlock();
        return NUFIO_OPEN;
    }
    bool ok = writeAll(fd, text) == 0;
    ok = (fsync(fd) == 0) && ok;
    ok = (close(fd) == 0) && ok;
    if (!ok) {
        int err = errno;
        unlink(bk.c_str());
        if (!keepLock)
            unlock();
        errno = err;
        return NUFIO_WRITE;
    }

    if (rename(bk.c_str(), path) != 0) {
        int err = errno;
        if (!keepLock)
            unlock();
        errno = err;
        return err == EEXIST ? NUFIO_EXISTS : NUFIO_RENAME;
    }

    if (!keepLock)
        unlock();
    return 0;
}

int NUFileIO::lock(NUioObj& obj)
{
    char path[NUIO_PATH_SIZE];
    int rc = obj.getPath(path, sizeof path);
    if (rc)
        return rc;
    return takeWriteLock(path);
}

int NUFileIO::remove(NUioObj& obj, bool keepLock, bool removeLockFile)
{
    char path[NUIO_PATH_SIZE];
    int rc = obj.getPath(path, sizeof path);
    if (rc)
        return rc;
    if (!(keepLock && holdsWriteLock(path))) {
        rc = takeWriteLock(path);
        if (rc)
            return rc;
    }
    unlink(path);
    if (!keepLock) {
        unlock();
        if (removeLockFile) {
            std::string lk = std::string(path) + ".lk";
            unlink(lk.c_str());
        }
    }
    return 0;
}
