// Value checks and the messages that name the failing item.
#include "rvvalidator.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "comstr.h"
#include "comtime.h"
#include "comtrace.h"
#include "rvcomcheck.h"
#include "rvcomcode.h"
#include "rvresult.h"

namespace {

const char* const SRC = "RvValidator";

bool isEmptyText(const char* text) { return text == nullptr || text[0] == '\0'; }

// A part of at most maxLen characters, an integer within [lo, hi].
bool readDatePart(const NString& part, int maxLen, long lo, long hi, long& value)
{
    if (part.isNullOrEmpty() || part.length() > maxLen || !comIsInteger(part.c_str()))
        return false;
    long long v = strtoll(part.c_str(), nullptr, 10);
    if (v < lo || v > hi)
        return false;
    value = static_cast<long>(v);
    return true;
}

// Display text of a bound stamp up to the precision.
NString boundDisplay(const char* bound, int precision)
{
    size_t len = strlen(bound);
    NStringBuffer buf(32);
    buf.appendf("%.4s", bound);
    if (len >= 6 && precision >= 2)
        buf.appendf("/%.2s", bound + 4);
    if (len >= 8 && precision >= 3)
        buf.appendf("/%.2s", bound + 6);
    if (len >= 10 && precision >= 4)
        buf.appendf(" %.2s", bound + 8);
    if (len >= 12 && precision >= 5)
        buf.appendf(":%.2s", bound + 10);
    if (len >= 14 && precision >= 6)
        buf.appendf(":%.2s", bound + 12);
    return NString(buf.c_str(), -1);
}

} // namespace

NString rvValidatorMakeMessage(const RvCheckResult& check, const char* itemName)
{
    if (check.code == 0)
        return NString();
    NString name;
    if (isEmptyText(itemName))
        rvcomGetLocalString(name, "validation_itemnm_def");
    else
        name = NString(itemName, -1);
    NString text;
    rvcomGetCodeMessage(text, check.code, name);
    if (!check.message.isNullOrEmpty()) {
        text += NString("(");
        text += check.message;
        text += NString(")");
    }
    return text;
}

NString rvValidatorMakeMessageByKey(const RvCheckResult& check, const char* itemKey)
{
    if (check.code == 0)
        return NString();
    NString name;
    rvcomGetLocalString(name, itemKey);
    return rvValidatorMakeMessage(check, name.c_str());
}

RvCheckResult rvValidatorInvalidValue(const char* message)
{
    return RvCheckResult(RV_VALID_INVALID, message ? NString(message, -1) : NString());
}

RvCheckResult rvValidatorCheckRequired(const char* text)
{
    if (isEmptyText(text))
        return RvCheckResult(RV_VALID_REQUIRED);
    return RvCheckResult();
}

RvCheckResult rvValidatorCheckLength(const char* text, int min, int max)
{
    NString rule;
    if (min >= 1 && max >= 1)
        rvcomGetLocalString(rule, "msg_lenminmax", min, max);
    else if (min >= 1)
        rvcomGetLocalString(rule, "msg_lenmin", min);
    else if (max >= 1)
        rvcomGetLocalString(rule, "msg_lenmax", max);
    int len = comUtf8CharCount(text ? text : "");
    if (min >= 1 && len < min)
        return RvCheckResult(RV_VALID_TOO_SHORT, rule);
    if (max < 1 || len <= max)
        return RvCheckResult();
    return RvCheckResult(RV_VALID_TOO_LONG, rule);
}

RvCheckResult rvValidatorCheckIntRange(const char* text, int min, int max)
{
    if (isEmptyText(text))
        return RvCheckResult();
    NString rule;
    rvcomGetLocalString(rule, "msg_valminmax", min, max);
    if (!comIsInteger(text))
        return RvCheckResult(RV_VALID_NUMBER, rule);
    // 64 bits: texts beyond the int range still compare correctly.
    long long v = strtoll(text, nullptr, 10);
    if (v < min)
        return RvCheckResult(RV_VALID_BELOW_MIN, rule);
    if (v > max)
        return RvCheckResult(RV_VALID_ABOVE_MAX, rule);
    return RvCheckResult();
}

RvCheckResult rvValidatorCheckDecimal(const char* value, int intDigits, int decDigits,
                                      const char* min, const char* max)
{
    if (isEmptyText(value)) {
        COMTRACE_SRC(SRC, "%s", "");
        return RvCheckResult();
    }
    if (!rvcomCheckNumberDigits(value, intDigits, decDigits)) {
        COMTRACE_SRC(SRC, "v[%s] int[%d] dec[%d]", value, intDigits, decDigits);
        NString rule;
        if (intDigits >= 1 && decDigits >= 0)
            rvcomGetLocalString(rule, "msg_numdigit", intDigits, decDigits);
        return RvCheckResult(RV_VALID_NUMBER, rule);
    }
    NString rule;
    rvcomGetLocalString(rule, "msg_valminmax", min ? min : "", max ? max : "");

    int cmp = 0;
    int ret = rvcomCompareNumber(value, min, intDigits, decDigits, &cmp);
    if (ret != 0) {
        COMTRACE_SRC(SRC, "ret[%d] v[%s] int[%d] dec[%d]", ret, value, intDigits, decDigits);
        return RvCheckResult(RV_VALID_NUMBER, rvcomGetCodeEntry(-320013).text);
    }
    if (cmp < 0) {
        COMTRACE_SRC(SRC, "ret[%d] v[%s] min[%s]", RV_VALID_BELOW_MIN, value, min);
        return RvCheckResult(RV_VALID_BELOW_MIN, rule);
    }
    ret = rvcomCompareNumber(value, max, intDigits, decDigits, &cmp);
    if (ret != 0) {
        COMTRACE_SRC(SRC, "ret[%d] v[%s] int[%d] dec[%d]", ret, value, intDigits, decDigits);
        return RvCheckResult(RV_VALID_NUMBER, rvcomGetCodeEntry(-320013).text);
    }
    if (cmp > 0) {
        COMTRACE_SRC(SRC, "ret[%d] v[%s] max[%s]", RV_VALID_ABOVE_MAX, value, max);
        return RvCheckResult(RV_VALID_ABOVE_MAX, rule);
    }
    return RvCheckResult();
}

