#include "nstring.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

TEST(NString, NullAndEmptyAreDistinct)
{
    NString def;
    EXPECT_TRUE(def.isNull());
    EXPECT_EQ(0, def.getRefCount());

    NString fromNull(nullptr, -1);
    EXPECT_TRUE(fromNull.isNull());
    EXPECT_EQ(1, fromNull.getRefCount());
    EXPECT_STREQ("", fromNull.c_str());
    EXPECT_TRUE(fromNull.isNullOrEmpty());
    EXPECT_EQ(0, fromNull.length());

    NString empty("");
    EXPECT_FALSE(empty.isNull());
    EXPECT_TRUE(empty.isNullOrEmpty());

    NString part("abcdef", 3);
    EXPECT_STREQ("abc", part.c_str());
    EXPECT_EQ(3, part.length());
    // A length past the text's end stops at its NUL.
    NString shortSrc("ab", 10);
    EXPECT_STREQ("ab", shortSrc.c_str());
}

TEST(NString, CopiesShareAndCountExactly)
{
    NString a("text");
    {
        NString b(a);
        NString c;
        c = b;
        EXPECT_EQ(3, a.getRefCount());
        EXPECT_EQ(a.c_str(), c.c_str());
        c = c;          // self
        c = a;          // same text pointer
        EXPECT_EQ(3, a.getRefCount());
        c = NString("other");
        EXPECT_EQ(2, a.getRefCount());
    }
    EXPECT_EQ(1, a.getRefCount());

    NString moved(static_cast<NString&&>(a));
    EXPECT_EQ(1, moved.getRefCount());
    EXPECT_TRUE(a.isNull());
}

// Texts of every size around the kept block sizes are copied whole, shared
// and freed (the sanitizer build checks each block goes back as it came).
TEST(NString, FromBytesAcrossBlockSizes)
{
    std::string src(200, ' ');
    for (size_t i = 0; i < src.size(); i++)
        src[i] = static_cast<char>('a' + i % 26);
    for (size_t n = 0; n <= 130; n++) {
        NString s = NString::fromBytes(src.data(), n);
        ASSERT_FALSE(s.isNull());
        ASSERT_EQ(static_cast<int>(n), s.length());
        ASSERT_EQ(0, memcmp(src.data(), s.c_str(), n)) << n;
        NString copy(s), other;
        other = copy;
        EXPECT_EQ(3, s.getRefCount());
        NString viaCtor(src.data(), static_cast<int>(n));
        EXPECT_STREQ(s.c_str(), viaCtor.c_str());
    }
    EXPECT_TRUE(NString::fromBytes(nullptr, 3).isNull());
    // Many strings alive at once, freed in another order than made.
    std::vector<NString> many;
    for (int i = 0; i < 20000; i++)
        many.push_back(NString::fromBytes(src.data(), static_cast<size_t>(i % 70)));
    for (size_t i = 0; i < many.size(); i += 2)
        many[i] = NString();
    many.clear();
}

TEST(NString, AdoptsArray)
{
    char* p = new char[4];
    strcpy(p, "xyz");
    NString s(p);
    EXPECT_EQ(p, s.c_str());
    EXPECT_EQ(1, s.getRefCount());
}

TEST(NString, Concatenation)
{
    NString null1, null2;
    EXPECT_TRUE((null1 + null2).isNull());
    NString a("ab");
    EXPECT_STREQ("ab", (null1 + a).c_str());
    EXPECT_STREQ("abcd", (a + "cd").c_str());

    NString s;
    s += null1;
    EXPECT_TRUE(s.isNull());
    s += "x";
    s += s;
    EXPECT_STREQ("xx", s.c_str());
}

TEST(NString, Format)
{
    NString s("old");
    s.format("%s-%05d", "id", 42);
    EXPECT_STREQ("id-00042", s.c_str());

    std::string big(5000, 'q');
    s.format("<%s>", big.c_str());
    EXPECT_EQ(5002, s.length());
    EXPECT_EQ('>', s.c_str()[5001]);
}

TEST(NString, Substring)
{
    NString d("20240131123456");
    struct { int start, end; const char* want; } cases[] = {
        {4, 6, "01"}, {0, 0, "20240131123456"}, {12, 14, "56"}, {10, 99, "3456"},
        {20, 0, nullptr}, {6, 6, nullptr}, {6, 4, nullptr}, {-3, 2, nullptr}, {-5, -1, nullptr},
    };
    for (const auto& c : cases) {
        NString r = d.substring(c.start, c.end);
        if (c.want)
            EXPECT_STREQ(c.want, r.c_str()) << c.start << "," << c.end;
        else
            EXPECT_TRUE(r.isNull()) << c.start << "," << c.end;
    }
    EXPECT_TRUE(NString().substring(0, 0).isNull());
}

