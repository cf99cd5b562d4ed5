#include "rvdbGetRecordList.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include <libpq-fe.h>

#include "cddbconnection.h"
#include "cddbconnection_pg.h"
#include "cddbsqlencoder.h"
#include "comtrace.h"
#include "rvdbcolumnset.h"

namespace {

const char* const KEY_COLUMN_ID = "-1";
const char* const KEY_QUALIFIED_NAME = "a.rvkey";

bool sameText(const NString& a, const char* b)
{
    return strcmp(a.c_str(), b) == 0;
}

// A table id that may stand in a table name: 1 to 9 decimal digits.
bool isTableId(const char* text)
{
    if (text == nullptr || *text == '\0') {
        return false;
    }
    size_t n = strlen(text);
    if (n > 9) {
        return false;
    }
    for (size_t i = 0; i < n; i++) {
        if (text[i] < '0' || text[i] > '9') {
            return false;
        }
    }
    return true;
}

bool containsId(const RvStringList& ids, const NString& id)
{
    for (const NString& s : ids) {
        if (strcmp(s.c_str(), id.c_str()) == 0) {
            return true;
        }
    }
    return false;
}

const RvdbColumnSet* findColumnSet(const RvdbColumnSetList& sets, const NString& colId)
{
    for (const RvdbColumnSetPtr& p : sets) {
        if (p.hasObject() && strcmp(p->getColId().c_str(), colId.c_str()) == 0) {
            return p.get();
        }
    }
    return nullptr;
}

CdDBResultHandle runStatement(CdDBConnection* connection, const char* sql)
{
    connection->setSql(sql);
    return connection->execute();
}

// True when the connection is inside a transaction that still takes
// statements.
bool inUsableTransaction(CdDBConnection* connection)
{
    CdDBConnection_PG* pg = dynamic_cast<CdDBConnection_PG*>(connection);
    if (pg != nullptr) {
        return pg->getPGconn() != nullptr &&
               PQtransactionStatus(pg->getPGconn()) == PQTRANS_INTRANS;
    }
    return connection->inTransaction();
}

NString normalizeOrder(const NString& order)
{
    return NString(sameText(order, "1") ? "1" : "0");
}

NString flipOrder(const NString& order)
{
    return NString(sameText(order, "1") ? "0" : "1");
}

// value holds exactly the length bytes at text (null text: SQL NULL, which
// a null value holds).
bool holdsText(const NString& value, const char* text, int length)
{
    if (text == nullptr || value.isNull()) {
        return text == nullptr && value.isNull();
    }
    const char* cur = value.c_str();
    for (int i = 0; i < length; i++) {
        if (cur[i] != text[i] || text[i] == '\0') {
            return false;
        }
    }
    return cur[length] == '\0';
}

unsigned nextCursorNumber()
{
    static unsigned counter = 0;
    return ++counter;
}

}  // namespace

// ---------------------------------------------------------------------------
// Record query

