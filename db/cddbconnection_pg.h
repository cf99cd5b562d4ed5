// PostgreSQL connection over libpq.
#ifndef CDDBCONNECTION_PG_H
#define CDDBCONNECTION_PG_H

#include <cstdint>
#include <string>
#include <vector>

#include <libpq-fe.h>

#include "cddbconnection.h"
#include "cddbsqlencoder.h"

class CdDBConnection_PG : public CdDBConnection {
public:
    CdDBConnection_PG(int retryCount, int retryWaitSeconds);
    ~CdDBConnection_PG() override;

    // Tries up to the retry count while the server has no free slot,
    // pausing the retry wait between attempts. After connecting: client
    // encoding UTF8 and, when a time zone is set, the session's time zone.
    // 0; -1001 failed; -1002 still full; -1099 null or too long argument;
    // or the code of a failed session setting.
    int connect(const char* user, const char* password, const char* host, const char* dbname,
                int timeoutSeconds) override;
    int disconnect() override;
    bool isConnected() const override { return conn != nullptr; }
    int setSql(const char* text) override;
    using CdDBConnection::execute;
    CdDBResultHandle execute(const std::vector<CdDBBind>* binds) override;
    int begin() override;
    int commit() override;
    int rollback() override;
    CdDBSqlEncoder* getSqlEncoder() override { return &encoder; }
    int serverBackslashEscapes() const override;

    // Code of a statement's result; stores its SQLSTATE on failure.
    int mapStatus(PGresult* result);
    // Code of a SQLSTATE (-1050 for null or an unmapped one).
    static int mapSqlState(const char* sqlState);
    // "host=... dbname=... password=... user=... connect_timeout=N" with
    // every value quoted for libpq; -1099 for a null value or a string
    // longer than 511 bytes.
    static int buildConnectString(std::string& out, const char* user, const char* password,
                                  const char* host, const char* dbname, int timeoutSeconds);
    // A value for a connection string: kept when it is already a well-formed
    // single-quoted value, else quoted with \ before ' and \.
    static std::string quoteConnectValue(const char* value);

    // The libpq connection, with a statement sent ahead read first.
    PGconn* getPGconn() const;
    // Sends sql (logged now) and returns without waiting for its result,
    // which takeAhead() gives later; any other use of the connection reads
    // that result first and keeps it for takeAhead(). 0, or -1 (not
    // connected, a statement already ahead, or the send failed: nothing was
    // sent, so run the statement the usual way).
    int sendAhead(const char* sql);
    // The result of the statement sent ahead, as execute() would have
    // given it; code -1101 when none is ahead.
    CdDBResultHandle takeAhead();
    const CdDBConnectionHandle& getHandle() const { return handle; }
    // lo_export of one large object inside a savepoint, so that a failure
    // leaves the transaction usable. 0, -1 failed, -1101 not connected.
    int exportLargeObject(uint32_t oid, const char* filePath);
    // Writes one large object to a new file (mode 0666 before the umask, as
    // lo_export gives it), reading it in chunks of LO_COPY_CHUNK bytes,
    // without a savepoint: for objects the caller knows to exist. A failure leaves a transaction
    // aborted. 0, -1 failed (errno set when the file failed), -1101 not
    // connected.
    int copyLargeObject(uint32_t oid, const char* filePath);
    enum { LO_COPY_CHUNK = 256 * 1024 };

protected:
    // Pause between connection attempts.
    virtual void retryPause(int seconds);

private:
    int execPlain(const char* sql);
    void reportError();
    // Wraps a statement's result (null: the call failed); a failed status
    // is logged with sqlText and the result freed.
    CdDBResultHandle resultHandle(PGresult* result, const char* sqlText);
    void closeConnection();
    int setUpSession();
    // Reads the result of the statement sent ahead, if one is in flight.
    void settleAhead() const;
    void dropAhead() const;

    PGconn* conn;
    // The statement sent ahead: in flight, or its result read and held.
    mutable bool aheadPending;
    mutable bool aheadHeld;
    mutable PGresult* aheadResult;
    NString aheadSql;
    std::vector<char> loBuffer;  // chunk buffer of copyLargeObject
    NString sql;
    CdDBSqlEncoder_PG encoder;
    CdDBConnectionHandle handle;
};

#endif
