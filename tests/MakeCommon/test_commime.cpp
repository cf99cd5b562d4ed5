#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "commime.h"

namespace {

std::string encode(const std::string& s)
{
    std::string out(4 * ((s.size() + 2) / 3) + 1, '\xAA');
    int n = comBase64Encode(static_cast<int>(s.size()), s.data(), &out[0]);
    EXPECT_EQ('\0', out[static_cast<size_t>(n)]);
    return out.substr(0, static_cast<size_t>(n));
}

// Decodes the pieces as one stream and flushes the carry.
std::string decodeStream(std::initializer_list<const char*> pieces)
{
    comBase64DecodeInit();
    std::string out;
    char buf[256];
    for (const char* p : pieces) {
        int n = comBase64Decode(static_cast<int>(strlen(p)), p, buf);
        EXPECT_EQ('\0', buf[n]);
        out.append(buf, static_cast<size_t>(n));
    }
    int n = comBase64DecodeEnd(buf);
    out.append(buf, static_cast<size_t>(n));
    return out;
}

std::string qpEncode(const std::string& s, int maxLine, int header)
{
    std::string out(4 * s.size() + 1, '\0');
    EXPECT_EQ(0, comQpEncode(s.c_str(), &out[0], maxLine, header));
    return out.c_str();
}

} // namespace

