#include "cddbcursorresult_pg.h"

#include <libpq-fe.h>

#include <cstdlib>
#include <cstring>

namespace {

CdDBResultHandle runStatement(CdDBConnection* connection, const char* sql)
{
    connection->setSql(sql);
    return connection->execute();
}

// Numbers the cursors' DECLAREs, so that no two of a session read alike.
unsigned nextDeclareNumber()
{
    static unsigned declared = 0;
    return ++declared;
}

}  // namespace

// A row in one block: this head, where each column's text lies and its
// length (-1 for SQL NULL), then the texts, each ended by a NUL. A large
// row's texts stay in its result, which the row then holds.
struct RvdbCursorResult::Row {
    struct Cell {
        const char* text;
        int length;
    };
    size_t bytes;      // of the row's cells as a copy would hold them
    size_t capacity;   // of the block
    PGresult* result;  // holding the texts, or null
    int cells;

    const Cell* cell() const { return reinterpret_cast<const Cell*>(this + 1); }
    Cell* cell() { return reinterpret_cast<Cell*>(this + 1); }
};

RvdbCursorResult::RvdbCursorResult(CdDBConnection* conn, const char* name, const char* selectSql,
                                   int rowsPerBatch)
    : connection(dynamic_cast<CdDBConnection_PG*>(conn)),
      cursorName(name != nullptr ? name : ""),
      batchRows(rowsPerBatch > 0 ? rowsPerBatch : RVDB_RECORD_FETCH_ROWS),
      nextRows(batchRows < RVDB_RECORD_FIRST_FETCH_ROWS ? batchRows : RVDB_RECORD_FIRST_FETCH_ROWS),
      askedRows(0),
      gotRows(0),
      status(0),
      heldStatus(0),
      aheadStatus(0),
      failedEnd(false),
      cursorOpen(false),
      lost(false),
      done(false),
      streaming(false),
      sentAhead(false),
      dropping(false),
      reposition(false),
      position(0),
      largestRow(0),
      current(nullptr),
      currentBytes(0),
      heldBytes(0),
      aheadBytes(0),
      rowsRead(0),
      transaction(0),
      fetchCount(0),
      maxBatchRows(0),
      maxBatchBytes(0),
      spareBytes(0)
{
    if (connection != nullptr) {
        connectionHandle = connection->getHandle();
    }
    if (connection == nullptr || selectSql == nullptr || cursorName.isNullOrEmpty()) {
        status = CDDB_ERR_ARG;
        return;
    }
    NStringBuffer sql(4096);
    sql.appendf("DECLARE %s SCROLL CURSOR /* rvdbcursor %u */ FOR %s", cursorName.c_str(),
                nextDeclareNumber(), selectSql);
    declareSql = NString(sql.c_str());
    CdDBResultHandle r = runStatement(connection, sql.c_str());
    if (r->isError()) {
        status = r->getStatus();
        return;
    }
    cursorOpen = true;
    transaction = connection->getTransactionSerial();
    load();
}

RvdbCursorResult::~RvdbCursorResult()
{
    clear();
}

CdDBConnection_PG* RvdbCursorResult::liveConnection() const
{
    return connectionHandle.get() != nullptr ? connection : nullptr;
}

CdDBConnection_PG* RvdbCursorResult::ownConnection()
{
    CdDBConnection_PG* pg = liveConnection();
    if (pg == nullptr || lost) {
        return nullptr;
    }
    if (pg->getTransactionSerial() == transaction) {
        return pg;
    }
    // Left, aborted or begun anew: nothing is sent, whether it stands or not.
    if (!pg->inUsableTransaction()) {
        return nullptr;
    }
    return stillDeclared(pg) ? pg : nullptr;
}

bool RvdbCursorResult::stillDeclared(CdDBConnection_PG* conn)
{
    // A function, not the view: asking takes no lock that lasts.
    int rows = 0;
    int ret = conn->executeQuery("select 1 from pg_catalog.pg_cursor() c where c.name = $1 and c.statement = $2",
                                 { cursorName.c_str(), declareSql.c_str() }, rows);
    if (ret != 0 || rows == 0) {
        lost = ret == 0;
        return false;
    }
    transaction = conn->getTransactionSerial();
    return true;
}

void RvdbCursorResult::noteBytes()
{
    size_t bytes = heldBytes + aheadBytes + currentBytes;
    if (bytes > maxBatchBytes) {
        maxBatchBytes = bytes;
    }
}

void RvdbCursorResult::keep(Rows& rows, size_t& bytes, Row* row)
{
    rows.push_back(row);
    bytes += row->bytes;
    position++;
    noteBytes();
}

