// CGI response headers, browser tests and file download.
#include "comcgiresp.h"

#include "comcgi.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>
#include <unistd.h>

namespace {

const char* const kEnv[] = {"HTTP_USER_AGENT", "SERVER_SOFTWARE", "HTTP_RANGE", "HTTP_HOST",
                            "SCRIPT_NAME", "SERVER_PORT", "HTTPS", "HTTP_X_UP_SUBNO"};

class CgiResp : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* v : kEnv)
            unsetenv(v);
        char tmpl[] = "/tmp/cgirespXXXXXX";
        ASSERT_NE(nullptr, mkdtemp(tmpl));
        dir = tmpl;
        out = dir + "/out";
    }
    void TearDown() override
    {
        comCgiCloseOutput();
        for (const char* v : kEnv)
            unsetenv(v);
        std::string cmd = "rm -rf '" + dir + "'";
        ASSERT_EQ(0, system(cmd.c_str()));
    }
    void begin() { ASSERT_EQ(0, comCgiOpenOutput(out.c_str(), 0)); }
    std::string end()
    {
        comCgiCloseOutput();
        std::ifstream f(out, std::ios::binary);
        std::stringstream ss;
        ss << f.rdbuf();
        return ss.str();
    }
    std::string dir;
    std::string out;
};

const char* const kIe6 = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1)";
const char* const kIe8 = "Mozilla/4.0 (compatible; MSIE 8.0; Windows NT 6.1)";
const char* const kIe11 = "Mozilla/5.0 (Windows NT 10.0; Trident/7.0; rv:11.0) like Gecko";
const char* const kChrome =
    "Mozilla/5.0 (Windows NT 10.0) AppleWebKit/537.36 (KHTML, like Gecko) Chrome/120.0 Safari/537.36";
const char* const kSafari =
    "Mozilla/5.0 (Macintosh; Intel Mac OS X 10_15) AppleWebKit/605.1.15 (KHTML, like Gecko) Version/17.0 Safari/605.1.15";
const char* const kOperaIe = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1) Opera 8.5";
const char* const kFirefox = "Mozilla/5.0 (X11; Linux x86_64; rv:99.0) Gecko/20100101 Firefox/99.0";

TEST_F(CgiResp, BrowserTests)
{
    struct {
        const char* ua;
        int msie, safari, chrome, msie8, opera, oldFirefox, macMsie;
    } cases[] = {
        {kIe6, 1, 0, 0, 0, 0, 0, 0},
        {kIe8, 1, 0, 0, 1, 0, 0, 0},
        {kIe11, 0, 0, 0, 1, 0, 0, 0},
        {kChrome, 0, 0, 1, 0, 0, 0, 0},
        {kSafari, 0, 1, 0, 0, 0, 0, 0},
        {kOperaIe, 0, 0, 0, 0, 1, 0, 0},
        {kFirefox, 0, 0, 0, 0, 0, 0, 0},
        {"Mozilla/5.0 Firefox/2.0.0.3", 0, 0, 0, 0, 0, 1, 0},
        {"Mozilla/5.0 Firefox/1.5", 0, 0, 0, 0, 0, 1, 0},
        {"Mozilla/5.0 Firefox/2.0.0.13", 0, 0, 0, 0, 0, 0, 0},
        {"Mozilla/4.0 (compatible; MSIE 5.23; Mac_PowerPC)", 1, 0, 0, 0, 0, 0, 1},
        {"Mozilla/4.0 (compatible; MSIE x.y;)", 1, 0, 0, 0, 0, 0, 0},
    };
    for (auto& c : cases) {
        setenv("HTTP_USER_AGENT", c.ua, 1);
        EXPECT_EQ(c.msie, comUaIsMsie()) << c.ua;
        EXPECT_EQ(c.safari, comUaIsSafari()) << c.ua;
        EXPECT_EQ(c.chrome, comUaIsChrome()) << c.ua;
        EXPECT_EQ(c.msie8, comUaIsMsie8()) << c.ua;
        EXPECT_EQ(c.opera, comUaIsOpera()) << c.ua;
        EXPECT_EQ(c.oldFirefox, comUaIsOldFirefox()) << c.ua;
        EXPECT_EQ(c.macMsie, comUaIsMacMsie()) << c.ua;
    }
    setenv("HTTP_USER_AGENT", "docomo/2.0 P903i", 1);
    EXPECT_EQ(1, comUaIsDoCoMo());
    EXPECT_EQ(1, comUaMsieAtLeast(0) == 0 ? 1 : 0);
    unsetenv("HTTP_USER_AGENT");
    EXPECT_EQ(0, comUaIsMsie());
    EXPECT_EQ(0, comUaIsNetscape());

    setenv("SERVER_SOFTWARE", "Microsoft-IIS/7.5", 1);
    EXPECT_EQ(1, comCgiIsIis7());
    setenv("SERVER_SOFTWARE", "Microsoft-IIS/6.0", 1);
    EXPECT_EQ(0, comCgiIsIis7());
    EXPECT_EQ(1, comCgiIsIis6());

    char id[8];
    EXPECT_EQ(-1, comCgiSubscriberId(id, sizeof id));
    setenv("HTTP_X_UP_SUBNO", "123456789012", 1);
    EXPECT_EQ(0, comCgiSubscriberId(id, sizeof id));
    EXPECT_STREQ("1234567", id);
}

