#include "comtrace.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "comstr.h"
#include "comfile.h"
#include "nustring.h"

namespace {

enum {
    TRACE_PATH_SIZE = 1024,
    TRACE_WORK_SIZE = 8192,
    TRACE_MSG_LIMIT = 7168,
    TRACE_SRC_MAX = 256,
    FILE_PIECE = 8192,
    COMPARE_BLOCK = 4096
};

char g_tracePath[TRACE_PATH_SIZE];

// Writes all of buf to fd; false when a write fails or makes no progress.
bool writeAll(int fd, const char* buf, size_t len)
{
    while (len > 0) {
        ssize_t n = write(fd, buf, len);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        buf += n;
        len -= static_cast<size_t>(n);
    }
    return true;
}

} // namespace

const char* comTraceSetPath(const char* path)
{
    if (!path || strlen(path) >= sizeof g_tracePath)
        g_tracePath[0] = '\0'; // a cut path would trace somewhere else
    else
        memmove(g_tracePath, path, strlen(path) + 1);
    return g_tracePath;
}

const char* comTracePath() { return g_tracePath; }

void comTraceWriteV(const char* srcFile, int line, const char* fmt, va_list ap)
{
    if (!g_tracePath[0])
        return;

    time_t now = time(nullptr);
    struct tm tmv;
    char stamp[64] = "";
    if (localtime_r(&now, &tmv))
        strftime(stamp, sizeof stamp, "%y-%m-%d %H:%M:%S", &tmv);

    char work[TRACE_WORK_SIZE];
    int prefix = snprintf(work, sizeof work, "%s - %.256s(%d)\t:", stamp,
                          srcFile ? srcFile : "", line);
    if (prefix < 0)
        return;
    size_t len = static_cast<size_t>(prefix);
    va_list cp;
    va_copy(cp, ap);
    int r = vsnprintf(work + len, TRACE_MSG_LIMIT, fmt ? fmt : "", cp);
    va_end(cp);
    if (r < 0)
        memcpy(work + len, ".....", 6);
    len = strlen(work); // a cut message ends inside the limit
    work[len++] = '\n';

    // Hex-encode all but CR and LF, then store the line with one write.
    static const char hex[] = "0123456789abcdef";
    std::string out;
    out.reserve(len * 2);
    for (size_t i = 0; i < len; ++i) {
        unsigned char c = static_cast<unsigned char>(work[i]);
        if (c == '\r' || c == '\n') {
            out += static_cast<char>(c);
        } else {
            out += hex[c >> 4];
            out += hex[c & 0x0F];
        }
    }
    int fd = open(g_tracePath, O_WRONLY | O_CREAT | O_APPEND, 0666);
    if (fd < 0)
        return;
    writeAll(fd, out.data(), out.size());
    close(fd);
}

void comTraceWrite(const char* srcFile, int line, const char* fmt, ...)
{
    if (!g_tracePath[0])
        return;
    va_list ap;
    va_start(ap, fmt);
    comTraceWriteV(srcFile, line, fmt, ap);
    va_end(ap);
}

void comTraceWriteFile(const char* srcPath, int line, const char* fmt, ...)
{
    if (!g_tracePath[0])
        return;
    char name[TRACE_SRC_MAX + 1] = "";
    if (srcPath) {
        const char* base = srcPath;
        for (const char* p = srcPath; *p; ++p)
            if (*p == '/' || *p == '\\')
                base = p + 1;
        size_t n = strlen(base);
        const char* dot = strrchr(base, '.');
        if (dot && dot != base)
            n = static_cast<size_t>(dot - base);
        if (n > TRACE_SRC_MAX)
            n = TRACE_SRC_MAX;
        memcpy(name, base, n);
        name[n] = '\0';
    }
    va_list ap;
    va_start(ap, fmt);
    comTraceWriteV(name, line, fmt, ap);
    va_end(ap);
}

void comTraceReadFile(char* buf, unsigned size)
{
    if (!buf || size == 0 || !g_tracePath[0])
        return;
    FILE* fp = fopen(g_tracePath, "r");
    if (!fp)
        return;
    size_t n = fread(buf, 1, size - 1, fp);
    buf[n] = '\0';
    fclose(fp);
}

