#include "nuhttpreq.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

#include "comcgi.h"
#include "comcgiresp.h"
#include "comfile.h"
#include "commime.h"
#include "comstr.h"
#include "comtime.h"
#include "nusock.h"

namespace {

bool hasControl(const char* s, bool spaceToo)
{
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(s); *p; ++p) {
        if (*p < 0x20 || *p == 0x7F || (spaceToo && *p == ' '))
            return true;
    }
    return false;
}

// A name as it goes between the double quotes of a part header.
std::string quotedName(const char* s)
{
    std::string out;
    for (const char* p = s ? s : ""; *p; ++p) {
        if (*p == '"')
            out += "%22";
        else if (*p == '\r')
            out += "%0D";
        else if (*p == '\n')
            out += "%0A";
        else
            out += *p;
    }
    return out;
}

int writeAll(int fd, HttpWriterFn writer, const void* data, size_t len)
{
    if (len == 0)
        return 0;
    int r = writer(fd, data, static_cast<int>(len));
    return r < 0 ? r : 0;
}

int writeStr(int fd, HttpWriterFn writer, const std::string& s)
{
    return writeAll(fd, writer, s.data(), s.size());
}

// Collects request bytes and hands them to the writer in pieces of up to
// HTTP_GATHER_SIZE bytes: small writes would each wait on the peer's
// acknowledgement.
class Gather {
public:
    Gather(int fd, HttpWriterFn writer)
        : fd(fd), writer(writer), buf(static_cast<char*>(std::malloc(HTTP_GATHER_SIZE)))
    {
    }
    ~Gather() { std::free(buf); }
    Gather(const Gather&) = delete;
    Gather& operator=(const Gather&) = delete;

    bool ok() const { return buf != nullptr; }

    int put(const char* data, size_t len)
    {
        while (len > 0) {
            if (used == HTTP_GATHER_SIZE) {
                int r = flush();
                if (r < 0)
                    return r;
            }
            size_t n = HTTP_GATHER_SIZE - used;
            if (n > len)
                n = len;
            std::memcpy(buf + used, data, n);
            used += n;
            data += n;
            len -= n;
        }
        return 0;
    }
    int put(const std::string& s) { return put(s.data(), s.size()); }

    // Room for len more bytes (at most HTTP_GATHER_SIZE), flushing first when
    // there is less; commit() then takes what was stored there.
    int room(size_t len, char** at)
    {
        if (HTTP_GATHER_SIZE - used < len) {
            int r = flush();
            if (r < 0)
                return r;
        }
        *at = buf + used;
        return 0;
    }
    void commit(size_t len) { used += len; }

    int flush()
    {
        size_t n = used;
        used = 0;
        return writeAll(fd, writer, buf, n);
    }

private:
    int fd;
    HttpWriterFn writer;
    char* buf;
    size_t used = 0;
};

class SocketInput : public HttpInput {
public:
    explicit SocketInput(int fd) : fd(fd) {}
    int readLine(char* buf, int size) override { return sockReadLine(fd, buf, size); }
    int read(char* buf, int size) override { return sockRead(fd, buf, size); }

private:
    int fd;
};

// Content-Length value: 0..HTTP_BODY_MAX, -1 when not a number, -2 when larger.
long long parseLength(const char* line)
{
    const char* p = std::strchr(line, ':');
    if (!p)
        return -1;
    ++p;
    while (*p == ' ' || *p == '\t')
        ++p;
    if (*p < '0' || *p > '9')
        return -1;
    long long v = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        v = v * 10 + (*p - '0');
        if (v > HTTP_BODY_MAX)
            return -2;
    }
    while (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n')
        ++p;
    return *p ? -1 : v;
}

