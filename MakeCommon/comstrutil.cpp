// String utilities: trimming, number checks and formatting, UTF-8 aware
// cutting and searching, path parts, CSV fields, UTF-8 validation.
#include "comstr.h"
#include "comcgi.h"
#include "comcgireq.h"
#include "comjconv.h"

#include <cctype>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

namespace {

inline unsigned char uc(char c) { return static_cast<unsigned char>(c); }
inline bool isCont(char c) { return (uc(c) & 0xC0) == 0x80; }

// Bytes of the sequence at p that are present before the NUL (at most n).
int presentBytes(const char* p, int n)
{
    int i = 0;
    while (i < n && p[i])
        ++i;
    return i;
}

// Step over one character for the searches: whole sequences for E0-FD
// leads, 2 for other high bytes; never past the NUL.
int searchStep(const char* p)
{
    unsigned char c = uc(*p);
    int n;
    if (c < 0x80) n = 1;
    else if (c >= 0xE0 && c <= 0xEF) n = 3;
    else if (c >= 0xF0 && c <= 0xF4) n = 4;
    else if (c >= 0xF8 && c <= 0xFB) n = 5;
    else if (c >= 0xFC && c <= 0xFD) n = 6;
    else n = 2;
    int have = presentBytes(p, n);
    return have > 0 ? have : 1;
}

// Display width and byte length of the character at p. An invalid or cut
// sequence counts one column and one byte.
void charWidth(const char* p, int* cols, int* bytes)
{
    int n = comUtf8SeqLen(*p);
    if (n == 1) {
        *cols = 1;
        *bytes = 1;
        return;
    }
    bool ok = n > 1;
    for (int i = 1; ok && i < n; ++i)
        ok = isCont(p[i]);
    if (!ok) {
        *cols = 1;
        *bytes = 1;
        return;
    }
    *cols = (n == 3 && comIsHalfwidthKana(p)) ? 1 : 2;
    *bytes = n;
}

// Where a text longer than maxBytes is cut: maxBytes, or the start of the
// sequence that the byte at maxBytes continues.
size_t utf8CutPoint(const char* text, size_t maxBytes)
{
    size_t cut = maxBytes;
    if (isCont(text[cut])) {
        size_t q = cut;
        while (q > 0 && isCont(text[q]) && cut - q < 6)
            --q;
        if (!isCont(text[q])) {
            int n = comUtf8SeqLen(text[q]);
            if (n > 0 && static_cast<size_t>(n) > cut - q)
                cut = q;
        }
    }
    return cut;
}

void setOut(char* out, const char* src, size_t n)
{
    memcpy(out, src, n);
    out[n] = '\0';
}

} // namespace

void comRTrim(char* text)
{
    if (!text)
        return;
    size_t n = strlen(text);
    while (n > 0 && (text[n - 1] == ' ' || text[n - 1] == '\t' || text[n - 1] == '\r' ||
                     text[n - 1] == '\n'))
        --n;
    text[n] = '\0';
}

void comLTrim(char* text)
{
    if (!text)
        return;
    size_t i = 0;
    while (text[i] == ' ' || text[i] == '\r' || text[i] == '\n')
        ++i;
    if (i)
        memmove(text, text + i, strlen(text + i) + 1);
}

int comIsDecimal(const char* text)
{
    if (!text)
        return 0;
    if (comIsInteger(text))
        return 1;
    const char* dot = strrchr(text, '.');
    if (!dot || dot[1] == '-')
        return 0;
    size_t intLen = static_cast<size_t>(dot - text);
    if (intLen > 0) {
        if (intLen >= 512)
            return 0;
        std::string intPart(text, intLen);
        if (!comIsInteger(intPart.c_str()))
            return 0;
    }
    return comIsInteger(dot + 1) ? 1 : 0;
}

int comIsLowerAlnum(char* text)
{
    if (!text)
        return 0;
    comRTrim(text);
    size_t n = strlen(text);
    if (n == 0)
        return 0;
    for (size_t i = 0; i < n; ++i) {
        unsigned char c = uc(text[i]);
        if (isdigit(c) || (c >= 'a' && c <= 'z'))
            continue;
        if (c == '-' && i == 0 && n >= 2)
            continue;
        return 0;
    }
    return 1;
}

