// Upload benchmark helper, 127.0.0.1 only.
//
//   uploadsink serve PORTFILE LOGFILE [LIFETIME_SECONDS]
//     A fast stand-in for the business server: answers every command of an
//     import run, moves each request body to its Content-Length into
//     /dev/null. For each request it appends one line to LOGFILE, before the reply:
//       <command> <Content-Length> <body bytes received> <microseconds>
//     where the time runs from the accepted connection to the last body byte.
//
//   uploadsink blast PORT URLPATH FIELD_PATH FILE
//     A client that does almost nothing: one multipart upload of FILE with
//     the fields of an import upload, head and fields in one write, the file
//     through sendfile, then the reply is read and dropped.
//
// Build: g++ -O2 -pthread -o uploadsink uploadsink.cpp
#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <mutex>
#include <netinet/in.h>
#include <string>
#include <strings.h>
#include <sys/sendfile.h>
#include <sys/uio.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

std::mutex g_logLock;
FILE* g_log = nullptr;
int g_null = -1;

long long nowUs()
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<long long>(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
}

bool sendAll(int fd, const char* p, size_t n)
{
    while (n > 0) {
        ssize_t w = send(fd, p, n, MSG_NOSIGNAL);
        if (w < 0 && errno == EINTR)
            continue;
        if (w <= 0)
            return false;
        p += w;
        n -= static_cast<size_t>(w);
    }
    return true;
}

std::string commandOf(const std::string& head)
{
    size_t sp = head.find(' ');
    size_t sp2 = sp == std::string::npos ? sp : head.find(' ', sp + 1);
    if (sp2 == std::string::npos)
        return "";
    std::string target = head.substr(sp + 1, sp2 - sp - 1);
    while (!target.empty() && target.back() == '/')
        target.pop_back();
    size_t slash = target.rfind('/');
    return slash == std::string::npos ? target : target.substr(slash + 1);
}

long long contentLength(const std::string& head)
{
    size_t pos = 0;
    while ((pos = head.find("\r\n", pos)) != std::string::npos) {
        pos += 2;
        if (strncasecmp(head.c_str() + pos, "Content-Length:", 15) == 0)
            return std::atoll(head.c_str() + pos + 15);
    }
    return 0;
}

std::string replyBody(const std::string& cmd)
{
    if (cmd == "login")
        return R"({"status":"ok","rssid":"s-1","STOKEN":"tok9"})";
    if (cmd == "cdbcmdimportapp")
        return R"({"status":"ok","app_id":"A1"})";
    if (cmd == "cdbcmdimportprocexisted")
        return R"({"status":"ok","execflg":"0","import_ok_data":"1","import_warning_data":"0",)"
               R"("import_ng_data":"0","self_message":""})";
    if (cmd == "cdbimporterrordownload")
        return "result text\r\n";
    if (cmd == "cdbimporterrorlistdownload")
        return "line,error\r\n";
    return R"({"status":"ok"})";
}

