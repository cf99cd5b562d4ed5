// MIME decoders and the quoted-printable encoder over damaged input, with
// output buffers of exactly the documented sizes (so an overrun is caught).
#include "commime.h"
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
    static const char* const kPieces[] = {"\0", "=", "==", "===", "\r", "\n", "\r\n", "=\r\n",
                                          "=\n", "=4", "=G1", "_", " ", "\t", "\xff", "`", "M",
                                          "begin", "\"", "'", "%"};
    static const rvtest::Mutation kMutation = {kPieces, sizeof kPieces / sizeof kPieces[0], 4, 6,
                                               "=A\n_ ", 300};
    return rvtest::mutate(rng, base, kMutation);
}

// Decodes text as a stream cut into random pieces; each piece's buffer has
// the documented size.
void decodeBase64Stream(std::mt19937& rng, const std::string& text)
{
    comBase64DecodeInit();
    size_t pos = 0;
    while (pos <= text.size()) {
        int len = static_cast<int>(rng() % 40);
        std::vector<unsigned char> dst(3 * ((static_cast<size_t>(len) + 3) / 4 + 1) + 1, 0xAA);
        int n = comBase64Decode(len, text.c_str() + pos, dst.data());
        ASSERT_GE(n, 0);
        ASSERT_LT(static_cast<size_t>(n), dst.size());
        EXPECT_EQ(0, dst[static_cast<size_t>(n)]);
        pos += static_cast<size_t>(len);
        if (len == 0)
            ++pos;
    }
    unsigned char end[3] = {0xAA, 0xAA, 0xAA};
    int n = comBase64DecodeEnd(end);
    ASSERT_GE(n, 0);
    ASSERT_LE(n, 2);
    EXPECT_EQ(0, end[n]);
}

TEST(MimeRobust, Base64Decode)
{
    const std::string samples[] = {"Zm9vYmFy", "Zm9vYg==", "Zm9v\r\nYmE=\r\n", "dXNlcjpwYXNz",
                                   "QUJD REVG\tR0g=", ""};
    std::mt19937 rng(5u);
    for (const auto& s : samples)
        decodeBase64Stream(rng, s);
    for (int i = 0; i < 2000; ++i)
        decodeBase64Stream(rng, mutate(rng, samples[i % 6]));

    // Round trip of random bytes through one call with the documented size.
    for (int i = 0; i < 300; ++i) {
        std::string bytes(rng() % 200, '\0');
        for (char& c : bytes)
            c = static_cast<char>(rng() & 0xFF);
        std::vector<char> enc(4 * ((bytes.size() + 2) / 3) + 1);
        int m = comBase64Encode(static_cast<int>(bytes.size()), bytes.data(), enc.data());
        comBase64DecodeInit();
        std::vector<char> dec(3 * ((static_cast<size_t>(m) + 3) / 4 + 1) + 1);
        int n = comBase64Decode(m, enc.data(), dec.data());
        n += comBase64DecodeEnd(dec.data() + n);
        EXPECT_EQ(bytes, std::string(dec.data(), static_cast<size_t>(n)));
    }
}

TEST(MimeRobust, QuotedPrintableDecode)
{
    const std::string samples[] = {"a=3Db=\r\nc=E6=97=A5", "=?=\n=", "Hello_World=20!", "=", "=A",
                                   "=\r", "==41"};
    std::mt19937 rng(11u);
    for (int i = 0; i < 3000; ++i) {
        std::string s = i < 7 ? samples[i] : mutate(rng, samples[i % 7]);
        std::string src = s.c_str();  // the decoder reads up to the NUL
        std::vector<char> dst(src.size() + 1, '\xAA');
        int escapes = comQpDecode(src.c_str(), dst.data(), i & 1);
        size_t n = strnlen(dst.data(), dst.size());
        ASSERT_LT(n, dst.size()) << src;
        EXPECT_LE(static_cast<size_t>(escapes) * 3, src.size());
    }
}

