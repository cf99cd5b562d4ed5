// HTTP/1.0 requests over an open descriptor: write one request (form or
// multipart body) through a writer function, read one reply (status,
// selected headers, body). Diagnostics go to the debug log.
#ifndef NUHTTPREQ_H
#define NUHTTPREQ_H

#include "nuattachfile.h"

enum {
    HTTP_OK = 0,
    HTTP_ERR_IO = -1,
    HTTP_ERR_WAIT = -2,
    HTTP_ERR_TIMEOUT = -3,
    HTTP_ERR_PART = -8,      // a size limit or a file part failed
    HTTP_ERR_ARG = -9,
    HTTP_ERR_NOMEM = -10
};

enum {
    HTTP_HOST_SIZE = 256,             // host buffers (255 characters)
    HTTP_AUTH_B64_SIZE = 352,         // Base64 of at most 255 bytes
    HTTP_BOUNDARY_SIZE = 96,
    HTTP_LENGTH_LINE_SIZE = 64,
    HTTP_LINE_SIZE = 8191,            // one head line: at most 8190 bytes
    HTTP_HEAD_MAX = 65536,            // whole reply head
    HTTP_BODY_MAX = 256 * 1024 * 1024, // reply body
    HTTP_GATHER_SIZE = 65536           // request bytes handed to the writer at once
};

// Writer: (descriptor, data, length) -> bytes written or a negative code.
typedef int (*HttpWriterFn)(int fd, const void* data, int length);

// Writes one request. A URL, host, method or extra header holding CR, LF or
// other control bytes is refused with -9. absoluteUrl puts the whole URL in
// the request line. writer null: sockWrite. The writer is called with up to
// HTTP_GATHER_SIZE bytes at a time; file parts are read in 4096-byte blocks.
int httpWrite(int fd, const char* url, const char* body, const char* basicUser,
              const char* basicPwd, const char* proxyUser, const char* proxyPwd,
              const char* host, int port, NUAttachFileList* files, int headerCount,
              const char* const* headerNames, const char* const* headerValues,
              int absoluteUrl, const char* method, HttpWriterFn writer);

// Source of reply bytes for the reply reader.
class HttpInput {
public:
    virtual ~HttpInput() {}
    // As sockReadLine: up to and including the first LF, NUL-terminated.
    virtual int readLine(char* buf, int size) = 0;
    // As sockRead: until size - 1 bytes or the end of the stream.
    virtual int read(char* buf, int size) = 0;
};

// Reads one reply head (and body when body and length are given). Result 0
// for status 200; the status for any other; noStatusCode when no status line
// came; -1 for a head that ends early or whose lines or size pass the limits,
// and for a body shorter than its Content-Length; -10 no memory or a body
// over HTTP_BODY_MAX. The body (malloc'd, NUL-terminated, freed by the
// caller) is handed out for every status up to 403. Header outputs: all or
// none; the arrays are malloc'd (free with comCgiFreeRequest).
int httpReadReply(HttpInput& in, char** body, int* length, int crFlag, char*** names,
                  char*** values, int* count, int noStatusCode);
// httpReadReply over a plain socket (no status line: -1).
int httpReadHead(int fd, char** body, int* length, int crFlag, char*** names,
                 char*** values, int* count);

// Base64 of "user:password" into out (HTTP_AUTH_B64_SIZE bytes). 0, or -9 for
// a null argument or more than 255 bytes.
int httpGetAuthBase64(const char* user, const char* password, char* out);

// Connects to the proxy or the URL's host (port 80 by default). The
// descriptor, -9 or -1. Host outputs: HTTP_HOST_SIZE bytes.
int httpOpen(const char* url, const char* proxyHost, int proxyPort, char* outHost,
             int* outPort, char* outProxyHost, int* outProxyPort);

// Relays one reply to the CGI output: its Content-Type line (else the
// default HTML type) ending the header block, then the body line by line
// with CR LF turned into LF. 0 for status 200; another status is returned
// without relaying anything; -1 without a status line, for a head that ends
// early or is too long, a type line over 1023 bytes or a failed write;
// socket failures as they come.
int httpRelayResponse(int fd);

int httpCheckHeaderArgs(int count, const char* const* names, const char* const* values);
int httpWriteHeaders(int fd, int count, const char* const* names, const char* const* values,
                     HttpWriterFn writer);
// prefix + 14-digit GMT time + rand() into out (HTTP_BOUNDARY_SIZE bytes).
int httpMakeBoundary(const char* prefix, char* out);
// Splits the form body into fields, makes the boundary and the Content-Length
// line (HTTP_LENGTH_LINE_SIZE bytes, without CR LF) that equals the bytes
// httpWriteMultipart writes; records each file's size. 0, -8 or -9.
int httpGetMultipartLength(const char* body, NUAttachFileList* files, char*** names,
                           char*** values, int* count, char* lengthLine, char* boundary);
int httpWriteMultipart(int fd, char** names, char** values, int count,
                       NUAttachFileList* files, const char* boundary, HttpWriterFn writer);

#endif
