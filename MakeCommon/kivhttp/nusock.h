// Blocking IPv4 TCP sockets with bounded waits: connect by host name, read,
// read one line, write everything, close. Failures are written to the debug
// log and returned as small negative codes.
#ifndef NUSOCK_H
#define NUSOCK_H

enum {
    SOCK_ERR_IO = -1,        // socket, send or receive failure
    SOCK_ERR_WAIT = -2,      // waiting failed; for sockConnect: connect failed
    SOCK_ERR_TIMEOUT = -3,   // time-out; for sockConnect: host did not resolve
    SOCK_ERR_ARG = -9        // bad arguments
};

// Sets the time-out in seconds for every later wait (0 polls without
// waiting; connect waits without limit while it is 0). Returns 0.
int sockSetTimeout(int seconds);
// Bounds of the waits that follow, until the next sockSetTimeout: all of
// them together within the time-out from now (a reply head), or from the
// last sockSetTimeout (a TLS handshake: from the connect); or a time-out
// when less than 1 KiB moved in the last time-out (a body, an upload).
// Without a time-out (0) nothing changes.
void sockBoundTotal();
void sockBoundSinceStart();
void sockBoundProgress();
// Counts bytes moved by a layer above (TLS) towards the progress bound.
void sockMoved(long long bytes);
// Waits for events on fd within the bound: 1 ready, -3 time-out, -2 failure.
int sockWait(int fd, short events);
int sockGetTimeout();
// Resets the use count.
void sockTerm();
// Shuts both directions down and closes; the result of close.
int sockClose(int fd);
int sockErrno();
// Reads until size - 1 bytes arrived or the stream ended; NUL-terminates.
// Each wait for data is bounded by the time-out. Bytes read (0 at end of
// stream) or a negative code.
int sockRead(int fd, char* buf, int size);
// As sockRead, but stops after the first LF (which is kept); bytes after it
// stay unread on the socket.
int sockReadLine(int fd, char* buf, int size);
// Writes all bytes, waiting for writability before each write. SIGPIPE is
// never raised. The length, or a negative code (-3 when the bound passed).
int sockWrite(int fd, const void* data, int length);
// A connected descriptor, or -9 (null host, port outside 1..65535), -3 (host
// did not resolve), -1 (socket failure), -2 (connect failed or timed out).
int sockConnect(const char* host, int port);
// Hardware address of "eth0" as twelve upper-case hex digits (13 bytes).
int sockGetMacAddress(char* out);
void sockFormatMacAddress(const unsigned char* bytes, char* out);

#endif
