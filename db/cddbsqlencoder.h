// Builders of SQL text pieces: quoted literals, LIKE conditions, TO_CHAR
// expressions and time-stamp literals. Column names, expressions and
// formats are inserted as given: pass trusted identifiers only.
#ifndef CDDBSQLENCODER_H
#define CDDBSQLENCODER_H

#include "nstring.h"

class CdDBConnection;

// like() mode bits.
enum {
    CDDB_LIKE_NO_LEADING = 0x1,    // starts with
    CDDB_LIKE_NO_TRAILING = 0x2,   // ends with
    CDDB_LIKE_CONTAINS = 0x4,      // keeps both '%'
    CDDB_LIKE_COLUMN_LOWER = 0x100,
    CDDB_LIKE_COLUMN_UPPER = 0x200,  // with 0x100
    CDDB_LIKE_PATTERN_LOWER = 0x400,
    CDDB_LIKE_PATTERN_UPPER = 0x800, // with 0x400
    CDDB_LIKE_ILIKE = 0xF00
};

class CdDBSqlEncoder {
public:
    enum { DIALECT_NONE = 0, DIALECT_POSTGRESQL = 1 };

    CdDBSqlEncoder(int dialect, CdDBConnection* connection, bool backslashFlag);
    virtual ~CdDBSqlEncoder() = default;

    // out = text escaped for use inside '...'. 0; -1101 without dialect or
    // connection; -1102 out of memory.
    virtual int escape(NString& out, const char* text) const;
    // out = "<column> [NOT ]LIKE '<pattern>' escape '\'" (see mode bits).
    // -1099 for an empty column or pattern (out unchanged).
    virtual int like(NString& out, const char* column, const char* pattern, unsigned mode,
                     bool negate) const;
    virtual int toChar(NString& out, const char* expression, const char* format,
                       const char* zone) const;
    // value14: YYYYMMDDhhmmss digits (a shorter value is completed from
    // 00000101000000). zone: empty for the connection's zone. -1099 for a
    // value that is empty, too long or not digits, or an unusable zone.
    virtual int timestampLiteral(NString& out, const char* value14, const char* zone) const;
    // out = "YYYY-MM-DD hh:mm:ss" from six decimal texts (no text = 0). 0.
    virtual int formatDateTime(NString& out, const NString& year, const NString& month,
                               const NString& day, const NString& hour, const NString& minute,
                               const NString& second) const;
    // Backslash handling used while the server's setting is unknown.
    virtual void setBackslashFlag(bool flag);
    bool getBackslashFlag() const { return backslashFlag != 0; }
    // Whether backslashes are doubled: the server's standard_conforming_strings
    // when the connection knows it, else the flag.
    bool usesBackslashEscapes() const;

    int getDialect() const { return dialect; }
    CdDBConnection* getConnection() const { return connection; }

    // Escapes text; bytes of `specials` are preceded by the escape character.
    static int escapeText(NString& out, const char* text, const char* specials, bool backslash);
    // A time-zone text that may stand in SQL: [+-]hh[:mm] or a zone name.
    static bool isSafeZone(const char* zone);

protected:
    bool usable() const { return dialect != DIALECT_NONE && connection != nullptr; }

    int dialect;
    CdDBConnection* connection;
    unsigned char backslashFlag;
};

class CdDBSqlEncoder_PG : public CdDBSqlEncoder {
public:
    CdDBSqlEncoder_PG(CdDBConnection* connection, bool backslashFlag = false)
        : CdDBSqlEncoder(DIALECT_POSTGRESQL, connection, backslashFlag)
    {
    }
};

#endif