int comCheckNumberCommas(const char* text, int maxDigits)
{
    if (!text)
        return -1;
    const char* p = text;
    if (*p == '+' || *p == '-')
        ++p;
    const char* comma = strchr(p, ',');
    int digits = 0;
    if (!comma) {
        for (; *p; ++p, ++digits)
            if (!isdigit(uc(*p)))
                return -1;
        if (digits == 0)
            return -1;
    } else {
        // First group 1-3 digits, then ",ddd" groups to the end.
        int group = 0;
        for (; isdigit(uc(*p)); ++p)
            ++group;
        if (group < 1 || group > 3)
            return -1;
        digits = group;
        while (*p) {
            if (*p != ',')
                return -1;
            ++p;
            for (group = 0; isdigit(uc(*p)); ++p)
                ++group;
            if (group != 3)
                return -1;
            digits += 3;
        }
    }
    return digits > maxDigits ? -2 : 0;
}

int comUtf8Cut(char* text, int maxChars, int flag)
{
    if (!text)
        return 0;
    if (maxChars <= 0) {
        int cut = text[0] ? 1 : 0;
        text[0] = '\0';
        return cut;
    }
    int chars = 0;
    char* p = text;
    while (*p) {
        int n = comUtf8SeqLen(*p);
        int step = 1;
        if (n > 1 && presentBytes(p, n) == n)
            step = n;
        int weight = (step >= 4 && flag != 1) ? 2 : 1;
        if (chars + weight > maxChars) {
            *p = '\0';
            return 1;
        }
        chars += weight;
        p += step;
    }
    return 0;
}

int comUtf8CutWidth(char* text, int maxCols)
{
    if (!text)
        return 0;
    if (maxCols <= 0) {
        int cut = text[0] ? 1 : 0;
        text[0] = '\0';
        return cut;
    }
    int pos = 0;
    comUtf8WidthCut(text, maxCols, &pos);
    if (pos > 0) {
        text[pos] = '\0';
        return 1;
    }
    return 0;
}

int comUtf8CutBytes(char* text, int maxBytes, int /*shorterAllowed*/)
{
    // A text not longer than the maximum is kept whatever the flag: the
    // bytes past its NUL are never examined.
    if (!text)
        return 0;
    if (maxBytes <= 0) {
        text[0] = '\0';
        return 0;
    }
    size_t len = strnlen(text, static_cast<size_t>(maxBytes) + 1);
    if (len <= static_cast<size_t>(maxBytes))
        return static_cast<int>(len);
    size_t cut = utf8CutPoint(text, static_cast<size_t>(maxBytes));
    text[cut] = '\0';
    return static_cast<int>(cut);
}

void comSubstr(const char* text, int start, int length, char* out, int sjis)
{
    if (!out)
        return;
    out[0] = '\0';
    if (!text || length <= 0)
        return;
    if (start < 0)
        start = 0;
    size_t len = strlen(text);
    if (static_cast<size_t>(start) >= len)
        return;
    if (sjis == 1) {
        auto isLead = [](unsigned char c) { return (c >= 0x81 && c <= 0xA0) || c >= 0xE0; };
        size_t i = 0;
        // Find the first character boundary at or after start.
        while (i < static_cast<size_t>(start)) {
            if (isLead(uc(text[i])) && text[i + 1])
                i += 2;
            else
                i += 1;
        }
        size_t w = 0;
        while (i < len) {
            size_t n = (isLead(uc(text[i])) && text[i + 1]) ? 2 : 1;
            if (w + n > static_cast<size_t>(length))
                break;
            memcpy(out + w, text + i, n);
            w += n;
            i += n;
        }
        out[w] = '\0';
        return;
    }
    const char* src = text + start;
    size_t n = strnlen(src, static_cast<size_t>(length));
    if (n == static_cast<size_t>(length) && src[n])
        n = utf8CutPoint(src, n);
    setOut(out, src, n);
}

void comFileNameNoExt(const char* name, char* out)
{
    if (!out)
        return;
    if (!name) {
        out[0] = '\0';
        return;
    }
    const char* dot = strrchr(name, '.');
    if (!dot || dot == name)
        setOut(out, name, strlen(name));
    else
        setOut(out, name, static_cast<size_t>(dot - name));
}