int rvdbMakeSelectList(const CdDBSqlEncoder* encoder, const char* tblId,
                       const RvdbColumnSetList& columnSets, const RvStringList& colIds,
                       const RvStringList& sortColIds, const RvDbSearchFilterList& filters,
                       int textCutLength, NString& statement, NString& selectList,
                       NString& fromSql, NString& whereSql)
{
    NStringBuffer items(4096);
    bool hasKey = false;
    for (const RvdbColumnSetPtr& cs : columnSets) {
        if (!cs.hasObject() || !containsId(colIds, cs->getColId())) {
            continue;
        }
        const std::vector<RvdbInnerColumn>& inner = cs->getInnerColumns();
        for (size_t i = 0; i < inner.size(); i++) {
            NString expr;
            RvResult res = rvdbGetSelectExpression(*cs, inner[i], encoder, expr);
            if (res.isError()) {
                COMTRACE("iret[%d]", res.getCode());
                return res.getCode();
            }
            NString name;
            res = rvdbGetQualifiedColumnName(*cs, inner[i], encoder, name);
            if (res.isError()) {
                COMTRACE("iret[%d]", res.getCode());
                return res.getCode();
            }
            if (i == 0 && textCutLength > 0 && sameText(cs->getRelColType(), RVDB_TYPE_TEXTS)) {
                NString cut;
                cut.format("case when length(%s)>%d then substring(%s,0,%d) || ' ...' else %s end",
                           expr.c_str(), textCutLength, expr.c_str(), textCutLength, expr.c_str());
                expr = cut;
            }
            if (sameText(name, KEY_QUALIFIED_NAME)) {
                hasKey = true;
            }
            if (items.length() > 0) {
                items.append(",");
            }
            items.appendf("%s as \"%s\"", expr.c_str(), name.c_str());
        }
    }
    // The record key is always read: callers identify and order records by it.
    if (!hasKey) {
        if (items.length() > 0) {
            items.append(",");
        }
        items.appendf("%s as \"%s\"", KEY_QUALIFIED_NAME, KEY_QUALIFIED_NAME);
    }

    NString from;
    RvResult res = rvdbMakeFromSql(NString(tblId), colIds, filters, columnSets, from, &sortColIds);
    if (res.isError()) {
        COMTRACE("iret[%d]", res.getCode());
        return res.getCode();
    }
    NString where;
    res = rvdbMakeWhereSql(encoder, columnSets, filters, where);
    if (res.isError()) {
        COMTRACE("iret[%d]", res.getCode());
        return res.getCode();
    }

    NStringBuffer whole(4096);
    whole.appendf("select %s from %s", items.c_str(), from.c_str());
    if (!where.isNullOrEmpty()) {
        whole.appendf(" where %s", where.c_str());
    }
    statement = NString(whole.detach());
    selectList = NString(items.detach());
    fromSql = from;
    whereSql = where;
    return 0;
}

int rvdbMakeSortList(const RvPairList& base, const RvPair& requested, RvPairList& out)
{
    if (requested.first.isNullOrEmpty()) {
        for (const RvPair& p : base) {
            if (!p.first.isNullOrEmpty()) {
                out.push_back(RvPair(p.first, normalizeOrder(p.second)));
            }
        }
    } else {
        out.push_back(RvPair(requested.first, normalizeOrder(requested.second)));
        if (!base.empty() && strcmp(base[0].first.c_str(), requested.first.c_str()) == 0) {
            bool flip = strcmp(base[0].second.c_str(), requested.second.c_str()) != 0;
            for (size_t i = 1; i < base.size(); i++) {
                if (base[i].first.isNullOrEmpty()) {
                    continue;
                }
                NString order = normalizeOrder(base[i].second);
                out.push_back(RvPair(base[i].first, flip ? flipOrder(order) : order));
            }
        }
    }
    for (const RvPair& p : out) {
        if (sameText(p.first, KEY_COLUMN_ID)) {
            return 0;
        }
    }
    out.push_back(RvPair(NString(KEY_COLUMN_ID), out.empty() ? NString("1") : out[0].second));
    return 0;
}

int rvdbMakeOrderBy(const RvPairList& sorts, const RvdbColumnSetList& columnSets,
                    const CdDBSqlEncoder* encoder, NString& out)
{
    if (sorts.empty()) {
        return 0;
    }
    NStringBuffer buf(4096);
    bool first = true;
    for (const RvPair& p : sorts) {
        bool ascending = sameText(p.second, "1");
        NString name;
        bool isKey = false;
        const RvdbColumnSet* cs = findColumnSet(columnSets, p.first);
        if (cs == nullptr) {
            // The record key sorts even without its column definition.
            if (!sameText(p.first, KEY_COLUMN_ID)) {
                continue;
            }
            name = KEY_QUALIFIED_NAME;
            isKey = true;
        } else {
            const std::vector<RvdbInnerColumn>& inner = cs->getInnerColumns();
            size_t index = sameText(cs->getRelColType(), RVDB_TYPE_IMAGE) ? 1 : 0;
            if (index >= inner.size()) {
                continue;
            }
            RvResult res = rvdbGetQualifiedColumnName(*cs, inner[index], encoder, name);
            if (res.isError()) {
                COMTRACE("iret[%d]", res.getCode());
                return res.getCode();
            }
            isKey = sameText(cs->getRelColType(), RVDB_TYPE_KEY);
        }
        buf.append(first ? " order by " : ",");
        first = false;
        if (isKey) {
            buf.appendf("%s %s", name.c_str(), ascending ? "" : "desc");
        } else {
            buf.appendf("%s %s NULLS %s", name.c_str(), ascending ? "" : "desc",
                        ascending ? "FIRST" : "LAST");
        }
    }
    out = NString(buf.detach());
    return 0;
}

