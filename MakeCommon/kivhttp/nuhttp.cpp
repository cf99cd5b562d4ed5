#include "nuhttp.h"

#include <cerrno>
#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "comstr.h"
#include "nuhttpreq.h"
#include "nusock.h"

#define NUHTTP_SRC "nuhttp"

namespace {

const char* nz(const char* s)
{
    return s ? s : "";
}

const char* masked(const char* s)
{
    return (s && *s) ? "****" : "";
}

// Keeps a write to a closed peer from raising SIGPIPE for the time of a
// request (the TLS library writes with plain write()).
class SigpipeGuard {
public:
    SigpipeGuard()
    {
        struct sigaction ign;
        std::memset(&ign, 0, sizeof ign);
        ign.sa_handler = SIG_IGN;
        sigemptyset(&ign.sa_mask);
        saved = sigaction(SIGPIPE, &ign, &old) == 0;
    }
    ~SigpipeGuard()
    {
        if (saved)
            sigaction(SIGPIPE, &old, nullptr);
    }

private:
    struct sigaction old;
    bool saved;
};

} // namespace

NuHttp::NuHttp()
    : m_fd(-1), m_state(NUHTTP_STATE_CLOSED), m_ssl(nullptr), m_ctx(nullptr),
      m_sslErrorText(nullptr), m_tunnel(false)
{
}

NuHttp::~NuHttp()
{
    Close();
    std::free(m_sslErrorText);
}

const char* NuHttp::GetErrorText()
{
    return m_sslErrorText;
}

bool NuHttp::IsSsl()
{
    return m_ssl != nullptr;
}

bool NuHttp::IsHttpsUrl(const char* url)
{
    return url && comStrNCaseCmp(url, "https://", 8) == 0;
}

void NuHttp::Log(const char* fmt, ...)
{
    char buf[8192];
    va_list ap;
    va_start(ap, fmt);
    std::vsnprintf(buf, sizeof buf, fmt, ap);
    va_end(ap);
    m_log.append(buf);
}

int NuHttp::ConvertErrorCode(int code)
{
    switch (code) {
    case -10: return NUHTTP_ERR_NOMEM;
    case -9: return NUHTTP_ERR_ARG;
    case -8: return NUHTTP_ERR_PART;
    case -3: return NUHTTP_ERR_TIMEOUT;
    case -2: return NUHTTP_ERR_WAIT;
    case -1: return NUHTTP_ERR_IO;
    default: return code;
    }
}

int NuHttp::AddFile(const char* partName, const char* filePath, const char* fileName,
                    const char* mimeType)
{
    if (!partName || !*partName)
        return NUHTTP_ERR_ARG;
    if (!filePath || !*filePath) {
        m_files.remove(partName);
        return 0;
    }
    int r = m_files.addFile(partName, filePath, fileName, mimeType);
    if (r != 0) {
        Log("\n[%s][%d]ret=[%d] errno=[%d] cpreqest_name=[%s] cpfilepath=[%s] cpfilename=[%s] "
            "cpmimetype=[%s]\n",
            NUHTTP_SRC, __LINE__, r, errno, partName, filePath, nz(fileName), nz(mimeType));
        return NUHTTP_ERR_ADDFILE;
    }
    return 0;
}

int NuHttp::Request(const char* url, const char* body, int timeoutSeconds, char** outBody,
                    int* outLength, char*** headerNames, char*** headerValues, int* headerCount,
                    const char* proxyHost, int proxyPort, const char* basicUser,
                    const char* basicPassword, const char* proxyUser, const char* proxyPassword,
                    int extraCount, const char* const* extraNames,
                    const char* const* extraValues, const char* method, int tunnel)
{
    SigpipeGuard guard;
    m_log.clear();
    std::free(m_sslErrorText);
    m_sslErrorText = nullptr;
    char host[HTTP_HOST_SIZE] = "";
    int port = 0;
    int r = Connect(url, timeoutSeconds, proxyHost, proxyPort, proxyUser, proxyPassword, host,
                    &port, tunnel);
    if (r != 0) {
        Log("\n[%s][%d]ret=[%d] url=[%s] timeout=[%d]", NUHTTP_SRC, __LINE__, r, nz(url),
            timeoutSeconds);
        return r;
    }
    r = Send(url, body, host, port, basicUser, basicPassword, proxyHost, proxyUser,
             proxyPassword, extraCount, extraNames, extraValues, method);
    if (r == 0)
        r = Receive(outBody, outLength, headerNames, headerValues, headerCount);
    Close();
    return r;
}

