// Query result read through a SQL cursor over the row stream of a
// PostgreSQL connection.
#ifndef CDDBCURSORRESULT_PG_H
#define CDDBCURSORRESULT_PG_H

#include <cstddef>
#include <deque>
#include <vector>

#include "cddbconnection.h"
#include "cddbconnection_pg.h"
#include "cddbresult.h"
#include "cddbresult_pg.h"
#include "nstring.h"

// FETCHes of a streamed cursor: at most RVDB_RECORD_FETCH_ROWS rows;
// the first asks for RVDB_RECORD_FIRST_FETCH_ROWS, each next one for at most
// four times the last and as many rows of the last FETCH's largest as
// RVDB_RECORD_FETCH_BYTES hold. Rows come one at a time (single-row mode)
// and are held up to RVDB_RECORD_FETCH_BYTES of their cells, read ahead up
// to as many again. A row of up to RVDB_KEEP_RESULT_BYTES is copied out of
// its result at once; a larger one stays in it. The blocks of up to
// RVDB_SPARE_ROWS_BYTES of short rows are kept for the next rows.
enum {
    RVDB_RECORD_FETCH_ROWS = 1000,
    RVDB_RECORD_FIRST_FETCH_ROWS = 16,
    RVDB_RECORD_FETCH_BYTES = 4 * 1024 * 1024,
    RVDB_KEEP_RESULT_BYTES = 64 * 1024,
    RVDB_SPARE_ROW_BYTES = 4096,
    RVDB_SPARE_ROWS_BYTES = 1024 * 1024
};

// Result of a query read through a cursor. Each FETCH comes in one row at a
// time: its rows are held up to RVDB_RECORD_FETCH_BYTES and the rest read
// as the held ones are used. Once a FETCH has come in whole, the next one is
// sent ahead; when another statement needs the connection, the rows on
// their way are held while all held rows stay within twice
// RVDB_RECORD_FETCH_BYTES, and the rest are dropped and fetched again (the
// cursor is declared SCROLL to go back to them). Rows read ahead stand only
// while the transaction does. The cursor is closed as soon as its last rows
// have come, in its own transaction. Used through CdDBResultHandle like any
// result. A fetch that fails sets the status once the rows that came before
// the failure are passed; the values of the row then read as that code, and
// next() ends the rows. After a statement that may have ended the declaring
// transaction (COMMIT or ROLLBACK, also AND CHAIN, or ROLLBACK TO
// SAVEPOINT), the server is asked whether the cursor still stands before
// anything more is sent: one that does goes on; for one that is gone,
// nothing more is sent, the rows already read come, then the rows fail.
class RvdbCursorResult : public CdDBResult, private CdDBStreamOwner {
public:
    // Declares cursor cursorName for selectSql on connection (a PostgreSQL
    // connection in a transaction) and reads the first row; batchRows is the
    // most rows of a FETCH. The result's status is 0 or the code of the
    // failed statement.
    RvdbCursorResult(CdDBConnection* connection, const char* cursorName, const char* selectSql,
                     int batchRows);
    ~RvdbCursorResult() override;

    // Drops the rows, closes the cursor, ends the rows.
    void clear() override;
    int getStatus() const override { return status; }
    int getFieldCount() const override;
    int getFieldName(NString& out, int column) const override;
    int getValue(NString& out, int column) const override;
    int peekValue(int column, const char*& text, int& length) const override;
    int exportLob(int column, const char* filePath) override;
    int next() override;
    bool isEOF() const override { return status != 0 ? failedEnd : current == nullptr; }
    // Rows passed by next() so far.
    int getAffectedRows() const override { return rowsRead; }