TEST_F(CgiResp, SimpleHeaders)
{
    begin();
    comCgiContentTypeHtml(nullptr);
    comCgiContentTypeHtml("UTF-8");
    setenv("HTTP_USER_AGENT", "Mozilla/2.0 (compatible; MSIE 3.02; Windows 95)", 1);
    comCgiContentTypeText(nullptr);
    comCgiContentTypeHtml("UTF-8");
    comCgiSetCookie("sid", "a b", 0);
    comCgiAllowOrigin("*");
    comCgiAllowOrigin("");
    comCgiSetCookiePath("n", "v", "/app");
    comCgiSetCookiePath("n", "v", "");
    EXPECT_EQ("Content-Type: text/html\n\n"
              "Content-Type: text/html; charset=UTF-8\n\n"
              "Content-Type: text/plain\n\n"
              "Expires: 0\nPragma: no-cache\nChache-Control: no-store\n"
              "Content-Type: text/html; charset=UTF-8\n\n"
              "Set-Cookie: sid=a b; Expires=Sat, 31-Dec-2050 00:00:00 GMT; \n"
              "Access-Control-Allow-Origin : *\n"
              "Set-Cookie: n=v; path=/app; \n"
              "Set-Cookie: n=v; \n",
              end());

    char date[32];
    comCgiCookieDate(60, date);
    EXPECT_EQ(29u, strlen(date)) << date;
    EXPECT_STREQ(" GMT", date + 25);
}

TEST_F(CgiResp, HeaderValuesCannotBreakLines)
{
    begin();
    comCgiContentType("text/html\r\nSet-Cookie: x=1");
    comCgiSetCookie("a\n", "b\r\nX: y", 5);
    comCgiAllowOrigin("http://a\nX: y");
    comCgiDownloadHeaders("a\"b\nc.txt");
    std::string text = end();
    EXPECT_EQ(std::string::npos, text.find("\nSet-Cookie: x")) << text;
    EXPECT_EQ(std::string::npos, text.find("\nX: y")) << text;
    EXPECT_NE(std::string::npos, text.find("Content-Type: text/htmlSet-Cookie: x=1\n"));
    EXPECT_NE(std::string::npos, text.find("filename=\"a_bc.txt\"\n"));

    begin();
    EXPECT_EQ(-1, comCgiRedirect("http://x/%s", "a\nSet-Cookie: y"));
    EXPECT_EQ(0, comCgiRedirect("http://x/%s", "100%"));
    EXPECT_EQ("Status: 302 Moved Temporarily\nLocation: http://x/100%\n\n", end());
}

