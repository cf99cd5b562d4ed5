#include "nusock.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include "comfile.h"

namespace {

int g_timeout = 0;
int g_useCount = 0;

// How the waits are bounded: each by the time-out; all together by one
// deadline; or by the progress of the transfer.
enum { BOUND_EACH, BOUND_TOTAL, BOUND_PROGRESS };
const long long kProgressBytes = 1024;
int g_bound = BOUND_EACH;
long long g_deadline = 0;  // BOUND_TOTAL
long long g_start = 0;     // when the time-out was set
long long g_mark = 0;      // BOUND_PROGRESS: when the last KiB was complete
long long g_moved = 0;     // bytes since then

long long nowMs()
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<long long>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

long long timeoutMs()
{
    return static_cast<long long>(g_timeout) * 1000;
}

// Waits until fd is ready for events or the bound passes: 1 ready,
// -3 time-out, -2 failure. An interrupted wait goes on with the time left.
int waitFor(int fd, short events, const char* what)
{
    long long deadline = g_bound == BOUND_TOTAL      ? g_deadline
                         : g_bound == BOUND_PROGRESS ? g_mark + timeoutMs()
                                                     : nowMs() + timeoutMs();
    for (;;) {
        long long left = deadline - nowMs();
        if (left <= 0 && g_bound != BOUND_EACH)
            return SOCK_ERR_TIMEOUT;
        if (left < 0)
            left = 0;
        struct pollfd p;
        p.fd = fd;
        p.events = events;
        p.revents = 0;
        int r = poll(&p, 1, static_cast<int>(left));
        if (r > 0)
            return 1;
        if (r == 0)
            return SOCK_ERR_TIMEOUT;
        if (errno == EINTR)
            continue;
        comDebugLog("%s select error[%d]\n", what, errno);
        return SOCK_ERR_WAIT;
    }
}

void setIoTimeouts(int fd)
{
    if (g_timeout <= 0)
        return;
    struct timeval tv;
    tv.tv_sec = g_timeout;
    tv.tv_usec = 0;
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
}

int readCommon(int fd, char* buf, int size, bool line)
{
    if (fd < 0 || !buf || size - 1 < 1)
        return SOCK_ERR_ARG;
    int got = 0;
    while (got < size - 1) {
        int w = waitFor(fd, POLLIN, "read");
        if (w < 0) {
            buf[got] = '\0';
            return w;
        }
        int room = size - 1 - got;
        ssize_t n;
        if (line) {
            n = recv(fd, buf + got, room, MSG_PEEK | MSG_DONTWAIT);
            if (n > 0) {
                const void* lf = memchr(buf + got, '\n', n);
                int take = lf ? static_cast<int>(static_cast<const char*>(lf) - (buf + got)) + 1
                              : static_cast<int>(n);
                n = read(fd, buf + got, take);
                if (n > 0) {
                    got += static_cast<int>(n);
                    sockMoved(n);
                    if (lf)
                        break;
                    continue;
                }
            }
        } else {
            n = recv(fd, buf + got, room, MSG_DONTWAIT);
            if (n > 0) {
                got += static_cast<int>(n);
                sockMoved(n);
                continue;
            }
        }
        if (n == 0)
            break;
        if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)
            continue;
        int e = errno;
        comDebugLog("recv error[%d]\n", e);
        buf[got] = '\0';
        return (e == EAGAIN || e == EWOULDBLOCK) ? SOCK_ERR_TIMEOUT : SOCK_ERR_IO;
    }
    buf[got] = '\0';
    return got;
}

} // namespace

int sockSetTimeout(int seconds)
{
    if (g_timeout > 0)
        ++g_useCount;
    g_timeout = seconds < 0 ? 0 : seconds;
    g_bound = BOUND_EACH;
    g_start = nowMs();
    return 0;
}

// Without a time-out each wait only polls, as before.
void sockBoundTotal()
{
    if (g_timeout <= 0)
        return;
    g_bound = BOUND_TOTAL;
    g_deadline = nowMs() + timeoutMs();
}

void sockBoundSinceStart()
{
    if (g_timeout <= 0)
        return;
    g_bound = BOUND_TOTAL;
    g_deadline = g_start + timeoutMs();
}

void sockBoundProgress()
{
    if (g_timeout <= 0)
        return;
    g_bound = BOUND_PROGRESS;
    g_mark = nowMs();
    g_moved = 0;
}

