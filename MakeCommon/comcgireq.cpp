// CGI request reading: GET and POST parameters, value trimming, cookies
// and the script's location. Multipart bodies: comcgiupload.cpp.
#include "comcgireq.h"

#include "comcgi.h"
#include "comstr.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

namespace {

bool isRunByte(char c)
{
    return c == ' ' || c == '\r' || c == '\n';
}

bool inList(const char* name, const char* const* list)
{
    if (!list)
        return false;
    for (; *list; ++list) {
        if (strcmp(name, *list) == 0)
            return true;
    }
    return false;
}

char* dupN(const char* text, size_t n)
{
    char* s = static_cast<char*>(malloc(n + 1));
    if (s) {
        memcpy(s, text, n);
        s[n] = '\0';
    }
    return s;
}

// Splits a form text into fields (see comCgiGetRequest). Count or -1.
int splitRequest(const char* text, char*** namesOut, char*** valuesOut,
                 const char* const* noTrim)
{
    size_t len = strlen(text);
    int count = 1;
    for (size_t i = 0; i + 1 < len; ++i) {
        if (text[i] == '&')
            ++count;
    }
    char** names = static_cast<char**>(calloc(static_cast<size_t>(count), sizeof(char*)));
    char** values = static_cast<char**>(calloc(static_cast<size_t>(count), sizeof(char*)));
    if (!names || !values) {
        free(names);
        free(values);
        return -1;
    }
    const char* p = text;
    for (int i = 0; i < count; ++i) {
        const char* amp = strchr(p, '&');
        size_t fieldLen = amp ? static_cast<size_t>(amp - p) : strlen(p);
        const char* eq = static_cast<const char*>(memchr(p, '=', fieldLen));
        size_t nameLen = eq ? static_cast<size_t>(eq - p) : fieldLen;
        names[i] = dupN(p, nameLen);
        values[i] = eq ? dupN(eq + 1, fieldLen - nameLen - 1) : dupN("", 0);
        if (!names[i] || !values[i]) {
            comCgiFreeRequest(i + 1, names, values, nullptr, nullptr);
            return -1;
        }
        comCgiUrlDecode(values[i]);
        comCgiUrlDecode(names[i]);
        if (!inList(names[i], noTrim))
            comCgiTrimValue(values[i], 0, 1, 1);
        p = amp ? amp + 1 : p + fieldLen;
    }
    *namesOut = names;
    *valuesOut = values;
    return count;
}

// Reads the POST body of CONTENT_LENGTH bytes into *body.
int readBody(char** body)
{
    const char* cl = getenv("CONTENT_LENGTH");
    if (!cl)
        return -3;
    char* endp = nullptr;
    errno = 0;
    long long length = strtoll(cl, &endp, 10);
    // Only a plain positive number of bytes is a body length.
    if (endp == cl || errno == ERANGE || length <= 0)
        return -3;
    while (*endp == ' ' || *endp == '\t')
        ++endp;
    if (*endp)
        return -3;
    if (length >= INT_MAX)
        return -1;
    size_t n = static_cast<size_t>(length);
    char* buf = static_cast<char*>(malloc(n + 1));
    if (!buf)
        return -1;
    if (n <= 2048) {
        if (fread(buf, n, 1, stdin) != 1) {
            free(buf);
            return -5;
        }
    } else {
        size_t got = 0;
        while (got < n) {
            ssize_t r = read(0, buf + got, n - got);
            if (r < 0 && errno == EINTR)
                continue;
            if (r < 0) {
                free(buf);
                return -4;
            }
            if (r == 0) {
                free(buf);
                return -2;
            }
            got += static_cast<size_t>(r);
        }
    }
    buf[n] = '\0';
    *body = buf;
    return 0;
}

}  // namespace

int comCgiTrimValue(char* text, int sjis, int emptyIfBlank, int trimBlanks)
{
    if (!text)
        return -99;
    size_t len = strlen(text);
    size_t run = len;
    while (run > 0 && isRunByte(text[run - 1]))
        --run;
    if (run == 0) {
        text[0] = '\0';
        return 0;
    }
    // Walking back over the run, each CR or LF (and blank, when asked)
    // ends the text there.
    for (size_t k = len; k > run; --k) {
        char c = text[k - 1];
        if (c == '\r' || c == '\n' || (c == ' ' && trimBlanks))
            text[k - 1] = '\0';
    }
    if (emptyIfBlank == 1) {
        const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
        while (*p) {
            if (isRunByte(static_cast<char>(*p))) {
                ++p;
            } else if (sjis && p[0] == 0x81 && p[1] == 0x40) {
                p += 2;
            } else if (!sjis && p[0] == 0xE3 && p[1] == 0x80 && p[2] == 0x80) {
                p += 3;
            } else {
                return 0;
            }
        }
        text[0] = '\0';
    }
    return 0;
}

