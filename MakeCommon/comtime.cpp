// Date and time utilities.
#include "comtime.h"

#include "comstr.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/time.h>

// Date, stamp and zone fields have fixed widths; out-of-range values are cut
// to the field on purpose.
#pragma GCC diagnostic ignored "-Wformat-truncation"

namespace {

char g_zone[COM_ZONE_SIZE];
char g_dst[COM_ZONE_SIZE];

// atoi of the n characters at pos (fewer when the text ends first).
int sliceInt(const char* s, size_t pos, size_t n)
{
    char buf[8];
    size_t len = std::strlen(s);
    if (pos >= len) return 0;
    size_t i = 0;
    for (; i < n && i + 1 < sizeof buf && s[pos + i] != '\0'; ++i) buf[i] = s[pos + i];
    buf[i] = '\0';
    return std::atoi(buf);
}

struct Ymd {
    int y, m, d;
};

// Year, month (text of at least 5), day (at least 7) of a date or stamp.
Ymd readDate(const char* s)
{
    size_t len = std::strlen(s);
    Ymd r;
    r.y = sliceInt(s, 0, 4);
    r.m = len >= 5 ? sliceInt(s, 4, 2) : 0;
    r.d = len >= 7 ? sliceInt(s, 6, 2) : 0;
    return r;
}

// Hour, minute (text of at least 3), second (at least 5) of a time text.
void readTime(const char* t, int* h, int* mi, int* s)
{
    size_t len = std::strlen(t);
    *h = sliceInt(t, 0, 2);
    *mi = len >= 3 ? sliceInt(t, 2, 2) : 0;
    *s = len >= 5 ? sliceInt(t, 4, 2) : 0;
}

// Hour, minute and second of a stamp (0 where it has no time part).
void readStampTime(const char* stamp, int* h, int* mi, int* s)
{
    *h = *mi = *s = 0;
    if (std::strlen(stamp) > 8) readTime(stamp + 8, h, mi, s);
}

// Date (at least 8 characters) and time (HHMMSS or HHMM) texts of digits or
// '-' as numbers; false when either is malformed.
bool readDateAndTime(const char* date, const char* time, Ymd* ymd, int* h, int* mi, int* s)
{
    size_t tlen = std::strlen(time);
    if (std::strlen(date) < 8 || (tlen != 6 && tlen != 4)) return false;
    if (comIsDigitsOrMinus(date) != 0 || comIsDigitsOrMinus(time) != 0) return false;
    char tbuf[8];
    std::snprintf(tbuf, sizeof tbuf, "%s%s", time, tlen == 4 ? "00" : "");
    *ymd = readDate(date);
    readTime(tbuf, h, mi, s);
    return true;
}

int64_t floorDiv(int64_t a, int64_t b)
{
    int64_t q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
    return q;
}

// Days since 1970-01-01 of a proleptic Gregorian date; month and day may
// overflow in either direction (normalised like timegm).
int64_t daysFromCivil(int64_t y, int64_t m, int64_t d)
{
    int64_t m0 = m - 1;
    y += floorDiv(m0, 12);
    m = m0 - floorDiv(m0, 12) * 12 + 1;
    y -= m <= 2 ? 1 : 0;
    int64_t era = floorDiv(y, 400);
    int64_t yoe = y - era * 400;
    int64_t mp = (m + 9) % 12;
    int64_t doy = (153 * mp + 2) / 5;
    int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468 + (d - 1);
}

struct Civil {
    int y, m, d, h, mi, s, wday;
};

Civil civilFromSeconds(int64_t secs)
{
    int64_t days = floorDiv(secs, 86400);
    int64_t rem = secs - days * 86400;
    Civil c;
    c.h = static_cast<int>(rem / 3600);
    c.mi = static_cast<int>(rem % 3600 / 60);
    c.s = static_cast<int>(rem % 60);
    c.wday = static_cast<int>(floorDiv(days + 4, 7) * -7 + days + 4);  // 1970-01-01 was a Thursday
    int64_t z = days + 719468;
    int64_t era = floorDiv(z, 146097);
    int64_t doe = z - era * 146097;
    int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    int64_t mp = (5 * doy + 2) / 153;
    int64_t d = doy - (153 * mp + 2) / 5 + 1;
    int64_t m = mp < 10 ? mp + 3 : mp - 9;
    int64_t y = yoe + era * 400 + (m <= 2 ? 1 : 0);
    c.y = static_cast<int>(y);
    c.m = static_cast<int>(m);
    c.d = static_cast<int>(d);
    return c;
}

int64_t civilSeconds(int64_t y, int64_t m, int64_t d, int64_t h, int64_t mi, int64_t s)
{
    return daysFromCivil(y, m, d) * 86400 + h * 3600 + mi * 60 + s;
}

void fmtDate(char* out, int y, int m, int d)
{
    std::snprintf(out, COM_DATE_SIZE, "%04d%02d%02d", y, m, d);
}

void fmtStamp(char* out, const Civil& c)
{
    std::snprintf(out, COM_STAMP_SIZE, "%04d%02d%02d%02d%02d%02d", c.y, c.m, c.d, c.h, c.mi, c.s);
}

void ensureZone()
{
    if (g_zone[0] == '\0') {
        std::strcpy(g_zone, "+0900");
        std::strcpy(g_dst, "0");
    }
}

void copyCut(char* dst, const char* src)
{
    std::snprintf(dst, COM_ZONE_SIZE, "%s", src);
}

bool nowUtc(Civil* c)
{
    struct timeval tv;
    if (gettimeofday(&tv, nullptr) != 0) return false;
    *c = civilFromSeconds(static_cast<int64_t>(tv.tv_sec));
    return true;
}

bool nowLocal(struct tm* tmv, long* usec)
{
    struct timeval tv;
    if (gettimeofday(&tv, nullptr) != 0) return false;
    time_t t = tv.tv_sec;
    if (localtime_r(&t, tmv) == nullptr) return false;
    *usec = static_cast<long>(tv.tv_usec);
    return true;
}

// Copies a formatted text into out (size bytes), cut to fit.
void copyOut(char* out, size_t size, const char* text)
{
    size_t n = std::strlen(text);
    if (n >= size) n = size - 1;
    std::memcpy(out, text, n);
    out[n] = '\0';
}

// The local time now as written by format(buf, size, tm, usec), cut to
// size bytes of out; an empty text (false) when the clock cannot be read.
template <class Format>
bool localNowText(char* out, size_t size, Format format)
{
    struct tm tmv;
    long usec;
    if (!nowLocal(&tmv, &usec)) {
        out[0] = '\0';
        return false;
    }
    char buf[80];
    format(buf, sizeof buf, tmv, usec);
    copyOut(out, size, buf);
    return true;
}

bool isDigits(const char* s, size_t n)
{
    for (size_t i = 0; i < n; ++i)
        if (s[i] < '0' || s[i] > '9') return false;
    return true;
}

}  // namespace

