// Date-time and time-span display, seconds splitting and parameter lookups.
#include "rvcomdisp.h"

#include <gtest/gtest.h>

#include <string>

#include "rvcomcode.h"
#include "rvlocaltext.h"
#include "rvspan.h"

namespace {

const char* const LOCAL_TEXT =
    "dateviewfmt_s_ymdhis=%s/%s/%s %s:%s:%s\n"
    "dateviewfmt_j_ymd=%sY%sM%sD\n"
    "dateviewfmt_jw_ymd=%s-%s-%s(%s)\n"
    "dateviewfmt_sw_ymdhis=%s/%s/%s(%s) %s:%s:%s\n"
    "dateviewfmt_jt_his=%sh%sm%ss\n"
    "dateviewfmt_s_y=%s\n"
    "dayoftheweek_3=Wed\n"
    "timespanviewfmt_d=%dd\n"
    "timespanviewfmt_dh=%dd %dh\n"
    "timespanviewfmt_dhis=%dd %dh %dm %ds\n"
    "timespanviewfmt_h=%dh\n"
    "timespanviewfmt_his=%dh %dm %ds\n"
    "timespanviewfmt_is=%dm %ds\n"
    "timespanviewfmt_s=%ds\n";

class Display : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(texts.load(LOCAL_TEXT)); }
    rvtest::LocalTexts texts;
};

using rvtest::span;

} // namespace

TEST_F(Display, DateTimeFormats)
{
    struct Case {
        const char* date;
        const char* weekday;
        const char* key;
        const char* expected;
    } cases[] = {
        { "20240131090507", nullptr, "dateviewfmt_s_ymdhis", "2024/01/31 09:05:07" },
        { "20240131090507", "3", "dateviewfmt_jw_ymd", "2024-01-31(Wed)" },
        { "20240131090507", "7", "dateviewfmt_jw_ymd", "2024-01-31()" },
        { "20240131090507", "-1", "dateviewfmt_jw_ymd", "2024-01-31()" },
        { "20240131090507", "12", "dateviewfmt_jw_ymd", "2024-01-31()" },
        { "20240131090507", "", "dateviewfmt_jw_ymd", "2024-01-31()" },
        { "20240131090507", "x", "dateviewfmt_jw_ymd", "2024-01-31()" },
        { "20240131090507", "3", "dateviewfmt_sw_ymdhis", "2024/01/31(Wed) 09:05:07" },
        { "20240131090507", nullptr, "dateviewfmt_j_ymd", "2024Y01M31D" },
        { "20240131090507", nullptr, "dateviewfmt_jt_his", "09h05m07s" },
        // A 10-digit integer text: minute and second are empty.
        { "2024013109", nullptr, "dateviewfmt_s_ymdhis", "2024/01/31 09::" },
        // Any 14 characters are accepted for display.
        { "abcdefghijklmn", nullptr, "dateviewfmt_s_y", "abcd" },
        // A key without a template shows the key.
        { "20240131090507", nullptr, "dateviewfmt_s_ymd", "dateviewfmt_s_ymd" },
    };
    for (const Case& c : cases) {
        NString out("unchanged");
        EXPECT_EQ(rvcomChangeDateTimeFormat(c.date, c.weekday, c.key, out), 0) << c.key;
        EXPECT_STREQ(out.c_str(), c.expected) << c.key << " " << (c.weekday ? c.weekday : "");
    }
}

TEST_F(Display, DateTimeFailuresAndUnknownKey)
{
    NString out("unchanged");
    EXPECT_EQ(rvcomChangeDateTimeFormat("", nullptr, "dateviewfmt_s_y", out), -100001);
    EXPECT_EQ(rvcomChangeDateTimeFormat(nullptr, nullptr, "dateviewfmt_s_y", out), -100001);
    EXPECT_EQ(rvcomChangeDateTimeFormat("20240131", nullptr, "", out), -100001);
    EXPECT_EQ(rvcomChangeDateTimeFormat("2024/01/31 x", nullptr, "dateviewfmt_s_y", out),
              -100001);
    EXPECT_EQ(rvcomChangeDateTimeFormat("20240131090507", nullptr, "dateviewfmt_jw_ym", out), 0);
    EXPECT_STREQ(out.c_str(), "unchanged");
    // A long integer text is cut by position, never overflowing.
    std::string longDigits(3000, '1');
    EXPECT_EQ(rvcomChangeDateTimeFormat(longDigits.c_str(), nullptr, "dateviewfmt_s_y", out), 0);
    EXPECT_STREQ(out.c_str(), "1111");
}

