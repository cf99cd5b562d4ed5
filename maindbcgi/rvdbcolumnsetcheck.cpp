// Checks of the column settings before they are stored in a definition.
#include <cstring>

#include "rvdbcolumnset.h"
#include "rvvalidator.h"

namespace {

enum Kind {
    K_ANY,        // every text
    K_REQUIRED,   // non-empty
    K_ONE_OF,     // required, one of the list
    K_FLAG,       // "1" or "0"
    K_INT,        // integer range; required or not
    K_LENGTH,     // length range; required or not
    K_DECIMAL,    // digits and range
    K_DATETIME    // date-time to the second
};

struct Rule {
    const char* key;  // item key of the messages
    Kind kind;
    bool required;
    int min;
    int max;
    const char* const* list;  // K_ONE_OF, null-terminated
    int intDigits;            // K_DECIMAL
    int decDigits;
    const char* lo;           // K_DECIMAL, K_DATETIME bounds
    const char* hi;
};

const char* const COLUMN_TYPES[] = {"key",       "text",        "texts",    "mail",   "url",
                                    "number",    "numbercal",   "datetime", "datetimecal",
                                    "timespan",  "timespancal", "user",     "select", "selects",
                                    "image",     "file",        "relkey",   "relref", "relcpy",
                                    nullptr};
// The value types: the column types up to "file".
const char* const* const VALUE_TYPES = COLUMN_TYPES;
const int VALUE_TYPE_COUNT = 16;
const char* const INPUT_FORMATS[] = {"0", "1", "2",  "3",  "4",  "5",  "6",  "7",
                                     "8", "9", "10", "11", "12", "13", "14", nullptr};
const char* const INPUT_LIMITS[] = {"0", "1", "2", "3", "4", "5", "6", "7", nullptr};
const char* const ROUND_LEVELS[] = {"nothing", "4",  "3",  "2",  "1",   "0",   "-1",
                                    "-2",      "-3", "-4", "-5", "-6",  "-7",  "-8",
                                    "-9",      "-10", "-11", "-12", nullptr};
const char* const ROUND_TYPES[] = {"d", "r", "u", nullptr};
const char* const MINUS_KINDS[] = {"0", "1", "2", "3", nullptr};

Rule oneOf(const char* key, const char* const* list)
{
    return Rule{key, K_ONE_OF, true, 0, 0, list, 0, 0, nullptr, nullptr};
}
Rule intRange(const char* key, bool required, int min, int max)
{
    return Rule{key, K_INT, required, min, max, nullptr, 0, 0, nullptr, nullptr};
}
Rule length(const char* key, bool required, int max)
{
    return Rule{key, K_LENGTH, required, 0, max, nullptr, 0, 0, nullptr, nullptr};
}
Rule simple(const char* key, Kind kind)
{
    return Rule{key, kind, kind == K_REQUIRED, 0, 0, nullptr, 0, 0, nullptr, nullptr};
}
Rule decimal(const char* key, int intDigits, int decDigits, const char* lo, const char* hi)
{
    return Rule{key, K_DECIMAL, false, 0, 0, nullptr, intDigits, decDigits, lo, hi};
}
Rule dateTime(const char* key)
{
    return Rule{key, K_DATETIME, false, 0, 0, nullptr, 0, 0, "00010101000000", "99991231235959"};
}

bool listed(const char* const* list, const char* text, int count = -1)
{
    for (int i = 0; list[i] != nullptr && (count < 0 || i < count); ++i) {
        if (strcmp(list[i], text) == 0)
            return true;
    }
    return false;
}

RvCheckResult apply(const Rule& rule, const char* text, int listCount)
{
    if (rule.required) {
        RvCheckResult r = rvValidatorCheckRequired(text);
        if (r.isError())
            return r;
    }
    switch (rule.kind) {
    case K_ONE_OF:
        return listed(rule.list, text, listCount) ? RvCheckResult() : rvValidatorInvalidValue(nullptr);
    case K_FLAG:
        return strcmp(text, "1") == 0 || strcmp(text, "0") == 0 ? RvCheckResult()
                                                                : rvValidatorInvalidValue(nullptr);
    case K_INT:
        return rvValidatorCheckIntRange(text, rule.min, rule.max);
    case K_LENGTH:
        return rvValidatorCheckLength(text, rule.min, rule.max);
    case K_DECIMAL:
        return rvValidatorCheckDecimal(text, rule.intDigits, rule.decDigits, rule.lo, rule.hi);
    case K_DATETIME:
        return rvValidatorCheckDateTime(text, rule.lo, rule.hi, 6);
    default:
        return RvCheckResult();
    }
}

RvResult check(const Rule& rule, const NString& text, int listCount = -1)
{
    RvCheckResult r = apply(rule, text.c_str(), listCount);
    if (!r.isError())
        return RvResult();
    return RvResult(r.code, rvValidatorMakeMessageByKey(r, rule.key));
}

}  // namespace

