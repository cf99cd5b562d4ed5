// Search predicate of one condition on one physical column, per search
// family. Values reach the SQL text only after a check (numbers, dates,
// time spans, counts) or through the encoder's escape and like.
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "cddbsqlencoder.h"
#include "comstr.h"
#include "comtrace.h"
#include "rvdbSql.h"
#include "rvdbphys.h"
#include "rvvalidator.h"
#include "rvvalueparts.h"

#define RVDBSQL_TRACE(...) COMTRACE_SRC("rvdbSql", __VA_ARGS__)

namespace {

enum Method {
    M_OTHER,
    M_EQ,
    M_NE,
    M_LT,
    M_LE,
    M_GT,
    M_GE,
    M_LIKE,
    M_NOT_LIKE,
    M_LLIKE,
    M_RLIKE
};

Method readMethod(const char* text)
{
    static const struct {
        const char* name;
        Method method;
    } exact[] = { { "==", M_EQ }, { "!=", M_NE }, { "<", M_LT },
                  { "<=", M_LE }, { ">", M_GT },  { ">=", M_GE } };
    for (const auto& e : exact) {
        if (strcmp(text, e.name) == 0)
            return e.method;
    }
    static const struct {
        const char* name;
        Method method;
    } caseless[] = { { "Like", M_LIKE }, { "!Like", M_NOT_LIKE }, { "LLike", M_LLIKE },
                     { "RLike", M_RLIKE } };
    for (const auto& e : caseless) {
        if (comStrCaseCmp(text, e.name) == 0)
            return e.method;
    }
    return M_OTHER;
}

bool isOrdering(Method m)
{
    return m == M_LT || m == M_LE || m == M_GT || m == M_GE;
}

RvResult methodError(const char* traceFormat, const char* method)
{
    RVDBSQL_TRACE(traceFormat, method);
    return RvResult(RVDB_SQL_ERR_METHOD);
}

RvResult typeError(int type)
{
    RVDBSQL_TRACE("type[%d]", type);
    return RvResult(RVDB_SQL_ERR_METHOD);
}

RvResult checkFailure(const RvCheckResult& check, const RvdbColumnSet& set, const char* value)
{
    NString message = rvValidatorMakeMessage(check, set.getColLname().c_str());
    RVDBSQL_TRACE("ret[%d] msg[%s] val[%s]", check.code, message.c_str(), value);
    return RvResult(check.code, message);
}

RvResult quoted(const CdDBSqlEncoder* enc, const char* value, NString& out)
{
    NString escaped;
    int code = enc->escape(escaped, value);
    if (code != 0) {
        RVDBSQL_TRACE("ret[%d]", code);
        return RvResult(code);
    }
    out.format("'%s'", escaped.c_str());
    return RvResult();
}

RvResult likeText(const CdDBSqlEncoder* enc, const char* col, const char* value, unsigned mode,
                  bool negate, NString& out)
{
    int code = enc->like(out, col, value, mode, negate);
    if (code != 0) {
        RVDBSQL_TRACE("ret[%d]", code);
        return RvResult(code);
    }
    return RvResult();
}

// [-]digits[.digits] with at least one digit, or [-].digits: the only
// forms that enter the SQL text unquoted.
bool isPlainNumber(const char* text)
{
    const char* p = text;
    if (*p == '-')
        p++;
    int digits = 0;
    while (isdigit(static_cast<unsigned char>(*p))) {
        p++;
        digits++;
    }
    if (*p == '.') {
        p++;
        while (isdigit(static_cast<unsigned char>(*p))) {
            p++;
            digits++;
        }
    }
    return *p == '\0' && digits > 0;
}

// Optional '-', 1 to 9 digits.
bool readSmallInt(const char* text, long& value)
{
    const char* p = text;
    if (*p == '-')
        p++;
    size_t n = strlen(p);
    if (n == 0 || n > 9)
        return false;
    for (const char* q = p; *q; q++) {
        if (!isdigit(static_cast<unsigned char>(*q)))
            return false;
    }
    value = strtol(text, nullptr, 10);
    return true;
}

// Comparison of an expression with a value text by one of the six methods
// ("!=" also matches empty cells); false for another method.
bool compareText(Method m, const char* col, const char* value, NString& out)
{
    NString text;
    switch (m) {
    case M_EQ:
        text.format("%s=%s", col, value);
        break;
    case M_NE:
        text.format("%s<>%s OR %s IS NULL", col, value, col);
        break;
    case M_LT:
        text.format("%s<%s", col, value);
        break;
    case M_LE:
        text.format("%s<=%s", col, value);
        break;
    case M_GT:
        text.format("%s>%s", col, value);
        break;
    case M_GE:
        text.format("%s>=%s", col, value);
        break;
    default:
        return false;
    }
    out = text;
    return true;
}

// Number, date-time and time-span families with no value: "==" finds empty
// cells, "!=" filled ones, the orderings nothing.
bool emptyComparison(Method m, const char* col, NString& out)
{
    if (m == M_EQ) {
        out.format("%s IS NULL", col);
        return true;
    }
    if (m == M_NE) {
        out.format("%s IS NOT NULL", col);
        return true;
    }
    return isOrdering(m) && compareText(m, col, "NULL", out);
}

// Lines of a selection value (CR dropped, empty lines skipped).
std::vector<std::string> selectionValues(const char* text)
{
    std::vector<std::string> values;
    std::string line;
    for (const char* p = text;; p++) {
        if (*p == '\n' || *p == '\0') {
            if (!line.empty())
                values.push_back(line);
            line.clear();
            if (*p == '\0')
                break;
        } else if (*p != '\r') {
            line += *p;
        }
    }
    return values;
}

// The "is empty" and "is not empty" conditions: true when type is one of
// them and out holds its predicate.
bool emptyTest(int type, const char* col, NString& out)
{
    if (type != RVDB_COND_EMPTY && type != RVDB_COND_NOT_EMPTY)
        return false;
    out.format(type == RVDB_COND_EMPTY ? "%s IS NULL" : "%s IS NOT NULL", col);
    return true;
}

// ---- text (2) and attachment file name (7)

RvResult textPredicate(int type, Method m, const char* method, const char* col,
                       const NString& value, const CdDBSqlEncoder* enc, NString& out)
{
    if (emptyTest(type, col, out))
        return RvResult();
    bool empty = value.isNullOrEmpty();
    NString text;
    RvResult ret;
    switch (m) {
    case M_EQ:
    case M_NE:
        if (empty) {
            text.format(m == M_EQ ? "%s IS NULL" : "%s IS NOT NULL", col);
            break;
        }
        {
            NString q;
            ret = quoted(enc, value.c_str(), q);
            if (ret.isError())
                return ret;
            if (m == M_EQ)
                text.format("%s=%s", col, q.c_str());
            else
                text.format("%s<>%s OR %s IS NULL", col, q.c_str(), col);
        }
        break;
    case M_LIKE:
        if (empty)
            return RvResult();
        ret = likeText(enc, col, value.c_str(), CDDB_LIKE_CONTAINS, false, text);
        break;
    case M_LLIKE:
    case M_RLIKE:
    case M_NOT_LIKE:
        if (empty) {
            text.format("%s=NULL", col);
            break;
        }
        if (m == M_NOT_LIKE) {
            NString like;
            ret = likeText(enc, col, value.c_str(), CDDB_LIKE_CONTAINS, true, like);
            if (!ret.isError())
                text.format("%s OR %s IS NULL", like.c_str(), col);
        } else {
            ret = likeText(enc, col, value.c_str(),
                           m == M_LLIKE ? CDDB_LIKE_NO_LEADING : CDDB_LIKE_NO_TRAILING, false,
                           text);
        }
        break;
    default:
        return methodError("method[%s]", method);
    }
    if (ret.isError())
        return ret;
    out = text;
    return RvResult();
}

// ---- number (1)

RvResult numberPredicate(int type, Method m, const char* method, const char* col,
                         const NString& value, const RvdbColumnSet& set,
                         const CdDBSqlEncoder* enc, NString& out)
{
    if (emptyTest(type, col, out))
        return RvResult();
    bool empty = value.isNullOrEmpty();
    if (!empty) {
        RvCheckResult check = rvValidatorCheckDecimal(value.c_str(), 15, 5,
                                                      "-999999999999999.99999",
                                                      "999999999999999.99999");
        if (!check.isError() && !isPlainNumber(value.c_str()))
            check = RvCheckResult(RV_VALID_NUMBER);
        if (check.isError())
            return checkFailure(check, set, value.c_str());
    }
    NString text;
    RvResult ret;
    switch (m) {
    case M_EQ:
    case M_NE:
    case M_LT:
    case M_LE:
    case M_GT:
    case M_GE:
        if (empty)
            emptyComparison(m, col, text);
        else
            compareText(m, col, value.c_str(), text);
        break;
    case M_LIKE:
    case M_LLIKE:
    case M_RLIKE:
    case M_NOT_LIKE: {
        if (m == M_LIKE && empty)
            return RvResult();
        if (empty) {
            text.format("%s=NULL", col);
            break;
        }
        NString textCol;
        textCol.format("(%s || '')", col);
        if (m == M_NOT_LIKE) {
            NString like;
            ret = likeText(enc, textCol.c_str(), value.c_str(), CDDB_LIKE_CONTAINS, true, like);
            if (!ret.isError())
                text.format("%s OR %s IS NULL", like.c_str(), textCol.c_str());
        } else {
            unsigned mode = m == M_LIKE    ? CDDB_LIKE_CONTAINS
                            : m == M_LLIKE ? CDDB_LIKE_NO_LEADING
                                           : CDDB_LIKE_NO_TRAILING;
            ret = likeText(enc, textCol.c_str(), value.c_str(), mode, false, text);
        }
        break;
    }
    default:
        return methodError("method=%s", method);
    }
    if (ret.isError())
        return ret;
    out = text;
    return RvResult();
}

// ---- date-time (3)

// A date-time value: YYYYMMDDhhmmss cut after a whole part, the parts not
// given written as '*' ("2024**********"). digits = count of given digits
// (0, 4, 6, 8, 10, 12 or 14); false for another form.
bool readStampValue(const char* text, size_t& digits)
{
    size_t len = strlen(text);
    if (len > 14)
        return false;
    size_t d = 0;
    while (d < len && isdigit(static_cast<unsigned char>(text[d])))
        d++;
    for (size_t i = d; i < len; i++) {
        if (text[i] != '*')
            return false;
    }
    if (d != 0 && (d < 4 || d % 2 != 0))
        return false;
    digits = d;
    return true;
}

const char* truncFormat(int precision)
{
    static const char* const formats[] = {
        "date_trunc('year', %s)", "date_trunc('month', %s)", "date_trunc('day', %s)",
        "date_trunc('hour', %s)", "date_trunc('minute', %s)"
    };
    return precision >= 1 && precision <= 5 ? formats[precision - 1] : "%s";
}

int precisionOfDigits(size_t digits)
{
    return digits <= 4 ? 1 : static_cast<int>((digits - 4) / 2) + 1;
}

// Column and value side of a plain date-time value. precision 0: taken from
// the value. Both sides stay empty for an empty value.
RvResult plainDateSides(int precision, const NString& value, const RvdbColumnSet& set,
                        const char* col, const CdDBSqlEncoder* enc, NString& colSide,
                        NString& valueSide)
{
    const char* text = value.c_str();
    size_t digits = 0;
    if (!readStampValue(text, digits))
        return checkFailure(RvCheckResult(RV_VALID_DATETIME), set, text);
    if (digits == 0)
        return RvResult();
    if (precision == 0)
        precision = precisionOfDigits(digits);
    size_t needed = precision == 1 ? 4 : static_cast<size_t>(4 + 2 * (precision - 1));
    if (digits < needed)
        return checkFailure(RvCheckResult(RV_VALID_DATETIME), set, text);
    std::string stamp(text, needed);
    DateTimeParts parts;
    parts.parse(stamp.c_str());
    // Only the given parts are checked; the others keep their defaults.
    RvCheckResult check = rvValidatorCheckDateTime(parts, "", "", precision);
    if (check.isError())
        return checkFailure(check, set, text);
    NString literal;
    int code = enc->timestampLiteral(literal, stamp.c_str(), nullptr);
    if (code != 0) {
        RVDBSQL_TRACE("ret[%d] val[%s]", code, text);
        return RvResult(code);
    }
    colSide.format(truncFormat(precision), col);
    valueSide.format(truncFormat(precision), literal.c_str());
    return RvResult();
}

RvResult nowLiteral(const CdDBSqlEncoder* enc, NString& out)
{
    DateTimeParts now;
    int code = now.setNow();
    if (code == 0)
        code = enc->timestampLiteral(out, now.toString().c_str(), nullptr);
    if (code != 0) {
        RVDBSQL_TRACE("ret[%d]", code);
        return RvResult(code);
    }
    return RvResult();
}

RvResult datePredicate(int type, Method m, const char* method, const char* col,
                       const NString& value, const RvdbColumnSet& set,
                       const CdDBSqlEncoder* enc, NString& out)
{
    if (emptyTest(type, col, out))
        return RvResult();
    if (m == M_OTHER || m >= M_LIKE)
        return methodError("method[%s]", method);

    NString colSide;
    NString valueSide;
    RvResult ret;
    if (type >= 101 && type <= 112) {
        // today/yesterday/tomorrow, then week, month and year alike
        static const char* const units[] = { "day", "week", "month", "year" };
        const char* unit = units[(type - 101) / 3];
        int step = (type - 101) % 3;  // 0 this, 1 last, 2 next
        NString now;
        ret = nowLiteral(enc, now);
        if (ret.isError())
            return ret;
        colSide.format("date_trunc('%s', %s)", unit, col);
        if (step == 0)
            valueSide.format("date_trunc('%s', %s)", unit, now.c_str());
        else
            valueSide.format("date_trunc('%s', %s) %c interval '1 %s'", unit, now.c_str(),
                             step == 1 ? '-' : '+', unit);
    } else if (type == 114) {
        static const char* const days[] = { "Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat" };
        int found = -1;
        for (int i = 0; i < 7; i++) {
            if (comStrCaseCmp(value.c_str(), days[i]) == 0)
                found = i;
        }
        if (found < 0) {
            RVDBSQL_TRACE("val[%s]", value.c_str());
            return checkFailure(RvCheckResult(RV_VALID_INVALID), set, value.c_str());
        }
        colSide.format("date_part('dow', %s)", col);
        valueSide.format("%d", found);
    } else if (type >= 115 && type <= 120) {
        // the day that lies value days, months or years before / after today
        static const char* const units[] = { "day", "month", "year" };
        long count = 0;
        if (!readSmallInt(value.c_str(), count) || count < 0 || count > 100000)
            return checkFailure(RvCheckResult(RV_VALID_NUMBER), set, value.c_str());
        NString now;
        ret = nowLiteral(enc, now);
        if (ret.isError())
            return ret;
        int idx = (type - 115) / 2;
        bool before = (type - 115) % 2 == 0;
        colSide.format("date_trunc('day', %s)", col);
        valueSide.format("date_trunc('day', %s) %c interval '%d %s'", now.c_str(),
                         before ? '-' : '+', static_cast<int>(count), units[idx]);
    } else if (type == 201) {
        // now, to the second
        ret = nowLiteral(enc, valueSide);
        if (ret.isError())
            return ret;
        colSide = NString(col);
    } else if (type == RVDB_COND_VALUE || (type >= 301 && type <= 306)) {
        ret = plainDateSides(type == RVDB_COND_VALUE ? 0 : type - 300, value, set, col, enc,
                             colSide, valueSide);
        if (ret.isError())
            return ret;
        if (colSide.isNullOrEmpty()) {
            emptyComparison(m, col, out);
            return RvResult();
        }
    } else {
        return typeError(type);
    }
    compareText(m, colSide.c_str(), valueSide.c_str(), out);
    return RvResult();
}

// ---- time span (4): seconds in the column

// The value: a number of seconds, or "days:hours:minutes:seconds".
bool readTimeSpan(const char* text, TimeSpanParts& span)
{
    if (strchr(text, ':') == nullptr) {
        long seconds = 0;
        if (!readSmallInt(text, seconds))
            return false;
        span.parse(text);
        return true;
    }
    std::vector<std::string> parts;
    std::string part;
    for (const char* p = text;; p++) {
        if (*p == ':' || *p == '\0') {
            parts.push_back(part);
            part.clear();
            if (*p == '\0')
                break;
        } else {
            part += *p;
        }
    }
    if (parts.size() != 4)
        return false;
    NString* fields[4] = { &span.days, &span.hours, &span.minutes, &span.seconds };
    for (int i = 0; i < 4; i++) {
        long v = 0;
        if (parts[i].empty())
            parts[i] = "0";
        if (!readSmallInt(parts[i].c_str(), v))
            return false;
        *fields[i] = NString(parts[i].c_str());
    }
    return true;
}

RvResult timeSpanPredicate(int type, Method m, const char* method, const char* col,
                           const NString& value, const RvdbColumnSet& set, NString& out)
{
    if (emptyTest(type, col, out))
        return RvResult();
    if (m == M_OTHER || m >= M_LIKE)
        return methodError("method[%s]", method);
    if (value.isNullOrEmpty()) {
        emptyComparison(m, col, out);
        return RvResult();
    }
    TimeSpanParts span;
    RvCheckResult check;
    if (!readTimeSpan(value.c_str(), span))
        check = RvCheckResult(RV_VALID_TIMESPAN);
    else
        check = rvValidatorCheckTimeSpan(span);
    if (check.isError())
        return checkFailure(check, set, value.c_str());
    const NString* fields[4] = { &span.days, &span.hours, &span.minutes, &span.seconds };
    const char* texts[4];
    for (int i = 0; i < 4; i++)
        texts[i] = fields[i]->isNullOrEmpty() ? "0" : fields[i]->c_str();
    NString valueSide;
    valueSide.format("extract(epoch from interval '%s days %s hours %s minutes %s seconds')",
                     texts[0], texts[1], texts[2], texts[3]);
    compareText(m, col, valueSide.c_str(), out);
    return RvResult();
}

// ---- single selection (5): "==" / "Like" is one of the values, "!=" /
// "!Like" none of them (empty cells included).

RvResult selectPredicate(int type, Method m, const char* method, const char* col,
                         const NString& value, const CdDBSqlEncoder* enc, NString& out)
{
    if (emptyTest(type, col, out))
        return RvResult();
    bool positive = m == M_EQ || m == M_LIKE;
    if (!positive && m != M_NE && comStrCaseCmp(method, "!LIke") != 0)
        return methodError("method=[%s]", method);
    std::vector<std::string> values = selectionValues(value.c_str());
    if (values.empty()) {
        if (m == M_LIKE)
            return RvResult();
        if (m == M_EQ)
            out.format("%s IS NULL", col);
        else if (m == M_NE)
            out.format("%s IS NOT NULL", col);
        else
            out.format("%s=NULL", col);
        return RvResult();
    }
    std::vector<NString> escaped;
    for (const std::string& v : values) {
        NString e;
        int code = enc->escape(e, v.c_str());
        if (code != 0) {
            RVDBSQL_TRACE("ret[%d]", code);
            return RvResult(code);
        }
        escaped.push_back(e);
    }
    NString text;
    if (escaped.size() == 1) {
        if (positive)
            text.format("%s='%s'", col, escaped[0].c_str());
        else
            text.format("%s<>'%s' OR %s IS NULL", col, escaped[0].c_str(), col);
        out = text;
        return RvResult();
    }
    NStringBuffer any(256);
    for (size_t i = 0; i < escaped.size(); i++)
        any.appendf("%s%s='%s'", i == 0 ? "" : " OR ", col, escaped[i].c_str());
    if (positive) {
        text = NString(any.c_str());
    } else {
        NString negated;
        negated.format("NOT (%s)", any.c_str());
        text.format("(%s) OR %s IS NULL", negated.c_str(), col);
    }
    out = text;
    return RvResult();
}

// ---- multiple selection (6): the column holds LF + one value per line +
// LF. "==" exactly these values, "!=" not exactly these, "Like" all of
// them among others, "!Like" not all of them, "<=" only values among them.

RvResult selectsContainAll(const std::vector<std::string>& values, const char* col,
                           const CdDBSqlEncoder* enc, NString& out)
{
    NStringBuffer buf(256);
    for (size_t i = 0; i < values.size(); i++) {
        std::string line = "\n" + values[i] + "\n";
        NString like;
        RvResult ret = likeText(enc, col, line.c_str(), CDDB_LIKE_CONTAINS, false, like);
        if (ret.isError())
            return ret;
        if (i == 0)
            buf.append(like.c_str());
        else
            buf.appendf(" %s%s", "AND ", like.c_str());
    }
    out = NString(buf.c_str());
    return RvResult();
}

RvResult selectsSubset(const std::vector<std::string>& values, const char* col,
                       const CdDBSqlEncoder* enc, NString& out)
{
    NStringBuffer list(256);
    for (size_t i = 0; i < values.size(); i++) {
        NString e;
        int code = enc->escape(e, values[i].c_str());
        if (code != 0) {
            RVDBSQL_TRACE("ret[%d]", code);
            return RvResult(code);
        }
        list.appendf("%s'%s'", i == 0 ? "" : ",", e.c_str());
    }
    out.format("string_to_array(trim(both '\n' from %s), '\n') <@ ARRAY[%s]", col, list.c_str());
    return RvResult();
}

RvResult selectsPredicate(int type, Method m, const char* method, const char* col,
                          const NString& value, const CdDBSqlEncoder* enc, NString& out)
{
    if (emptyTest(type, col, out))
        return RvResult();
    if (m != M_EQ && m != M_NE && m != M_LIKE && m != M_NOT_LIKE && m != M_LE)
        return methodError("method[%s]", method);
    std::vector<std::string> values = selectionValues(value.c_str());
    NString text;
    if (values.empty()) {
        if (m == M_LIKE)
            return RvResult();
        if (m == M_EQ || m == M_LE)
            text.format("%s IS NULL", col);
        else if (m == M_NE)
            text.format("%s IS NOT NULL", col);
        else
            text.format("%s=NULL", col);
        out = text;
        return RvResult();
    }
    RvResult ret;
    if ((m == M_EQ || m == M_NE) && values.size() == 1) {
        NString e;
        int code = enc->escape(e, values[0].c_str());
        if (code != 0) {
            RVDBSQL_TRACE("ret[%d]", code);
            return RvResult(code);
        }
        if (m == M_EQ)
            text.format("%s='\n%s\n'", col, e.c_str());
        else
            text.format("%s<>'\n%s\n' OR %s IS NULL", col, e.c_str(), col);
        out = text;
        return RvResult();
    }
    NString subset;
    if (m == M_EQ || m == M_NE || m == M_LE) {
        ret = selectsSubset(values, col, enc, subset);
        if (ret.isError())
            return ret;
    }
    if (m == M_LE) {
        text.format("(%s IS NULL OR (%s))", col, subset.c_str());
        out = text;
        return RvResult();
    }
    NString all;
    ret = selectsContainAll(values, col, enc, all);
    if (ret.isError())
        return ret;
    NString body;
    if (m == M_EQ || m == M_NE)
        body.format("%s %s%s", all.c_str(), "AND ", subset.c_str());
    else
        body = all;
    NString group;
    group.format("(%s)", body.c_str());
    if (m == M_EQ || m == M_LIKE)
        text = group;
    else
        text.format("NOT (%s) OR %s IS NULL", group.c_str(), col);
    out = text;
    return RvResult();
}

// ---- file (8): the main column is a flag '1' when files are attached

RvResult filePredicate(int type, Method m, const char* method, const char* col,
                       const NString& value, const RvdbColumnSet& set,
                       const RvdbColumnSetList& columnSets, const CdDBSqlEncoder* enc,
                       NString& out)
{
    if (emptyTest(type, col, out))
        return RvResult();
    if (type != RVDB_COND_VALUE)
        return typeError(type);
    if (value.isNullOrEmpty()) {
        switch (m) {
        case M_EQ:
            out.format("(%s='%s' OR %s IS NULL)", col, "0", col);
            return RvResult();
        case M_NE:
            out.format("%s='%s'", col, "1");
            return RvResult();
        case M_LIKE:
            return RvResult();
        case M_NOT_LIKE:
            out.format("%s=NULL", col);
            return RvResult();
        default:
            return methodError("method[%s]", method);
        }
    }
    NString nameCond;
    RvResult ret;
    if (m == M_EQ || m == M_NE) {
        NString q;
        ret = quoted(enc, value.c_str(), q);
        if (ret.isError())
            return ret;
        nameCond.format("%s=%s", "file_name", q.c_str());
    } else if (m == M_LIKE || m == M_NOT_LIKE) {
        ret = likeText(enc, "file_name", value.c_str(), CDDB_LIKE_CONTAINS, false, nameCond);
        if (ret.isError())
            return ret;
    } else {
        return methodError("method[%s]", method);
    }

    const RvdbColumnSet* root = set.isRelRef() ? set.getRootColumnSet() : &set;
    long rootColId = 0;
    if (root == nullptr || !readSmallInt(root->getColId().c_str(), rootColId)) {
        RVDBSQL_TRACE("ret[%d] colid[%s]", RVDB_SQL_ERR_ARG, set.getColId().c_str());
        return RvResult(RVDB_SQL_ERR_ARG);
    }
    NString lobTable;
    rvdbMakeLobTableName(lobTable, root->getTblId());

    const std::vector<RvdbInnerColumn>& inner = set.getInnerColumns();
    NString keyExpr;
    if (inner.size() < 2) {
        RVDBSQL_TRACE("ret[%d] colid[%s]", RVDB_SQL_ERR_ARG, set.getColId().c_str());
        return RvResult(RVDB_SQL_ERR_ARG);
    }
    ret = rvdbGetQualifiedColumnName(set, inner[1], enc, keyExpr);
    if (ret.isError()) {
        RVDBSQL_TRACE("ret[%d] colid[%s]", ret.getCode(), set.getColId().c_str());
        return ret;
    }
    (void)columnSets;
    NString text;
    if (m == M_EQ || m == M_LIKE)
        text.format("%s IN (select distinct %s from %s where %s and %s=%ld)", keyExpr.c_str(),
                    "rvkey", lobTable.c_str(), nameCond.c_str(), "col_id", rootColId);
    else
        text.format("%s IS NULL OR %s NOT IN (select distinct %s from %s where %s and %s=%ld)",
                    keyExpr.c_str(), keyExpr.c_str(), "rvkey", lobTable.c_str(),
                    nameCond.c_str(), "col_id", rootColId);
    out = text;
    return RvResult();
}

}  // namespace

