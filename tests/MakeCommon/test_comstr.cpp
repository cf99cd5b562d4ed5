#include "comstr.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

std::string inPlace(const char* text, void (*fn)(char*))
{
    std::string buf(text);
    buf.push_back('\0');
    fn(&buf[0]);
    return std::string(buf.c_str());
}

// ---- small helpers -------------------------------------------------------

TEST(ComStr, Utf8SeqLenAndCount)
{
    struct { unsigned char b; int len; } lens[] = {
        {0x41, 1}, {0x80, -1}, {0xC1, -1}, {0xC2, 2}, {0xDF, 2}, {0xE0, 3}, {0xEF, 3},
        {0xF0, 4}, {0xF4, 4}, {0xF5, -1}, {0xF7, -1}, {0xF8, 5}, {0xFC, 6}, {0xFE, -1}, {0xFF, -1},
    };
    for (const auto& c : lens)
        EXPECT_EQ(c.len, comUtf8SeqLen(static_cast<char>(c.b))) << std::hex << int(c.b);

    EXPECT_EQ(2, comUtf8CharCount("a\xC3\xA9"));
    EXPECT_EQ(1, comUtf8CharCount("a\xE3"));
    EXPECT_EQ(2, comUtf8CharCount("\x80" "a\xE3\x81\x82"));
    EXPECT_EQ(0, comUtf8CharCount(nullptr));
    EXPECT_EQ(1, comIsHighByte('\xA0'));
    EXPECT_EQ(0, comIsHighByte('\x7F'));
    EXPECT_EQ(1, comIsHalfwidthKana("\xEF\xBD\xB1"));
    EXPECT_EQ(1, comIsHalfwidthKana("\xEF\xBE\x9F"));
    EXPECT_EQ(0, comIsHalfwidthKana("\xEF\xBD\xA0"));
    EXPECT_EQ(0, comIsHalfwidthKana("\xEF"));
}

TEST(ComStr, NumberChecks)
{
    EXPECT_EQ(3, comCeilDiv(5, 2));
    EXPECT_EQ(2, comCeilDiv(4, 2));
    EXPECT_EQ(-1, comCeilDiv(-3, 2));
    EXPECT_EQ(0, comCeilDiv(5, 0));
    EXPECT_EQ(INT_MAX, comCeilDiv(INT_MIN, -1));

    EXPECT_EQ(431, comHexToInt("1aF", 3));
    EXPECT_EQ(-1, comHexToInt("1g", 2));
    EXPECT_EQ(-1, comHexToInt("12345678", 8));
    EXPECT_EQ(0xFFFFFFF, comHexToInt("FFFFFFF", 7));
    EXPECT_EQ(0x12, comHexToInt("12 4", 4));
    EXPECT_EQ(-1, comHexToInt(nullptr, 2));

    struct { const char* t; int want; } ints[] = {
        {"-12\r\n", 1}, {"0", 1}, {"12 \t", 1}, {"-", 0}, {" 12", 0}, {"1 2", 0},
        {"", 0}, {"1a", 0}, {"--1", 0},
    };
    for (const auto& c : ints)
        EXPECT_EQ(c.want, comIsInteger(c.t)) << c.t;
    EXPECT_EQ(0, comIsInteger(nullptr));
    EXPECT_EQ(1, comIsBlank(nullptr));
    EXPECT_EQ(1, comIsBlank("   "));
    EXPECT_EQ(0, comIsBlank(" \t"));
}

TEST(ComStr, InPlaceEdits)
{
    char lines[] = "a\r\nb\r\nc";
    comCutLines(lines, 2);
    EXPECT_STREQ("a\r\nb", lines);
    char lf[] = "x\ny";
    comCutLines(lf, 1);
    EXPECT_STREQ("x", lf);
    char few[] = "x\ny";
    comCutLines(few, 3);
    EXPECT_STREQ("x\ny", few);

    char name[] = "a/b:c?.txt\x01\x7F\xE3\x81\x82|";
    comReplaceFileNameChars(name, '_');
    EXPECT_STREQ("a_b_c_.txt__\xE3\x81\x82_", name);
    char rc[] = "a-b-c";
    comReplaceChar(rc, '-', '+');
    EXPECT_STREQ("a+b+c", rc);
}

