// Date, mail and number text checks.
#include "rvcomcheck.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "rvcomcode.h"
#include "rvlocaltext.h"

namespace {

// Local strings with date words, loaded from a file of the test's own.
class LocalWords : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(texts.load("year=\xE5\xB9\xB4\nmonth=\xE6\x9C\x88\nday=\xE6\x97\xA5\n"
                               "hour=\xE6\x99\x82\nminute=\xE5\x88\x86\nsecond=\xE7\xA7\x92\n"));
    }
    rvtest::LocalTexts texts;
};

struct Parts {
    NString y, mo, d, h, mi, s;
    int parse(const char* text) { return rvcomParseDateTime(text, y, mo, d, h, mi, s); }
    std::string join() const
    {
        return std::string(y.c_str()) + "|" + mo.c_str() + "|" + d.c_str() + "|" + h.c_str() +
               "|" + mi.c_str() + "|" + s.c_str();
    }
};

} // namespace

TEST_F(LocalWords, ParseDateTimeBySeparatorSet)
{
    struct Case {
        const char* text;
        const char* expected;
    } cases[] = {
        { "2024-01-05 10:20:30", "2024|01|05|10|20|30" },
        { "2024/1/5 7:8:9", "2024|1|5|7|8|9" },
        { "2024/02/03", "2024|02|03|||" },
        { "2024", "2024|||||" },
        // Local words: year, month, day with a blank after the day word.
        { "2024\xE5\xB9\xB4" "01\xE6\x9C\x88" "05\xE6\x97\xA5 10:20:30", "2024|01|05|10|20|30" },
        { "2024\xE5\xB9\xB4" "01\xE6\x9C\x88" "05\xE6\x97\xA5" "10\xE6\x99\x82" "20\xE5\x88\x86"
          "30\xE7\xA7\x92",
          "2024|01|05|10|20|30" },
        { "2024\xE5\xB9\xB4" "3\xE6\x9C\x88", "2024|3||||" },
    };
    for (const Case& c : cases) {
        Parts p;
        ASSERT_EQ(p.parse(c.text), 0) << c.text;
        EXPECT_EQ(p.join(), c.expected) << c.text;
    }
}

TEST(RvComCheck, ParseDateTimeKeepsPartsWithoutField)
{
    Parts p;
    p.h = "99";
    EXPECT_EQ(p.parse(""), 0);
    EXPECT_EQ(p.parse(nullptr), 0);
    EXPECT_STREQ(p.h.c_str(), "99");
    EXPECT_EQ(p.parse("2023-04"), 0);
    EXPECT_STREQ(p.y.c_str(), "2023");
    EXPECT_STREQ(p.mo.c_str(), "04");
    EXPECT_STREQ(p.h.c_str(), "99");
}

TEST(RvComCheck, ParseDateTimeLongInput)
{
    std::string longText(100000, '1');
    longText += "-2-3 4:5:6";
    Parts p;
    EXPECT_EQ(p.parse(longText.c_str()), 0);
    EXPECT_EQ(p.y.length(), 100000);
    EXPECT_STREQ(p.s.c_str(), "6");
}

TEST(RvComCheck, CheckDate)
{
    struct Case {
        const char* text;
        bool sep;
        int ok;
        const char* out;
    } cases[] = {
        { "2024,2,29,23,59,59", false, 1, "20240229235959" },
        { "2024,2,29,0,0,0", true, 1, "2024-02-29 00:00:00" },
        { "2023,2,29,0,0,0", false, 0, nullptr },
        { "2024,13,1,0,0,0", false, 0, nullptr },
        { "2024,1,1,24,0,0", false, 0, nullptr },
        { "2024,1,1,0,60,0", false, 0, nullptr },
        { "0,1,1,0,0,0", false, 0, nullptr },
        { "12024,1,1,0,0,0", false, 0, nullptr },
        { "2024,001,1,0,0,0", false, 0, nullptr },
        { "2024,1,1,0,0", false, 0, nullptr },
        { "2024,1,1,0,0,0,0", false, 0, nullptr },
        { "2024,a,1,0,0,0", false, 0, nullptr },
        { "", false, 0, nullptr },
    };
    for (const Case& c : cases) {
        NString out("unchanged");
        EXPECT_EQ(rvcomCheckDate(c.text, out, c.sep), c.ok) << c.text;
        EXPECT_STREQ(out.c_str(), c.out ? c.out : "unchanged") << c.text;
    }
}

