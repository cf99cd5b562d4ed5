// PostgreSQL connection over libpq.
#ifndef CDDBCONNECTION_PG_H
#define CDDBCONNECTION_PG_H

#include <cstdint>
#include <string>
#include <vector>

#include <libpq-fe.h>

#include "cddbconnection.h"
#include "cddbsqlencoder.h"

// The owner of a row stream (CdDBConnection_PG::sendStream).
class CdDBStreamOwner {
public:
    // Called before any other use of the connection while the stream is
    // open: read what of it is wanted (nextStreamResult); the connection
    // drops the rest.
    virtual void finishStream() = 0;

protected:
    ~CdDBStreamOwner() = default;
};

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
    // As the server tells it, after an open row stream is finished.
    bool inUsableTransaction() const override;
    // Changes whenever a transaction may have begun or ended, through
    // begin(), commit(), rollback(), a statement (COMMIT, BEGIN, ... sent
    // through execute or executeCommand, also several in one string) or the
    // end of the session. A statement tagged COMMIT or ROLLBACK counts even
    // where the session stays in a transaction: that is COMMIT AND CHAIN,
    // ROLLBACK AND CHAIN, or a ROLLBACK TO SAVEPOINT, which may leave the
    // transaction's cursors open; only the server can tell which.
    unsigned getTransactionSerial() const { return transactionSerial; }
    CdDBSqlEncoder* getSqlEncoder() override { return &encoder; }
    int serverBackslashEscapes() const override;

    // Code of a statement's result; stores its SQLSTATE, text and hint on
    // failure. A failure for a transaction already aborted (25P02) keeps
    // those of the failure that aborted it.
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

    // The libpq connection, after an open row stream is finished.
    PGconn* getPGconn() const;
    // Sends sql (logged) and returns without waiting: its rows then come one
    // at a time through nextStreamResult. Any other use of the connection
    // first asks owner to finish the stream. 0, or -1 (not connected or the
    // send failed: nothing is open).
    int sendStream(const char* sql, CdDBStreamOwner* owner);
    // The next result of the open stream, which the caller frees with
    // PQclear: 0 and one row (PGRES_SINGLE_TUPLE), or 0 and the closing
    // result without rows (PGRES_TUPLES_OK), which ends the stream. -1101
    // when no stream is open; the statement's code (logged) when it failed,
    // which ends the stream too.
    virtual int nextStreamResult(PGresult*& result);
    // Reads and drops what is left of owner's open stream.
    void endStream(const CdDBStreamOwner* owner);
    // Runs a statement that returns no rows (logged), leaving the statement
    // that execute runs as it was: a stream's owner may call it from
    // finishStream. 0 or the statement's code.
    int executeCommand(const char* statement);
    // Runs a query with text parameters (logged), leaving the statement that
    // execute runs as it was. rows: how many rows it gave; values, where
    // given: the first row's values ("" for NULL). 0 or the query's code.
    int executeQuery(const char* statement, const std::vector<const char*>& params, int& rows,
                     std::vector<std::string>* values = nullptr);
    const CdDBConnectionHandle& getHandle() const { return handle; }
    // copyLargeObject inside a savepoint, so that a failure leaves the
    // transaction usable; the failure's SQLSTATE, text and hint stay.
    // 0, -1 failed, -1101 not connected.
    int exportLargeObject(uint32_t oid, const char* filePath);
    // Writes one large object to a new file (mode 0666 before the umask, as
    // lo_export gives it), reading it in chunks of LO_COPY_CHUNK bytes,
    // without a savepoint: for objects the caller knows to exist. A failure
    // leaves a transaction aborted. 0, -1 failed: getSqlState() is then the
    // server's answer to the call that failed, "" when the file failed
    // (errno set). -1101 not connected.
    int copyLargeObject(uint32_t oid, const char* filePath);
    // Opens one large object, reads its first byte and closes it, without a
    // savepoint: the locks that reading large objects takes are then held
    // to the transaction's end. 0, -1 failed (as copyLargeObject), -1101
    // not connected.
    int readLargeObjectStart(uint32_t oid);
    enum { LO_COPY_CHUNK = 256 * 1024 };

protected:
    // Pause between connection attempts.
    virtual void retryPause(int seconds);

private:
    // tag: where given, the command tag of the answer.
    int execPlain(const char* sql, std::string* tag = nullptr);
    // Before a call to the server: the last failure's SQLSTATE, text and
    // hint are forgotten, unless they are why the transaction is aborted.
    void startCall();
    // The large-object functions, called through the fast path so that a
    // failure keeps the server's answer. -1 on failure.
    int findLargeObjectFunctions();
    int openLargeObject(uint32_t oid);
    int readLargeObject(int lo, char* buffer, int size);
    int closeLargeObject(int lo);
    // PQfn's result: 0, or -1 with the failure reported.
    int functionResult(PGresult* result);
    // Runs the statements of sql and returns as PQexec does (the last
    // result; null when nothing could be sent). ends: a result may be the
    // end of a transaction, or not every result was seen.
    PGresult* execAll(const char* sql, bool& ends);
    // Counts a transaction begun or ended by a statement; before: the
    // transaction status before it was sent; ends: it may have ended one.
    void noteTransaction(PGTransactionStatusType before, bool ends);
    void reportError();
    // Wraps a statement's result (null: the call failed); a failed status
    // is logged with sqlText and the result freed.
    CdDBResultHandle resultHandle(PGresult* result, const char* sqlText);
    void closeConnection();
    int setUpSession();
    // Has the owner of an open stream finish it, then drops what is left.
    void settleStream() const;
    void dropStreamRows() const;

    PGconn* conn;
    // The open row stream and its owner.
    mutable bool streamOpen;
    mutable CdDBStreamOwner* streamOwner;
    NString streamSql;
    std::vector<char> loBuffer;  // chunk buffer of copyLargeObject
    NString sql;
    CdDBSqlEncoder_PG encoder;
    CdDBConnectionHandle handle;
    unsigned transactionSerial;
    // Function ids of lo_open, loread and lo_close; 0 until looked up.
    Oid loOpenFn, loReadFn, loCloseFn;
};

#endif