TEST(ComStr, Copies)
{
    char dst[8];
    comStrCopyN(dst, "abcdef", 3);
    EXPECT_STREQ("abc", dst);
    comStrCopyN(dst, nullptr, 3);
    EXPECT_STREQ("", dst);

    char out[16];
    char* end = comToUpperCopy("ab\xE9z", out);
    EXPECT_STREQ("AB\xE9Z", out);
    EXPECT_EQ(out + 4, end);
    comToLowerCopy("AbC", out);
    EXPECT_STREQ("abc", out);

    struct { const char* text; const char* want; } quotes[] = {
        {"abc", "\"abc\""}, {"a\\", "\"a\\\\\""}, {"a\\\\", "\"a\\\\\""}, {"", "\"\""},
    };
    for (const auto& c : quotes) {
        char q[16];
        comQuoteValue(q, c.text);
        EXPECT_STREQ(c.want, q) << c.text;
    }
}

TEST(ComStr, EndsWith)
{
    EXPECT_EQ(1, comEndsWith(".csv", "data.csv"));
    EXPECT_EQ(0, comEndsWith(".csv", ".csv"));
    EXPECT_EQ(0, comEndsWith(".csv", "data.txt"));
    EXPECT_EQ(1, comEndsWith("", "noext"));
    EXPECT_EQ(0, comEndsWith(nullptr, "a.b"));
    EXPECT_EQ(0, comEndsWith(".csv", nullptr));
}

// ---- string utilities ----------------------------------------------------

TEST(ComStrUtil, Trims)
{
    EXPECT_EQ(" a", inPlace(" a \t\r\n", comRTrim));
    EXPECT_EQ("\ta ", inPlace(" \r\n\ta ", comLTrim));
    EXPECT_EQ("ab", inPlace("a\rb\r", comStrRemoveCr));
    EXPECT_EQ("a b c d", inPlace("a\r\nb\rc\nd", comStrNewlinesToBlanks));

    char t[] = "a\r\nb\rc\r\nd";
    comStrCrLfToLf(6, t);
    EXPECT_STREQ("a\nb\nc\r\nd", t);

    EXPECT_EQ(1, comStrHasNoChar("abc", 'x'));
    EXPECT_EQ(0, comStrHasNoChar("abc", 'b'));
}

TEST(ComStrUtil, DecimalAndLowerAlnum)
{
    struct { const char* t; int want; } dec[] = {
        {"12", 1}, {".5", 1}, {"1.25", 1}, {"-1.25", 1}, {".-5", 0}, {"1.", 0}, {"a.1", 0}, {".", 0},
    };
    for (const auto& c : dec)
        EXPECT_EQ(c.want, comIsDecimal(c.t)) << c.t;
    EXPECT_EQ(0, comIsDecimal(nullptr));

    struct { const char* t; int want; } la[] = {
        {"abc123 \n", 1}, {"-a", 1}, {"-", 0}, {"a-b", 0}, {"Abc", 0}, {"", 0},
    };
    for (const auto& c : la) {
        std::string buf(c.t);
        EXPECT_EQ(c.want, comIsLowerAlnum(&buf[0])) << c.t;
    }
}

