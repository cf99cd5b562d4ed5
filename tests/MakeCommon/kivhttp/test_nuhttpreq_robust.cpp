// Reply reader against damaged server replies: status line, head lines,
// Content-Length and body, from memory and through a socket.
#include "nuhttpreq.h"
#include "rvmutate.h"

#include "comcgi.h"
#include "nusock.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

const int kNoStatus = -77;

// Reply bytes served in pieces of varying size, as the socket reader would.
class MemInput : public HttpInput {
public:
    MemInput(const std::string& data, unsigned seed) : data(data), rng(seed) {}
    int readLine(char* buf, int size) override { return take(buf, size, true); }
    int read(char* buf, int size) override { return take(buf, size, false); }

private:
    int take(char* buf, int size, bool line)
    {
        EXPECT_GE(size, 2);
        int got = 0;
        while (got < size - 1 && pos < data.size()) {
            size_t n = 1 + rng() % 700;
            n = std::min(n, data.size() - pos);
            n = std::min(n, static_cast<size_t>(size - 1 - got));
            if (line) {
                const void* lf = memchr(data.data() + pos, '\n', n);
                if (lf)
                    n = static_cast<size_t>(static_cast<const char*>(lf) - (data.data() + pos)) + 1;
            }
            memcpy(buf + got, data.data() + pos, n);
            got += static_cast<int>(n);
            pos += n;
            if (line && buf[got - 1] == '\n')
                break;
        }
        buf[got] = '\0';
        return got;
    }
    std::string data;
    size_t pos = 0;
    std::mt19937 rng;
};

const std::vector<std::string>& samples()
{
    static const std::vector<std::string> s = {
        "HTTP/1.0 200 OK\r\nContent-Type: application/json\r\nContent-Length: 13\r\n"
        "X-A: b\r\n\r\n{\"result\":0}\n",
        "HTTP/1.1 200 OK\r\nSet-Cookie: qelSid=abc; path=/\r\n\r\n{\"result\":0,\"list\":[1,2]}",
        "HTTP/1.0 401 Unauthorized\r\nContent-Length: 5\r\n\r\nno!!\n",
        "HTTP/1.0 503 Busy\r\nRetry-After: 5\r\n\r\n",
        "HTTP/1.0 200 OK\nContent-Length: 4\n\nabcd",
        "HTTP/1.0 302 Found\r\nLocation: /x\r\n\r\n",
    };
    return s;
}

std::string mutate(std::mt19937& rng, const std::string& base)
{
    static const char* const kPieces[] = {
        "\0", "\r", "\n", "\r\n", "\r\n\r\n", ":", " ", "HTTP/", "HTTP/1.0 ", "%", "\"", "\\",
        "\xff", "Content-Length: ", "Content-Length: 99999999999999999999\r\n",
        "Content-Length: 268435456\r\n", "Content-Length: 268435457\r\n",
        "Content-Length: -5\r\n", "Content-Length: 0\r\n", "content-length:7 \r\n",
        "Content-Length: 1x\r\n", "HTTP/1.0 99999999999 X\r\n", "HTTP/1.0 -1\r\n",
        "HTTP/2147483647.2147483647 200\r\n"};
    static const rvtest::Mutation kMutation = {kPieces, sizeof kPieces / sizeof kPieces[0], 4, 8,
                                               "a:\r\n", 9000};
    return rvtest::mutate(rng, base, kMutation);
}

