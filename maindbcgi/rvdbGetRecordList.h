// Record query of one user table (select list, joins, where, order by,
// optional count, limit and offset) and the conversion of its rows into
// typed cell values.
//
// Result columns are named by the qualified column name of each physical
// column ("a.col00007", "rtblcol00012.file_name"); the record key is always
// selected as "a.rvkey" and always ends the order, so records come in a
// stable order.
//
// Without paging (limit and offset 0) and inside a transaction the rows are
// read through a cursor one row at a time: the result handle then holds at
// most twice RVDB_RECORD_FETCH_BYTES of rows and one row more, whatever the
// order of their sizes, so a whole table never sits in memory.
#ifndef RVDBGETRECORDLIST_H
#define RVDBGETRECORDLIST_H

#include <deque>
#include <vector>

#include "RvdbColumnValue.h"
#include "RvdbRecordList.h"
#include "cddbconnection.h"
#include "cddbconnection_pg.h"
#include "cddbresult.h"
#include "cddbresult_pg.h"
#include "nstring.h"
#include "rvcompair.h"
#include "rvdbSql.h"
#include "rvresult.h"

class CdDBSqlEncoder;

// FETCHes of the streamed record query: at most RVDB_RECORD_FETCH_ROWS rows;
// the first asks for RVDB_RECORD_FIRST_FETCH_ROWS, each next one for at most
// four times the last and as many rows of the last FETCH's largest as
// RVDB_RECORD_FETCH_BYTES hold. Rows come one at a time (single-row mode) and
// are held up to RVDB_RECORD_FETCH_BYTES, read ahead up to as many again.
enum {
    RVDB_RECORD_FETCH_ROWS = 1000,
    RVDB_RECORD_FIRST_FETCH_ROWS = 16,
    RVDB_RECORD_FETCH_BYTES = 4 * 1024 * 1024
};

// Sort pairs are RvPair (column id, order): order "1" ascending, any other
// text descending; the record key is column id "-1".

// Selects the records of table tblId: the physical columns of the sets in
// columnSets whose col_id is in colIds (plus "a.rvkey"), joined and filtered
// as rvdbSql builds them, ordered by sorts and then the record key.
// textCutLength > 0 cuts long "texts" values in the database. limit > 0 and
// offset > 0 page the rows; recordCount (may be null) receives the number of
// matching records. result shares the rows on success (unchanged on
// failure). 0; -100001 a table id that is not a decimal integer of at most 9
// digits or no connection; a builder's or a statement's code.
int rvdbGetRecordList(CdDBConnection* connection, const char* tblId,
                      const RvdbColumnSetList& columnSets, const RvStringList& colIds,
                      int textCutLength, const RvDbSearchFilterList& filters,
                      const RvPairList& sorts, CdDBResultHandle& result, int limit, int offset,
                      int* recordCount);

// statement = "select <select list> from <from>[ where <where>]"; the other
// three outputs are its parts. sortColIds are joined like selected columns.
int rvdbMakeSelectList(const CdDBSqlEncoder* encoder, const char* tblId,
                       const RvdbColumnSetList& columnSets, const RvStringList& colIds,
                       const RvStringList& sortColIds, const RvDbSearchFilterList& filters,
                       int textCutLength, NString& statement, NString& selectList,
                       NString& fromSql, NString& whereSql);

// out = the effective sort list: requested first (when its column id is not
// empty), the base pairs as described below, every order "1" or "0", and
// ("-1", order of the first pair, or "1") at the end when no pair names the
// record key. The base is used whole when requested has no column id, and
// from its second pair on (orders flipped when the requested order differs)
// when its first pair names the requested column. Always 0.
int rvdbMakeSortList(const RvPairList& base, const RvPair& requested, RvPairList& out);

// out = " order by <term>,<term>..." for the sort pairs whose column is among
// the sets (out unchanged for no pairs). A key column sorts plainly, every
// other one with NULLS FIRST (ascending) or NULLS LAST (descending); an image
// column sorts on its file name. 0 or a builder's code.
int rvdbMakeOrderBy(const RvPairList& sorts, const RvdbColumnSetList& columnSets,
                    const CdDBSqlEncoder* encoder, NString& out);

// Appends one value per column set, made by rvdbNewColumnValue and filled
// from the current row of result (a physical column missing from the result
// leaves its text empty). Code 0; -100025 a set without a value class; the
// code of a read or of setText. On failure the values of the row's earlier
// columns stay appended.
RvResult rvdbGetRecordValues(const CdDBResultHandle& result, const CdDBSqlEncoder* encoder,
                             const RvdbColumnSetList& columnSets,
                             std::vector<RvdbColumnValuePtr>& cells);

