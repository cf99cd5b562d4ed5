#include "rvdbGetRecordList.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

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
    if (length < 0) {
        return false;
    }
    // cur is read up to its NUL at most; texts that change from row to row
    // mostly differ in their last byte.
    const char* cur = value.c_str();
    const size_t n = static_cast<size_t>(length);
    return strnlen(cur, n + 1) == n && (n == 0 || cur[n - 1] == text[n - 1]) &&
           std::memcmp(cur, text, n) == 0;
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

namespace {

// The record query of rvdbGetRecordList (page), with its from and where
// parts for the count. 0 or a builder's code.
int makeRecordQuery(const CdDBSqlEncoder* encoder, const char* tblId,
                    const RvdbColumnSetList& columnSets, const RvStringList& colIds,
                    int textCutLength, const RvDbSearchFilterList& filters,
                    const RvPairList& sorts, int limit, int offset, NString& page,
                    NString& fromSql, NString& whereSql)
{
    RvStringList sortColIds;
    for (const RvPair& p : sorts) {
        sortColIds.push_back(p.first);
    }

    NString statement, selectList;
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

    bool hasWhere = !whereSql.isNullOrEmpty();
    NStringBuffer text(4096);
    text.appendf("select %s from %s %s%s %s", selectList.c_str(), fromSql.c_str(),
                 hasWhere ? "where " : "", hasWhere ? whereSql.c_str() : "", orderBy.c_str());
    if (limit > 0) {
        text.appendf(" limit %d", limit);
    }
    if (offset > 0) {
        text.appendf(" offset %d", offset);
    }
    page = NString(text.detach());
    return 0;
}

}  // namespace

int rvdbMakeRecordQuery(const CdDBSqlEncoder* encoder, const char* tblId,
                        const RvdbColumnSetList& columnSets, const RvStringList& colIds,
                        int textCutLength, const RvDbSearchFilterList& filters,
                        const RvPairList& sorts, int limit, int offset, NString& query)
{
    if (!isTableId(tblId)) {
        COMTRACE("tblid[%s]", tblId != nullptr ? tblId : "");
        return RVDB_ERR_ARG;
    }
    NString fromSql, whereSql;
    return makeRecordQuery(encoder, tblId, columnSets, colIds, textCutLength, filters, sorts,
                           limit, offset, query, fromSql, whereSql);
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
    NString page, fromSql, whereSql;
    int iret = makeRecordQuery(encoder, tblId, columnSets, colIds, textCutLength, filters, sorts,
                               limit, offset, page, fromSql, whereSql);
    if (iret != 0) {
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

    CdDBResultHandle rows;
    if (limit <= 0 && offset <= 0 && dynamic_cast<CdDBConnection_PG*>(connection) != nullptr &&
        connection->inUsableTransaction()) {
        // A whole table: read it through a cursor, one row at a time.
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