// ---- current time ----------------------------------------------------------

int comTimeNowText(char* out, int zoned)
{
    if (out == nullptr) return -9;
    if (zoned) return comTimeNowZoned(out);
    Civil c;
    if (!nowUtc(&c)) {
        out[0] = '\0';
        return -1;
    }
    fmtStamp(out, c);
    return 0;
}

int comTimeNowZoned(char* out)
{
    if (out == nullptr) return -9;
    char date[COM_DATE_SIZE];
    char tim[COM_TIME_SIZE];
    int ret = comTimeNowZonedParts(date, COM_DATE_SIZE, tim);
    if (ret != 0) {
        out[0] = '\0';
        return ret;
    }
    std::snprintf(out, COM_STAMP_SIZE, "%s%s", date, tim);
    return 0;
}

int comTimeNowZonedParts(char* dateOut, int /*size*/, char* timeOut)
{
    if (dateOut == nullptr || timeOut == nullptr) return -9;
    Civil c;
    if (!nowUtc(&c)) return -1;
    char date[COM_DATE_SIZE];
    char tim[COM_TIME_SIZE];
    fmtDate(date, c.y, c.m, c.d);
    std::snprintf(tim, sizeof tim, "%02d%02d%02d", c.h, c.mi, c.s);
    const char* dst = nullptr;
    const char* zone = comGetTimeZone(&dst);
    return comTimeToZone(date, tim, zone, dst, dateOut, timeOut) == 0 ? 0 : -1;
}