TEST(RvComCheck, SplitDateTimeOverTemplate)
{
    struct Case {
        const char* stamp;
        const char* expected;
    } cases[] = {
        { "20200315123456", "2020|03|15|12|34|56" },
        { "2020", "2020|01|01|00|00|00" },
        { "20201", "2020|11|01|00|00|00" },
        { "", "0000|01|01|00|00|00" },
        { nullptr, "0000|01|01|00|00|00" },
    };
    for (const Case& c : cases) {
        Parts p;
        ASSERT_EQ(rvcomSplitDateTime(c.stamp, p.y, p.mo, p.d, p.h, p.mi, p.s), 0);
        EXPECT_EQ(p.join(), c.expected);
    }
    Parts p;
    p.y = "keep";
    EXPECT_EQ(rvcomSplitDateTime("202003151234567", p.y, p.mo, p.d, p.h, p.mi, p.s), -100001);
    EXPECT_STREQ(p.y.c_str(), "keep");
}

TEST(RvComCheck, MailAddress)
{
    std::string longMail = std::string(254, 'a') + "@b";
    std::string tooLong = std::string(255, 'a') + "@b";
    struct Case {
        const char* text;
        int expected;
    } cases[] = {
        { "a@b", 1 },      { "@ab", 0 },         { "ab@", 0 },  { "a@b@c", 0 },
        { "a @b", 0 },     { "a\xC3\xA9@b", 0 }, { "ab", 0 },   { "", 0 },
        { nullptr, 0 },    { longMail.c_str(), 1 }, { tooLong.c_str(), 0 },
    };
    for (const Case& c : cases)
        EXPECT_EQ(rvcomCheckMailAddress(c.text), c.expected) << (c.text ? c.text : "null");
}

TEST(RvComCheck, NumberTextsAndDigits)
{
    struct Case {
        const char* text;
        int isNumber;
    } cases[] = {
        { "0", 1 },    { "-0.5", 1 }, { "12.34", 1 }, { ".5", 0 },  { "5.", 0 },
        { "1.2.3", 0 }, { "1e5", 0 },  { "--1", 0 },   { " 1", 0 },  { "", 0 },
        { nullptr, 0 },
        // A sign without a digit is no number.
        { "-", 0 },    { "-.5", 0 },
    };
    for (const Case& c : cases)
        EXPECT_EQ(rvcomIsNumberText(c.text), c.isNumber) << (c.text ? c.text : "null");

    struct Digits {
        const char* text;
        int intDigits, decDigits, ok;
    } digits[] = {
        { "123.45", 3, 2, 1 },  { "1234.5", 3, 2, 0 }, { "12.345", 3, 2, 0 },
        { "-123", 3, 0, 1 },    { "1234", 3, 0, 0 },   { "1234", 0, 0, 1 },
        { "12345.6", -1, 0, 1 }, { "12345.67", 0, 1, 0 }, { "12345.6", 0, 1, 1 },
        { "abc", 3, 2, 0 },     { "", 3, 2, 0 },
    };
    for (const Digits& d : digits)
        EXPECT_EQ(rvcomCheckNumberDigits(d.text, d.intDigits, d.decDigits), d.ok) << d.text;

    int ip = -1, dp = -1;
    EXPECT_EQ(rvcomCountNumberDigits("-123.45", &ip, &dp), 0);
    EXPECT_EQ(ip, 3);
    EXPECT_EQ(dp, 2);
    EXPECT_EQ(rvcomCountNumberDigits("42", &ip, &dp), 0);
    EXPECT_EQ(ip, 2);
    EXPECT_EQ(dp, 0);
    EXPECT_EQ(rvcomCountNumberDigits("x", &ip, &dp), -100001);
    EXPECT_EQ(rvcomCountNumberDigits("", &ip, &dp), -100001);
}