int comPathExists(const char* path)
{
    if (!path)
        return 0;
    NUString s;
    int r = s.set(path);
    if (r != 0)
        return r;
    unsigned len = s.length();
    if (len > 1 && (path[len - 1] == '/' || path[len - 1] == '\\'))
        s.cutBytes(len - 1);
    return access(s.c_str(), F_OK) == 0 ? 1 : 0;
}

int comDirMake(const char* path)
{
    if (!path || !*path)
        return -3;
    int r = comPathExists(path);
    if (r == 1)
        return 0;
    if (r < 0)
        return -3; // not known to exist
    if (comDirCreateAll(path, 0) != 0 && errno != EEXIST)
        return -3;
    if (comPathExists(path) == 1)
        return 0;
    if (comDirCreate(path) != 0 && comPathExists(path) != 1)
        return -3;
    return 0;
}

int comDirMakeForFile(const char* filePath)
{
    if (!filePath)
        return -3;
    char dir[1024];
    comPathDir(filePath, dir, sizeof dir, 0);
    if (!dir[0])
        return 0; // no directory part: the current or root directory
    return comDirMake(dir);
}

char* comFileReadAll(const char* path)
{
    if (!path || !*path)
        return nullptr;
    struct stat st;
    if (stat(path, &st) != 0) {
        if (errno == ENOENT)
            return static_cast<char*>(calloc(1, 1));
        return nullptr;
    }
    if (st.st_size <= 0)
        return static_cast<char*>(calloc(1, 1));
    unsigned long long size = static_cast<unsigned long long>(st.st_size);
    if (size >= static_cast<unsigned long long>(SIZE_MAX))
        return nullptr;
    char* text = static_cast<char*>(malloc(static_cast<size_t>(size) + 1));
    if (!text)
        return nullptr;
    text[0] = '\0';
    FILE* fp = fopen(path, "r");
    if (!fp) {
        free(text);
        return nullptr;
    }
    size_t done = 0;
    while (done < size) {
        size_t want = static_cast<size_t>(size) - done;
        if (want > FILE_PIECE)
            want = FILE_PIECE;
        size_t n = fread(text + done, 1, want, fp);
        if (n == 0)
            break;
        done += n;
        text[done] = '\0';
    }
    fclose(fp);
    return text;
}

int comFileWriteAll(const void* buf, unsigned len, const char* path)
{
    if (!buf || !path || len == 0)
        return -1;
    FILE* fp = fopen(path, "wb");
    if (!fp)
        return -10;
    const char* p = static_cast<const char*>(buf);
    size_t left = len;
    bool ok = true;
    while (left > 0) {
        size_t want = left > FILE_PIECE ? size_t(FILE_PIECE) : left;
        size_t n = fwrite(p, 1, want, fp);
        if (n == 0) {
            ok = false; // no progress: full disk or I/O error
            break;
        }
        p += n;
        left -= n;
    }
    if (fclose(fp) != 0)
        ok = false;
    return ok ? 0 : -11;
}

int comFileCompare(const char* path1, const char* path2)
{
    if (!path1 || !path2)
        return 0;
    FILE* f1 = fopen(path1, "rb");
    if (!f1)
        return 0;
    FILE* f2 = fopen(path2, "rb");
    if (!f2) {
        fclose(f1);
        return 0;
    }
    int result = 0;
    struct stat s1, s2;
    if (fstat(fileno(f1), &s1) == 0 && fstat(fileno(f2), &s2) == 0 && s1.st_size != 0 &&
        s1.st_size == s2.st_size) {
        char b1[COMPARE_BLOCK], b2[COMPARE_BLOCK];
        for (;;) {
            size_t n1 = fread(b1, 1, sizeof b1, f1);
            size_t n2 = fread(b2, 1, sizeof b2, f2);
            if (n1 != n2 || memcmp(b1, b2, n1) != 0)
                break;
            if (n1 == 0) {
                result = 1;
                break;
            }
        }
    }
    fclose(f1);
    fclose(f2);
    return result;
}

int comPathJoin(NUString& out, const char* dir, const char* file)
{
    if (!dir)
        return -1;
    std::string d(dir); // dir and file may be out's own text
    std::string f(file ? file : "");
    int r = out.set(d.c_str());
    if (r != 0)
        return r;
    if (!d.empty() && d.back() != '/' && d.back() != '\\') {
        r = out.append("/");
        if (r != 0)
            return r;
    }
    if (file) {
        r = out.append(f.c_str());
        if (r != 0)
            return r;
    }
    return 0;
}
