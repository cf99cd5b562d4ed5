#include <csignal>
#include <cstring>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

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

TEST(NuSock, FormatMacAddress)
{
    const unsigned char b[6] = {0x00, 0x1a, 0x2B, 0xff, 0x09, 0x10};
    char out[13];
    sockFormatMacAddress(b, out);
    EXPECT_STREQ(out, "001A2BFF0910");
}

} // namespace
