#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "fakeserver.h"
#include "rvcomcode.h"
#include "rvhttp.h"
#include "rvmigrateimportbat.h"

namespace {

const char kCodes[] =
    "-600008=E,Server said no %s %s %s\n"
    "-600009=E,Cannot read %s\n"
    "-600018=E,Connection failed\n"
    "-601002=E,Unauthorized\n"
    "-601006=E,Time-out\n"
    "-601008=E,Server error\n"
    "-601010=E,HTTP status %d\n";

class RvHttpTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        static rvtest::ScratchDir dir;
        rvtest::writeFile(dir.file("message"), kCodes);
        rvcomClearCodeMessages();
        ASSERT_EQ(0, rvcomLoadCodeMessageFile(dir.file("message").c_str()));
    }

    void pointAt(const rvtest::FakeServer& srv)
    {
        app.m_url = ("http://127.0.0.1:" + std::to_string(srv.port()) + "/app/tovrapinex.cgi")
                        .c_str();
    }

    RvMigrateImportBat app;
};

// A short time-out for the stall case.
class QuickLogin : public RvHttpLogin {
public:
    explicit QuickLogin(RvMigrateImportBat* app) : RvHttpLogin(app) { m_timeout_seconds = 1; }
};

int freePort()
{
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    close(fd);
    return ntohs(a.sin_port);
}

std::string bodyOf(const std::string& req)
{
    size_t p = req.find("\r\n\r\n");
    return p == std::string::npos ? "" : req.substr(p + 4);
}

TEST_F(RvHttpTest, UrlIsBuiltFromTheConfiguredOne)
{
    struct {
        const char* url;
        int which;  // 0 logout, 1 login, 2 import start
        const char* expected;
    } cases[] = {
        {"https://h/a/tovrapinex.cgi", 0, "https://h/a/vornr.cgi/logout/"},
        {"https://h:8443/app/tovrapinex.cgi", 2, "https://h:8443/app/mobrr.cgi/cdbcmdimportapp/"},
        {"https://a.b.c/dir/", 1, "https://a.b.c/dir//login/"},
        // no path: the host is never rewritten
        {"https://h.example.com", 1, "https://h.example.com/login/"},
        {"http://10.0.0.1", 0, "http://10.0.0.1/logout/"},
        {"http://h/x.y/tovrapinex.fcgi", 0, "http://h/x.y/vornr.fcgi/logout/"},
    };
    for (const auto& c : cases) {
        app.m_url = c.url;
        RvHttpLogout logout(&app);
        RvHttpLogin login(&app);
        RvHttpImportApp start(&app);
        RvHttp* h = c.which == 0 ? static_cast<RvHttp*>(&logout)
                    : c.which == 1 ? static_cast<RvHttp*>(&login)
                                   : static_cast<RvHttp*>(&start);
        EXPECT_EQ(c.expected, h->getUrl()) << c.url;
    }
}

TEST_F(RvHttpTest, FormTextEncodesValuesAndKeepsPlainNames)
{
    RvHttpLogout h(&app);
    RvHttpParams p = {{"cmd", "a b&c"}, {"tok&=x", "1"}, {"v", "\xE3\x81\x82-_.~"}, {"e", ""}};
    EXPECT_EQ("cmd=a+b%26c&tok%26%3Dx=1&v=%E3%81%82%2D%5F%2E%7E&e=", h.joinPostParams(p));

    RvHttpParams base;
    h.GetPostParams(base);
    ASSERT_EQ(1u, base.size());
    app.m_stoken = "tok9";
    app.m_app_id = "A7";
    base.clear();
    h.GetPostParams(base);
    RvHttpParams expected = {{"cmd", "logout"}, {"tok9", "1"}, {"app_id", "A7"}};
    EXPECT_EQ(expected, base);

    EXPECT_EQ("cmd=login&access_key=****", rvhttpMaskSecrets("cmd=login&access_key=AK%2D123"));
    EXPECT_EQ("access_key=****&x=1", rvhttpMaskSecrets("access_key=k&x=1"));
}

