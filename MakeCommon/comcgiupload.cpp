// Reader of multipart/form-data request bodies from standard input.
#include "comcgireq.h"

#include "comcgi.h"
#include "comcgiresp.h"
#include "comfile.h"
#include "comtime.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace {

const int kReadSize = 10240;
const int kLineSize = 1024;

// Read state of the one request being read.
struct MpState {
    char* buffer = nullptr;
    double contentLength = 0;
    double bytesRead = 0;
    int inBuffer = 0;
    unsigned pos = 0;
};
MpState g_mp;

bool isEmptyLine(const char* line)
{
    return line[0] == '\0' || line[0] == '\r' || line[0] == '\n';
}

// Text of the quoted parameter that starts at p (up to the next '"' or
// the end); p is moved behind it.
std::string takeQuoted(const char** p)
{
    const char* q = strchr(*p, '"');
    size_t n = q ? static_cast<size_t>(q - *p) : strlen(*p);
    std::string s(*p, n);
    *p += n;
    return s;
}

// Parses a part's disposition line: 1 file part, 2 plain field, 0 other.
int parseDisposition(const char* line, std::string* name, std::string* fileName)
{
    static const char kHead[] = "Content-Disposition: form-data; name=\"";
    static const char kFile[] = "\"; filename=\"";
    if (strncmp(line, kHead, sizeof kHead - 1) != 0)
        return 0;
    const char* p = line + sizeof kHead - 1;
    *name = takeQuoted(&p);
    if (name->empty())
        return 0;
    if (strncmp(p, kFile, sizeof kFile - 1) == 0) {
        p += sizeof kFile - 1;
        *fileName = takeQuoted(&p);
        if (!fileName->empty())
            return 1;
    }
    return 2;
}

// Opens a fresh file for the upload: never an existing file or a link.
// The file, or null with *code -6 (no free name) or -1.
FILE* openUpload(char* path, int* code)
{
    *code = -1;
    comFileTemp temp;
    if (temp.makeUniqueName(path) != 0) {
        *code = -6;
        return nullptr;
    }
    bool madeDirs = false;
    // One try for each of the names ".000" to ".100".
    int taken = 0;
    for (;;) {
        FILE* f = comCgiMpOpenFile(path, "w");
        if (f)
            return f;
        if (errno == EINTR)
            continue;
        if (errno == EEXIST) {
            // Taken since the name was chosen: the next free suffix.
            if (++taken > 100 || temp.makeUniqueName(path) != 0) {
                *code = -6;
                return nullptr;
            }
            continue;
        }
        if ((errno == ENOENT || errno == ENOTDIR) && !madeDirs) {
            madeDirs = true;
            comDirCreateAll(path, 0);
            continue;
        }
        return nullptr;
    }
}

int writeAll(FILE* f, const char* data, size_t n)
{
    return fwrite(data, 1, n, f) == n ? 0 : -1;
}

// Gives a list of count strings to *dest, or frees it when the caller did
// not ask for it.
void handOverList(char** list, int count, char*** dest)
{
    if (dest) {
        *dest = list;
        return;
    }
    for (int i = 0; i < count; ++i)
        free(list ? list[i] : nullptr);
    free(list);
}

}  // namespace

int comCgiMpReadLine(char* line, int size, const char* boundary, int boundaryLen, int split)
{
    if (!line || size < 2 || !g_mp.buffer)
        return -1;
    int n = 0;
    while (n < size - 1) {
        if (g_mp.pos >= static_cast<unsigned>(g_mp.inBuffer)) {
            int count = 0;
            double remain = g_mp.contentLength - g_mp.bytesRead;
            if (remain > 0) {
                size_t want = remain < kReadSize ? static_cast<size_t>(remain) : kReadSize;
                ssize_t r;
                do {
                    r = read(0, g_mp.buffer, want);
                } while (r < 0 && errno == EINTR);
                if (r < 0)
                    return -1;
                count = static_cast<int>(r);
                g_mp.bytesRead += static_cast<double>(r);
            }
            g_mp.inBuffer = count;
            g_mp.pos = 0;
            if (count == 0)
                break;
        }
        char c = g_mp.buffer[g_mp.pos++];
        line[n++] = c;
        if (c == '\n' && n >= 2 && line[n - 2] == '\r')
            break;
    }
    // Never split a CR LF pair between two pieces.
    if (n == size - 1 && line[n - 1] == '\r' && g_mp.pos > 0) {
        --g_mp.pos;
        --n;
    }
    if (split && boundary && boundaryLen > 0 && n > boundaryLen &&
        strncmp(line, boundary, static_cast<size_t>(boundaryLen)) == 0 &&
        line[boundaryLen] != '\r' && line[boundaryLen] != '-') {
        // Cut to the boundary and skip the one byte after it; the rest is
        // given back, within the current buffer only.
        unsigned back = static_cast<unsigned>(n - boundaryLen - 1);
        if (back <= g_mp.pos) {
            g_mp.pos -= back;
            n = boundaryLen;
        }
    }
    line[n] = '\0';
    return n;
}