void comFileNameExt(const char* name, char* out)
{
    if (!out)
        return;
    out[0] = '\0';
    if (!name)
        return;
    const char* dot = strrchr(name, '.');
    if (dot && dot != name)
        setOut(out, dot, strlen(dot));
}

int comMailDomain(const char* address, char* out)
{
    if (!out)
        return 0;
    out[0] = '\0';
    if (!address)
        return 0;
    const char* at = strchr(address, '@');
    if (at)
        setOut(out, at + 1, strlen(at + 1));
    return 0;
}

int comStrCaseCmp(const char* a, const char* b)
{
    const unsigned char* x = reinterpret_cast<const unsigned char*>(a ? a : "");
    const unsigned char* y = reinterpret_cast<const unsigned char*>(b ? b : "");
    for (;; ++x, ++y) {
        int d = tolower(*x) - tolower(*y);
        if (d != 0 || *x == 0)
            return d;
    }
}

int comStrNCaseCmp(const char* a, const char* b, size_t n)
{
    const unsigned char* x = reinterpret_cast<const unsigned char*>(a ? a : "");
    const unsigned char* y = reinterpret_cast<const unsigned char*>(b ? b : "");
    for (size_t i = 0; i < n; ++i, ++x, ++y) {
        int d = tolower(*x) - tolower(*y);
        if (d != 0 || *x == 0)
            return d;
    }
    return 0;
}

namespace {

// First place in text, stepping by whole characters, where cmp finds the
// pattern; text itself for an empty pattern.
const char* findPattern(const char* text, const char* pattern,
                        int (*cmp)(const char*, const char*, size_t))
{
    if (!text || !pattern)
        return nullptr;
    size_t pl = strlen(pattern);
    if (pl == 0)
        return text;
    for (const char* p = text; *p; p += searchStep(p)) {
        if (cmp(p, pattern, pl) == 0)
            return p;
    }
    return nullptr;
}

} // namespace

const char* comStrCaseStr(const char* text, const char* pattern)
{
    return findPattern(text, pattern, comStrNCaseCmp);
}

const char* comUtf8StrStr(const char* text, const char* pattern)
{
    return findPattern(text, pattern, strncmp);
}

void comIntWithCommas(char* out, int value)
{
    if (!out)
        return;
    char digits[16];
    // The sign is kept apart so that it never gets a separator after it.
    long long v = value;
    bool neg = v < 0;
    snprintf(digits, sizeof digits, "%lld", neg ? -v : v);
    int len = static_cast<int>(strlen(digits));
    char* w = out;
    if (neg)
        *w++ = '-';
    for (int i = 0; i < len; ++i) {
        if (i > 0 && (len - i) % 3 == 0)
            *w++ = ',';
        *w++ = digits[i];
    }
    *w = '\0';
}

void comStripCommas(const char* text, char* out, int decimals)
{
    if (!out)
        return;
    out[0] = '\0';
    if (!text)
        return;
    size_t len = strlen(text);
    if (decimals > 0) {
        const char* dot = strchr(text, '.');
        if (dot) {
            size_t keep = static_cast<size_t>(dot - text) + 1 + static_cast<size_t>(decimals);
            if (keep < len)
                len = keep;
        }
    }
    char* w = out;
    for (size_t i = 0; i < len; ++i)
        if (text[i] != ',')
            *w++ = text[i];
    *w = '\0';
}

const char* comPathLastSep(const char* path, int winStyle)
{
    if (!path)
        return nullptr;
    if (!winStyle)
        return strrchr(path, '/');
    const char* last = nullptr;
    for (const char* p = path; *p; ++p)
        if (*p == '\\' || *p == '/' || *p == ':')
            last = p;
    return last;
}

void comPathDir(const char* path, char* out, int outSize, int /*winStyle*/)
{
    if (!out || outSize <= 0)
        return;
    out[0] = '\0';
    if (!path)
        return;
    const char* sep = strrchr(path, '/');
    if (!sep || sep == path)
        return;
    size_t n = static_cast<size_t>(sep - path);
    if (n > static_cast<size_t>(outSize - 1))
        n = static_cast<size_t>(outSize - 1);
    setOut(out, path, n);
}