TEST_F(RvHttpTest, LoginThenPollCarryCookieAndToken)
{
    rvtest::FakeServer srv(R"({"replies": {"login": {"json": {"status": "ok", "rssid": "s+1/x",
        "STOKEN": "tok9"}}}})");
    ASSERT_TRUE(srv.ok());
    pointAt(srv);
    app.m_basic_auth_userid = "bu";
    app.m_basic_auth_password = "bp";
    app.m_access_key = "AK-123";

    RvHttpLogin login(&app);
    ASSERT_EQ(0, login.Accs()) << login.getMessage();
    EXPECT_EQ("s%2B1%2Fx", login.getLoginId());
    EXPECT_EQ("tok9", login.getToken());
    app.m_rssid = login.getLoginId();
    app.m_stoken = login.getToken();
    app.m_app_id = "A7";

    RvHttpImportProcExisted poll(&app);
    ASSERT_EQ(0, poll.Accs());

    auto reqs = srv.requests();
    ASSERT_EQ(2u, reqs.size());
    std::string host = "127.0.0.1:" + std::to_string(srv.port());
    EXPECT_EQ("POST /app/tovrapinex.cgi/login/ HTTP/1.0\r\n"
              "Content-Length: 29\r\n"
              "Authorization: Basic YnU6YnA=\r\n"
              "Content-Type: application/x-www-form-urlencoded\r\n"
              "Host: " + host + "\r\n\r\n"
              "cmd=login&access_key=AK%2D123",
              reqs[0]);
    std::string pollBody = "cmd=cdbcmdimportprocexisted&tok9=1&app_id=A7";
    EXPECT_EQ("POST /app/mobrr.cgi/cdbcmdimportprocexisted/ HTTP/1.0\r\n"
              "Content-Length: " + std::to_string(pollBody.size()) + "\r\n"
              "Authorization: Basic YnU6YnA=\r\n"
              "Cookie: qelSid=s%2B1%2Fx;\r\n"
              "Content-Type: application/x-www-form-urlencoded\r\n"
              "Host: " + host + "\r\n\r\n" + pollBody,
              reqs[1]);
}

TEST_F(RvHttpTest, BasicUserWithoutPasswordIsRefusedBeforeSending)
{
    rvtest::FakeServer srv(R"({"replies": {"logout": {"json": {"status": "ok"}}}})");
    ASSERT_TRUE(srv.ok());
    pointAt(srv);
    app.m_basic_auth_userid = "bu";
    RvHttpLogout unset(&app);
    EXPECT_EQ(-600018, unset.Accs());

    app.m_basic_auth_password = "";  // present but empty
    RvHttpLogout empty(&app);
    ASSERT_EQ(0, empty.Accs()) << empty.getMessage();
    // The refused request left at most an empty connection behind.
    std::vector<std::string> posts;
    for (const auto& r : srv.requests())
        if (r.compare(0, 5, "POST ") == 0)
            posts.push_back(r);
    ASSERT_EQ(1u, posts.size());
    EXPECT_NE(std::string::npos, posts[0].find("\r\nAuthorization: Basic YnU6\r\n"));
}

TEST_F(RvHttpTest, RepliesMapToCodesAndMessages)
{
    rvtest::FakeServer srv(R"({"replies": {"login": [
        {"json": {"status": "ng", "errorno": "12", "errormessage": "E:bad", "errmsgadd": "x"}},
        {"json": {"status": 1}},
        {"body": "not json"},
        {"json": {"status": "ng", "errormessage": "\u00e9:raw"}},
        {"status": 302, "body": "moved"},
        {"status": 401, "body": "no"},
        {"status": 500, "body": "err"},
        {"status": 408, "body": "slow"},
        {"status": 404, "body": "nf", "content_length": false},
        {"body": "<html>\r\n <title>\u4fdd\u5b88 Maintenance</title>\r\n</html>\r\n"},
        {"body": ""},
        {"json": {"status": "ng", "errorno": "7"}},
        {"body": "\u3042\u3042\u3042\u3042\u3042\u3042\u3042\u3042\u3042\u3042\u3042\u3042\u3042\u3042\u3042\u3042\u3042\u3042\u3042\u3042\u3042\u3042\u3042\u3042\u3042\u3042\u3042\u3042\u3042\u3042\u3042\u3042\u3042\u3042\u3042\u3042\u3042\u3042\u3042\u3042\u3042\u3042\u3042\u3042\u3042\u3042\u3042\u3042\u3042\u3042\u3042\u3042\u3042\u3042\u3042\u3042\u3042\u3042\u3042\u3042\u3042\u3042\u3042\u3042\u3042\u3042\u3042\u3042\u3042\u3042"}
    ]}})");
    ASSERT_TRUE(srv.ok());
    pointAt(srv);
    // A reply without a message of its own is reported with what it said.
    std::string a66;
    for (int i = 0; i < 66; ++i)
        a66 += "\xE3\x81\x82";  // 3-byte characters: 198 bytes are whole ones
    struct {
        int code;
        std::string message;
        int serverErrno;
    } expected[] = {
        {-600008, "bad(x)", 12},
        {-600008, "{\"status\": 1}", 0},
        {-600008, "not json", 0},
        {-600008, "\xC3\xA9:raw", 0},
        {-601010, "HTTP status 302", 0}, {-601002, "Unauthorized", 0},
        {-601008, "Server error", 0},    {-601006, "Time-out", 0},
        {-601004, "(code:-601004)", 0},
        {-600008, "<html> <title>\xE4\xBF\x9D\xE5\xAE\x88 Maintenance</title> </html>", 0},
        {-600008, "", 0},
        {-600008, "{\"status\": \"ng\", \"errorno\": \"7\"}", 7},
        {-600008, a66, 0},
    };
    for (const auto& e : expected) {
        RvHttpLogin login(&app);
        EXPECT_EQ(e.code, login.Accs()) << e.message;
        EXPECT_EQ(e.message, login.getMessage());
        EXPECT_EQ(e.serverErrno, login.getServerErrorNo());
        EXPECT_EQ("", login.getLoginId());
    }
}

