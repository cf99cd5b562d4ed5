// Value checks and their messages.
#include "rvvalidator.h"

#include <gtest/gtest.h>

#include <string>

#include "rvcomcode.h"
#include "rvlocaltext.h"
#include "rvspan.h"

namespace {

const char* const LOCAL_TEXT =
    "msg_lenminmax=%d to %d chars\n"
    "msg_lenmin=at least %d chars\n"
    "msg_lenmax=at most %d chars\n"
    "msg_valminmax=%s to %s\n"
    "msg_valmin_date=from %s\n"
    "msg_valmax_date=until %s\n"
    "msg_numdigit=%d int %d dec\n"
    "validation_itemnm_def=Item\n"
    "item_price=Price\n";

const char* const CODE_TEXT =
    "-210001=E,%s is required\n"
    "-210002=E,%s is too small\n"
    "-210006=E,%s is invalid\n"
    "-210008=E,%s is not a number\n"
    "-320013=E,bound cannot be compared\n";

class Validator : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(texts.load(LOCAL_TEXT, CODE_TEXT)); }
    rvtest::LocalTexts texts;
};

using rvtest::span;

} // namespace

TEST_F(Validator, MessageMakers)
{
    EXPECT_TRUE(rvValidatorMakeMessage(RvCheckResult(), "Name").isNull());
    EXPECT_TRUE(rvValidatorMakeMessageByKey(RvCheckResult(), "item_price").isNull());
    EXPECT_STREQ(rvValidatorMakeMessage(RvCheckResult(-210001), "Name").c_str(),
                 "Name is required");
    EXPECT_STREQ(rvValidatorMakeMessage(RvCheckResult(-210001), nullptr).c_str(),
                 "Item is required");
    EXPECT_STREQ(rvValidatorMakeMessage(RvCheckResult(-210001), "").c_str(), "Item is required");
    EXPECT_STREQ(
        rvValidatorMakeMessageByKey(RvCheckResult(-210002, NString("1 to 5")), "item_price")
            .c_str(),
        "Price is too small(1 to 5)");
    EXPECT_STREQ(rvValidatorMakeMessageByKey(RvCheckResult(-210001), "no_such_key").c_str(),
                 "no_such_key is required");
    // A code without an entry.
    EXPECT_STREQ(rvValidatorMakeMessage(RvCheckResult(-210077), "X").c_str(), "(code:-210077)");
}

TEST_F(Validator, RequiredLengthIntRange)
{
    EXPECT_EQ(rvValidatorCheckRequired(nullptr).code, -210001);
    EXPECT_EQ(rvValidatorCheckRequired("").code, -210001);
    EXPECT_EQ(rvValidatorCheckRequired("a").code, 0);
    RvCheckResult inv = rvValidatorInvalidValue("why");
    EXPECT_EQ(inv.code, -210006);
    EXPECT_STREQ(inv.message.c_str(), "why");

    struct Len {
        const char* text;
        int min, max, code;
        const char* message;
    } lens[] = {
        { "abc", 1, 3, 0, "" },
        { "abcd", 1, 3, -210004, "1 to 3 chars" },
        { "", 1, 3, -210005, "1 to 3 chars" },
        { nullptr, 2, 0, -210005, "at least 2 chars" },
        { "abcd", 0, 3, -210004, "at most 3 chars" },
        { "abcdef", 0, 0, 0, "" },
        // Counted in characters: three 3-byte characters.
        { "\xE3\x81\x82\xE3\x81\x82\xE3\x81\x82", 0, 3, 0, "" },
        { "\xE3\x81\x82\xE3\x81\x82\xE3\x81\x82", 0, 2, -210004, "at most 2 chars" },
    };
    for (const Len& c : lens) {
        RvCheckResult r = rvValidatorCheckLength(c.text, c.min, c.max);
        EXPECT_EQ(r.code, c.code) << (c.text ? c.text : "null");
        EXPECT_STREQ(r.message.c_str(), c.message);
    }

    struct Range {
        const char* text;
        int code;
    } ranges[] = {
        { "", 0 },        { "5", 0 },         { "1", 0 },        { "10", 0 },
        { "0", -210002 }, { "11", -210003 },  { "-3", -210002 }, { "x", -210008 },
        { "1.5", -210008 }, { "5 ", 0 },
        // Far outside int: no wrap into the range.
        { "4294967301", -210003 }, { "99999999999999999999999", -210003 },
        { "-4294967291", -210002 },
    };
    for (const Range& c : ranges) {
        RvCheckResult r = rvValidatorCheckIntRange(c.text, 1, 10);
        EXPECT_EQ(r.code, c.code) << c.text;
        EXPECT_STREQ(r.message.c_str(), c.code ? "1 to 10" : "") << c.text;
    }
}