int NuHttp::OpenSocket(const char* url, const char* proxyHost, int proxyPort, char* hostBuf,
                       int hostBufSize, int* port)
{
    if (!hostBuf || hostBufSize <= 255 || !port)
        return NUHTTP_ERR_ADDR;
    bool viaProxy = proxyHost && *proxyHost;
    if (viaProxy && (std::strlen(proxyHost) > 255 || proxyPort <= 0 || proxyPort > 65535)) {
        Log("\n[%s][%d] cproxyip=[%s] ", NUHTTP_SRC, __LINE__, proxyHost);
        return NUHTTP_ERR_ADDR;
    }
    if (!url || !*url) {
        Log("\n[%s][%d] curl=[%s] ", NUHTTP_SRC, __LINE__, nz(url));
        return NUHTTP_ERR_ADDR;
    }
    std::string host;
    int p = 0;
    const char* s = std::strstr(url, "//");
    if (s) {
        s += 2;
        const char* e = std::strchr(s, '/');
        host.assign(s, e ? static_cast<size_t>(e - s) : std::strlen(s));
        if (host.size() > 255) {
            Log("\n[%s][%d] chost=[%s] ", NUHTTP_SRC, __LINE__, host.c_str());
            return NUHTTP_ERR_ADDR;
        }
        size_t colon = host.rfind(':');
        if (colon != std::string::npos) {
            p = std::atoi(host.c_str() + colon + 1);
            host.erase(colon);
        }
    } else {
        const char* sn = std::getenv("SERVER_NAME");
        host = nz(sn);
        if (host.empty() || host.size() > 255) {
            Log("SERVER_NAME[%s]", host.c_str());
            return NUHTTP_ERR_ADDR;
        }
        const char* rp = std::getenv("REMOTE_PORT");
        if (rp)
            p = std::atoi(rp);
    }
    if (p < 0 || p > 65535) {
        Log("\n[%s][%d] chost=[%s] port=[%d] ", NUHTTP_SRC, __LINE__, host.c_str(), p);
        return NUHTTP_ERR_ADDR;
    }
    if (p == 0)
        p = IsHttpsUrl(url) ? 443 : 80;
    int fd = viaProxy ? sockConnect(proxyHost, proxyPort) : sockConnect(host.c_str(), p);
    if (fd < 0) {
        Log("\n[%s][%d] ret=[%d] chost=[%s] iport=[%d] cprxhost=[%s] iprxport=[%d] errno=[%d]",
            NUHTTP_SRC, __LINE__, fd, host.c_str(), p, nz(proxyHost), proxyPort, errno);
        return fd == SOCK_ERR_WAIT ? NUHTTP_ERR_REFUSED : NUHTTP_ERR_IO;
    }
    std::snprintf(hostBuf, static_cast<size_t>(hostBufSize), "%s", host.c_str());
    *port = p;
    return fd;
}