int addHeader(const char* line, char*** names, char*** values, int* count)
{
    const char* colon = std::strchr(line, ':');
    if (!colon)
        return 0;
    const char* v = colon + 1;
    while (*v == ' ')
        ++v;
    char* name = strndup(line, static_cast<size_t>(colon - line));
    char* value = strdup(v);
    char** nn = static_cast<char**>(std::realloc(*names, sizeof(char*) * (*count + 1)));
    if (nn)
        *names = nn;
    char** vv = nn ? static_cast<char**>(std::realloc(*values, sizeof(char*) * (*count + 1))) : nullptr;
    if (vv)
        *values = vv;
    if (!name || !value || !nn || !vv) {
        std::free(name);
        std::free(value);
        return HTTP_ERR_NOMEM;
    }
    comRTrim(value);
    (*names)[*count] = name;
    (*values)[*count] = value;
    ++*count;
    return 0;
}

// declared: the Content-Length, or -1 to read to the end of the stream.
int readBody(HttpInput& in, long long declared, char** body, int* length)
{
    size_t cap = declared >= 0 ? static_cast<size_t>(declared) + 1 : 2048 + 1;
    char* buf = static_cast<char*>(std::malloc(cap));
    if (!buf)
        return HTTP_ERR_NOMEM;
    size_t got = 0;
    for (;;) {
        if (declared >= 0 && got == static_cast<size_t>(declared))
            break;
        if (declared < 0 && cap - got < 1024) {
            if (got + 2048 > static_cast<size_t>(HTTP_BODY_MAX) + 1) {
                comDebugLog("httpReadHead body over %d\n", HTTP_BODY_MAX);
                std::free(buf);
                return HTTP_ERR_NOMEM;
            }
            char* nb = static_cast<char*>(std::realloc(buf, got + 2048 + 1));
            if (!nb) {
                std::free(buf);
                return HTTP_ERR_NOMEM;
            }
            buf = nb;
            cap = got + 2048 + 1;
        }
        int r = in.read(buf + got, static_cast<int>(cap - got));
        if (r < 0) {
            std::free(buf);
            return r;
        }
        if (r == 0)
            break;
        got += static_cast<size_t>(r);
    }
    if (declared >= 0 && got < static_cast<size_t>(declared)) {
        comDebugLog("httpReadHead short body %u of %lld\n", static_cast<unsigned>(got), declared);
        std::free(buf);
        return HTTP_ERR_IO;
    }
    buf[got] = '\0';
    *body = buf;
    *length = static_cast<int>(got);
    return 0;
}

} // namespace

int httpCheckHeaderArgs(int count, const char* const* names, const char* const* values)
{
    if (count > 0 && (!names || !values)) {
        comDebugLog("httpWrite argment error1 [%d=%d]\n", count, names ? 1 : 0);
        return HTTP_ERR_ARG;
    }
    for (int i = 0; i < count; ++i) {
        if (!names[i] || !values[i]) {
            comDebugLog("httpWrite argment error2 [%d][%d=%d]\n", i, names[i] ? 1 : 0,
                        values[i] ? 1 : 0);
            return HTTP_ERR_ARG;
        }
    }
    return 0;
}

int httpWriteHeaders(int fd, int count, const char* const* names, const char* const* values,
                     HttpWriterFn writer)
{
    if (!writer)
        writer = sockWrite;
    for (int i = 0; i < count; ++i) {
        std::string line = std::string(names[i]) + ": " + values[i] + "\r\n";
        int r = writeStr(fd, writer, line);
        if (r < 0)
            return r;
    }
    return 0;
}

int httpGetAuthBase64(const char* user, const char* password, char* out)
{
    if (!user || !password || !out) {
        comDebugLog("httpGetAuthBase64 %d,%d,%d\n", user ? 1 : 0, password ? 1 : 0, out ? 1 : 0);
        return HTTP_ERR_ARG;
    }
    size_t ul = std::strlen(user), pl = std::strlen(password);
    if (ul + pl + 2 > 255) {
        comDebugLog("httpGetAuthBase64 size %d,%d,%d\n", static_cast<int>(ul),
                    static_cast<int>(pl), 255);
        return HTTP_ERR_ARG;
    }
    std::string plain = std::string(user) + ":" + password;
    comBase64Encode(static_cast<int>(plain.size()), plain.data(), out);
    return 0;
}

