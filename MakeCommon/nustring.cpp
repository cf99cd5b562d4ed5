#include "nustring.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "comstr.h"
#include "comtime.h"

namespace {

const char* orEmpty(const char* s) { return s ? s : ""; }

bool allDigits(const char* s, size_t n)
{
    for (size_t i = 0; i < n; ++i)
        if (s[i] < '0' || s[i] > '9')
            return false;
    return true;
}

bool isUtf8Cont(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

} // namespace

// ---- NUString --------------------------------------------------------------

NUString::NUString() : text(nullptr), fixedCapacity(0) {}

NUString::NUString(uint32_t capacity, int) : text(nullptr), fixedCapacity(capacity) {}

NUString::NUString(const char* t) : text(nullptr), fixedCapacity(0) { set(t); }

NUString::NUString(const NUString& other) : text(nullptr), fixedCapacity(other.fixedCapacity)
{
    if (other.text) {
        size_t n = fixedCapacity ? fixedCapacity : strlen(other.text) + 1;
        text = static_cast<char*>(calloc(n, 1));
        if (text)
            memcpy(text, other.text, strnlen(other.text, n - 1));
    }
}

NUString& NUString::operator=(const NUString& other)
{
    if (this != &other) {
        NUString tmp(other);
        free(text);
        text = tmp.text;
        fixedCapacity = tmp.fixedCapacity;
        tmp.text = nullptr;
    }
    return *this;
}

NUString::~NUString() { free(text); }

const char* NUString::c_str() const { return text ? text : ""; }

bool NUString::isEmpty() const { return !text || !*text; }

unsigned NUString::length() const { return text ? static_cast<unsigned>(strlen(text)) : 0; }

void NUString::clear()
{
    if (fixedCapacity) {
        if (text)
            memset(text, 0, fixedCapacity);
    } else {
        free(text);
        text = nullptr;
    }
}

int NUString::set(const char* t)
{
    t = orEmpty(t);
    return setN(t, static_cast<unsigned>(strlen(t)));
}

int NUString::setN(const char* t, unsigned n)
{
    if (!t)
        return NUSTR_BADARG;
    if (fixedCapacity) {
        size_t len = strnlen(t, fixedCapacity);
        if (len >= fixedCapacity && n >= fixedCapacity)
            return NUSTR_TOOLONG;
        if (!text) {
            text = static_cast<char*>(calloc(fixedCapacity, 1));
            if (!text)
                return NUSTR_NOMEM;
        }
        size_t copy = len < n ? len : n;
        if (copy > fixedCapacity - 1)
            copy = fixedCapacity - 1;
        memmove(text, t, copy); // the source may lie in our own buffer
        memset(text + copy, 0, fixedCapacity - copy);
        return NUSTR_OK;
    }
    size_t copy = strnlen(t, n);
    if (text && n <= strlen(text)) {
        memmove(text, t, copy);
        memset(text + copy, 0, n - copy + 1);
        return NUSTR_OK;
    }
    // New buffer first: t may point into the old one.
    char* buf = static_cast<char*>(malloc(static_cast<size_t>(n) + 1));
    if (!buf)
        return NUSTR_NOMEM;
    memcpy(buf, t, copy);
    memset(buf + copy, 0, n - copy + 1);
    free(text);
    text = buf;
    return NUSTR_OK;
}

int NUString::setCut(const char* t, unsigned maxBytes, const char* suffix)
{
    t = orEmpty(t);
    suffix = orEmpty(suffix);
    if (strlen(t) <= maxBytes)
        return set(t);
    size_t slen = strlen(suffix);
    std::string out;
    if (slen < maxBytes) {
        std::string head(t);
        comUtf8CutBytes(&head[0], static_cast<int>(maxBytes - slen), 0);
        out.assign(head.c_str());
        out += suffix;
    } else {
        // The suffix alone does not fit: keep as much of it as fits.
        std::string s(suffix);
        comUtf8CutBytes(&s[0], static_cast<int>(maxBytes), 0);
        out.assign(s.c_str());
    }
    return set(out.c_str());
}

int NUString::setCutChars(const char* t, unsigned maxChars, const char* suffix, int flag)
{
    t = orEmpty(t);
    suffix = orEmpty(suffix);
    size_t slen = strlen(suffix);
    int keep = slen < maxChars ? static_cast<int>(maxChars - slen) : 0;
    std::string s(t);
    int cut = comUtf8Cut(&s[0], keep, flag);
    std::string out(s.c_str());
    if (cut)
        out += suffix;
    return set(out.c_str());
}

int NUString::format(const char* fmt, ...)
{
    if (!fmt || fixedCapacity)
        return NUSTR_BADARG;
    size_t size = strlen(fmt) + 8192;
    char* buf = static_cast<char*>(calloc(size, 1));
    if (!buf) {
        clear();
        return NUSTR_NOMEM;
    }
    // An argument may be our own text: it is freed only after formatting.
    va_list ap;
    va_start(ap, fmt);
    int r = vsnprintf(buf, size - 1, fmt, ap);
    va_end(ap);
    clear();
    text = buf;
    if (r < 0) {
        buf[0] = '\0';
        return NUSTR_BADARG;
    }
    return NUSTR_OK;
}

int NUString::append(const char* t)
{
    if (!t || !*t)
        return NUSTR_OK;
    size_t cur = length();
    size_t add = strlen(t);
    if (fixedCapacity) {
        if (cur + add >= fixedCapacity)
            return NUSTR_TOOLONG;
        if (!text) {
            text = static_cast<char*>(calloc(fixedCapacity, 1));
            if (!text)
                return NUSTR_NOMEM;
        }
        memmove(text + cur, t, add);
        text[cur + add] = '\0';
        return NUSTR_OK;
    }
    char* buf = static_cast<char*>(malloc(cur + add + 1));
    if (!buf)
        return NUSTR_NOMEM;
    if (cur)
        memcpy(buf, text, cur);
    memcpy(buf + cur, t, add);
    buf[cur + add] = '\0';
    free(text);
    text = buf;
    return NUSTR_OK;
}

int NUString::copyTo(char* dst, unsigned size) const
{
    if (!dst || size == 0)
        return NUSTR_BADARG;
    const char* s = c_str();
    size_t n = strlen(s);
    if (n > size - 1) {
        n = size - 1;
        while (n > 0 && isUtf8Cont(s[n]))
            --n;
        // s[n] leads the sequence that would be split: cut before it.
    }
    memcpy(dst, s, n);
    dst[n] = '\0';
    return NUSTR_OK;
}

void NUString::trimRight()
{
    if (text)
        comRTrim(text);
}

void NUString::replaceChar(char from, char to)
{
    if (!text || from == '\0')
        return;
    for (char* p = text; *p; ++p)
        if (*p == from)
            *p = to;
}

void NUString::cutChars(unsigned n, int flag)
{
    if (text)
        comUtf8Cut(text, static_cast<int>(n), flag);
}

void NUString::cutBytes(unsigned n)
{
    if (text)
        comUtf8CutBytes(text, static_cast<int>(n), 1);
}

int NUString::compare(const char* t) const { return strcmp(c_str(), orEmpty(t)); }

int NUString::compareN(const char* t, unsigned n) const { return strncmp(c_str(), orEmpty(t), n); }

int NUString::caseCompare(const char* t) const { return comStrCaseCmp(c_str(), orEmpty(t)); }

int NUString::caseCompareN(const char* t, unsigned n) const
{
    return comStrNCaseCmp(c_str(), orEmpty(t), n);
}

// ---- NUFixedInt ------------------------------------------------------------

NUFixedInt::NUFixedInt(uint32_t capacity) : NUString(capacity ? capacity : 1, 0) {}

int NUFixedInt::set(const char* t)
{
    int r = NUString::set(t);
    if (r != NUSTR_OK) {
        clear();
        return r;
    }
    if (isEmpty())
        return NUSTR_OK;
    size_t len = strlen(text);
    // Digits only: no sign, no trailing white space.
    if (len != fixedCapacity - 1 || !allDigits(text, len)) {
        clear();
        return NUSTR_INVALID;
    }
    return NUSTR_OK;
}

// ---- NUDateStr -------------------------------------------------------------

NUDateStr::NUDateStr() : NUFixedInt(9) {}

NUDateStr::NUDateStr(uint32_t capacity) : NUFixedInt(capacity) {}

int NUDateStr::set(const char* t)
{
    if (!t || !*t) {
        clear();
        return NUSTR_OK;
    }
    std::string work(t);
    size_t len = work.size();
    char sep = 0;
    if (len <= 11 && strchr(t, '/'))
        sep = '/';
    else if (len <= 11 && strchr(t, '-'))
        sep = '-';
    bool parsed = true;
    if (sep) {
        int y = 0, m = 0, d = 0;
        const char* fmt = sep == '/' ? "%d/%d/%d" : "%d-%d-%d";
        if (sscanf(t, fmt, &y, &m, &d) == 3) {
            char buf[48];
            snprintf(buf, sizeof buf, "%04d%02d%02d", y, m, d);
            work = buf;
        } else {
            parsed = false; // "2024/2": a part is missing
        }
    }
    if (!parsed || work.size() < 8 || comDateTextCheck(work.c_str()) != 0) {
        clear();
        return parsed && comIsInteger(work.c_str()) ? NUSTR_NODATE : NUSTR_BADDATE;
    }
    if (NUFixedInt::set(work.c_str()) != NUSTR_OK) {
        clear();
        return NUSTR_BADDATE;
    }
    return NUSTR_OK;
}

int NUDateStr::setParts(const char* y, const char* m, const char* d)
{
    y = orEmpty(y);
    m = orEmpty(m);
    d = orEmpty(d);
    if (!*y && !*m && !*d)
        return NUSTR_OK;
    if (!*y || !*m || !*d || !comIsInteger(y) || !comIsInteger(m) || !comIsInteger(d))
        return NUSTR_NODATE;
    if (strlen(y) > 4 || strlen(m) > 2 || strlen(d) > 2)
        return NUSTR_TOOLONG;
    char buf[48];
    snprintf(buf, sizeof buf, "%04d%02d%02d", atoi(y), atoi(m), atoi(d));
    return set(buf);
}

int NUDateStr::part(const char* t, int start, int len) const
{
    if (!t || strnlen(t, static_cast<size_t>(start + len)) < static_cast<size_t>(start + len))
        return -1;
    char buf[8];
    memcpy(buf, t + start, static_cast<size_t>(len));
    buf[len] = '\0';
    return atoi(buf);
}

namespace {

// The text to read a date part from: text, else the stored value, else today.
std::string datePartSource(const char* t, const NUString& self)
{
    if (t && *t)
        return t;
    if (!self.isEmpty())
        return self.c_str();
    time_t now = time(nullptr);
    struct tm tmv;
    localtime_r(&now, &tmv);
    char buf[48];
    snprintf(buf, sizeof buf, "%04d%02d%02d", tmv.tm_year + 1900, tmv.tm_mon + 1, tmv.tm_mday);
    return buf;
}

} // namespace

int NUDateStr::year() const { return isEmpty() ? -1 : part(text, 0, 4); }
int NUDateStr::month() const { return isEmpty() ? -1 : part(text, 4, 2); }
int NUDateStr::day() const { return isEmpty() ? -1 : part(text, 6, 2); }

int NUDateStr::yearTwoDigits() const
{
    int y = year();
    return y < 0 ? -1 : y % 100;
}

int NUDateStr::year(const char* t) const { return part(datePartSource(t, *this).c_str(), 0, 4); }
int NUDateStr::month(const char* t) const { return part(datePartSource(t, *this).c_str(), 4, 2); }
int NUDateStr::day(const char* t) const { return part(datePartSource(t, *this).c_str(), 6, 2); }

int NUDateStr::yearTwoDigits(const char* t) const
{
    int y = year(t);
    return y < 0 ? -1 : y % 100;
}

int NUDateStr::addDays(int days)
{
    if (isEmpty() || strlen(text) < 8)
        return NUSTR_INVALID;
    char date[9];
    memcpy(date, text, 8);
    date[8] = '\0';
    char out[64] = {0};
    comDateAddDays(date, days, out);
    std::string value(out);
    value += text + 8; // a time part stays as it is
    return NUFixedInt::set(value.c_str());
}

int NUDateStr::nextDay() { return addDays(1); }
int NUDateStr::prevDay() { return addDays(-1); }

// ---- NUDateTimeStr ---------------------------------------------------------

NUDateTimeStr::NUDateTimeStr() : NUDateStr(15) {}

int NUDateTimeStr::set(const char* t)
{
    // Slash forms are not time stamps.
    if (t && strchr(t, '/')) {
        clear();
        return NUSTR_INVALID;
    }
    if (NUFixedInt::set(t) != NUSTR_OK) {
        clear();
        return NUSTR_INVALID;
    }
    if (isEmpty())
        return NUSTR_OK;
    char date[9], hhmm[5];
    memcpy(date, text, 8);
    date[8] = '\0';
    memcpy(hhmm, text + 8, 4);
    hhmm[4] = '\0';
    int sec = (text[12] - '0') * 10 + (text[13] - '0');
    if (comDateTextCheck(date) != 0 || comHhmmCheck(hhmm) != 0 || sec > 59) {
        clear();
        return NUSTR_INVALID;
    }
    return NUSTR_OK;
}

const char* NUDateTimeStr::timePart() const
{
    if (isEmpty() || strlen(text) < 8)
        return "";
    return text + 8;
}

int NUDateTimeStr::hour() const { return isEmpty() ? -1 : part(text, 8, 2); }
int NUDateTimeStr::minute() const { return isEmpty() ? -1 : part(text, 10, 2); }