int comCgiMpReadBoundary(char* line)
{
    int n = comCgiMpReadLine(line, kLineSize, nullptr, 0, 0);
    if (n < 0)
        return -1;
    return n - 2;
}

int comCgiMpSkipLine(char* line, const char* boundary, int boundaryLen, int split)
{
    return comCgiMpReadLine(line, kLineSize, boundary, boundaryLen, split) >= 1 ? 0 : -1;
}

int comCgiMpIsBoundary(const char* line, const char* boundary, int length)
{
    if (!line || !boundary || length < 1)
        return 0;
    return strncmp(line, boundary, static_cast<size_t>(length)) == 0;
}

void comCgiMpHoldTail(const char* line, int length, char* hold)
{
    if (!line || !hold || length < 2)
        return;
    hold[0] = line[length - 2];
    hold[1] = line[length - 1];
}

int comCgiMpAppend(const char* bytes, char** buffer, int currentLen, int addedLen)
{
    if (!buffer || currentLen < 0 || addedLen < 0)
        return -1;
    if (currentLen == 0 && addedLen == 0)
        return 0;
    if (currentLen > INT_MAX - addedLen)
        return -1;
    char* grown = static_cast<char*>(
        realloc(*buffer, static_cast<size_t>(currentLen) + static_cast<size_t>(addedLen)));
    if (!grown)
        return -1;
    if (addedLen > 0)
        memcpy(grown + currentLen, bytes, static_cast<size_t>(addedLen));
    *buffer = grown;
    return addedLen;
}

int comCgiMpReadValue(char* line, char** value, const char* boundary, int boundaryLen,
                      int split)
{
    if (!line || !value)
        return -1;
    // The rest of the part's header and the blank line.
    for (int i = 0; i < 3; ++i) {
        if (comCgiMpReadLine(line, kLineSize, boundary, boundaryLen, split) <= 0)
            return -1;
        if (isEmptyLine(line))
            break;
    }
    char* buf = nullptr;
    int len = 0;
    char hold[2] = {0, 0};
    for (;;) {
        int n = comCgiMpReadLine(line, kLineSize, boundary, boundaryLen, split);
        // The input may not end inside a value.
        if (n < 2) {
            free(buf);
            return -1;
        }
        if (comCgiMpIsBoundary(line, boundary, boundaryLen))
            break;
        if (len > 0) {
            if (comCgiMpAppend(hold, &buf, len, 2) < 0) {
                free(buf);
                return -1;
            }
            len += 2;
        }
        if (comCgiMpAppend(line, &buf, len, n - 2) < 0) {
            free(buf);
            return -1;
        }
        len += n - 2;
        comCgiMpHoldTail(line, n, hold);
    }
    if (comCgiMpAppend("", &buf, len, 1) < 0) {
        free(buf);
        return -1;
    }
    free(*value);
    *value = buf;
    return 0;
}

