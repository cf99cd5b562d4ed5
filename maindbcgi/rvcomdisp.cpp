// Date-time and time-span display, seconds splitting and parameter lookups.
#include "rvcomdisp.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "comstr.h"
#include "comtime.h"
#include "comtrace.h"
#include "rvcomcode.h"

namespace {

const char* const SRC_DATE = "rvcomChangeDateTimeFormat";
const char* const SRC_SPAN = "rvcomChangeTimeSpanFormat";

int64_t readInt64(const char* text)
{
    return text ? static_cast<int64_t>(strtoll(text, nullptr, 10)) : 0;
}

// |v| without the overflow of the most negative value.
long long absValue(int64_t v)
{
    if (v == INT64_MIN)
        return INT64_MAX;
    return static_cast<long long>(v < 0 ? -v : v);
}

void splitSeconds(int64_t n, int64_t& days, int64_t& hours, int64_t& minutes, int64_t& seconds)
{
    days = n / 86400;
    int64_t rest = n - days * 86400;
    hours = rest / 3600;
    minutes = (rest % 3600) / 60;
    seconds = rest % 60;
}

// Characters [start, end) of text (at most 4), empty beyond its end, copied
// into buf.
const char* cut(const char* text, size_t len, size_t start, size_t end, char (&buf)[5])
{
    buf[0] = '\0';
    if (start >= len)
        return buf;
    if (end > len)
        end = len;
    memcpy(buf, text + start, end - start);
    buf[end - start] = '\0';
    return buf;
}

struct DateKey {
    const char* key1;
    const char* key2;
    const char* parts;  // y m d w h i s, in template order
};

const DateKey DATE_KEYS[] = {
    { "dateviewfmt_j_ymdhis", "dateviewfmt_s_ymdhis", "ymdhis" },
    { "dateviewfmt_j_ymdhi", "dateviewfmt_s_ymdhi", "ymdhi" },
    { "dateviewfmt_j_ymdh", "dateviewfmt_s_ymdh", "ymdh" },
    { "dateviewfmt_j_ymd", "dateviewfmt_s_ymd", "ymd" },
    { "dateviewfmt_j_ym", "dateviewfmt_s_ym", "ym" },
    { "dateviewfmt_j_y", "dateviewfmt_s_y", "y" },
    { "dateviewfmt_jw_ymdhis", "dateviewfmt_sw_ymdhis", "ymdwhis" },
    { "dateviewfmt_jw_ymdhi", "dateviewfmt_sw_ymdhi", "ymdwhi" },
    { "dateviewfmt_jw_ymdh", "dateviewfmt_sw_ymdh", "ymdwh" },
    { "dateviewfmt_jw_ymd", "dateviewfmt_sw_ymd", "ymdw" },
    { "dateviewfmt_jt_his", "dateviewfmt_ct_his", "his" },
};

} // namespace

int rvcomChangeDateTimeFormat(const char* date, const char* weekday, const char* key,
                              NString& out)
{
    if (date == nullptr || date[0] == '\0' || key == nullptr || key[0] == '\0') {
        COMTRACE_SRC(SRC_DATE, "%s", "");
        return -100001;
    }
    size_t len = strlen(date);
    if (len != 14 && !comIsInteger(date) && comDateTextCheck(date) != 0) {
        COMTRACE_SRC(SRC_DATE, "%s", "");
        return -100001;
    }

    const DateKey* match = nullptr;
    for (const DateKey& k : DATE_KEYS) {
        if (strcmp(key, k.key1) == 0 || strcmp(key, k.key2) == 0) {
            match = &k;
            break;
        }
    }
    if (match == nullptr)
        return 0;

    // Only the digits 0 to 6 name a weekday.
    NString weekName("");
    if (weekday != nullptr && weekday[0] >= '0' && weekday[0] <= '6' && weekday[1] == '\0') {
        char wkey[32];
        snprintf(wkey, sizeof wkey, "dayoftheweek_%c", weekday[0]);
        rvcomGetLocalString(weekName, wkey);
    }

    char parts[7][5];
    RvFmtArg args[7];
    int count = 0;
    for (const char* p = match->parts; *p != '\0' && count < 7; p++) {
        switch (*p) {
        case 'y': args[count] = cut(date, len, 0, 4, parts[count]); break;
        case 'm': args[count] = cut(date, len, 4, 6, parts[count]); break;
        case 'd': args[count] = cut(date, len, 6, 8, parts[count]); break;
        case 'h': args[count] = cut(date, len, 8, 10, parts[count]); break;
        case 'i': args[count] = cut(date, len, 10, 12, parts[count]); break;
        case 's': args[count] = cut(date, len, 12, 14, parts[count]); break;
        default: args[count] = RvFmtArg(weekName); break;
        }
        count++;
    }
    rvcomGetLocalStringV(out, key, args, count);
    return 0;
}

