#include "rvappListSql.h"

#include <cstring>

#include "RvDbOperator.h"
#include "cddbconnection.h"
#include "cddbsqlencoder.h"
#include "comtrace.h"
#include "rvappFieldCheck.h"

int rvappListRunSql(const char* srcPath, int line, CdDBConnection* connection, const char* sql,
                    CdDBResultHandle& result)
{
    connection->setSql(sql);
    result = connection->execute();
    if (!result || result->isError()) {
        int ret = result ? result->getStatus() : CDDB_ERR_NO_RESULT;
        comTraceWriteFile(srcPath, line, "ret[%d] dbsts[%s] dbmsg[%s]", ret, connection->getSqlState(),
                          connection->getErrorMessage());
        return ret;
    }
    return 0;
}

int rvappListEscape(const char* srcPath, int line, CdDBConnection* connection, const char* text,
                    NString& out)
{
    CdDBSqlEncoder* encoder = connection->getSqlEncoder();
    int ret = encoder ? encoder->escape(out, text ? text : "") : CDDB_ERR_NO_RESULT;
    if (ret != 0) {
        comTraceWriteFile(srcPath, line, "ret[%d]", ret);
    }
    return ret;
}

int rvappListColumnPositions(const char* srcPath, int line, const CdDBResult& result,
                             const char* const* names, int count, int* positions)
{
    for (int i = 0; i < count; ++i) {
        positions[i] = -1;
    }
    int fields = result.getFieldCount();
    for (int col = 0; col < fields; ++col) {
        NString name;
        int ret = result.getFieldName(name, col);
        if (ret != 0) {
            comTraceWriteFile(srcPath, line, "ret[%d]", ret);
            return ret;
        }
        for (int i = 0; i < count; ++i) {
            if (positions[i] < 0 && strcmp(name.c_str(), names[i]) == 0) {
                positions[i] = col;
            }
        }
    }
    return 0;
}

int rvappListTableId(const char* srcPath, int line, CdDBConnection* connection, const char* tblId,
                     NString& escId, bool traceCode)
{
    if (connection == nullptr || tblId == nullptr || tblId[0] == '\0') {
        if (traceCode) {
            comTraceWriteFile(srcPath, line, "ret[%d]", -100001);
        } else {
            comTraceWriteFile(srcPath, line, "%s", "");
        }
        return -100001;
    }
    return rvappListEscape(srcPath, line, connection, tblId, escId);
}

int rvappListFetchRows(const char* srcPath, int line, CdDBResult& result, const char* const* names,
                       int count, const std::function<void(const NString* values)>& take)
{
    std::vector<int> pos(static_cast<size_t>(count));
    int ret = rvappListColumnPositions(srcPath, line, result, names, count, pos.data());
    if (ret != 0) {
        return ret;
    }
    std::vector<NString> values(static_cast<size_t>(count));
    while (!result.isEOF()) {
        for (int i = 0; i < count; ++i) {
            values[i] = NString();
            if ((ret = result.getValue(values[i], pos[i])) != 0) {
                comTraceWriteFile(srcPath, line, "ret[%d]", ret);
                return ret;
            }
        }
        take(values.data());
        if ((ret = result.next()) != 0) {
            comTraceWriteFile(srcPath, line, "ret[%d]", ret);
            return ret;
        }
    }
    return 0;
}

int rvappListIntColumn(const char* srcPath, int line, CdDBResult& result, std::vector<int>& ids)
{
    while (!result.isEOF()) {
        NString value;
        int ret = result.getValue(value, 0);
        if (ret != 0) {
            comTraceWriteFile(srcPath, line, "ret[%d]", ret);
            return ret;
        }
        ids.push_back(rvappTextToInt(value.c_str()));
        if ((ret = result.next()) != 0) {
            comTraceWriteFile(srcPath, line, "ret[%d]", ret);
            return ret;
        }
    }
    return 0;
}

int rvappListFirstValue(const char* srcPath, int line, CdDBConnection* connection, const char* sql,
                        NString& value, bool& found)
{
    CdDBResultHandle result;
    int ret = rvappListRunSql(srcPath, line, connection, sql, result);
    if (ret != 0) {
        return ret;
    }
    found = !result->isEOF();
    if (!found) {
        return 0;
    }
    ret = result->getValue(value, 0);
    if (ret != 0) {
        comTraceWriteFile(srcPath, line, "ret[%d]", ret);
    }
    return ret;
}

int rvappListHasRows(const char* srcPath, int line, CdDBConnection* connection, const char* sql, bool& found)
{
    CdDBResultHandle result;
    int ret = rvappListRunSql(srcPath, line, connection, sql, result);
    if (ret != 0) {
        return ret;
    }
    found = !result->isEOF();
    return 0;
}

int rvappListRunInsert(const char* srcPath, int line, CdDBConnection* connection, const char* table,
                       const NStringBuffer& names, const NStringBuffer& values)
{
    NString sql;
    int ret = RvDbOperator::makeInsertSql(sql, table, names, values);
    if (ret != 0) {
        return ret;
    }
    CdDBResultHandle result;
    return rvappListRunSql(srcPath, line, connection, sql.c_str(), result);
}