void comPathBase(const char* path, char* out, int outSize, int /*winStyle*/)
{
    if (!out || outSize <= 0)
        return;
    out[0] = '\0';
    if (!path)
        return;
    const char* sep = comPathLastSep(path, 1);
    const char* base = sep ? sep + 1 : path;
    size_t n = strlen(base);
    if (n > static_cast<size_t>(outSize - 1))
        n = static_cast<size_t>(outSize - 1);
    setOut(out, base, n);
}

void comStrRemoveCr(char* text)
{
    if (!text)
        return;
    char* w = text;
    for (const char* r = text; *r; ++r)
        if (*r != '\r')
            *w++ = *r;
    *w = '\0';
}

int comStrHasNoChar(const char* text, char ch)
{
    if (!text)
        return 1;
    for (; *text; ++text)
        if (*text == ch)
            return 0;
    return 1;
}

void comStrNewlinesToBlanks(char* text)
{
    if (!text)
        return;
    char* w = text;
    for (const char* r = text; *r; ++r) {
        if (*r == '\r' && r[1] == '\n') {
            *w++ = ' ';
            ++r;
        } else if (*r == '\r' || *r == '\n') {
            *w++ = ' ';
        } else {
            *w++ = *r;
        }
    }
    *w = '\0';
}

void comStrCrLfToLf(int length, char* text)
{
    if (!text)
        return;
    int limit = length;
    for (int i = 0; i < limit && text[i]; ++i) {
        if (text[i] != '\r')
            continue;
        if (text[i + 1] == '\n') {
            memmove(text + i, text + i + 1, strlen(text + i + 1) + 1);
            --limit;
        } else {
            text[i] = '\n';
        }
    }
}

char* comStrReplaceAll(const char* text, const char* pattern, const char* replacement)
{
    if (!text || !pattern || !replacement)
        return nullptr;
    size_t pl = strlen(pattern);
    if (pl == 0)
        return strdup(text);
    size_t rl = strlen(replacement);
    size_t matches = 0;
    for (const char* p = strstr(text, pattern); p; p = strstr(p + pl, pattern))
        ++matches;
    size_t len = strlen(text);
    char* out = static_cast<char*>(malloc(len - matches * pl + matches * rl + 1));
    if (!out)
        return nullptr;
    char* w = out;
    const char* r = text;
    for (const char* p = strstr(r, pattern); p; p = strstr(r, pattern)) {
        memcpy(w, r, static_cast<size_t>(p - r));
        w += p - r;
        memcpy(w, replacement, rl);
        w += rl;
        r = p + pl;
    }
    strcpy(w, r);
    return out;
}

char* comStrRemoveBlanksIfDotted(const char* text)
{
    if (!text)
        return nullptr;
    // Always an owned copy, so that the caller can free every non-NULL result.
    if (strlen(text) < 9)
        return strdup(text);
    if ((!strchr(text, '.') && !strchr(text, '/')) || strchr(text, ','))
        return nullptr;
    return comStrReplaceAll(text, " ", "");
}

int comStrListFind(const char* text, int count, const char* const* list)
{
    if (!list)
        return -1;
    for (int i = 0; i < count; ++i)
        if (comStrCaseCmp(text, list[i]) == 0)
            return i;
    return -1;
}

int comStrListFindPrefix(const char* text, int count, const char* const* list)
{
    if (!list || !text)
        return -1;
    size_t n = strlen(text);
    for (int i = 0; i < count; ++i)
        if (list[i] && comStrNCaseCmp(text, list[i], n) == 0)
            return i;
    return -1;
}

