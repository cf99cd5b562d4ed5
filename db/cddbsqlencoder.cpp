#include "cddbsqlencoder.h"

#include <cctype>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "cddbcodes.h"
#include "cddbconnection.h"

CdDBSqlEncoder::CdDBSqlEncoder(int d, CdDBConnection* c, bool flag)
    : dialect(d), connection(c), backslashFlag(flag ? 1 : 0)
{
}

void CdDBSqlEncoder::setBackslashFlag(bool flag)
{
    backslashFlag = flag ? 1 : 0;
}

bool CdDBSqlEncoder::usesBackslashEscapes() const
{
    int server = connection != nullptr ? connection->serverBackslashEscapes() : -1;
    return server >= 0 ? server == 1 : backslashFlag != 0;
}

// Bytes of 0x80 and above are copied as they are. ASCII bytes never occur
// inside a UTF-8 sequence, so walking byte by byte keeps multi-byte
// characters intact and still escapes every quote and backslash of
// ill-formed text.
int CdDBSqlEncoder::escapeText(NString& out, const char* text, const char* specials,
                               bool backslash)
{
    if (text == nullptr) {
        out = NString("");
        return 0;
    }
    size_t len = strlen(text);
    std::string buf;
    try {
        buf.reserve(len * 2 + 1);
        for (size_t i = 0; i < len; i++) {
            char c = text[i];
            if (static_cast<unsigned char>(c) >= 0x80) {
                buf += c;
            } else if (specials != nullptr && strchr(specials, c) != nullptr) {
                buf += backslash ? "\\\\" : "\\";
                buf += c;
                if (c == '\\' && backslash) {
                    buf += "\\";
                }
            } else if (c == '\'') {
                buf += "''";
            } else if (c == '\\') {
                buf += backslash ? "\\\\" : "\\";
            } else {
                buf += c;
            }
        }
    } catch (const std::bad_alloc&) {
        return CDDB_ERR_MEMORY;
    }
    out = NString(buf.c_str(), static_cast<int>(buf.size()));
    return 0;
}

bool CdDBSqlEncoder::isSafeZone(const char* zone)
{
    if (zone == nullptr || zone[0] == '\0' || strlen(zone) > 63) {
        return false;
    }
    if (zone[0] == '+' || zone[0] == '-') {
        // [+-]h[h][:mm]
        const char* p = zone + 1;
        int digits = 0;
        while (isdigit(static_cast<unsigned char>(*p)) && digits < 2) {
            p++;
            digits++;
        }
        if (digits == 0) {
            return false;
        }
        if (*p == ':') {
            if (!isdigit(static_cast<unsigned char>(p[1])) ||
                !isdigit(static_cast<unsigned char>(p[2]))) {
                return false;
            }
            p += 3;
        }
        return *p == '\0';
    }
    for (const char* p = zone; *p; p++) {
        unsigned char c = static_cast<unsigned char>(*p);
        if (!isalnum(c) && strchr("/_+-:", c) == nullptr) {
            return false;
        }
    }
    return true;
}

int CdDBSqlEncoder::escape(NString& out, const char* text) const
{
    if (!usable()) {
        return CDDB_ERR_NO_RESULT;
    }
    return escapeText(out, text, nullptr, usesBackslashEscapes());
}