int rvdbGetRecordList(CdDBConnection* connection, const char* tblId,
                      const RvdbColumnSetList& columnSets, const RvStringList& colIds,
                      int textCutLength, const RvDbSearchFilterList& filters,
                      const RvPairList& sorts, CdDBResultHandle& result, int limit, int offset,
                      int* recordCount)
{
    if (connection == nullptr || !isTableId(tblId)) {
        COMTRACE("tblid[%s]", tblId != nullptr ? tblId : "");
        return RVDB_ERR_ARG;
    }
    const CdDBSqlEncoder* encoder = connection->getSqlEncoder();
    RvStringList sortColIds;
    for (const RvPair& p : sorts) {
        sortColIds.push_back(p.first);
    }

    NString statement, selectList, fromSql, whereSql;
    int iret = rvdbMakeSelectList(encoder, tblId, columnSets, colIds, sortColIds, filters,
                                  textCutLength, statement, selectList, fromSql, whereSql);
    if (iret != 0) {
        COMTRACE("iret[%d]", iret);
        return iret;
    }
    RvPairList effective;
    iret = rvdbMakeSortList(sorts, RvPair(), effective);
    if (iret != 0) {
        COMTRACE("iret[%d]", iret);
        return iret;
    }
    NString orderBy;
    iret = rvdbMakeOrderBy(effective, columnSets, encoder, orderBy);
    if (iret != 0) {
        COMTRACE("iret[%d]", iret);
        return iret;
    }

    CdDBResultHandle r = runStatement(connection, "SET enable_seqscan TO off;");
    if (r->isError()) {
        COMTRACE("%s", "");
        return r->getStatus();
    }
    r->clear();

    bool hasWhere = !whereSql.isNullOrEmpty();
    if (recordCount != nullptr) {
        NString sql;
        sql.format("select count(%s) from %s%s%s", KEY_QUALIFIED_NAME, fromSql.c_str(),
                   hasWhere ? " where " : "", hasWhere ? whereSql.c_str() : "");
        CdDBResultHandle c = runStatement(connection, sql.c_str());
        if (c->isError()) {
            COMTRACE("%s", "");
            return c->getStatus();
        }
        NString text;
        int ret = c->getValue(text, 0);
        if (ret != 0) {
            COMTRACE("%s", "");
            return ret;
        }
        errno = 0;
        long n = strtol(text.c_str(), nullptr, 10);
        if (errno != 0 || n > INT_MAX) {
            n = INT_MAX;
        }
        *recordCount = static_cast<int>(n);
    }

    NStringBuffer page(4096);
    page.appendf("select %s from %s %s%s %s", selectList.c_str(), fromSql.c_str(),
                 hasWhere ? "where " : "", hasWhere ? whereSql.c_str() : "", orderBy.c_str());
    if (limit > 0) {
        page.appendf(" limit %d", limit);
    }
    if (offset > 0) {
        page.appendf(" offset %d", offset);
    }

    CdDBResultHandle rows;
    if (limit <= 0 && offset <= 0 && inUsableTransaction(connection)) {
        // A whole table: read it through a cursor, one batch at a time.
        NString cursor;
        cursor.format("rvdbreccur%u", nextCursorNumber());
        rows = CdDBResultHandle(
            new RvdbCursorResult(connection, cursor.c_str(), page.c_str(), RVDB_RECORD_FETCH_ROWS));
    } else {
        rows = runStatement(connection, page.c_str());
    }
    if (rows->isError()) {
        COMTRACE("%s", "");
        return rows->getStatus();
    }
    result = rows;

    r = runStatement(connection, "SET enable_seqscan TO on;");
    if (r->isError()) {
        COMTRACE("%s", "");
        return r->getStatus();
    }
    r->clear();
    return 0;
}

