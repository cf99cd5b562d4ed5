// Physical names of tables and columns; attachment rows and contents.
#include "rvdbphys.h"

#include <climits>
#include <cstdlib>
#include <cstring>

#include "cddbconnection.h"
#include "cddbsqlencoder.h"
#include "comstr.h"
#include "comtrace.h"

namespace {

const char* const systemColumnNames[] = { "rvkey", "regist_uname", "regist_date", "update_uname", "update_date" };

// Decimal value of an id text; reading stops at the first non-digit, no
// digits give 0, values beyond int are clamped.
int idToInt(const NString& id)
{
    long long v = std::strtoll(id.c_str(), nullptr, 10);
    if (v > INT_MAX)
        return INT_MAX;
    if (v < INT_MIN)
        return INT_MIN;
    return static_cast<int>(v);
}

bool isIdText(const NString& text) { return comIsInteger(text.c_str()) == 1; }

}  // namespace

NString& rvdbMakeTableName(NString& out, const NString& tableId)
{
    out.format("tbl%.5d", idToInt(tableId));
    return out;
}

NString& rvdbMakeLobTableName(NString& out, const NString& tableId)
{
    out.format("tbl%.5d_lob", idToInt(tableId));
    return out;
}

namespace {

// Index 0-4 of a system column id "-1" ... "-5", or -1.
int systemColumnIndex(const char* colId)
{
    static const char* const ids[] = { "-1", "-2", "-3", "-4", "-5" };
    if (!colId)
        return -1;
    for (int i = 0; i < 5; ++i)
        if (std::strcmp(colId, ids[i]) == 0)
            return i;
    return -1;
}

}  // namespace

bool rvdbIsSystemColumnId(const char* colId) { return systemColumnIndex(colId) >= 0; }

NString& rvdbMakeColumnName(NString& out, const NString& colId)
{
    int idx = systemColumnIndex(colId.c_str());
    if (idx >= 0) {
        out = NString(systemColumnNames[idx]);
        return out;
    }
    out.format("col%.5d", idToInt(colId));
    return out;
}

int rvdbMakeLogQuery(const NString& tableId, const NString& contentId, const NString& colId,
                     const NString& rvkey, NString& query, std::vector<CdDBBind>& binds)
{
    if (tableId.isNullOrEmpty()) {
        COMTRACE_SRC("rvdbLog", "%s", "");
        return -100001;
    }
    // The filters are compared with numeric columns: a text that is not an
    // integer would fail the statement and with it the transaction.
    const NString* filters[3] = { &contentId, &colId, &rvkey };
    for (const NString* f : filters) {
        if (!f->isNullOrEmpty() && !isIdText(*f)) {
            COMTRACE_SRC("rvdbLog", "ret[%d] tableid[%s] filter[%s]", -100001, tableId.c_str(), f->c_str());
            return -100001;
        }
    }

    NString table;
    rvdbMakeLobTableName(table, tableId);
    NStringBuffer sql(4096);
    sql.appendf("select %s,%s,%s,%s,%s,%s,%s,%s from %s", "content_id", "mime_type", "file_name", "file_size",
                "img_width", "img_height", "rvkey", "col_id", table.c_str());

    static const char* const columns[3] = { "content_id", "col_id", "rvkey" };
    binds.clear();
    NStringBuffer where(256);
    for (int i = 0; i < 3; ++i) {
        if (filters[i]->isNullOrEmpty())
            continue;
        if (!binds.empty())
            where.append(" and ");
        binds.push_back(CdDBBind(*filters[i], CDDB_BIND_TEXT));
        where.appendf("%s=$%d", columns[i], static_cast<int>(binds.size()));
    }
    if (!binds.empty())
        sql.appendf(" where %s", where.c_str());
    // A fixed order keeps attachment names the same on every run.
    sql.append(" order by content_id");
    query = NString(sql.c_str());
    return 0;
}

