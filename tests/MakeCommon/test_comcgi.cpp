#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "comcgi.h"

namespace {

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::string take(char* p)
{
    std::string s = p ? p : "(null)";
    free(p);
    return s;
}

class CgiChannel : public ::testing::Test {
protected:
    void SetUp() override
    {
        char tmpl[] = "/tmp/comcgi_test.XXXXXX";
        ASSERT_NE(nullptr, mkdtemp(tmpl));
        dir = tmpl;
    }
    void TearDown() override
    {
        comCgiCloseOutput();
        comCgiSetConvert(0);
        std::string cmd = "rm -rf '" + dir + "'";
        EXPECT_EQ(0, system(cmd.c_str()));
    }
    std::string path(const char* name) const { return dir + "/" + name; }

    std::string dir;
};

}  // namespace

// ---- CSV fields ---------------------------------------------------------------

TEST(CsvQuote, QuotesOnlyWhenNeeded)
{
    struct {
        const char* text;
        unsigned char force;
        char sep;
        const char* out;
    } cases[] = {
        {"abc", 0, ',', "abc"},
        {"a,b", 0, ',', "\"a,b\""},
        {"a\"b", 0, ',', "\"a\"\"b\""},
        {"\"\"", 0, ',', "\"\"\"\"\"\""},
        {"", 1, ',', "\"\""},
        {"", 0, ',', ""},
        {"abc", 1, ',', "\"abc\""},
        {"a\r\nb", 0, ',', "a\r\nb"},
        {" a ", 0, ',', " a "},
        {"a\tb", 0, '\t', "\"a\tb\""},
        {"a,b", 0, '\t', "a,b"},
        {"abc", 0, '\0', "\"abc\""},
    };
    for (auto& c : cases)
        EXPECT_EQ(c.out, take(comCsvQuote(c.text, c.force, c.sep))) << c.text;
    EXPECT_EQ(nullptr, comCsvQuote(nullptr, 1, ','));
}

TEST_F(CgiChannel, CsvPrintWritesFieldToChannel)
{
    ASSERT_EQ(0, comCgiOpenOutput(path("f.csv").c_str(), 0));
    EXPECT_EQ(0, comCsvPrint("a\"b", 0, ','));
    EXPECT_EQ(0, comCsvPrint(",", 0, ','));
    EXPECT_EQ(0, comCsvPrint("raw", 1, ','));  // raw fields are always quoted
    EXPECT_EQ(-1, comCgiWrite("abc", 0));
    EXPECT_EQ(-99, comCsvPrint(nullptr, 0, ','));
    EXPECT_EQ(0, comCgiCloseOutput());
    EXPECT_EQ("\"a\"\"b\"\",\"\"raw\"", readFile(path("f.csv")));
}

// ---- channel --------------------------------------------------------------------

TEST_F(CgiChannel, FileGetsBytesUnconvertedAsCsvWriterUsesIt)
{
    ASSERT_EQ(0, comCgiOpenOutput(path("data.csv").c_str(), 0));
    comCgiSetConvert(1);  // no effect on a file
    EXPECT_EQ(0, comCgiWrite("\xEF\xBB\xBF", 3));
    EXPECT_EQ(0, comCgiPrintf("%s", "\"\xE5\x90\x8D\",b"));
    EXPECT_EQ(0, comCgiPrintf("%s", "\r\n"));
    EXPECT_EQ(0, comCgiPrintf("%d%%", 42));
    EXPECT_EQ(0, comCgiCloseOutput());
    EXPECT_EQ("\xEF\xBB\xBF\"\xE5\x90\x8D\",b\r\n42%", readFile(path("data.csv")));
}

TEST_F(CgiChannel, LongTextIsNotCut)
{
    std::string big(300000, 'x');
    big += "END";
    ASSERT_EQ(0, comCgiOpenOutput(path("big").c_str(), 0));
    EXPECT_EQ(0, comCgiPrintf("%s", big.c_str()));
    EXPECT_EQ(0, comCgiCloseOutput());
    EXPECT_EQ(big, readFile(path("big")));
}

TEST_F(CgiChannel, AppendModeAndReopen)
{
    std::string a = path("a"), b = path("b");
    ASSERT_EQ(0, comCgiOpenOutput(a.c_str(), 0));
    comCgiPrintf("one");
    // Opening another file closes the first one (its text is flushed).
    ASSERT_EQ(0, comCgiOpenOutput(b.c_str(), 0));
    EXPECT_EQ("one", readFile(a));
    comCgiPrintf("b");
    ASSERT_EQ(0, comCgiOpenOutput(a.c_str(), 1));
    comCgiPrintf("two");
    EXPECT_EQ(0, comCgiCloseOutput());
    EXPECT_EQ("onetwo", readFile(a));
    EXPECT_EQ("b", readFile(b));
    ASSERT_EQ(0, comCgiOpenOutput(a.c_str(), 0));  // truncates
    EXPECT_EQ(0, comCgiCloseOutput());
    EXPECT_EQ("", readFile(a));
}