int NuHttp::Connect(const char* url, int timeoutSeconds, const char* proxyHost, int proxyPort,
                    const char* proxyUser, const char* proxyPassword, char* hostBuf, int* port,
                    int tunnel)
{
    if (!url)
        return NUHTTP_ERR_ARG;
    if (m_state != NUHTTP_STATE_CLOSED)
        Close();
    sockSetTimeout(timeoutSeconds);
    int fd = OpenSocket(url, proxyHost, proxyPort, hostBuf, HTTP_HOST_SIZE, port);
    if (fd < 0) {
        Log("\n[%s][%d]ret=[%d] url=[%s] proxyHost=[%s] proxyport=[%d] hostname=[%s] port=[%d]",
            NUHTTP_SRC, __LINE__, fd, url, nz(proxyHost), proxyPort, nz(hostBuf), *port);
        return NUHTTP_ERR_CONNECT;
    }
    bool https = IsHttpsUrl(url);
    bool viaProxy = proxyHost && *proxyHost;
    bool useTls = https && (!viaProxy || tunnel);
    m_tunnel = https && viaProxy && tunnel;

    if (m_tunnel) {
        std::string auth;
        if (proxyUser && *proxyUser) {
            char b64[HTTP_AUTH_B64_SIZE];
            int r = httpGetAuthBase64(proxyUser, proxyPassword, b64);
            if (r != 0) {
                Log("\n[%s][%d]ret=[%d]", NUHTTP_SRC, __LINE__, r);
                sockClose(fd);
                return NUHTTP_ERR_PROXY;
            }
            auth = std::string("Proxy-Authorization: Basic ") + b64 + "\r\n";
        }
        std::string req = std::string("CONNECT ") + hostBuf + ":" + std::to_string(*port)
                          + " HTTP/1.1\r\n" + auth + "\r\n";
        int r = sockWrite(fd, req.data(), static_cast<int>(req.size()));
        if (r < 0) {
            Log("\n[%s][%d]ret=[%d]", NUHTTP_SRC, __LINE__, r);
            sockClose(fd);
            return NUHTTP_ERR_PROXY;
        }
        r = httpReadHead(fd, nullptr, nullptr, 1, nullptr, nullptr, nullptr);
        if (r != 0) {
            Log("\n[%s][%d]status=[%d] proxyHost=[%s] proxyport=[%d]", NUHTTP_SRC, __LINE__, r,
                proxyHost, proxyPort);
            sockClose(fd);
            return NUHTTP_ERR_PROXY;
        }
    }
    if (useTls) {
        SSL* ssl = nullptr;
        SSL_CTX* ctx = nullptr;
        int r = SslConnect(fd, hostBuf, &ssl, &ctx);
        if (r != 0) {
            sockClose(fd);
            return r == NUHTTP_ERR_TIMEOUT ? r : NUHTTP_ERR_TLS;
        }
        m_ssl = ssl;
        m_ctx = ctx;
    }
    m_fd = fd;
    m_state = NUHTTP_STATE_CONNECTED;
    return 0;
}

int NuHttp::Send(const char* url, const char* body, const char* host, int port,
                 const char* basicUser, const char* basicPassword, const char* proxyHost,
                 const char* proxyUser, const char* proxyPassword, int extraCount,
                 const char* const* extraNames, const char* const* extraValues,
                 const char* method)
{
    if (m_state != NUHTTP_STATE_CONNECTED)
        return NUHTTP_ERR_STATE;
    HttpWriterFn writer = sockWrite;
    if (m_ssl) {
        SetCurrentSsl();
        writer = nuHttpSslWrite;
    }
    // Proxy credentials belong to the CONNECT of a tunnel, never inside it.
    const char* pu = m_tunnel ? nullptr : proxyUser;
    const char* pp = m_tunnel ? nullptr : proxyPassword;
    int r = httpWrite(m_fd, url, body, basicUser, basicPassword, pu, pp, host, port,
                      &m_files, extraCount, extraNames, extraValues, proxyHost != nullptr,
                      method, writer);
    if (r != 0) {
        Log("\n[%s][%d]ret=[%d] errno=[%d] url[%s]postdata[%s]basicuid[%s]basicpwd[%s]"
            "proxyuid[%s]proxypwd[%s]host[%s]port[%d]",
            NUHTTP_SRC, __LINE__, r, errno, nz(url), nz(body), nz(basicUser),
            masked(basicPassword), nz(proxyUser), masked(proxyPassword), nz(host), port);
        return ConvertErrorCode(r);
    }
    m_state = NUHTTP_STATE_SENT;
    return 0;
}

int NuHttp::Receive(char** outBody, int* outLength, char*** headerNames, char*** headerValues,
                    int* headerCount)
{
    if (m_state != NUHTTP_STATE_SENT)
        return NUHTTP_ERR_STATE;
    int r;
    if (m_ssl)
        r = SslReceive(m_ssl, outBody, outLength, 1, headerNames, headerValues, headerCount);
    else
        r = httpReadHead(m_fd, outBody, outLength, 0, headerNames, headerValues, headerCount);
    if (r != 0) {
        Log("\n[%s][%d] ret=[%d] errno=[%d]", NUHTTP_SRC, __LINE__, r, errno);
        r = ConvertErrorCode(r);
    }
    m_state = NUHTTP_STATE_RECEIVED;
    return r;
}

void NuHttp::Close()
{
    if (m_state == NUHTTP_STATE_CLOSED && m_fd < 0)
        return;
    if (m_ssl || m_ctx) {
        SslFree(m_ssl, m_ctx);
        m_ssl = nullptr;
        m_ctx = nullptr;
    }
    if (m_fd >= 0) {
        sockClose(m_fd);
        m_fd = -1;
        sockTerm();
    }
    m_tunnel = false;
    m_state = NUHTTP_STATE_CLOSED;
}
