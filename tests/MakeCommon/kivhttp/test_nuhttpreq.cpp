#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

#include "comcgi.h"
#include "fakeserver.h"
#include "nuhttpreq.h"
#include "nusock.h"

namespace {

std::string g_out;

int captureWriter(int, const void* data, int length)
{
    g_out.append(static_cast<const char*>(data), static_cast<size_t>(length));
    return length;
}

// Writes through sockWrite's identity but into the capture: used where the
// Host rule depends on the writer being the plain socket writer.
struct Pair {
    int fd[2] = {-1, -1};
    Pair() { socketpair(AF_UNIX, SOCK_STREAM, 0, fd); }
    ~Pair()
    {
        for (int f : fd)
            if (f >= 0)
                close(f);
    }
    std::string drain()
    {
        close(fd[1]);
        fd[1] = -1;
        std::string s;
        char buf[4096];
        ssize_t n;
        while ((n = read(fd[0], buf, sizeof buf)) > 0)
            s.append(buf, static_cast<size_t>(n));
        return s;
    }
};

TEST(HttpWrite, FormRequestBytes)
{
    g_out.clear();
    const char* names[] = {"Cookie"};
    const char* values[] = {"qelSid=s%2D1;"};
    ASSERT_EQ(httpWrite(3, "https://localhost:8443/app/tovrapinex.cgi/login/",
                        "cmd=login&access_key=AK%2D123", "bu", "bp", nullptr, nullptr, "localhost",
                        8443, nullptr, 1, names, values, 0, nullptr, captureWriter),
              0);
    EXPECT_EQ(g_out,
              "POST /app/tovrapinex.cgi/login/ HTTP/1.0\r\n"
              "Content-Length: 29\r\n"
              "Authorization: Basic YnU6YnA=\r\n"
              "Cookie: qelSid=s%2D1;\r\n"
              "Content-Type: application/x-www-form-urlencoded\r\n"
              "Host: localhost:8443\r\n"
              "\r\n"
              "cmd=login&access_key=AK%2D123");
}

TEST(HttpWrite, HostLineTargetAndTypeRules)
{
    struct Case {
        int port;
        bool plainWriter;
        int absolute;
        const char* header;
        const char* expectHost;
        const char* expectLine;
        bool expectFormType;
    } cases[] = {
        {80, false, 0, nullptr, "Host: h\r\n", "POST /p/q HTTP/1.0\r\n", true},
        {443, false, 0, nullptr, "Host: h\r\n", "POST /p/q HTTP/1.0\r\n", true},
        {443, true, 0, nullptr, "Host: h:443\r\n", "POST /p/q HTTP/1.0\r\n", true},
        {8443, false, 1, nullptr, "Host: h:8443\r\n", "POST http://h/p/q HTTP/1.0\r\n", true},
        {80, false, 0, "Content-Type", "Host: h\r\n", "POST /p/q HTTP/1.0\r\n", false},
    };
    for (const auto& c : cases) {
        std::string out;
        const char* names[] = {c.header};
        const char* values[] = {"text/plain"};
        int n = c.header ? 1 : 0;
        if (c.plainWriter) {
            Pair p;
            ASSERT_EQ(httpWrite(p.fd[1], "http://h/p/q", "a=b", nullptr, nullptr, nullptr, nullptr,
                                "h", c.port, nullptr, n, names, values, c.absolute, nullptr,
                                nullptr),
                      0);
            out = p.drain();
        } else {
            g_out.clear();
            ASSERT_EQ(httpWrite(3, "http://h/p/q", "a=b", nullptr, nullptr, nullptr, nullptr, "h",
                                c.port, nullptr, n, names, values, c.absolute, nullptr,
                                captureWriter),
                      0);
            out = g_out;
        }
        EXPECT_NE(out.find(c.expectHost), std::string::npos) << c.port << out;
        EXPECT_EQ(out.rfind(c.expectLine, 0), 0u) << out;
        EXPECT_EQ(out.find("x-www-form-urlencoded") != std::string::npos, c.expectFormType) << out;
    }
}

TEST(HttpWrite, RefusesInjectionAndBadArguments)
{
    const char* names[] = {"Cookie"};
    const char* bad[] = {"qelSid=a\r\nX-Evil: 1;"};
    const char* ok[] = {"v"};
    struct Case {
        const char* url;
        const char* host;
        int count;
        const char* const* values;
        const char* user;
        const char* pwd;
    } cases[] = {
        {nullptr, "h", 0, nullptr, nullptr, nullptr},
        {"http://h/a\r\nX: y", "h", 0, nullptr, nullptr, nullptr},
        {"http://h/a\nb", "h", 0, nullptr, nullptr, nullptr},
        {"http://h/a", "h\r\nX: y", 0, nullptr, nullptr, nullptr},
        {"http://h/a", "h", 1, bad, nullptr, nullptr},
        {"http://h/a", "h", 1, nullptr, nullptr, nullptr},
        {"http://h/a", "h", 0, ok, "user", nullptr},
    };
    for (const auto& c : cases) {
        g_out.clear();
        EXPECT_EQ(httpWrite(3, c.url, "a=b", c.user, c.pwd, nullptr, nullptr, c.host, 80, nullptr,
                            c.count, c.count ? names : nullptr, c.values, 0, nullptr,
                            captureWriter),
                  HTTP_ERR_ARG)
            << (c.url ? c.url : "null");
        EXPECT_EQ(g_out, "");
    }
}

TEST(HttpWrite, AuthBase64Limits)
{
    char out[HTTP_AUTH_B64_SIZE];
    EXPECT_EQ(httpGetAuthBase64(std::string(127, 'u').c_str(), std::string(126, 'p').c_str(), out), 0);
    EXPECT_EQ(httpGetAuthBase64(std::string(128, 'u').c_str(), std::string(126, 'p').c_str(), out),
              HTTP_ERR_ARG);
    EXPECT_EQ(httpGetAuthBase64("pu", "pp", out), 0);
    EXPECT_STREQ(out, "cHU6cHA=");
    EXPECT_EQ(httpGetAuthBase64(nullptr, "pp", out), HTTP_ERR_ARG);
}

TEST(HttpWrite, MultipartLayoutAndLength)
{
    rvtest::ScratchDir dir;
    std::string file = dir.file("my\"photo.jpg");
    std::string bytes("0123\0\r\n789", 10);
    ASSERT_TRUE(rvtest::writeFile(file, bytes));
    NUAttachFileList files;
    ASSERT_EQ(files.addFile("attach", file.c_str(), nullptr, nullptr), 0);
    g_out.clear();
    ASSERT_EQ(httpWrite(3, "http://h/app/mobrr.cgi/up/", "cmd=up&tok=1&file_path=%2Fa+b", nullptr,
                        nullptr, nullptr, nullptr, "h", 80, &files, 0, nullptr, nullptr, 0, nullptr,
                        captureWriter),
              0);
    size_t headEnd = g_out.find("\r\n\r\n");
    ASSERT_NE(headEnd, std::string::npos);
    std::string head = g_out.substr(0, headEnd + 4), body = g_out.substr(headEnd + 4);
    size_t b = head.find("boundary=");
    ASSERT_NE(b, std::string::npos);
    std::string p = head.substr(b + 9, head.find("\r\n", b) - b - 9);
    EXPECT_EQ(p.rfind(std::string(28, '-'), 0), 0u);
    EXPECT_NE(head.find("Content-Length: " + std::to_string(body.size()) + "\r\n"), std::string::npos);
    std::string d = "--" + p;
    std::string expect = d + "\r\nContent-Disposition: form-data; name=\"cmd\"\r\n\r\nup\r\n" + d
                         + "\r\nContent-Disposition: form-data; name=\"tok\"\r\n\r\n1\r\n" + d
                         + "\r\nContent-Disposition: form-data; name=\"file_path\"\r\n\r\n/a b\r\n" + d
                         + "\r\nContent-Disposition: form-data; name=\"attach\"; filename=\"my%22photo.jpg\""
                           "\r\nContent-Type: application/unknown\r\n\r\n"
                         + bytes + "\r\n" + d + "--\r\n";
    EXPECT_EQ(body, expect);
    EXPECT_EQ(head.find("x-www-form-urlencoded"), std::string::npos);
}

TEST(HttpWrite, MultipartMissingFileFails)
{
    rvtest::ScratchDir dir;
    std::string file = dir.file("gone.bin");
    ASSERT_TRUE(rvtest::writeFile(file, "x"));
    NUAttachFileList files;
    ASSERT_EQ(files.addFile("attach", file.c_str(), nullptr, nullptr), 0);
    unlink(file.c_str());
    g_out.clear();
    EXPECT_EQ(httpWrite(3, "http://h/a/", "cmd=x", nullptr, nullptr, nullptr, nullptr, "h", 80,
                        &files, 0, nullptr, nullptr, 0, nullptr, captureWriter),
              HTTP_ERR_PART);
}

struct Reply {
    int rc;
    std::string body;
    int length;
    bool hasBody;
};

Reply readReply(const std::string& bytes, bool withHeaders = false, std::string* headers = nullptr)
{
    Pair p;
    EXPECT_EQ(write(p.fd[1], bytes.data(), bytes.size()), (ssize_t)bytes.size());
    close(p.fd[1]);
    p.fd[1] = -1;
    sockSetTimeout(2);
    char* body = nullptr;
    int len = -5;
    char** names = nullptr;
    char** values = nullptr;
    int count = 0;
    Reply r;
    r.rc = withHeaders ? httpReadHead(p.fd[0], &body, &len, 0, &names, &values, &count)
                       : httpReadHead(p.fd[0], &body, &len, 0, nullptr, nullptr, nullptr);
    r.hasBody = body != nullptr;
    r.body = body ? std::string(body, static_cast<size_t>(len)) : "";
    r.length = len;
    std::free(body);
    if (withHeaders && headers)
        for (int i = 0; i < count; ++i)
            *headers += std::string(names[i]) + "=" + values[i] + "|";
    if (withHeaders)
        comCgiFreeRequest(count, names, values, nullptr, nullptr);
    return r;
}

TEST(HttpReadHead, StatusLengthAndBody)
{
    struct Case {
        std::string reply;
        int rc;
        bool hasBody;
        std::string body;
    } cases[] = {
        {"HTTP/1.0 200 OK\r\nContent-Length: 5\r\n\r\nhello+extra", 0, true, "hello"},
        {"HTTP/1.0 200 OK\r\ncontent-length: 3\r\n\r\nabc", 0, true, "abc"},
        {"HTTP/1.0 200 OK\r\n\r\nto the end", 0, true, "to the end"},
        {"HTTP/1.0 200 OK\r\nContent-Length: 0\r\n\r\nnot read", 0, true, ""},
        {std::string("HTTP/1.0 200 OK\r\nContent-Length: 5\r\n\r\na\0b\r\n", 43), 0, true,
         std::string("a\0b\r\n", 5)},
        {"HTTP/1.0 404 Not Found\r\nContent-Length: 4\r\n\r\nnope", 404, false, ""},
        {"HTTP/1.0 302 Found\r\nContent-Length: 3\r\n\r\nabc", 302, true, "abc"},
        {"HTTP/1.0 302 Found\r\n\r\nabc", 302, true, "abc"},
        {"HTTP/1.0 401 Unauthorized\r\n\r\n{}", 401, true, "{}"},
        {"HTTP/1.0 200 OK\r\nContent-Length: 10\r\n\r\nshort", HTTP_ERR_IO, false, ""},
        {"HTTP/1.0 200 OK\r\nContent-Type: x\r\n", HTTP_ERR_IO, false, ""},
        {"", HTTP_ERR_IO, false, ""},
        {"garbage\r\n\r\nbody", HTTP_ERR_IO, false, ""},
        {"HTTP/1.0 200 OK\r\nContent-Length: -3\r\n\r\nabc", HTTP_ERR_IO, false, ""},
        {"HTTP/1.0 200 OK\r\nContent-Length: 99999999999999999999\r\n\r\n", HTTP_ERR_NOMEM, false, ""},
        {"HTTP/1.0 200 OK\r\nX: " + std::string(9000, 'a') + "\r\n\r\nbody", HTTP_ERR_IO, false, ""},
    };
    for (const auto& c : cases) {
        Reply r = readReply(c.reply);
        EXPECT_EQ(r.rc, c.rc) << c.reply.substr(0, 60);
        EXPECT_EQ(r.hasBody, c.hasBody) << c.reply.substr(0, 60);
        EXPECT_EQ(r.body, c.body) << c.reply.substr(0, 60);
        if (c.hasBody) {
            EXPECT_EQ(r.length, static_cast<int>(c.body.size()));
        }
    }
}

TEST(HttpReadHead, HeaderOutputs)
{
    std::string headers;
    Reply r = readReply("HTTP/1.0 200 OK\r\nContent-Type:   text/plain  \r\nNo colon line\r\n"
                        "Set-Cookie: a=b; c\r\nContent-Length: 2\r\n\r\nok",
                        true, &headers);
    EXPECT_EQ(r.rc, 0);
    EXPECT_EQ(r.body, "ok");
    EXPECT_EQ(headers, "Content-Type=text/plain|Set-Cookie=a=b; c|");
}

TEST(HttpReadHead, ArgumentChecksAndTimeout)
{
    Pair p;
    char* body = nullptr;
    int len = 0;
    char** names = nullptr;
    EXPECT_EQ(httpReadHead(p.fd[0], &body, nullptr, 0, nullptr, nullptr, nullptr), HTTP_ERR_ARG);
    EXPECT_EQ(httpReadHead(p.fd[0], nullptr, nullptr, 0, &names, nullptr, nullptr), HTTP_ERR_ARG);
    sockSetTimeout(1);
    EXPECT_EQ(httpReadHead(p.fd[0], &body, &len, 0, nullptr, nullptr, nullptr), HTTP_ERR_TIMEOUT);
    ASSERT_EQ(write(p.fd[1], "HTTP/1.0 200 OK\r\nContent-Length: 9\r\n\r\nabc", 42), 42);
    EXPECT_EQ(httpReadHead(p.fd[0], &body, &len, 0, nullptr, nullptr, nullptr), HTTP_ERR_TIMEOUT);
    EXPECT_EQ(body, nullptr);
}

// A reply body must move 1 KiB per time-out (1 s): a trickle fails with
// the time-out even though every single wait is short; a slow but steady
// body that takes longer than the time-out in all goes through.
TEST(HttpReadHead, BodyMustKeepMoving)
{
    struct Case {
        size_t chunk;
        int stepMs;
        size_t total;
        int rc;
    } cases[] = {
        {300, 400, 3000, HTTP_ERR_TIMEOUT},
        {4096, 200, 32768, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.chunk);
        Pair p;
        std::string head =
            "HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(c.total) + "\r\n\r\n";
        ASSERT_EQ(write(p.fd[1], head.data(), head.size()), (ssize_t)head.size());
        std::atomic<bool> stop(false);
        std::thread peer([&] {
            std::string piece(c.chunk, 'b');
            for (size_t sent = 0; sent < c.total && !stop; sent += c.chunk) {
                std::this_thread::sleep_for(std::chrono::milliseconds(c.stepMs));
                if (send(p.fd[1], piece.data(), piece.size(), MSG_NOSIGNAL) <= 0)
                    break;
            }
        });
        sockSetTimeout(1);
        char* body = nullptr;
        int len = 0;
        auto t0 = std::chrono::steady_clock::now();
        int rc = httpReadHead(p.fd[0], &body, &len, 0, nullptr, nullptr, nullptr);
        double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        stop = true;
        shutdown(p.fd[0], SHUT_RDWR);
        peer.join();
        EXPECT_EQ(rc, c.rc);
        if (c.rc == 0)
            EXPECT_EQ(len, static_cast<int>(c.total));
        else
            EXPECT_LT(secs, 2.0);
        std::free(body);
    }
    sockSetTimeout(0);
}

TEST(HttpReadHead, ProxyReplyLeavesTunnelBytes)
{
    Pair p;
    const char reply[] = "HTTP/1.1 200 Connection established\r\n\r\n\x16\x03\x01";
    ASSERT_EQ(write(p.fd[1], reply, sizeof reply - 1), (ssize_t)(sizeof reply - 1));
    sockSetTimeout(2);
    EXPECT_EQ(httpReadHead(p.fd[0], nullptr, nullptr, 1, nullptr, nullptr, nullptr), 0);
    char buf[8];
    EXPECT_EQ(recv(p.fd[0], buf, sizeof buf, MSG_DONTWAIT), 3);
}

} // namespace
