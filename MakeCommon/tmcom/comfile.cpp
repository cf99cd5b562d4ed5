// File locks, directory creation, copies, the debug log and numbered logs.
#include "comfile.h"

#include "comstr.h"
#include "comtime.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

// Reports a failure of the file utilities (shared with comdir.cpp).
void comFileFailure(const char* src, int line, const char* hookText, const char* fmt, ...)
    COMFILE_PRINTF(4, 5);

namespace {

bool g_debugOn = false;
char g_debugPath[COM_PATH_SIZE];
comTraceHookFn g_hook = nullptr;

struct LogRecord {
    int id;
    std::string path;
};
std::vector<LogRecord*> g_logs;

// Keeps errno across the logging done on a failure path.
class ErrnoKeeper {
public:
    ErrnoKeeper() : m_err(errno) {}
    ~ErrnoKeeper() { errno = m_err; }
    ErrnoKeeper(const ErrnoKeeper&) = delete;
    ErrnoKeeper& operator=(const ErrnoKeeper&) = delete;

private:
    int m_err;
};

std::string vformat(const char* fmt, va_list ap)
{
    va_list cp;
    va_copy(cp, ap);
    char small[512];
    int n = std::vsnprintf(small, sizeof small, fmt, cp);
    va_end(cp);
    if (n < 0) return std::string();
    if (static_cast<size_t>(n) < sizeof small) return std::string(small, static_cast<size_t>(n));
    std::string out(static_cast<size_t>(n) + 1, '\0');
    va_copy(cp, ap);
    std::vsnprintf(&out[0], out.size(), fmt, cp);
    va_end(cp);
    out.resize(static_cast<size_t>(n));
    return out;
}

// Writes all bytes, going on after partial writes. 0 or -1.
int writeAll(int fd, const char* p, size_t len)
{
    while (len > 0) {
        ssize_t w = ::write(fd, p, len);
        if (w < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        if (w == 0) {
            errno = EIO;
            return -1;
        }
        p += w;
        len -= static_cast<size_t>(w);
    }
    return 0;
}

// Appends one line to path with a single write. The close result, or the
// negative descriptor when the open failed, or -1 when the write failed.
int appendLine(const char* path, const std::string& line)
{
    int fd = ::open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
    if (fd < 0) return fd;
    ssize_t w = ::write(fd, line.data(), line.size());
    int ret = ::close(fd);
    if (w < 0 || static_cast<size_t>(w) != line.size()) return -1;
    return ret;
}

void logStamp(std::string* out)
{
    char stamp[COM_LOGSTAMP_SIZE];
    comLogStampMs(stamp);
    out->append(stamp);
}

void lockFailureRecord(int retries, int seconds, int type, int err, const char* path)
{
    ErrnoKeeper keep;
    std::string rec = "RETRY[" + std::to_string(retries) + "] SLEEPTIME[" + std::to_string(seconds) +
                      "] LOCKMODE[" + std::to_string(type) + "] ERRNO[" + std::to_string(err) +
                      "]\n                    FILE[" + path + "]\n";
    comLogWrite(1, "%s", rec.c_str());
}

enum LockResult { kLocked = 0, kRanOut = -1, kError = -2 };

// Tries the whole-file lock (0 read, 1 write) on fd. On failure the record is
// written and errno holds the cause; the descriptor stays open.
LockResult lockLoop(int fd, int type, int retries, int seconds, const char* path)
{
    int err = 0;
    for (int i = 0; i < retries; ++i) {
        struct flock fl;
        std::memset(&fl, 0, sizeof fl);
        fl.l_type = type == 0 ? F_RDLCK : F_WRLCK;
        fl.l_whence = SEEK_SET;
        fl.l_start = 0;
        fl.l_len = 0;
        if (::fcntl(fd, F_OFD_SETLK, &fl) == 0) return kLocked;
        err = errno;
        if (err != EACCES && err != EAGAIN) {
            lockFailureRecord(retries, seconds, type, err, path);
            errno = err;
            return kError;
        }
        if (i + 1 < retries && seconds > 0) ::sleep(static_cast<unsigned>(seconds));
    }
    lockFailureRecord(retries, seconds, type, err, path);
    errno = EACCES;
    return kRanOut;
}

void closeKeepErrno(int fd)
{
    ErrnoKeeper keep;
    ::close(fd);
}

}  // namespace

void comFileFailure(const char* src, int line, const char* hookText, const char* fmt, ...)
{
    ErrnoKeeper keep;
    va_list ap;
    va_start(ap, fmt);
    std::string msg = vformat(fmt, ap);
    va_end(ap);
    comDebugLog("%s", msg.c_str());
    if (g_hook != nullptr) {
        std::string text = hookText != nullptr ? std::string(hookText) : msg;
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
        g_hook("[%s][%d]%s", src, line, text.c_str());
    }
}

#define COMFILE_FAIL(...) comFileFailure(__FILE__, __LINE__, nullptr, __VA_ARGS__)

// ---- debug log ---------------------------------------------------------------

int comSetDebugLogPath(const char* path, char* oldPath, size_t oldSize)
{
    if (path != nullptr && std::strlen(path) >= COM_PATH_SIZE) {
        errno = ENAMETOOLONG;
        return -1;
    }
    if (oldPath != nullptr && oldSize > 0)
        std::snprintf(oldPath, oldSize, "%s", g_debugOn ? g_debugPath : "");
    if (path != nullptr && path[0] != '\0') {
        std::memmove(g_debugPath, path, std::strlen(path) + 1);
        g_debugOn = true;
    } else {
        g_debugPath[0] = '\0';
        g_debugOn = false;
    }
    return 0;
}

int comDebugLog(const char* fmt, ...)
{
    if (!g_debugOn) return 1;
    std::string line;
    logStamp(&line);
    line += ' ';
    va_list ap;
    va_start(ap, fmt);
    std::string msg = vformat(fmt, ap);
    va_end(ap);
    if (msg.size() > COM_DEBUGLOG_TEXT_MAX) msg.resize(COM_DEBUGLOG_TEXT_MAX);
    line += msg;
    return appendLine(g_debugPath, line);
}

int comDebugLogRaw(const char* text)
{
    if (!g_debugOn || text == nullptr || text[0] == '\0') return 0;
    int fd = ::open(g_debugPath, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
    if (fd < 0) return -1;
    int ret = writeAll(fd, text, std::strlen(text));
    if (::close(fd) != 0) ret = -1;
    return ret;
}

void comSetTraceHook(comTraceHookFn hook)
{
    g_hook = hook;
}

void comClearTraceHook()
{
    g_hook = nullptr;
}

// ---- numbered logs -------------------------------------------------------------

int comLogSetPath(const char* path, int logId)
{
    if (path == nullptr) return -99;
    if (std::strlen(path) >= COM_PATH_SIZE) return -9;
    try {
        for (LogRecord* r : g_logs) {
            if (r->id == logId) {
                r->path = path;
                return 0;
            }
        }
        LogRecord* rec = new LogRecord{logId, path};
        try {
            g_logs.push_back(rec);
        } catch (...) {
            delete rec;
            throw;
        }
    } catch (const std::bad_alloc&) {
        return -10;
    }
    return 0;
}

void comLogWrite(int logId, const char* fmt, ...)
{
    const LogRecord* rec = nullptr;
    for (const LogRecord* r : g_logs)
        if (r->id == logId) rec = r;
    if (rec == nullptr) return;

    char stamp[80];
    time_t now = ::time(nullptr);
    struct tm tmv;
    if (localtime_r(&now, &tmv) == nullptr) return;
    std::snprintf(stamp, sizeof stamp, "%02d/%02d/%02d %02d:%02d:%02d ", tmv.tm_year + 1900,
                  tmv.tm_mon + 1, tmv.tm_mday, tmv.tm_hour, tmv.tm_min, tmv.tm_sec);
    va_list ap;
    va_start(ap, fmt);
    std::string msg = vformat(fmt, ap);
    va_end(ap);
    if (msg.size() > COM_PATH_SIZE - 1) msg.resize(COM_PATH_SIZE - 1);
    appendLine(rec->path.c_str(), stamp + msg);
}

void comLogCloseAll()
{
    for (LogRecord* r : g_logs) delete r;
    g_logs.clear();
    g_logs.shrink_to_fit();
}

// ---- locks ------------------------------------------------------------------------

int comLockFileRead(const char* path, int retries, int seconds, int noLock)
{
    if (path == nullptr) {
        errno = EINVAL;
        return -1;
    }
    int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0 && errno == EFBIG) fd = ::open(path, O_RDONLY | O_CLOEXEC | O_LARGEFILE);
    if (fd < 0) return fd;
    if (noLock) return fd;
    if (lockLoop(fd, 0, retries, seconds, path) != kLocked) {
        closeKeepErrno(fd);
        return -1;
    }
    return fd;
}

int comLockFileWrite(const char* path, int retries, int seconds)
{
    if (path == nullptr) {
        errno = EINVAL;
        return -1;
    }
    int fd = ::open(path, O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        if (errno != ENOENT && errno != ENOTDIR) {
            COMFILE_FAIL("comLockFileWrite:open errno[%d] path[%s]fd[%d]\r\n", errno, path, fd);
            return fd;
        }
        int first = fd;
        int iret = comDirCreateAll(path, 0);
        if (iret != 0 && errno != EEXIST) {
            COMFILE_FAIL("comLockFileWrite:comDirCreateAll iret[%d] errno[%d] path[%s]\r\n", iret,
                         errno, path);
            return first;
        }
        fd = ::open(path, O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (fd < 0) {
            COMFILE_FAIL("comLockFileWrite:open1 errno[%d] path[%s]fd[%d]\r\n", errno, path, fd);
            return fd;
        }
    }
    LockResult lr = lockLoop(fd, 1, retries, seconds, path);
    if (lr == kLocked) return fd;
    if (lr == kRanOut) {
        std::string hook = "comLockFileWrite:fcntl errno[" + std::to_string(errno) + "] path[" +
                           path + "]iret[-1]";
        comFileFailure(__FILE__, __LINE__, hook.c_str(),
                       "comLockFileWrite:fcntl roopend errno[%d] path[%s]iret[%d]\r\n", errno, path,
                       -1);
    } else {
        COMFILE_FAIL("comLockFileWrite:fcntl errno[%d] path[%s]iret[%d]\r\n", errno, path, -1);
    }
    closeKeepErrno(fd);
    return -1;
}

int comLockFileWriteShare(const char* path, int retries, int seconds, int flags, int largeFile)
{
    if (path == nullptr) {
        errno = EINVAL;
        return -1;
    }
    int oflags = flags | O_CLOEXEC | (largeFile ? O_LARGEFILE : 0);
    int fd = ::open(path, oflags, 0644);
    if (fd < 0) {
        if (errno != ENOENT && errno != ENOTDIR) return fd;
        if (comDirCreateAll(path, 0) != 0 && errno != EEXIST) return -1;
        fd = ::open(path, oflags, 0644);
        if (fd < 0) return fd;
    }
    if (lockLoop(fd, 1, retries, seconds, path) != kLocked) {
        closeKeepErrno(fd);
        return -1;
    }
    return fd;
}

int comLockFileLink(const char* path)
{
    if (path == nullptr || path[0] == '\0') {
        errno = EINVAL;
        return -1;
    }
    const char* sep = std::strrchr(path, '/');
    std::string dir = (sep != nullptr && sep != path) ? std::string(path, sep) : std::string();
    if (dir.size() >= 1024) {
        errno = ENAMETOOLONG;
        return -1;
    }
    if (!dir.empty()) dir += '/';
    char name[64];
    std::snprintf(name, sizeof name, "%012x%d.tmp",
                  static_cast<unsigned>(static_cast<unsigned long>(gethostid())),
                  static_cast<int>(getpid()));
    std::string tmp = dir + name;
    int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) return -1;
    ::close(fd);
    (void)::link(tmp.c_str(), path);
    struct stat st;
    int sret = ::stat(tmp.c_str(), &st);
    ::unlink(tmp.c_str());
    return (sret == 0 && st.st_nlink == 2) ? 0 : -1;
}

// ---- directories ---------------------------------------------------------------------

int comDirCreate(const char* path)
{
    if (path == nullptr) {
        errno = EINVAL;
        return -1;
    }
    errno = 0;
    int ret = ::mkdir(path, 0755);
    if (ret != 0 && errno != ENOENT && errno != EEXIST)
        COMFILE_FAIL("mkdir[%s] errno=[%d]\n", path, errno);
    return ret;
}

int comDirCreateAll(const char* path, int winStyle)
{
    (void)winStyle;
    if (path == nullptr) {
        errno = EINVAL;
        return -1;
    }
    if (std::strlen(path) >= COM_PATH_SIZE) {
        errno = ENAMETOOLONG;
        return -1;
    }
    std::vector<char> dir(COM_PATH_SIZE);
    comPathDir(path, dir.data(), COM_PATH_SIZE, 0);
    if (dir[0] == '\0') {
        if (path[0] != '\0') {
            // the directory part is the root or the current directory,
            // which exist
            errno = EEXIST;
            return -1;
        }
        COMFILE_FAIL("dircreate dir empty\r\n");
        errno = ENOENT;
        return -1;
    }
    if (comDirCreate(dir.data()) == 0) return 0;
    if (errno == ENOENT) {
        int ret = comDirCreateAll(dir.data(), winStyle);
        if (ret != 0 && errno != EEXIST) {
            if (errno != ENOENT)
                COMFILE_FAIL("dircreateall:dircreateall path[%s] ret[%d] errno[%d]\r\n", dir.data(),
                             ret, errno);
            return ret;
        }
        ret = comDirCreate(dir.data());
        if (ret != 0)
            COMFILE_FAIL("dircreateall:dircreate2 path[%s]cbasepath[%s] ret[%d] errno[%d]\r\n",
                         dir.data(), path, ret, errno);
        return ret;
    }
    if (errno != EEXIST)
        COMFILE_FAIL("dircreateall:dircreate path[%s] ret[%d] errno[%d]\r\n", dir.data(), -1,
                     errno);
    return -1;
}

// ---- copies ---------------------------------------------------------------------------

int comFileCopy(const char* src, const char* dst, int exclusive)
{
    if (src == nullptr || dst == nullptr) {
        errno = EINVAL;
        return 0;
    }
    int in = ::open(src, O_RDONLY | O_CLOEXEC);
    if (in < 0) {
        COMFILE_FAIL("copy file:open(O_RDONLY) path[%s] errno[%d]\r\n", src, errno);
        return 0;
    }
    // Opened without O_TRUNC: a copy onto the source itself must not empty it.
    int out = ::open(dst, O_WRONLY | O_CREAT | O_CLOEXEC | (exclusive ? O_EXCL : 0), 0666);
    if (out < 0) {
        COMFILE_FAIL("copy file:open(O_WRONLY) path[%s] errno[%d]\r\n", dst, errno);
        closeKeepErrno(in);
        return 0;
    }
    struct stat sst, dst_st;
    if (::fstat(in, &sst) != 0 || ::fstat(out, &dst_st) != 0) {
        closeKeepErrno(out);
        closeKeepErrno(in);
        return 0;
    }
    if (sst.st_dev == dst_st.st_dev && sst.st_ino == dst_st.st_ino) {
        COMFILE_FAIL("copy file:open(O_WRONLY) path[%s] errno[%d]\r\n", dst, EINVAL);
        ::close(out);
        ::close(in);
        errno = EINVAL;
        return 0;
    }
    // Only a regular file is emptied first, or removed after a failure.
    bool regular = S_ISREG(dst_st.st_mode);
    bool ok = !regular || ::ftruncate(out, 0) == 0;
    char buf[4096];
    while (ok) {
        ssize_t n = ::read(in, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            ok = false;
            break;
        }
        if (n == 0) break;
        if (writeAll(out, buf, static_cast<size_t>(n)) != 0) {
            COMFILE_FAIL("copy file:write path[%s->%s] read[%d]size[%d] errno[%d]\r\n", src, dst,
                         static_cast<int>(n), -1, errno);
            ok = false;
        }
    }
    if (::close(out) != 0) ok = false;
    closeKeepErrno(in);
    if (!ok) {
        ErrnoKeeper keep;
        if (regular) ::unlink(dst);
        return 0;
    }
    return 1;
}

ssize_t comFileRead(int fd, void* buf, size_t len)
{
    return ::read(fd, buf, len);
}

int comFileWrite(int fd, const void* buf, size_t len)
{
    return writeAll(fd, static_cast<const char*>(buf), len);
}

int comFileBackUp(const char* path, const char* backup, int retries, int seconds, int share,
                  int flags)
{
    if (path == nullptr || backup == nullptr) {
        errno = EINVAL;
        return -1;
    }
    int fd = share ? comLockFileWriteShare(path, retries, seconds, flags, 0)
                   : comLockFileWrite(path, retries, seconds);
    if (fd < 0) {
        COMFILE_FAIL("comFileBackUp:comLockFileWrite errno[%d] path[%s]  i_retry[%d]i_sec[%d] "
                     "m_boshare[%d]\r\n",
                     errno, path, retries, seconds, share);
        return fd;
    }
    ::unlink(backup);
    // Created afresh and never through a link planted under the backup name.
    int bfd = comLockFileWriteShare(backup, 1, 0, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW, 0);
    if (bfd < 0) {
        COMFILE_FAIL("comFileBackUp:comLockFileWrite destpath errno[%d] path[%s]\r\n", errno,
                     backup);
        closeKeepErrno(fd);
        return -1;
    }
    std::vector<char> buf(10240);
    bool ok = true;
    for (;;) {
        ssize_t n = comFileRead(fd, buf.data(), buf.size());
        if (n < 0 && errno == EINTR) continue;
        if (n == 0) break;
        if (n < 0 || comFileWrite(bfd, buf.data(), static_cast<size_t>(n)) != 0) {
            COMFILE_FAIL("comFileBackUp:comFileWrite errno[%d] path[%s]->[%s]\r\n", errno, path,
                         backup);
            ok = false;
            break;
        }
    }
    if (::close(bfd) != 0 && ok) {
        COMFILE_FAIL("comFileBackUp:comFileWrite errno[%d] path[%s]->[%s]\r\n", errno, path,
                     backup);
        ok = false;
    }
    if (!ok) {
        ErrnoKeeper keep;
        ::unlink(backup);
        ::close(fd);
        return -1;
    }
    if (::lseek(fd, 0, SEEK_SET) < 0) {
        COMFILE_FAIL("comFileBackUp:SetFilePointer lseek errno[%d] path[%s]\r\n", errno, path);
        ErrnoKeeper keep;
        ::unlink(backup);
        ::close(fd);
        return -1;
    }
    return fd;
}