// Reads rows of one result as rvdbGetRecordValues does, for a fixed list of
// column sets: the qualified name and the result column of every physical
// column are looked up once instead of once per row.
class RvdbRecordValueReader {
public:
    RvdbRecordValueReader(const CdDBResultHandle& result, const CdDBSqlEncoder* encoder,
                          const RvdbColumnSetList& columnSets);
    // rvdbGetRecordValues of the current row of the result.
    RvResult read(std::vector<RvdbColumnValuePtr>& cells);

private:
    struct Slot {
        RvResult nameResult;  // failure of the name lookup, else success
        NString name;
        int column;           // result column, or a getColumnIndex code
    };
    void resolveColumns();

    CdDBResultHandle result;
    RvdbColumnSetList columnSets;
    std::vector<std::vector<Slot>> slots;  // per column set, per physical column
    bool resolved;
    // Per column set: the value of the last row, used again for the next
    // row when nobody else holds it and one setText makes it whole.
    std::vector<RvdbColumnValuePtr> spare;
    std::vector<char> reusable;
};

// list = a new list of columnSets holding the rows of result from the
// current one on, at most maxRows when maxRows > 0. A row is added only
// whole. Code 0 or the failing row's code.
RvResult rvdbFetchRecordList(const CdDBResultHandle& result, const CdDBSqlEncoder* encoder,
                             const RvdbColumnSetList& columnSets, RvdbRecordList& list,
                             int maxRows);

// rvdbGetRecordList over every column of columnSets, then
// rvdbFetchRecordList of all rows into list. 0 or the first failure code.
int rvdbLoadRecordList(CdDBConnection* connection, const char* tblId,
                       const RvdbColumnSetList& columnSets, int textCutLength,
                       RvdbRecordList& list, const RvDbSearchFilterList& filters,
                       const RvPairList& sorts, int limit, int offset, int* recordCount);

// Result of the streamed record query. Each FETCH comes in one row at a
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
// next() ends the rows.
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
    bool isEOF() const override;
    // Rows passed by next() so far.
    int getAffectedRows() const override { return rowsRead; }

    // Statistics: FETCH statements sent, the most rows one FETCH gave, the
    // most bytes of rows held at once (the current row included).
    int getFetchCount() const { return fetchCount; }
    int getMaxBatchRows() const { return maxBatchRows; }
    size_t getMaxBatchBytes() const { return maxBatchBytes; }
    bool isCursorOpen() const { return cursorOpen; }

private:
    typedef std::deque<PGresult*> Rows;

    void finishStream() override;
    CdDBConnection_PG* liveConnection() const;
    // Makes the next row current; no row at the end or on failure.
    void load();
    // Sends the next FETCH; early: ahead of its rows being needed, when a
    // send that fails is left to the FETCH sent later.
    bool sendFetch(bool early);
    // The next result of the open FETCH: 0 and a row, 0 and null at its
    // end, or the code of its failure. At the end of the cursor's rows it
    // is closed, and a failed CLOSE is such a failure.
    int readRow(PGresult*& row);
    // Holds rows of the open FETCH up to RVDB_RECORD_FETCH_BYTES.
    void fill();
    // The rows read ahead become the held ones, or are dropped when the
    // transaction no longer stands.
    void takeAhead();
    void keep(Rows& rows, size_t& bytes, PGresult* row);
    void drop(Rows& rows, size_t& bytes);
    void noteBytes();
    void closeCursor(bool checkExists);
    // CLOSE of the open cursor, leaving the statement that the connection's
    // execute runs alone; 0 or its code.
    int sendClose(CdDBConnection_PG* conn);

    CdDBConnection_PG* connection;
    CdDBConnectionHandle connectionHandle;
    NString cursorName;
    int batchRows;
    int nextRows;    // rows of the next FETCH
    int askedRows;   // rows the open or last FETCH asked for
    int gotRows;     // rows it gave so far
    int status;
    int heldStatus;  // failure that follows the held rows
    int aheadStatus; // failure that follows the rows read ahead
    bool failedEnd;
    bool cursorOpen;
    bool done;        // the cursor has no more rows
    bool streaming;   // a FETCH is coming in
    bool sentAhead;   // that FETCH was sent ahead
    bool dropping;    // rows of the open FETCH were dropped
    bool reposition;  // the cursor has to go back to position
    long long position;  // rows of the cursor taken so far
    size_t largestRow;   // bytes of the largest row of the open or last FETCH
    CdDBResult_PG current;
    size_t currentBytes;
    Rows held;
    size_t heldBytes;
    Rows ahead;
    size_t aheadBytes;
    int rowsRead;
    int fetchCount;
    int maxBatchRows;
    size_t maxBatchBytes;
    std::vector<NString> fieldNames;
};

#endif