// ---------------------------------------------------------------------------
// Record fetch

RvdbRecordValueReader::RvdbRecordValueReader(const CdDBResultHandle& rows,
                                             const CdDBSqlEncoder* encoder,
                                             const RvdbColumnSetList& sets)
    : result(rows), columnSets(sets), resolved(false)
{
    slots.resize(columnSets.size());
    for (size_t k = 0; k < columnSets.size(); k++) {
        const RvdbColumnSetPtr& cs = columnSets[k];
        if (!cs.hasObject()) {
            continue;  // read() refuses it before any name is needed
        }
        const std::vector<RvdbInnerColumn>& inner = cs->getInnerColumns();
        slots[k].resize(inner.size());
        for (size_t i = 0; i < inner.size(); i++) {
            Slot& slot = slots[k][i];
            slot.column = CDDB_ERR_NO_COLUMN;
            slot.nameResult = rvdbGetQualifiedColumnName(*cs, inner[i], encoder, slot.name);
            if (slot.nameResult.isError()) {
                break;  // read() stops at this column
            }
        }
    }
}

void RvdbRecordValueReader::resolveColumns()
{
    if (resolved || !result) {
        return;
    }
    for (std::vector<Slot>& set : slots) {
        for (Slot& slot : set) {
            if (!slot.nameResult.isError()) {
                slot.column = result->getColumnIndex(slot.name.c_str());
            }
        }
    }
    // A result that knows no column names yet (a cursor before its first
    // batch) is asked again on the next row.
    resolved = result->getFieldCount() > 0;
    if (!resolved) {
        return;
    }
    spare.assign(columnSets.size(), RvdbColumnValuePtr(nullptr));
    reusable.assign(columnSets.size(), 0);
    for (size_t k = 0; k < columnSets.size(); k++) {
        // Kinds whose whole content is the one text that setText(0) replaces.
        if (slots[k].size() != 1 || slots[k][0].column < 0) {
            continue;
        }
        RvdbColumnValuePtr probe(rvdbNewColumnValue(columnSets[k]));
        if (!probe) {
            continue;
        }
        switch (probe->getType()) {
        case RVDB_VALUE_KEY:
        case RVDB_VALUE_TEXT:
        case RVDB_VALUE_TEXTS:
        case RVDB_VALUE_NUMBER:
        case RVDB_VALUE_MAIL:
        case RVDB_VALUE_USER:
        case RVDB_VALUE_SELECT:
        case RVDB_VALUE_SELECTS:
        case RVDB_VALUE_DATETIME:
            reusable[k] = 1;
            break;
        default:
            break;
        }
    }
}

