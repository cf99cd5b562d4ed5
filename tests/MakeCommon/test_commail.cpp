#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "commail.h"

namespace {

TEST(ComMail, Dates)
{
    struct {
        const char* text;
        int ret;
        const char *date, *time, *zone;
    } cases[] = {
        {"Tue, 5 Mar 2013 10:20:30 +0900", 0, "20130305", "102030", "+0900"},
        {"5 Mar 99 10:20:30 GMT", 0, "19990305", "102030", "GMT"},
        {"Sun, 05 Jan 05 23:59:60 -0000 (UTC)", 0, "20050105", "235960", "-0000"},
        {"Tue,5 MAR 2013 10:20 JST", 0, "20130305", "102000", "JST"},
        {"Wed, 29 Feb 2012 00:00:00 +09:00", 0, "20120229", "000000", "+09:0"},
        {"5 Mar 2013 10:20:30 0900\r\n", 0, "20130305", "102030", "0900"},
        {"1 Jan 49", 0, "20490101", "000000", ""},
        {"1 Jan 50", 0, "19500101", "000000", ""},
        {"Fri, 29 Feb 2013 00:00:00 +0000", -1, "", "", ""},
        {"5 Foo 2013 10:20:30 +0900", -1, "", "", ""},
        {"Tue, 5 Mar", -1, "", "", ""},
        {"5 Mar 2013 24:00:00 +0900", -1, "", "", ""},
        {"99999999999999999999 Mar 2013", -1, "", "", ""},
        {"5 Mar 2013 99999999999999999999:00:00", -1, "", "", ""},
        {"0 Mar 2013", -1, "", "", ""},
        {"5 Mar 123", -1, "", "", ""},
    };
    for (const auto& c : cases) {
        // Exactly the documented sizes, so that a longer write is caught.
        std::vector<char> date(9, 'x'), time(7, 'x'), zone(6, 'x');
        EXPECT_EQ(c.ret, comMailDate(c.text, date.data(), time.data(), zone.data())) << c.text;
        EXPECT_STREQ(c.date, date.data()) << c.text;
        EXPECT_STREQ(c.time, time.data()) << c.text;
        EXPECT_STREQ(c.zone, zone.data()) << c.text;
    }
    // Only the first 127 bytes are read.
    char d[9], t[7], z[6];
    EXPECT_EQ(-1, comMailDate((std::string(127, ' ') + "5 Mar 2013").c_str(), d, t, z));
}

struct Table {
    ComMailAddrRecord* recs[COM_MAIL_ADDR_MAX] = {};
    int count = 0;
    ~Table()
    {
        for (int i = 0; i < count; ++i)
            free(recs[i]);
    }
};

TEST(ComMail, AddressLists)
{
    Table t;
    int error = 0;
    std::string yamada = "\x1b$B;3ED\x1b(B";
    std::string list = "Taro <taro@example.jp>, " + yamada + " <y@e.jp>,a@b (Name), just-name, "
                       "'q u'@c (Q)";
    EXPECT_EQ(0, comMailParseAddrList(list.c_str(), t.recs, &t.count, &error));
    EXPECT_EQ(0, error);
    ASSERT_EQ(5, t.count);
    const char* expect[][2] = {{"taro@example.jp", "Taro"}, {"y@e.jp", yamada.c_str()},
                               {"a@b", "Name"}, {"just-name", ""}, {"q u@c", "Q"}};
    for (int i = 0; i < 5; ++i) {
        EXPECT_STREQ(expect[i][0], t.recs[i]->address) << i;
        EXPECT_STREQ(expect[i][1], t.recs[i]->name) << i;
    }

    // 257 entries fill the table and report the rest.
    Table full;
    std::string many;
    for (int i = 0; i < 257; ++i)
        many += "user" + std::to_string(i) + "@example.jp, ";
    EXPECT_EQ(-2, comMailParseAddrList(many.c_str(), full.recs, &full.count, nullptr));
    EXPECT_EQ(256, full.count);
    EXPECT_STREQ("user255@example.jp", full.recs[255]->address);
}

TEST(ComMail, AddressLimits)
{
    ComMailAddrRecord* rec = static_cast<ComMailAddrRecord*>(calloc(1, sizeof *rec));

    // A kanji name of 1200 bytes is cut on a pair and closed within 1023 bytes.
    std::string name = "\x1b$B";
    for (int i = 0; i < 600; ++i)
        name += "$\"";
    name += "\x1b(B";
    int error = 0;
    std::string list = name + " <k@e.jp>, n@e.jp";
    const char* next = comMailParseAddr(list.c_str(), rec, 0, &error);
    EXPECT_STREQ(" n@e.jp", next);
    EXPECT_EQ(0, error);
    EXPECT_STREQ("k@e.jp", rec->address);
    size_t len = strlen(rec->name);
    EXPECT_LE(len, 1023u);
    EXPECT_EQ(0, (len - 6) % 2);
    EXPECT_EQ(0, memcmp(rec->name, "\x1b$B", 3));
    EXPECT_EQ("\x1b(B", std::string(rec->name + len - 3));

    // Over-long addresses are cut and reported; the list goes on after them.
    struct {
        std::string text;
        size_t kept;
    } longs[] = {{"<" + std::string(600, 'a') + ">, next", 509},
                 {std::string(600, 'b') + ", next", 511}};
    for (const auto& l : longs) {
        error = 0;
        EXPECT_STREQ(" next", comMailParseAddr(l.text.c_str(), rec, 0, &error));
        EXPECT_EQ(-1, error);
        EXPECT_EQ(l.kept, strlen(rec->address));
    }

    // The paren form keeps at most 127 bytes of the name.
    comMailParseAddrSimple(("a@b (" + std::string(300, 'n') + ")").c_str(), rec);
    EXPECT_STREQ("a@b", rec->address);
    EXPECT_EQ(127u, strlen(rec->name));
    free(rec);
}

TEST(ComMail, HeaderHelpers)
{
    char buf[64];
    EXPECT_STREQ("hi there", comMailHeaderName("Subject: \thi there", buf, 4));
    EXPECT_STREQ("Sub", buf);
    EXPECT_EQ(nullptr, comMailHeaderName("no colon", buf, sizeof buf));
    EXPECT_STREQ("charset=iso-2022-jp", comMailHeaderParam("text/plain;  charset=iso-2022-jp"));
    EXPECT_EQ(nullptr, comMailHeaderParam("text/plain"));

    int len = -1;
    EXPECT_STREQ(" x", comMailAngleAddr("Taro <taro@e.jp> x", buf, 5, &len));
    EXPECT_STREQ("taro", buf);
    EXPECT_EQ(4, len);
    EXPECT_EQ(nullptr, comMailAngleAddr("Taro <taro", buf, sizeof buf, &len));

    // The value starts after the ':' and its blanks, also at the very end.
    struct {
        const char* line;
        int ret;
        const char* value;
    } values[] = {{"To: <a@b>, \"C\" <c@d>", 0, "a@b, \"C\" c@d"},
                  {"Name:", 0, ""},
                  {"Name:x", 0, "x"},
                  {"no colon", -1, ""}};
    for (const auto& v : values) {
        std::vector<char> out(strlen(v.line) + 1, 'x');
        EXPECT_EQ(v.ret, comMailValueNoBrackets(v.line, out.data())) << v.line;
        EXPECT_STREQ(v.value, out.data()) << v.line;
    }

    EXPECT_STREQ("12345678", comLeadingDigits("1234567890"));
    EXPECT_EQ(-1, comIsAllDigits(""));
    EXPECT_EQ(0, comIsAllDigits("12a"));
    EXPECT_STREQ("5", comSkipToDigitAfterColon("10:x5"));
    char trim[] = "ab  \r\n";
    comTrimTrailingWs(trim);
    EXPECT_STREQ("ab", trim);
    char keep[] = " \r\n";
    comTrimTrailing2(keep);
    EXPECT_STREQ(" \r", keep);
}

} // namespace
