// Date-time and time-span value records.
#include "rvvalueparts.h"

#include <string>

#include <cstdint>
#include <cstdlib>

#include "comtime.h"
#include "rvcomcheck.h"
#include "rvcomdisp.h"

bool DateTimeParts::isEmpty() const
{
    return year.isNullOrEmpty() && month.isNullOrEmpty() && day.isNullOrEmpty() &&
           hour.isNullOrEmpty() && minute.isNullOrEmpty() && second.isNullOrEmpty();
}

void DateTimeParts::clear()
{
    year = NString();
    month = NString();
    day = NString();
    hour = NString();
    minute = NString();
    second = NString();
    unreadable = false;
}

int DateTimeParts::parse(const char* stamp)
{
    if (stamp == nullptr || stamp[0] == '\0') {
        clear();
        return 0;
    }
    int ret = rvcomSplitDateTime(stamp, year, month, day, hour, minute, second);
    if (ret == 0)
        unreadable = false;
    return ret;
}

int DateTimeParts::setNow()
{
    char now[COM_STAMP_SIZE] = "";
    int ret = comTimeNowText(now, 1);
    if (ret != 0)
        return ret;
    return parse(now);
}

NString DateTimeParts::toString() const
{
    if (isEmpty())
        return NString();
    const NString* texts[6] = { &year, &month, &day, &hour, &minute, &second };
    static const char* const defaults[6] = { "0000", "01", "01", "00", "00", "00" };
    std::string out;
    out.reserve(15);  // within the string's own buffer for the usual 14
    for (int i = 0; i < 6; i++)
        out += texts[i]->isNullOrEmpty() ? defaults[i] : texts[i]->c_str();
    return NString(out.c_str(), static_cast<int>(out.size()));
}

bool TimeSpanParts::isEmpty() const
{
    return days.isNullOrEmpty() && hours.isNullOrEmpty() && minutes.isNullOrEmpty() &&
           seconds.isNullOrEmpty();
}

void TimeSpanParts::clear()
{
    days = NString();
    hours = NString();
    minutes = NString();
    seconds = NString();
    unreadable = false;
}

int TimeSpanParts::parse(const char* secondsText)
{
    if (secondsText == nullptr || secondsText[0] == '\0') {
        clear();
        return 0;
    }
    unreadable = false;
    return rvappGetParseTimeSpanValuesBySecondString(NString(secondsText, -1), days, hours,
                                                     minutes, seconds);
}

namespace {

// A part read in base 10 as 64 bits: empty or without leading digits 0,
// out-of-range texts saturate.
int64_t readPart(const NString& part)
{
    return static_cast<int64_t>(strtoll(part.c_str(), nullptr, 10));
}

// sum + value * factor, saturating instead of overflowing.
int64_t mulAdd(int64_t sum, int64_t value, int64_t factor)
{
    int64_t product;
    if (__builtin_mul_overflow(value, factor, &product))
        product = (value < 0) != (factor < 0) ? INT64_MIN : INT64_MAX;
    int64_t out;
    if (__builtin_add_overflow(sum, product, &out))
        out = product < 0 ? INT64_MIN : INT64_MAX;
    return out;
}

NString totalText(const TimeSpanParts& p, int64_t perDay, int64_t perHour, int64_t perMinute,
                  int64_t perSecond)
{
    if (p.isEmpty())
        return NString();
    int64_t sum = 0;
    sum = mulAdd(sum, readPart(p.days), perDay);
    sum = mulAdd(sum, readPart(p.hours), perHour);
    sum = mulAdd(sum, readPart(p.minutes), perMinute);
    sum = mulAdd(sum, readPart(p.seconds), perSecond);
    NString out;
    out.format("%lld", static_cast<long long>(sum));
    return out;
}

} // namespace

NString TimeSpanParts::toSeconds() const { return totalText(*this, 86400, 3600, 60, 1); }

NString TimeSpanParts::toMinutes() const { return totalText(*this, 1440, 60, 1, 0); }

NString TimeSpanParts::toHours() const { return totalText(*this, 24, 1, 0, 0); }