TEST_F(Display, TimeSpanFormats)
{
    struct Case {
        TimeSpanParts parts;
        const char* code;
        const char* expected;
    } cases[] = {
        { span("-1", "-2", "0", "0"), "1", "-1d 2h" },
        { span("2", "3", nullptr, nullptr), "4", "51h" },
        { span("1", "1", "1", "1"), "3", "1d 1h 1m 1s" },
        { span("1", "1", "1", "1"), "6", "25h 1m 1s" },
        { span("1", "1", "1", "1"), "8", "1501m 1s" },
        { span("1", "1", "1", "1"), "9", "90061s" },
        { span("0", "-1", "-1", "-1"), "6", "-1h 1m 1s" },
        { span("1", "2", "3", "4"), "x", "1234" },
        { span("1", "2", "3", "4"), "10", "1234" },
        { span("-1", "2", "3", "4"), "x", "-1234" },
        // Mixed signs are shown through their total (1 day - 2 hours = 22 hours).
        { span("1", "-2", nullptr, nullptr), "1", "0d 22h" },
        // No template: the key is shown.
        { span("1", "0", "0", "0"), "2", "timespanviewfmt_dhi" },
        // Totals beyond 32 bits.
        { span("30000", nullptr, nullptr, nullptr), "9", "2592000000s" },
        { span("-30000", nullptr, nullptr, nullptr), "4", "-720000h" },
    };
    for (const Case& c : cases) {
        NString out;
        EXPECT_EQ(rvcomChangeTimeSpanFormat(c.parts, c.code, out), 0) << c.code;
        EXPECT_STREQ(out.c_str(), c.expected) << c.code;
    }
    NString out("unchanged");
    EXPECT_EQ(rvcomChangeTimeSpanFormat(span("1", "1", "1", "1"), "", out), -100001);
    EXPECT_EQ(rvcomChangeTimeSpanFormat(span("1", "1", "1", "1"), nullptr, out), -100001);
    EXPECT_STREQ(out.c_str(), "unchanged");
    // The most negative total has no 64-bit absolute value: no overflow.
    EXPECT_EQ(rvcomChangeTimeSpanFormat(span("-99999999999999999999", nullptr, nullptr, nullptr),
                                        "9", out),
              0);
    EXPECT_STREQ(out.c_str(), "-9223372036854775807s");
}

TEST(RvComDisp, SplitSeconds)
{
    struct Case {
        const char* text;
        long long d;
        int h, m, s;
    } cases[] = {
        { "90061", 1, 1, 1, 1 },      { "-93600", -1, -2, 0, 0 }, { "", 0, 0, 0, 0 },
        { "abc", 0, 0, 0, 0 },        { "86399", 0, 23, 59, 59 },
        { "8640000000", 100000, 0, 0, 0 },
    };
    for (const Case& c : cases) {
        long long d = -7;
        int h = -7, m = -7, s = -7;
        EXPECT_EQ(rvappGetParseTimeSpanValuesBySecondString(NString(c.text), d, h, m, s), 0);
        EXPECT_EQ(d, c.d) << c.text;
        EXPECT_EQ(h, c.h) << c.text;
        EXPECT_EQ(m, c.m) << c.text;
        EXPECT_EQ(s, c.s) << c.text;
    }
    long long d = 0;
    int h = 0, m = 0, s = 0;
    EXPECT_EQ(rvappGetParseTimeSpanValuesBySecondString(NString(), d, h, m, s), 0);
    EXPECT_EQ(d, 0);

    NString td, th, tm, ts;
    EXPECT_EQ(rvappGetParseTimeSpanValuesBySecondString(NString("-3661"), td, th, tm, ts), 0);
    EXPECT_STREQ(td.c_str(), "0");
    EXPECT_STREQ(th.c_str(), "-1");
    EXPECT_STREQ(tm.c_str(), "-1");
    EXPECT_STREQ(ts.c_str(), "-1");
}

TEST(RvComDisp, ParamLookups)
{
    char n0[] = "Mode", n1[] = "id", n2[] = "MODE", n3[] = "empty";
    char v0[] = "list", v1[] = "7", v2[] = "edit", v3[] = "";
    char* names[] = { n0, n1, n2, n3 };
    char* values[] = { v0, v1, v2, v3 };
    RvParamArray params = { 4, names, values };

    NString out;
    EXPECT_STREQ(rvappGetParamValue(out, params, "mode", "def").c_str(), "list");
    EXPECT_STREQ(rvappGetParamValue(out, params, "none", "def").c_str(), "def");
    EXPECT_TRUE(rvappGetParamValue(out, params, "none", nullptr).isNull());
    EXPECT_TRUE(rvappGetParamValue(out, params, "", "def").isNull());
    EXPECT_STREQ(rvappGetParamValue(out, params, "EMPTY", "def").c_str(), "");

    std::vector<NString> all;
    all.push_back(NString("stale"));
    rvappGetParamValues(all, params, "mode");
    ASSERT_EQ(all.size(), 2u);
    EXPECT_STREQ(all[0].c_str(), "list");
    EXPECT_STREQ(all[1].c_str(), "edit");
    EXPECT_TRUE(rvappGetParamValues(all, params, "").empty());
    RvParamArray none = { 0, nullptr, nullptr };
    EXPECT_TRUE(rvappGetParamValues(all, none, "mode").empty());
    EXPECT_STREQ(rvappGetParamValue(out, none, "mode", "d").c_str(), "d");
}

TEST(RvComDisp, PackDateTimeDigits)
{
    struct Case {
        const char* text;
        const char* expected;
    } cases[] = {
        { "2024-01-31 09:05:07", "20240131090507" },
        { "2024-01-31", "20240131" },
        { "2024-01-3", "2024013" },
        { "20", "20" },
        { "", "" },
        { "2024-01-31 09:05:07.123456", "20240131090507" },
    };
    for (const Case& c : cases) {
        NString out;
        EXPECT_EQ(rvcomPackDateTimeDigits(c.text, out), 0);
        EXPECT_STREQ(out.c_str(), c.expected) << c.text;
    }
}
