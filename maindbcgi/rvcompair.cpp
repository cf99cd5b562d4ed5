// Pair files, pair lookups, splitting, joining, replacing and realpath.
#include "rvcompair.h"

#include "comtrace.h"
#include "nufileio.h"
#include "nuioobj.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <strings.h>

namespace {

bool keyEquals(const char* a, const char* b, bool caseless)
{
    return caseless ? strcasecmp(a, b) == 0 : std::strcmp(a, b) == 0;
}

// A key that NUFileIO would read back differently (or not at all).
bool isWritableKey(const char* key)
{
    if (!key || !key[0])
        return false;
    size_t len = std::strlen(key);
    if (key[0] == ' ' || key[len - 1] == ' ' || key[0] == '#')
        return false;
    for (size_t i = 0; i < len; ++i) {
        char c = key[i];
        if (c == '=' || c == '\t' || c == '\r' || c == '\n')
            return false;
        if (c == '#' && key[i - 1] == ' ')
            return false;
    }
    return true;
}

// Pieces of text between separators; empty inner pieces kept, nothing after
// a trailing separator.
template <class F>
void splitPieces(const std::string& text, char separator, F take)
{
    size_t start = 0;
    for (;;) {
        size_t sep = text.find(separator, start);
        if (sep == std::string::npos) {
            take(text.substr(start));
            return;
        }
        take(text.substr(start, sep - start));
        start = sep + 1;
        if (start >= text.size())
            return;
    }
}

NString toNString(const std::string& s)
{
    return NString(s.c_str(), static_cast<int>(s.size()));
}

// Length of the UTF-8 character whose lead byte is c.
size_t utf8LeadLength(unsigned char c)
{
    if (c >= 0xC2 && c <= 0xDF)
        return 2;
    if (c >= 0xE0 && c <= 0xEF)
        return 3;
    if (c >= 0xF0 && c <= 0xF4)
        return 4;
    if (c >= 0xF8 && c <= 0xFB)
        return 5;
    if (c >= 0xFC && c <= 0xFD)
        return 6;
    return 1;
}

} // namespace

int rvcomReadFileToPairArray(RvPairList& out, const char* path, int retryCount)
{
    NUioObjList obj;
    NUFileIO io;
    io.setRetryCount(retryCount < 1 ? 1 : retryCount);
    io.setRetryWaitSeconds(1);
    io.setNoLock(true);
    int iret = path ? obj.setPath(path) : NUFIO_PATH;
    if (iret == 0)
        iret = io.read(obj);
    if (iret != 0) {
        int err = errno;
        COMTRACE("iret[%d] errno[%d] fpath[%s]", iret, err, path ? path : "null");
        return iret == NUFIO_NOT_FOUND ? RVCOM_ERR_NO_FILE : RVCOM_ERR_READ_PAIR;
    }
    const int n = obj.count();
    for (int i = 0; i < n; ++i) {
        char* name = nullptr;
        char* value = nullptr;
        char section[NUIO_SECTION_SIZE];
        section[0] = '\0';
        iret = obj.getEntry(i, &name, &value, section);
        if (iret != 0) {
            COMTRACE("iret[%d]", iret);
            return RVCOM_ERR_READ_PAIR;
        }
        out.emplace_back(NString(static_cast<const char*>(name)),
                         NString(static_cast<const char*>(value ? value : "")));
    }
    return 0;
}

int rvcomWriteFileFromPairArray(const RvPairList& pairs, const char* path, int retryCount)
{
    NUioObjList obj;
    int iret = path ? obj.setPath(path) : NUFIO_PATH;
    if (iret != 0) {
        COMTRACE("iret[%d] fpath[%s]", iret, path ? path : "null");
        return RVCOM_ERR_WRITE_PAIR;
    }
    for (const RvPair& p : pairs) {
        const char* key = p.first.c_str();
        iret = isWritableKey(key) ? obj.addEntry(key, p.second.c_str()) : -1;
        if (iret != 0) {
            COMTRACE("iret[%d] key[%s] val[%s]", iret, key, p.second.c_str());
            return RVCOM_ERR_WRITE_PAIR;
        }
    }
    NUFileIO io;
    io.setRetryCount(retryCount < 1 ? 1 : retryCount);
    io.setRetryWaitSeconds(1);
    iret = io.write(obj);
    if (iret != 0) {
        COMTRACE("iret[%d] fpath[%s]", iret, path);
        return RVCOM_ERR_WRITE_PAIR;
    }
    return 0;
}

void rvcomGetPairValue(NString& out, const RvPairList& pairs, const char* key, bool caseless)
{
    int i = rvcomFindPairKeyIndex(pairs, key, caseless);
    out = i < 0 ? NString() : pairs[static_cast<size_t>(i)].second;
}

int rvcomFindPairKeyIndex(const RvPairList& pairs, const char* key, bool caseless)
{
    if (!key || !key[0])
        return -1;
    for (size_t i = 0; i < pairs.size(); ++i) {
        if (keyEquals(pairs[i].first.c_str(), key, caseless))
            return static_cast<int>(i);
    }
    return -1;
}

