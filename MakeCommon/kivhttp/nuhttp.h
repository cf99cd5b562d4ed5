// One HTTP/1.0 request per call: connect to the server or a proxy, optional
// CONNECT tunnel, optional TLS (server certificate and host name verified
// against the default trust store, which SSL_CERT_FILE / SSL_CERT_DIR
// override), write the request, read the reply, close.
#ifndef NUHTTP_H
#define NUHTTP_H

#include "nuattachfile.h"
#include "nustring.h"

typedef struct ssl_st SSL;
typedef struct ssl_ctx_st SSL_CTX;

// Client codes.
enum {
    NUHTTP_ERR_IO = -1,
    NUHTTP_ERR_CONNECT = -2,
    NUHTTP_ERR_STATE = -4,
    NUHTTP_ERR_ADDR = -5,        // OpenSocket: unusable proxy host, host or URL
    NUHTTP_ERR_REFUSED = -6,     // OpenSocket: connect failed
    NUHTTP_ERR_PART = -8,
    NUHTTP_ERR_ADDFILE = -9,
    NUHTTP_ERR_NOMEM = -10,
    NUHTTP_ERR_TIMEOUT = -11,
    NUHTTP_ERR_WAIT = -12,
    NUHTTP_ERR_ARG = -99,
    NUHTTP_ERR_TLS = -100,
    NUHTTP_ERR_TLS_WRITE = -101,
    NUHTTP_ERR_PROXY = -103
};

enum {
    NUHTTP_STATE_CONNECTED = 1,
    NUHTTP_STATE_SENT = 2,
    NUHTTP_STATE_RECEIVED = 3,
    NUHTTP_STATE_CLOSED = 9
};

class NuHttp {
public:
    NuHttp();
    virtual ~NuHttp();
    NuHttp(const NuHttp&) = delete;
    NuHttp& operator=(const NuHttp&) = delete;

    // 0, a negative client code, or the HTTP status of a failed reply. Text
    // arguments may be null; the header outputs are all null or all given.
    // *outBody is malloc'd and NUL-terminated; the caller frees it. Every
    // wait (connect, handshake, read, write) is bounded by timeoutSeconds;
    // the TLS handshake ends within it counted from the connect.
    virtual int Request(const char* url, const char* body, int timeoutSeconds, char** outBody,
                        int* outLength, char*** headerNames, char*** headerValues,
                        int* headerCount, const char* proxyHost, int proxyPort,
                        const char* basicUser, const char* basicPassword, const char* proxyUser,
                        const char* proxyPassword, int extraCount, const char* const* extraNames,
                        const char* const* extraValues, const char* method, int tunnel);
    // Why the TLS library failed the last request (null when it did not).
    virtual const char* GetErrorText();
    virtual int OpenSocket(const char* url, const char* proxyHost, int proxyPort, char* hostBuf,
                           int hostBufSize, int* port);
    virtual int Connect(const char* url, int timeoutSeconds, const char* proxyHost, int proxyPort,
                        const char* proxyUser, const char* proxyPassword, char* hostBuf, int* port,
                        int tunnel);
    virtual void Close();
    virtual int Send(const char* url, const char* body, const char* host, int port,
                     const char* basicUser, const char* basicPassword, const char* proxyHost,
                     const char* proxyUser, const char* proxyPassword, int extraCount,
                     const char* const* extraNames, const char* const* extraValues,
                     const char* method);
    virtual int Receive(char** outBody, int* outLength, char*** headerNames,
                        char*** headerValues, int* headerCount);
    virtual void Log(const char* fmt, ...)
#if defined(__GNUC__)
        __attribute__((format(printf, 2, 3)))
#endif
        ;
    virtual bool IsSsl();
    virtual bool IsHttpsUrl(const char* url);
    // TLS over fd; host is checked against the certificate and sent as the
    // server name (not for an IP literal). 0, -100, or -11 when the handshake
    // did not end within the time-out counted from the connect.
    virtual int SslConnect(int fd, const char* host, SSL** ssl, SSL_CTX** ctx);
    virtual int SslReceive(SSL* ssl, char** outBody, int* outLength, int crFlag,
                           char*** headerNames, char*** headerValues, int* headerCount);
    virtual void SslFree(SSL* ssl, SSL_CTX* ctx);
    virtual void KeepSslErrorText();
    virtual int ConvertErrorCode(int code);

    // -99 without part name; an empty path removes the parts of that name;
    // -9 when the file cannot be added.
    int AddFile(const char* partName, const char* filePath, const char* fileName,
                const char* mimeType);
    // Makes this client the one nuHttpSslWrite writes through.
    void SetCurrentSsl();

    NUAttachFileList* GetFileList() { return &m_files; }
    const char* GetLogText() const { return m_log.c_str(); }
    int GetState() const { return m_state; }

    SSL* sslHandle() const { return m_ssl; }

private:
    int m_fd;
    int m_state;
    SSL* m_ssl;
    SSL_CTX* m_ctx;
    char* m_sslErrorText;
    NUAttachFileList m_files;
    NUString m_log;
    bool m_tunnel;   // the request goes through a CONNECT tunnel
};

// TLS writer handed to the request layer: SSL_write through the current
// client. Bytes written, or -101.
int nuHttpSslWrite(int fd, const void* data, int length);

#endif