int httpMakeBoundary(const char* prefix, char* out)
{
    if (!prefix || !out)
        return -1;
    char now[32] = "";
    comTimeNowText(now, 0);
    srand(static_cast<unsigned>(std::atoi(now + (std::strlen(now) > 10 ? 10 : std::strlen(now)))));
    std::snprintf(out, HTTP_BOUNDARY_SIZE, "%.40s%s%d", prefix, now, rand());
    return 0;
}

int httpGetMultipartLength(const char* body, NUAttachFileList* files, char*** names,
                           char*** values, int* count, char* lengthLine, char* boundary)
{
    if (!files || !names || !values || !count || !lengthLine || !boundary)
        return HTTP_ERR_ARG;
    *names = nullptr;
    *values = nullptr;
    *count = 0;
    int n = files->getCount();
    for (int i = 0; i < n; ++i) {
        char* part = nullptr;
        NUAttachFileRecord* rec = files->recordAt(i);
        if (files->nameAt(i, &part) != 0 || !part || !rec || std::strlen(part) > 255
            || rec->fileName.length() > 255 || rec->filePath.length() > 1024)
            return HTTP_ERR_PART;
    }
    if (body && *body) {
        char* copy = strdup(body);
        if (!copy)
            return HTTP_ERR_PART;
        int c = comCgiParseQuery(copy, names, values);
        std::free(copy);
        if (c < 0) {
            *names = nullptr;
            *values = nullptr;
            return HTTP_ERR_PART;
        }
        *count = c;
        for (int i = 0; i < c; ++i) {
            if (std::strlen((*names)[i]) > 255)
                return HTTP_ERR_PART;
        }
    }
    if (httpMakeBoundary("------------------------------", boundary) != 0)
        return HTTP_ERR_PART;
    double b = static_cast<double>(std::strlen(boundary));
    double total = 0;
    for (int i = 0; i < *count; ++i)
        total += b + 47 + quotedName((*names)[i]).size() + std::strlen((*values)[i] ? (*values)[i] : "");
    for (int i = 0; i < n; ++i) {
        char* part = nullptr;
        files->nameAt(i, &part);
        NUAttachFileRecord* rec = files->recordAt(i);
        double size = comFileSize(rec->filePath.c_str());
        if (size < 0) {
            comDebugLog("httpGetMultipartLength size path[%s]\n", rec->filePath.c_str());
            return HTTP_ERR_PART;
        }
        rec->size = static_cast<long long>(size);
        total += b + 76 + quotedName(part).size() + quotedName(rec->fileName.c_str()).size()
                 + quotedName(rec->mimeType.c_str()).size() + size;
    }
    total += b + 4;
    std::snprintf(lengthLine, HTTP_LENGTH_LINE_SIZE, "Content-Length: %.0f", total);
    return 0;
}

