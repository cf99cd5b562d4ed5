// Mail header parsing: dates, address lists and header text helpers.
#include "commail.h"

#include "comjis.h"
#include "commailscan.h"
#include "comstr.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                               "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool isSeparator(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Value of a digit run; -1 when it has more digits than an int may hold.
long digitValue(const char* s, size_t len)
{
    if (len > 9)
        return -1;
    long v = 0;
    for (size_t i = 0; i < len; ++i)
        v = v * 10 + (s[i] - '0');
    return v;
}

int daysInMonth(long year, int month)
{
    static const int kDaysIn[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDaysIn[month - 1];
}

void setZone(char* zone, const char* token)
{
    snprintf(zone, 6, "%.5s", token);
}

// Copies s into a fixed field of size bytes; false when it had to be cut.
bool fit(char* field, size_t size, const std::string& s)
{
    size_t n = s.size() < size ? s.size() : size - 1;
    memcpy(field, s.data(), n);
    field[n] = '\0';
    comTrimTrailing2(field);
    return n == s.size();
}

// Stores a scanned entry into rec: the address cut to 509 bytes (511 when
// taken from the name), the name cut to nameMax bytes without breaking a
// kanji run. False when the address was cut.
bool storeEntry(const ComAddrEntry& e, ComMailAddrRecord* rec, int nameMax)
{
    memset(rec, 0, sizeof *rec);
    bool whole = fit(rec->address, e.nameTaken ? 512 : 510, e.address);
    // The record is zero-filled and the copy, closing escape included,
    // stays within nameMax bytes: the name stays terminated.
    comJisCopyBounded(rec->name, e.name.c_str(), nameMax);
    comTrimTrailing2(rec->name);
    return whole;
}

}  // namespace

int comMailDate(const char* text, char* date, char* time, char* zone)
{
    if (!date || !time || !zone)
        return -1;
    date[0] = time[0] = zone[0] = '\0';
    if (!text)
        return -1;

    char buf[128];
    snprintf(buf, sizeof buf, "%.127s", text);
    int month = -1, weekday = -1;
    long day = -1, year = -1, hour = 0, minute = 0, second = 0;
    bool zoneSet = false;

    const char* p = buf;
    for (;;) {
        while (isSeparator(*p))
            ++p;
        if (!*p)
            break;
        size_t len = 0;
        while (p[len] && !isSeparator(p[len]))
            ++len;
        std::string token(p, len);
        const char* t = token.c_str();
        const char* after = p + len;

        if (strspn(t, "0123456789") == len) {
            long v = digitValue(t, len);
            if (v < 0)
                return -1;
            if (day < 0)
                day = v;
            else if (year < 0)
                year = v;
            else if (len == 4 && !zoneSet) {
                setZone(zone, t);
                zoneSet = true;
            }
        } else if (*t == '+' || *t == '-') {
            setZone(zone, t);
            zoneSet = true;
            break;
        } else if (!isDigit(*t)) {
            bool matched = false;
            for (int i = 0; month < 0 && i < 12; ++i) {
                if (comStrNCaseCmp(t, kMonths[i], 3) == 0) {
                    month = i + 1;
                    matched = true;
                }
            }
            for (int i = 0; !matched && weekday < 0 && i < 7; ++i) {
                if (comStrNCaseCmp(t, kDays[i], 3) == 0) {
                    weekday = i;
                    matched = true;
                    after = p + 3 + (p[3] == ',' ? 1 : 0);
                }
            }
            if (!matched && !zoneSet) {
                setZone(zone, t);
                zoneSet = true;
            }
        } else if (strchr(t, ':')) {
            hour = atol(comLeadingDigits(t));
            const char* q = comSkipToDigitAfterColon(t);
            minute = atol(comLeadingDigits(q));
            second = atol(comLeadingDigits(comSkipToDigitAfterColon(q)));
        }
        p = after;
    }

    if (year >= 0 && year <= 99)
        year += year > 49 ? 1900 : 2000;
    if (month < 0 || year < 1000 || year > 9999 || day < 1 || day > daysInMonth(year, month) ||
        hour > 23 || minute > 59 || second > 60) {
        zone[0] = '\0';
        return -1;
    }
    // The fields are in range: exactly 8 and 6 digits.
    char out[64];
    snprintf(out, sizeof out, "%04ld%02d%02ld", year, month, day);
    memcpy(date, out, 9);
    snprintf(out, sizeof out, "%02ld%02ld%02ld", hour, minute, second);
    memcpy(time, out, 7);
    return 0;
}