int rvcomFindValueIndex(const RvStringList& list, const NString& value, int start, bool caseless)
{
    if (start < 0)
        start = 0;
    for (size_t i = static_cast<size_t>(start); i < list.size(); ++i) {
        if (list[i].isNullOrEmpty())
            continue;
        if (keyEquals(list[i].c_str(), value.c_str(), caseless))
            return static_cast<int>(i);
    }
    return -1;
}

int rvcomSplitComma(const char* text, RvStringList& out)
{
    if (!text || !text[0])
        return 0;
    try {
        splitPieces(text, ',', [&out](const std::string& piece) {
            out.push_back(toNString(piece));
        });
    } catch (const std::bad_alloc&) {
        COMTRACE("ret[%d]", RVCOM_ERR_NO_MEMORY);
        return RVCOM_ERR_NO_MEMORY;
    }
    return 0;
}

int rvcomSplitToPairArray(const char* text, RvPairList& out, char separator)
{
    if (!text || !text[0])
        return 0;
    try {
        splitPieces(text, separator, [&out](const std::string& piece) {
            size_t eq = piece.find('=');
            if (eq == std::string::npos)
                out.emplace_back(toNString(piece), NString(""));
            else
                out.emplace_back(toNString(piece.substr(0, eq)), toNString(piece.substr(eq + 1)));
        });
    } catch (const std::bad_alloc&) {
        COMTRACE("ret[%d]", RVCOM_ERR_NO_MEMORY);
        return RVCOM_ERR_NO_MEMORY;
    }
    return 0;
}

int rvcomConvArrayToText(const RvStringList& list, NString& out, char separator)
{
    std::string text;
    for (size_t i = 0; i < list.size(); ++i) {
        if (std::strchr(list[i].c_str(), separator) && separator != '\0') {
            COMTRACE("ret[%d] value[%s]", RVCOM_ERR_ARG, list[i].c_str());
            return RVCOM_ERR_ARG;
        }
        if (i > 0)
            text += separator;
        text += list[i].c_str();
    }
    out = toNString(text);
    return 0;
}

void rvcomConvTextToArray(const NString& text, RvStringList& out, char separator)
{
    const char* p = text.c_str();
    while (*p) {
        while (*p == separator)
            ++p;
        if (!*p)
            break;
        const char* end = std::strchr(p, separator);
        if (!end)
            end = p + std::strlen(p);
        const char* b = p;
        const char* e = end;
        while (b < e && *b == ' ')
            ++b;
        while (e > b && e[-1] == ' ')
            --e;
        if (e > b)
            out.push_back(NString(b, static_cast<int>(e - b)));
        p = end;
    }
}

int rvcomUtilStrReplace(const char* src, NString& out, const char* from, const char* to)
{
    if (!src || !src[0])
        return 0;
    if (!from || !to || !from[0]) {
        COMTRACE("ret[%d] from[%s] to[%s]", -1, from ? from : "null", to ? to : "null");
        return -1;
    }
    try {
        const size_t srcLen = std::strlen(src);
        if (std::strstr(src, from) == nullptr) {
            out = NString::fromBytes(src, srcLen);  // nothing to replace
            return 0;
        }
        const size_t fromLen = std::strlen(from);
        std::string result;
        result.reserve(srcLen);
        // Matches are looked for at character starts only; the characters
        // between them are appended as one run.
        size_t pos = 0, run = 0;
        while (pos < srcLen) {
            if (src[pos] == from[0] && std::strncmp(src + pos, from, fromLen) == 0) {
                result.append(src + run, pos - run);
                result += to;
                pos += fromLen;
                run = pos;
                continue;
            }
            size_t step = utf8LeadLength(static_cast<unsigned char>(src[pos]));
            if (step > srcLen - pos)
                step = srcLen - pos;  // a cut-short sequence ends the text
            pos += step;
        }
        result.append(src + run, srcLen - run);
        out = toNString(result);
    } catch (const std::bad_alloc&) {
        COMTRACE("ret[%d]", -2);
        return -2;
    }
    return 0;
}

int rvcomRealPath(const char* path, char* resolved)
{
    if (!resolved)
        return 0;
    char buf[PATH_MAX > RVCOM_PATH_BUF_SIZE ? PATH_MAX : RVCOM_PATH_BUF_SIZE];
    if (!path || !realpath(path, buf) || std::strlen(buf) >= RVCOM_PATH_BUF_SIZE) {
        resolved[0] = '\0';
        return 0;
    }
    std::strcpy(resolved, buf);
    return 0;
}

int rvcomProgramPath(const char* argv0, char* resolved)
{
    if (argv0 != nullptr && *argv0 != '\0' && std::strchr(argv0, '/') == nullptr)
        return rvcomRealPath("/proc/self/exe", resolved);
    return rvcomRealPath(argv0, resolved);
}
