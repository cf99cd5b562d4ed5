#include <chrono>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <memory>
#include <string>

#include "fakeserver.h"
#include "nuhttp.h"
#include "rvtlstest.h"

namespace {

using rvtest::FakeProxy;
using rvtest::FakeServer;

struct Result {
    int rc;
    std::string body;
};

Result post(const std::string& url, const char* body = "cmd=login&access_key=AK%2D123",
            int timeout = 5, const char* proxyHost = nullptr, int proxyPort = 0,
            const char* proxyUser = nullptr, const char* proxyPwd = nullptr, NuHttp* client = nullptr)
{
    NuHttp own;
    NuHttp& h = client ? *client : own;
    char* out = nullptr;
    int len = 0;
    const char* names[] = {"Cookie"};
    const char* values[] = {"qelSid=s%2D1;"};
    Result r;
    r.rc = h.Request(url.c_str(), body, timeout, &out, &len, nullptr, nullptr, nullptr, proxyHost,
                     proxyPort, "bu", "bp", proxyUser, proxyPwd, 1, names, values, nullptr, 1);
    r.body = out ? std::string(out, static_cast<size_t>(len)) : "";
    std::free(out);
    EXPECT_EQ(h.GetState(), NUHTTP_STATE_CLOSED);
    return r;
}

std::string url(const char* scheme, const char* host, int port, const char* cmd)
{
    return std::string(scheme) + "://" + host + ":" + std::to_string(port) + "/app/tovrapinex.cgi/"
           + cmd + "/";
}

// One TLS setup for the whole file: a test CA and a certificate for localhost.
class Tls : public rvtest::TlsCertsTest {};

TEST(NuHttpPlain, RoundTripSendsExactBytes)
{
    FakeServer srv;
    ASSERT_TRUE(srv.ok());
    Result r = post(url("http", "127.0.0.1", srv.port(), "login"));
    EXPECT_EQ(r.rc, 0);
    EXPECT_NE(r.body.find("\"rssid\""), std::string::npos);
    auto reqs = srv.requests();
    ASSERT_EQ(reqs.size(), 1u);
    EXPECT_EQ(reqs[0], "POST /app/tovrapinex.cgi/login/ HTTP/1.0\r\n"
                       "Content-Length: 29\r\n"
                       "Authorization: Basic YnU6YnA=\r\n"
                       "Cookie: qelSid=s%2D1;\r\n"
                       "Content-Type: application/x-www-form-urlencoded\r\n"
                       "Host: 127.0.0.1:" + std::to_string(srv.port()) + "\r\n"
                       "\r\n"
                       "cmd=login&access_key=AK%2D123");
}

TEST(NuHttpPlain, ReplyFaults)
{
    FakeServer srv(R"({"replies": {
        "s500": {"status": 500, "body": "x"},
        "s302": {"status": 302, "body": "moved"},
        "stall": {"stall": 4, "json": {"status": "ok"}},
        "stallbody": {"stall_body": 4, "body": "late"},
        "short": {"body": "0123456789", "short": 4},
        "early": {"close_before_blank": true},
        "nul": {"body_hex": "610062ff0d0a"}}})");
    ASSERT_TRUE(srv.ok());
    struct Case {
        const char* cmd;
        int rc;
        const char* body;
        size_t bodyLen;
    } cases[] = {
        {"s500", 500, "", 0},
        {"s302", 302, "moved", 5},
        {"stall", NUHTTP_ERR_TIMEOUT, "", 0},
        {"stallbody", NUHTTP_ERR_TIMEOUT, "", 0},
        {"short", NUHTTP_ERR_IO, "", 0},
        {"early", NUHTTP_ERR_IO, "", 0},
        {"nul", 0, "a\0b\xff\r\n", 6},
        {"unknown", 404, "", 0},
    };
    for (const auto& c : cases) {
        Result r = post(url("http", "127.0.0.1", srv.port(), c.cmd), "cmd=x", 1);
        EXPECT_EQ(r.rc, c.rc) << c.cmd;
        EXPECT_EQ(r.body, std::string(c.body, c.bodyLen)) << c.cmd;
    }
}

