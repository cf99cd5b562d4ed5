// Directory trees, file queries and temporary names. Trees are walked with
// descriptor-relative calls that never follow a symbolic link.
#include "comfile.h"

#include "comstr.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/time.h>
#include <unistd.h>
#include <vector>

void comFileFailure(const char* src, int line, const char* hookText, const char* fmt, ...)
    COMFILE_PRINTF(4, 5);

#define COMDIR_FAIL(...) comFileFailure(__FILE__, __LINE__, nullptr, __VA_ARGS__)

namespace {

bool isDotName(const char* n)
{
    return n[0] == '.' && (n[1] == '\0' || (n[1] == '.' && n[2] == '\0'));
}

// Next entry of d other than "." and "..", or null at the end; errno is then
// 0, or the error of a failed read.
struct dirent* nextEntry(DIR* d)
{
    for (;;) {
        errno = 0;
        struct dirent* ent = ::readdir(d);
        if (ent == nullptr || !isDotName(ent->d_name)) return ent;
    }
}

// Opens a directory relative to parentFd without following a final link.
DIR* openDirAt(int parentFd, const char* name, bool follow)
{
    int fd = ::openat(parentFd, name,
                      O_RDONLY | O_DIRECTORY | O_CLOEXEC | (follow ? 0 : O_NOFOLLOW));
    if (fd < 0) return nullptr;
    DIR* d = ::fdopendir(fd);
    if (d == nullptr) {
        int e = errno;
        ::close(fd);
        errno = e;
    }
    return d;
}

class DirCloser {
public:
    explicit DirCloser(DIR* d) : m_d(d) {}
    ~DirCloser()
    {
        if (m_d != nullptr) {
            int e = errno;
            ::closedir(m_d);
            errno = e;
        }
    }
    DirCloser(const DirCloser&) = delete;
    DirCloser& operator=(const DirCloser&) = delete;

private:
    DIR* m_d;
};

std::string joinPath(const std::string& dir, const char* name)
{
    std::string p = dir;
    p += '/';
    p += name;
    return p;
}

int deleteAt(int parentFd, const char* name, const std::string& path, comDirDeleteFilter filter,
             int tolerant, int passFilterDown)
{
    DIR* d = openDirAt(parentFd, name, false);
    if (d == nullptr) {
        if (errno == ENOENT) return 0;
        if (errno == ENOTDIR || errno == ELOOP) {
            // a file or a symbolic link: remove the entry itself
            if (::unlinkat(parentFd, name, 0) == 0 || errno == ENOENT) return 0;
            COMDIR_FAIL("ENOTDIR delete dir:unilnk path[%s] errno[%d]\r\n", path.c_str(), errno);
            return -1;
        }
        return -1;
    }
    DirCloser closer(d);
    int dfd = ::dirfd(d);
    bool kept = false;
    while (struct dirent* ent = nextEntry(d)) {
        std::string full = joinPath(path, ent->d_name);
        struct stat st;
        if (::fstatat(dfd, ent->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno == ENOENT) {
                if (::unlinkat(dfd, ent->d_name, 0) != 0 && errno != ENOENT) {
                    COMDIR_FAIL("ENOENT delete dir:unilnk path[%s] errno[%d]\r\n", full.c_str(),
                                errno);
                    return -1;
                }
                continue;
            }
            COMDIR_FAIL("delete dir:stat path[%s] errno[%d]\r\n", full.c_str(), errno);
            return -1;
        }
        bool isDir = S_ISDIR(st.st_mode);
        if (filter != nullptr && filter(ent->d_name, isDir ? 0 : 1, &st, nullptr) != 1) {
            kept = true;
            continue;
        }
        if (!isDir) {
            if (::unlinkat(dfd, ent->d_name, 0) != 0 && errno != ENOENT) {
                COMDIR_FAIL("delete dir:unlink path[%s] errno[%d]\r\n", full.c_str(), errno);
                return -1;
            }
            continue;
        }
        int r = deleteAt(dfd, ent->d_name, full, passFilterDown ? filter : nullptr, tolerant,
                         passFilterDown);
        if (r != 0 && !(tolerant == 1 && (errno == EACCES || errno == ENOENT))) return -1;
    }
    if (errno != 0) return -1;
    if (kept) return 0;
    if (::unlinkat(parentFd, name, AT_REMOVEDIR) == 0 || errno == ENOENT) return 0;
    int err = errno;
    if ((err == ENOTEMPTY || err == EACCES || err == EEXIST) && (filter != nullptr || tolerant))
        return 0;
    if (err == ENOTDIR) {
        if (::unlinkat(parentFd, name, 0) == 0 || errno == ENOENT) return 0;
        return -1;
    }
    COMDIR_FAIL("delete dir:rmdir path[%s] errno[%d]\r\n", path.c_str(), err);
    errno = err;
    return -1;
}

// The resolved path of p, or of its parent joined with its last name when p
// does not exist yet; "" when neither resolves.
std::string resolveLoose(const char* p)
{
    char* r = ::realpath(p, nullptr);
    if (r != nullptr) {
        std::string s(r);
        std::free(r);
        return s;
    }
    std::string s(p);
    while (s.size() > 1 && s.back() == '/') s.pop_back();
    size_t slash = s.rfind('/');
    std::string parent = slash == std::string::npos ? "." : (slash == 0 ? "/" : s.substr(0, slash));
    std::string last = slash == std::string::npos ? s : s.substr(slash + 1);
    r = ::realpath(parent.c_str(), nullptr);
    if (r == nullptr) return std::string();
    std::string out(r);
    std::free(r);
    if (out != "/") out += '/';
    return out + last;
}

bool insideOrSame(const std::string& inner, const std::string& outer)
{
    if (inner.empty() || outer.empty()) return false;
    if (inner == outer) return true;
    std::string prefix = outer == "/" ? outer : outer + "/";
    return inner.compare(0, prefix.size(), prefix) == 0;
}

mode_t copyMode(mode_t m)
{
    // permission bits and the sticky bit; never set-user or set-group id
    return m & (0777 | S_ISVTX);
}

int copyOneFile(const char* src, const char* dst, const struct stat& sst, uid_t uid, gid_t gid)
{
    int in = comLockFileRead(src, 1, 0, 0);
    if (in < 0) {
        if (errno == ENOENT || errno == EBADF) return 0;
        COMDIR_FAIL("dircopy:comLockFileRead path[%s] ret[%d] errno[%d]\r\n", src, in, errno);
        return -1;
    }
    // Truncated only once the lock is held.
    int out = comLockFileWriteShare(dst, 1, 0, O_RDWR | O_CREAT | O_NOFOLLOW, 1);
    if (out < 0) {
        COMDIR_FAIL("dircopy:comLockFileWriteShare path[%s] ret[%d] errno[%d]\r\n", dst, out,
                    errno);
        int e = errno;
        ::close(in);
        errno = e;
        return -1;
    }
    struct stat ost;
    bool regular = ::fstat(out, &ost) == 0 && S_ISREG(ost.st_mode);
    bool ok = regular && ::ftruncate(out, 0) == 0;
    std::vector<char> buf(8192);
    while (ok) {
        ssize_t n = ::read(in, buf.data(), buf.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        if (comFileWrite(out, buf.data(), static_cast<size_t>(n)) != 0) {
            COMDIR_FAIL("dircopy:write path[%s->%s] read[%d]size[%d] errno[%d]\r\n", src, dst,
                        static_cast<int>(n), -1, errno);
            ok = false;
        }
    }
    if (ok && uid != 0 && gid != 0 && ::fchown(out, uid, gid) != 0) ok = false;
    if (ok && ::fchmod(out, copyMode(sst.st_mode)) != 0) ok = false;
    if (ok) {
        struct timespec ts[2];
        ts[0] = sst.st_atim;
        ts[1] = sst.st_mtim;
        if (::futimens(out, ts) != 0) ok = false;
    }
    if (::close(out) != 0) ok = false;
    int e = errno;
    ::close(in);
    if (!ok) {
        if (regular) ::unlink(dst);
        errno = e;
        return -1;
    }
    return 0;
}

int copyTree(const std::string& src, const std::string& dst, comDirCopyFilter filter, uid_t uid,
             gid_t gid, int keepLinks, int keepExtra)
{
    std::vector<comDirCopyEntry> entries;
    {
        DIR* d = openDirAt(AT_FDCWD, src.c_str(), false);
        if (d == nullptr) return errno == ENOENT ? 0 : -1;
        DirCloser closer(d);
        while (struct dirent* ent = nextEntry(d)) {
            struct stat st;
            if (::fstatat(::dirfd(d), ent->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) return -1;
            comDirCopyEntry e;
            std::memset(&e, 0, sizeof e);
            std::snprintf(e.name, sizeof e.name, "%s", ent->d_name);
            e.mode = st.st_mode;
            e.atime = st.st_atime;
            e.mtime = st.st_mtime;
            entries.push_back(e);
        }
        if (errno != 0) return -1;
    }
    for (size_t i = 0; i + 1 < entries.size(); ++i) entries[i].next = &entries[i + 1];

    if (!keepExtra) {
        struct stat dst_st;
        if (::lstat(dst.c_str(), &dst_st) == 0 && !S_ISDIR(dst_st.st_mode)) {
            ::unlink(dst.c_str());
        } else if (DIR* d = openDirAt(AT_FDCWD, dst.c_str(), false)) {
            std::vector<std::string> extra;
            {
                DirCloser closer(d);
                while (struct dirent* ent = ::readdir(d)) {
                    if (isDotName(ent->d_name)) continue;
                    bool found = false;
                    for (const comDirCopyEntry& e : entries)
                        if (std::strcmp(e.name, ent->d_name) == 0) found = true;
                    if (!found) extra.push_back(joinPath(dst, ent->d_name));
                }
            }
            for (const std::string& p : extra)
                if (comDirDelete(p.c_str(), nullptr, 0, 0) != 0) return -1;
        }
    }

    for (const comDirCopyEntry& e : entries) {
        if (filter != nullptr && filter(src.c_str(), dst.c_str(), &e) != 1) continue;
        std::string s = joinPath(src, e.name);
        std::string t = joinPath(dst, e.name);
        if (S_ISLNK(e.mode)) {
            if (!keepLinks) continue;  // never copied through
            std::vector<char> target(COM_PATH_SIZE);
            ssize_t n = ::readlink(s.c_str(), target.data(), target.size() - 1);
            if (n < 0) return -1;
            target[static_cast<size_t>(n)] = '\0';
            if (comDirDelete(t.c_str(), nullptr, 0, 0) != 0) return -1;
            if (comDirCreateAll(t.c_str(), 0) != 0 && errno != EEXIST) return -1;
            if (::symlink(target.data(), t.c_str()) != 0) return -1;
            if (uid != 0 && gid != 0 && ::lchown(t.c_str(), uid, gid) != 0) return -1;
        } else if (S_ISDIR(e.mode)) {
            struct stat tst;
            if (::lstat(t.c_str(), &tst) == 0 && !S_ISDIR(tst.st_mode)) ::unlink(t.c_str());
            if (comDirCreateAll((t + "/").c_str(), 0) != 0 && errno != EEXIST) return -1;
            if (copyTree(s, t, filter, uid, gid, keepLinks, keepExtra) != 0) return -1;
            if (uid != 0 && gid != 0 && ::chown(t.c_str(), uid, gid) != 0) return -1;
            if (::chmod(t.c_str(), copyMode(e.mode)) != 0) return -1;
        } else if (S_ISREG(e.mode)) {
            if (comDirDelete(t.c_str(), nullptr, 0, 0) != 0) return -1;
            struct stat sst;
            if (::lstat(s.c_str(), &sst) != 0) {
                if (errno == ENOENT) continue;
                return -1;
            }
            if (copyOneFile(s.c_str(), t.c_str(), sst, uid, gid) != 0) return -1;
        }
        // devices, pipes and sockets are not copied
    }
    return 0;
}

int walk(const char* dir, void* context, comDirWalkFn callback)
{
    if (dir == nullptr || callback == nullptr) {
        errno = EINVAL;
        return -1;
    }
    if (std::strlen(dir) >= COM_PATH_SIZE) {
        errno = ENAMETOOLONG;
        return -1;
    }
    // A callback may change the string that dir points into.
    const std::string top(dir);
    DIR* d = openDirAt(AT_FDCWD, top.c_str(), true);
    if (d == nullptr) return (errno == ENOENT || errno == ENOTDIR) ? 0 : -1;
    DirCloser closer(d);
    while (struct dirent* ent = nextEntry(d)) {
        struct stat st;
        if (::fstatat(::dirfd(d), ent->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno == ENOENT) continue;  // gone since the listing
            return -1;
        }
        if (S_ISLNK(st.st_mode)) continue;  // links are not walked
        int r;
        if (S_ISDIR(st.st_mode)) {
            std::string sub = joinPath(top, ent->d_name);
            if (sub.size() >= COM_PATH_SIZE) {
                errno = ENAMETOOLONG;
                return -1;
            }
            r = callback(sub.c_str(), context, 0);
        } else {
            r = callback(ent->d_name, context, 1);
        }
        if (r == 1) return 0;
    }
    return errno != 0 ? -1 : 0;
}

double sizeTree(const char* path, const char* const* skip, int countDirs)
{
    DIR* d = openDirAt(AT_FDCWD, path, true);
    if (d == nullptr) {
        if (errno == ENOENT) return 0.0;
        if (errno == ENOTDIR) {
            double s = comFileSize(path);
            return s < 0 ? -1.0 : s;
        }
        return -1.0;
    }
    DirCloser closer(d);
    double total = 0.0;
    while (struct dirent* ent = nextEntry(d)) {
        bool skipped = false;
        for (const char* const* s = skip; s != nullptr && *s != nullptr; ++s)
            if (std::strcmp(*s, ent->d_name) == 0) skipped = true;
        if (skipped) continue;
        struct stat st;
        if (::fstatat(::dirfd(d), ent->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno == ENOENT) continue;
            return -1.0;
        }
        if (S_ISDIR(st.st_mode)) {
            double sub = sizeTree(joinPath(path, ent->d_name).c_str(), skip, 1);
            if (sub < 0) return -1.0;
            total += sub;
            if (countDirs) total += static_cast<double>(st.st_size);
        } else {
            // a link counts with its own size, never its target's
            total += static_cast<double>(st.st_size);
        }
    }
    if (errno != 0) return -1.0;
    return total;
}

}  // namespace

// ---- trees -------------------------------------------------------------------------------

int comDirDelete(const char* path, comDirDeleteFilter filter, int tolerant, int passFilterDown)
{
    if (path == nullptr || path[0] == '\0') return -9;
    // "link/" would resolve the link: trailing slashes are dropped
    std::string top(path);
    while (top.size() > 1 && top.back() == '/') top.pop_back();
    return deleteAt(AT_FDCWD, top.c_str(), top, filter, tolerant, passFilterDown);
}

int comDirRename(const char* oldPath, const char* newPath)
{
    if (oldPath == nullptr || newPath == nullptr || newPath[0] == '\0') return -1;
    int ret = ::rename(oldPath, newPath);
    if (ret != 0 && (errno == EEXIST || errno == ENOTEMPTY)) {
        comDirDelete(newPath, nullptr, 0, 0);
        ret = ::rename(oldPath, newPath);
    }
    return ret;
}

int comFileRename(const char* oldPath, const char* newPath)
{
    if (oldPath == nullptr || newPath == nullptr) {
        errno = EINVAL;
        return -1;
    }
    int ret = ::rename(oldPath, newPath);
    if (ret == 0 || (errno != EEXIST && errno != ENOTEMPTY && errno != EISDIR)) return ret;
    int uret = ::unlink(newPath);
    if (uret != 0) {
        COMDIR_FAIL("rename unlink[%s] errno=[%d]\n", newPath, errno);
        if (newPath[0] == '\0' || std::strcmp(newPath, "/") == 0) return uret;
        comDirDelete(newPath, nullptr, 0, 0);
    }
    ret = ::rename(oldPath, newPath);
    if (ret != 0) COMDIR_FAIL("rename[%s->%s] errno=[%d]\n", oldPath, newPath, errno);
    return ret;
}

int comDirCopy(const char* src, const char* dst, comDirCopyFilter filter, uid_t uid, gid_t gid,
               int keepLinks, int keepExtra)
{
    if (src == nullptr || dst == nullptr || src[0] == '\0' || dst[0] == '\0') {
        errno = EINVAL;
        return -1;
    }
    struct stat sst;
    if (::stat(src, &sst) != 0) return errno == ENOENT ? 0 : -1;
    std::string rsrc = resolveLoose(src);
    std::string rdst = resolveLoose(dst);
    if (S_ISDIR(sst.st_mode) ? insideOrSame(rdst, rsrc) : rdst == rsrc) {
        // a copy into itself would delete or never end
        errno = EINVAL;
        return -1;
    }
    if (!S_ISDIR(sst.st_mode)) {
        if (comDirDelete(dst, nullptr, 0, 0) != 0) return -1;
        return copyOneFile(src, dst, sst, uid, gid);
    }
    return copyTree(src, dst, filter, uid, gid, keepLinks, keepExtra);
}

int comDirDeleteMatch(const char* dir, const char* prefix, const char* ext)
{
    if (dir == nullptr) return 0;
    DIR* d = openDirAt(AT_FDCWD, dir, true);
    if (d == nullptr) return 0;
    DirCloser closer(d);
    std::vector<std::string> victims;
    while (struct dirent* ent = nextEntry(d)) {
        const char* n = ent->d_name;
        bool match;
        if (prefix != nullptr) {
            match = std::strncmp(n, prefix, std::strlen(prefix)) == 0;
        } else if (ext != nullptr) {
            const char* dot = std::strchr(n, '.');
            match = dot != nullptr && std::strncmp(dot + 1, ext, std::strlen(ext)) == 0;
        } else {
            match = true;
        }
        if (match) victims.push_back(n);
    }
    int dfd = ::dirfd(d);
    for (const std::string& n : victims) {
        struct stat st;
        if (::fstatat(dfd, n.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno == ENOENT) continue;
            return -1;
        }
        if (S_ISDIR(st.st_mode)) {
            if (comDirDelete(joinPath(dir, n.c_str()).c_str(), nullptr, 0, 0) != 0) return -1;
        } else if (::unlinkat(dfd, n.c_str(), 0) != 0 && errno != ENOENT) {
            return -1;
        }
    }
    return 0;
}

double comDirSize(const char* path, const char* const* skip, int countDirs)
{
    if (path == nullptr) return -1.0;
    return sizeTree(path, skip, countDirs);
}

int comDirFindFile(const char* dir, const char* pattern, char* pathOut, char* nameOut,
                   int (*skip)(const char* name))
{
    if (dir == nullptr || pattern == nullptr) return 0;
    DIR* d = openDirAt(AT_FDCWD, dir, true);
    if (d == nullptr) return 0;
    DirCloser closer(d);
    while (struct dirent* ent = ::readdir(d)) {
        if (isDotName(ent->d_name)) continue;
        std::string full = joinPath(dir, ent->d_name);
        struct stat st;
        if (::stat(full.c_str(), &st) != 0) {
            if (errno == ENOENT) continue;
            return -1;
        }
        if (S_ISDIR(st.st_mode)) continue;
        if (comUtf8StrStr(full.c_str(), pattern) == nullptr) continue;
        if (skip != nullptr && skip(ent->d_name) != 0) continue;
        if (pathOut != nullptr) std::snprintf(pathOut, COM_PATH_SIZE, "%s", full.c_str());
        if (nameOut != nullptr) std::snprintf(nameOut, 256, "%s", ent->d_name);
        return 1;
    }
    return 0;
}

int comDirWalk(const char* dir, void* context, comDirWalkFn callback)
{
    if (context != nullptr) std::memset(context, 0, sizeof(int32_t));
    return walk(dir, context, callback);
}

int comDirWalk64(const char* dir, void* context, comDirWalkFn callback)
{
    return walk(dir, context, callback);
}

// ---- file queries ---------------------------------------------------------------------------

double comFileSize(const char* path)
{
    struct stat st;
    if (path == nullptr || ::stat(path, &st) != 0) {
        if (path != nullptr && errno != ENOENT)
            COMDIR_FAIL("size stat64 path[%s] errno[%d]\r\n", path, errno);
        return -1.0;
    }
    return static_cast<double>(st.st_size);
}

double comFileSizeReadable(const char* path)
{
    if (path == nullptr) return -9.0;
    if (::access(path, R_OK) != 0) {
        if (errno != ENOENT) COMDIR_FAIL("size access path[%s] errno[%d]\r\n", path, errno);
        return -1.0;
    }
    return comFileSize(path);
}

int comFileCreateDate(const char* path, char* out)
{
    if (path == nullptr || out == nullptr) return -9;
    struct stat st;
    if (::stat(path, &st) != 0) {
        if (errno != ENOENT) COMDIR_FAIL("create date stat64 path[%s] errno[%d]\r\n", path, errno);
        return -1;
    }
    struct tm tmv;
    time_t t = st.st_mtime;
    if (gmtime_r(&t, &tmv) == nullptr) return -1;
    char buf[80];
    std::snprintf(buf, sizeof buf, "%04d%02d%02d%02d%02d%02d", tmv.tm_year + 1900,
                  tmv.tm_mon + 1, tmv.tm_mday, tmv.tm_hour, tmv.tm_min, tmv.tm_sec);
    size_t n = std::strlen(buf);
    if (n > 14) n = 14;
    std::memcpy(out, buf, n);
    out[n] = '\0';
    return 0;
}

int comIsDir(const char* path)
{
    struct stat st;
    return (path != nullptr && ::stat(path, &st) == 0 && S_ISDIR(st.st_mode)) ? 1 : 0;
}

int comStat(const char* path, struct stat* st)
{
    return ::stat(path, st);
}

int comLstat(const char* path, struct stat* st)
{
    return ::lstat(path, st);
}

int comStat64(const char* path, struct stat* st)
{
    return ::stat(path, st);
}

int comFileExists(const char* path)
{
    return (path != nullptr && ::access(path, F_OK) == 0) ? 1 : 0;
}

int comFileReadable(const char* path)
{
    return (path != nullptr && ::access(path, R_OK) == 0) ? 1 : 0;
}

int comDiskSpace(const char* path, double* total, double* available)
{
    struct statvfs sv;
    if (path == nullptr || ::statvfs(path, &sv) != 0) return -1;
    if (total != nullptr)
        *total = static_cast<double>(sv.f_blocks) * static_cast<double>(sv.f_frsize);
    if (available != nullptr)
        *available = static_cast<double>(sv.f_bavail) * static_cast<double>(sv.f_frsize);
    return 0;
}

int comRaiseFileLimit()
{
    struct rlimit rl;
    if (::getrlimit(RLIMIT_NOFILE, &rl) != 0) return -2;
    if (rl.rlim_max == RLIM_INFINITY) return -1;
    rlim_t half = rl.rlim_max / 2;
    if (rl.rlim_cur < half) {
        rl.rlim_cur = half;
        if (::setrlimit(RLIMIT_NOFILE, &rl) != 0) return -3;
    }
    return 0;
}

int comTempDir(char* buf)
{
    if (buf != nullptr) std::strcpy(buf, "/tmp");
    return 0;
}

// ---- temporary names ------------------------------------------------------------------------

comFileTemp::comFileTemp() : m_seq(0) {}

comFileTemp::~comFileTemp() = default;

int comFileTemp::makeUniqueName(char* path)
{
    if (path == nullptr) return -1;
    size_t len = std::strlen(path);
    if (len < 4 || !comIsInteger(path + len - 3)) return -1;
    for (;;) {
        // Anything standing at the name takes it, a link that leads nowhere too.
        struct stat st;
        if (::lstat(path, &st) != 0) return 0;
        if (m_seq > 99) return -1;
        std::snprintf(path + len - 4, 5, ".%03u", static_cast<unsigned>(m_seq + 1) % 1000u);
        ++m_seq;
    }
}

int comMkTemp(const char* prefix, const char* base, const char* sub, char* out, int outSize)
{
    if (prefix == nullptr || sub == nullptr) return -9;
    if (base == nullptr || base[0] == '\0' || out == nullptr) return -9;
    size_t plen = std::strlen(prefix);
    if (plen < 1 || plen > 4) return -9;
    if (::access(base, F_OK) != 0) return -1;
    if (std::strchr(sub, '/') != nullptr || std::strchr(sub, '\\') != nullptr) return -9;
    if (std::strlen(sub) > 1024) return -9;
    std::string dir = base;
    char last = dir.back();
    if (last != '/' && last != '\\') dir += '/';
    dir += sub;
    if (dir.size() >= 1024) return -1;
    std::string tmpl = dir + "/" + prefix + "XXXXXX";
    if (outSize <= 0 || tmpl.size() >= static_cast<size_t>(outSize)) return -5;
    if (comDirCreateAll((dir + "/").c_str(), 0) != 0 && errno != EEXIST) return -1;
    char* buf = static_cast<char*>(std::malloc(tmpl.size() + 1));
    if (buf == nullptr) return -4;
    std::memcpy(buf, tmpl.c_str(), tmpl.size() + 1);
    int fd = ::mkstemp(buf);
    if (fd < 0) {
        std::free(buf);
        return -2;
    }
    ::close(fd);
    std::memcpy(out, buf, tmpl.size() + 1);
    std::free(buf);
    return 0;
}