int comTimeNowLocal(char* out)
{
    if (out == nullptr) return -9;
    bool ok = localNowText(out, COM_STAMP_SIZE, [](char* buf, size_t size, const struct tm& t, long) {
        std::snprintf(buf, size, "%04d%02d%02d%02d%02d%02d", t.tm_year + 1900, t.tm_mon + 1,
                      t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
    });
    return ok ? 0 : -1;
}

int comDateNowText(char* out, int zoned)
{
    if (out == nullptr) return -9;
    char stamp[COM_STAMP_SIZE];
    int ret = comTimeNowText(stamp, zoned);
    std::snprintf(out, COM_DATE_SIZE, "%.8s", ret == 0 ? stamp : "");
    return ret;
}

void comTimeStamp(char* out)
{
    if (out == nullptr) return;
    localNowText(out, COM_TIMESTAMP_SIZE, [](char* buf, size_t size, const struct tm& t, long usec) {
        std::snprintf(buf, size, "%02d%02d%02d%02d%02d%06ld", t.tm_mon + 1, t.tm_mday, t.tm_hour,
                      t.tm_min, t.tm_sec, usec);
    });
}

void comLogStampMs(char* out)
{
    if (out == nullptr) return;
    localNowText(out, COM_LOGSTAMP_SIZE, [](char* buf, size_t size, const struct tm& t, long usec) {
        std::snprintf(buf, size, "%02d/%02d/%02d %02d:%02d:%02d.%03ld", t.tm_year + 1900,
                      t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec, usec / 1000);
    });
}

int64_t comNowMillis()
{
    struct timeval tv;
    gettimeofday(&tv, nullptr);
    return static_cast<int64_t>(tv.tv_sec) * 1000 + tv.tv_usec / 1000;
}

// ---- time zone ------------------------------------------------------------

const char* comGetTimeZone(const char** dstOut)
{
    ensureZone();
    if (dstOut != nullptr) *dstOut = g_dst;
    return g_zone;
}

void comSetTimeZone(const char* zone, const char* dst)
{
    if (zone == nullptr || dst == nullptr || std::strlen(zone) < 5) return;
    copyCut(g_zone, zone);
    copyCut(g_dst, dst);
}

int comTimeZoneEffective(char* out)
{
    if (out == nullptr) return -9;
    const char* dst = nullptr;
    const char* zone = comGetTimeZone(&dst);
    if (std::atoi(dst) != 60 || std::strlen(zone) < 3) {
        copyCut(out, zone);
        return 0;
    }
    char sign = zone[0];
    int hour = sliceInt(zone, 1, 2);
    if (sign == '+') {
        std::snprintf(out, COM_ZONE_SIZE, "%c%02d%s", sign, hour + 1, zone + 3);
    } else if (sign == '-' && hour == 0) {
        // one hour east of a negative offset below an hour
        int mins = 60 - sliceInt(zone, 3, 2);
        std::snprintf(out, COM_ZONE_SIZE, "+%02d%02d", mins / 60, mins % 60);
    } else if (sign == '-') {
        std::snprintf(out, COM_ZONE_SIZE, "%c%02d%s", sign, hour - 1, zone + 3);
    } else {
        copyCut(out, zone);
    }
    return 0;
}

int comTimeToZone(const char* date, const char* time, const char* zone, const char* dst,
                  char* dateOut, char* timeOut)
{
    return comTimeShiftZone(date, time, zone, dst, 1, dateOut, timeOut);
}

int comTimeShiftZone(const char* date, const char* time, const char* zone, const char* dst,
                     int direction, char* dateOut, char* timeOut)
{
    if (date == nullptr || time == nullptr || zone == nullptr || dateOut == nullptr ||
        timeOut == nullptr)
        return -1;
    Ymd ymd;
    int h, mi, s;
    if (!readDateAndTime(date, time, &ymd, &h, &mi, &s)) return -1;
    if (std::strlen(zone) != 5 || !isDigits(zone + 1, 4)) return -1;
    if (direction != 1 && direction != -1) return -1;
    if (zone[0] != '+' && zone[0] != '-') return -1;

    int64_t t = civilSeconds(ymd.y, ymd.m, ymd.d, h, mi, s);
    int64_t offset = sliceInt(zone, 1, 2) * 3600 + sliceInt(zone, 3, 2) * 60;
    t += (zone[0] == '+' ? 1 : -1) * direction * offset;
    t += static_cast<int64_t>(direction) * (dst != nullptr ? std::atoi(dst) : 0) * 60;
    Civil c = civilFromSeconds(t);
    fmtDate(dateOut, c.y, c.m, c.d);
    std::snprintf(timeOut, COM_TIME_SIZE, "%02d%02d%02d", c.h, c.mi, c.s);
    return 0;
}

int comStampToTime(const char* date, const char* time, time_t* out)
{
    if (date == nullptr || time == nullptr || out == nullptr) return -1;
    Ymd ymd;
    struct tm tmv;
    std::memset(&tmv, 0, sizeof tmv);
    if (!readDateAndTime(date, time, &ymd, &tmv.tm_hour, &tmv.tm_min, &tmv.tm_sec)) return -1;
    tmv.tm_year = ymd.y - 1900;
    tmv.tm_mon = ymd.m - 1;
    tmv.tm_mday = ymd.d;
    tmv.tm_isdst = 0;
    time_t t = mktime(&tmv);
    if (t == static_cast<time_t>(-1)) return -1;
    *out = t;
    return 0;
}

int comIsDigitsOrMinus(const char* text)
{
    if (text == nullptr) return -9;
    for (const char* p = text; *p; ++p)
        if ((*p < '0' || *p > '9') && *p != '-') return -9;
    return 0;
}

// ---- checks ---------------------------------------------------------------

int comDateTextCheck(const char* text)
{
    if (text == nullptr || std::strlen(text) < 8) return -1;
    char y[5], m[3], d[3];
    std::memcpy(y, text, 4);
    y[4] = '\0';
    std::memcpy(m, text + 4, 2);
    m[2] = '\0';
    std::memcpy(d, text + 6, 2);
    d[2] = '\0';
    return comYmdCheck(y, m, d);
}

int comYmdCheck(const char* year, const char* month, const char* day)
{
    if (year == nullptr || comMonthDayCheck(month, day) != 0) return -1;
    if (std::atoi(month) == 2 && std::atoi(day) == 29 && !comIsLeapYear(std::atoi(year)))
        return -1;
    return 0;
}

int comMonthDayCheck(const char* month, const char* day)
{
    if (month == nullptr || day == nullptr) return -1;
    int m = std::atoi(month);
    int d = std::atoi(day);
    if (m < 1 || m > 12 || d < 1) return -1;
    int max = ((0xa50 >> m) & 1) ? 30 : (m == 2 ? 29 : 31);
    return d <= max ? 0 : -1;
}

int comIsLeapYear(int year)
{
    if (year % 400 == 0) return 1;
    if (year % 4 != 0) return 0;
    return year % 100 != 0 ? 1 : 0;
}

int comDaysInMonth(int year, int month)
{
    if (month >= 0 && month < 32 && ((0xa50 >> month) & 1)) return 30;
    if (month == 2) return comIsLeapYear(year) ? 29 : 28;
    return 31;
}

int comHhmmCheck(const char* text)
{
    if (text == nullptr || !comIsInteger(text)) return -1;
    int v = std::atoi(text);
    if (v < 0) return -1;
    int h = v / 100, m = v % 100;
    return (h <= 24 && m <= 59) ? 0 : -1;
}

int comInLastWeek(int ymd)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "%d", ymd + 7);
    return comDateTextCheck(buf) != 0 ? 1 : 0;
}

