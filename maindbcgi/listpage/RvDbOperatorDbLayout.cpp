#include "RvDbOperatorDbLayout.h"

#include "cddbconnection.h"
#include "comtrace.h"
#include "rvappFieldCheck.h"
#include "rvappListSql.h"

int RvDbOperatorDbLayout::exists(CdDBConnection* connection, const char* tblId, int layoutId,
                                 bool& found)
{
    NString id;
    if (connection == nullptr || rvappIntegerIdText(tblId, id) != 0) {
        COMTRACE("ret[%d] tid[%.64s]", -100001, tblId ? tblId : "");
        return -100001;
    }
    NString sql;
    sql.format("select %s from %s where %s=%s and %s=%d", "layout_id", "rv_layout", "tbl_id", id.c_str(),
               "layout_id", layoutId);
    CdDBResultHandle result;
    int ret = RVLIST_RUN(connection, sql.c_str(), result);
    if (ret != 0) {
        return ret;
    }
    found = !result->isEOF();
    return 0;
}
