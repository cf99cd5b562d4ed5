// CGI request reading, value trimming, cookies and script location.
#include "comcgireq.h"

#include "comcgi.h"
#include "comstr.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdio_ext.h>
#include <fcntl.h>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

const char* const kEnv[] = {"REQUEST_METHOD", "QUERY_STRING", "CONTENT_LENGTH", "CONTENT_TYPE",
                            "HTTP_COOKIE", "SCRIPT_FILENAME", "SCRIPT_NAME"};

class CgiReq : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* v : kEnv)
            unsetenv(v);
        char tmpl[] = "/tmp/cgireqXXXXXX";
        ASSERT_NE(nullptr, mkdtemp(tmpl));
        dir = tmpl;
        savedIn = dup(0);
    }
    void TearDown() override
    {
        dup2(savedIn, 0);
        close(savedIn);
        __fpurge(stdin);
        clearerr(stdin);
        for (const char* v : kEnv)
            unsetenv(v);
        std::string cmd = "rm -rf '" + dir + "'";
        ASSERT_EQ(0, system(cmd.c_str()));
    }
    // Standard input reads the body.
    void stdinFrom(const std::string& body)
    {
        std::string p = dir + "/stdin";
        {
            std::ofstream f(p, std::ios::binary);
            f << body;
        }
        int fd = open(p.c_str(), O_RDONLY);
        ASSERT_GE(fd, 0);
        dup2(fd, 0);
        close(fd);
        // Drop what stdin buffered of an earlier body.
        __fpurge(stdin);
        clearerr(stdin);
    }
    struct Request {
        int count = 0;
        std::vector<std::string> names, values;
    };
    Request get(const char* const* noTrim = nullptr)
    {
        Request r;
        char** n = nullptr;
        char** v = nullptr;
        char** f = nullptr;
        char** t = nullptr;
        r.count = comCgiGetRequest(&n, &v, &f, &t, nullptr, noTrim, nullptr, 0);
        for (int i = 0; i < r.count; ++i) {
            r.names.push_back(n[i]);
            r.values.push_back(v[i]);
        }
        if (r.count > 0)
            comCgiFreeRequest(r.count, n, v, f, t);
        return r;
    }
    std::string dir;
    int savedIn = -1;
};

TEST(CgiTrim, TrimRules)
{
    struct {
        const char* in;
        int sjis, emptyIfBlank, trimBlanks;
        const char* out;
    } cases[] = {
        {"abc  \r\n", 0, 1, 1, "abc"},
        {"abc \r\n ", 0, 1, 0, "abc "},          // blanks kept, line ends cut
        {"abc  ", 0, 0, 0, "abc  "},
        {"  abc", 0, 1, 1, "  abc"},             // leading blanks stay
        {"   ", 0, 0, 0, ""},
        {" \r\n", 0, 0, 0, ""},
        {" \xE3\x80\x80 ", 0, 1, 1, ""},         // full-width space, UTF-8
        {" \xE3\x80\x80 ", 0, 0, 1, " \xE3\x80\x80"},
        {"\x81\x40", 1, 1, 1, ""},               // full-width space, Shift_JIS
        {"\x81\x40", 0, 1, 1, "\x81\x40"},
        {"\xE3\x80\x80x", 0, 1, 1, "\xE3\x80\x80x"},
        {"a\nb\n", 0, 1, 1, "a\nb"},
        {"", 0, 1, 1, ""},
    };
    for (auto& c : cases) {
        std::vector<char> buf(c.in, c.in + strlen(c.in) + 1);
        EXPECT_EQ(0, comCgiTrimValue(buf.data(), c.sjis, c.emptyIfBlank, c.trimBlanks)) << c.in;
        EXPECT_STREQ(c.out, buf.data()) << "[" << c.in << "]";
    }
    EXPECT_EQ(-99, comCgiTrimValue(nullptr, 0, 0, 0));
}

TEST(CgiTrim, CsvFieldsAreTrimmed)
{
    char out[64];
    EXPECT_EQ(1, comCsvGetField(1, sizeof out, "a,b  ,c", out, nullptr, 0, 0, nullptr, ','));
    EXPECT_STREQ("b", out);
    EXPECT_EQ(1, comCsvGetField(1, sizeof out, "a,\"x \r\n\",c", out, nullptr, 0, 0, nullptr, ','));
    EXPECT_STREQ("x", out);
    EXPECT_EQ(1, comCsvGetField(0, sizeof out, " \xE3\x80\x80,c", out, nullptr, 0, 1, nullptr, ','));
    EXPECT_STREQ("", out);
    EXPECT_EQ(1, comCsvGetField(0, sizeof out, " \xE3\x80\x80,c", out, nullptr, 0, 0, nullptr, ','));
    EXPECT_STREQ(" \xE3\x80\x80", out);
    EXPECT_EQ(1, comCsvGetField(0, sizeof out, "\x81\x40,c", out, nullptr, 1, 1, nullptr, ','));
    EXPECT_STREQ("", out);
}