RvResult RvdbRecordValueReader::read(std::vector<RvdbColumnValuePtr>& cells)
{
    if (!result) {
        COMTRACE("%s", "");
        return RvResult(RVDB_ERR_ARG);
    }
    resolveColumns();
    for (size_t k = 0; k < columnSets.size(); k++) {
        const RvdbColumnSetPtr& cs = columnSets[k];
        if (resolved && reusable[k] && spare[k] && spare[k].useCount() == 1) {
            // Only this reader holds last row's value: its one text is
            // replaced, which leaves it as a new value would be.
            const Slot& slot = slots[k][0];
            const char* raw = nullptr;
            int rawLength = 0;
            NString text;
            int ret = result->peekValue(slot.column, raw, rawLength);
            if (ret == 0) {
                const NString* held = spare[k]->valuePtr(0);
                if (held != nullptr && holdsText(*held, raw, rawLength)) {
                    cells.push_back(spare[k]);  // the same text as last row's
                    continue;
                }
                // Result texts hold no NUL: their length is known.
                if (raw != nullptr) {
                    text = NString::fromBytes(raw, static_cast<size_t>(rawLength));
                }
            } else {
                ret = result->getValue(text, slot.column);
            }
            if (ret == 0) {
                ret = spare[k]->setText(0, text);
            }
            if (ret == 0) {
                cells.push_back(spare[k]);
                continue;
            }
            spare[k] = RvdbColumnValuePtr(nullptr);  // made anew below
        }
        RvdbColumnValue* value = rvdbNewColumnValue(cs);
        if (value == nullptr) {
            RvdbColumnSet empty;
            const RvdbColumnSet* set = cs.hasObject() ? cs.get() : &empty;
            COMTRACE("invalid column setting. col_id[%s] col_type[%s] vir_col_type[%s] "
                     "root_col_type[%s]",
                     set->getColId().c_str(), set->getColType().c_str(),
                     set->getRelColType().c_str(), set->getRelColType().c_str());
            return RvResult(RVDB_ERR_NO_SCHEMA);
        }
        RvdbColumnValuePtr handle(value);
        const std::vector<Slot>& set = slots[k];
        for (size_t i = 0; i < set.size(); i++) {
            const Slot& slot = set[i];
            if (slot.nameResult.isError()) {
                COMTRACE("iret[%d]", slot.nameResult.getCode());
                return slot.nameResult;
            }
            if (slot.column == CDDB_ERR_NO_COLUMN) {
                continue;  // not selected: the text stays empty
            }
            NString text;
            int ret = slot.column < 0 ? slot.column : result->getValue(text, slot.column);
            if (ret != 0) {
                COMTRACE("iret[%d] colname[%s]", ret, slot.name.c_str());
                return RvResult(ret);
            }
            ret = value->setText(static_cast<int>(i), text);
            if (ret != 0) {
                COMTRACE("iret[%d] tid[%s] cid[%s] inneridx[%d] colnm[%s]", ret,
                         cs->getTblId().c_str(), cs->getColId().c_str(), static_cast<int>(i),
                         slot.name.c_str());
                return RvResult(ret);
            }
        }
        cells.push_back(handle);
        if (resolved && reusable[k]) {
            spare[k] = handle;
        }
    }
    return RvResult();
}

RvResult rvdbGetRecordValues(const CdDBResultHandle& result, const CdDBSqlEncoder* encoder,
                             const RvdbColumnSetList& columnSets,
                             std::vector<RvdbColumnValuePtr>& cells)
{
    if (!result) {
        COMTRACE("%s", "");
        return RvResult(RVDB_ERR_ARG);
    }
    RvdbRecordValueReader reader(result, encoder, columnSets);
    return reader.read(cells);
}

RvResult rvdbFetchRecordList(const CdDBResultHandle& result, const CdDBSqlEncoder* encoder,
                             const RvdbColumnSetList& columnSets, RvdbRecordList& list,
                             int maxRows)
{
    list = RvdbRecordList(columnSets);
    if (!result) {
        COMTRACE("%s", "");
        return RvResult(RVDB_ERR_ARG);
    }
    RvdbRecordValueReader reader(result, encoder, columnSets);
    int rows = 0;
    while (!result->isEOF()) {
        if (maxRows > 0 && rows >= maxRows) {
            break;
        }
        // A row joins the list only whole, so the grid stays aligned.
        std::vector<RvdbColumnValuePtr> row;
        RvResult res = reader.read(row);
        if (res.isError()) {
            COMTRACE("ret[%d] msg[%s]", res.getCode(), res.getMessage().c_str());
            return res;
        }
        std::vector<RvdbColumnValuePtr>& cells = list.getCells();
        cells.insert(cells.end(), row.begin(), row.end());
        rows++;
        int ret = result->next();
        if (ret != 0) {
            RvResult failed(ret);
            COMTRACE("ret[%d] msg[%s]", failed.getCode(), failed.getMessage().c_str());
            return failed;
        }
    }
    return RvResult();
}