TEST(ComStrUtil, NumberCommas)
{
    struct { const char* t; int max; int want; } cases[] = {
        {"1,200,000", 10, 0}, {"-1234", 10, 0}, {"+12", 10, 0}, {"12,34", 10, -1},
        {"1,2345", 10, -1}, {"1234,567", 10, -1}, {",123", 10, -1}, {"", 10, -1},
        {"123,456", 5, -2}, {"1a", 10, -1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.want, comCheckNumberCommas(c.t, c.max)) << c.t;
    EXPECT_EQ(-1, comCheckNumberCommas(nullptr, 10));

    char out[32];
    struct { int v; const char* want; } ints[] = {
        {0, "0"}, {123, "123"}, {1234, "1,234"}, {123456, "123,456"}, {-123, "-123"},
        {-1234567, "-1,234,567"}, {INT_MIN, "-2,147,483,648"},
    };
    for (const auto& c : ints) {
        comIntWithCommas(out, c.v);
        EXPECT_STREQ(c.want, out) << c.v;
    }

    struct { double v; int dec; const char* want; } dbl[] = {
        {-1234567.891, 2, "-1,234,567.89"}, {123, 0, "123"}, {123456, 1, "123,456.0"},
        {0.5, 2, "0.50"}, {1000, 0, "1,000"},
    };
    for (const auto& c : dbl) {
        EXPECT_EQ(0, comDoubleWithCommas(out, c.v, c.dec));
        EXPECT_STREQ(c.want, out) << c.v;
    }
    char big[128];
    EXPECT_EQ(-1, comDoubleWithCommas(big, 1e300, 2));
    EXPECT_STREQ("", big);

    comStripCommas("1,234.5678", out, 2);
    EXPECT_STREQ("1234.56", out);
    comStripCommas("1,234,567", out, 0);
    EXPECT_STREQ("1234567", out);

    char d1[] = "1,234.5678";
    int decimals = 2;
    EXPECT_EQ(0, comCheckDecimalCommas(d1, 10, &decimals));
    EXPECT_EQ(4, decimals);
    EXPECT_STREQ("1,234.56", d1);
    char d2[] = "12.5";
    decimals = 0;
    EXPECT_EQ(0, comCheckDecimalCommas(d2, 10, &decimals));
    EXPECT_STREQ("12", d2);
    char d3[] = "12.-5";
    EXPECT_EQ(-1, comCheckDecimalCommas(d3, 10, &decimals));
    char d4[] = "1,23.5";
    EXPECT_EQ(-1, comCheckDecimalCommas(d4, 10, &decimals));
}

TEST(ComStrUtil, RoundDiv)
{
    EXPECT_EQ(3, comRoundDivInt(5, 2));
    EXPECT_EQ(4, comRoundDivInt(7, 2));
    EXPECT_EQ(2, comRoundDivInt(9, 4));
    EXPECT_EQ(-2, comRoundDivInt(-5, 2));
    EXPECT_EQ(0, comRoundDivInt(5, 0));
    EXPECT_DOUBLE_EQ(3.0, comRoundDiv(2.5, 1.0));
}

TEST(ComStrUtil, Utf8Cuts)
{
    struct { const char* t; int max; int flag; const char* want; int cut; } chars[] = {
        {"abc", 5, 0, "abc", 0},
        {"abc", 2, 0, "ab", 1},
        {"a\xE3\x81\x82" "b", 2, 0, "a\xE3\x81\x82", 1},
        {"a\xF0\x9F\x98\x80", 2, 0, "a", 1},
        {"a\xF0\x9F\x98\x80", 2, 1, "a\xF0\x9F\x98\x80", 0},
        {"abc", 0, 0, "", 1},
        {"ab\xE3\x81", 3, 0, "ab\xE3", 1},
    };
    for (const auto& c : chars) {
        std::string buf(c.t);
        EXPECT_EQ(c.cut, comUtf8Cut(&buf[0], c.max, c.flag)) << c.t;
        EXPECT_STREQ(c.want, buf.c_str()) << c.t;
    }

    struct { const char* t; int max; const char* want; } bytes[] = {
        {"a\xE3\x81\x82", 2, "a"}, {"a\xE3\x81\x82", 3, "a"}, {"a\xE3\x81\x82", 4, "a\xE3\x81\x82"},
        {"abcdef", 3, "abc"}, {"ab", 10, "ab"}, {"ab", 0, ""},
    };
    for (const auto& c : bytes) {
        std::string buf(c.t);
        comUtf8CutBytes(&buf[0], c.max, 0);
        EXPECT_STREQ(c.want, buf.c_str()) << c.t << " " << c.max;
    }

    // kanji 2 columns, half-width kana 1
    const char* mixed = "a\xE6\xBC\xA2\xEF\xBD\xB1" "b";
    EXPECT_EQ(5, comUtf8Width(mixed));
    int pos = -1;
    EXPECT_EQ(1, comUtf8WidthCut(mixed, 2, &pos));
    EXPECT_EQ(1, pos);
    EXPECT_EQ(5, comUtf8WidthCut(mixed, 5, &pos));
    EXPECT_EQ(0, pos);
    std::string w(mixed);
    EXPECT_EQ(1, comUtf8CutWidth(&w[0], 4));
    EXPECT_STREQ("a\xE6\xBC\xA2\xEF\xBD\xB1", w.c_str());
    EXPECT_EQ(2, comUtf8Width("\xFF" "a"));
    EXPECT_EQ(0, comUtf8Width(nullptr));
}

TEST(ComStrUtil, CharOffset)
{
    const char* t = "a\xC3\xA9\xE3\x81\x82z";  // a, e-acute, hiragana a, z
    int end = -1, n = -1;
    EXPECT_EQ(1, comUtf8CharOffset(t, 2, &end, &n, 1));
    EXPECT_EQ(6, end);
    EXPECT_EQ(3, n);
    EXPECT_EQ(3, comUtf8CharOffset(t, 9, &end, nullptr, 2));
    EXPECT_EQ(0, end);  // the text ends first
    EXPECT_EQ(0, comUtf8CharOffset(t, 0, &end, nullptr, 7));
    EXPECT_EQ(3, comUtf8CharOffset(t, 0, nullptr, nullptr, 2));
    EXPECT_EQ(0, comUtf8CharOffset(t, 0, nullptr, &n, 0));
    EXPECT_EQ(4, n);
}

TEST(ComStrUtil, Substr)
{
    char out[16];
    comSubstr("a\xE3\x81\x82" "b", 0, 3, out, 0);
    EXPECT_STREQ("a", out);
    comSubstr("abcdef", 2, 3, out, 0);
    EXPECT_STREQ("cde", out);
    comSubstr("abc", 5, 3, out, 0);
    EXPECT_STREQ("", out);
    // Shift_JIS: 0x82 0xA0 is one character
    comSubstr("a\x82\xA0" "b", 0, 2, out, 1);
    EXPECT_STREQ("a", out);
    comSubstr("a\x82\xA0" "b", 2, 3, out, 1);
    EXPECT_STREQ("b", out);
    comSubstr("a\x82\xA0" "b", 1, 3, out, 1);
    EXPECT_STREQ("\x82\xA0" "b", out);
}

TEST(ComStrUtil, NamesAndPaths)
{
    char out[64];
    struct { const char* n; const char* noext; const char* ext; } names[] = {
        {"data.csv", "data", ".csv"}, {"a.b.c", "a.b", ".c"}, {".profile", ".profile", ""},
        {"noext", "noext", ""},
    };
    for (const auto& c : names) {
        comFileNameNoExt(c.n, out);
        EXPECT_STREQ(c.noext, out);
        comFileNameExt(c.n, out);
        EXPECT_STREQ(c.ext, out);
    }
    comFileNameNoExt(nullptr, out);
    EXPECT_STREQ("", out);
    EXPECT_EQ(0, comMailDomain("me@example.org", out));
    EXPECT_STREQ("example.org", out);
    comMailDomain("nobody", out);
    EXPECT_STREQ("", out);

    const char* p = "c:\\dir\\sub/file.txt";
    EXPECT_EQ(strrchr(p, '/'), comPathLastSep(p, 0));
    EXPECT_EQ(strrchr(p, '/'), comPathLastSep(p, 1));
    EXPECT_EQ(nullptr, comPathLastSep("plain", 1));
    comPathDir(p, out, sizeof out, 1);
    EXPECT_STREQ("c:\\dir\\sub", out);
    comPathBase("a\\b/c\\name.txt", out, sizeof out, 0);
    EXPECT_STREQ("name.txt", out);
    comPathDir("/top", out, sizeof out, 0);
    EXPECT_STREQ("", out);
    comPathDir("/usr/local/bin", out, 5, 0);
    EXPECT_STREQ("/usr", out);
    comPathBase("dir/longname", out, 5, 0);
    EXPECT_STREQ("long", out);
    comPathBase("plain", out, sizeof out, 0);
    EXPECT_STREQ("plain", out);
}

TEST(ComStrUtil, CaseAndSearch)
{
    EXPECT_EQ(0, comStrCaseCmp("ABC", "abc"));
    EXPECT_LT(comStrCaseCmp("abc", "abd"), 0);
    EXPECT_EQ(0, comStrCaseCmp(nullptr, ""));
    EXPECT_EQ(0, comStrNCaseCmp("ABCx", "abcy", 3));
    EXPECT_NE(0, comStrNCaseCmp("ABCx", "abcy", 4));

    const char* t = "x\xE3\x81\x82HeLLo";
    EXPECT_EQ(t + 4, comStrCaseStr(t, "hello"));
    EXPECT_EQ(nullptr, comStrCaseStr(t, "\x81\x82"));
    EXPECT_EQ(nullptr, comStrCaseStr(t, nullptr));
    EXPECT_EQ(t + 4, comUtf8StrStr(t, "HeL"));
    EXPECT_EQ(nullptr, comUtf8StrStr(t, "hel"));
    EXPECT_EQ(nullptr, comUtf8StrStr("ab\xE3", "zz"));

    const char* list[] = {"Alpha", "beta", "Gamma"};
    EXPECT_EQ(1, comStrListFind("BETA", 3, list));
    EXPECT_EQ(-1, comStrListFind("delta", 3, list));
    EXPECT_EQ(2, comStrListFindPrefix("gam", 3, list));
    EXPECT_EQ(-1, comStrListFindPrefix("gammas", 3, list));
}

TEST(ComStrUtil, ReplaceAllocating)
{
    char* r = comStrReplaceAll("a-b-c", "-", "--");
    EXPECT_STREQ("a--b--c", r);
    free(r);
    r = comStrReplaceAll("aaa", "aa", "b");
    EXPECT_STREQ("ba", r);
    free(r);
    r = comStrReplaceAll("abc", "", "x");
    EXPECT_STREQ("abc", r);
    free(r);
    EXPECT_EQ(nullptr, comStrReplaceAll(nullptr, "a", "b"));

    r = comStrRemoveBlanksIfDotted("1. 2");
    EXPECT_STREQ("1. 2", r);  // short texts come back as a copy
    free(r);
    r = comStrRemoveBlanksIfDotted("2024. 1. 31");
    EXPECT_STREQ("2024.1.31", r);
    free(r);
    EXPECT_EQ(nullptr, comStrRemoveBlanksIfDotted("1 234 567 89"));
    EXPECT_EQ(nullptr, comStrRemoveBlanksIfDotted("1,234. 567 8"));
}

TEST(ComStrUtil, CsvField)
{
    const char* line = "a,\"b,\"\"c\"\"\",d";
    char out[64];
    int trunc = -1, closed = -1;
    EXPECT_EQ(1, comCsvGetField(1, sizeof out, line, out, &trunc, 0, 0, &closed, ','));
    EXPECT_STREQ("b,\"c\"", out);
    EXPECT_EQ(0, trunc);
    EXPECT_EQ(1, closed);
    EXPECT_EQ(1, comCsvGetField(2, sizeof out, line, out, nullptr, 0, 0, nullptr, ','));
    EXPECT_STREQ("d", out);
    EXPECT_EQ(0, comCsvGetField(3, sizeof out, line, out, nullptr, 0, 0, nullptr, ','));

    EXPECT_EQ(1, comCsvGetField(2, sizeof out, "x,y,", out, nullptr, 0, 0, nullptr, ','));
    EXPECT_STREQ("", out);
    EXPECT_EQ(1, comCsvGetField(1, sizeof out, "x\t\"open", out, nullptr, 0, 0, &closed, '\t'));
    EXPECT_STREQ("open", out);
    EXPECT_EQ(0, closed);
    EXPECT_EQ(1, comCsvGetField(0, 4, "abcdef", out, &trunc, 0, 0, nullptr, ','));
    EXPECT_STREQ("abc", out);
    EXPECT_EQ(1, trunc);
    EXPECT_EQ(0, comCsvGetField(0, sizeof out, "", out, nullptr, 0, 0, nullptr, ','));
    EXPECT_EQ(-99, comCsvGetField(0, sizeof out, nullptr, out, nullptr, 0, 0, nullptr, ','));

    std::string huge(13000, 'h');
    std::string hugeOut(20000, '\0');
    EXPECT_EQ(1, comCsvGetField(0, 20000, huge.c_str(), &hugeOut[0], &trunc, 0, 0, nullptr, ','));
    EXPECT_EQ(12000u, strlen(hugeOut.c_str()));
    EXPECT_EQ(1, trunc);
}

TEST(ComStrUtil, FullWidth)
{
    std::string a("\xEF\xBC\xA1\xE3\x80\x80\xEF\xBD\x9E\xE2\x80\x9D\xEF\xBF\xA5\xE3\x81\x82");
    EXPECT_EQ(0, comUtf8FullWidthToAscii(&a[0]));
    EXPECT_STREQ("A ~\"\\\xE3\x81\x82", a.c_str());

    std::string s("x\xE3\x80\x80\xEF\xBC\xA1");
    EXPECT_EQ(0, comUtf8FullSpaceToBlank(&s[0]));
    EXPECT_STREQ("x \xEF\xBC\xA1", s.c_str());

    std::string bad("\xE3\x80\x80\x80\xE3\x80\x80");
    EXPECT_EQ(-1, comUtf8FullSpaceToBlank(&bad[0]));
    EXPECT_STREQ(" \x80\xE3\x80\x80", bad.c_str());
}

TEST(ComStrUtil, Utf8Check)
{
    struct { const char* in; int drop; const char* want; } cases[] = {
        {"ok \xE3\x81\x82", 0, "ok \xE3\x81\x82"},
        {"a\xEF\xBB\xBF" "b", 0, "a???b"},          // byte-order mark
        {"\xEF\xBF\xBE", 0, "???"},                 // U+FFFE
        {"\xE0\x80\x80", 0, "???"},                 // overlong
        {"\xED\xA0\x80", 0, "???"},                 // surrogate
        {"\xF4\x90\x80\x80", 0, "????"},            // above U+10FFFF
        {"\xC0\xAF", 0, "??"},                      // overlong '/'
        {"a\x80" "b", 0, "ab"},                     // stray continuation
        {"a\tb\x01", 0, "a b?"},
        {"a\r\nb", 0, "a\r\nb"},
        {"a\r\nb", 1, "ab"},
        {"ab\xE3\x81", 0, "ab"},                    // cut sequence ends the walk
        {"\xF0\x9F\x98\x80", 0, "\xF0\x9F\x98\x80"},
    };
    for (const auto& c : cases) {
        std::string buf(c.in);
        EXPECT_EQ(1, comUtf8Check(&buf[0], c.drop, 0)) << c.in;
        EXPECT_STREQ(c.want, buf.c_str()) << c.in;
    }

    std::string good("a\r\n\t\xE3\x81\x82");
    EXPECT_EQ(1, comUtf8Check(&good[0], 0, 1));
    std::string bom("\xEF\xBB\xBF");
    EXPECT_EQ(0, comUtf8Check(&bom[0], 0, 1));
    EXPECT_STREQ("\xEF\xBB\xBF", bom.c_str());
    std::string ctl("a\x02");
    EXPECT_EQ(0, comUtf8Check(&ctl[0], 0, 1));
    EXPECT_EQ(1, comUtf8Check(nullptr, 0, 0));
}

TEST(ComStrUtil, SjisConversion)
{
    char out[32];
    EXPECT_EQ(0, comUtf8ToSjis("A\xE3\x81\x82", out, sizeof out));
    EXPECT_STREQ("A\x82\xA0", out);
    EXPECT_EQ(-1, comUtf8ToSjis("abcd", out, 4));
    EXPECT_EQ(0, comSjisToUtf8("A\x82\xA0\xB1", out, sizeof out));
    EXPECT_STREQ("A\xE3\x81\x82\xEF\xBD\xB1", out);
    EXPECT_EQ(-1, comSjisToUtf8("\x82\xA0\x82\xA0", out, 6));
}

} // namespace
