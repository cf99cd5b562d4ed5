#include "comtime.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <regex>
#include <string>

namespace {

// Runs the body under the given TZ and restores the previous setting.
class ScopedTz {
public:
    explicit ScopedTz(const char* tz)
    {
        const char* old = std::getenv("TZ");
        m_had = old != nullptr;
        if (m_had) m_old = old;
        setenv("TZ", tz, 1);
        tzset();
    }
    ~ScopedTz()
    {
        if (m_had)
            setenv("TZ", m_old.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

private:
    bool m_had = false;
    std::string m_old;
};

const char* const kZones[] = {"UTC", "Asia/Tokyo", "America/New_York", "Europe/Dublin"};

std::string addDays(const char* d, int n)
{
    char out[COM_DATE_SIZE];
    comDateAddDays(d, n, out);
    return out;
}

}  // namespace

TEST(ComTime, DateChecks)
{
    struct {
        const char* text;
        int expect;
    } cases[] = {
        {"20240229", 0}, {"20000229", 0}, {"20230229", -1}, {"19000229", -1},
        {"2024022", -1}, {"20240431", -1}, {"20240430", 0},  {"20241301", -1},
        {"20240100", -1}, {"20241231", 0}, {"20240229123456", 0},
    };
    for (const auto& c : cases) EXPECT_EQ(comDateTextCheck(c.text), c.expect) << c.text;
    EXPECT_EQ(comDateTextCheck(nullptr), -1);
}

TEST(ComTime, MonthLengthsAndWeekdays)
{
    EXPECT_EQ(comDaysInMonth(2024, 2), 29);
    EXPECT_EQ(comDaysInMonth(2023, 2), 28);
    EXPECT_EQ(comDaysInMonth(2024, 11), 30);
    EXPECT_EQ(comDaysInMonth(2024, 12), 31);
    EXPECT_EQ(comDayOfWeek(2024, 1, 1), 1);   // Monday
    EXPECT_EQ(comDayOfWeek(2024, 9, 1), 0);   // Sunday
    EXPECT_EQ(comDayOfWeek(2000, 2, 29), 2);  // Tuesday
    EXPECT_EQ(comWeekOfMonth(20240315), 3);
}

TEST(ComTime, HhmmCheck)
{
    EXPECT_EQ(comHhmmCheck("2400"), 0);
    EXPECT_EQ(comHhmmCheck("0930"), 0);
    EXPECT_EQ(comHhmmCheck("2500"), -1);
    EXPECT_EQ(comHhmmCheck("1260"), -1);
    EXPECT_EQ(comHhmmCheck("12a0"), -1);
    EXPECT_EQ(comHhmmAddMinutes(945, 30), 1015);
}

TEST(ComTime, DayArithmeticAgreesWithCalendar)
{
    EXPECT_EQ(addDays("20240228", 1), "20240229");
    EXPECT_EQ(addDays("20241231", 1), "20250101");
    EXPECT_EQ(addDays("20240301", -1), "20240229");
    EXPECT_EQ(addDays("20240115", -400), "20221211");
    const char* starts[] = {"20240115", "19991231", "20000301", "20230228"};
    for (const char* s : starts) {
        for (int n = -800; n <= 800; n += 37) {
            char mk[COM_DATE_SIZE];
            comDateAddDaysMk(s, n, mk);
            EXPECT_EQ(addDays(s, n), mk) << s << " " << n;
        }
    }
    char out[16];
    int wd = -1;
    EXPECT_EQ(comDateAddDaysEx("20240228", 2, out, &wd), 0);
    EXPECT_STREQ(out, "20240301");
    EXPECT_EQ(wd, 5);  // Friday
    EXPECT_EQ(comDateAddDaysEx(nullptr, 1, out, nullptr), -99);
    EXPECT_EQ(comDateAddDaysEx("2024", 1, out, nullptr), -1);
    EXPECT_EQ(comDateAddDaysEx("2024x228", 1, out, nullptr), -2);
    EXPECT_EQ(comDateAddDaysEx("20240230", 1, out, nullptr), -3);
    EXPECT_EQ(comDateDiffDays("20231231", "20240301"), 61);
    EXPECT_EQ(comMonthDiff("20231115", "20240201"), 3);
    EXPECT_EQ(comInLastWeek(20240225), 1);
    EXPECT_EQ(comInLastWeek(20240222), 0);
}

TEST(ComTime, MonthArithmetic)
{
    char out[COM_DATE_SIZE];
    comDateAddMonths("20240131", 1, out);
    EXPECT_STREQ(out, "20240229");
    comDateAddMonths("20240115", -13, out);
    EXPECT_STREQ(out, "20221215");
    comDateAddMonths("20241130", 14, out);
    EXPECT_STREQ(out, "20260130");
    comMonthLastDay("20240210", out);
    EXPECT_STREQ(out, "20240229");
    comMonthLastDay("20241205", out);
    EXPECT_STREQ(out, "20241231");
    comWeekMonday("20240908", out);  // Sunday
    EXPECT_STREQ(out, "20240902");
    comWeekMonday("20240905", out);  // Thursday
    EXPECT_STREQ(out, "20240902");
    comWeekMonday("20240902", out);
    EXPECT_STREQ(out, "20240902");
}

TEST(ComTime, StampArithmetic)
{
    char out[COM_STAMP_SIZE];
    comStampAddHours("20241231225959", 3, out);
    EXPECT_STREQ(out, "20250101015900");
    comStampAddMinutes("20240229235930", 1, out);
    EXPECT_STREQ(out, "202403010000");
    EXPECT_EQ(comStampDiffSeconds("20240101000000", "20240102000130"), 86490);
    char slash[24];
    comStampDateSlash("20240305123400", slash);
    EXPECT_STREQ(slash, "2024/3/5");
    comStampDateSlash("", slash);
    EXPECT_STREQ(slash, "");
    comStampDateTimeSlash("20240305093400", slash);
    EXPECT_STREQ(slash, "2024/3/5  9:34");
}

TEST(ComTime, ZoneShiftIgnoresMachineZone)
{
    struct {
        const char *date, *time, *zone, *dst;
        int dir;
        const char *outDate, *outTime;
    } cases[] = {
        {"20240701", "120000", "+0900", "0", 1, "20240701", "210000"},
        {"20241231", "200000", "+0900", "0", 1, "20250101", "050000"},
        {"20240301", "0300", "+0900", "0", -1, "20240229", "180000"},
        {"20240310", "063000", "-0500", "0", 1, "20240310", "013000"},
        {"20240701", "120000", "+0900", "60", 1, "20240701", "220000"},
        {"20241027", "010000", "+0530", "0", 1, "20241027", "063000"},
    };
    for (const char* tz : kZones) {
        ScopedTz scoped(tz);
        for (const auto& c : cases) {
            char d[COM_DATE_SIZE], t[COM_TIME_SIZE];
            ASSERT_EQ(comTimeShiftZone(c.date, c.time, c.zone, c.dst, c.dir, d, t), 0) << tz;
            EXPECT_STREQ(d, c.outDate) << tz << " " << c.date << c.time;
            EXPECT_STREQ(t, c.outTime) << tz << " " << c.date << c.time;
        }
    }
    char d[COM_DATE_SIZE], t[COM_TIME_SIZE];
    EXPECT_EQ(comTimeToZone("20240701", "12000", "+0900", "0", d, t), -1);
    EXPECT_EQ(comTimeToZone("20240701", "120000", "0900", "0", d, t), -1);
    EXPECT_EQ(comTimeToZone("20240701", "120000", "*0900", "0", d, t), -1);
    EXPECT_EQ(comTimeShiftZone("20240701", "120000", "+0900", "0", 2, d, t), -1);
    EXPECT_EQ(comTimeToZone("2024a701", "120000", "+0900", "0", d, t), -1);
}

TEST(ComTime, ZoneSettings)
{
    const char* dst = nullptr;
    EXPECT_STREQ(comGetTimeZone(&dst), "+0900");
    EXPECT_STREQ(dst, "0");
    char out[COM_ZONE_SIZE];
    comSetTimeZone("+0900", "60");
    comTimeZoneEffective(out);
    EXPECT_STREQ(out, "+1000");
    comSetTimeZone("-0500", "60");
    comTimeZoneEffective(out);
    EXPECT_STREQ(out, "-0400");
    comSetTimeZone("+0900", "30");
    comTimeZoneEffective(out);
    EXPECT_STREQ(out, "+0900");
    comSetTimeZone("+09", "0");  // too short: ignored
    EXPECT_STREQ(comGetTimeZone(nullptr), "+0900");
    comSetTimeZone("+0900", "0");
}

TEST(ComTime, NowTexts)
{
    for (const char* tz : kZones) {
        ScopedTz scoped(tz);
        char utc[COM_STAMP_SIZE], zoned[COM_STAMP_SIZE];
        ASSERT_EQ(comTimeNowText(utc, 0), 0);
        ASSERT_EQ(comTimeNowText(zoned, 1), 0);
        EXPECT_EQ(std::strlen(utc), 14u);
        long long diff = comStampDiffSeconds(utc, zoned);
        EXPECT_GE(diff, 9 * 3600) << tz;
        EXPECT_LE(diff, 9 * 3600 + 2) << tz;
    }
    char stamp[COM_LOGSTAMP_SIZE];
    comLogStampMs(stamp);
    EXPECT_TRUE(std::regex_match(stamp, std::regex(R"(\d{4}/\d\d/\d\d \d\d:\d\d:\d\d\.\d{3})")))
        << stamp;
    char ts[COM_TIMESTAMP_SIZE];
    comTimeStamp(ts);
    EXPECT_EQ(std::strlen(ts), 16u);
    EXPECT_EQ(comTimeNowText(nullptr, 0), -9);
    EXPECT_GT(comNowMillis(), 1600000000000LL);
}

TEST(ComTime, MonthGrid)
{
    int g[42];
    comMonthGrid(2024, 9, 1, g);  // 1 September 2024 is a Sunday
    EXPECT_EQ(g[0], 20240826);
    EXPECT_EQ(g[5], 20240831);
    EXPECT_EQ(g[6], 20240901);
    EXPECT_EQ(g[35], 20240930);
    EXPECT_EQ(g[36], 20241001);
    EXPECT_EQ(g[41], 20241006);
    comMonthGrid(2024, 9, 0, g);
    EXPECT_EQ(g[0], 20240901);
    EXPECT_EQ(g[29], 20240930);
    EXPECT_EQ(g[34], 20241005);
    EXPECT_EQ(g[35], 0);
}