int rvdbLoadRecordList(CdDBConnection* connection, const char* tblId,
                       const RvdbColumnSetList& columnSets, int textCutLength,
                       RvdbRecordList& list, const RvDbSearchFilterList& filters,
                       const RvPairList& sorts, int limit, int offset, int* recordCount)
{
    RvStringList colIds;
    for (const RvdbColumnSetPtr& cs : columnSets) {
        if (cs.hasObject()) {
            colIds.push_back(cs->getColId());
        }
    }
    CdDBResultHandle result;
    int iret = rvdbGetRecordList(connection, tblId, columnSets, colIds, textCutLength, filters,
                                 sorts, result, limit, offset, recordCount);
    if (iret != 0) {
        COMTRACE("iret[%d]", iret);
        return iret;
    }
    RvResult res = rvdbFetchRecordList(result, connection->getSqlEncoder(), columnSets, list, -1);
    if (res.isError()) {
        COMTRACE("iret[%d]", res.getCode());
    }
    return res.getCode();
}

// ---------------------------------------------------------------------------
// Streamed result

RvdbCursorResult::RvdbCursorResult(CdDBConnection* conn, const char* name, const char* selectSql,
                                   int rowsPerBatch)
    : connection(conn),
      hasHandle(false),
      cursorName(name != nullptr ? name : ""),
      batchRows(rowsPerBatch > 0 ? rowsPerBatch : RVDB_RECORD_FETCH_ROWS),
      nextRows(batchRows < RVDB_RECORD_FIRST_FETCH_ROWS ? batchRows : RVDB_RECORD_FIRST_FETCH_ROWS),
      askedRows(0),
      status(0),
      failedEnd(false),
      cursorOpen(false),
      done(false),
      rowsInBatch(0),
      lastBatchRows(0),
      rowsRead(0),
      fetchCount(0),
      maxBatchRows(0),
      maxBatchBytes(0),
      aheadSent(false)
{
    CdDBConnection_PG* pg = dynamic_cast<CdDBConnection_PG*>(conn);
    if (pg != nullptr) {
        connectionHandle = pg->getHandle();
        hasHandle = true;
    }
    if (conn == nullptr || selectSql == nullptr || cursorName.isNullOrEmpty()) {
        status = CDDB_ERR_ARG;
        return;
    }
    NStringBuffer sql(4096);
    sql.appendf("DECLARE %s NO SCROLL CURSOR FOR %s", cursorName.c_str(), selectSql);
    CdDBResultHandle r = runStatement(conn, sql.c_str());
    if (r->isError()) {
        status = r->getStatus();
        return;
    }
    cursorOpen = true;
    fetchBatch();
}

RvdbCursorResult::~RvdbCursorResult()
{
    batch = CdDBResultHandle();
    closeCursor(true);
}

CdDBConnection* RvdbCursorResult::liveConnection() const
{
    return hasHandle ? connectionHandle.get() : connection;
}

void RvdbCursorResult::fetchBatch()
{
    batch = CdDBResultHandle();  // the old batch goes before the next arrives
    rowsInBatch = 0;
    CdDBConnection* conn = liveConnection();
    if (conn == nullptr) {
        status = CDDB_ERR_NO_RESULT;
        cursorOpen = false;
        return;
    }
    NString sql;
    CdDBConnection_PG* pg = dynamic_cast<CdDBConnection_PG*>(conn);
    CdDBResultHandle r;
    if (aheadSent && pg != nullptr) {
        r = pg->takeAhead();
        // A batch read ahead stands only while its transaction does: after
        // a statement that ended or aborted it, the fetch is sent again and
        // fails as it would have.
        if (!r->isError() && !inUsableTransaction(conn)) {
            r = CdDBResultHandle();
        }
    }
    aheadSent = false;
    if (!r) {
        askedRows = nextRows;
        sql.format("FETCH FORWARD %d FROM %s", askedRows, cursorName.c_str());
        r = runStatement(conn, sql.c_str());
    }
    fetchCount++;
    if (r->isError()) {
        status = r->getStatus();
        cursorOpen = false;  // the transaction is aborted; its end drops the cursor
        return;
    }
    if (fieldNames.empty()) {
        int n = r->getFieldCount();
        for (int i = 0; i < n; i++) {
            NString name;
            r->getFieldName(name, i);
            fieldNames.push_back(name);
        }
    }
    int got = r->getAffectedRows();
    size_t bytes = r->getMemorySize();
    lastBatchRows = got;
    if (got > maxBatchRows) {
        maxBatchRows = got;
    }
    if (bytes > maxBatchBytes) {
        maxBatchBytes = bytes;
    }
    batch = r;
    if (got < askedRows) {
        done = true;
        closeCursor(false);
        return;
    }
    // The next batch grows while rows are small and shrinks after large
    // ones, so that a batch stays near RVDB_RECORD_FETCH_BYTES.
    size_t perRow = got > 0 ? bytes / static_cast<size_t>(got) : 0;
    size_t rows = static_cast<size_t>(askedRows) * 4;
    if (perRow > 0 && rows > RVDB_RECORD_FETCH_BYTES / perRow) {
        rows = RVDB_RECORD_FETCH_BYTES / perRow;
    }
    if (rows > static_cast<size_t>(batchRows)) {
        rows = static_cast<size_t>(batchRows);
    }
    nextRows = rows < 1 ? 1 : static_cast<int>(rows);
    if (pg != nullptr && bytes <= RVDB_RECORD_AHEAD_BYTES) {
        // The server makes the next batch while this one is read.
        askedRows = nextRows;
        sql.format("FETCH FORWARD %d FROM %s", askedRows, cursorName.c_str());
        aheadSent = pg->sendAhead(sql.c_str()) == 0;
    }
}