void RvdbCursorResult::drop(Rows& rows, size_t& bytes)
{
    for (Row* row : rows) {
        freeRow(row);
    }
    rows.clear();
    bytes = 0;
}

RvdbCursorResult::Row* RvdbCursorResult::takeRow(PGresult* result)
{
    const int n = PQnfields(result);
    cellLengths.resize(static_cast<size_t>(n));
    const size_t head = sizeof(Row) + static_cast<size_t>(n) * sizeof(Row::Cell);
    size_t bytes = head;
    for (int i = 0; i < n; i++) {
        int length = PQgetlength(result, 0, i);
        if (length == 0 && PQgetisnull(result, 0, i)) {
            length = -1;
        }
        cellLengths[static_cast<size_t>(i)] = length;
        bytes += length < 0 ? 0 : static_cast<size_t>(length) + 1;
    }
    // A large row stays in its result: a copy would cost as much again.
    // Short rows are copied and the result cleared at once, so that its
    // blocks serve the next row's result.
    const bool keepResult = bytes > RVDB_KEEP_RESULT_BYTES;
    Row* row = allocRow(keepResult ? head : bytes);
    if (row == nullptr) {
        PQclear(result);
        return nullptr;
    }
    row->bytes = bytes;
    row->cells = n;
    row->result = keepResult ? result : nullptr;
    Row::Cell* cells = row->cell();
    char* to = reinterpret_cast<char*>(row) + head;
    for (int i = 0; i < n; i++) {
        const int length = cellLengths[static_cast<size_t>(i)];
        cells[i].length = length;
        cells[i].text = nullptr;
        if (length < 0) {
            continue;
        }
        const char* from = PQgetvalue(result, 0, i);
        if (keepResult) {
            cells[i].text = from;
            continue;
        }
        std::memcpy(to, from, static_cast<size_t>(length));
        to[length] = '\0';
        cells[i].text = to;
        to += static_cast<size_t>(length) + 1;
    }
    if (!keepResult) {
        PQclear(result);
    }
    return row;
}

RvdbCursorResult::Row* RvdbCursorResult::allocRow(size_t bytes)
{
    // Rounded up, so that a block serves the rows of about its size.
    const size_t capacity = bytes <= RVDB_SPARE_ROW_BYTES ? (bytes + 63) / 64 * 64 : bytes;
    if (!spareRows.empty()) {
        Row* row = spareRows.back();
        spareRows.pop_back();
        spareBytes -= row->capacity;
        // A block much larger than the row would hold memory the held
        // bytes do not count: the kept blocks follow the rows' size.
        if (row->capacity >= capacity && row->capacity - capacity <= 64) {
            return row;
        }
        std::free(row);
    }
    Row* row = static_cast<Row*>(std::malloc(capacity));
    if (row != nullptr) {
        row->capacity = capacity;
    }
    return row;
}

void RvdbCursorResult::freeRow(Row* row)
{
    if (row == nullptr) {
        return;
    }
    if (row->result != nullptr) {
        PQclear(row->result);
        row->result = nullptr;
    }
    if (row->capacity <= RVDB_SPARE_ROW_BYTES &&
        spareBytes + row->capacity <= RVDB_SPARE_ROWS_BYTES) {
        spareRows.push_back(row);
        spareBytes += row->capacity;
        return;
    }
    std::free(row);
}

void RvdbCursorResult::getHeldBlocks(size_t& blockBytes, size_t& rowBytes) const
{
    blockBytes = 0;
    rowBytes = 0;
    auto add = [&](const Row* row) {
        blockBytes += row->capacity + (row->result != nullptr ? row->bytes : 0);
        rowBytes += row->bytes;
    };
    if (current != nullptr) {
        add(current);
    }
    for (const Row* row : held) {
        add(row);
    }
    for (const Row* row : ahead) {
        add(row);
    }
}

bool RvdbCursorResult::sendFetch(bool early)
{
    // The cursor went with its transaction: nothing is sent into the next.
    CdDBConnection_PG* pg = ownConnection();
    if (pg == nullptr) {
        if (!early) {
            status = liveConnection() != nullptr ? CDDB_ERR_DB : CDDB_ERR_NO_RESULT;
            cursorOpen = false;
        }
        return false;
    }
    NString sql;
    if (reposition) {
        sql.format("MOVE ABSOLUTE %lld FROM %s", position, cursorName.c_str());
        CdDBResultHandle r = runStatement(pg, sql.c_str());
        if (r->isError()) {
            status = r->getStatus();
            cursorOpen = false;  // the transaction is aborted; its end drops the cursor
            return false;
        }
        reposition = false;
    }
    sql.format("FETCH FORWARD %d FROM %s", nextRows, cursorName.c_str());
    if (pg->sendStream(sql.c_str(), this) != 0) {
        if (!early) {
            status = CDDB_ERR_DB;
            cursorOpen = false;
        }
        return false;
    }
    fetchCount++;
    askedRows = nextRows;
    gotRows = 0;
    dropping = false;
    largestRow = 0;
    streaming = true;
    sentAhead = early;
    return true;
}

