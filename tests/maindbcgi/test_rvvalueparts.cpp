// Date-time, time-span and image value records.
#include "rvvalueparts.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "rvspan.h"

namespace {

std::string joinDate(const DateTimeParts& p)
{
    return std::string(p.year.c_str()) + "|" + p.month.c_str() + "|" + p.day.c_str() + "|" +
           p.hour.c_str() + "|" + p.minute.c_str() + "|" + p.second.c_str();
}

std::string joinSpan(const TimeSpanParts& p)
{
    return std::string(p.days.c_str()) + "|" + p.hours.c_str() + "|" + p.minutes.c_str() + "|" +
           p.seconds.c_str();
}

using rvtest::span;

} // namespace

TEST(DateTimeParts, ParseAndCompose)
{
    struct Case {
        const char* stamp;
        const char* parts;
    } cases[] = {
        { "20200315123456", "2020|03|15|12|34|56" },
        { "2020", "2020|01|01|00|00|00" },
        { "20201", "2020|11|01|00|00|00" },
    };
    for (const Case& c : cases) {
        DateTimeParts p;
        ASSERT_EQ(p.parse(c.stamp), 0);
        EXPECT_EQ(joinDate(p), c.parts);
        EXPECT_FALSE(p.isEmpty());
        EXPECT_TRUE(p.hasYear());
    }
    DateTimeParts p;
    ASSERT_EQ(p.parse(NString("20200315123456")), 0);
    EXPECT_STREQ(p.toString().c_str(), "20200315123456");

    ASSERT_EQ(p.parse(""), 0);
    EXPECT_TRUE(p.isEmpty());
    EXPECT_TRUE(p.toString().isNull());

    p.parse("20200315123456");
    EXPECT_EQ(p.parse("202003151234567"), -100001);
    EXPECT_EQ(joinDate(p), "2020|03|15|12|34|56");
    std::string huge(5000, '9');
    EXPECT_EQ(p.parse(huge.c_str()), -100001);
}

TEST(DateTimeParts, ComposeDefaultsWithoutZeroFill)
{
    DateTimeParts p;
    p.year = "2020";
    EXPECT_STREQ(p.toString().c_str(), "20200101000000");
    DateTimeParts h;
    h.hour = "5";
    EXPECT_STREQ(h.toString().c_str(), "0000010150000");
    h.clear();
    EXPECT_TRUE(h.isEmpty());
    EXPECT_FALSE(h.hasYear());
}

TEST(DateTimeParts, SetNowGivesAStamp)
{
    DateTimeParts p;
    ASSERT_EQ(p.setNow(), 0);
    NString s = p.toString();
    ASSERT_EQ(s.length(), 14);
    for (int i = 0; i < 14; i++)
        EXPECT_TRUE(s.c_str()[i] >= '0' && s.c_str()[i] <= '9');
}

TEST(TimeSpanParts, ParseAndTotals)
{
    struct Case {
        const char* seconds;
        const char* parts;
        const char* total;
        const char* minutes;
        const char* hours;
    } cases[] = {
        { "90061", "1|1|1|1", "90061", "1501", "25" },
        { "-3661", "0|-1|-1|-1", "-3661", "-61", "-1" },
        { "abc", "0|0|0|0", "0", "0", "0" },
        { "59", "0|0|0|59", "59", "0", "0" },
        { "12x", "0|0|0|12", "12", "0", "0" },
        // Beyond the 32-bit range: split and summed in 64 bits.
        { "8640000000", "100000|0|0|0", "8640000000", "144000000", "2400000" },
    };
    for (const Case& c : cases) {
        TimeSpanParts p;
        ASSERT_EQ(p.parse(c.seconds), 0);
        EXPECT_EQ(joinSpan(p), c.parts) << c.seconds;
        EXPECT_FALSE(p.isEmpty());
        EXPECT_STREQ(p.toSeconds().c_str(), c.total) << c.seconds;
        EXPECT_STREQ(p.toMinutes().c_str(), c.minutes) << c.seconds;
        EXPECT_STREQ(p.toHours().c_str(), c.hours) << c.seconds;
    }
    TimeSpanParts p;
    ASSERT_EQ(p.parse("90061"), 0);
    ASSERT_EQ(p.parse(""), 0);
    EXPECT_TRUE(p.isEmpty());
    EXPECT_TRUE(p.toSeconds().isNull());
    EXPECT_TRUE(p.toMinutes().isNull());
    EXPECT_TRUE(p.toHours().isNull());
}

TEST(TimeSpanParts, TotalsOfPartsAre64Bit)
{
    struct Case {
        TimeSpanParts parts;
        const char* seconds;
    } cases[] = {
        { span("1", "-2", nullptr, nullptr), "79200" },
        { span(nullptr, "1193047", nullptr, nullptr), "4294969200" },
        { span("30000", nullptr, nullptr, nullptr), "2592000000" },
        { span("-30000", "5", nullptr, nullptr), "-2591982000" },
        { span(nullptr, nullptr, "7x", "3"), "423" },
        // Far beyond 64 bits: saturated, never wrapped.
        { span("99999999999999999999", "99999999999999999999", nullptr, nullptr),
          "9223372036854775807" },
        { span("-99999999999999999999", nullptr, nullptr, nullptr), "-9223372036854775808" },
    };
    for (const Case& c : cases)
        EXPECT_STREQ(c.parts.toSeconds().c_str(), c.seconds);
    EXPECT_STREQ(span(nullptr, "1193047", nullptr, nullptr).toHours().c_str(), "1193047");
    EXPECT_STREQ(span("1", "1", "1", "1").toMinutes().c_str(), "1501");
}

TEST(ImageParts, HasValueByFirstText)
{
    ImageParts p;
    EXPECT_FALSE(p.hasValue());
    p.fileName = "a.png";
    EXPECT_FALSE(p.hasValue());
    p.contentId = "12";
    EXPECT_TRUE(p.hasValue());
    EXPECT_TRUE(p.hasYear());
}
