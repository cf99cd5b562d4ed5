#include "nuhttp.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <string>

#include <openssl/err.h>
#include <openssl/rand.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include "nuhttpreq.h"
#include "nusock.h"

#define NUHTTP_SRC "nuhttp_ssl"

namespace {

NuHttp* g_current = nullptr;

// Reply bytes from a TLS connection, buffered so that lines can be cut.
class SslInput : public HttpInput {
public:
    explicit SslInput(SSL* ssl) : ssl(ssl) {}

    int readLine(char* buf, int size) override { return take(buf, size, true); }

    int read(char* buf, int size) override { return take(buf, size, false); }

private:
    // Copies buffered bytes to buf (size - 1 at most, then a NUL), reading
    // more as needed; with line set it stops after a newline.
    int take(char* buf, int size, bool line)
    {
        if (!buf || size < 2)
            return HTTP_ERR_ARG;
        int got = 0;
        while (got < size - 1) {
            if (pos == len) {
                int r = fill();
                if (r < 0)
                    return r;
                if (r == 0)
                    break;
            }
            int n = len - pos;
            if (n > size - 1 - got)
                n = size - 1 - got;
            const char* nl = line ? static_cast<const char*>(
                                        std::memchr(data + pos, '\n', static_cast<size_t>(n)))
                                  : nullptr;
            if (nl)
                n = static_cast<int>(nl - (data + pos)) + 1;
            std::memcpy(buf + got, data + pos, static_cast<size_t>(n));
            pos += n;
            got += n;
            if (nl)
                break;
        }
        buf[got] = '\0';
        return got;
    }

    // The socket does not block: each wait is bounded as the socket
    // layer's own waits are.
    int fill()
    {
        pos = len = 0;
        if (eof)
            return 0;
        for (;;) {
            ERR_clear_error();
            int r = SSL_read(ssl, data, sizeof data);
            if (r > 0) {
                len = r;
                sockMoved(r);
                return r;
            }
            int e = SSL_get_error(ssl, r);
            if (e == SSL_ERROR_ZERO_RETURN) {
                eof = true;
                return 0;
            }
            if (e == SSL_ERROR_SYSCALL && errno == EINTR)
                continue;
            if (e == SSL_ERROR_WANT_READ || e == SSL_ERROR_WANT_WRITE) {
                int w = sockWait(SSL_get_fd(ssl), e == SSL_ERROR_WANT_READ ? POLLIN : POLLOUT);
                if (w == 1)
                    continue;
                return w == SOCK_ERR_TIMEOUT ? HTTP_ERR_TIMEOUT : HTTP_ERR_IO;
            }
            if (e == SSL_ERROR_SYSCALL && (errno == EAGAIN || errno == EWOULDBLOCK))
                return HTTP_ERR_TIMEOUT;
            if (e == SSL_ERROR_SYSCALL && r == 0 && ERR_peek_error() == 0) {
                eof = true;
                return 0;
            }
            return HTTP_ERR_IO;
        }
    }

    SSL* ssl;
    char data[16384];
    int pos = 0;
    int len = 0;
    bool eof = false;
};

bool isIpv4Literal(const char* host)
{
    struct in_addr a;
    return inet_pton(AF_INET, host, &a) == 1;
}

// The handshake over a socket that does not block, waiting on what is left
// of the time-out counted from the connect: 1 done, 0 refused, or the
// socket layer's time-out or wait failure.
int handshake(SSL* ssl, int fd)
{
    sockBoundSinceStart();
    for (;;) {
        ERR_clear_error();
        int r = SSL_connect(ssl);
        if (r == 1)
            return 1;
        int e = SSL_get_error(ssl, r);
        if (e != SSL_ERROR_WANT_READ && e != SSL_ERROR_WANT_WRITE)
            return 0;
        int w = sockWait(fd, e == SSL_ERROR_WANT_READ ? POLLIN : POLLOUT);
        if (w != 1)
            return w;
    }
}

} // namespace

void NuHttp::SetCurrentSsl()
{
    g_current = this;
}

void NuHttp::KeepSslErrorText()
{
    // The library's reason for the last error; none when it has none.
    unsigned long e = ERR_peek_last_error();
    const char* reason = e ? ERR_reason_error_string(e) : nullptr;
    std::free(m_sslErrorText);
    m_sslErrorText = nullptr;
    if (e) {
        char code[2048];
        ERR_error_string_n(e, code, sizeof code);
        m_sslErrorText = strdup(reason ? reason : code);
    }
}