int comCsvGetField(int n, int outSize, const char* line, char* out, int* truncated,
                   int sjis, int emptyIfBlank, int* closedQuote, char delimiter)
{
    if (truncated)
        *truncated = 0;
    if (closedQuote)
        *closedQuote = 1;
    if (!line || !out || outSize < 1)
        return -99;
    out[0] = '\0';
    if (!*line || n < 0)
        return 0;

    size_t pos = 0;
    size_t fieldStart = 0, fieldEnd = 0;
    for (int idx = 0;; ++idx) {
        fieldStart = pos;
        size_t k = pos;
        if (line[k] == '"') {
            ++k;
            while (line[k]) {
                if (line[k] == '"') {
                    if (line[k + 1] == '"') {
                        k += 2;
                        continue;
                    }
                    break;
                }
                ++k;
            }
            if (!line[k] && closedQuote)
                *closedQuote = 0;
        }
        while (line[k] && line[k] != delimiter)
            ++k;
        fieldEnd = k;
        if (idx == n)
            break;
        if (!line[fieldEnd])
            return 0;
        pos = fieldEnd + 1;
    }

    const size_t kMaxRaw = 12000;
    size_t rawLen = fieldEnd - fieldStart;
    std::string rawSrc(line + fieldStart, rawLen);
    if (rawLen > kMaxRaw) {
        rawLen = kMaxRaw;
        if (truncated)
            *truncated = 1;
    }
    std::vector<char> raw(rawLen + 1);
    comSubstr(rawSrc.c_str(), 0, static_cast<int>(rawLen), raw.data(), sjis);

    std::string value;
    const char* r = raw.data();
    if (*r == '"') {
        ++r;
        while (*r) {
            if (*r == '"') {
                if (r[1] == '"') {
                    value += '"';
                    r += 2;
                    continue;
                }
                ++r;  // closing quote: the text after it stays
                value += r;
                break;
            }
            value += *r++;
        }
    } else {
        value = r;
    }

    if (value.size() > static_cast<size_t>(outSize - 1) && truncated)
        *truncated = 1;
    comSubstr(value.c_str(), 0, outSize - 1, out, sjis);
    comCgiTrimValue(out, sjis, emptyIfBlank, 1);
    return 1;
}

int comCheckDecimalCommas(char* text, int maxIntDigits, int* decimals)
{
    if (!text || !decimals)
        return -1;
    std::string work(text, strnlen(text, 127));
    size_t dot = work.find('.');
    std::string intPart = dot == std::string::npos ? work : work.substr(0, dot);
    int r = comCheckNumberCommas(intPart.c_str(), maxIntDigits);
    if (r != 0)
        return r;
    if (dot == std::string::npos) {
        *decimals = 0;
        return 0;
    }
    std::string frac = work.substr(dot + 1);
    int had = 0;
    if (!frac.empty()) {
        if (frac[0] == '-' || !comIsInteger(frac.c_str()))
            return -1;
        while (had < static_cast<int>(frac.size()) && isdigit(uc(frac[static_cast<size_t>(had)])))
            ++had;
    }
    int asked = *decimals;
    if (asked < 0)
        asked = 0;
    if (had > asked)
        text[dot + (asked > 0 ? 1 + static_cast<size_t>(asked) : 0)] = '\0';
    *decimals = had;
    return 0;
}

int comDoubleWithCommas(char* out, double value, int decimals)
{
    if (!out)
        return -1;
    out[0] = '\0';
    if (decimals < 0)
        decimals = 0;
    char fmt[32];
    snprintf(fmt, sizeof fmt, "%%.%dlf", decimals);
    char num[128];
    int n = snprintf(num, sizeof num, fmt, fabs(value));
    if (n < 0 || n >= static_cast<int>(sizeof num))
        return -1;
    const char* dot = strchr(num, '.');
    int intLen = dot ? static_cast<int>(dot - num) : n;
    int seps = intLen / 3 - (intLen % 3 == 0 && intLen > 0 ? 1 : 0);
    int total = intLen + seps + (value < 0 ? 1 : 0) + (n - intLen);
    if (total > 127)
        return -1;
    char* w = out;
    if (value < 0)
        *w++ = '-';
    for (int i = 0; i < intLen; ++i) {
        if (i > 0 && (intLen - i) % 3 == 0)
            *w++ = ',';
        *w++ = num[i];
    }
    strcpy(w, num + intLen);
    return 0;
}

double comRoundDiv(double dividend, double divisor)
{
    if (divisor == 0.0)
        return 0.0;
    double q = dividend / divisor;
    if (!std::isfinite(q))
        return q;
    char buf[400];
    snprintf(buf, sizeof buf, "%.0lf", q);
    double r = strtod(buf, nullptr);
    if (q - r >= 0.5)
        r += 1.0;
    return r;
}

int comRoundDivInt(int dividend, int divisor)
{
    double r = comRoundDiv(dividend, divisor);
    if (r >= 2147483647.0)
        return 2147483647;
    if (r <= -2147483648.0)
        return -2147483647 - 1;
    return static_cast<int>(r);
}