int comCgiMpSaveFile(char* line, char* path, char** type, const char* boundary,
                     int boundaryLen, int split, int safariOrChrome, ComCgiProgress progress,
                     unsigned char* abortFlag)
{
    (void)safariOrChrome;
    if (!line || !path)
        return -1;
    if (comCgiMpReadLine(line, kLineSize, boundary, boundaryLen, split) <= 0)
        return -1;
    char* partType = nullptr;
    static const char kType[] = "Content-Type: ";
    if (strncmp(line, kType, sizeof kType - 1) == 0) {
        const char* w = line + sizeof kType - 1;
        size_t n = strcspn(w, " \t\r\n");
        if (n > 0) {
            partType = static_cast<char*>(malloc(n + 1));
            if (!partType)
                return -1;
            memcpy(partType, w, n);
            partType[n] = '\0';
        }
    }
    int openCode = 0;
    FILE* file = openUpload(path, &openCode);
    if (!file) {
        // Nothing of ours is under that name: it must not be removed.
        path[0] = '\0';
        free(partType);
        return openCode;
    }
    int rc = 0;
    // The header ends with a blank line: when the line just read was not
    // it, read on to it (at most two more lines).
    if (!isEmptyLine(line)) {
        if (comCgiMpReadLine(line, kLineSize, boundary, boundaryLen, split) <= 0)
            rc = -1;
        else if (!isEmptyLine(line) &&
                 comCgiMpReadLine(line, kLineSize, boundary, boundaryLen, split) <= 0)
            rc = -1;
    }
    char hold[2] = {0, 0};
    bool first = true;
    bool stopped = abortFlag && *abortFlag;
    while (rc == 0) {
        if (progress && abortFlag && !*abortFlag) {
            *abortFlag = progress();
            stopped = *abortFlag != 0;
        }
        int n = comCgiMpReadLine(line, kLineSize, boundary, boundaryLen, split);
        if (n < 2) {
            rc = -1;
            break;
        }
        if (comCgiMpIsBoundary(line, boundary, boundaryLen))
            break;
        if (stopped)
            continue;
        if (!first && writeAll(file, hold, 2) != 0) {
            rc = -1;
            break;
        }
        if (n >= 3 && writeAll(file, line, static_cast<size_t>(n - 2)) != 0) {
            rc = -1;
            break;
        }
        comCgiMpHoldTail(line, n, hold);
        first = false;
    }
    if (fclose(file) != 0 && rc == 0)
        rc = -1;
    if (rc != 0) {
        free(partType);
        return rc;
    }
    if (type)
        *type = partType;
    else
        free(partType);
    return 0;
}