int NuHttp::SslConnect(int fd, const char* host, SSL** outSsl, SSL_CTX** outCtx)
{
    OPENSSL_init_ssl(OPENSSL_INIT_LOAD_SSL_STRINGS | OPENSSL_INIT_LOAD_CRYPTO_STRINGS, nullptr);
    ERR_clear_error();
    SSL_CTX* ctx = nullptr;
    SSL* ssl = nullptr;
    bool ok = false;
    bool timedOut = false;
    long verify = X509_V_OK;
    do {
        if (RAND_status() != 1)
            break;
        ctx = SSL_CTX_new(TLS_client_method());
        if (!ctx)
            break;
        SSL_CTX_set_options(ctx, SSL_OP_IGNORE_UNEXPECTED_EOF);
        if (SSL_CTX_set_default_verify_paths(ctx) != 1)
            break;
        SSL_CTX_set_verify(ctx, SSL_VERIFY_PEER, nullptr);
        ssl = SSL_new(ctx);
        if (!ssl)
            break;
        if (host && *host) {
            if (isIpv4Literal(host)) {
                if (X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl), host) != 1)
                    break;
            } else {
                if (SSL_set_tlsext_host_name(ssl, host) != 1 || SSL_set1_host(ssl, host) != 1)
                    break;
            }
        }
        if (SSL_set_fd(ssl, fd) != 1)
            break;
        // The handshake, the reads and the writes wait with poll on the time
        // left; a write reports each record it moved.
        SSL_set_mode(ssl, SSL_MODE_ENABLE_PARTIAL_WRITE);
        int flags = fcntl(fd, F_GETFL, 0);
        if (flags < 0 || fcntl(fd, F_SETFL, flags | O_NONBLOCK) != 0)
            break;
        int h = handshake(ssl, fd);
        if (h != 1) {
            timedOut = h == SOCK_ERR_TIMEOUT;
            if (h == 0)
                verify = SSL_get_verify_result(ssl);
            break;
        }
        ok = true;
    } while (false);
    if (timedOut) {
        std::free(m_sslErrorText);
        m_sslErrorText = strdup("TLS handshake timed out");
        Log("\n[%s][%d] ssl error=[%s] timeout=[%d]", NUHTTP_SRC, __LINE__, m_sslErrorText,
            sockGetTimeout());
        SSL_free(ssl);
        SSL_CTX_free(ctx);
        return NUHTTP_ERR_TIMEOUT;
    }
    if (!ok) {
        KeepSslErrorText();
        // A refused certificate names the check that refused it.
        if (verify != X509_V_OK) {
            std::string why = m_sslErrorText ? m_sslErrorText : "certificate verify failed";
            why += std::string(": ") + X509_verify_cert_error_string(verify);
            std::free(m_sslErrorText);
            m_sslErrorText = strdup(why.c_str());
        }
        Log("\n[%s][%d] ssl error=[%s] verify=[%s]", NUHTTP_SRC, __LINE__,
            m_sslErrorText ? m_sslErrorText : "",
            X509_verify_cert_error_string(verify));
        if (ssl)
            SSL_free(ssl);
        if (ctx)
            SSL_CTX_free(ctx);
        return NUHTTP_ERR_TLS;
    }
    *outSsl = ssl;
    *outCtx = ctx;
    return 0;
}

int NuHttp::SslReceive(SSL* ssl, char** outBody, int* outLength, int crFlag, char*** headerNames,
                       char*** headerValues, int* headerCount)
{
    if (outLength)
        *outLength = 0;
    if (!outBody || !outLength || !ssl)
        return HTTP_ERR_ARG;
    SslInput in(ssl);
    int r = httpReadReply(in, outBody, outLength, crFlag, headerNames, headerValues, headerCount,
                          HTTP_ERR_TIMEOUT);
    if (r < 0 && r != HTTP_ERR_TIMEOUT)
        KeepSslErrorText();
    return r;
}

void NuHttp::SslFree(SSL* ssl, SSL_CTX* ctx)
{
    if (ssl) {
        ERR_clear_error();
        SSL_shutdown(ssl);
    }
    if (ctx)
        SSL_CTX_free(ctx);
    if (ssl)
        SSL_free(ssl);
    ERR_clear_error();
    m_state = NUHTTP_STATE_CLOSED;
}

int nuHttpSslWrite(int fd, const void* data, int length)
{
    NuHttp* client = g_current;
    if (!client || !client->sslHandle())
        return NUHTTP_ERR_TLS_WRITE;
    if (length <= 0)
        return 0;
    const char* p = static_cast<const char*>(data);
    int done = 0;
    while (done < length) {
        ERR_clear_error();
        int r = SSL_write(client->sslHandle(), p + done, length - done);
        if (r <= 0) {
            int e = SSL_get_error(client->sslHandle(), r);
            if (e == SSL_ERROR_SYSCALL && errno == EINTR)
                continue;
            // The socket does not block: wait on the time that is left.
            if (e == SSL_ERROR_WANT_WRITE || e == SSL_ERROR_WANT_READ) {
                int w = sockWait(fd, e == SSL_ERROR_WANT_WRITE ? POLLOUT : POLLIN);
                if (w == 1)
                    continue;
                client->Log("\n[%s][%d] ret=[%d] bufsiz[%d]", NUHTTP_SRC, __LINE__, w, length);
                return w == SOCK_ERR_TIMEOUT ? static_cast<int>(HTTP_ERR_TIMEOUT)
                                             : static_cast<int>(NUHTTP_ERR_TLS_WRITE);
            }
            client->KeepSslErrorText();
            client->Log("\n[%s][%d] ret=[%d] ssl error=[%s] bufsiz[%d]", NUHTTP_SRC, __LINE__, r,
                        client->GetErrorText() ? client->GetErrorText() : "", length);
            return NUHTTP_ERR_TLS_WRITE;
        }
        done += r;
        sockMoved(r);
    }
    return done;
}
