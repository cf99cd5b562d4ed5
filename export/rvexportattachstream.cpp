#include "rvexportattachstream.h"

#include <cstdlib>
#include <cstring>

#include "RvdbColumnValue.h"
#include "cddbconnection.h"
#include "cddbconnection_pg.h"
#include "comstr.h"
#include "comtrace.h"
#include "rvdbGetRecordList.h"

namespace {

const char* const kFields[9] = { "content_id", "col_id",    "rvkey",      "file_name", "file_size",
                                 "mime_type",  "img_width", "img_height", "lobfile" };

// An id text as the database compares it; false for anything else.
bool idValue(const NString& text, long long& out)
{
    if (comIsInteger(text.c_str()) != 1)
        return false;
    out = std::strtoll(text.c_str(), nullptr, 10);
    return true;
}

bool inTransaction(CdDBConnection* connection)
{
    return dynamic_cast<CdDBConnection_PG*>(connection) != nullptr &&
           connection->inUsableTransaction();
}

unsigned nextCursorNumber()
{
    static unsigned counter = 0;
    return ++counter;
}

}  // namespace

RvExportAttachStream::RvExportAttachStream(CdDBConnection* conn, const NString& table,
                                           const std::vector<RvdbColumnSetPtr>& columns)
    : connection(conn), tblId(table), opened(false), broken(false), status(0), haveKey(false),
      currentKey(0)
{
    for (int& f : fields)
        f = -1;
    for (const RvdbColumnSetPtr& cs : columns) {
        if (!cs.hasObject() || cs->isRelRef() || std::strcmp(cs->getTblId().c_str(), tblId.c_str()) != 0)
            continue;
        long long id = 0;
        if (!idValue(cs->getColId(), id))
            continue;
        RvdbColumnValuePtr probe(rvdbNewColumnValue(cs));
        if (probe && (probe->getType() == RVDB_VALUE_FILE || probe->getType() == RVDB_VALUE_IMAGE))
            colIds.push_back(id);
    }
}

RvExportAttachStream::~RvExportAttachStream() = default;

NString RvExportAttachStream::served() const
{
    NStringBuffer in(256);
    for (long long id : colIds)
        in.appendf("%s%lld", in.length() > 0 ? "," : "", id);
    return NString(in.c_str());
}

NString RvExportAttachStream::statement() const
{
    if (colIds.empty())
        return NString("");
    NString lobTable;
    rvdbMakeLobTableName(lobTable, tblId);
    // A large object that is gone reads as a null id.
    NStringBuffer sql(1024);
    sql.appendf("select l.content_id,l.col_id,l.rvkey,l.file_name,l.file_size,l.mime_type,"
                "l.img_width,l.img_height,m.oid as lobfile from %s l "
                "left join pg_largeobject_metadata m on m.oid=l.lobfile "
                "where l.col_id in (%s) order by l.rvkey,l.col_id,l.content_id",
                lobTable.c_str(), served().c_str());
    return NString(sql.c_str());
}

NString RvExportAttachStream::objectStatement() const
{
    if (colIds.empty())
        return NString("");
    NString lobTable, table;
    rvdbMakeLobTableName(lobTable, tblId);
    rvdbMakeTableName(table, tblId);
    NStringBuffer sql(1024);
    sql.appendf("select m.oid from %s l join pg_largeobject_metadata m on m.oid=l.lobfile "
                "where l.col_id in (%s) and exists (select 1 from %s a where a.rvkey=l.rvkey) limit 1",
                lobTable.c_str(), served().c_str(), table.c_str());
    return NString(sql.c_str());
}

int RvExportAttachStream::open()
{
    opened = true;
    NString sql = statement();
    NString name;
    name.format("rvexplobcur%u", nextCursorNumber());
    cursor = CdDBResultHandle(
        new RvdbCursorResult(connection, name.c_str(), sql.c_str(), RVDB_RECORD_FETCH_ROWS));
    if (cursor->isError()) {
        status = cursor->getStatus();
        COMTRACE_SRC("RvExportAttachStream", "ret[%d] tableid[%s]", status, tblId.c_str());
        return status;
    }
    for (int i = 0; i < 9; ++i) {
        fields[i] = cursor->getColumnIndex(kFields[i]);
        if (fields[i] < 0 && !cursor->isEOF()) {
            status = fields[i];
            return status;
        }
    }
    return 0;
}

int RvExportAttachStream::readRow(RvExportLobRow& row)
{
    NString* out[9] = { &row.rec.content_id, &row.rec.col_id,     &row.rec.rvkey,
                        &row.rec.file_name,  &row.rec.file_size,  &row.rec.mime_type,
                        &row.rec.img_width,  &row.rec.img_height, &row.lobfile };
    for (int i = 0; i < 9; ++i) {
        NString value;
        int ret = cursor->getValue(value, fields[i]);
        if (ret != 0)
            return ret;
        *out[i] = value.isNull() ? NString("") : value;
    }
    row.listed = true;
    return 0;
}

int RvExportAttachStream::rowsOf(const NString& key, const RvdbColumnSet& column,
                                 std::vector<RvExportLobRow>& out, bool& served)
{
    served = false;
    long long k = 0, c = 0;
    if (broken || column.isRelRef() || std::strcmp(column.getTblId().c_str(), tblId.c_str()) != 0 ||
        !idValue(key, k) || !idValue(column.getColId(), c))
        return 0;
    bool known = false;
    for (long long id : colIds)
        known = known || id == c;
    if (!known)
        return 0;
    if (status != 0) {
        served = true;
        return status;
    }
    if (haveKey && k < currentKey) {
        // The records do not come in key order: the stream has passed them.
        broken = true;
        return 0;
    }
    if (!opened) {
        if (!inTransaction(connection)) {
            broken = true;
            return 0;
        }
        served = true;
        if (open() != 0)
            return status;
    }
    served = true;
    if (!haveKey || k != currentKey) {
        rows.clear();
        rowCols.clear();
        haveKey = true;
        currentKey = k;
        // Rows of keys without a record are passed over.
        while (!cursor->isEOF()) {
            NString keyText, colText;
            int ret = cursor->getValue(keyText, fields[2]);
            if (ret == 0)
                ret = cursor->getValue(colText, fields[1]);
            if (ret != 0) {
                status = ret;
                return status;
            }
            long long rk = 0, rc = 0;
            bool usable = idValue(keyText, rk) && idValue(colText, rc);
            if (usable && rk > k)
                break;
            if (usable && rk == k) {
                RvExportLobRow row;
                ret = readRow(row);
                if (ret != 0) {
                    status = ret;
                    return status;
                }
                rows.push_back(row);
                rowCols.push_back(rc);
            }
            cursor->next();
        }
        if (cursor->getStatus() != 0) {
            status = cursor->getStatus();
            return status;
        }
    }
    for (size_t i = 0; i < rows.size(); ++i)
        if (rowCols[i] == c)
            out.push_back(rows[i]);
    return 0;
}
