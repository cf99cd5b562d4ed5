#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "nustring.h"

TEST(NUString, GrowingSetKeepsLatestValue)
{
    NUString s;
    EXPECT_TRUE(s.isEmpty());
    EXPECT_STREQ("", s.c_str());
    EXPECT_EQ(0, s.set(""));  // on a fresh value: no buffer yet
    EXPECT_STREQ("", s.c_str());
    EXPECT_EQ(0, s.set("abc"));
    EXPECT_EQ(0, s.set("abcdef"));
    EXPECT_STREQ("abcdef", s.c_str());
    EXPECT_EQ(0, s.set("abc"));
    EXPECT_STREQ("abc", s.c_str());
    EXPECT_EQ(0, s.set(nullptr));
    EXPECT_TRUE(s.isEmpty());
    EXPECT_EQ(0, s.setN("abcdef", 3));
    EXPECT_STREQ("abc", s.c_str());
    EXPECT_EQ(-1, s.setN(nullptr, 3));
    s.clear();
    EXPECT_TRUE(s.isEmpty());
}

TEST(NUString, SetFromOwnTextAndAppendOwnText)
{
    NUString s("hello world");
    EXPECT_EQ(0, s.set(s.c_str() + 6));
    EXPECT_STREQ("world", s.c_str());
    EXPECT_EQ(0, s.append(s.c_str()));
    EXPECT_STREQ("worldworld", s.c_str());
    EXPECT_EQ(0, s.append(nullptr));
    EXPECT_EQ(0, s.append(""));
    EXPECT_STREQ("worldworld", s.c_str());
    EXPECT_EQ(0, s.format("%s-%.5s", s.c_str(), s.c_str() + 5));
    EXPECT_STREQ("worldworld-world", s.c_str());
}

TEST(NUString, CopyAndAssign)
{
    NUString a("abc");
    NUString b(a);
    NUString c;
    c = a;
    a.set("x");
    EXPECT_STREQ("abc", b.c_str());
    EXPECT_STREQ("abc", c.c_str());
    NUDateStr d;
    d.set("20240105");
    NUDateStr e(d);
    EXPECT_STREQ("20240105", e.c_str());
    EXPECT_EQ(9u, e.capacity());
}

TEST(NUString, SetCut)
{
    struct Case {
        const char* text;
        unsigned max;
        const char* suffix;
        const char* want;
    } cases[] = {
        {"abcdef", 4, "..", "ab.."},
        {"abcd", 4, "..", "abcd"},
        {"abc", 4, "..", "abc"},
        // "あ" is 3 bytes: cutting at 4 - 2 = 2 bytes would split it.
        {"\xE3\x81\x82\xE3\x81\x84xx", 4, "..", ".."},
        {"a\xE3\x81\x82\xE3\x81\x84", 6, "..", "a\xE3\x81\x82.."},
        // A suffix longer than the maximum never makes the value longer.
        {"abcdef", 2, "...", ".."},
    };
    for (const auto& c : cases) {
        NUString s;
        EXPECT_EQ(0, s.setCut(c.text, c.max, c.suffix)) << c.text;
        EXPECT_STREQ(c.want, s.c_str()) << c.text << " max " << c.max;
    }
}

TEST(NUString, SetCutCharsAppendsSuffixOnlyWhenCut)
{
    NUString s;
    s.setCutChars("\xE3\x81\x82\xE3\x81\x84\xE3\x81\x86\xE3\x81\x88", 3, "~", 1);
    EXPECT_STREQ("\xE3\x81\x82\xE3\x81\x84~", s.c_str());
    s.setCutChars("ab", 5, "~", 1);
    EXPECT_STREQ("ab", s.c_str());
}

TEST(NUString, CopyToNeverSplitsASequence)
{
    NUString s("a\xE3\x81\x82" "b");
    char buf[8];
    EXPECT_EQ(0, s.copyTo(buf, 3));
    EXPECT_STREQ("a", buf);
    EXPECT_EQ(0, s.copyTo(buf, 5));
    EXPECT_STREQ("a\xE3\x81\x82", buf);
    EXPECT_EQ(0, s.copyTo(buf, sizeof buf));
    EXPECT_STREQ("a\xE3\x81\x82" "b", buf);
    EXPECT_EQ(-1, s.copyTo(nullptr, 4));
    EXPECT_EQ(-1, s.copyTo(buf, 0));
    NUString empty;
    EXPECT_EQ(0, empty.copyTo(buf, sizeof buf));
    EXPECT_STREQ("", buf);
}

TEST(NUString, FormatTrimReplaceCompare)
{
    NUString s;
    EXPECT_EQ(0, s.format("%s-%d", "x", 42));
    EXPECT_STREQ("x-42", s.c_str());
    std::string big(10000, 'z');
    EXPECT_EQ(0, s.format("%s", big.c_str()));
    EXPECT_EQ(8192u, s.length()); // buffer strlen("%s") + 8192, one byte kept free
    s.set("a b \t\r\n");
    s.trimRight();
    EXPECT_STREQ("a b", s.c_str());
    s.replaceChar(' ', '_');
    EXPECT_STREQ("a_b", s.c_str());
    EXPECT_EQ(0, s.compare("a_b"));
    EXPECT_EQ(0, s.caseCompare("A_B"));
    EXPECT_EQ(0, s.compareN("a_x", 2));
    EXPECT_EQ(0, s.caseCompareN("A_x", 2));
    NUDateStr fixed;
    EXPECT_EQ(-1, fixed.format("%d", 1));
}