TEST(NuHttpPlain, ConnectFailures)
{
    rvtest::ScratchDir d;
    NuHttp h;
    char host[300];
    int port = 0;
    std::string longHost(256, 'h');
    EXPECT_EQ(h.OpenSocket(("http://" + longHost + "/").c_str(), nullptr, 0, host, sizeof host, &port),
              NUHTTP_ERR_ADDR);
    // 255 characters pass the check and fail only to resolve.
    EXPECT_EQ(h.OpenSocket(("http://" + longHost.substr(1) + "/").c_str(), nullptr, 0, host,
                           sizeof host, &port),
              NUHTTP_ERR_IO);
    EXPECT_EQ(h.OpenSocket("", nullptr, 0, host, sizeof host, &port), NUHTTP_ERR_ADDR);
    EXPECT_EQ(h.OpenSocket("http://h:70000/", nullptr, 0, host, sizeof host, &port), NUHTTP_ERR_ADDR);

    FakeServer srv("", nullptr, 1);
    ASSERT_TRUE(srv.ok());
    int closedPort = srv.port();
    srv.stop();
    EXPECT_EQ(post(url("http", "127.0.0.1", closedPort, "login")).rc, NUHTTP_ERR_CONNECT);
    NuHttp c;
    char* out = nullptr;
    int len = 0;
    EXPECT_EQ(c.Request(nullptr, "a=b", 1, &out, &len, nullptr, nullptr, nullptr, nullptr, 0,
                        nullptr, nullptr, nullptr, nullptr, 0, nullptr, nullptr, nullptr, 1),
              NUHTTP_ERR_ARG);
}