void comLogStderr(const char* fmt, ...)
{
    time_t now = time(nullptr);
    struct tm tmv;
    localtime_r(&now, &tmv);
    fprintf(stderr, "%02d/%02d/%02d %02d:%02d:%02d ", tmv.tm_year + 1900, tmv.tm_mon + 1,
            tmv.tm_mday, tmv.tm_hour, tmv.tm_min, tmv.tm_sec);
    if (fmt) {
        va_list ap;
        va_start(ap, fmt);
        vfprintf(stderr, fmt, ap);
        va_end(ap);
    }
}

namespace {

// Walks the UTF-8 text compacting it; `map` turns a three-byte sequence
// into one ASCII byte (or returns 0 to keep it). 0, or -1 at a byte that
// starts no valid sequence (the rest is kept as it is).
int utf8MapToAscii(char* text, char (*map)(unsigned char, unsigned char, unsigned char))
{
    if (!text)
        return 0;
    char* w = text;
    const char* r = text;
    while (*r) {
        int n = comUtf8SeqLen(*r);
        if (n < 0 || presentBytes(r, n) < n) {
            memmove(w, r, strlen(r) + 1);
            return -1;
        }
        if (n == 3) {
            char c = map(uc(r[0]), uc(r[1]), uc(r[2]));
            if (c) {
                *w++ = c;
                r += 3;
                continue;
            }
        }
        for (int i = 0; i < n; ++i)
            *w++ = *r++;
    }
    *w = '\0';
    return 0;
}

char mapFullSpace(unsigned char a, unsigned char b, unsigned char c)
{
    return (a == 0xE3 && b == 0x80 && c == 0x80) ? ' ' : 0;
}

char mapFullWidth(unsigned char a, unsigned char b, unsigned char c)
{
    if (a == 0xE3 && b == 0x80 && c == 0x80) return ' ';
    if (a == 0xE2 && b == 0x80) {
        if (c == 0x9D) return '"';
        if (c == 0x99) return '\'';
        if (c == 0x98) return '`';
        return 0;
    }
    if (a == 0xEF) {
        if (b == 0xBF && c == 0xA5) return '\\';
        if (b == 0xBC && c >= 0x81 && c <= 0xBF) return static_cast<char>(c - 0x60);
        if (b == 0xBD && c >= 0x80 && c <= 0x9E) return static_cast<char>(c - 0x20);
    }
    return 0;
}

} // namespace

int comUtf8FullSpaceToBlank(char* text)
{
    return utf8MapToAscii(text, mapFullSpace);
}

int comUtf8FullWidthToAscii(char* text)
{
    return utf8MapToAscii(text, mapFullWidth);
}

int comUtf8WidthCut(const char* text, int maxCols, int* cutPos)
{
    if (cutPos)
        *cutPos = 0;
    if (!text)
        return 0;
    int cols = 0;
    int pos = 0;
    while (text[pos]) {
        int w, b;
        charWidth(text + pos, &w, &b);
        if (cols + w > maxCols) {
            if (cutPos)
                *cutPos = pos;
            return cols;
        }
        cols += w;
        pos += b;
    }
    return cols;
}

int comUtf8Width(const char* text)
{
    if (!text)
        return 0;
    int cut = 0;
    size_t len = strlen(text);
    return comUtf8WidthCut(text, len > 0x7FFFFFFFu ? 0x7FFFFFFF : static_cast<int>(len), &cut);
}

int comUtf8CharOffset(const char* text, int count, int* endPos, int* chars, int start)
{
    if (endPos && count != 0)
        *endPos = 0;
    if (chars)
        *chars = 0;
    if (!text)
        return 0;
    if (count == 0 && !chars && start == 0)
        return 0;
    int startPos = 0;
    int idx = 0;
    int pos = 0;
    while (text[pos]) {
        int n = comUtf8SeqLen(text[pos]);
        if (n < 0) {
            ++pos;
            continue;
        }
        if (presentBytes(text + pos, n) < n)
            break;
        if (idx == start)
            startPos = pos;
        pos += n;
        ++idx;
        if (count != 0 && idx == start + count) {
            if (endPos)
                *endPos = pos;
            break;
        }
        if (count == 0 && !chars && idx > start)
            break;
    }
    if (chars)
        *chars = idx;
    return startPos;
}