// ---- arithmetic -------------------------------------------------------------

void comDateAddDays(const char* date, int days, char* out)
{
    if (out == nullptr) return;
    if (date == nullptr) {
        out[0] = '\0';
        return;
    }
    Ymd r = readDate(date);
    int64_t d = static_cast<int64_t>(r.d) + days;
    int y = r.y, m = r.m;
    if (m < 1 || m > 12) {
        // normalise a month outside 1..12 first so the carry loops end
        int64_t m0 = static_cast<int64_t>(m) - 1;
        y += static_cast<int>(floorDiv(m0, 12));
        m = static_cast<int>(m0 - floorDiv(m0, 12) * 12 + 1);
    }
    while (d > comDaysInMonth(y, m)) {
        d -= comDaysInMonth(y, m);
        if (++m > 12) {
            m = 1;
            ++y;
        }
    }
    while (d < 1) {
        if (--m < 1) {
            m = 12;
            --y;
        }
        d += comDaysInMonth(y, m);
    }
    fmtDate(out, y, m, static_cast<int>(d));
}

void comDateAddDaysMk(const char* date, int days, char* out)
{
    if (out == nullptr) return;
    if (date == nullptr) {
        out[0] = '\0';
        return;
    }
    Ymd r = readDate(date);
    Civil c = civilFromSeconds(civilSeconds(r.y, r.m, static_cast<int64_t>(r.d) + days, 0, 0, 0));
    fmtDate(out, c.y, c.m, c.d);
}