namespace {

int writeMultipart(Gather& out, char** names, char** values, int count, NUAttachFileList* files,
                   const char* boundary)
{
    int r;
    for (int i = 0; i < count; ++i) {
        std::string s = std::string(boundary) + "\r\nContent-Disposition: form-data; name=\""
                        + quotedName(names[i]) + "\"\r\n\r\n" + (values[i] ? values[i] : "") + "\r\n";
        if ((r = out.put(s)) < 0)
            return r;
    }
    int n = files->getCount();
    for (int i = 0; i < n; ++i) {
        char* part = nullptr;
        files->nameAt(i, &part);
        NUAttachFileRecord* rec = files->recordAt(i);
        if (!rec)
            return HTTP_ERR_PART;
        std::string s = std::string(boundary) + "\r\nContent-Disposition: form-data; name=\""
                        + quotedName(part) + "\"; filename=\"" + quotedName(rec->fileName.c_str())
                        + "\"\r\nContent-Type: " + quotedName(rec->mimeType.c_str()) + "\r\n\r\n";
        if ((r = out.put(s)) < 0)
            return r;
        int in = comLockFileRead(rec->filePath.c_str(), 1, 0, 0);
        if (in < 0) {
            comDebugLog("httpWriteMultipart open path[%s] errno[%d]\n", rec->filePath.c_str(), errno);
            out.flush();
            return HTTP_ERR_PART;
        }
        // Exactly the measured size goes out, so the Content-Length holds.
        // The file is read in 4096-byte blocks straight into the gathered
        // output.
        long long left = rec->size;
        while (left != 0) {
            size_t want = 4096;
            if (left > 0 && static_cast<long long>(want) > left)
                want = static_cast<size_t>(left);
            char* at = nullptr;
            if ((r = out.room(want, &at)) < 0) {
                close(in);
                return r;
            }
            ssize_t got = comFileRead(in, at, want);
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0) {
                if (got == 0 && left < 0)
                    break;
                comDebugLog("httpWriteMultipart read path[%s] errno[%d]\n", rec->filePath.c_str(), errno);
                close(in);
                out.flush();
                return HTTP_ERR_PART;
            }
            out.commit(static_cast<size_t>(got));
            if (left > 0)
                left -= got;
        }
        close(in);
        if ((r = out.put("\r\n", 2)) < 0)
            return r;
    }
    return out.put(std::string(boundary) + "--\r\n");
}

} // namespace

int httpWriteMultipart(int fd, char** names, char** values, int count, NUAttachFileList* files,
                       const char* boundary, HttpWriterFn writer)
{
    if (fd < 0 || !files || !boundary) {
        comDebugLog("httpWriteMultipart %d,%d,%d\n", fd, files ? 1 : 0, boundary ? 1 : 0);
        return HTTP_ERR_ARG;
    }
    Gather out(fd, writer ? writer : sockWrite);
    if (!out.ok())
        return HTTP_ERR_NOMEM;
    int r = writeMultipart(out, names, values, count, files, boundary);
    return r < 0 ? r : out.flush();
}