TEST_F(RvHttpTest, ProgressRepliesSetFlagCountsAndMessage)
{
    rvtest::FakeServer srv(R"({"replies": {"cdbcmdimportprocexisted": [
        {"json": {"status": "ok", "execflg": "0", "import_ok_data": "12x"}},
        {"json": {"status": "ok", "execflg": 0}},
        {"json": {"status": "ok", "execflg": "1", "import_warning_data": 3, "self_message": "m"}},
        {"json": {"status": "ok"}},
        {"json": {"status": "ng", "execflg": "1", "import_ng_data": "4", "errorno": "5",
                  "errormessage": "E:oops", "errmsgadd": "y"}}
    ]}})");
    ASSERT_TRUE(srv.ok());
    pointAt(srv);
    struct {
        int code;
        bool running;
        int ok, warning, ng;
        const char* message;
    } expected[] = {
        {0, false, 12, 0, 0, ""},        {0, false, 0, 0, 0, ""}, {0, true, 0, 3, 0, "m"},
        {0, false, 0, 0, 0, ""},         {-600008, true, 0, 0, 4, "oops(y)"},
    };
    int i = 0;
    for (const auto& e : expected) {
        RvHttpImportProcExisted poll(&app);
        EXPECT_EQ(e.code, poll.Accs()) << i;
        EXPECT_EQ(e.running, poll.isRunning()) << i;
        EXPECT_EQ(e.ok, poll.getOkCount()) << i;
        EXPECT_EQ(e.warning, poll.getWarningCount()) << i;
        EXPECT_EQ(e.ng, poll.getNgCount()) << i;
        EXPECT_EQ(e.message, poll.getMessage()) << i;
        ++i;
    }
}

TEST_F(RvHttpTest, DownloadsKeepTheWholeBody)
{
    rvtest::FakeServer srv(R"({"replies": {
        "cdbimporterrordownload": [{"body_hex": "61000d0aff62"}, {"body": ""}],
        "cdbimporterrorlistdownload": {"status": 200, "body": "<html>error page</html>",
                                       "content_length": false}}})");
    ASSERT_TRUE(srv.ok());
    pointAt(srv);
    RvHttpImportLogDownload d1(&app);
    ASSERT_EQ(0, d1.Accs());
    EXPECT_EQ(std::string("a\0\r\n\xff" "b", 6), d1.getResultText());
    RvHttpImportLogDownload d2(&app);
    ASSERT_EQ(0, d2.Accs());
    EXPECT_EQ("", d2.getResultText());
    RvHttpImportErrorListDownload d3(&app);
    ASSERT_EQ(0, d3.Accs());
    EXPECT_EQ("<html>error page</html>", d3.getResultText());
    auto reqs = srv.requests();
    ASSERT_EQ(3u, reqs.size());
    EXPECT_EQ(0u, reqs[2].find("POST /app/mobrelix.cgi/cdbimporterrorlistdownload/ HTTP/1.0"));
}

