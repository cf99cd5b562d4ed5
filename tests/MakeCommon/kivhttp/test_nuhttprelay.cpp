// Relaying a server reply as a CGI response on standard output.
#include "nuhttpreq.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

#include "nusock.h"

namespace {

// Relays reply from a socket pair; standard output goes to a file meanwhile.
int relay(const std::string& reply, std::string* out)
{
    int sv[2];
    if (socketpair(AF_UNIX, SOCK_STREAM, 0, sv) != 0)
        return -100;
    if (write(sv[1], reply.data(), reply.size()) != static_cast<ssize_t>(reply.size()))
        return -101;
    shutdown(sv[1], SHUT_WR);
    char path[] = "/tmp/relayXXXXXX";
    int file = mkstemp(path);
    fflush(stdout);
    int saved = dup(1);
    dup2(file, 1);
    int rc = httpRelayResponse(sv[0]);
    fflush(stdout);
    dup2(saved, 1);
    close(saved);
    close(file);
    close(sv[0]);
    close(sv[1]);
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    *out = s.str();
    unlink(path);
    return rc;
}

} // namespace

TEST(HttpRelay, CannedReplies)
{
    sockSetTimeout(5);
    const std::string longLine(10000, 'x');
    const std::string longType = "Content-Type: text/plain; x=" + std::string(1000, 'y') + "\r\n";
    struct {
        std::string reply;
        int rc;
        std::string cgi;
    } cases[] = {
        {"HTTP/1.0 200 OK\r\nServer: t\r\nContent-Type: text/csv; charset=Shift_JIS\r\n"
         "Content-Length: 99\r\n\r\nno,\x83\x65\x83\x58\x83\x67\r\n" + longLine + "\r\n\r\nend",
         0, "Content-Type: text/csv; charset=Shift_JIS\n\nno,\x83\x65\x83\x58\x83\x67\n" + longLine +
                "\n\nend"},
        {"HTTP/1.0 200 OK\r\n\r\nbody\r\n", 0, "Content-Type: text/html\n\nbody\n"},
        // Bare LF line ends: the type line still ends the header block.
        {"HTTP/1.1 200 OK\ncontent-type: text/plain\n\nx\n", 0, "content-type: text/plain\n\nx\n"},
        // A lone CR inside a line stays; one at the very end is dropped.
        {"HTTP/1.0 200 OK\r\n\r\na\rb\r", 0, "Content-Type: text/html\n\na\rb"},
        {"HTTP/1.0 404 Not Found\r\nContent-Type: text/html\r\n\r\nmissing", 404, ""},
        {"HTTP/1.0 302 Found\r\nLocation: /x\r\n\r\n", 302, ""},
        {"garbage\r\n\r\nbody", -1, ""},
        {"HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n", -1, ""},
        {"HTTP/1.0 200 OK\r\n" + longType + "\r\nbody", -1, ""},
    };
    for (const auto& c : cases) {
        std::string out;
        EXPECT_EQ(c.rc, relay(c.reply, &out)) << c.reply.substr(0, 40);
        EXPECT_EQ(c.cgi, out) << c.reply.substr(0, 40);
    }
    sockSetTimeout(0);
}