TEST_F(Validator, Decimal)
{
    const char* lo = "-999999999999999.99999";
    const char* hi = "999999999999999.99999";
    struct Case {
        const char* value;
        int intDigits, decDigits;
        const char* min;
        const char* max;
        int code;
        const char* message;
    } cases[] = {
        { "", 15, 2, lo, hi, 0, "" },
        { "12.34", 15, 2, lo, hi, 0, "" },
        { "12.345", 15, 2, lo, hi, -210008, "15 int 2 dec" },
        { "abc", 15, 2, lo, hi, -210008, "15 int 2 dec" },
        { "-", 15, 2, lo, hi, -210008, "15 int 2 dec" },
        { "1234", 3, 0, "0", "999", -210008, "3 int 0 dec" },
        { "-999999999999999.99999", 15, 5, lo, hi, 0, "" },
        { "5", 3, 0, "10", "20", -210002, "10 to 20" },
        { "25", 3, 0, "10", "20", -210003, "10 to 20" },
        { "-2", 3, 0, "-10", "-1", 0, "" },
        { "-20", 3, 0, "-10", "-1", -210002, "-10 to -1" },
        // An empty or unusable bound fails with the comparison text.
        { "5", 3, 0, "", "20", -210008, "bound cannot be compared" },
        { "5", 3, 0, nullptr, "20", -210008, "bound cannot be compared" },
        { "5", 3, 0, "0", "x", -210008, "bound cannot be compared" },
        // A bound wider than the digits is refused, never written past.
        { "5", 3, 0, "0", "99999", -210008, "bound cannot be compared" },
    };
    for (const Case& c : cases) {
        RvCheckResult r = rvValidatorCheckDecimal(c.value, c.intDigits, c.decDigits, c.min, c.max);
        EXPECT_EQ(r.code, c.code) << c.value;
        EXPECT_STREQ(r.message.c_str(), c.message) << c.value;
    }
}

TEST_F(Validator, DateTime)
{
    const std::string longText(5000, '9');
    struct Case {
        const char* text;
        const char* min;
        const char* max;
        int precision;
        int code;
    } cases[] = {
        { "", "20240101000000", "20241231235959", 6, 0 },
        { "2024/02/29", nullptr, nullptr, 3, 0 },
        { "2024/02/30", nullptr, nullptr, 3, -210007 },
        { "2023/02/29", nullptr, nullptr, 3, -210007 },
        { "2024/02/30", nullptr, nullptr, 2, 0 },
        { "2024-13", nullptr, nullptr, 2, -210007 },
        { "2024/1/5 24:00:00", nullptr, nullptr, 4, -210007 },
        { "2024/1/5 23:59:60", nullptr, nullptr, 6, -210007 },
        { "2024/1/5 23:59:60", nullptr, nullptr, 5, 0 },
        { "2024/1/5", nullptr, nullptr, 4, -210007 },
        { "12024/1/5", nullptr, nullptr, 1, -210007 },
        { "2024/001/5", nullptr, nullptr, 2, -210007 },
        { "abc", nullptr, nullptr, 1, -210007 },
        { "2024/01/05 10:20:30", "20240105102030", "", 6, 0 },
        { "2024/01/05 10:20:29", "20240105102030", "", 6, -210002 },
        { "2024/01/05 10:20:31", "", "20240105102030", 6, -210003 },
        { "2024/01/05", "20240105102030", "20240105102030", 3, 0 },
        { "2024/01/06", "20240105102030", "20240105102030", 3, -210003 },
        { longText.c_str(), nullptr, nullptr, 1, -210007 },
    };
    for (const Case& c : cases) {
        EXPECT_EQ(rvValidatorCheckDateTime(c.text, c.min, c.max, c.precision).code, c.code)
            << c.text << " p" << c.precision;
    }
}