TEST_F(RvHttpTest, UploadAndImportStartAreMultipart)
{
    rvtest::ScratchDir dir;
    ASSERT_EQ(0, mkdir(dir.file("2").c_str(), 0755));
    rvtest::writeFile(dir.file("2/ph\"o.jpg"), std::string("\x01\0\xff", 3));
    rvtest::writeFile(dir.file("data.csv"), "\xEF\xBB\xBF" "a,b\r\n");
    rvtest::FakeServer srv(R"({"replies": {"cdbcmdimportapp": {"json": {"status": "ok",
        "app_id": 5}}}})");
    ASSERT_TRUE(srv.ok());
    pointAt(srv);
    app.m_attach_base_dir = dir.path() + "/";
    app.m_data_file = dir.file("data.csv");
    app.m_fields = "[{\"field_name\":\"a\\/b\"}]";

    RvHttpImportFileUpload up(&app);
    up.m_attach_filepath = "/2/ph\"o.jpg";
    ASSERT_EQ(0, up.Accs()) << up.getMessage();

    RvHttpImportApp start(&app);  // no Name: the field is left out
    ASSERT_EQ(0, start.Accs()) << start.getMessage();
    EXPECT_EQ("5", start.getAppId());

    RvHttpImportFileUpload missing(&app);
    missing.m_attach_filepath = "gone.txt";
    EXPECT_EQ(-600009, missing.Accs());
    EXPECT_EQ("Cannot read " + dir.path() + "/gone.txt", missing.getMessage());

    auto reqs = srv.requests();
    ASSERT_EQ(2u, reqs.size());
    for (const auto& r : reqs) {
        EXPECT_NE(std::string::npos, r.find("Content-Type: multipart/form-data; boundary="));
        size_t cl = r.find("Content-Length: ");
        ASSERT_NE(std::string::npos, cl);
        EXPECT_EQ(std::to_string(bodyOf(r).size()),
                  r.substr(cl + 16, r.find("\r\n", cl) - cl - 16));
    }
    std::string up0 = bodyOf(reqs[0]);
    EXPECT_NE(std::string::npos,
              up0.find("name=\"file_path\"\r\n\r\n/2/ph\"o.jpg\r\n"));
    EXPECT_NE(std::string::npos, up0.find(std::string("Content-Type: application/unknown\r\n\r\n"
                                                      "\x01\0\xff\r\n", 42)));
    // The file name cannot break out of its header.
    EXPECT_EQ(std::string::npos, up0.find("filename=\"ph\"o.jpg\""));
    std::string st = bodyOf(reqs[1]);
    const char* order[] = {"name=\"cmd\"", "name=\"force\"\r\n\r\non\r\n",
                           "name=\"char_code\"\r\n\r\n2\r\n", "name=\"char_sep\"\r\n\r\n0\r\n",
                           "name=\"title_except\"\r\n\r\n1\r\n",
                           "name=\"save_setting\"\r\n\r\noff\r\n",
                           "name=\"proc_type\"\r\n\r\nupdate\r\n",
                           "name=\"error_stop\"\r\n\r\noff\r\n",
                           "name=\"fields\"\r\n\r\n[{\"field_name\":\"a\\/b\"}]\r\n",
                           "name=\"attach_file_exist\"\r\n\r\non\r\n",
                           "name=\"importfile\"; filename=\"data.csv\""};
    size_t pos = 0;
    for (const char* o : order) {
        size_t p = st.find(o, pos);
        EXPECT_NE(std::string::npos, p) << o;
        if (p != std::string::npos)
            pos = p;
    }
    EXPECT_EQ(std::string::npos, st.find("name=\"Name\""));
    EXPECT_EQ(std::string::npos, st.find("name=\"app_id\""));
}

TEST_F(RvHttpTest, ConnectionFailuresAndStallsAreBounded)
{
    app.m_url = ("http://127.0.0.1:" + std::to_string(freePort()) + "/a/tovrapinex.cgi").c_str();
    RvHttpLogin refused(&app);
    EXPECT_EQ(-600018, refused.Accs());
    EXPECT_EQ("Connection failed", refused.getMessage());

    rvtest::FakeServer srv(R"({"replies": {"login": {"stall": 4, "json": {"status": "ok"}}}})");
    ASSERT_TRUE(srv.ok());
    pointAt(srv);
    QuickLogin login(&app);
    time_t t0 = time(nullptr);
    EXPECT_EQ(-601006, login.Accs());
    EXPECT_LE(time(nullptr) - t0, 3);

    // A handshake that never ends is a time-out that says so.
    rvtest::ScratchDir dir;
    rvtest::TestCerts certs;
    ASSERT_TRUE(rvtest::makeTestCerts(dir.path(), "localhost", &certs));
    rvtest::FakeServer tls(R"({"tls_stall": 5})", &certs);
    ASSERT_TRUE(tls.ok());
    app.m_url = ("https://localhost:" + std::to_string(tls.port()) + "/a/tovrapinex.cgi").c_str();
    QuickLogin handshake(&app);
    t0 = time(nullptr);
    EXPECT_EQ(-601006, handshake.Accs());
    EXPECT_LE(time(nullptr) - t0, 3);
    EXPECT_EQ("Time-out(TLS handshake timed out)", handshake.getMessage());
}

} // namespace