// Runs the reader over one reply with every output asked for and checks the
// result set, the body bounds and its terminator; frees everything.
void check(const std::string& reply, unsigned seed, int crFlag)
{
    MemInput in(reply, seed);
    char* body = nullptr;
    int length = -5;
    char** names = nullptr;
    char** values = nullptr;
    int count = -5;
    int r = httpReadReply(in, &body, &length, crFlag, &names, &values, &count, kNoStatus);
    EXPECT_TRUE(r == 0 || r == HTTP_ERR_IO || r == HTTP_ERR_NOMEM || r == kNoStatus ||
                (r > 0 && r < 1000 && r != 200))
        << r;
    ASSERT_GE(count, 0);
    ASSERT_TRUE(count == 0 || (names && values));
    for (int i = 0; i < count; ++i) {
        ASSERT_NE(nullptr, names[i]);
        ASSERT_NE(nullptr, values[i]);
        EXPECT_EQ(nullptr, strchr(names[i], ':'));
    }
    if (body) {
        EXPECT_TRUE(r == 0 || (r > 0 && r <= 403)) << r;
        ASSERT_GE(length, 0);
        EXPECT_LE(static_cast<size_t>(length), reply.size());
        EXPECT_EQ('\0', body[length]);
    } else {
        EXPECT_EQ(0, length);
    }
    comCgiFreeRequest(count, names, values, nullptr, nullptr);
    free(body);
}

}  // namespace

TEST(HttpReplyRobust, EveryTruncationOfTheSamples)
{
    for (const std::string& s : samples()) {
        for (size_t cut = 0; cut <= s.size(); ++cut) {
            SCOPED_TRACE(::testing::PrintToString(s.substr(0, cut)));
            check(s.substr(0, cut), static_cast<unsigned>(cut), 0);
            check(s.substr(0, cut), static_cast<unsigned>(cut), 1);
            if (HasFailure())
                return;
        }
    }
}

TEST(HttpReplyRobust, MutatedReplies)
{
    std::mt19937 rng(7177);
    for (int i = 0; i < 2500; ++i) {
        std::string reply = mutate(rng, samples()[rng() % samples().size()]);
        SCOPED_TRACE(::testing::PrintToString(reply.substr(0, 300)));
        check(reply, static_cast<unsigned>(i), static_cast<int>(i & 1));
        if (HasFailure())
            return;
    }
}

TEST(HttpReplyRobust, LimitsOfLinesHeadAndLength)
{
    struct Case {
        std::string reply;
        int expected;
        const char* body = nullptr;  // checked when given
    };
    const std::string ok = "HTTP/1.0 200 OK\r\n";
    const std::vector<Case> cases = {
        {"", HTTP_ERR_IO},
        {"\r\n", kNoStatus},
        {ok, HTTP_ERR_IO},
        {ok + "X: " + std::string(HTTP_LINE_SIZE - 6, 'v') + "\r\n\r\n", 0},
        {ok + "X: " + std::string(HTTP_LINE_SIZE - 5, 'v') + "\r\n\r\n", HTTP_ERR_IO},
        {ok + std::string(HTTP_LINE_SIZE * 3, 'v'), HTTP_ERR_IO},
        {ok + [] {
             std::string h;
             for (int i = 0; i < 2000; ++i)
                 h += "X-Padding-Header: 0123456789012345678901234567890\r\n";
             return h;
         }() + "\r\n",
         HTTP_ERR_IO},
        {ok + "Content-Length: 99999999999999999999999\r\n\r\nx", HTTP_ERR_NOMEM},
        {ok + "Content-Length: 268435457\r\n\r\nx", HTTP_ERR_NOMEM},
        {ok + "Content-Length: -1\r\n\r\nx", HTTP_ERR_IO},
        {ok + "Content-Length: 12abc\r\n\r\nx", HTTP_ERR_IO},
        {ok + "Content-Length: 10\r\n\r\nshort", HTTP_ERR_IO},
        {ok + "Content-Length: 3\r\n\r\nlonger body", 0},
        {ok + "Content-Length: 0\r\n\r\nall of it", 0, ""},
        {ok + "content-length:  3\r\n\r\nabcdef", 0, "abc"},
        {ok + "\r\nall of it", 0, "all of it"},
        {std::string("HTTP/1.0 2\0 OK\r\n\r\n", 18), kNoStatus},
        {"HTTP/1.0 000 X\r\n\r\npage", kNoStatus},
        {"HTTP/1.0 0 X\r\nContent-Length: 4\r\n\r\npage", kNoStatus},
        {"HTTP/1.0 99 X\r\n\r\n", kNoStatus},
        {"HTTP/1.0 600 X\r\n\r\n", kNoStatus},
        {"HTTP/1.0 000 X\r\nHTTP/1.0 200 OK\r\n\r\n", kNoStatus},
        {"HTTP/1.0 100 X\r\n\r\n", 100},
        {"HTTP/1.0 599 X\r\n\r\n", 599},
        {ok + "Transfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n0\r\n\r\n", HTTP_ERR_IO},
        {ok + "transfer-encoding:gzip, Chunked\r\nContent-Length: 5\r\n\r\nhello", HTTP_ERR_IO},
        {ok + "Transfer-Encoding: identity\r\n\r\nhello", 0, "hello"},
        {ok + "Transfer-Encoding:  Identity \t\r\n\r\nhello", 0, "hello"},
        {ok + "Transfer-Encoding: identity, chunked\r\n\r\n5\r\nhello\r\n0\r\n\r\n", HTTP_ERR_IO},
        {ok + "Transfer-Encoding: identityfoo\r\n\r\nhello", HTTP_ERR_IO},
        {ok + "Transfer-Encoding: identity\r\nTransfer-Encoding: chunked\r\n\r\nhello",
         HTTP_ERR_IO},
        {"HTTP/1.0 404 X\r\nTransfer-Encoding: chunked\r\n\r\n", 404},
        {"HTTP/1.0 1000 X\r\n\r\n", kNoStatus},
        {"HTTP/1.0 -200 X\r\n\r\n", kNoStatus},
        {"HTTP/x 200\r\n\r\n", kNoStatus},
        {"HTTP/1.0 404 Not Found\r\nContent-Length: 999999\r\n\r\n", 404},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.reply.substr(0, 120)));
        MemInput in(c.reply, 1);
        char* body = nullptr;
        int length = 0;
        char** names = nullptr;
        char** values = nullptr;
        int count = 0;
        EXPECT_EQ(c.expected, httpReadReply(in, &body, &length, 0, &names, &values, &count,
                                            kNoStatus));
        if (c.body) {
            EXPECT_EQ(c.body, std::string(body ? body : "<none>", body ? length : 6));
        }
        comCgiFreeRequest(count, names, values, nullptr, nullptr);
        free(body);
        check(c.reply, 3, 1);
    }
}