void handle(int fd, long long accepted)
{
    struct timeval tv = {20, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    static const size_t kBuf = 1024 * 1024;
    char* buf = static_cast<char*>(std::malloc(kBuf));
    std::string head;
    long long body = 0;
    size_t end = std::string::npos;
    while (buf && end == std::string::npos && head.size() < 65536) {
        ssize_t n = recv(fd, buf, kBuf, 0);
        if (n <= 0)
            break;
        head.append(buf, static_cast<size_t>(n));
        end = head.find("\r\n\r\n");
    }
    if (end != std::string::npos) {
        body = static_cast<long long>(head.size() - end - 4);
        head.resize(end + 2);
        long long want = contentLength(head);
        // The body goes from the socket through a pipe to /dev/null without
        // being copied to this process; recv() when splice is not possible.
        int pipeFd[2] = {-1, -1};
        bool spliced = g_null >= 0 && pipe(pipeFd) == 0;
        if (spliced)
            fcntl(pipeFd[1], F_SETPIPE_SZ, static_cast<int>(kBuf));
        while (body < want) {
            ssize_t n;
            if (spliced) {
                size_t ask = static_cast<size_t>(want - body);
                if (ask > kBuf)
                    ask = kBuf;
                n = splice(fd, nullptr, pipeFd[1], nullptr, ask, SPLICE_F_MOVE);
                for (ssize_t left = n; left > 0;) {
                    ssize_t m = splice(pipeFd[0], nullptr, g_null, nullptr,
                                       static_cast<size_t>(left), SPLICE_F_MOVE);
                    if (m <= 0) {
                        n = -1;
                        break;
                    }
                    left -= m;
                }
            } else {
                n = recv(fd, buf, kBuf, 0);
            }
            if (n <= 0)
                break;
            body += n;
        }
        if (spliced) {
            close(pipeFd[0]);
            close(pipeFd[1]);
        }
        long long took = nowUs() - accepted;
        std::string cmd = commandOf(head);
        {
            std::lock_guard<std::mutex> g(g_logLock);
            std::fprintf(g_log, "%s %lld %lld %lld\n", cmd.c_str(), want, body, took);
            std::fflush(g_log);
        }
        std::string b = replyBody(cmd);
        std::string reply = "HTTP/1.0 200 OK\r\nContent-Type: application/json\r\nContent-Length: "
                            + std::to_string(b.size()) + "\r\n\r\n" + b;
        sendAll(fd, reply.data(), reply.size());
    }
    std::free(buf);
    close(fd);
}

int serve(const char* portFile, const char* logFile, int lifetime)
{
    g_log = std::fopen(logFile, "a");
    if (!g_log)
        return 1;
    g_null = open("/dev/null", O_WRONLY | O_CLOEXEC);
    alarm(static_cast<unsigned>(lifetime));
    int ls = socket(AF_INET, SOCK_STREAM, 0);
    int one = 1;
    setsockopt(ls, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    // A large receive window from the first byte on (connections inherit it).
    int rcv = 4 << 20;
    setsockopt(ls, SOL_SOCKET, SO_RCVBUF, &rcv, sizeof rcv);
    struct sockaddr_in a;
    std::memset(&a, 0, sizeof a);
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(ls, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(ls, 64) != 0)
        return 1;
    socklen_t len = sizeof a;
    getsockname(ls, reinterpret_cast<sockaddr*>(&a), &len);
    std::string tmp = std::string(portFile) + ".tmp";
    FILE* pf = std::fopen(tmp.c_str(), "w");
    if (!pf)
        return 1;
    std::fprintf(pf, "%d\n", ntohs(a.sin_port));
    std::fclose(pf);
    std::rename(tmp.c_str(), portFile);
    for (;;) {
        int fd = accept(ls, nullptr, nullptr);
        if (fd < 0) {
            if (errno == EINTR)
                continue;
            return 1;
        }
        std::thread(handle, fd, nowUs()).detach();
    }
}

int blast(int port, const char* path, const char* fieldPath, const char* file)
{
    int in = open(file, O_RDONLY);
    struct stat st;
    if (in < 0 || fstat(in, &st) != 0)
        return 1;
    const char* slash = std::strrchr(file, '/');
    std::string name = slash ? slash + 1 : file;
    std::string p = "----------------------------20261209000000" + std::to_string(getpid());
    std::string d = "--" + p;
    std::string pre;
    const char* fields[][2] = {{"cmd", "cdbasetcmdimportfileupload"}, {"tok9", "1"},
                               {"file_path", fieldPath}};
    for (const auto& f : fields)
        pre += d + "\r\nContent-Disposition: form-data; name=\"" + f[0] + "\"\r\n\r\n" + f[1] + "\r\n";
    pre += d + "\r\nContent-Disposition: form-data; name=\"attach\"; filename=\"" + name
           + "\"\r\nContent-Type: application/unknown\r\n\r\n";
    std::string post = "\r\n" + d + "--\r\n";
    long long length = static_cast<long long>(pre.size() + post.size()) + st.st_size;
    std::string head = std::string("POST ") + path + " HTTP/1.0\r\nContent-Length: "
                       + std::to_string(length) + "\r\nAuthorization: Basic YnU6YnA=\r\n"
                       + "Cookie: qelSid=s%2D1;\r\nContent-Type: multipart/form-data; boundary=" + p
                       + "\r\nHost: 127.0.0.1:" + std::to_string(port) + "\r\n\r\n" + pre;
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    struct sockaddr_in a;
    std::memset(&a, 0, sizeof a);
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<unsigned short>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0)
        return 1;
    if (!sendAll(fd, head.data(), head.size()))
        return 1;
    off_t off = 0;
    while (off < st.st_size) {
        ssize_t n = sendfile(fd, in, &off, static_cast<size_t>(st.st_size - off));
        if (n <= 0 && errno != EINTR)
            return 1;
    }
    if (!sendAll(fd, post.data(), post.size()))
        return 1;
    char buf[4096];
    while (recv(fd, buf, sizeof buf, 0) > 0) {
    }
    close(fd);
    close(in);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc >= 4 && std::strcmp(argv[1], "serve") == 0)
        return serve(argv[2], argv[3], argc > 4 ? std::atoi(argv[4]) : 600);
    if (argc == 6 && std::strcmp(argv[1], "blast") == 0)
        return blast(std::atoi(argv[2]), argv[3], argv[4], argv[5]);
    std::fprintf(stderr, "usage: uploadsink serve PORTFILE LOGFILE [LIFETIME] | "
                         "uploadsink blast PORT URLPATH FIELD_PATH FILE\n");
    return 2;
}