int httpWrite(int fd, const char* url, const char* body, const char* basicUser,
              const char* basicPwd, const char* proxyUser, const char* proxyPwd,
              const char* host, int port, NUAttachFileList* files, int headerCount,
              const char* const* headerNames, const char* const* headerValues,
              int absoluteUrl, const char* method, HttpWriterFn writer)
{
    if (!url) {
        comDebugLog("httpWrite url %d\n", 0);
        return HTTP_ERR_ARG;
    }
    if (hasControl(url, true) || (host && hasControl(host, true))
        || (method && hasControl(method, true)) || (method && std::strlen(method) > 64)) {
        comDebugLog("httpWrite control character in url, host or method\n");
        return HTTP_ERR_ARG;
    }
    int r = httpCheckHeaderArgs(headerCount, headerNames, headerValues);
    if (r != 0)
        return r;
    for (int i = 0; i < headerCount; ++i) {
        size_t nl = std::strlen(headerNames[i]), vl = std::strlen(headerValues[i]);
        if (nl > 64 || vl > 8124 || hasControl(headerNames[i], true)
            || hasControl(headerValues[i], false)) {
            comDebugLog("httpWrite argment size error [%d][%d=%d]\n", i, static_cast<int>(nl),
                        static_cast<int>(vl));
            return HTTP_ERR_ARG;
        }
    }
    if (!writer)
        writer = sockWrite;
    if (files && files->getCount() == 0)
        files = nullptr;

    char basicB64[HTTP_AUTH_B64_SIZE] = "";
    char proxyB64[HTTP_AUTH_B64_SIZE] = "";
    if (basicUser && *basicUser) {
        if (!basicPwd) {
            comDebugLog("httpWrite basic pwd %d\n", 0);
            return HTTP_ERR_ARG;
        }
        if ((r = httpGetAuthBase64(basicUser, basicPwd, basicB64)) != 0)
            return r;
    }
    if (proxyUser && *proxyUser) {
        if (!proxyPwd) {
            comDebugLog("httpWrite proxy pwd %d\n", 0);
            return HTTP_ERR_ARG;
        }
        if ((r = httpGetAuthBase64(proxyUser, proxyPwd, proxyB64)) != 0)
            return r;
    }

    const char* target = url;
    if (!absoluteUrl) {
        const char* s = std::strstr(url, "//");
        if (s) {
            const char* slash = std::strchr(s + 2, '/');
            if (slash)
                target = slash;
        }
    }
    bool hasBody = (body && *body) || files;

    char** names = nullptr;
    char** values = nullptr;
    int count = 0;
    char lengthLine[HTTP_LENGTH_LINE_SIZE] = "";
    char boundary[HTTP_BOUNDARY_SIZE] = "";
    std::string head;
    if (method && *method)
        head = std::string(method) + " " + target + " HTTP/1.0\r\n";
    else
        head = std::string(hasBody ? "POST " : "GET ") + target + " HTTP/1.0\r\n";
    if (hasBody) {
        if (files) {
            r = httpGetMultipartLength(body, files, &names, &values, &count, lengthLine, boundary);
            if (r != 0) {
                comCgiFreeRequest(count, names, values, nullptr, nullptr);
                return r;
            }
        } else {
            std::snprintf(lengthLine, sizeof lengthLine, "Content-Length: %.0f",
                          static_cast<double>(std::strlen(body)));
        }
        head += lengthLine;
        head += "\r\n";
    }
    if (basicUser && *basicUser)
        head += std::string("Authorization: Basic ") + basicB64 + "\r\n";
    if (proxyUser && *proxyUser)
        head += std::string("Proxy-Authorization: Basic ") + proxyB64 + "\r\n";
    bool ownType = false;
    for (int i = 0; i < headerCount; ++i) {
        head += std::string(headerNames[i]) + ": " + headerValues[i] + "\r\n";
        if (std::strcmp(headerNames[i], "Content-Type") == 0)
            ownType = true;
    }
    if (files)
        head += std::string("Content-Type: multipart/form-data; boundary=") + (boundary + 2) + "\r\n";
    else if (body && *body && !ownType)
        head += "Content-Type: application/x-www-form-urlencoded\r\n";
    if (host && *host) {
        char line[HTTP_HOST_SIZE + 32];
        if (port == 80 || (port == 443 && writer != sockWrite))
            std::snprintf(line, sizeof line, "Host: %s\r\n", host);
        else
            std::snprintf(line, sizeof line, "Host: %s:%d\r\n", host, port);
        head += line;
    }
    head += "\r\n";

    Gather out(fd, writer);
    if (!out.ok()) {
        comCgiFreeRequest(count, names, values, nullptr, nullptr);
        return HTTP_ERR_NOMEM;
    }
    sockBoundProgress();
    r = out.put(head);
    if (r == 0) {
        if (files && fd < 0) {
            comDebugLog("httpWriteMultipart %d,%d,%d\n", fd, 1, 1);
            out.flush();
            r = HTTP_ERR_ARG;
        } else if (files) {
            r = writeMultipart(out, names, values, count, files, boundary);
        } else if (body && *body) {
            r = out.put(body, std::strlen(body));
        }
    }
    if (r == 0)
        r = out.flush();
    comCgiFreeRequest(count, names, values, nullptr, nullptr);
    return r;
}