int rvdbLog(CdDBConnection* connection, const NString& tableId, const NString& contentId,
            const NString& colId, const NString& rvkey, std::vector<RvdbLobRecord>& records)
{
    if (tableId.isNullOrEmpty() || !connection) {
        COMTRACE_SRC("rvdbLog", "%s", "");
        return -100001;
    }
    NString sql;
    std::vector<CdDBBind> binds;
    int ret = rvdbMakeLogQuery(tableId, contentId, colId, rvkey, sql, binds);
    if (ret != 0)
        return ret;

    ret = connection->setSql(sql.c_str());
    if (ret != 0) {
        COMTRACE_SRC("rvdbLog", "ret[%d]", ret);
        return ret;
    }
    CdDBResultHandle res = connection->execute(binds);
    if (!res || res->isError()) {
        COMTRACE_SRC("rvdbLog", "%s", "");
        return res ? res->getStatus() : -1101;
    }
    static const char* const fields[8] = { "content_id", "col_id",    "rvkey",     "file_name",
                                           "file_size",  "mime_type", "img_width", "img_height" };
    while (!res->isEOF()) {
        records.push_back(RvdbLobRecord());
        RvdbLobRecord& rec = records.back();
        NString* out[8] = { &rec.content_id, &rec.col_id,    &rec.rvkey,     &rec.file_name,
                            &rec.file_size,  &rec.mime_type, &rec.img_width, &rec.img_height };
        for (int i = 0; i < 8; ++i) {
            NString value;
            ret = res->getValueByName(value, fields[i]);
            if (ret != 0) {
                COMTRACE_SRC("rvdbLog", "ret[%d]", ret);
                return ret;
            }
            *out[i] = value.isNull() ? NString("") : value;
        }
        res->next();
    }
    return 0;
}

int rvdbGetLobFileFromLobTable(CdDBConnection* connection, const char* tableId, const char* contentId,
                               const char* filePath)
{
    if (!connection || !tableId || !*tableId || !contentId || !*contentId || !filePath || !*filePath) {
        COMTRACE_SRC("rvdbGetLobFileFromLobTable", "%s", "");
        return -100001;
    }
    // content_id is numeric: anything but an integer cannot match and would
    // fail the statement (and the transaction).
    if (comIsInteger(contentId) != 1) {
        COMTRACE_SRC("rvdbGetLobFileFromLobTable", "ret[%d] contentid[%s]", -100001, contentId);
        return -100001;
    }
    CdDBSqlEncoder* enc = connection->getSqlEncoder();
    NString escaped;
    int ret = enc ? enc->escape(escaped, contentId) : -1101;
    if (ret != 0) {
        COMTRACE_SRC("rvdbGetLobFileFromLobTable", "ret[%d]", ret);
        return ret;
    }
    NString table;
    rvdbMakeLobTableName(table, NString(tableId, -1));
    NStringBuffer sql(256);
    sql.appendf("select lobfile from %s where content_id='%s'", table.c_str(), escaped.c_str());

    ret = connection->setSql(sql.c_str());
    if (ret != 0) {
        COMTRACE_SRC("rvdbGetLobFileFromLobTable", "ret[%d]", ret);
        return ret;
    }
    CdDBResultHandle res = connection->execute();
    if (!res || res->isError()) {
        int status = res ? res->getStatus() : -1101;
        COMTRACE_SRC("rvdbGetLobFileFromLobTable", "ret[%d] dbcode[%s] dbmsg[%s]", status,
                     connection->getSqlState(), connection->getErrorMessage());
        return status;
    }
    if (res->isEOF()) {
        COMTRACE_SRC("rvdbGetLobFileFromLobTable", "%s", "");
        return -100010;
    }
    ret = res->exportLob(0, filePath);
    if (ret != 0) {
        COMTRACE_SRC("rvdbGetLobFileFromLobTable", "ret[%d] dbcode[%s] dbmsg[%s]", ret, connection->getSqlState(),
                     connection->getErrorMessage());
        return ret;
    }
    return 0;
}