int comUtf8Check(char* text, int dropNewlines, int checkOnly)
{
    if (!text)
        return 1;
    const bool check = checkOnly == 1;
    char* w = text;
    const char* r = text;
    while (*r) {
        unsigned char c = uc(*r);
        if (c < 0x80) {
            if (c >= 0x20 && c <= 0x7E) {
                if (!check) *w++ = static_cast<char>(c);
            } else if (c == '\t') {
                if (!check) *w++ = ' ';
            } else if (c == '\r' || c == '\n') {
                if (!check && dropNewlines != 1) *w++ = static_cast<char>(c);
            } else {
                if (check) return 0;
                *w++ = '?';
            }
            ++r;
            continue;
        }
        if ((c & 0xC0) == 0x80) {
            // Stray continuation byte.
            if (check) return 0;
            ++r;
            continue;
        }
        int n;
        if ((c & 0xE0) == 0xC0) n = 2;
        else if ((c & 0xF0) == 0xE0) n = 3;
        else if ((c & 0xF8) == 0xF0) n = 4;
        else if ((c & 0xFC) == 0xF8) n = 5;
        else if ((c & 0xFE) == 0xFC) n = 6;
        else n = 1;  // 0xFE, 0xFF
        if (presentBytes(r, n) < n) {
            if (check) return 0;
            break;  // the sequence runs past the end
        }
        unsigned char b1 = n > 1 ? uc(r[1]) : 0;
        bool valid = n >= 2 && n <= 4 && c >= 0xC2 && c <= 0xF4;
        for (int i = 1; valid && i < n; ++i)
            valid = isCont(r[i]);
        if (valid) {
            if (c == 0xE0) valid = b1 >= 0xA0;
            else if (c == 0xED) valid = b1 <= 0x9F;
            else if (c == 0xF0) valid = b1 >= 0x90;
            else if (c == 0xF4) valid = b1 <= 0x8F;
            else if (c == 0xEF && b1 == 0xBF) valid = uc(r[2]) <= 0xBD;
            else if (c == 0xEF && b1 == 0xBB) valid = uc(r[2]) != 0xBF;
        }
        if (!valid) {
            if (check) return 0;
            for (int i = 0; i < n; ++i)
                *w++ = '?';
            r += n;
            continue;
        }
        if (!check) {
            for (int i = 0; i < n; ++i)
                *w++ = r[i];
        }
        r += n;
    }
    if (!check)
        *w = '\0';
    return 1;
}

namespace {

// Second step of a conversion through JIS: converts jis (freed here) into a
// buffer of bufSize bytes and copies the result to out when it fits.
// 0, or -1.
int convertFromJis(char* jis, size_t bufSize, void (*convert)(const char*, char*),
                   char* out, int outSize)
{
    char* text = static_cast<char*>(calloc(bufSize, 1));
    if (!text) {
        free(jis);
        return -1;
    }
    convert(jis, text);
    free(jis);
    size_t n = strlen(text);
    int r = -1;
    if (n < static_cast<size_t>(outSize)) {
        setOut(out, text, n);
        r = 0;
    }
    free(text);
    return r;
}

} // namespace

int comUtf8ToSjis(const char* utf8, char* out, int outSize)
{
    if (!utf8 || !out || outSize <= 0)
        return -1;
    size_t len = strlen(utf8);
    if (len >= static_cast<size_t>(outSize))
        return -1;
    char* jis = static_cast<char*>(calloc(4 * len + 8, 1));
    if (!jis)
        return -1;
    comKanjiUtf8ToJis(utf8, jis);
    // The Shift_JIS form is never longer than the JIS form.
    return convertFromJis(jis, strlen(jis) + 1, comKanjiJisToSjis, out, outSize);
}

int comSjisToUtf8(const char* sjis, char* out, int outSize)
{
    if (!sjis || !out || outSize <= 0)
        return -1;
    size_t len = strlen(sjis);
    char* jis = static_cast<char*>(calloc(4 * len + 8, 1));
    if (!jis)
        return -1;
    comKanjiSjisToJis(sjis, jis);
    return convertFromJis(jis, 3 * strlen(jis) + 1, comKanjiJisToUtf8, out, outSize);
}