RvResult RvdbColumnSet::checkColumnType(const NString& t) { return check(oneOf("columntype", COLUMN_TYPES), t); }
RvResult RvdbColumnSet::checkRelColumnType(const NString& t)
{
    return check(oneOf("relcolumntype", VALUE_TYPES), t, VALUE_TYPE_COUNT);
}
RvResult RvdbColumnSet::checkTableId(const NString& t) { return check(intRange("tableid", true, 1, 999999999), t); }
RvResult RvdbColumnSet::checkColumnId(const NString& t) { return check(intRange("columnid", true, -5, 99999), t); }
RvResult RvdbColumnSet::checkRelTableId(const NString& t) { return check(intRange("reltableid", true, 1, 999999999), t); }
RvResult RvdbColumnSet::checkRelColumnId(const NString& t) { return check(intRange("relcolumnid", true, -5, 99999), t); }
RvResult RvdbColumnSet::checkRelKey(const NString& t) { return check(intRange("relkey", true, 1, 99999), t); }
RvResult RvdbColumnSet::checkSeqno(const NString& t) { return check(intRange("seqno", true, -5, 999999999), t); }
RvResult RvdbColumnSet::checkColumnName(const NString& t) { return check(length("columnname", true, 64), t); }
RvResult RvdbColumnSet::checkAutoCorrect(const NString& t) { return check(length("autocorrect", true, 64), t); }
RvResult RvdbColumnSet::checkCalcExpression(const NString& t) { return check(simple("calcexpression", K_REQUIRED), t); }
RvResult RvdbColumnSet::checkInputFormat(const NString& t) { return check(oneOf("inputformat", INPUT_FORMATS), t); }
RvResult RvdbColumnSet::checkInputLimit(const NString& t) { return check(oneOf("inputlimit", INPUT_LIMITS), t); }
RvResult RvdbColumnSet::checkRoundLevel(const NString& t) { return check(oneOf("roundlevel", ROUND_LEVELS), t); }
RvResult RvdbColumnSet::checkRoundType(const NString& t) { return check(oneOf("roundtype", ROUND_TYPES), t); }
RvResult RvdbColumnSet::checkMinus(const NString& t) { return check(oneOf("minus", MINUS_KINDS), t); }
RvResult RvdbColumnSet::checkMust(const NString& t) { return check(simple("must", K_FLAG), t); }
RvResult RvdbColumnSet::checkUnique(const NString& t) { return check(simple("unique", K_FLAG), t); }
RvResult RvdbColumnSet::checkSortable(const NString& t) { return check(simple("sortable", K_FLAG), t); }
RvResult RvdbColumnSet::checkPercent(const NString& t) { return check(simple("percent", K_FLAG), t); }
RvResult RvdbColumnSet::checkCommaSplit(const NString& t) { return check(simple("commasplit", K_FLAG), t); }
RvResult RvdbColumnSet::checkDelFlg(const NString& t) { return check(simple("delflg", K_FLAG), t); }
RvResult RvdbColumnSet::checkMaxLen(const NString& t) { return check(intRange("maxlen", false, 1, 99999), t); }
RvResult RvdbColumnSet::checkMinLen(const NString& t) { return check(intRange("minlen", false, 0, 99999), t); }
RvResult RvdbColumnSet::checkInputRows(const NString& t) { return check(intRange("inputrows", false, 1, 99), t); }
RvResult RvdbColumnSet::checkInputCols(const NString& t) { return check(intRange("inputcols", false, 1, 999), t); }
RvResult RvdbColumnSet::checkPrefix(const NString& t) { return check(length("prefix", false, 64), t); }
RvResult RvdbColumnSet::checkAffix(const NString& t) { return check(length("affix", false, 64), t); }
RvResult RvdbColumnSet::checkMaxValNumber(const NString& t)
{
    return check(decimal("maxval", 15, 5, "-999999999999999.99999", "999999999999999.99999"), t);
}
RvResult RvdbColumnSet::checkMinValNumber(const NString& t)
{
    return check(decimal("minval", 15, 5, "-999999999999999.99999", "999999999999999.99999"), t);
}
RvResult RvdbColumnSet::checkMaxSize(const NString& t) { return check(decimal("maxsize", 4, 3, "0", "1024"), t); }
RvResult RvdbColumnSet::checkMaxValDate(const NString& t) { return check(dateTime("maxval"), t); }
RvResult RvdbColumnSet::checkMinValDate(const NString& t) { return check(dateTime("minval"), t); }
RvResult RvdbColumnSet::checkAny(const NString& t) { return check(simple("", K_ANY), t); }