int RvdbCursorResult::readRow(Row*& row)
{
    CdDBConnection_PG* pg = liveConnection();
    row = nullptr;
    PGresult* res = nullptr;
    int code = pg != nullptr ? pg->nextStreamResult(res) : CDDB_ERR_NO_RESULT;
    if (code != 0) {
        streaming = false;
        cursorOpen = false;  // the transaction is aborted; its end drops the cursor
        if (pg != nullptr) {
            pg->endStream(this);
        }
        return code;
    }
    if (fieldNames.empty()) {
        int n = PQnfields(res);
        for (int i = 0; i < n; i++) {
            fieldNames.push_back(NString(static_cast<const char*>(PQfname(res, i))));
            fieldTypes.push_back(PQftype(res, i));
        }
    }
    if (PQresultStatus(res) == PGRES_SINGLE_TUPLE) {
        row = takeRow(res);
        if (row == nullptr) {
            streaming = false;
            cursorOpen = false;  // left to the transaction's end
            pg->endStream(this);
            return CDDB_ERR_MEMORY;
        }
        gotRows++;
        if (row->bytes > largestRow) {
            largestRow = row->bytes;
        }
        return 0;
    }
    // The end of the FETCH: fewer rows than asked is the end of the cursor,
    // unless rows were dropped to be fetched again.
    PQclear(res);
    streaming = false;
    if (gotRows > maxBatchRows) {
        maxBatchRows = gotRows;
    }
    bool atEnd = !dropping && gotRows < askedRows;
    if (dropping) {
        reposition = true;
    } else if (atEnd) {
        done = true;
    }
    // The next FETCH grows while rows are small and shrinks after large ones.
    size_t rows = static_cast<size_t>(askedRows) * 4;
    if (largestRow > 0 && rows > RVDB_RECORD_FETCH_BYTES / largestRow) {
        rows = RVDB_RECORD_FETCH_BYTES / largestRow;
    }
    if (rows > static_cast<size_t>(batchRows)) {
        rows = static_cast<size_t>(batchRows);
    }
    nextRows = rows < 1 ? 1 : static_cast<int>(rows);
    // Closed at once, in the cursor's transaction: the caller's next
    // statement may end that transaction.
    return atEnd ? sendClose(pg) : 0;
}

void RvdbCursorResult::fill()
{
    sentAhead = false;
    // The end of a FETCH whose rows have all come is read with them: the next
    // FETCH can then go out while they are used.
    while (streaming && (heldBytes < RVDB_RECORD_FETCH_BYTES || gotRows == askedRows)) {
        Row* row = nullptr;
        int code = readRow(row);
        if (code != 0) {
            heldStatus = code;  // after the rows that came before it
            return;
        }
        if (row == nullptr) {
            return;
        }
        keep(held, heldBytes, row);
    }
}

void RvdbCursorResult::finishStream()
{
    // Another statement waits for the connection: the rest of the FETCH is
    // held while all held rows fit in twice RVDB_RECORD_FETCH_BYTES, and
    // dropped after that.
    Rows& rows = sentAhead ? ahead : held;
    size_t& bytes = sentAhead ? aheadBytes : heldBytes;
    while (streaming) {
        Row* row = nullptr;
        int code = readRow(row);
        if (code != 0) {
            (sentAhead ? aheadStatus : heldStatus) = code;
            return;
        }
        if (row == nullptr) {
            return;
        }
        if (!dropping &&
            heldBytes + aheadBytes + row->bytes <= 2 * size_t(RVDB_RECORD_FETCH_BYTES)) {
            keep(rows, bytes, row);
        } else {
            dropping = true;
            freeRow(row);
        }
    }
}

void RvdbCursorResult::takeAhead()
{
    if (aheadStatus == 0 && (liveConnection() == nullptr || !connection->inUsableTransaction())) {
        // Read before a statement that ended or aborted the transaction:
        // fetched again, they fail as they would have.
        position -= static_cast<long long>(ahead.size());
        drop(ahead, aheadBytes);
        if (!cursorOpen) {
            // Closed at its end: with its transaction gone it cannot be
            // read again.
            status = liveConnection() != nullptr ? CDDB_ERR_DB : CDDB_ERR_NO_RESULT;
            return;
        }
        reposition = true;
        done = false;
        return;
    }
    held.swap(ahead);
    heldBytes = aheadBytes;
    aheadBytes = 0;
    heldStatus = aheadStatus;
    aheadStatus = 0;
}

