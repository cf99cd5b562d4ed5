// JIS-aware text functions and the address-list splitter.
#include "comjis.h"

#include "commailscan.h"

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

const unsigned char ESC = 0x1B;
const unsigned char SO = 0x0E;
const unsigned char SI = 0x0F;

unsigned char lower(unsigned char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c + ('a' - 'A')) : c;
}

// 1 when the first n bytes of text and pattern are equal without case.
bool caseEqual(const unsigned char* text, const unsigned char* pattern, size_t n)
{
    for (size_t i = 0; i < n; ++i) {
        if (lower(text[i]) != lower(pattern[i]))
            return false;
    }
    return true;
}

const unsigned char* bytes(const char* s)
{
    return reinterpret_cast<const unsigned char*>(s);
}

// ESC with a NUL as one of its next two bytes.
bool cutEscape(const unsigned char* p)
{
    return *p == ESC && (!p[1] || !p[2]);
}

char* heapCopy(const std::string& s)
{
    char* r = static_cast<char*>(malloc(s.size() + 1));
    if (r)
        memcpy(r, s.c_str(), s.size() + 1);
    return r;
}

// Moves an entry's texts into rec; false (rec unchanged) when memory runs out.
bool store(const ComAddrEntry& e, ComMailAddrSplit* rec)
{
    char* address = heapCopy(e.address);
    char* name = e.name.empty() ? nullptr : heapCopy(e.name);
    if (!address || (!e.name.empty() && !name)) {
        free(address);
        free(name);
        return false;
    }
    rec->address = address;
    rec->addressLen = static_cast<uint32_t>(e.address.size());
    rec->name = name;
    rec->nameLen = static_cast<uint32_t>(e.name.size());
    return true;
}

}  // namespace

int comStrCasePrefixCmp(const char* a, const char* b)
{
    if (!a || !b || !*a || !*b)
        return -1;
    size_t n = strlen(a);
    size_t m = strlen(b);
    return caseEqual(bytes(a), bytes(b), n < m ? n : m) ? 0 : -1;
}

const char* comStrCaseFind(const char* text, const char* pattern)
{
    if (!text || !pattern || !*text)
        return nullptr;
    size_t plen = strlen(pattern);
    size_t left = strlen(text);
    for (const char* p = text; left >= plen && *p; ++p, --left) {
        if (caseEqual(bytes(p), bytes(pattern), plen))
            return p;
    }
    return nullptr;
}

const char* comJisCaseFind(const char* text, const char* pattern)
{
    if (!text || !pattern || !*text)
        return nullptr;
    size_t plen = strlen(pattern);
    const char* end = text + strlen(text);
    int mode = COM_JIS_ASCII;
    const char* p = text;
    while (*p && static_cast<size_t>(end - p) >= plen) {
        int m = comJisEscapeMode(p);
        if (m >= 0) {
            mode = m;
            p += 3;
        } else if (mode == COM_JIS_KANJI) {
            p += p[1] ? 2 : 1;
        } else if (caseEqual(bytes(p), bytes(pattern), plen)) {
            return p;
        } else {
            ++p;
        }
    }
    return nullptr;
}

int comHasParens(const char* text)
{
    if (!text)
        return 0;
    while (*text == ' ' || *text == '\t')
        ++text;
    const char* open = strchr(text, '(');
    return open && strchr(open + 1, ')') ? 1 : 0;
}

int comStrLenAtLeast(const char* text, int n)
{
    if (!text || n <= 0)
        return 1;
    return strnlen(text, static_cast<size_t>(n)) >= static_cast<size_t>(n) ? 1 : 0;
}

const char* comMailAddrSplit(const char* list, ComMailAddrSplit* rec, int backslashFlag)
{
    if (!list || !rec)
        return nullptr;
    ComAddrEntry e;
    const char* next = comAddrScan(list, backslashFlag, e);
    if (e.parenForm) {
        ComAddrEntry paren;
        comAddrScanParen(list, paren);
        e = paren;
    }
    return store(e, rec) ? next : nullptr;
}

int comMailAddrSplitParen(const char* entry, ComMailAddrSplit* rec)
{
    if (!entry || !rec)
        return -1;
    ComAddrEntry e;
    comAddrScanParen(entry, e);
    return store(e, rec) ? 0 : -1;
}

int comJisHasEscape(const char* text)
{
    if (!text)
        return 0;
    for (const unsigned char* p = bytes(text); *p; ++p) {
        if (*p != ESC)
            continue;
        if (cutEscape(p))
            return 0;
        if (comJisEscapeMode(reinterpret_cast<const char*>(p)) >= 0)
            return 1;
    }
    return 0;
}