int httpReadReply(HttpInput& in, char** body, int* length, int crFlag, char*** names,
                  char*** values, int* count, int noStatusCode)
{
    if (length)
        *length = 0;
    if ((body == nullptr) != (length == nullptr)) {
        comDebugLog("httpReadHead recvdata %d,%d\n", body ? 1 : 0, length ? 1 : 0);
        return HTTP_ERR_ARG;
    }
    int given = (names ? 1 : 0) + (values ? 1 : 0) + (count ? 1 : 0);
    if (given != 0 && given != 3) {
        comDebugLog("httpReadHead heder %d,%d,%d\n", names ? 1 : 0, values ? 1 : 0, count ? 1 : 0);
        return HTTP_ERR_ARG;
    }
    if (body)
        *body = nullptr;
    if (count) {
        *names = nullptr;
        *values = nullptr;
        *count = 0;
    }
    // The head arrives whole within the time-out; the body keeps moving.
    sockBoundTotal();
    int status = -1;
    long long declared = 0;
    bool haveLength = false;
    bool framed = false;  // a transfer coding this HTTP/1.0 reader does not undo
    bool statusLine = false;
    int headBytes = 0;
    char line[HTTP_LINE_SIZE];
    for (;;) {
        int r = in.readLine(line, sizeof line);
        if (r < 0)
            return r;
        if (r == 0) {
            comDebugLog("httpReadHead head ended early\n");
            return HTTP_ERR_IO;
        }
        if (line[r - 1] != '\n' || (headBytes += r) > HTTP_HEAD_MAX) {
            comDebugLog("httpReadHead head line or head too long\n");
            return HTTP_ERR_IO;
        }
        if (crFlag && r > 1 && line[r - 2] == '\r') {
            line[r - 2] = '\n';
            line[r - 1] = '\0';
        }
        if (line[0] == '\r' || line[0] == '\n' || (line[0] && line[1] == '\n'))
            break;
        bool taken = true;  // the status line and the length stay out of the list
        if (!statusLine && std::strncmp(line, "HTTP", 4) == 0) {
            statusLine = true;
            int major = 0, minor = 0, st = -1;
            // Outside 100..599 there is no status.
            if (std::sscanf(line, "HTTP/%d.%d %d", &major, &minor, &st) == 3 && st >= 100 && st <= 599)
                status = st;
        } else if (!haveLength && comStrNCaseCmp(line, "Content-Length", 14) == 0) {
            declared = parseLength(line);
            if (declared < 0) {
                comDebugLog("httpReadHead bad Content-Length\n");
                return declared == -2 ? HTTP_ERR_NOMEM : HTTP_ERR_IO;
            }
            haveLength = true;
        } else if (comStrNCaseCmp(line, "Transfer-Encoding:", 18) == 0 && !framed) {
            // Only "identity" itself leaves the body as it stands.
            const char* v = line + 18;
            while (*v == ' ' || *v == '\t')
                ++v;
            size_t n = std::strlen(v);
            while (n > 0 && (v[n - 1] == ' ' || v[n - 1] == '\t' || v[n - 1] == '\r' ||
                             v[n - 1] == '\n'))
                --n;
            framed = n != 8 || comStrNCaseCmp(v, "identity", 8) != 0;
            taken = false;
        } else {
            taken = false;
        }
        if (!taken && count) {
            int a = addHeader(line, names, values, count);
            if (a != 0)
                return a;
        }
    }
    if (status < 0)
        return noStatusCode;
    int result = status == 200 ? 0 : status;
    if (status > 403 || !body)
        return result;
    if (framed) {
        comDebugLog("httpReadHead transfer coding refused\n");
        return HTTP_ERR_IO;
    }
    sockBoundProgress();
    int r = readBody(in, haveLength ? declared : -1, body, length);
    return r != 0 ? r : result;
}

int httpReadHead(int fd, char** body, int* length, int crFlag, char*** names, char*** values,
                 int* count)
{
    SocketInput in(fd);
    return httpReadReply(in, body, length, crFlag, names, values, count, HTTP_ERR_IO);
}