int comDateAddDaysEx(const char* date, int days, char* out, int* weekday)
{
    if (date == nullptr) return -99;
    if (std::strlen(date) < 8) return -1;
    char d8[9];
    std::memcpy(d8, date, 8);
    d8[8] = '\0';
    if (!comIsInteger(d8)) return -2;
    if (comDateTextCheck(d8) != 0) return -3;
    Ymd r = readDate(d8);
    Civil c = civilFromSeconds(civilSeconds(r.y, r.m, static_cast<int64_t>(r.d) + days, 0, 0, 0));
    if (out != nullptr) std::sprintf(out, "%d", c.y * 10000 + c.m * 100 + c.d);
    if (weekday != nullptr) *weekday = c.wday;
    return 0;
}

void comDateAddMonths(const char* date, int months, char* out)
{
    if (out == nullptr) return;
    if (date == nullptr) {
        out[0] = '\0';
        return;
    }
    Ymd r = readDate(date);
    int64_t total = static_cast<int64_t>(r.y) * 12 + (r.m - 1) + months;
    int y = static_cast<int>(floorDiv(total, 12));
    int m = static_cast<int>(total - floorDiv(total, 12) * 12 + 1);
    int d = r.d;
    if (d > comDaysInMonth(y, m)) d = comDaysInMonth(y, m);
    fmtDate(out, y, m, d);
}

void comMonthLastDay(const char* date, char* out)
{
    if (out == nullptr) return;
    if (date == nullptr) {
        out[0] = '\0';
        return;
    }
    Ymd r = readDate(date);
    char first[COM_DATE_SIZE];
    char next[COM_DATE_SIZE];
    fmtDate(first, r.y, r.m, 1);
    comDateAddMonths(first, 1, next);
    comDateAddDays(next, -1, out);
}

void comWeekMonday(const char* date, char* out)
{
    if (out == nullptr) return;
    if (date == nullptr) {
        out[0] = '\0';
        return;
    }
    Ymd r = readDate(date);
    int wd = comDayOfWeek(r.y, r.m, r.d);
    if (wd == 1) {
        std::snprintf(out, COM_DATE_SIZE, "%.8s", date);
        return;
    }
    comDateAddDays(date, wd == 0 ? -6 : -(wd - 1), out);
}

int comDayOfWeek(int year, int month, int day)
{
    if (month == 1 || month == 2) {
        month += 12;
        --year;
    }
    int r = (year + year / 4 - year / 100 + year / 400 + (13 * month + 8) / 5 + day) % 7;
    return r < 0 ? r + 7 : r;
}

int comWeekOfMonth(int ymd)
{
    return (ymd % 100 + 6) / 7;
}

void comStampAddHours(const char* stamp, int hours, char* out)
{
    if (out == nullptr) return;
    out[0] = '\0';
    if (stamp == nullptr) return;
    Ymd r = readDate(stamp);
    int h, mi, s;
    readStampTime(stamp, &h, &mi, &s);
    Civil c = civilFromSeconds(civilSeconds(r.y, r.m, r.d, static_cast<int64_t>(h) + hours, mi, 0));
    fmtStamp(out, c);
}