TEST_F(CgiChannel, FailedOpenLeavesChannelOnStdout)
{
    std::string a = path("a");
    ASSERT_EQ(0, comCgiOpenOutput(a.c_str(), 0));
    EXPECT_EQ(-1, comCgiOpenOutput(nullptr, 0));  // nothing changes
    comCgiPrintf("kept");
    EXPECT_EQ(-1, comCgiOpenOutput(path("no/such/dir").c_str(), 0));
    EXPECT_EQ("kept", readFile(a));
    ::testing::internal::CaptureStdout();
    comCgiPrintf("to stdout %d", 1);
    comCgiFlush();
    EXPECT_EQ("to stdout 1", ::testing::internal::GetCapturedStdout());
    EXPECT_EQ(0, comCgiCloseOutput());  // nothing open
}

TEST_F(CgiChannel, FullDiskIsReportedByClose)
{
    // Buffered text: the failure shows when the file is flushed and closed.
    ASSERT_EQ(0, comCgiOpenOutput("/dev/full", 0));
    EXPECT_EQ(0, comCgiWrite("\xEF\xBB\xBF", 3));
    EXPECT_EQ(0, comCgiPrintf("%s\r\n", "a,b"));
    EXPECT_EQ(-1, comCgiCloseOutput());

    // A block larger than the stream buffer fails at once and is reported
    // again by the close.
    ASSERT_EQ(0, comCgiOpenOutput("/dev/full", 0));
    std::string big(1 << 20, 'x');
    EXPECT_EQ(-1, comCgiWrite(big.data(), big.size()));
    EXPECT_EQ(-1, comCgiCloseOutput());

    // The next file starts clean.
    ASSERT_EQ(0, comCgiOpenOutput(path("ok").c_str(), 0));
    comCgiPrintf("fine");
    EXPECT_EQ(0, comCgiCloseOutput());
}

TEST_F(CgiChannel, ConvertsToShiftJisOnStdout)
{
    comCgiSetConvert(1);
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(0, comCgiPrintf("%s", "\xE3\x81\x82\xEF\xBD\xB1" "a"));
    comCgiFlush();
    EXPECT_EQ("\x82\xA0\xB1" "a", ::testing::internal::GetCapturedStdout());

    // Converted helpers do not convert a second time.
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(0, comUtf8ToSjisPrint("\xE3\x81\x82"));
    EXPECT_EQ(0, comUtf8ToSjisCsvPrint("\xE3\x81\x82,", 0, ','));
    EXPECT_EQ(0, comUtf8ToSjisPrint(nullptr));
    comCgiFlush();
    EXPECT_EQ("\x82\xA0\"\x82\xA0,\"", ::testing::internal::GetCapturedStdout());

    // No fixed cut of long converted text.
    std::string big(150000, 'y');
    big += "\xE3\x81\x82";
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(0, comCgiPrintf("%s", big.c_str()));
    comCgiFlush();
    EXPECT_EQ(std::string(150000, 'y') + "\x82\xA0", ::testing::internal::GetCapturedStdout());
}

TEST(Utf8ToSjisCsv, QuotesConvertedText)
{
    EXPECT_EQ("\"\x82\xA0\"\"\"", take(comUtf8ToSjisCsvQuote("\xE3\x81\x82\"", 0)));
    EXPECT_EQ("\"a\"", take(comUtf8ToSjisCsvQuote("a", 1)));
    EXPECT_EQ(nullptr, comUtf8ToSjisCsvQuote(nullptr, 0));
    EXPECT_EQ(-99, comUtf8ToSjisCsvPrint(nullptr, 0, ','));
}

// ---- URL coding ---------------------------------------------------------------------

TEST(UrlEncode, SpaceModesAndBytes)
{
    struct {
        const char* in;
        int mode;
        const char* out;
    } cases[] = {
        {"aZ09", 0, "aZ09"},
        {"a b", 0, "a b"},
        {"a b", 1, "a%20b"},
        {"a b", 2, "a+b"},
        {"-_.~*", 2, "%2D%5F%2E%7E%2A"},
        {"&=+%", 2, "%26%3D%2B%25"},
        {"\xC3\xA9\n", 2, "%C3%A9%0A"},
        {"", 2, ""},
    };
    for (auto& c : cases)
        EXPECT_EQ(c.out, take(comCgiUrlEncode(c.in, c.mode))) << c.in << " mode " << c.mode;
    EXPECT_EQ(nullptr, comCgiUrlEncode(nullptr, 2));
}

TEST(UrlDecode, EdgeRules)
{
    struct {
        const char* in;
        const char* out;
    } cases[] = {
        {"%41+b", "A b"},
        {"%4a%4A", "JJ"},
        {"%c3%A9", "\xC3\xA9"},
        {"abc%", "abc%"},
        {"abc%4", "abc%4"},
        {"%%41", "T1"},        // no check of the digits: (37 - 48) * 16 + 4, low byte
        {"%zz", "S"},          // 'Z' - 55 = 35: 35 * 16 + 35 = 0x253, low byte 'S'
        {"plain", "plain"},
    };
    for (auto& c : cases) {
        std::string buf = c.in;
        comCgiUrlDecode(&buf[0]);
        EXPECT_STREQ(c.out, buf.c_str()) << c.in;
    }
    comCgiUrlDecode(nullptr);
}