void RvdbCursorResult::load()
{
    freeRow(current);
    current = nullptr;
    currentBytes = 0;
    while (status == 0 && held.empty()) {
        if (heldStatus != 0) {
            status = heldStatus;
        } else if (!ahead.empty() || aheadStatus != 0) {
            takeAhead();
        } else if (streaming) {
            fill();
        } else if (done || !cursorOpen) {
            closeCursor(false);
            return;
        } else if (!sendFetch(false)) {
            return;
        }
    }
    if (held.empty()) {
        return;
    }
    current = held.front();
    held.pop_front();
    currentBytes = current->bytes;
    heldBytes -= currentBytes;
    if (!streaming && ahead.empty() && !done && !reposition && cursorOpen && heldStatus == 0 &&
        aheadStatus == 0) {
        sendFetch(true);  // the server makes the next rows while these are used
    }
}

void RvdbCursorResult::closeCursor(bool checkExists)
{
    CdDBConnection_PG* conn = liveConnection();
    streaming = false;
    sentAhead = false;
    if (conn != nullptr) {
        conn->endStream(this);  // the rest of the FETCH is not wanted
    }
    if (!cursorOpen) {
        return;
    }
    if (conn == nullptr || lost) {
        cursorOpen = false;
        return;
    }
    if (checkExists) {
        // Closing a cursor that is gone (with its transaction or savepoint,
        // or closed by a caller) would abort the transaction now running:
        // close only what is still open.
        if (!conn->inUsableTransaction() || !stillDeclared(conn)) {
            cursorOpen = false;
            return;
        }
    }
    sendClose(conn);
}

int RvdbCursorResult::sendClose(CdDBConnection_PG* conn)
{
    cursorOpen = false;
    if (conn != ownConnection()) {
        return CDDB_ERR_DB;  // dropped with its transaction
    }
    NString sql;
    sql.format("CLOSE %s", cursorName.c_str());
    return conn->executeCommand(sql.c_str());
}

void RvdbCursorResult::clear()
{
    freeRow(current);
    current = nullptr;
    currentBytes = 0;
    drop(held, heldBytes);
    drop(ahead, aheadBytes);
    for (Row* row : spareRows) {
        std::free(row);
    }
    spareRows.clear();
    spareBytes = 0;
    closeCursor(true);
    done = true;
}

int RvdbCursorResult::getFieldCount() const
{
    return static_cast<int>(fieldNames.size());
}

int RvdbCursorResult::getFieldName(NString& out, int column) const
{
    if (fieldNames.empty()) {
        return CDDB_ERR_NO_RESULT;
    }
    if (column < 0 || column >= static_cast<int>(fieldNames.size())) {
        return CDDB_ERR_FIELD;
    }
    out = fieldNames[column];
    return 0;
}

int RvdbCursorResult::currentValue(int column, const char*& text, int& length) const
{
    text = nullptr;
    length = 0;
    if (status != 0) {
        return status;
    }
    if (current == nullptr) {
        return fieldNames.empty() ? CDDB_ERR_NO_RESULT : CDDB_ERR_EOF;
    }
    if (column < 0 || column >= current->cells ||
        static_cast<size_t>(column) >= fieldTypes.size()) {
        return CDDB_ERR_VALUE;
    }
    const Row::Cell& cell = current->cell()[column];
    if (cell.length >= 0) {
        text = cell.text;
        length = cell.length;
    }
    return 0;
}

int RvdbCursorResult::getValue(NString& out, int column) const
{
    return copyPeekedValue(out, column);
}

int RvdbCursorResult::peekValue(int column, const char*& text, int& length) const
{
    int ret = currentValue(column, text, length);
    if (ret == 0 && fieldTypes[static_cast<size_t>(column)] == CdDBResult_PG::OID_BYTEA) {
        text = nullptr;
        length = 0;
        return CDDB_ERR_VALUE;
    }
    return ret;
}

int RvdbCursorResult::exportLob(int column, const char* filePath)
{
    const char* text = nullptr;
    int length = 0;
    int ret = currentValue(column, text, length);
    if (ret != 0) {
        return ret;
    }
    return CdDBResult_PG::exportLobValue(connectionHandle, fieldTypes[static_cast<size_t>(column)],
                                         text, filePath);
}

int RvdbCursorResult::next()
{
    if (status != 0) {
        failedEnd = true;
        return status;
    }
    if (current == nullptr) {
        return 0;
    }
    rowsRead++;
    load();
    return status;
}