void comStampAddMinutes(const char* stamp, int minutes, char* out)
{
    if (out == nullptr) return;
    out[0] = '\0';
    if (stamp == nullptr) return;
    Ymd r = readDate(stamp);
    int h, mi, s;
    readStampTime(stamp, &h, &mi, &s);
    Civil c = civilFromSeconds(civilSeconds(r.y, r.m, r.d, h, static_cast<int64_t>(mi) + minutes, s));
    std::snprintf(out, 13, "%04d%02d%02d%02d%02d", c.y, c.m, c.d, c.h, c.mi);
}

int comHhmmAddMinutes(int hhmm, int minutes)
{
    int m = hhmm % 100 + minutes;
    int h = hhmm / 100;
    if (m >= 60) {
        h += m / 60;
        m %= 60;
    }
    return h * 100 + m;
}

long long comStampDiffSeconds(const char* first, const char* second)
{
    if (first == nullptr || second == nullptr) return 0;
    auto secs = [](const char* st) {
        Ymd r = readDate(st);
        int h, mi, s;
        readStampTime(st, &h, &mi, &s);
        return civilSeconds(r.y, r.m, r.d, h, mi, s);
    };
    return static_cast<long long>(secs(second) - secs(first));
}

int comDateDiffDays(const char* first, const char* second)
{
    if (first == nullptr || second == nullptr) return 0;
    Ymd a = readDate(first);
    Ymd b = readDate(second);
    return static_cast<int>(daysFromCivil(b.y, b.m, b.d) - daysFromCivil(a.y, a.m, a.d));
}

int comMonthDiff(const char* first, const char* second)
{
    if (first == nullptr || second == nullptr) return 0;
    Ymd a = readDate(first);
    Ymd b = readDate(second);
    return (b.y - a.y) * 12 + b.m - a.m;
}

int comDaysSince(const char* date)
{
    if (date == nullptr) return 1;
    if (comDateTextCheck(date) != 0 && std::strncmp(date, "00000000", 8) != 0) return 1;
    char today[COM_DATE_SIZE];
    if (comDateNowText(today, 0) != 0) return 0;
    return comDateDiffDays(date, today);
}

void comStampDateSlash(const char* stamp, char* out)
{
    if (out == nullptr) return;
    if (stamp == nullptr || stamp[0] == '\0') {
        out[0] = '\0';
        return;
    }
    Ymd r = readDate(stamp);
    std::snprintf(out, 16, "%d/%d/%d", r.y, r.m, r.d);
}

void comStampDateTimeSlash(const char* stamp, char* out)
{
    if (out == nullptr) return;
    if (stamp == nullptr) {
        out[0] = '\0';
        return;
    }
    Ymd r = readDate(stamp);
    int h, mi, s;
    readStampTime(stamp, &h, &mi, &s);
    std::snprintf(out, 24, "%d/%d/%d %2d:%02d", r.y, r.m, r.d, h, mi);
}

void comMonthGrid(int year, int month, int mondayFirst, int out[42])
{
    if (out == nullptr) return;
    for (int i = 0; i < 42; ++i) out[i] = 0;
    int wd = comDayOfWeek(year, month, 1);
    int lead = wd;
    if (mondayFirst) lead = wd == 0 ? 6 : wd - 1;
    char first[COM_DATE_SIZE];
    fmtDate(first, year, month, 1);
    int cell = 0;
    for (int k = lead; k >= 1; --k) {
        char prev[COM_DATE_SIZE];
        comDateAddDays(first, -k, prev);
        out[cell++] = std::atoi(prev);
    }
    int len = comDaysInMonth(year, month);
    for (int d = 1; d <= len && cell < 42; ++d) out[cell++] = year * 10000 + month * 100 + d;
    char last[COM_DATE_SIZE];
    fmtDate(last, year, month, len);
    for (int k = 1; cell % 7 != 0 && cell < 42; ++k) {
        char next[COM_DATE_SIZE];
        comDateAddDays(last, k, next);
        out[cell++] = std::atoi(next);
    }
}