TEST(NString, Trimming)
{
    EXPECT_STREQ("a b", NString(" \t a b \t").trim().c_str());
    EXPECT_STREQ("a ", NString("\t a ").trimLeft().c_str());
    EXPECT_STREQ(" a", NString(" a \t").trimRight().c_str());

    NString blanks("   ");
    EXPECT_FALSE(blanks.trimRight().isNull());
    EXPECT_STREQ("", blanks.trimRight().c_str());
    EXPECT_STREQ("", blanks.trimLeft().c_str());
    EXPECT_TRUE(NString().trim().isNull());

    NString clean("abc");
    NString same = clean.trimLeft();
    EXPECT_EQ(clean.c_str(), same.c_str());
}

TEST(NString, LeftCountsUtf8Characters)
{
    EXPECT_STREQ("a\xC3\xA9", NString("a\xC3\xA9x").left(2).c_str());
    EXPECT_STREQ("", NString("\x80" "abc").left(1).c_str());
    EXPECT_STREQ("", NString("abc").left(0).c_str());
    EXPECT_TRUE(NString().left(3).isNull());
    // A cut sequence at the end ends the walk.
    EXPECT_STREQ("ab", NString("ab\xE3\x81").left(5).c_str());
    EXPECT_STREQ("\xF0\x9F\x98\x80", NString("\xF0\x9F\x98\x80z").left(1).c_str());
}

TEST(NString, PadLeft)
{
    EXPECT_STREQ("00042", NString("42").padLeft('0', 5).c_str());
    EXPECT_STREQ("123", NString("123").padLeft('0', 2).c_str());
    NString wide = NString("x").padLeft('-', 300);
    ASSERT_EQ(300, wide.length());
    EXPECT_EQ('-', wide.c_str()[0]);
    EXPECT_EQ('x', wide.c_str()[299]);
}

TEST(NString, ReplaceAll)
{
    struct { const char *text, *from, *to, *want; } cases[] = {
        {"aaa", "a", "bb", "bbbbbb"},
        {"aaa", "aa", "b", "ba"},
        {"a.b.c", ".", "", "abc"},
        {"xyz", "q", "r", "xyz"},
        {"abab", "ab", "abab", "abababab"},
    };
    for (const auto& c : cases)
        EXPECT_STREQ(c.want, NString(c.text).replaceAll(c.from, c.to).c_str()) << c.text;

    NString s("keep");
    EXPECT_EQ(s.c_str(), s.replaceAll("", "x").c_str());
    EXPECT_EQ(s.c_str(), s.replaceAll(NString(), "x").c_str());
}

TEST(NStringBuffer, GrowthSteps)
{
    NStringBuffer empty(0);
    EXPECT_EQ(0u, empty.capacity());
    EXPECT_STREQ("", empty.c_str());
    empty.appendf("%d", 7);
    EXPECT_EQ(4096u, empty.capacity());
    EXPECT_STREQ("7", empty.c_str());

    NStringBuffer b(4096);
    std::string fill(4000, 'a');
    b.append(fill.c_str());
    b.append(std::string(200, 'b').c_str(), 200);
    EXPECT_EQ(81920u, b.capacity());
    EXPECT_EQ(4200u, b.length());

    NStringBuffer f(4096);
    std::string big(100000, 'z');
    f.appendf("%s", big.c_str());
    EXPECT_EQ(4096u + 100001u, f.capacity());
    EXPECT_EQ(100000u, f.length());

    EXPECT_EQ(-1, f.reserve(10));
    NStringBuffer r(16);
    r.append("abc");
    EXPECT_EQ(0, r.reserve(64));
    EXPECT_EQ(64u, r.capacity());
    EXPECT_STREQ("abc", r.c_str());
}

TEST(NStringBuffer, AppendAssignClearDetach)
{
    NStringBuffer b(4096);
    b.append(nullptr);
    b.append("ab");
    b.append("cdef", 2);
    b.appendf("-%s-", "x");
    EXPECT_STREQ("abcd-x-", b.c_str());
    b.clear();
    EXPECT_EQ(0u, b.length());
    EXPECT_EQ(4096u, b.capacity());
    b.assign("new");
    EXPECT_STREQ("new", b.c_str());

    NString s(b.detach());
    EXPECT_STREQ("new", s.c_str());
    EXPECT_EQ(0u, b.capacity());
    EXPECT_STREQ("", b.c_str());
    EXPECT_EQ(nullptr, b.detach());
}

TEST(NStringBuffer, AppendsItsOwnText)
{
    NStringBuffer b(8);
    b.append("abcdef");
    // Growth reallocates while the source is the old array.
    b.append(b.c_str());
    EXPECT_STREQ("abcdefabcdef", b.c_str());
    b.append(b.c_str(), 3);
    EXPECT_STREQ("abcdefabcdefabc", b.c_str());
    b.assign(b.c_str() + 6);
    EXPECT_STREQ("abcdefabc", b.c_str());

    NStringBuffer f(16);
    f.append("0123456789");
    std::string big(90000, 'y');
    f.appendf("%s%s", f.c_str(), big.c_str());
    EXPECT_EQ(90020u, f.length());
    EXPECT_EQ(0, strncmp(f.c_str(), "01234567890123456789yy", 22));
}

} // namespace