TEST_F(CgiResp, SelfUrl)
{
    char url[64];
    EXPECT_EQ(-1, comCgiSelfUrl(url, sizeof url));
    setenv("HTTP_HOST", "example.test", 1);
    setenv("SCRIPT_NAME", "/cgi/app.cgi", 1);
    setenv("SERVER_PORT", "8080", 1);
    EXPECT_EQ(0, comCgiSelfUrl(url, sizeof url));
    EXPECT_STREQ("http://example.test:8080/cgi/app.cgi", url);
    setenv("HTTPS", "ON", 1);
    setenv("SERVER_PORT", "443", 1);
    EXPECT_EQ(0, comCgiSelfUrl(url, sizeof url));
    EXPECT_STREQ("https://example.test/cgi/app.cgi", url);
    setenv("HTTP_HOST", "example.test:8443", 1);
    setenv("SERVER_PORT", "8443", 1);
    EXPECT_EQ(0, comCgiSelfUrl(url, sizeof url));
    EXPECT_STREQ("https://example.test:8443/cgi/app.cgi", url);
    EXPECT_EQ(-2, comCgiSelfUrl(url, 10));
}

TEST_F(CgiResp, AttachmentNamesPerBrowser)
{
    const char* name = "\xE8\xA1\xA8 a.csv";   // one kanji, blank, ASCII
    struct {
        const char* ua;
        int sjis;
        const char* expect;
    } cases[] = {
        {kIe6, 1, "Content-Type: text/csv; charset=Shift_JIS\n"
                  "Content-Disposition: attachment; filename=\"\x95\x5C a.csv\"\n\n"},
        {kIe6, 0, "Content-Type: text/csv\n"
                  "Content-Disposition: attachment; filename=\"%E8%A1%A8 a.csv\"\n\n"},
        {kIe8, 1, "Content-Type: text/csv\n"
                  "Content-Disposition: attachment; filename=\"%E8%A1%A8 a.csv\"\n\n"},
        {kIe11, 1, "Content-Type: text/csv\n"
                   "Content-Disposition: attachment; filename=\"%E8%A1%A8 a.csv\"\n\n"},
        {kChrome, 1, "Content-Type: text/csv\n"
                     "Content-Disposition: attachment; filename=\"=?UTF-8?B?6KGoIGEuY3N2?=\"\n\n"},
        {kSafari, 1, "Content-Type: text/csv\n"
                     "Content-Disposition: attachment; filename=\"\xE8\xA1\xA8 a.csv\"\n\n"},
    };
    for (auto& c : cases) {
        setenv("HTTP_USER_AGENT", c.ua, 1);
        begin();
        EXPECT_EQ(0, comCgiAttachment("text/csv", name, c.sjis, nullptr));
        EXPECT_EQ(c.expect, end()) << c.ua;
    }
    setenv("HTTP_USER_AGENT", kSafari, 1);
    begin();
    comCgiInline(nullptr, "a.txt", 0, "UTF-8");
    comCgiInline("message/rfc822", "m.eml", 0, nullptr);
    comCgiAttachment("text/plain\r\nX: y", "q\"x;.txt", 0, nullptr);
    EXPECT_EQ("Content-Type: application/octet-stream; charset=UTF-8\n"
              "Content-Disposition: filename=\"a.txt\"\n\n"
              "Content-Type: message/rfc822\n"
              "Content-Disposition: attachment; filename=\"m.eml\"\n\n"
              "Content-Type: text/plainX: y\n"
              "Content-Disposition: attachment; filename=\"q_x;.txt\"\n\n",
              end());
}

TEST_F(CgiResp, LongFileNamesAreCut)
{
    std::string ascii = std::string(196, 'n') + ".txt";
    std::vector<char> buf(ascii.begin(), ascii.end());
    buf.push_back('\0');
    comCgiCutFileName(150, buf.data());
    EXPECT_EQ(std::string(145, 'n') + "~.txt", buf.data());

    std::string longExt = "a." + std::string(160, 'e');
    buf.assign(longExt.begin(), longExt.end());
    buf.push_back('\0');
    comCgiCutFileName(150, buf.data());
    EXPECT_STREQ("a", buf.data());

    std::string shortName = "ok.txt";
    buf.assign(shortName.begin(), shortName.end());
    buf.push_back('\0');
    comCgiCutFileName(150, buf.data());
    EXPECT_STREQ("ok.txt", buf.data());

    // A huge name is handled without fixed buffers.
    std::string huge = std::string(5000, 'A') + ".txt";
    setenv("HTTP_USER_AGENT", kIe8, 1);
    begin();
    comCgiAttachment("text/plain", huge.c_str(), 0, nullptr);
    EXPECT_EQ("Content-Type: text/plain\nContent-Disposition: attachment; filename=\"" +
                  std::string(145, 'A') + "%7E.txt\"\n\n",
              end());

    begin();
    comCgiFileNamePercent("[%s]", "a b&c.t t");
    comCgiFileNamePlain("[%s]", "");
    comCgiFileNameMime("[%s]", nullptr);
    EXPECT_EQ("[a b%26c.t t]", end());
}