// The encoder needs 3 * strlen(src) + 1 bytes plus 3 per soft line break;
// a break only ever follows a written character, so 6 * strlen(src) + 1
// covers every line length.
TEST(MimeRobust, QuotedPrintableEncodeBound)
{
    std::mt19937 rng(3u);
    const std::string samples[] = {std::string(50, '\xff'), "a b c d e f g h", "x\r\ny\nz",
                                   std::string(40, ' '), "_=?\t."};
    for (int i = 0; i < 1500; ++i) {
        std::string s = i < 5 ? samples[i] : mutate(rng, samples[i % 5]);
        std::string src = s.c_str();
        int maxLine = static_cast<int>(rng() % 12);
        int header = static_cast<int>(rng() % 2);
        std::vector<char> dst(6 * src.size() + 1, '\xAA');
        EXPECT_EQ(0, comQpEncode(src.c_str(), dst.data(), maxLine, header));
        size_t n = strnlen(dst.data(), dst.size());
        ASSERT_LT(n, dst.size());
        if (maxLine == 0) {
            EXPECT_LE(n, 3 * src.size());
        }
        // Encoded text decodes back (CR LF stands for each line end).
        std::vector<char> back(n + 1);
        comQpDecode(dst.data(), back.data(), header);
        std::string expect;
        for (size_t k = 0; k < src.size(); ++k) {
            if (src[k] == '\n' && (k == 0 || src[k - 1] != '\r'))
                expect += "\r\n";
            else
                expect += src[k];
        }
        EXPECT_EQ(expect, std::string(back.data())) << maxLine << " " << header;
    }
}

// Short lines of escapes take a soft break per byte: more than the
// 5 * strlen(src) + 1 bytes once documented for maxLine >= 4.
TEST(MimeRobust, QuotedPrintableEncodeShortLines)
{
    for (int maxLine = 4; maxLine <= 6; ++maxLine) {
        std::vector<char> dst(6 * 5 + 1, '\xAA');
        comQpEncode("\xff\xff\xff\xff\xff", dst.data(), maxLine, 0);
        EXPECT_STREQ("=FF=\r\n=FF=\r\n=FF=\r\n=FF=\r\n=FF", dst.data());
    }
}

TEST(MimeRobust, Uudecode)
{
    const std::string samples[] = {"M9V]O8F%R\n", "&9F]O8F%R\r\n", "#86)C\n", "`\n",
                                   "begin 644 file.txt\n", "begin 0644 \"a b.txt\"\r\n"};
    std::mt19937 rng(17u);
    for (int i = 0; i < 3000; ++i) {
        std::string s = i < 6 ? samples[i] : mutate(rng, samples[i % 6]);
        std::string line = s.c_str();
        unsigned char* out = reinterpret_cast<unsigned char*>(1);
        int n = comUudecodeLine(line.c_str(), &out);
        if (n > 0) {
            ASSERT_NE(nullptr, out);
            // The declared length bounds the result: at most 95 - 32 bytes
            // from a printable lead, never more than the lead allows.
            EXPECT_LE(n, 255);
            volatile unsigned char last = out[n - 1];
            (void)last;
        } else {
            EXPECT_TRUE(n == 0 || n == -1 || n == -3 || (n <= -8 && n >= -11)) << n;
            EXPECT_EQ(nullptr, out);
        }
        free(out);

        char* name = reinterpret_cast<char*>(1);
        int r = comUudecodeBegin(line.c_str(), &name);
        EXPECT_TRUE(r == 0 || r == -3 || r == -4 || r == -5 || r == -7) << r;
        if (r == 0) {
            ASSERT_NE(nullptr, name);
            EXPECT_LE(strlen(name), line.size());
        } else {
            EXPECT_EQ(nullptr, name);
        }
        free(name);

        char word[16];
        int m = comSplitWord(line.c_str(), 1 + static_cast<int>(rng() % 4), word, 15);
        EXPECT_LE(m, 15);
        EXPECT_EQ(static_cast<size_t>(m), strlen(word));
    }
}

} // namespace