// The socket reader under the same replies: one writer thread, the reader
// on the other end of a connected pair.
TEST(HttpReplyRobust, SocketReplies)
{
    sockSetTimeout(5);
    std::mt19937 rng(99);
    std::vector<std::string> replies = samples();
    for (int i = 0; i < 120; ++i)
        replies.push_back(mutate(rng, samples()[rng() % samples().size()]));
    replies.push_back("HTTP/1.0 200 OK\r\n\r\n" + std::string(300000, 'b'));
    for (const std::string& reply : replies) {
        SCOPED_TRACE(::testing::PrintToString(reply.substr(0, 200)));
        int sv[2];
        ASSERT_EQ(0, socketpair(AF_UNIX, SOCK_STREAM, 0, sv));
        std::thread writer([&] {
            size_t done = 0;
            while (done < reply.size()) {
                ssize_t w = send(sv[1], reply.data() + done, reply.size() - done, MSG_NOSIGNAL);
                if (w <= 0)
                    break;
                done += static_cast<size_t>(w);
            }
            shutdown(sv[1], SHUT_WR);
        });
        char* body = nullptr;
        int length = 0;
        char** names = nullptr;
        char** values = nullptr;
        int count = 0;
        int r = httpReadHead(sv[0], &body, &length, 0, &names, &values, &count);
        // The reader may stop early; the writer then fails on the closed end.
        close(sv[0]);
        writer.join();
        close(sv[1]);
        EXPECT_TRUE(r == 0 || r == HTTP_ERR_IO || r == HTTP_ERR_NOMEM ||
                    (r > 0 && r < 1000 && r != 200))
            << r;
        if (body) {
            EXPECT_LE(static_cast<size_t>(length), reply.size());
            EXPECT_EQ('\0', body[length]);
        }
        comCgiFreeRequest(count, names, values, nullptr, nullptr);
        free(body);
        if (HasFailure())
            break;
    }
    sockSetTimeout(0);
}