TEST_F(Validator, DateTimeRuleTexts)
{
    RvCheckResult r =
        rvValidatorCheckDateTime("2024/02/30 00:00:00", "00010101000000", "99991231235959", 6);
    EXPECT_EQ(r.code, -210007);
    EXPECT_STREQ(r.message.c_str(), "0001/01/01 00:00:00 to 9999/12/31 23:59:59");
    r = rvValidatorCheckDateTime("2000/01/01", "20240101000000", nullptr, 3);
    EXPECT_EQ(r.code, -210002);
    EXPECT_STREQ(r.message.c_str(), "from 2024/01/01");
    r = rvValidatorCheckDateTime("2030", nullptr, "2024", 1);
    EXPECT_EQ(r.code, -210003);
    EXPECT_STREQ(r.message.c_str(), "until 2024");
    r = rvValidatorCheckDateTime("x", nullptr, nullptr, 1);
    EXPECT_EQ(r.code, -210007);
    EXPECT_TRUE(r.message.isNullOrEmpty());
}

TEST_F(Validator, DateTimeParts)
{
    DateTimeParts p;
    EXPECT_EQ(rvValidatorCheckDateTime(p, nullptr, nullptr, 6).code, 0);
    p.parse("20240229101112");
    EXPECT_EQ(rvValidatorCheckDateTime(p, nullptr, nullptr, 6).code, 0);
    p.day = "30";
    EXPECT_EQ(rvValidatorCheckDateTime(p, nullptr, nullptr, 6).code, -210007);
    DateTimeParts y;
    y.year = "2024";
    EXPECT_EQ(rvValidatorCheckDateTime(y, nullptr, nullptr, 1).code, 0);
    EXPECT_EQ(rvValidatorCheckDateTime(y, nullptr, nullptr, 2).code, -210007);
}

TEST_F(Validator, TimeSpan)
{
    struct Case {
        TimeSpanParts parts;
        int code;
    } cases[] = {
        { span(nullptr, nullptr, nullptr, nullptr), 0 },
        { span("1000", nullptr, nullptr, nullptr), 0 },
        { span("1001", nullptr, nullptr, nullptr), -210019 },
        { span("-1000", nullptr, nullptr, "0"), 0 },
        { span("1000", "0", "0", "1"), -210019 },
        { span("x", nullptr, nullptr, nullptr), -210019 },
        { span(nullptr, "1.5", nullptr, nullptr), -210019 },
        { span(nullptr, nullptr, nullptr, "86400000"), 0 },
        { span(nullptr, nullptr, nullptr, "86400001"), -210019 },
        // Parts whose 32-bit sum would wrap back into range.
        { span(nullptr, "1193047", nullptr, nullptr), -210019 },
        { span(nullptr, "99999999999999999999", nullptr, nullptr), -210019 },
        { span(nullptr, "-99999999999999999999", nullptr, nullptr), -210019 },
    };
    for (const Case& c : cases)
        EXPECT_EQ(rvValidatorCheckTimeSpan(c.parts).code, c.code) << c.parts.days.c_str() << "|"
                                                                  << c.parts.hours.c_str();
}

TEST_F(Validator, MailAndUrl)
{
    EXPECT_EQ(rvValidatorCheckMail("").code, 0);
    EXPECT_EQ(rvValidatorCheckMail(nullptr).code, 0);
    EXPECT_EQ(rvValidatorCheckMail("a@b").code, 0);
    RvCheckResult r = rvValidatorCheckMail("a @b");
    EXPECT_EQ(r.code, -210009);
    EXPECT_TRUE(r.message.isNullOrEmpty());
    EXPECT_EQ(rvValidatorCheckUrl("").code, 0);
    EXPECT_EQ(rvValidatorCheckUrl(nullptr).code, 0);
    EXPECT_EQ(rvValidatorCheckUrl("https://example.com/a").code, 0);
    EXPECT_EQ(rvValidatorCheckUrl("mailto:a@b").code, -210010);
    EXPECT_EQ(rvValidatorCheckUrl("javascript://x").code, -210010);
}