TEST(NUFixedInt, DigitsOfExactWidthOnly)
{
    struct Case {
        const char* text;
        int want;
        const char* value;
    } cases[] = {
        {"1234", 0, "1234"},
        {"", 0, ""},
        {"123", -31, ""},
        {"12a4", -31, ""},
        {"-123", -31, ""},
        {"123\n", -31, ""},
        {"12345", -30, ""},
    };
    for (const auto& c : cases) {
        NUFixedInt f(5);
        f.set("9999");
        EXPECT_EQ(c.want, f.set(c.text)) << c.text;
        EXPECT_STREQ(c.value, f.c_str()) << c.text;
    }
}

TEST(NUDateStr, Set)
{
    struct Case {
        const char* text;
        int want;
        const char* value;
    } cases[] = {
        {"2024/2/29", 0, "20240229"},
        {"2024-01-05", 0, "20240105"},
        {"20241231", 0, "20241231"},
        {"2023-02-29", -33, ""},
        {"20230229", -33, ""},
        {"abc", -32, ""},
        {"", 0, ""},
        {"2024/2", -32, ""},   // a missing day is not read from nowhere
        {"202401011", -32, ""},
        {"2024/13/01", -33, ""},
    };
    for (const auto& c : cases) {
        NUDateStr d;
        d.set("20000101");
        EXPECT_EQ(c.want, d.set(c.text)) << c.text;
        EXPECT_STREQ(c.value, d.c_str()) << c.text;
    }
    NUDateStr d;
    EXPECT_EQ(0, d.set(nullptr));
    EXPECT_TRUE(d.isEmpty());
}

TEST(NUDateStr, SetParts)
{
    struct Case {
        const char *y, *m, *d;
        int want;
        const char* value;
    } cases[] = {
        {"2024", "1", "5", 0, "20240105"},
        {"2024", "", "5", -33, "19990101"},
        {"2024", "x", "5", -33, "19990101"},
        {"20245", "1", "5", -30, "19990101"},
        {"2024", "123", "5", -30, "19990101"},
        {"", "", "", 0, "19990101"},
        {"2023", "2", "29", -33, ""},
    };
    for (const auto& c : cases) {
        NUDateStr d;
        d.set("19990101");
        EXPECT_EQ(c.want, d.setParts(c.y, c.m, c.d)) << c.y << "/" << c.m << "/" << c.d;
        EXPECT_STREQ(c.value, d.c_str());
    }
}

TEST(NUDateStr, PartsAndDayArithmetic)
{
    NUDateStr d;
    EXPECT_EQ(-1, d.year());
    EXPECT_EQ(-31, d.nextDay());
    d.set("20241231");
    EXPECT_EQ(2024, d.year());
    EXPECT_EQ(12, d.month());
    EXPECT_EQ(31, d.day());
    EXPECT_EQ(24, d.yearTwoDigits());
    EXPECT_EQ(0, d.nextDay());
    EXPECT_STREQ("20250101", d.c_str());
    EXPECT_EQ(0, d.prevDay());
    EXPECT_EQ(0, d.prevDay());
    EXPECT_STREQ("20241230", d.c_str());
    d.set("20240301");
    d.prevDay();
    EXPECT_STREQ("20240229", d.c_str());
    EXPECT_EQ(2005, d.year("20050607"));
    EXPECT_EQ(6, d.month("20050607"));
    EXPECT_EQ(5, d.yearTwoDigits("20050607"));
    EXPECT_EQ(2024, d.year(""));
    NUDateStr empty;
    EXPECT_GE(empty.year(nullptr), 2024); // today
}

TEST(NUDateTimeStr, Set)
{
    struct Case {
        const char* text;
        int want;
        const char* value;
    } cases[] = {
        {"20240131235959", 0, "20240131235959"},
        {"20240131235960", -31, ""},
        {"20240131246000", -31, ""},
        {"20240230120000", -31, ""},
        {"2024013123595\n", -31, ""},
        {"2024/1/31", -31, ""},
        {"20240131", -31, ""},
        {"", 0, ""},
    };
    for (const auto& c : cases) {
        NUDateTimeStr t;
        EXPECT_EQ(c.want, t.set(c.text)) << c.text;
        EXPECT_STREQ(c.value, t.c_str()) << c.text;
    }
    NUDateTimeStr t;
    EXPECT_EQ(-1, t.hour());
    EXPECT_STREQ("", t.timePart());
    t.set("20241231235958");
    EXPECT_EQ(23, t.hour());
    EXPECT_EQ(59, t.minute());
    EXPECT_STREQ("235958", t.timePart());
    EXPECT_EQ(0, t.nextDay());
    EXPECT_STREQ("20250101235958", t.c_str());
}