void RvdbCursorResult::closeCursor(bool checkExists)
{
    if (aheadSent) {
        aheadSent = false;
        CdDBConnection_PG* pg = dynamic_cast<CdDBConnection_PG*>(liveConnection());
        if (pg != nullptr) {
            pg->takeAhead();  // the batch read ahead is not wanted
        }
    }
    if (!cursorOpen) {
        return;
    }
    cursorOpen = false;
    CdDBConnection* conn = liveConnection();
    if (conn == nullptr) {
        return;
    }
    NString sql;
    if (checkExists) {
        // Closing a cursor that a finished transaction already dropped would
        // abort the transaction now running: close only what is still open.
        if (!inUsableTransaction(conn) || dynamic_cast<CdDBConnection_PG*>(conn) == nullptr) {
            return;
        }
        sql.format("select 1 from pg_cursors where name='%s'", cursorName.c_str());
        CdDBResultHandle r = runStatement(conn, sql.c_str());
        if (r->isError() || r->isEOF()) {
            return;
        }
    }
    sql.format("CLOSE %s", cursorName.c_str());
    runStatement(conn, sql.c_str());
}

void RvdbCursorResult::clear()
{
    batch = CdDBResultHandle();
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

int RvdbCursorResult::getValue(NString& out, int column) const
{
    if (status != 0) {
        return status;
    }
    if (!batch) {
        return CDDB_ERR_NO_RESULT;
    }
    return batch->getValue(out, column);
}

int RvdbCursorResult::peekValue(int column, const char*& text, int& length) const
{
    text = nullptr;
    length = 0;
    if (status != 0) {
        return status;
    }
    if (!batch) {
        return CDDB_ERR_NO_RESULT;
    }
    return batch->peekValue(column, text, length);
}

int RvdbCursorResult::exportLob(int column, const char* filePath)
{
    if (status != 0) {
        return status;
    }
    if (!batch) {
        return CDDB_ERR_NO_RESULT;
    }
    return batch->exportLob(column, filePath);
}

int RvdbCursorResult::next()
{
    if (status != 0) {
        failedEnd = true;
        return status;
    }
    if (!batch || batch->isEOF()) {
        return 0;
    }
    batch->next();
    rowsRead++;
    rowsInBatch++;
    // At the end of a batch: fetch the next one unless the cursor said it
    // had no more (a batch longer than reported fetches again, so that a
    // closed cursor fails loudly instead of ending the rows early).
    if (batch->isEOF() && (!done || rowsInBatch > lastBatchRows)) {
        fetchBatch();
    }
    return status;
}

bool RvdbCursorResult::isEOF() const
{
    if (status != 0) {
        return failedEnd;
    }
    return !batch || batch->isEOF();
}
