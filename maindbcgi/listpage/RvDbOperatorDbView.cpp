#include "RvDbOperatorDbView.h"

#include "cddbconnection.h"
#include "comtrace.h"
#include "rvappListSql.h"

int RvDbOperatorDbView::exists(CdDBConnection* connection, const char* tblId, int viewId, bool& found)
{
    if (connection == nullptr || tblId == nullptr || tblId[0] == '\0') {
        COMTRACE("ret[%d]", -100001);
        return -100001;
    }
    NString escId;
    int ret = RVLIST_ESCAPE(connection, tblId, escId);
    if (ret != 0) {
        return ret;
    }
    NString sql;
    sql.format("select %s from %s where %s='%s' and %s=%d", "view_id", "rv_view", "tbl_id", escId.c_str(),
               "view_id", viewId);
    CdDBResultHandle result;
    ret = RVLIST_RUN(connection, sql.c_str(), result);
    if (ret != 0) {
        return ret;
    }
    found = !result->isEOF();
    return 0;
}