RvResult rvdbMakeColumnPredicate(int compValType, const NString& compType, const NString& compVal,
                                 const RvdbInnerColumn& innerColumn,
                                 const RvdbColumnSet& columnSet,
                                 const RvdbColumnSetList& columnSets,
                                 const CdDBSqlEncoder* encoder, NString& out)
{
    NString col;
    RvResult ret = rvdbGetQualifiedColumnName(columnSet, innerColumn, encoder, col);
    if (ret.isError()) {
        RVDBSQL_TRACE("ret[%d]", ret.getCode());
        return ret;
    }
    if (encoder == nullptr) {
        RVDBSQL_TRACE("ret[%d]", RVDB_SQL_ERR_ARG);
        return RvResult(RVDB_SQL_ERR_ARG);
    }
    const char* method = compType.c_str();
    Method m = readMethod(method);
    switch (innerColumn.searchKind) {
    case RVDB_SEARCH_TEXT:
    case RVDB_SEARCH_FILENAME:
        return textPredicate(compValType, m, method, col.c_str(), compVal, encoder, out);
    case RVDB_SEARCH_NUMBER:
        return numberPredicate(compValType, m, method, col.c_str(), compVal, columnSet, encoder,
                               out);
    case RVDB_SEARCH_DATETIME:
        return datePredicate(compValType, m, method, col.c_str(), compVal, columnSet, encoder,
                             out);
    case RVDB_SEARCH_TIMESPAN:
        return timeSpanPredicate(compValType, m, method, col.c_str(), compVal, columnSet, out);
    case RVDB_SEARCH_SELECT:
        return selectPredicate(compValType, m, method, col.c_str(), compVal, encoder, out);
    case RVDB_SEARCH_SELECTS:
        return selectsPredicate(compValType, m, method, col.c_str(), compVal, encoder, out);
    case RVDB_SEARCH_FILE:
        return filePredicate(compValType, m, method, col.c_str(), compVal, columnSet, columnSets,
                             encoder, out);
    default:
        RVDBSQL_TRACE("editor[%d]", innerColumn.searchKind);
        return RvResult(RVDB_SQL_ERR_METHOD);
    }
}