TEST(RvComCheck, TrimDecimalZeros)
{
    std::string longNumber = std::string(70, '9') + ".500";
    struct Case {
        const char* text;
        const char* expected;
    } cases[] = {
        { "1.500", "1.5" }, { "2.000", "2" }, { "100", "100" }, { "0.0", "0" },
        { "-3.10", "-3.1" }, { "", "" },
        // Long values keep every digit.
        { longNumber.c_str(), nullptr },
    };
    for (const Case& c : cases) {
        NString out;
        EXPECT_EQ(rvcomTrimDecimalZeros(c.text, out), 0);
        std::string expected = c.expected ? c.expected : std::string(70, '9') + ".5";
        EXPECT_EQ(std::string(out.c_str()), expected);
    }
}

TEST(RvComCheck, AlignNumberText)
{
    struct Case {
        const char* text;
        int intDigits, decDigits, ret;
        const char* out;
    } cases[] = {
        { "-0.00", 3, 2, 0, "000.00" },
        { "12.3", 3, 2, 0, "012.30" },
        { "-12.345", 3, 2, 0, "-012.34" },
        { "7", 2, 0, 0, "07." },
        { "999", 3, 0, 0, "999." },
        // Wider than the field: refused, nothing written past the text.
        { "1234", 3, 2, -100001, nullptr },
        { "", 3, 2, -100001, nullptr },
        { "1", 0, 2, -100001, nullptr },
        { "1", 128, 2, -100001, nullptr },
        { "1", 3, -1, -100001, nullptr },
        { "1", 3, 128, -100001, nullptr },
    };
    for (const Case& c : cases) {
        char* out = reinterpret_cast<char*>(1);
        EXPECT_EQ(rvcomAlignNumberText(c.text, c.intDigits, c.decDigits, &out), c.ret) << c.text;
        if (c.out) {
            ASSERT_NE(out, nullptr);
            EXPECT_STREQ(out, c.out);
        } else {
            EXPECT_EQ(out, nullptr);
        }
        free(c.ret == 0 ? out : nullptr);
    }
    std::string huge(600, '1');
    char* out = nullptr;
    EXPECT_EQ(rvcomAlignNumberText(huge.c_str(), 127, 127, &out), -100001);
    std::string longDec = "1." + std::string(600, '5');
    ASSERT_EQ(rvcomAlignNumberText(longDec.c_str(), 1, 127, &out), 0);
    EXPECT_EQ(std::string(out), "1." + std::string(127, '5'));
    free(out);
}

TEST(RvComCheck, CompareNumber)
{
    struct Case {
        const char* a;
        const char* b;
        int expected;
    } cases[] = {
        { "-2", "-10", 1 }, { "-1", "1", -1 }, { "1", "-1", 1 },   { "10", "9", 1 },
        { "1.5", "1.50", 0 }, { "-0", "0", 0 }, { "-0", "-1", 1 },  { "-1", "-0", -1 },
        { "0.01", "0.1", -1 },
    };
    for (const Case& c : cases) {
        int cmp = 99;
        ASSERT_EQ(rvcomCompareNumber(c.a, c.b, 3, 2, &cmp), 0) << c.a << " " << c.b;
        EXPECT_EQ(cmp > 0 ? 1 : (cmp < 0 ? -1 : 0), c.expected) << c.a << " " << c.b;
    }
    int cmp = 0;
    EXPECT_EQ(rvcomCompareNumber("", "1", 3, 0, &cmp), -100001);
    EXPECT_EQ(rvcomCompareNumber("1", "x", 3, 0, &cmp), -100001);
    EXPECT_EQ(rvcomCompareNumber("1", "1", 3, 0, nullptr), -100001);
    EXPECT_EQ(rvcomCompareNumber("1", "10000", 3, 0, &cmp), -100001);
}
