// The list-page download through lighttpd, and saved by headless Chromium.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <regex>
#include <sys/socket.h>
#include <sys/time.h>

#include "listcsvfixture.h"
#include "rvrun.h"

namespace {

using namespace listcsv;

const char* const kQuery = "wid=all&tid=12&cid=1&cid=2&cid=3&inheader=1";

class ListCsvWeb : public ListCsvFixture {
protected:
    static void SetUpTestSuite()
    {
        openSuite("t_listcsvweb", RV_WEB_DIR "/root");
        port = std::atoi(rvtest::readFile(RV_WEB_DIR "/port").c_str());
        if (error.empty() && port <= 0)
            error = "no web server port";
    }

    // One HTTP/1.0 exchange with the server; the whole reply.
    static std::string exchange(const std::string& request)
    {
        int fd = socket(AF_INET, SOCK_STREAM, 0);
        if (fd < 0)
            return "";
        struct timeval tv = {30, 0};
        setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
        setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
        sockaddr_in addr = {};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(static_cast<uint16_t>(port));
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        std::string reply;
        if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
            write(fd, request.data(), request.size()) == static_cast<ssize_t>(request.size())) {
            char buf[65536];
            for (ssize_t n; (n = read(fd, buf, sizeof buf)) > 0;)
                reply.append(buf, static_cast<size_t>(n));
        }
        close(fd);
        return reply;
    }

    inline static int port = 0;
};

TEST_F(ListCsvWeb, GetAndLongPostAnswerTheDriversBytes)
{
    Cgi direct = run(kQuery, kSid2);
    ASSERT_EQ(0, direct.exitCode) << direct.err;
    const std::string common = "Cookie: rvsid=" + std::string(kSid2) + "\r\nUser-Agent: " + kFirefox + "\r\n";
    const std::string body = std::string(kQuery) + "&pad=" + std::string(3000, 'x');
    const std::string requests[] = {
        "GET /rvlistcsv.cgi?" + std::string(kQuery) + " HTTP/1.0\r\n" + common + "\r\n",
        "POST /rvlistcsv.cgi HTTP/1.0\r\n" + common +
            "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: " +
            std::to_string(body.size()) + "\r\n\r\n" + body,
    };
    for (const std::string& request : requests) {
        std::string reply = exchange(request);
        size_t end = reply.find("\r\n\r\n");
        ASSERT_NE(std::string::npos, end) << reply.substr(0, 200);
        std::string head = reply.substr(0, end + 2);
        EXPECT_EQ(0u, head.find("HTTP/1.0 200 OK\r\n")) << head;
        EXPECT_NE(std::string::npos, head.find("\r\nContent-Type: application/unknown; charset=Shift_JIS\r\n")) << head;
        EXPECT_NE(std::string::npos, head.find("\r\nContent-Disposition: attachment; filename=\"=?UTF-8?B?")) << head;
        EXPECT_TRUE(reply.substr(end + 4) == direct.body) << request.substr(0, 4);
    }
}

TEST_F(ListCsvWeb, ChromiumSavesTheFileUnderTheTableName)
{
    Cgi direct = run(kQuery, kSid2);
    ASSERT_EQ(0, direct.exitCode) << direct.err;
    rvtest::ScratchDir downloads;
    const std::string url = "http://127.0.0.1:" + std::to_string(port) + "/rvlistcsv.cgi?" + kQuery;
    rvtest::RunResult r = rvtest::runProgram(
        "/usr/bin/python3", {"python3", RV_BROWSER_SCRIPT, url, "rvsid", kSid2, downloads.path(), "60"}, {},
        downloads.path() + ".out", downloads.path() + ".err", 120);
    ASSERT_EQ(0, r.exitCode) << r.err;
    std::string name = r.out.substr(0, r.out.find('\n'));
    EXPECT_TRUE(std::regex_match(name, std::regex("試験_表___1_20[0-9]{12}\\.csv"))) << name;
    EXPECT_TRUE(rvtest::readFile(downloads.file(name)) == direct.body) << name;
    unlink((downloads.path() + ".out").c_str());
    unlink((downloads.path() + ".err").c_str());
}

}  // namespace