TEST(NuHttpPlain, MultipartUploadAndFileParts)
{
    rvtest::ScratchDir d;
    std::string file = d.file("photo.jpg");
    ASSERT_TRUE(rvtest::writeFile(file, std::string("\x89PNG\0data", 9)));
    FakeServer srv;
    ASSERT_TRUE(srv.ok());
    NuHttp h;
    EXPECT_EQ(h.AddFile("", file.c_str(), nullptr, nullptr), NUHTTP_ERR_ARG);
    EXPECT_EQ(h.AddFile("attach", d.file("missing").c_str(), nullptr, nullptr), NUHTTP_ERR_ADDFILE);
    // A directory cannot be sent as a part.
    EXPECT_EQ(h.AddFile("attach", d.path().c_str(), nullptr, nullptr), NUHTTP_ERR_ADDFILE);
    EXPECT_EQ(h.AddFile("attach", file.c_str(), nullptr, nullptr), 0);
    EXPECT_EQ(h.AddFile("other", file.c_str(), nullptr, nullptr), 0);
    EXPECT_EQ(h.AddFile("other", nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(h.GetFileList()->getCount(), 1);
    Result r = post(url("http", "127.0.0.1", srv.port(), "cdbasetcmdimportfileupload"),
                    "cmd=cdbasetcmdimportfileupload&file_path=photo.jpg", 5, nullptr, 0, nullptr,
                    nullptr, &h);
    EXPECT_EQ(r.rc, 0);
    auto reqs = srv.requests();
    ASSERT_EQ(reqs.size(), 1u);
    size_t end = reqs[0].find("\r\n\r\n");
    std::string body = reqs[0].substr(end + 4);
    EXPECT_NE(reqs[0].find("Content-Length: " + std::to_string(body.size()) + "\r\n"), std::string::npos);
    EXPECT_NE(body.find("name=\"attach\"; filename=\"photo.jpg\"\r\nContent-Type: application/unknown\r\n\r\n"
                        + std::string("\x89PNG\0data", 9) + "\r\n"),
              std::string::npos);
}

TEST(NuHttpPlain, PlainHttpThroughProxyCarriesProxyAuth)
{
    FakeServer srv;
    FakeProxy proxy("pu", "pp");
    ASSERT_TRUE(srv.ok() && proxy.ok());
    std::string u = url("http", "127.0.0.1", srv.port(), "login");
    Result r = post(u, "cmd=login", 5, "127.0.0.1", proxy.port(), "pu", "pp");
    EXPECT_EQ(r.rc, 0);
    auto reqs = srv.requests();
    ASSERT_EQ(reqs.size(), 1u);
    EXPECT_EQ(reqs[0].rfind("POST " + u + " HTTP/1.0\r\n", 0), 0u);
    EXPECT_NE(reqs[0].find("Proxy-Authorization: Basic cHU6cHA=\r\n"), std::string::npos);
}

TEST(NuHttpCodes, ConvertErrorCode)
{
    NuHttp h;
    const int cases[][2] = {{-10, -10}, {-9, -99}, {-8, -8}, {-3, -11}, {-2, -12},
                            {-1, -1},   {0, 0},    {302, 302}, {-7, -7}};
    for (const auto& c : cases)
        EXPECT_EQ(h.ConvertErrorCode(c[0]), c[1]) << c[0];
    EXPECT_TRUE(h.IsHttpsUrl("HTTPS://x"));
    EXPECT_FALSE(h.IsHttpsUrl("http://x"));
    EXPECT_FALSE(h.IsHttpsUrl(nullptr));
}

TEST_F(Tls, VerifiedRoundTripWithoutCloseNotify)
{
    FakeServer srv("", &certs);
    ASSERT_TRUE(srv.ok());
    Result r = post(url("https", "localhost", srv.port(), "login"));
    EXPECT_EQ(r.rc, 0);
    EXPECT_NE(r.body.find("\"STOKEN\""), std::string::npos);
    auto reqs = srv.requests();
    ASSERT_EQ(reqs.size(), 1u);
    EXPECT_NE(reqs[0].find("Host: localhost:" + std::to_string(srv.port()) + "\r\n"), std::string::npos);
}

TEST_F(Tls, VerificationFailures)
{
    FakeServer srv("", &certs);
    ASSERT_TRUE(srv.ok());
    // Wrong host name for the certificate; the reason is kept.
    NuHttp wrongHost;
    EXPECT_EQ(post(url("https", "127.0.0.1", srv.port(), "login"), "a=b", 5, nullptr, 0, nullptr,
                   nullptr, &wrongHost).rc,
              NUHTTP_ERR_TLS);
    ASSERT_NE(wrongHost.GetErrorText(), nullptr);
    EXPECT_STREQ(wrongHost.GetErrorText(), "certificate verify failed: IP address mismatch");
    // CA not trusted.
    setenv("SSL_CERT_FILE", (dir->path() + "/none.pem").c_str(), 1);
    setenv("SSL_CERT_DIR", dir->path().c_str(), 1);
    NuHttp h;
    EXPECT_EQ(post(url("https", "localhost", srv.port(), "login"), "a=b", 5, nullptr, 0, nullptr,
                   nullptr, &h).rc,
              NUHTTP_ERR_TLS);
    ASSERT_NE(h.GetErrorText(), nullptr);
    EXPECT_STREQ(h.GetErrorText(),
                 "certificate verify failed: unable to get local issuer certificate");
    unsetenv("SSL_CERT_DIR");
    EXPECT_TRUE(srv.requests().empty());
}

TEST_F(Tls, ReplyFaults)
{
    FakeServer srv(R"({"replies": {
        "garbage": {"raw": "garbage\r\n\r\nxx"},
        "s302": {"status": 302, "body": "m"},
        "notify": {"body": "bye", "close_notify": true},
        "short": {"body": "0123456789", "short": 3},
        "stall": {"stall": 4, "body": "late"}}})", &certs);
    ASSERT_TRUE(srv.ok());
    struct Case {
        const char* cmd;
        int rc;
        const char* body;
    } cases[] = {
        {"garbage", NUHTTP_ERR_TIMEOUT, ""}, {"s302", 302, "m"}, {"notify", 0, "bye"},
        {"short", NUHTTP_ERR_IO, ""},        {"stall", NUHTTP_ERR_TIMEOUT, ""},
    };
    for (const auto& c : cases) {
        Result r = post(url("https", "localhost", srv.port(), c.cmd), "cmd=x", 1);
        EXPECT_EQ(r.rc, c.rc) << c.cmd;
        EXPECT_EQ(r.body, c.body) << c.cmd;
    }
}