void sockMoved(long long bytes)
{
    if (g_bound != BOUND_PROGRESS || bytes <= 0)
        return;
    g_moved += bytes;
    if (g_moved >= kProgressBytes) {
        g_mark = nowMs();
        g_moved = 0;
    }
}

int sockWait(int fd, short events)
{
    return waitFor(fd, events, "wait");
}

int sockGetTimeout()
{
    return g_timeout;
}

void sockTerm()
{
    g_useCount = 0;
}

int sockClose(int fd)
{
    shutdown(fd, SHUT_RDWR);
    return close(fd);
}

int sockErrno()
{
    return errno;
}

int sockRead(int fd, char* buf, int size)
{
    return readCommon(fd, buf, size, false);
}

int sockReadLine(int fd, char* buf, int size)
{
    return readCommon(fd, buf, size, true);
}

int sockWrite(int fd, const void* data, int length)
{
    if (length <= 0)
        return 0;
    if (fd < 0 || !data)
        return SOCK_ERR_ARG;
    const char* p = static_cast<const char*>(data);
    int done = 0;
    while (done < length) {
        int w = waitFor(fd, POLLOUT, "write");
        if (w < 0)
            return w;
        ssize_t n = send(fd, p + done, length - done, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 1) {
            if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK))
                continue;
            int e = errno;
            comDebugLog("send error[%d]\n", e);
            return (n < 0 && (e == EAGAIN || e == EWOULDBLOCK)) ? SOCK_ERR_TIMEOUT : SOCK_ERR_IO;
        }
        done += static_cast<int>(n);
        sockMoved(n);
    }
    return done;
}

int sockConnect(const char* host, int port)
{
    if (!host || port <= 0 || port > 65535)
        return SOCK_ERR_ARG;
    struct addrinfo hints;
    std::memset(&hints, 0, sizeof hints);
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    struct addrinfo* res = nullptr;
    int gr = getaddrinfo(host, nullptr, &hints, &res);
    if (gr != 0 || !res) {
        comDebugLog("gethostbyname error[%d]host[%s]\n", gr, host);
        if (res)
            freeaddrinfo(res);
        return SOCK_ERR_TIMEOUT;
    }
    struct sockaddr_in addr;
    std::memcpy(&addr, res->ai_addr, sizeof addr);
    freeaddrinfo(res);
    addr.sin_port = htons(static_cast<unsigned short>(port));

    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        comDebugLog("socket error[%d]\n", errno);
        return SOCK_ERR_IO;
    }
    int flags = fcntl(fd, F_GETFL, 0);
    bool bounded = g_timeout > 0;
    if (bounded)
        fcntl(fd, F_SETFL, flags | O_NONBLOCK);
    int r = connect(fd, reinterpret_cast<struct sockaddr*>(&addr), sizeof addr);
    if (r != 0 && bounded && errno == EINPROGRESS) {
        if (waitFor(fd, POLLOUT, "connect") == 1) {
            int err = 0;
            socklen_t len = sizeof err;
            if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) == 0 && err == 0)
                r = 0;
            else
                errno = err ? err : errno;
        } else {
            errno = ETIMEDOUT;
        }
    }
    if (r != 0) {
        comDebugLog("connect error[%d]\n", errno);
        close(fd);
        return SOCK_ERR_WAIT;
    }
    if (bounded)
        fcntl(fd, F_SETFL, flags);
    setIoTimeouts(fd);
    return fd;
}

int sockGetMacAddress(char* out)
{
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) {
        comDebugLog("socket error[%d]\n", errno);
        return -1;
    }
    struct ifreq req;
    std::memset(&req, 0, sizeof req);
    std::strncpy(req.ifr_name, "eth0", IFNAMSIZ - 1);
    if (ioctl(fd, SIOCGIFHWADDR, &req) < 0) {
        comDebugLog("ioctl error[%d]\n", errno);
        close(fd);
        return -2;
    }
    sockFormatMacAddress(reinterpret_cast<const unsigned char*>(req.ifr_hwaddr.sa_data), out);
    close(fd);
    return 0;
}

void sockFormatMacAddress(const unsigned char* b, char* out)
{
    std::snprintf(out, 13, "%02X%02X%02X%02X%02X%02X", b[0], b[1], b[2], b[3], b[4], b[5]);
}