TEST_F(CgiResp, DownloadFileWithRanges)
{
    std::string file = dir + "/data.bin";
    std::string body;
    for (int i = 0; i < 1000; ++i)
        body += static_cast<char>('a' + i % 26);
    {
        std::ofstream f(file, std::ios::binary);
        f << body;
    }
    setenv("HTTP_USER_AGENT", kSafari, 1);
    struct {
        const char* range;   // null: unset
        const char* head;
        size_t from, count;
    } cases[] = {
        {nullptr, "Accept-Ranges: bytes\nContent-Length: 1000\nContent-Type: application/zip\n"
                  "Content-Disposition: attachment; filename=\"d_x_.bin\"\n\n", 0, 1000},
        {"bytes=100-", "Accept-Ranges: bytes\nContent-Type: application/zip\nAccept-Ranges: bytes\n"
                       "Status: 206 Partial Content\nContent-Length: 900\n"
                       "Content-Range: bytes 100-999/1000\n\n", 100, 900},
        {"bytes=10-19", "Accept-Ranges: bytes\nContent-Type: application/zip\nAccept-Ranges: bytes\n"
                        "Status: 206 Partial Content\nContent-Length: 10\n"
                        "Content-Range: bytes 10-19/1000\n\n", 10, 10},
        {"bytes=990-1000", "Accept-Ranges: bytes\nContent-Type: application/zip\nAccept-Ranges: bytes\n"
                           "Status: 206 Partial Content\nContent-Length: 10\n"
                           "Content-Range: bytes 990-999/1000\n\n", 990, 10},
        {"bytes=500-100", "Accept-Ranges: bytes\nContent-Length: 1000\nContent-Type: application/zip\n"
                          "Content-Disposition: attachment; filename=\"d_x_.bin\"\n\n", 0, 1000},
        {"bytes=1000-", "Accept-Ranges: bytes\nContent-Length: 1000\nContent-Type: application/zip\n"
                        "Content-Disposition: attachment; filename=\"d_x_.bin\"\n\n", 0, 1000},
    };
    for (auto& c : cases) {
        if (c.range)
            setenv("HTTP_RANGE", c.range, 1);
        else
            unsetenv("HTTP_RANGE");
        begin();
        EXPECT_EQ(0, comCgiDownloadFile("application/zip", "d;x\".bin", file.c_str(), 1, 0, 0,
                                        nullptr));
        EXPECT_EQ(std::string(c.head) + body.substr(c.from, c.count), end())
            << (c.range ? c.range : "none");
    }
    unsetenv("HTTP_RANGE");
    begin();
    EXPECT_EQ(-1, comCgiDownloadFile("text/plain", "x", (dir + "/none").c_str(), 0, 0, 0,
                                     nullptr));
    EXPECT_EQ("", end());

    // SVG is shown inline without flags; an empty file has no length.
    std::string empty = dir + "/e.svg";
    { std::ofstream f(empty); }
    setenv("HTTP_RANGE", "bytes=0-", 1);
    begin();
    EXPECT_EQ(0, comCgiDownloadFile("image/svg+xml", "e.svg", empty.c_str(), 0, 0, 0, nullptr));
    EXPECT_EQ("Accept-Ranges: bytes\nContent-Type: image/svg+xml\n"
              "Content-Disposition: filename=\"e.svg\"\n\n",
              end());
}

}  // namespace
