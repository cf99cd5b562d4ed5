// Database connection: connect with retries, statements with binds,
// transactions and the optional SQL log.
#ifndef CDDBCONNECTION_H
#define CDDBCONNECTION_H

#include <string>
#include <vector>

#include "cddbcodes.h"
#include "cddbresult.h"
#include "nstring.h"

#if defined(__GNUC__)
#define CDDB_PRINTF(f, a) __attribute__((format(printf, f, a)))
#else
#define CDDB_PRINTF(f, a)
#endif

class CdDBConnection;
class CdDBSqlEncoder;

// One bind value of execute().
enum { CDDB_BIND_TEXT = 0, CDDB_BIND_LOB = 1 };

struct CdDBBind {
    NString value;  // kind 0: parameter text (null = SQL NULL); kind 1: file path
    int kind;       // CDDB_BIND_TEXT or CDDB_BIND_LOB (imported, sent as its OID)

    CdDBBind() : kind(CDDB_BIND_TEXT) {}
    CdDBBind(const NString& v, int k = CDDB_BIND_TEXT) : value(v), kind(k) {}
};

// Counted handle {count, cell} through which results reach their
// connection. The connection clears the cell when it is destroyed; the last
// handle frees count and cell.
class CdDBConnectionHandle {
public:
    // Count 1, no cell.
    CdDBConnectionHandle();
    // Count 1, cell pointing at the connection.
    explicit CdDBConnectionHandle(CdDBConnection* connection);
    CdDBConnectionHandle(const CdDBConnectionHandle& other) noexcept;
    CdDBConnectionHandle& operator=(const CdDBConnectionHandle& other) noexcept;
    ~CdDBConnectionHandle();

    // The connection, or null when it is gone.
    CdDBConnection* get() const { return cell ? *cell : nullptr; }
    // Forgets the connection for every sharer.
    void detach() const;
    bool sameAs(const CdDBConnectionHandle& other) const { return count == other.count; }
    int useCount() const { return count ? *count : 0; }

private:
    void release() noexcept;

    int* count;
    CdDBConnection** cell;
};

class CdDBConnection {
public:
    enum { MAX_BINDS = 64, MAX_CONNECT_STRING = 511 };

    CdDBConnection(int retryCount, int retryWaitSeconds);
    CdDBConnection(const CdDBConnection&) = delete;
    CdDBConnection& operator=(const CdDBConnection&) = delete;
    virtual ~CdDBConnection() = default;

    // Sets the SQL log path (null or "" turns the log off); returns it.
    virtual const char* setLogFile(const char* path);
    // Time zone of the session and of time-stamp literals (cut to 31 bytes).
    virtual void setTimeZone(const char* name);
    virtual const char* getTimeZone() const { return timeZone; }

    virtual int connect(const char* user, const char* password, const char* host,
                        const char* dbname, int timeoutSeconds) = 0;
    // Rolls back, closes; always 0.
    virtual int disconnect() = 0;
    virtual bool isConnected() const = 0;
    // Stores the statement that execute runs; -1099 for null.
    virtual int setSql(const char* text) = 0;
    // Runs the stored statement; null binds = none. Never an empty handle.
    virtual CdDBResultHandle execute(const std::vector<CdDBBind>* binds) = 0;
    CdDBResultHandle execute() { return execute(nullptr); }
    CdDBResultHandle execute(const std::vector<CdDBBind>& binds) { return execute(&binds); }
    virtual bool inTransaction() const { return inTrans != 0; }
    // True inside a transaction that still takes statements (begun, not
    // aborted). Here: inTransaction().
    virtual bool inUsableTransaction() const { return inTransaction(); }
    virtual int begin() = 0;     // -1019 on failure
    virtual int commit() = 0;    // -1004 on failure
    virtual int rollback() = 0;  // -1005 on failure
    virtual const char* getSqlState() const { return sqlState; }
    virtual const char* getErrorMessage() const { return errorMessage; }
    // The server's own text and hint of the last failure that had an
    // SQLSTATE ("" when it sent none), cut to 255 bytes.
    virtual const char* getServerMessage() const { return serverMessage; }
    virtual const char* getServerHint() const { return serverHint; }
    virtual int getIntAttr() const { return intAttr; }
    virtual int getRetryCount() const { return retryCount; }
    virtual int getRetryWait() const { return retryWait; }
    virtual CdDBSqlEncoder* getSqlEncoder() = 0;
    // 1 when the server reads backslashes in literals as escapes, 0 when
    // not, -1 when unknown (not connected).
    virtual int serverBackslashEscapes() const { return -1; }
    // Appends one line to the SQL log (nothing while it is off).
    virtual void log(const char* format, ...) CDDB_PRINTF(2, 3);

protected:
    void setSqlState(const char* state);
    void setErrorMessage(const char* message);
    void setServerText(const char* message, const char* hint);

    char sqlState[256];
    char errorMessage[256];
    char serverMessage[256];
    char serverHint[256];
    int retryCount;
    int retryWait;
    std::string sqlLogPath;
    int intAttr;
    char timeZone[32];
    unsigned char inTrans;
};

#endif