int comMailParseAddrList(const char* text, ComMailAddrRecord** table, int* count, int* error)
{
    if (!table || !count)
        return -99;
    const char* p = text;
    while (p && *p) {
        if (!*comSkipBlanks(p))
            return 0;
        if (*count >= COM_MAIL_ADDR_MAX)
            return -2;
        ComMailAddrRecord* rec = static_cast<ComMailAddrRecord*>(calloc(1, sizeof *rec));
        if (!rec)
            return -1;
        p = comMailParseAddr(p, rec, 0, error);
        table[(*count)++] = rec;
    }
    return 0;
}

const char* comMailParseAddr(const char* text, ComMailAddrRecord* rec, int flag, int* error)
{
    if (!text || !rec)
        return nullptr;
    ComAddrEntry e;
    const char* next = comAddrScan(text, flag, e);
    bool whole;
    if (e.parenForm) {
        ComAddrEntry paren;
        comAddrScanParen(text, paren);
        whole = storeEntry(paren, rec, 127);
    } else {
        whole = storeEntry(e, rec, 1023);
    }
    if (!whole && error)
        *error = -1;
    return next;
}

const char* comMailParseAddrSimple(const char* text, ComMailAddrRecord* rec)
{
    if (!text || !rec)
        return nullptr;
    ComAddrEntry e;
    const char* next = comAddrScanParen(text, e);
    storeEntry(e, rec, 127);
    return next;
}

const char* comMailHeaderName(const char* line, char* name, size_t size)
{
    if (!line)
        return nullptr;
    const char* colon = strchr(line, ':');
    size_t len = colon ? static_cast<size_t>(colon - line) : strlen(line);
    if (name && size > 0) {
        size_t n = len < size ? len : size - 1;
        memcpy(name, line, n);
        name[n] = '\0';
    }
    return colon ? comSkipBlanks(colon + 1) : nullptr;
}

const char* comMailHeaderParam(const char* text)
{
    const char* semi = text ? strchr(text, ';') : nullptr;
    return semi ? comSkipBlanks(semi + 1) : nullptr;
}

const char* comMailAngleAddr(const char* text, char* out, size_t size, int* length)
{
    if (out && size > 0)
        memset(out, 0, size);
    if (length)
        *length = 0;
    const char* open = text ? strchr(text, '<') : nullptr;
    const char* close = open ? strchr(open + 1, '>') : nullptr;
    if (!close)
        return nullptr;
    size_t len = static_cast<size_t>(close - open - 1);
    if (out && size > 0) {
        size_t n = len < size ? len : size - 1;
        memcpy(out, open + 1, n);
        if (length)
            *length = static_cast<int>(n);
    }
    return close + 1;
}

int comMailValueNoBrackets(const char* line, char* out)
{
    if (!out)
        return -1;
    out[0] = '\0';
    const char* colon = line ? strchr(line, ':') : nullptr;
    if (!colon)
        return -1;
    char* o = out;
    for (const char* p = comSkipBlanks(colon + 1); *p; ++p) {
        if (*p != '<' && *p != '>')
            *o++ = *p;
    }
    *o = '\0';
    return 0;
}

int comIsAllDigits(const char* text)
{
    if (!text)
        return 0;
    for (; *text; ++text) {
        if (!isDigit(*text))
            return 0;
    }
    return -1;
}

const char* comLeadingDigits(const char* text)
{
    static char digits[9];
    size_t n = 0;
    while (text && n < 8 && isDigit(text[n])) {
        digits[n] = text[n];
        ++n;
    }
    digits[n] = '\0';
    return digits;
}

const char* comSkipToDigitAfterColon(const char* text)
{
    if (!text)
        return nullptr;
    const char* p = strchr(text, ':');
    if (!p)
        return text + strlen(text);
    while (*p && !isDigit(*p))
        ++p;
    return p;
}

const char* comSkipBlanks(const char* text)
{
    if (!text)
        return nullptr;
    while (*text == ' ' || *text == '\t')
        ++text;
    return text;
}

void comTrimTrailing2(char* text)
{
    if (!text)
        return;
    size_t n = strlen(text);
    while (n > 2 && (text[n - 1] == ' ' || text[n - 1] == '\r' || text[n - 1] == '\n'))
        text[--n] = '\0';
}

void comTrimTrailingWs(char* text)
{
    comTrimTrailing2(text);
}
