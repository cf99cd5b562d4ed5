#include "rvappGetDbLayout.h"

#include "RvDbLayout.h"
#include "cddbconnection.h"
#include "comtrace.h"
#include "rvappFieldCheck.h"
#include "rvappListSql.h"

int rvappGetDbLayout(CdDBConnection* connection, const char* tblId, int layoutId, RvDbLayout& out)
{
    NString id;
    if (connection == nullptr || rvappIntegerIdText(tblId, id) != 0) {
        COMTRACE("%s", "");
        return -100001;
    }
    NString sql;
    sql.format("select * from %s where %s=%s and %s=%d", "rv_layout", "tbl_id", id.c_str(), "layout_id", layoutId);
    CdDBResultHandle result;
    int ret = RVLIST_RUN(connection, sql.c_str(), result);
    if (ret != 0) {
        return ret;
    }
    NString value;
    if ((ret = result->getValueByName(value, "layout_id")) == 0) {
        out.layout_id = rvappTextToInt(value.c_str());
        if ((ret = result->getValueByName(value, "layout_type")) == 0) {
            out.layout_type = value.c_str()[0];
            if ((ret = result->getValueByName(value, "layout_table_cols")) == 0) {
                out.layout_table_cols = value;
            }
        }
    }
    if (ret != 0) {
        COMTRACE("ret[%d]", ret);
    }
    return ret;
}
