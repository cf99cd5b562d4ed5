// Address splitting, address lists, dates and the JIS walkers over damaged
// input: every text is handed over in a buffer of exactly its size and every
// output in one of its documented size, so a byte read or written past them
// is caught.
#include "comjis.h"
#include "commail.h"
#include "rvmutate.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

std::string mutate(std::mt19937& rng, const std::string& base)
{
    static const char* const kPieces[] = {"",       "\x1b",   "\x1b$",  "\x1b$B", "\x1b(B",
                                          "\x1b(I", "\x1b(J", "\x1b$@", "<",      ">",
                                          ",",      "\"",     "'",      "\\",     "(",
                                          ")",      ":",      "\r\n",   "\x0e",   "\x93",
                                          "99999999999", "+0900", "Mar", "Tue,"};
    static const rvtest::Mutation kMutation = {kPieces, sizeof kPieces / sizeof kPieces[0], 5, 8,
                                               "$;\"\\<a9 ", 700};
    return rvtest::mutate(rng, base, kMutation);
}

std::vector<char> exact(const std::string& s)
{
    const char* c = s.c_str();
    return std::vector<char>(c, c + strlen(c) + 1);
}

// Walks a JIS text; false when it ends inside a kanji or katakana run.
bool endsInAscii(const char* s)
{
    bool open = false;
    for (; *s; ++s) {
        if (s[0] == '\x1b' && s[1] && s[2]) {
            if (s[1] == '$' && (s[2] == 'B' || s[2] == '@'))
                open = true;
            else if (s[1] == '(')
                open = s[2] == 'I';
        }
    }
    return !open;
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

const std::string kLists[] = {
    "Taro <taro@example.jp>, \"Yamada, Hanako\" <h@e.jp>",
    "\x1b$B;3ED\x1b(B <y@e.jp>, \x1b(I12\x1b(B <k@e.jp>",
    "a@b (\x1b$B;3\x1b(B), c@d (C), 'e f'@g",
    "\"A\" \"B\" <ab@e.jp>, C\\\"D <cd@e.jp>, just-name",
};

TEST(MailRobust, AddressSplitAndLists)
{
    std::mt19937 rng(23u);
    for (int i = 0; i < 3000; ++i) {
        const std::string& base = kLists[i % 4];
        std::vector<char> text = exact(i < 4 ? base : mutate(rng, base));
        const char* end = text.data() + text.size() - 1;

        // Split the whole list, both backslash modes.
        const char* p = text.data();
        for (int n = 0; p && n < 1000; ++n) {
            ComMailAddrSplit rec = {};
            const char* next = comMailAddrSplit(p, &rec, i & 1);
            ASSERT_NE(nullptr, rec.address);
            EXPECT_EQ(strlen(rec.address), rec.addressLen);
            EXPECT_EQ(rec.name ? strlen(rec.name) : 0u, rec.nameLen);
            free(rec.address);
            free(rec.name);
            ASSERT_TRUE(!next || (next > p && next <= end));
            p = next;
        }

        Table t;
        int error = 0;
        int r = comMailParseAddrList(text.data(), t.recs, &t.count, &error);
        EXPECT_TRUE(r == 0 || r == -2) << r;
        for (int k = 0; k < t.count; ++k) {
            EXPECT_LT(strlen(t.recs[k]->address), 512u);
            EXPECT_LE(strlen(t.recs[k]->name), 1023u);
            EXPECT_TRUE(endsInAscii(t.recs[k]->name));
        }
    }
}

TEST(MailRobust, Dates)
{
    const std::string samples[] = {"Tue, 5 Mar 2013 10:20:30 +0900", "5 Mar 99 10:20 GMT",
                                   "Sun,05 Jan 2005 23:59:60 -0000 (UTC)"};
    std::mt19937 rng(29u);
    for (int i = 0; i < 3000; ++i) {
        std::vector<char> text = exact(i < 3 ? samples[i] : mutate(rng, samples[i % 3]));
        std::vector<char> date(9, 'x'), time(7, 'x'), zone(6, 'x');
        int r = comMailDate(text.data(), date.data(), time.data(), zone.data());
        if (r == 0) {
            EXPECT_EQ(8u, strspn(date.data(), "0123456789"));
            EXPECT_EQ(6u, strspn(time.data(), "0123456789"));
            EXPECT_EQ('\0', date[8]);
            EXPECT_EQ('\0', time[6]);
        } else {
            EXPECT_EQ(-1, r);
            EXPECT_STREQ("", date.data());
            EXPECT_STREQ("", time.data());
        }
        EXPECT_LE(strlen(zone.data()), 5u);
    }
}

TEST(MailRobust, JisWalkers)
{
    std::mt19937 rng(31u);
    for (int i = 0; i < 3000; ++i) {
        std::vector<char> text = exact(mutate(rng, kLists[i % 4]));
        size_t len = text.size() - 1;
        char* q = comJisQuoteEscape(text.data());
        ASSERT_NE(nullptr, q);
        EXPECT_LE(strlen(q), 2 * len);
        free(q);
        char* c = comJisClean(text.data());
        ASSERT_NE(nullptr, c);
        EXPECT_LE(strlen(c), len + 3);
        EXPECT_TRUE(endsInAscii(c));
        free(c);
        int max = static_cast<int>(rng() % 40);
        std::vector<char> dst(static_cast<size_t>(max) + 1, '\0');
        int n = comJisCopyBounded(dst.data(), text.data(), max);
        EXPECT_LE(n, max);
        EXPECT_LE(strlen(dst.data()), static_cast<size_t>(max));
        comJisCaseFind(text.data(), "(");
        comJisHasEscape(text.data());
        comHasNonPrintJis(text.data());
    }
}

} // namespace