int rvcomChangeTimeSpanFormat(const TimeSpanParts& parts, const char* code, NString& out)
{
    if (code == nullptr || code[0] == '\0') {
        COMTRACE_SRC(SRC_SPAN, "%s", "");
        return -100001;
    }
    static const char* const KEYS[10] = {
        "timespanviewfmt_d",  "timespanviewfmt_dh", "timespanviewfmt_dhi",
        "timespanviewfmt_dhis", "timespanviewfmt_h", "timespanviewfmt_hi",
        "timespanviewfmt_his", "timespanviewfmt_i", "timespanviewfmt_is",
        "timespanviewfmt_s",
    };
    if (!(code[0] >= '0' && code[0] <= '9' && code[1] == '\0')) {
        NString joined(parts.days.c_str(), -1);
        joined += parts.hours;
        joined += parts.minutes;
        joined += parts.seconds;
        out = joined;
        return 0;
    }

    int64_t totalSeconds = readInt64(parts.toSeconds().c_str());
    int64_t totalMinutes = readInt64(parts.toMinutes().c_str());
    int64_t totalHours = readInt64(parts.toHours().c_str());
    int64_t d = readInt64(parts.days.c_str());
    int64_t h = readInt64(parts.hours.c_str());
    int64_t m = readInt64(parts.minutes.c_str());
    int64_t s = readInt64(parts.seconds.c_str());
    // Parts of mixed signs (1 day -2 hours) are shown as their total.
    bool anyPos = d > 0 || h > 0 || m > 0 || s > 0;
    bool anyNeg = d < 0 || h < 0 || m < 0 || s < 0;
    if (anyPos && anyNeg)
        splitSeconds(totalSeconds, d, h, m, s);

    const char* key = KEYS[code[0] - '0'];
    long long ad = absValue(d), ah = absValue(h), am = absValue(m), as = absValue(s);
    long long th = absValue(totalHours), tm = absValue(totalMinutes);
    long long ts = absValue(totalSeconds);
    NString text;
    switch (code[0]) {
    case '0': rvcomGetLocalString(text, key, ad); break;
    case '1': rvcomGetLocalString(text, key, ad, ah); break;
    case '2': rvcomGetLocalString(text, key, ad, ah, am); break;
    case '3': rvcomGetLocalString(text, key, ad, ah, am, as); break;
    case '4': rvcomGetLocalString(text, key, th); break;
    case '5': rvcomGetLocalString(text, key, th, am); break;
    case '6': rvcomGetLocalString(text, key, th, am, as); break;
    case '7': rvcomGetLocalString(text, key, tm); break;
    case '8': rvcomGetLocalString(text, key, tm, as); break;
    default: rvcomGetLocalString(text, key, ts); break;
    }
    NString result(totalSeconds < 0 ? "-" : "");
    result += text;
    out = result;
    return 0;
}

int rvappGetParseTimeSpanValuesBySecondString(const NString& secondsText, long long& days,
                                              int& hours, int& minutes, int& seconds)
{
    int64_t d, h, m, s;
    splitSeconds(readInt64(secondsText.c_str()), d, h, m, s);
    days = static_cast<long long>(d);
    hours = static_cast<int>(h);
    minutes = static_cast<int>(m);
    seconds = static_cast<int>(s);
    return 0;
}

int rvappGetParseTimeSpanValuesBySecondString(const NString& secondsText, NString& days,
                                              NString& hours, NString& minutes,
                                              NString& seconds)
{
    long long d = 0;
    int h = 0, m = 0, s = 0;
    int ret = rvappGetParseTimeSpanValuesBySecondString(secondsText, d, h, m, s);
    if (ret != 0) {
        COMTRACE_SRC(SRC_SPAN, "ret[%d]", ret);
        return ret;
    }
    days.format("%lld", d);
    hours.format("%d", h);
    minutes.format("%d", m);
    seconds.format("%d", s);
    return 0;
}

NString& rvappGetParamValue(NString& out, const RvParamArray& params, const char* name,
                            const char* def)
{
    if (name == nullptr || name[0] == '\0') {
        out = NString();
        return out;
    }
    for (int i = 0; i < params.count && params.names != nullptr; i++) {
        if (comStrCaseCmp(params.names[i], name) == 0) {
            const char* v = params.values ? params.values[i] : nullptr;
            out = v ? NString(v, -1) : NString("");
            return out;
        }
    }
    out = def ? NString(def, -1) : NString();
    return out;
}

std::vector<NString>& rvappGetParamValues(std::vector<NString>& out,
                                          const RvParamArray& params, const char* name)
{
    out.clear();
    if (name == nullptr || name[0] == '\0' || params.count < 1 || params.names == nullptr)
        return out;
    for (int i = 0; i < params.count; i++) {
        if (comStrCaseCmp(params.names[i], name) == 0) {
            const char* v = params.values ? params.values[i] : nullptr;
            out.push_back(v ? NString(v, -1) : NString(""));
        }
    }
    return out;
}

int rvcomPackDateTimeDigits(const char* text, NString& out)
{
    const char* t = text ? text : "";
    size_t len = strlen(t);
    NString result("");
    if (len > 0)
        result += NString(t, static_cast<int>(len < 4 ? len : 4));
    static const size_t starts[5] = { 5, 8, 11, 14, 17 };
    for (size_t st : starts) {
        if (len > st) {
            size_t n = len - st < 2 ? len - st : 2;
            result += NString(t + st, static_cast<int>(n));
        }
    }
    out = result;
    return 0;
}