TEST(Base64, EncodeRfcVectors)
{
    const char* cases[][2] = {
        {"", ""},         {"f", "Zg=="},         {"fo", "Zm8="},         {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"},
        {"user:pass", "dXNlcjpwYXNz"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c[1], encode(c[0])) << c[0];
    EXPECT_EQ("//79", encode("\xFF\xFE\xFD"));
}

TEST(Base64, DecodeStreams)
{
    EXPECT_EQ("ABC", decodeStream({"QUJD"}));
    EXPECT_EQ("foobar", decodeStream({"Zm9vYmFy"}));
    EXPECT_EQ("fo", decodeStream({"Zm8="}));
    EXPECT_EQ("f", decodeStream({"Zg=="}));
    EXPECT_EQ("foobar", decodeStream({"Zm", "9vY", "mFy"}));
    EXPECT_EQ("foobar", decodeStream({"  \tZm9v\r\n", "YmFy\r\n"}));
    EXPECT_EQ("", decodeStream({""}));
    EXPECT_EQ("", decodeStream({" \t "}));
}

TEST(Base64, CarryAndFlush)
{
    char buf[16];
    comBase64DecodeInit();
    EXPECT_EQ(0, comBase64Decode(3, "QUI", buf));
    EXPECT_STREQ("", buf);
    EXPECT_EQ(2, comBase64DecodeEnd(buf));
    EXPECT_STREQ("AB", buf);
    EXPECT_EQ(0, comBase64DecodeEnd(buf)); // the carry is gone
    // A third character with low bits set adds no byte from nothing.
    EXPECT_EQ("AB", decodeStream({"QUJ"}));
    // One character completes no byte.
    EXPECT_EQ("", decodeStream({"Q"}));
    // A LF starting a group ends the call.
    comBase64DecodeInit();
    EXPECT_EQ(3, comBase64Decode(9, "QUJD\nQUJD", buf));
    EXPECT_STREQ("ABC", buf);
    // The length bounds what is read.
    comBase64DecodeInit();
    EXPECT_EQ(3, comBase64Decode(6, "QUJDQUJD", buf));
    EXPECT_EQ(1, comBase64DecodeEnd(buf)); // "QU" carried: one byte
    EXPECT_STREQ("A", buf);
    comBase64DecodeInit();
}

TEST(QuotedPrintable, Encode)
{
    EXPECT_EQ("a_=5Fb", qpEncode("a _b", 0, 1));
    EXPECT_EQ("a=20b", qpEncode("a b", 0, 0));
    EXPECT_EQ("=3D=2E=E3=81=82", qpEncode("=.\xE3\x81\x82", 0, 0));
    EXPECT_EQ("a\r\nb\r\nc", qpEncode("a\nb\r\nc", 0, 0));
    EXPECT_EQ("x=0Dy", qpEncode("x\ry", 0, 0));
}

TEST(QuotedPrintable, SoftBreaksKeepLinesShort)
{
    std::string src;
    for (int i = 0; i < 200; ++i)
        src += (i % 3) ? 'a' : '\xC0';
    for (int max : {76, 10, 4}) {
        std::string out = qpEncode(src, max, 0);
        size_t start = 0;
        for (;;) {
            size_t end = out.find("\r\n", start);
            std::string line = out.substr(start, end == std::string::npos ? end : end - start);
            EXPECT_LE(line.size(), static_cast<size_t>(max)) << line;
            if (end == std::string::npos)
                break;
            start = end + 2;
        }
        std::string back(out.size() + 1, '\0');
        comQpDecode(out.c_str(), &back[0], 0);
        EXPECT_EQ(src, std::string(back.c_str())) << max;
    }
}

TEST(QuotedPrintable, TinyMaximumStillEnds)
{
    std::string out = qpEncode("\xC0\xC1", 2, 0);
    EXPECT_EQ("=C0=\r\n=C1", out);
}

TEST(QuotedPrintable, Decode)
{
    struct Case {
        const char* src;
        int header;
        const char* want;
        int escapes;
    } cases[] = {
        {"a=5Fb_c", 1, "a_b c", 1},
        {"a=5fb_c", 0, "a_b_c", 1},
        {"soft=\r\nbreak=\nhere", 0, "softbreakhere", 0},
        {"bad=G1 end=", 0, "bad=G1 end=", 0},
        {"=E3=81=82", 0, "\xE3\x81\x82", 3},
        {"=4", 0, "=4", 0},
    };
    for (const auto& c : cases) {
        char out[64];
        EXPECT_EQ(c.escapes, comQpDecode(c.src, out, c.header)) << c.src;
        EXPECT_STREQ(c.want, out) << c.src;
    }
}

TEST(Mime, TokenChars)
{
    for (const char* p = "()<>@,;:\"/[]?.= \t\x7f"; *p; ++p)
        EXPECT_EQ(0, comMimeIsTokenChar(static_cast<unsigned char>(*p))) << *p;
    EXPECT_EQ(0, comMimeIsTokenChar(0x01));
    EXPECT_EQ(0, comMimeIsTokenChar(0x81)); // control in the low seven bits
    for (const char* p = "aZ09-_!#$%&'*+\\^`{|}~"; *p; ++p)
        EXPECT_EQ(1, comMimeIsTokenChar(static_cast<unsigned char>(*p))) << *p;
}

TEST(Uudecode, Begin)
{
    struct Case {
        const char* line;
        int want;
        const char* name;
    } cases[] = {
        {"begin 644 cat.txt\r\n", 0, "cat.txt"},
        {"begin 600 \"my file.txt\"\n", 0, "my file.txt"},
        {"begin 644 dir/a b c", 0, "dir/a b c"},
        {"begin 0 a", -7, nullptr},
        {"bogin 644 cat.txt", -3, nullptr},
        {"begin 64444 cat.txt", -4, nullptr},
        {"begin 648 cat.txt", -5, nullptr},
        {"begin 6a4 cat.txt", -5, nullptr},
    };
    for (const auto& c : cases) {
        char* name = reinterpret_cast<char*>(1);
        EXPECT_EQ(c.want, comUudecodeBegin(c.line, &name)) << c.line;
        if (c.name) {
            ASSERT_NE(nullptr, name);
            EXPECT_STREQ(c.name, name);
        } else {
            EXPECT_EQ(nullptr, name);
        }
        free(name);
    }
    char* name = nullptr;
    EXPECT_EQ(-99, comUudecodeBegin(nullptr, &name));
}

TEST(Uudecode, Lines)
{
    unsigned char* out = nullptr;
    EXPECT_EQ(3, comUudecodeLine("#0V%T\n", &out));
    ASSERT_NE(nullptr, out);
    EXPECT_EQ(0, memcmp(out, "Cat", 3));
    free(out);
    // Grave accents stand for zero bits.
    EXPECT_EQ(1, comUudecodeLine("!``", &out));
    ASSERT_NE(nullptr, out);
    EXPECT_EQ(0, out[0]);
    free(out);
    EXPECT_EQ(0, comUudecodeLine("`\n", &out));
    EXPECT_EQ(nullptr, out);
    EXPECT_EQ(0, comUudecodeLine("\n", &out));
    EXPECT_EQ(-1, comUudecodeLine("", &out));
    EXPECT_EQ(-1, comUudecodeLine(nullptr, &out));
    // A short declared length with a long body reads only what it declares.
    EXPECT_EQ(1, comUudecodeLine("!0V%T0V%T0V%T0V%T0V%T0V%T0V%T0V%T", &out));
    ASSERT_NE(nullptr, out);
    EXPECT_EQ('C', out[0]);
    free(out);
    const char* bad[] = {"#\x7fV%T", "#0\x7f%T", "#0V\x7fT", "#0V%\x7f"};
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(-8 - k, comUudecodeLine(bad[k], &out)) << k;
        EXPECT_EQ(nullptr, out);
    }
}

TEST(Mime, SplitWordAndStrChr)
{
    struct Case {
        const char* text;
        int n, max;
        const char* want;
    } cases[] = {
        {"begin 644 a b c", 1, 5, "begin"},
        {"begin 644 a b c", 2, 10, "644"},
        {"begin 644 a b c", 3, 10, "a b c"},
        {"begin 644 a b c", 3, 3, "a b"},
        {"a  b", 2, 10, ""},
        {"'x y' z", 1, 10, "'x y'"},
        {"\"x y\" z w", 2, 10, "z"},
        {"one", 2, 10, ""},
    };
    for (const auto& c : cases) {
        char out[32];
        int n = comSplitWord(c.text, c.n, out, c.max);
        EXPECT_STREQ(c.want, out) << c.text << " " << c.n;
        EXPECT_EQ(static_cast<int>(strlen(c.want)), n);
    }
    const char* t = "abc";
    EXPECT_EQ(t + 1, comStrChr(t, 'b'));
    EXPECT_EQ(nullptr, comStrChr(t, 'x'));
    EXPECT_EQ(nullptr, comStrChr(t, 0));
    EXPECT_EQ(nullptr, comStrChr(static_cast<const char*>(nullptr), 'a'));
    char trim[] = "name\r\n\r\n";
    comTrimCrLf(trim);
    EXPECT_STREQ("name", trim);
}
