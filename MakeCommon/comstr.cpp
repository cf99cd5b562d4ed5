// Small character-string helpers: UTF-8 lead bytes, number checks,
// in-place replacements, bounded and case-converting copies.
#include "comstr.h"

#include <cctype>
#include <climits>
#include <cstring>

namespace {
inline unsigned char uc(char c) { return static_cast<unsigned char>(c); }
} // namespace

int comIsHighByte(char c)
{
    return uc(c) >= 0x80 ? 1 : 0;
}

int comUtf8SeqLen(char lead)
{
    unsigned char c = uc(lead);
    if (c < 0x80) return 1;
    if (c >= 0xC2 && c <= 0xDF) return 2;
    if (c >= 0xE0 && c <= 0xEF) return 3;
    if (c >= 0xF0 && c <= 0xF4) return 4;
    if (c >= 0xF8 && c <= 0xFB) return 5;
    if (c >= 0xFC && c <= 0xFD) return 6;
    return -1;
}

int comUtf8CharCount(const char* text)
{
    if (!text)
        return 0;
    int count = 0;
    const char* p = text;
    while (*p) {
        int n = comUtf8SeqLen(*p);
        if (n < 0) {
            ++p;
            continue;
        }
        int i = 1;
        while (i < n && p[i])
            ++i;
        if (i < n)
            break;
        ++count;
        p += n;
    }
    return count;
}

int comIsHalfwidthKana(const char* p)
{
    if (!p || uc(p[0]) != 0xEF)
        return 0;
    unsigned char b1 = uc(p[1]);
    if (b1 == 0xBD) {
        unsigned char b2 = uc(p[2]);
        return (b2 >= 0xA1 && b2 <= 0xBF) ? 1 : 0;
    }
    if (b1 == 0xBE) {
        unsigned char b2 = uc(p[2]);
        return (b2 >= 0x80 && b2 <= 0x9F) ? 1 : 0;
    }
    return 0;
}

int comCeilDiv(int a, int b)
{
    if (b == 0)
        return 0;
    if (b == -1)
        return a == INT_MIN ? INT_MAX : -a;
    int q = a / b;
    // Truncation already rounds a negative quotient up.
    if (a % b != 0 && ((a > 0) == (b > 0)))
        ++q;
    return q;
}

int comHexToInt(const char* text, int len)
{
    if (!text || len < 1 || len > 7)
        return -1;
    int value = 0;
    for (int i = 0; i < len; ++i) {
        unsigned char c = uc(text[i]);
        if (c < '0')
            break;
        int d;
        if (c <= '9') d = c - '0';
        else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
        else if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
        else return -1;
        value = value * 16 + d;
    }
    return value;
}

int comIsInteger(const char* text)
{
    if (!text || !*text)
        return 0;
    const char* p = text;
    if (*p == '-')
        ++p;
    if (!isdigit(uc(*p)))
        return 0;
    while (isdigit(uc(*p)))
        ++p;
    for (; *p; ++p) {
        if (*p != ' ' && *p != '\t' && *p != '\r' && *p != '\n')
            return 0;
    }
    return 1;
}

int comIsBlank(const char* text)
{
    if (!text)
        return 1;
    for (; *text; ++text) {
        if (*text != ' ')
            return 0;
    }
    return 1;
}

void comCutLines(char* text, int n)
{
    if (!text || !*text || n < 1)
        return;
    int seen = 0;
    for (char* p = text; *p; ++p) {
        if (*p != '\n')
            continue;
        if (++seen == n) {
            if (p > text && p[-1] == '\r')
                p[-1] = '\0';
            else
                *p = '\0';
            return;
        }
    }
}

void comReplaceFileNameChars(char* text, char ch)
{
    if (!text)
        return;
    for (char* p = text; *p; ++p) {
        unsigned char c = uc(*p);
        if (c < 0x20 || c == 0x7F || strchr("\"*/:<>?\\|", c))
            *p = ch;
    }
}

void comReplaceChar(char* text, char from, char to)
{
    if (!text || from == '\0')
        return;
    for (char* p = text; *p; ++p) {
        if (*p == from)
            *p = to;
    }
}

void comStrCopyN(char* dst, const char* src, unsigned n)
{
    if (!dst)
        return;
    strncpy(dst, src ? src : "", n);
    dst[n] = '\0';
}

namespace {
char* caseCopy(const char* src, char* dst, int (*conv)(int))
{
    if (!dst)
        return nullptr;
    if (src) {
        for (; *src; ++src, ++dst)
            *dst = static_cast<char>(conv(uc(*src)));
    }
    *dst = '\0';
    return dst;
}
} // namespace

char* comToLowerCopy(const char* src, char* dst)
{
    return caseCopy(src, dst, tolower);
}

char* comToUpperCopy(const char* src, char* dst)
{
    return caseCopy(src, dst, toupper);
}

int comEndsWith(const char* suffix, const char* text)
{
    if (!text)
        return 0;
    if (!suffix || !*suffix)
        return strchr(text, '.') ? 0 : 1;
    size_t ls = strlen(suffix);
    size_t lt = strlen(text);
    return (lt > ls && memcmp(text + lt - ls, suffix, ls) == 0) ? 1 : 0;
}

char* comQuoteValue(char* dst, const char* text)
{
    if (!dst)
        return nullptr;
    if (!text)
        text = "";
    size_t n = strlen(text);
    size_t backslashes = 0;
    while (backslashes < n && text[n - 1 - backslashes] == '\\')
        ++backslashes;
    char* w = dst;
    *w++ = '"';
    memcpy(w, text, n);
    w += n;
    if (backslashes % 2 == 1)
        *w++ = '\\';
    *w++ = '"';
    *w = '\0';
    return dst;
}