TEST(UrlEncodeFormat, CopiesWhenItFits)
{
    char out[8];
    comCgiUrlEncodeFormat(out, sizeof out, "%s %d", "a", 1);
    EXPECT_STREQ("a+1", out);
    comCgiUrlEncodeFormat(out, sizeof out, "%s", "1234567");
    EXPECT_STREQ("1234567", out);
    comCgiUrlEncodeFormat(out, sizeof out, "%s", "12345678");
    EXPECT_STREQ("", out);
    comCgiUrlEncodeFormat(out, sizeof out, "%s", "&&&");
    EXPECT_STREQ("", out);
}

// ---- query splitting ------------------------------------------------------------

namespace {

struct Parsed {
    int count = 0;
    char** names = nullptr;
    char** values = nullptr;
    ~Parsed() { comCgiFreeRequest(count > 0 ? count : 0, names, values, nullptr, nullptr); }
};

std::string joined(const Parsed& p)
{
    std::string s;
    for (int i = 0; i < p.count; ++i)
        s += std::string("[") + p.names[i] + "|" + p.values[i] + "]";
    return s;
}

}  // namespace

TEST(ParseQuery, SplitsFields)
{
    struct {
        const char* in;
        int count;
        const char* out;
    } cases[] = {
        {"a=1&b=%41+c", 2, "[a|1][b|A c]"},
        {"a=1&", 1, "[a|1]"},
        {"flag&x=", 2, "[flag|][x|]"},
        {"a=b=c", 1, "[a|b=c]"},
        {"a%3Db=c&d=e", 2, "[a|b=c][d|e]"},  // decoded before the split at '='
        {"a=%26&b", 2, "[a|&][b|]"},
        {"a&&b", 3, "[a|][|][b|]"},
        {"&", 1, "[|]"},
    };
    for (auto& c : cases) {
        std::string text = c.in;
        Parsed p;
        p.count = comCgiParseQuery(&text[0], &p.names, &p.values);
        EXPECT_EQ(c.count, p.count) << c.in;
        if (p.count == c.count) {
            EXPECT_EQ(c.out, joined(p)) << c.in;
        }
    }
}

TEST(ParseQuery, EmptyAndNullArguments)
{
    char empty[] = "";
    char** n = nullptr;
    char** v = nullptr;
    EXPECT_EQ(0, comCgiParseQuery(empty, &n, &v));
    EXPECT_EQ(nullptr, n);
    EXPECT_EQ(nullptr, v);
    char text[] = "a=1";
    EXPECT_EQ(-9, comCgiParseQuery(nullptr, &n, &v));
    EXPECT_EQ(-9, comCgiParseQuery(text, nullptr, &v));
    EXPECT_EQ(-9, comCgiParseQuery(text, &n, nullptr));
}

TEST(ParseQuery, RoundTripsEncodedValues)
{
    const char* values[] = {"a & b = c + d % e", "\xE3\x81\x82 \xC3\xA9", "", "100%"};
    std::string body;
    for (size_t i = 0; i < sizeof values / sizeof values[0]; ++i) {
        if (!body.empty())
            body += "&";
        body += "f" + std::to_string(i) + "=" + take(comCgiUrlEncode(values[i], 2));
    }
    Parsed p;
    p.count = comCgiParseQuery(&body[0], &p.names, &p.values);
    ASSERT_EQ(4, p.count);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ("f" + std::to_string(i), p.names[i]);
        EXPECT_STREQ(values[i], p.values[i]);
    }
}

TEST(FreeRequest, RemovesUploadedFilesOnly)
{
    char tmpl[] = "/tmp/comcgi_free.XXXXXX";
    int fd = mkstemp(tmpl);
    ASSERT_GE(fd, 0);
    close(fd);
    char keepTmpl[] = "/tmp/comcgi_keep.XXXXXX";
    fd = mkstemp(keepTmpl);
    ASSERT_GE(fd, 0);
    close(fd);

    char** names = static_cast<char**>(calloc(2, sizeof(char*)));
    char** values = static_cast<char**>(calloc(2, sizeof(char*)));
    char** files = static_cast<char**>(calloc(2, sizeof(char*)));
    char** types = static_cast<char**>(calloc(2, sizeof(char*)));
    names[0] = strdup("upload");
    values[0] = strdup(tmpl);
    files[0] = strdup("sent.txt");
    types[0] = strdup("text/plain");
    names[1] = strdup("plain");
    values[1] = strdup(keepTmpl);  // not a file field: stays
    comCgiFreeRequest(2, names, values, files, types);

    struct stat st;
    EXPECT_NE(0, stat(tmpl, &st));
    EXPECT_EQ(0, stat(keepTmpl, &st));
    unlink(keepTmpl);
    comCgiFreeRequest(0, nullptr, nullptr, nullptr, nullptr);
}