RvCheckResult rvValidatorCheckDateTime(const char* text, const char* min, const char* max,
                                       int precision)
{
    if (isEmptyText(text))
        return RvCheckResult();
    if (precision < 1)
        precision = 1;
    if (precision > 6)
        precision = 6;
    const char* lo = isEmptyText(min) ? nullptr : min;
    const char* hi = isEmptyText(max) ? nullptr : max;

    NString rule;
    if (lo && hi)
        rvcomGetLocalString(rule, "msg_valminmax", boundDisplay(lo, precision),
                            boundDisplay(hi, precision));
    else if (lo)
        rvcomGetLocalString(rule, "msg_valmin_date", boundDisplay(lo, precision));
    else if (hi)
        rvcomGetLocalString(rule, "msg_valmax_date", boundDisplay(hi, precision));

    NString parts[6];
    if (rvcomParseDateTime(text, parts[0], parts[1], parts[2], parts[3], parts[4], parts[5]) !=
        0)
        return RvCheckResult(RV_VALID_DATETIME, rule);

    static const int widths[6] = { 4, 2, 2, 2, 2, 2 };
    static const long lows[6] = { 1, 1, 1, 0, 0, 0 };
    static const long highs[6] = { 9999, 12, 31, 23, 59, 59 };
    char stamp[32] = "";
    size_t used = 0;
    for (int i = 0; i < precision; i++) {
        long v = 0;
        if (!readDatePart(parts[i], widths[i], lows[i], highs[i], v))
            return RvCheckResult(RV_VALID_DATETIME, rule);
        used += static_cast<size_t>(snprintf(stamp + used, sizeof stamp - used,
                                             i == 0 ? "%04ld" : "%02ld", v));
        if (i == 2 && comDateTextCheck(stamp) != 0)
            return RvCheckResult(RV_VALID_DATETIME, rule);
    }

    static const size_t lengths[6] = { 4, 6, 8, 10, 12, 14 };
    size_t n = lengths[precision - 1];
    if (lo && strncmp(stamp, lo, n) < 0)
        return RvCheckResult(RV_VALID_BELOW_MIN, rule);
    if (hi && strncmp(stamp, hi, n) > 0)
        return RvCheckResult(RV_VALID_ABOVE_MAX, rule);
    return RvCheckResult();
}

RvCheckResult rvValidatorCheckDateTime(const DateTimeParts& parts, const char* min,
                                       const char* max, int precision)
{
    if (parts.isEmpty())
        return RvCheckResult();
    NStringBuffer buf(64);
    buf.append(parts.year.c_str());
    buf.append("/");
    buf.append(parts.month.c_str());
    buf.append("/");
    buf.append(parts.day.c_str());
    buf.append(" ");
    buf.append(parts.hour.c_str());
    buf.append(":");
    buf.append(parts.minute.c_str());
    buf.append(":");
    buf.append(parts.second.c_str());
    return rvValidatorCheckDateTime(buf.c_str(), min, max, precision);
}

RvCheckResult rvValidatorCheckTimeSpan(const TimeSpanParts& span)
{
    if (span.isEmpty())
        return RvCheckResult();
    if (!span.days.isNullOrEmpty()) {
        if (!comIsInteger(span.days.c_str()))
            return RvCheckResult(RV_VALID_TIMESPAN);
        long long d = strtoll(span.days.c_str(), nullptr, 10);
        if (d < -1000 || d > 1000)
            return RvCheckResult(RV_VALID_TIMESPAN);
    }
    const NString* others[3] = { &span.hours, &span.minutes, &span.seconds };
    for (const NString* p : others) {
        if (!p->isNullOrEmpty() && !comIsInteger(p->c_str()))
            return RvCheckResult(RV_VALID_TIMESPAN);
    }
    // The total is summed in 64 bits, so large parts cannot wrap into range.
    long long total = strtoll(span.toSeconds().c_str(), nullptr, 10);
    if (total < -86400000LL || total > 86400000LL)
        return RvCheckResult(RV_VALID_TIMESPAN);
    return RvCheckResult();
}

RvCheckResult rvValidatorCheckMail(const char* text)
{
    if (isEmptyText(text) || rvcomCheckMailAddress(text) == 1)
        return RvCheckResult();
    return RvCheckResult(RV_VALID_MAIL);
}

RvCheckResult rvValidatorCheckUrl(const char* text)
{
    if (isEmptyText(text) || rvcomIsUrlText(text) == 1)
        return RvCheckResult();
    return RvCheckResult(RV_VALID_URL);
}
