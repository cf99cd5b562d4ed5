#include "rvappListSql.h"

#include <cstring>

#include "cddbconnection.h"
#include "cddbsqlencoder.h"
#include "comtrace.h"

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
