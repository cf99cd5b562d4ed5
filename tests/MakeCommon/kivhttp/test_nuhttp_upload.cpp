// Large multipart uploads: the file part arrives byte for byte over plain
// sockets and TLS whatever its size relative to the 4096-byte file blocks and
// the gathered writes, the writer sees few large writes, and a peer that
// stops reading ends the upload at the write time limit.
#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <cstdlib>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "comcgi.h"
#include "fakeserver.h"
#include "nuhttp.h"
#include "nuhttpreq.h"
#include "rvtlstest.h"

namespace {

using rvtest::FakeServer;

// File sizes around the block and the gather buffer, and several buffers.
const long kSizes[] = {0,     1,     4095,  4096,  4097,  65535, 65536,
                       65537, 69632, 131072, 3 * 65536 + 12345, 1048576 + 7};

// Bytes of every value, NUL, CR and LF included, without a period that
// lines up with 4096 or 65536.
std::string patterned(long size, unsigned seed)
{
    std::string s(static_cast<size_t>(size), '\0');
    unsigned x = seed * 2654435761u + 1;
    for (auto& c : s) {
        x = x * 1103515245u + 12345u;
        c = static_cast<char>(x >> 23);
    }
    return s;
}

// A table directory with a Japanese (EUC-JP) attachment name deep below it.
std::string attachmentPath(const rvtest::ScratchDir& dir, long size)
{
    std::string sub = dir.path();
    for (const char* d : {"/tbl00001", "/2", "/1234", "/7"}) {
        sub += d;
        mkdir(sub.c_str(), 0700);
    }
    return sub + "/\xc5\xba\xc9\xd5" + std::to_string(size) + ".bin";
}

std::string expectedBody(const std::string& boundaryParam, const std::string& fileName,
                         const std::string& bytes)
{
    std::string d = "--" + boundaryParam;
    return d + "\r\nContent-Disposition: form-data; name=\"cmd\"\r\n\r\ncdbasetcmdimportfileupload\r\n"
           + d + "\r\nContent-Disposition: form-data; name=\"tok9\"\r\n\r\n1\r\n" + d
           + "\r\nContent-Disposition: form-data; name=\"file_path\"\r\n\r\n/2/1234/7/" + fileName
           + "\r\n" + d + "\r\nContent-Disposition: form-data; name=\"attach\"; filename=\"" + fileName
           + "\"\r\nContent-Type: application/unknown\r\n\r\n" + bytes + "\r\n" + d + "--\r\n";
}

// Checks one recorded request: Content-Length equals the body, and the body
// is the multipart layout around exactly the file's bytes.
void checkRequest(const std::string& req, const std::string& fileName, const std::string& bytes)
{
    size_t end = req.find("\r\n\r\n");
    ASSERT_NE(end, std::string::npos);
    std::string head = req.substr(0, end + 4), body = req.substr(end + 4);
    EXPECT_NE(head.find("Content-Length: " + std::to_string(body.size()) + "\r\n"),
              std::string::npos);
    size_t b = head.find("boundary=");
    ASSERT_NE(b, std::string::npos);
    std::string p = head.substr(b + 9, head.find("\r\n", b) - b - 9);
    std::string want = expectedBody(p, fileName, bytes);
    ASSERT_EQ(body.size(), want.size());
    EXPECT_TRUE(body == want) << "first difference at "
                              << std::mismatch(body.begin(), body.end(), want.begin()).first
                                     - body.begin();
}

const char kForm[] = "cmd=cdbasetcmdimportfileupload&tok9=1&file_path=%2F2%2F1234%2F7%2F";

std::vector<size_t> g_writes;
std::string g_out;

int recordingWriter(int, const void* data, int length)
{
    g_writes.push_back(static_cast<size_t>(length));
    g_out.append(static_cast<const char*>(data), static_cast<size_t>(length));
    return length;
}

TEST(UploadGather, BodyExactInFewLargeWrites)
{
    rvtest::ScratchDir dir;
    for (long size : kSizes) {
        std::string path = attachmentPath(dir, size);
        std::string bytes = patterned(size, static_cast<unsigned>(size));
        ASSERT_TRUE(rvtest::writeFile(path, bytes));
        std::string name = path.substr(path.rfind('/') + 1);
        NUAttachFileList files;
        ASSERT_EQ(files.addFile("attach", path.c_str(), nullptr, nullptr), 0);
        g_writes.clear();
        g_out.clear();
        std::string form = kForm + name;
        ASSERT_EQ(httpWrite(3, "http://h/app/mobrr.cgi/cdbasetcmdimportfileupload/", form.c_str(),
                            "bu", "bp", nullptr, nullptr, "h", 80, &files, 0, nullptr, nullptr, 0,
                            nullptr, recordingWriter),
                  0)
            << size;
        checkRequest(g_out, name, bytes);
        // Every write but the last is nearly a whole buffer.
        ASSERT_FALSE(g_writes.empty());
        for (size_t i = 0; i < g_writes.size(); ++i) {
            EXPECT_LE(g_writes[i], static_cast<size_t>(HTTP_GATHER_SIZE)) << size;
            if (i + 1 < g_writes.size()) {
                EXPECT_GT(g_writes[i], static_cast<size_t>(HTTP_GATHER_SIZE - 4096)) << size;
            }
        }
        EXPECT_LE(g_writes.size(), g_out.size() / (HTTP_GATHER_SIZE - 4096) + 1) << size;
    }
}

TEST(UploadGather, FileShorterThanMeasuredFailsAfterTheBytesRead)
{
    rvtest::ScratchDir dir;
    std::string path = attachmentPath(dir, 200000);
    std::string bytes = patterned(200000, 3);
    ASSERT_TRUE(rvtest::writeFile(path, bytes));
    NUAttachFileList files;
    ASSERT_EQ(files.addFile("attach", path.c_str(), nullptr, nullptr), 0);
    char** names = nullptr;
    char** values = nullptr;
    int count = 0;
    char lengthLine[HTTP_LENGTH_LINE_SIZE];
    char boundary[HTTP_BOUNDARY_SIZE];
    ASSERT_EQ(httpGetMultipartLength("cmd=x", &files, &names, &values, &count, lengthLine,
                                     boundary),
              0);
    ASSERT_EQ(truncate(path.c_str(), 70000), 0);
    g_writes.clear();
    g_out.clear();
    EXPECT_EQ(httpWriteMultipart(3, names, values, count, &files, boundary, recordingWriter),
              HTTP_ERR_PART);
    // What was read went out before the failure; nothing else did.
    size_t start = g_out.find("application/unknown\r\n\r\n");
    ASSERT_NE(start, std::string::npos);
    EXPECT_EQ(g_out.substr(start + 23), bytes.substr(0, 70000));
    comCgiFreeRequest(count, names, values, nullptr, nullptr);
}

// One TLS setup for the file: a test CA and a certificate for localhost.
class UploadTls : public rvtest::TlsCertsTest {};

int upload(const std::string& url, const std::string& path, int timeout)
{
    NuHttp h;
    std::string name = path.substr(path.rfind('/') + 1);
    if (h.AddFile("attach", path.c_str(), nullptr, nullptr) != 0)
        return -1000;
    std::string form = kForm + name;
    const char* names[] = {"Cookie"};
    const char* values[] = {"qelSid=s%2D1;"};
    char* out = nullptr;
    int len = 0;
    int rc = h.Request(url.c_str(), form.c_str(), timeout, &out, &len, nullptr, nullptr, nullptr,
                       nullptr, 0, "bu", "bp", nullptr, nullptr, 1, names, values, nullptr, 1);
    std::free(out);
    return rc;
}

TEST_F(UploadTls, BodyArrivesExactOverPlainAndTls)
{
    rvtest::ScratchDir files;
    for (bool tls : {false, true}) {
        FakeServer srv("", tls ? &certs : nullptr);
        ASSERT_TRUE(srv.ok());
        std::string url = std::string(tls ? "https://localhost:" : "http://127.0.0.1:")
                          + std::to_string(srv.port())
                          + "/app/mobrr.cgi/cdbasetcmdimportfileupload/";
        std::vector<std::pair<std::string, std::string>> sent;
        for (long size : kSizes) {
            std::string path = attachmentPath(files, size);
            std::string bytes = patterned(size, static_cast<unsigned>(size) + 7);
            ASSERT_TRUE(rvtest::writeFile(path, bytes));
            EXPECT_EQ(upload(url, path, 10), 0) << size << (tls ? " tls" : " plain");
            sent.emplace_back(path.substr(path.rfind('/') + 1), bytes);
        }
        auto reqs = srv.requests();
        ASSERT_EQ(reqs.size(), sent.size());
        for (size_t i = 0; i < sent.size(); ++i) {
            SCOPED_TRACE(std::to_string(kSizes[i]) + (tls ? " tls" : " plain"));
            checkRequest(reqs[i], sent[i].first, sent[i].second);
        }
    }
}

// Takes connections and never reads from them: a plain listener that does
// not accept, or a TLS server that reads nothing after the handshake. Both
// let go when destroyed, or after 30 s.
class StalledPeer {
public:
    explicit StalledPeer(SSL_CTX* tlsCtx) : ctx(tlsCtx)
    {
        ls = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        if (bind(ls, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(ls, 4) != 0
            || getsockname(ls, reinterpret_cast<sockaddr*>(&a), &len) != 0 || pipe(release) != 0)
            return;
        port = ntohs(a.sin_port);
        if (ctx)
            th = std::thread([this] { serveTls(); });
    }
    ~StalledPeer()
    {
        if (release[1] >= 0)
            (void)!write(release[1], "x", 1);
        if (th.joinable())
            th.join();
        for (int f : {ls, release[0], release[1]})
            if (f >= 0)
                close(f);
    }
    int port = 0;

private:
    void serveTls()
    {
        pollfd p{ls, POLLIN, 0};
        if (poll(&p, 1, 30000) != 1)
            return;
        int fd = accept(ls, nullptr, nullptr);
        if (fd < 0)
            return;
        SSL* ssl = SSL_new(ctx);
        SSL_set_fd(ssl, fd);
        if (SSL_accept(ssl) == 1) {
            pollfd r{release[0], POLLIN, 0};
            poll(&r, 1, 30000);
        }
        SSL_free(ssl);
        close(fd);
    }
    SSL_CTX* ctx;
    int ls = -1;
    int release[2] = {-1, -1};
    std::thread th;
};

TEST_F(UploadTls, StalledPeerEndsTheUploadAtTheWriteTimeLimit)
{
    SSL_CTX* ctx = SSL_CTX_new(TLS_server_method());
    ASSERT_NE(ctx, nullptr);
    ASSERT_EQ(SSL_CTX_use_certificate_file(ctx, certs.certFile.c_str(), SSL_FILETYPE_PEM), 1);
    ASSERT_EQ(SSL_CTX_use_PrivateKey_file(ctx, certs.keyFile.c_str(), SSL_FILETYPE_PEM), 1);
    rvtest::ScratchDir files;
    std::string path = attachmentPath(files, 16 << 20);
    ASSERT_TRUE(rvtest::writeFile(path, patterned(16 << 20, 5)));
    struct Case {
        bool tls;
        int rc;
    } cases[] = {{false, NUHTTP_ERR_TIMEOUT}, {true, NUHTTP_ERR_TIMEOUT}};
    for (const auto& c : cases) {
        StalledPeer peer(c.tls ? ctx : nullptr);
        ASSERT_NE(peer.port, 0);
        std::string url = std::string(c.tls ? "https://localhost:" : "http://127.0.0.1:")
                          + std::to_string(peer.port) + "/app/mobrr.cgi/cdbasetcmdimportfileupload/";
        auto t0 = std::chrono::steady_clock::now();
        EXPECT_EQ(upload(url, path, 1), c.rc) << (c.tls ? "tls" : "plain");
        auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                      std::chrono::steady_clock::now() - t0).count();
        // One time-out after the last progress, not one per partial write.
        EXPECT_LT(ms, 2500) << (c.tls ? "tls" : "plain");
    }
    SSL_CTX_free(ctx);
}

} // namespace