TEST_F(CgiReq, GetQuery)
{
    EXPECT_EQ(0, get().count);   // no method
    setenv("REQUEST_METHOD", "GET", 1);
    EXPECT_EQ(0, get().count);   // no query
    setenv("QUERY_STRING", "a=1&b=%41+x&", 1);
    Request r = get();
    ASSERT_EQ(2, r.count);
    EXPECT_EQ("a", r.names[0]);
    EXPECT_EQ("1", r.values[0]);
    EXPECT_EQ("b", r.names[1]);
    EXPECT_EQ("A x", r.values[1]);

    setenv("QUERY_STRING", "flag&s=+++&k=+v+&n%3Dx=%3D&&", 1);
    r = get();
    ASSERT_EQ(5, r.count);
    EXPECT_EQ("flag", r.names[0]);
    EXPECT_EQ("", r.values[0]);
    EXPECT_EQ("", r.values[1]);     // only blanks
    EXPECT_EQ(" v", r.values[2]);   // the leading blank stays
    EXPECT_EQ("n=x", r.names[3]);   // split before decoding
    EXPECT_EQ("=", r.values[3]);
    EXPECT_EQ("", r.names[4]);

    const char* const keep[] = {"s", "k", nullptr};
    r = get(keep);
    EXPECT_EQ("   ", r.values[1]);
    EXPECT_EQ(" v ", r.values[2]);

    setenv("REQUEST_METHOD", "PUT", 1);
    EXPECT_EQ(0, get().count);
}

TEST_F(CgiReq, PostBodies)
{
    setenv("REQUEST_METHOD", "POST", 1);
    setenv("CONTENT_TYPE", "application/x-www-form-urlencoded", 1);
    for (size_t len : {size_t(2048), size_t(2049), size_t(10000)}) {
        std::string body = "v=" + std::string(len - 4, 'x') + "&w";
        stdinFrom(body);
        setenv("CONTENT_LENGTH", std::to_string(len).c_str(), 1);
        Request r = get();
        ASSERT_EQ(2, r.count) << len;
        EXPECT_EQ(len - 4, r.values[0].size());
        EXPECT_EQ("w", r.names[1]);
    }
    struct {
        const char* length;
        const char* body;
        int rc;
    } bad[] = {
        {"0", "", -3},
        {"-1", "x", -3},
        {"abc", "x", -3},
        {"12x", "x", -3},
        {"99999999999999999999", "x", -3},
        {"3000000000", "x", -1},
        {"100", "short", -5},       // one fread of the whole body
        {"3000", "short", -2},      // the read loop meets the end
    };
    for (auto& c : bad) {
        stdinFrom(c.body);
        setenv("CONTENT_LENGTH", c.length, 1);
        EXPECT_EQ(c.rc, get().count) << c.length;
    }
    unsetenv("CONTENT_LENGTH");
    EXPECT_EQ(-3, get().count);
}

TEST_F(CgiReq, Cookies)
{
    char** v = nullptr;
    int n = -1;
    EXPECT_EQ(0, comCgiGetCookies(&v, &n, "sid"));
    EXPECT_EQ(0, n);
    setenv("HTTP_COOKIE", "sid=a%20b; sidx=no; other=1; sid=second", 1);
    ASSERT_EQ(2, comCgiGetCookies(&v, &n, "sid"));
    EXPECT_EQ(2, n);
    EXPECT_STREQ("a b", v[0]);
    EXPECT_STREQ("second", v[1]);
    free(v[0]);
    free(v[1]);
    free(v);
    EXPECT_EQ(0, comCgiGetCookies(&v, &n, "si"));
    EXPECT_EQ(0, comCgiGetCookies(&v, &n, "none"));
    setenv("HTTP_COOKIE", "x=1;sid=packed", 1);   // no blank after ';'
    EXPECT_EQ(0, comCgiGetCookies(&v, &n, "sid"));
}

TEST_F(CgiReq, ScriptLocation)
{
    char d[64], b[64];
    char arg0[] = "prog";
    char* argv[] = {arg0, nullptr};
    EXPECT_EQ(0, comCgiScriptDir(1, argv, d, sizeof d, b, sizeof b));
    EXPECT_STREQ(".", d);
    EXPECT_STREQ("prog", b);
    EXPECT_EQ(0, comCgiScriptDir(0, argv, d, sizeof d, nullptr, 0));
    EXPECT_STREQ(".", d);
    char arg1[] = "/opt/app/bin/prog";
    argv[0] = arg1;
    comCgiScriptDir(1, argv, d, sizeof d, b, sizeof b);
    EXPECT_STREQ("/opt/app/bin", d);
    EXPECT_STREQ("prog", b);
    setenv("SCRIPT_FILENAME", "/var/www/cgi/list.cgi", 1);
    comCgiScriptDir(1, argv, d, sizeof d, b, sizeof b);
    EXPECT_STREQ("/var/www/cgi", d);
    EXPECT_STREQ("list.cgi", b);

    char name[8];
    EXPECT_STREQ("", comCgiScriptName(name, sizeof name));
    setenv("SCRIPT_NAME", "/cgi/longname.cgi", 1);
    EXPECT_STREQ("/cgi/lo", comCgiScriptName(name, sizeof name));

    // Sub-directory of an executable below the current directory.
    char cwd[4096];
    ASSERT_NE(nullptr, getcwd(cwd, sizeof cwd));
    ASSERT_EQ(0, chdir(dir.c_str()));
    mkdir("sub", 0700);
    {
        std::ofstream f("sub/app.cgi");
        f << "#!/bin/sh\n";
    }
    chmod("sub/app.cgi", 0700);
    char out[64];
    comCgiScriptSubDir("/cgi-bin/sub/app.cgi", out);
    EXPECT_STREQ("sub/", out);
    comCgiScriptSubDir("/cgi-bin/sub/none.cgi", out);
    EXPECT_STREQ("", out);
    ASSERT_EQ(0, chdir(cwd));
}

}  // namespace