FILE* comCgiMpOpenFile(const char* path, const char* mode)
{
    if (!path || !mode)
        return nullptr;
    // Built with 64-bit file offsets, every open is a large-file open, so
    // bodies of 2 GB and more need no other call.
    if (mode[0] != 'w')
        return fopen(path, mode);
    // "w+" reads too: fdopen refuses it on a write-only descriptor.
    int access = strchr(mode, '+') ? O_RDWR : O_WRONLY;
    int fd = open(path, access | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return nullptr;
    FILE* f = fdopen(fd, mode);
    if (!f) {
        int e = errno;
        close(fd);
        unlink(path);
        errno = e;
    }
    return f;
}

void comCgiMpFixFileName(char* fileName, int safariOrChrome)
{
    if (!fileName || safariOrChrome)
        return;
    const char* ua = getenv("HTTP_USER_AGENT");
    if (ua && strstr(ua, "Mozilla") && strstr(ua, "Macintosh") && !strstr(ua, "MSIE"))
        comCgiUrlDecode(fileName);
}

int comCgiMpAddField(const char* name, const char* fileName, int count, char*** names,
                     char*** values, char*** fileNames, char*** types, const char* uploadDir,
                     int safariOrChrome)
{
    if (!name || !names || !values || count < 0)
        return -1;
    size_t n = static_cast<size_t>(count);
    char** nn = static_cast<char**>(calloc(n + 1, sizeof(char*)));
    char** nv = static_cast<char**>(calloc(n + 1, sizeof(char*)));
    char** nf = fileNames ? static_cast<char**>(calloc(n + 1, sizeof(char*))) : nullptr;
    char** nt = types ? static_cast<char**>(calloc(n + 1, sizeof(char*))) : nullptr;
    char* nameCopy = strdup(name);
    char* path = nullptr;
    char* sent = nullptr;
    bool ok = nn && nv && (!fileNames || nf) && (!types || nt) && nameCopy;
    if (ok && fileName) {
        // The path never holds the name the browser sent.
        char stamp[64];
        comTimeStamp(stamp);
        std::string dir;
        if (uploadDir && *uploadDir) {
            dir = uploadDir;
        } else {
            char tmp[16];
            comTempDir(tmp);
            dir = std::string(tmp) + "/";
        }
        char tail[128];
        snprintf(tail, sizeof tail, "%s%d.%d.%s.000", "tmp", count + 1,
                 static_cast<int>(getpid()), stamp);
        std::string full = dir + tail;
        path = strdup(full.c_str());
        if (fileNames)
            sent = strdup(fileName);
        ok = path && (!fileNames || sent);
        if (sent)
            comCgiMpFixFileName(sent, safariOrChrome);
    }
    if (!ok) {
        free(nn);
        free(nv);
        free(nf);
        free(nt);
        free(nameCopy);
        free(path);
        free(sent);
        return -1;
    }
    if (n > 0) {
        memcpy(nn, *names, n * sizeof(char*));
        memcpy(nv, *values, n * sizeof(char*));
        if (nf && *fileNames)
            memcpy(nf, *fileNames, n * sizeof(char*));
        if (nt && *types)
            memcpy(nt, *types, n * sizeof(char*));
    }
    nn[n] = nameCopy;
    nv[n] = path;
    if (nf)
        nf[n] = sent;
    free(*names);
    free(*values);
    *names = nn;
    *values = nv;
    if (fileNames) {
        free(*fileNames);
        *fileNames = nf;
    }
    if (types) {
        free(*types);
        *types = nt;
    }
    return count + 1;
}

int comCgiGetMultipart(char*** names, char*** values, char*** fileNames, char*** types,
                       const char* uploadDir, ComCgiProgress progress, double sizeLimit,
                       const char* const* noTrim)
{
    if (!names || !values)
        return -1;
    const int safariOrChrome = (comUaIsSafari() || comUaIsChrome()) ? 1 : 0;
    const int macMsie = safariOrChrome ? 0 : comUaIsMacMsie();
    *names = nullptr;
    *values = nullptr;
    if (fileNames)
        *fileNames = nullptr;
    if (types)
        *types = nullptr;

    const char* cl = getenv("CONTENT_LENGTH");
    if (!cl)
        return -1;
    g_mp = MpState();
    g_mp.contentLength = atof(cl);
    if (sizeLimit != 0 && g_mp.contentLength > sizeLimit)
        return -11;
    if (g_mp.contentLength <= 0)
        return -12;
    g_mp.buffer = static_cast<char*>(malloc(kReadSize));
    if (!g_mp.buffer)
        return -1;

    // File names and types are always tracked, so that a failure can
    // remove every file already written.
    char** fnames = nullptr;
    char** ftypes = nullptr;
    char line[kLineSize];
    char boundary[kLineSize];
    int count = 0;
    int result = 0;
    unsigned char abortFlag = 0;

    int blen = comCgiMpReadBoundary(line);
    if (blen < 1) {
        result = -1;
    } else {
        memcpy(boundary, line, static_cast<size_t>(blen));
        boundary[blen] = '\0';
        line[0] = '\0';
        for (;;) {
            size_t have = strlen(line);
            if (have >= static_cast<size_t>(blen) + 2 && comCgiMpIsBoundary(line, boundary, blen) &&
                line[blen] == '-' && line[blen + 1] == '-') {
                result = count;
                break;
            }
            int n = comCgiMpReadLine(line, kLineSize, boundary, blen, macMsie);
            if (n < 0) {
                result = -1;
                break;
            }
            if (n == 0) {
                result = count;
                break;
            }
            // A header line that does not fit the line buffer is refused.
            if (n == kLineSize - 1 && line[n - 1] != '\n') {
                result = -1;
                break;
            }
            std::string name, fileName;
            int kind = parseDisposition(line, &name, &fileName);
            if (kind == 1) {
                int c = comCgiMpAddField(name.c_str(), fileName.c_str(), count, names, values,
                                         &fnames, &ftypes, uploadDir, safariOrChrome);
                if (c < 0) {
                    result = -1;
                    break;
                }
                count = c;
                int rc = comCgiMpSaveFile(line, (*values)[count - 1], &ftypes[count - 1],
                                          boundary, blen, macMsie, safariOrChrome, progress,
                                          &abortFlag);
                if (rc != 0) {
                    if ((*values)[count - 1][0])
                        unlink((*values)[count - 1]);
                    result = rc;
                    break;
                }
            } else if (kind == 2) {
                int c = comCgiMpAddField(name.c_str(), nullptr, count, names, values, &fnames,
                                         &ftypes, nullptr, safariOrChrome);
                if (c < 0) {
                    result = -1;
                    break;
                }
                count = c;
                if (comCgiMpReadValue(line, &(*values)[count - 1], boundary, blen, macMsie) != 0) {
                    result = -1;
                    break;
                }
                char* v = (*values)[count - 1];
                bool keep = false;
                for (const char* const* p = noTrim; p && *p; ++p) {
                    if (strcmp(name.c_str(), *p) == 0)
                        keep = true;
                }
                if (!keep)
                    comCgiTrimValue(v, 0, 1, 1);
            } else {
                result = -1;
                break;
            }
        }
    }
    if (abortFlag)
        result = -13;
    if (result < 0) {
        comCgiFreeRequest(count, *names, *values, fnames, ftypes);
        *names = nullptr;
        *values = nullptr;
    } else {
        handOverList(fnames, count, fileNames);
        handOverList(ftypes, count, types);
    }
    free(g_mp.buffer);
    g_mp = MpState();
    return result;
}