// The handshake ends within the time limit counted from the connect, also
// inside a tunnel: a stalled one, or one whose bytes trickle in one by one,
// fails with the time-out; a slow but steady one goes through.
TEST_F(Tls, HandshakeStallAndPlainPeerAreBounded)
{
    FakeServer srv("", &certs);
    FakeServer stall(R"({"tls_stall": 5})", &certs);
    FakeServer plain;
    ASSERT_TRUE(srv.ok() && stall.ok() && plain.ok());
    struct Case {
        const char* what;
        int port;
        int bytes;    // the server's bytes, that many
        int stepMs;   // every stepMs (0: as they come)
        bool tunnel;
        int timeout;
        int rc;
    } cases[] = {
        {"stall", stall.port(), 0, 0, false, 1, NUHTTP_ERR_TIMEOUT},
        {"silent plain peer", plain.port(), 0, 0, false, 1, NUHTTP_ERR_TIMEOUT},
        {"trickle", srv.port(), 1, 50, false, 1, NUHTTP_ERR_TIMEOUT},
        {"trickle in a tunnel", srv.port(), 1, 50, true, 1, NUHTTP_ERR_TIMEOUT},
        {"steady", srv.port(), 200, 100, false, 3, 0},
        {"steady in a tunnel", srv.port(), 200, 100, true, 3, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::unique_ptr<FakeProxy> relay;
        if (c.bytes || c.tunnel) {
            relay.reset(new FakeProxy(nullptr, nullptr, 0, 10, c.bytes, c.stepMs,
                                      c.tunnel ? 0 : c.port));
            ASSERT_TRUE(relay->ok());
        }
        int port = relay && !c.tunnel ? relay->port() : c.port;
        NuHttp h;
        auto t0 = std::chrono::steady_clock::now();
        Result r = post(url("https", "localhost", port, "login"), "a=b", c.timeout,
                        c.tunnel ? "127.0.0.1" : nullptr, c.tunnel ? relay->port() : 0, nullptr,
                        nullptr, &h);
        double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        EXPECT_EQ(r.rc, c.rc);
        if (c.rc == NUHTTP_ERR_TIMEOUT) {
            EXPECT_LT(secs, c.timeout + 1.0);
            EXPECT_STREQ(h.GetErrorText(), "TLS handshake timed out");
        }
    }
}

TEST_F(Tls, ConnectTunnelThroughProxy)
{
    FakeServer srv("", &certs);
    ASSERT_TRUE(srv.ok());
    struct Case {
        const char* needUser;
        const char* user;
        int rc;
        const char* authLine;
    } cases[] = {
        {"pu", "pu", 0, "Proxy-Authorization: Basic cHU6cHA=\r\n"},
        {nullptr, nullptr, 0, ""},
        {"pu", "wrong", NUHTTP_ERR_PROXY, "Proxy-Authorization: Basic d3Jvbmc6cHA=\r\n"},
    };
    size_t seen = 0;
    for (const auto& c : cases) {
        FakeProxy proxy(c.needUser, "pp");
        ASSERT_TRUE(proxy.ok());
        std::string u = url("https", "localhost", srv.port(), "login");
        Result r = post(u, "cmd=login", 5, "127.0.0.1", proxy.port(), c.user, "pp");
        EXPECT_EQ(r.rc, c.rc) << (c.user ? c.user : "none");
        EXPECT_EQ(proxy.recorded(), "CONNECT localhost:" + std::to_string(srv.port())
                                        + " HTTP/1.1\r\n" + c.authLine + "\r\n");
        auto reqs = srv.requests();
        if (c.rc == 0) {
            ASSERT_EQ(reqs.size(), seen + 1);
            EXPECT_EQ(reqs.back().rfind("POST " + u + " HTTP/1.0\r\n", 0), 0u);
            EXPECT_EQ(reqs.back().find("Proxy-Authorization"), std::string::npos);
        }
        seen = reqs.size();
    }
    // A refusal, and a reply whose status is no status.
    for (int status : {407, -1}) {
        FakeProxy refusing(nullptr, nullptr, status);
        ASSERT_TRUE(refusing.ok());
        EXPECT_EQ(post(url("https", "localhost", srv.port(), "login"), "a=b", 5, "127.0.0.1",
                       refusing.port()).rc,
                  NUHTTP_ERR_PROXY)
            << status;
    }
}

} // namespace