namespace {

// At an escape sequence: copies its three bytes to o, steps both past them
// and gives its mode; -1 elsewhere (nothing moves).
int copyEscape(const unsigned char*& p, char*& o)
{
    int m = comJisEscapeMode(reinterpret_cast<const char*>(p));
    if (m >= 0) {
        memcpy(o, p, 3);
        o += 3;
        p += 3;
    }
    return m;
}

int hasNonPrint(const char* text, bool allowEsc)
{
    if (!text)
        return 0;
    for (const unsigned char* p = bytes(text); *p; ++p) {
        if (*p == '\r' || *p == '\n' || (allowEsc && *p == ESC))
            continue;
        if (*p < 0x20 || *p > 0x7E)
            return 1;
    }
    return 0;
}

}  // namespace

int comHasNonPrintJis(const char* text)
{
    return hasNonPrint(text, true);
}

int comHasNonPrint(const char* text)
{
    return hasNonPrint(text, false);
}

char* comJisQuoteEscape(const char* text)
{
    if (!text)
        return nullptr;
    size_t len = strlen(text);
    char* out = static_cast<char*>(calloc(2 * len + 1, 1));
    if (!out)
        return nullptr;
    char* o = out;
    int mode = COM_JIS_ASCII;
    const unsigned char* p = bytes(text);
    while (*p) {
        if (cutEscape(p))
            break;
        int m = copyEscape(p, o);
        if (m >= 0) {
            mode = m;
        } else if (mode == COM_JIS_KANJI) {
            if (!p[1])
                break;
            *o++ = static_cast<char>(*p++);
            *o++ = static_cast<char>(*p++);
        } else {
            if (*p == '"' && mode != COM_JIS_KANA)
                *o++ = '\\';
            *o++ = static_cast<char>(*p++);
        }
    }
    return out;
}

char* comJisClean(const char* text)
{
    if (!text)
        return nullptr;
    size_t len = strlen(text);
    char* out = static_cast<char*>(calloc(len + 4, 1));
    if (!out)
        return nullptr;
    enum { ASCII, KANJI, KANA, KANA_SO } state = ASCII;
    auto inRange = [](unsigned char c) { return c >= 0x21 && c <= 0x7E; };
    char* o = out;
    const unsigned char* p = bytes(text);
    while (*p) {
        unsigned char c = *p;
        if (c == ESC) {
            if (cutEscape(p))
                break;
            int m = copyEscape(p, o);
            if (m >= 0) {
                state = m == COM_JIS_KANJI ? KANJI : m == COM_JIS_KANA ? KANA : ASCII;
                continue;
            }
        }
        switch (state) {
        case ASCII:
            if (c == SO) {
                state = KANA_SO;
                *o++ = static_cast<char>(c);
            } else if (c == '\t' || (c >= 0x20 && c <= 0x7E)) {
                *o++ = static_cast<char>(c);
            }
            ++p;
            break;
        case KANA:
            if (inRange(c))
                *o++ = static_cast<char>(c);
            ++p;
            break;
        case KANA_SO:
            if (c == SI) {
                state = ASCII;
                *o++ = static_cast<char>(c);
            } else if (c >= 0x21 && c <= 0x5F) {
                *o++ = static_cast<char>(c);
            }
            ++p;
            break;
        case KANJI:
            if (!comJisIsKanjiLead(c)) {
                ++p;
            } else if (!p[1]) {
                p += 1;  // a lead without its partner ends the copy
                goto done;
            } else if (inRange(p[1])) {
                *o++ = static_cast<char>(c);
                *o++ = static_cast<char>(p[1]);
                p += 2;
            } else if (p[2] && inRange(p[2])) {
                *o++ = static_cast<char>(c);
                *o++ = static_cast<char>(p[2]);
                p += 3;
            } else {
                ++p;
            }
            break;
        }
    }
done:
    if (state != ASCII)
        memcpy(o, "\x1b(B", 3);
    return out;
}

int comJisCopyBounded(char* dst, const char* src, int max)
{
    if (!dst || !src || max <= 0)
        return 0;
    int n = 0;
    int mode = COM_JIS_ASCII;
    const unsigned char* p = bytes(src);
    while (*p) {
        int m = comJisEscapeMode(reinterpret_cast<const char*>(p));
        if (m >= 0) {
            if (n + (m == COM_JIS_ASCII ? 3 : 6) > max)
                break;
            memcpy(dst + n, p, 3);
            n += 3;
            p += 3;
            mode = m;
        } else if (mode == COM_JIS_KANJI) {
            if (!p[1] || n + 5 > max)
                break;
            dst[n++] = static_cast<char>(*p++);
            dst[n++] = static_cast<char>(*p++);
        } else {
            if (n + (mode == COM_JIS_ASCII ? 1 : 4) > max)
                break;
            dst[n++] = static_cast<char>(*p++);
        }
    }
    // Every step outside ASCII mode left three bytes for this.
    if (mode != COM_JIS_ASCII)
        memcpy(dst + n, "\x1b(B", 3);
    return n;
}