int comCgiGetRequest(char*** names, char*** values, char*** fileNames, char*** types,
                     const char* uploadDir, const char* const* noTrim,
                     ComCgiProgress progress, double sizeLimit)
{
    if (!names || !values)
        return -1;
    *names = nullptr;
    *values = nullptr;
    if (fileNames)
        *fileNames = nullptr;
    if (types)
        *types = nullptr;
    const char* method = getenv("REQUEST_METHOD");
    if (!method)
        return 0;
    char* text = nullptr;
    if (strcmp(method, "POST") == 0) {
        const char* ct = getenv("CONTENT_TYPE");
        if (ct && comStrNCaseCmp(ct, "multipart/form-data;", 20) == 0) {
            int rc = comCgiGetMultipart(names, values, fileNames, types, uploadDir, progress,
                                        sizeLimit, noTrim);
            if (rc >= 0 || rc == -11 || rc == -12 || rc == -13)
                return rc;
            return -10;
        }
        int rc = readBody(&text);
        if (rc != 0)
            return rc;
    } else if (strcmp(method, "GET") == 0) {
        const char* qs = getenv("QUERY_STRING");
        if (!qs || !*qs)
            return 0;
        text = dupN(qs, strlen(qs));
        if (!text)
            return -1;
    } else {
        return 0;
    }
    int count = splitRequest(text, names, values, noTrim);
    free(text);
    return count;
}

int comCgiGetCookies(char*** values, int* count, const char* name)
{
    if (count)
        *count = 0;
    if (!values || !name)
        return 0;
    *values = nullptr;
    const char* header = getenv("HTTP_COOKIE");
    if (!header)
        return 0;
    std::string key = std::string(" ") + name;
    std::string text = std::string(" ") + header + ";";
    if (text.find(key) == std::string::npos)
        return 0;

    // Pieces are the texts before each ';'; a piece matches when its name
    // part (before the first '=') is the key.
    int matches = 0;
    size_t pos = 0;
    for (;;) {
        size_t semi = text.find(';', pos);
        if (semi == std::string::npos)
            break;
        std::string piece = text.substr(pos, semi - pos);
        if (piece.substr(0, piece.find('=')) == key)
            ++matches;
        pos = semi + 1;
    }
    if (matches == 0)
        return 0;
    char** out = static_cast<char**>(calloc(static_cast<size_t>(matches), sizeof(char*)));
    if (!out)
        return -1;
    int n = 0;
    pos = 0;
    while (n < matches) {
        size_t semi = text.find(';', pos);
        if (semi == std::string::npos)
            break;
        std::string piece = text.substr(pos, semi - pos);
        size_t eq = piece.find('=');
        if (piece.substr(0, eq) == key) {
            std::string value = eq == std::string::npos ? std::string() : piece.substr(eq + 1);
            out[n] = dupN(value.c_str(), value.size());
            if (!out[n]) {
                for (int i = 0; i < n; ++i)
                    free(out[i]);
                free(out);
                return -1;
            }
            comCgiUrlDecode(out[n]);
            ++n;
        }
        pos = semi + 1;
    }
    *values = out;
    if (count)
        *count = n;
    return n;
}

int comCgiScriptDir(int argc, char** argv, char* dir, int dirSize, char* baseName,
                    int baseSize)
{
    if (!dir || dirSize < 2)
        return 0;
    const char* sf = getenv("SCRIPT_FILENAME");
    if (sf) {
        comPathDir(sf, dir, dirSize - 1, 0);
        if (baseName && baseSize > 0)
            comPathBase(sf, baseName, baseSize, 0);
        return 0;
    }
    if (argc < 1 || !argv || !argv[0]) {
        strcpy(dir, ".");
        if (baseName && baseSize > 0)
            baseName[0] = '\0';
        return 0;
    }
    comPathDir(argv[0], dir, dirSize - 1, 0);
    if (!dir[0])
        strcpy(dir, ".");
    if (baseName && baseSize > 0)
        comPathBase(argv[0], baseName, baseSize, 0);
    return 0;
}

char* comCgiScriptName(char* out, size_t outSize)
{
    if (!out || outSize == 0)
        return out;
    const char* sn = getenv("SCRIPT_NAME");
    if (!sn)
        sn = "";
    size_t n = strnlen(sn, outSize - 1);
    memcpy(out, sn, n);
    out[n] = '\0';
    return out;
}

void comCgiScriptSubDir(const char* path, char* out)
{
    if (!out)
        return;
    out[0] = '\0';
    if (!path || !*path)
        return;
    std::string p(path, strnlen(path, 8191));
    for (size_t i = 1; i < p.size(); ++i) {
        if (p[i] != '/')
            continue;
        std::string tail = p.substr(i + 1);
        if (tail.empty() || access(tail.c_str(), X_OK) != 0)
            continue;
        size_t last = tail.rfind('/');
        if (last == std::string::npos)
            return;
        memcpy(out, tail.c_str(), last + 1);
        out[last + 1] = '\0';
        return;
    }
}
