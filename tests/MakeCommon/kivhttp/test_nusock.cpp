#include <atomic>
#include <chrono>
#include <csignal>
#include <cstring>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include "nusock.h"

namespace {

struct Pair {
    int fd[2] = {-1, -1};
    Pair() { socketpair(AF_UNIX, SOCK_STREAM, 0, fd); }
    ~Pair()
    {
        for (int f : fd)
            if (f >= 0)
                close(f);
    }
    void send(const char* s) { ASSERT_EQ(write(fd[1], s, strlen(s)), (ssize_t)strlen(s)); }
    void closePeer()
    {
        close(fd[1]);
        fd[1] = -1;
    }
};

TEST(NuSock, ReadBufferSizes)
{
    Pair p;
    p.send("xyz");
    char buf[8];
    EXPECT_EQ(sockRead(p.fd[0], buf, 1), SOCK_ERR_ARG);
    sockSetTimeout(2);
    EXPECT_EQ(sockRead(p.fd[0], buf, 2), 1);
    EXPECT_STREQ(buf, "x");
    p.closePeer();
    EXPECT_EQ(sockRead(p.fd[0], buf, sizeof buf), 2);
    EXPECT_STREQ(buf, "yz");
    EXPECT_EQ(sockRead(p.fd[0], buf, sizeof buf), 0);
}

TEST(NuSock, ReadLineLeavesTheRestUnread)
{
    Pair p;
    p.send("ab\ncd");
    p.closePeer();
    sockSetTimeout(2);
    char buf[16];
    EXPECT_EQ(sockReadLine(p.fd[0], buf, sizeof buf), 3);
    EXPECT_STREQ(buf, "ab\n");
    EXPECT_EQ(sockRead(p.fd[0], buf, sizeof buf), 2);
    EXPECT_STREQ(buf, "cd");
}

TEST(NuSock, SilentPeerTimesOut)
{
    Pair p;
    sockSetTimeout(1);
    char buf[16];
    EXPECT_EQ(sockRead(p.fd[0], buf, sizeof buf), SOCK_ERR_TIMEOUT);
    // A peer that stops after the first bytes is bounded too.
    p.send("par");
    EXPECT_EQ(sockReadLine(p.fd[0], buf, sizeof buf), SOCK_ERR_TIMEOUT);
}

TEST(NuSock, WriteToClosedPeerFailsWithoutSignal)
{
    Pair p;
    p.closePeer();
    sockSetTimeout(1);
    std::string big(200000, 'x');
    int r = 0;
    for (int i = 0; i < 3 && r >= 0; ++i)
        r = sockWrite(p.fd[0], big.data(), static_cast<int>(big.size()));
    EXPECT_EQ(r, SOCK_ERR_IO);
    EXPECT_EQ(sockWrite(p.fd[0], "", 0), 0);
}

TEST(NuSock, ConnectFailures)
{
    sockSetTimeout(2);
    EXPECT_EQ(sockConnect(nullptr, 80), SOCK_ERR_ARG);
    EXPECT_EQ(sockConnect("127.0.0.1", 0), SOCK_ERR_ARG);
    EXPECT_EQ(sockConnect("127.0.0.1", 70000), SOCK_ERR_ARG);
    EXPECT_EQ(sockConnect("host.invalid", 80), SOCK_ERR_TIMEOUT);

    // A port nobody listens on: bind one, note it, close it.
    int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    socklen_t len = sizeof a;
    getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
    int port = ntohs(a.sin_port);
    close(s);
    EXPECT_EQ(sockConnect("127.0.0.1", port), SOCK_ERR_WAIT);
}

// The bounds of a transfer against peers that move data at various rates
// (time-out 1 s): a head must arrive whole within it, a body or an upload
// must move 1 KiB within it; a slow steady flow goes through.
TEST(NuSock, TransferBounds)
{
    enum Op { HEAD_LINE, BODY, UPLOAD };
    struct Case {
        Op op;
        size_t chunk;    // bytes the peer moves per step
        int stepMs;      // pause between steps
        size_t total;    // bytes the peer moves at most
        bool timesOut;
    } cases[] = {
        {HEAD_LINE, 1, 100, 40, true},         // a head line a byte at a time
        {HEAD_LINE, 200, 300, 1200, true},     // enough per second, never whole in time
        {BODY, 1, 100, 40, true},              // a body a byte at a time
        {BODY, 300, 400, 3000, true},          // under 1 KiB a second
        {BODY, 4096, 200, 32768, false},       // slow but steady
        {UPLOAD, 100, 100, 1 << 20, true},     // a peer that hardly reads
        {UPLOAD, 16384, 100, 1 << 18, false},  // a slow reader
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.op << " " << c.chunk << " " << c.stepMs);
        Pair p;
        int small = 16384;
        setsockopt(p.fd[0], SOL_SOCKET, SO_SNDBUF, &small, sizeof small);
        setsockopt(p.fd[1], SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
        std::atomic<bool> stop(false);
        std::thread peer([&] {
            std::string out(c.chunk, c.op == HEAD_LINE ? 'h' : 'b');
            std::vector<char> in(c.chunk);
            for (size_t moved = 0; moved < c.total && !stop; moved += c.chunk) {
                if (c.op == UPLOAD) {
                    if (recv(p.fd[1], in.data(), in.size(), 0) <= 0)
                        break;
                } else if (send(p.fd[1], out.data(), out.size(), MSG_NOSIGNAL) <= 0) {
                    break;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(c.stepMs));
            }
            shutdown(p.fd[1], SHUT_RDWR);
        });
        sockSetTimeout(1);
        auto t0 = std::chrono::steady_clock::now();
        int r;
        if (c.op == UPLOAD) {
            sockBoundProgress();
            std::string big(c.total, 'u');
            r = sockWrite(p.fd[0], big.data(), static_cast<int>(big.size()));
        } else {
            std::vector<char> buf(c.total + 16);
            if (c.op == HEAD_LINE) {
                sockBoundTotal();
                r = sockReadLine(p.fd[0], buf.data(), static_cast<int>(buf.size()));
            } else {
                sockBoundProgress();
                r = sockRead(p.fd[0], buf.data(), static_cast<int>(buf.size()));
            }
        }
        double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        stop = true;
        shutdown(p.fd[0], SHUT_RDWR);
        peer.join();
        if (c.timesOut) {
            EXPECT_EQ(r, SOCK_ERR_TIMEOUT);
            EXPECT_LT(secs, 2.0);
        } else {
            EXPECT_EQ(r, static_cast<int>(c.total));
        }
    }
    sockSetTimeout(0);
}

TEST(NuSock, FormatMacAddress)
{
    const unsigned char b[6] = {0x00, 0x1a, 0x2B, 0xff, 0x09, 0x10};
    char out[13];
    sockFormatMacAddress(b, out);
    EXPECT_STREQ(out, "001A2BFF0910");
}

} // namespace