    // Statistics: FETCH statements sent, the most rows one FETCH gave, the
    // most bytes of rows held at once (the current row included).
    int getFetchCount() const { return fetchCount; }
    int getMaxBatchRows() const { return maxBatchRows; }
    size_t getMaxBatchBytes() const { return maxBatchBytes; }
    bool isCursorOpen() const { return cursorOpen; }
    // Bytes of the row blocks kept for the next rows.
    size_t getSpareBytes() const { return spareBytes; }
    // Bytes of the blocks (and results) of the rows held now, the current
    // row's included, and those rows' own bytes.
    void getHeldBlocks(size_t& blockBytes, size_t& rowBytes) const;

private:
    struct Row;
    typedef std::deque<Row*> Rows;

    void finishStream() override;
    CdDBConnection_PG* liveConnection() const;
    // The connection while the cursor stands in it; null once it is gone
    // with its transaction or savepoint (asked of the server after a
    // statement that may have ended either).
    CdDBConnection_PG* ownConnection();
    // Whether the server still holds this very cursor (its name and its
    // DECLARE, which no other cursor shares); asked in a usable
    // transaction only.
    bool stillDeclared(CdDBConnection_PG* conn);
    // Makes the next row current; no row at the end or on failure.
    void load();
    // Sends the next FETCH; early: ahead of its rows being needed, when a
    // send that fails is left to the FETCH sent later.
    bool sendFetch(bool early);
    // The next result of the open FETCH: 0 and a row, 0 and null at its
    // end, or the code of its failure. At the end of the cursor's rows it
    // is closed, and a failed CLOSE is such a failure.
    int readRow(Row*& row);
    // Holds rows of the open FETCH up to RVDB_RECORD_FETCH_BYTES.
    void fill();
    // The rows read ahead become the held ones, or are dropped when the
    // transaction no longer stands.
    void takeAhead();
    void keep(Rows& rows, size_t& bytes, Row* row);
    // The row of a single-row result, which it holds or clears; null when
    // memory runs out.
    Row* takeRow(PGresult* result);
    // Blocks of rows: freed ones of up to RVDB_SPARE_ROW_BYTES are kept
    // for the next rows of about their size while the kept blocks stay
    // within RVDB_SPARE_ROWS_BYTES.
    Row* allocRow(size_t bytes);
    void freeRow(Row* row);
    // The current row's value, or the code why there is none; text null
    // for SQL NULL.
    int currentValue(int column, const char*& text, int& length) const;
    void drop(Rows& rows, size_t& bytes);
    void noteBytes();
    void closeCursor(bool checkExists);
    // CLOSE of the open cursor, leaving the statement that the connection's
    // execute runs alone; 0 or its code.
    int sendClose(CdDBConnection_PG* conn);

    CdDBConnection_PG* connection;
    CdDBConnectionHandle connectionHandle;
    NString cursorName;
    NString declareSql;  // as sent, marked with the cursor's own number
    int batchRows;
    int nextRows;    // rows of the next FETCH
    int askedRows;   // rows the open or last FETCH asked for
    int gotRows;     // rows it gave so far
    int status;
    int heldStatus;  // failure that follows the held rows
    int aheadStatus; // failure that follows the rows read ahead
    bool failedEnd;
    bool cursorOpen;
    bool lost;        // the server no longer holds the cursor
    bool done;        // the cursor has no more rows
    bool streaming;   // a FETCH is coming in
    bool sentAhead;   // that FETCH was sent ahead
    bool dropping;    // rows of the open FETCH were dropped
    bool reposition;  // the cursor has to go back to position
    long long position;  // rows of the cursor taken so far
    size_t largestRow;   // bytes of the largest row of the open or last FETCH
    Row* current;
    size_t currentBytes;
    Rows held;
    size_t heldBytes;
    Rows ahead;
    size_t aheadBytes;
    int rowsRead;
    unsigned transaction;  // transaction serial when the cursor was last known to stand
    int fetchCount;
    int maxBatchRows;
    size_t maxBatchBytes;
    std::vector<NString> fieldNames;
    std::vector<Oid> fieldTypes;       // type per column
    std::vector<int> cellLengths;      // of the row being copied; -1 for NULL
    std::vector<Row*> spareRows;
    size_t spareBytes;
};

#endif