int CdDBSqlEncoder::like(NString& out, const char* column, const char* pattern, unsigned mode,
                         bool negate) const
{
    if (!usable()) {
        return CDDB_ERR_NO_RESULT;
    }
    if (column == nullptr || column[0] == '\0' || pattern == nullptr || pattern[0] == '\0') {
        return CDDB_ERR_ARG;
    }
    bool backslash = usesBackslashEscapes();
    NString escaped;
    int ret = escapeText(escaped, pattern, "_%\\", backslash);
    if (ret != 0) {
        return ret;
    }
    bool leading = (mode & CDDB_LIKE_NO_LEADING) == 0 || (mode & CDDB_LIKE_CONTAINS) != 0;
    bool trailing = (mode & CDDB_LIKE_NO_TRAILING) == 0 || (mode & CDDB_LIKE_CONTAINS) != 0;
    bool ilike = (mode & CDDB_LIKE_ILIKE) == CDDB_LIKE_ILIKE;
    const char* columnWrap = "";
    const char* patternWrap = "";
    if (!ilike) {
        if (mode & CDDB_LIKE_COLUMN_LOWER) {
            columnWrap = (mode & CDDB_LIKE_COLUMN_UPPER) ? "UPPER(" : "LOWER(";
        }
        if (mode & CDDB_LIKE_PATTERN_LOWER) {
            patternWrap = (mode & CDDB_LIKE_PATTERN_UPPER) ? "UPPER(" : "LOWER(";
        }
    }
    NString result;
    result.format("%s%s%s %s%s %s'%s%s%s'%s%s", columnWrap, column, columnWrap[0] ? ")" : "",
                  negate ? "NOT " : "", ilike ? "ILIKE" : "LIKE", patternWrap,
                  leading ? "%" : "", escaped.c_str(), trailing ? "%" : "",
                  patternWrap[0] ? ")" : "", backslash ? " escape '\\\\'" : " escape '\\'");
    out = result;
    return 0;
}

int CdDBSqlEncoder::toChar(NString& out, const char* expression, const char* format,
                           const char* zone) const
{
    if (!usable()) {
        return CDDB_ERR_NO_RESULT;
    }
    if (expression == nullptr || format == nullptr) {
        return CDDB_ERR_ARG;
    }
    if (zone != nullptr && zone[0] != '\0') {
        if (!isSafeZone(zone)) {
            return CDDB_ERR_ARG;
        }
        out.format("TO_CHAR(%s AT TIME ZONE INTERVAL '%s','%s')", expression, zone, format);
    } else {
        out.format("TO_CHAR(%s ,'%s')", expression, format);
    }
    return 0;
}

int CdDBSqlEncoder::timestampLiteral(NString& out, const char* value14, const char* zone) const
{
    if (!usable()) {
        return CDDB_ERR_NO_RESULT;
    }
    static const char fill[] = "00000101000000";
    if (value14 == nullptr) {
        return CDDB_ERR_ARG;
    }
    size_t len = strlen(value14);
    if (len == 0 || len > 14) {
        return CDDB_ERR_ARG;
    }
    char v[15];
    for (size_t i = 0; i < 14; i++) {
        char c = i < len ? value14[i] : fill[i];
        if (!isdigit(static_cast<unsigned char>(c))) {
            return CDDB_ERR_ARG;
        }
        v[i] = c;
    }
    v[14] = '\0';
    const char* useZone = zone;
    if (useZone == nullptr || useZone[0] == '\0') {
        useZone = connection->getTimeZone();
    }
    if (useZone != nullptr && useZone[0] != '\0') {
        if (!isSafeZone(useZone)) {
            return CDDB_ERR_ARG;
        }
        out.format("TIMESTAMP WITH TIME ZONE '%.4s-%.2s-%.2s %.2s:%.2s:%.2s %s'", v, v + 4, v + 6,
                   v + 8, v + 10, v + 12, useZone);
    } else {
        out.format("TIMESTAMP WITHOUT TIME ZONE '%.4s-%.2s-%.2s %.2s:%.2s:%.2s'", v, v + 4, v + 6,
                   v + 8, v + 10, v + 12);
    }
    return 0;
}

static int partNumber(const NString& part)
{
    long n = strtol(part.c_str(), nullptr, 10);
    if (n > INT_MAX) {
        return INT_MAX;
    }
    if (n < INT_MIN) {
        return INT_MIN;
    }
    return static_cast<int>(n);
}

int CdDBSqlEncoder::formatDateTime(NString& out, const NString& year, const NString& month,
                                   const NString& day, const NString& hour, const NString& minute,
                                   const NString& second) const
{
    out.format("%04d-%02d-%02d %02d:%02d:%02d", partNumber(year), partNumber(month),
               partNumber(day), partNumber(hour), partNumber(minute), partNumber(second));
    return 0;
}
