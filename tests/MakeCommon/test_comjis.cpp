#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "comjis.h"

namespace {

// "yamada" in kanji, as a JIS run.
const std::string kYamada = "\x1b$B;3ED\x1b(B";

std::string owned(char* p)
{
    std::string s = p ? p : "(null)";
    free(p);
    return s;
}

TEST(ComJis, CaseSearch)
{
    EXPECT_EQ(0, comStrCasePrefixCmp("abc", "AB"));
    EXPECT_EQ(-1, comStrCasePrefixCmp("abd", "ABC"));
    EXPECT_EQ(-1, comStrCasePrefixCmp("", "a"));

    const char* t = "Subject: Hello";
    EXPECT_EQ(t + 9, comStrCaseFind(t, "hELLO"));
    EXPECT_EQ(t, comStrCaseFind(t, ""));
    EXPECT_EQ(nullptr, comStrCaseFind("", ""));
    EXPECT_EQ(nullptr, comStrCaseFind(t, "hello!"));

    // "(" and "ab" occur only as bytes of kanji pairs, then in ASCII.
    std::string jis = "\x1b$B$(ab\x1b(B x(Ab";
    const char* j = jis.c_str();
    EXPECT_EQ(j + jis.find("x(") + 1, comJisCaseFind(j, "("));
    EXPECT_EQ(j + jis.find("Ab"), comJisCaseFind(j, "aB"));
    EXPECT_EQ(nullptr, comJisCaseFind("\x1b$B$(", "("));
    // Truncated pair and escape at the end.
    EXPECT_EQ(nullptr, comJisCaseFind("\x1b$B$", "$"));
    EXPECT_EQ(nullptr, comJisCaseFind("a\x1b$", "b"));
}

TEST(ComJis, Predicates)
{
    EXPECT_EQ(1, comHasParens("  a (b) c"));
    EXPECT_EQ(0, comHasParens("a ) (b"));
    EXPECT_EQ(1, comStrLenAtLeast("abc", 3));
    EXPECT_EQ(0, comStrLenAtLeast("abc", 4));

    EXPECT_EQ(1, comJisHasEscape(("a" + kYamada).c_str()));
    EXPECT_EQ(0, comJisHasEscape("\x1bK \x1b("));
    EXPECT_EQ(0, comJisHasEscape("\x1b$"));

    // Every byte is checked, also the one after CR, LF or ESC.
    struct {
        const char* text;
        int jis, plain;
    } cases[] = {
        {"plain text\r\n", 0, 0}, {"\x1b$B;3\x1b(B", 0, 1}, {"a\n\x80", 1, 1},
        {"a\r\x01", 1, 1},       {"\x1b\t", 1, 1},          {"tab\there", 1, 1},
        {"a\n", 0, 0},           {"\x1b", 0, 1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.jis, comHasNonPrintJis(c.text)) << c.text;
        EXPECT_EQ(c.plain, comHasNonPrint(c.text)) << c.text;
    }
}

TEST(ComJis, QuoteAndClean)
{
    struct {
        std::string in, quoted;
    } quotes[] = {
        {"say \"hi\"", "say \\\"hi\\\""},
        {"\x1b$B\"\"\x1b(B\"", "\x1b$B\"\"\x1b(B\\\""},  // pairs kept, ASCII quote escaped
        {"\x1b(I\"\x1b(B", "\x1b(I\"\x1b(B"},
        {"a\"\x1b$", "a\\\""},                           // cut escape ends the copy
        {"\x1b$B;3E", "\x1b$B;3"},                       // lone lead ends the copy
    };
    for (const auto& q : quotes)
        EXPECT_EQ(q.quoted, owned(comJisQuoteEscape(q.in.c_str()))) << q.in;

    struct {
        std::string in, clean;
    } cleans[] = {
        {"a\tb\x01\x80" "c", "a\tbc"},
        {"\x1b$B;3\x01" "ED", "\x1b$B;3ED\x1b(B"},        // the byte between is dropped
        {"\x1b$B;3\x01\x02", "\x1b$B;3\x1b(B"},
        {"\x1b$B;3E", "\x1b$B;3\x1b(B"},                 // ends inside a run
        {"\x1b(I1`2\x1b(B", "\x1b(I1`2\x1b(B"},
        {"\x0e" "1`\x0f" "a", "\x0e" "1\x0f" "a"},
        {"x\x1b(", "x"},
    };
    for (const auto& c : cleans)
        EXPECT_EQ(c.clean, owned(comJisClean(c.in.c_str()))) << c.in;
}

// Bounded copies at every limit: nothing cut inside an escape or a pair,
// the closing escape fits within the limit.
TEST(ComJis, CopyBoundedEveryLimit)
{
    struct {
        std::string src;
        const char* out[11];
        int ret[11];
    } cases[] = {
        {"ab" "\x1b$B$3\x1b(B" "c",
         {"", "a", "ab", "ab", "ab", "ab", "ab", "ab", "ab\x1b$B\x1b(B", "ab\x1b$B\x1b(B",
          "ab\x1b$B$3\x1b(B"},
         {0, 1, 2, 2, 2, 2, 2, 2, 5, 5, 10}},
        {"x\x1b(Jyz",
         {"", "x", "x", "x", "x", "x", "x", "x\x1b(J\x1b(B", "x\x1b(Jy\x1b(B",
          "x\x1b(Jyz\x1b(B", "x\x1b(Jyz\x1b(B"},
         {0, 1, 1, 1, 1, 1, 1, 4, 5, 6, 6}},
    };
    for (const auto& c : cases) {
        for (int max = 0; max <= 10; ++max) {
            char dst[16];
            memset(dst, 0, sizeof dst);
            EXPECT_EQ(c.ret[max], comJisCopyBounded(dst, c.src.c_str(), max)) << max;
            EXPECT_STREQ(c.out[max], dst) << max;
            EXPECT_LE(strlen(dst), static_cast<size_t>(max));
        }
    }
}

TEST(ComJis, AddressSplit)
{
    struct {
        std::string list;
        int flag;
        std::string address, name;  // "" name: null
        const char* rest;           // null: list ended
    } cases[] = {
        {"Taro <taro@example.jp> , next", 0, "taro@example.jp", "Taro", " next"},
        {"taro@example.jp", 0, "taro@example.jp", "", nullptr},
        {"\"Yamada, Taro\" <t@e.jp>, b@e.jp", 0, "t@e.jp", "Yamada, Taro", " b@e.jp"},
        {"\"Ta\" \"ro\" <a@b>", 0, "a@b", "Taro", nullptr},
        {kYamada + " <y@e.jp>,x", 0, "y@e.jp", kYamada, "x"},
        {"\x1b$B$,\x1b(B <a@b>", 0, "a@b", "\x1b$B$,\x1b(B", nullptr},  // ',' inside a pair
        // An open run takes '<' and '>' as kanji bytes and is closed.
        {"\x1b$B;3 <a@b>", 0, "\x1b$B;3 <a@b\x1b(B", "", nullptr},
        {"\x1b(I12\x7f\x1b(B <a@b>", 0, "a@b", "\x1b(I12\x1b(B", nullptr},
        {"\x1b$B;3E", 0, "\x1b$B;3\x1b(B", "", nullptr},                // lone lead dropped
        {"Ta\\\"ro <a@b>", 0, "a@b", "Ta\"ro", nullptr},
        {"\\a\\b\\c <a@b>", 1, "a@b", "\\a\\b\\c", nullptr},
        {"a\\", 1, "a\\", "", nullptr},
        {"taro@e.jp (Taro Yamada), z", 0, "taro@e.jp", "Taro Yamada", " z"},
        {"'t a'@e.jp (T\\)x)", 0, "t a@e.jp", "Tx", nullptr},
    };
    for (const auto& c : cases) {
        ComMailAddrSplit rec = {};
        const char* rest = comMailAddrSplit(c.list.c_str(), &rec, c.flag);
        ASSERT_NE(nullptr, rec.address) << c.list;
        EXPECT_EQ(c.address, rec.address) << c.list;
        EXPECT_EQ(strlen(rec.address), rec.addressLen);
        EXPECT_EQ(c.name, rec.name ? rec.name : "") << c.list;
        EXPECT_EQ(rec.name ? strlen(rec.name) : 0u, rec.nameLen);
        if (c.rest)
            EXPECT_STREQ(c.rest, rest) << c.list;
        else
            EXPECT_EQ(nullptr, rest) << c.list;
        free(rec.address);
        free(rec.name);
    }

    ComMailAddrSplit rec = {};
    EXPECT_EQ(0, comMailAddrSplitParen("  a@b (\x1b$B;3\x1b(B)\r\nc", &rec));
    EXPECT_STREQ("a@b", rec.address);
    EXPECT_STREQ("\x1b$B;3\x1b(B)", rec.name);
    free(rec.address);
    free(rec.name);
}

} // namespace