int httpOpen(const char* url, const char* proxyHost, int proxyPort, char* outHost, int* outPort,
             char* outProxyHost, int* outProxyPort)
{
    if (proxyHost && std::strlen(proxyHost) > 255) {
        comDebugLog("httpOpen proxy size %d,%d\n", static_cast<int>(std::strlen(proxyHost)), 255);
        return HTTP_ERR_ARG;
    }
    if (!url || !*url) {
        comDebugLog("httpOpen url 0\n");
        return HTTP_ERR_ARG;
    }
    std::string host;
    int port = 0;
    const char* s = std::strstr(url, "//");
    if (s) {
        s += 2;
        const char* e = std::strchr(s, '/');
        host.assign(s, e ? static_cast<size_t>(e - s) : std::strlen(s));
        size_t colon = host.rfind(':');
        if (colon != std::string::npos) {
            port = std::atoi(host.c_str() + colon + 1);
            host.erase(colon);
        }
    } else {
        const char* sn = std::getenv("SERVER_NAME");
        host = sn ? sn : "";
        const char* rp = std::getenv("REMOTE_PORT");
        port = rp ? std::atoi(rp) : 0;
    }
    if (host.size() > 255) {
        comDebugLog("httpOpen host size %d,%d\n", static_cast<int>(host.size()), 255);
        return HTTP_ERR_ARG;
    }
    if (port == 0)
        port = 80;
    bool viaProxy = proxyHost && *proxyHost;
    int fd = viaProxy ? sockConnect(proxyHost, proxyPort) : sockConnect(host.c_str(), port);
    if (fd < 0)
        return HTTP_ERR_IO;
    if (outHost)
        std::snprintf(outHost, HTTP_HOST_SIZE, "%s", host.c_str());
    if (outPort)
        *outPort = port;
    if (outProxyHost)
        std::snprintf(outProxyHost, HTTP_HOST_SIZE, "%s", viaProxy ? proxyHost : "");
    if (outProxyPort)
        *outProxyPort = viaProxy ? proxyPort : 0;
    return fd;
}

int httpRelayResponse(int fd)
{
    int status = -1;
    int headBytes = 0;
    std::string type;
    char line[HTTP_LINE_SIZE];
    for (;;) {
        int r = sockReadLine(fd, line, sizeof line);
        if (r < 0)
            return r;
        if (r == 0) {
            comDebugLog("httpRelayResponse head ended early\n");
            return HTTP_ERR_IO;
        }
        if (line[r - 1] != '\n' || (headBytes += r) > HTTP_HEAD_MAX) {
            comDebugLog("httpRelayResponse head line or head too long\n");
            return HTTP_ERR_IO;
        }
        if (line[0] == '\r' || line[0] == '\n' || line[1] == '\n')
            break;
        if (status < 0 && std::strncmp(line, "HTTP", 4) == 0) {
            int major = 0, minor = 0, st = -1;
            if (std::sscanf(line, "HTTP/%d.%d %d", &major, &minor, &st) == 3 && st >= 0 && st < 1000)
                status = st;
        } else if (comStrNCaseCmp(line, "Content-Type", 12) == 0) {
            // A cut type line would corrupt the relayed header.
            if (r > 1023) {
                comDebugLog("httpRelayResponse Content-Type size %d,%d\n", r, 1023);
                return HTTP_ERR_IO;
            }
            type.assign(line, static_cast<size_t>(r));
        }
    }
    if (status < 0)
        return HTTP_ERR_IO;
    if (status != 200)
        return status;
    if (type.empty()) {
        comCgiContentTypeHtml(nullptr);
    } else {
        // The type line also ends the header block.
        type.erase(type.find_last_not_of("\r\n") + 1);
        type += "\n\n";
        if (comCgiWrite(type.data(), type.size()) != 0)
            return HTTP_ERR_IO;
    }
    for (;;) {
        int r = sockReadLine(fd, line, sizeof line);
        if (r < 0)
            return r;
        if (r == 0)
            break;
        int n = r;
        if (n >= 2 && line[n - 2] == '\r' && line[n - 1] == '\n') {
            line[n - 2] = '\n';
            --n;
        } else if (line[n - 1] == '\r') {
            --n;
        }
        if (n > 0 && comCgiWrite(line, static_cast<size_t>(n)) != 0)
            return HTTP_ERR_IO;
    }
    return comCgiFlush() == 0 ? 0 : HTTP_ERR_IO;
}
