#include "rvappGetDbLayoutRowPtrArray.h"

#include "cddbconnection.h"
#include "comtrace.h"
#include "rvappFieldCheck.h"
#include "rvappGetDbLayoutColPtrArray.h"
#include "rvappListSql.h"

int rvappGetDbLayoutRowPtrArray(CdDBConnection* connection, const char* tblId, int layoutId,
                                bool withColumns, std::vector<RvDbLayoutRowPtr>& out)
{
    NString escId;
    int ret = RVLIST_TABLE_ID(connection, tblId, escId);
    if (ret != 0) {
        return ret;
    }
    NString sql;
    sql.format("select * from %s where %s='%s' and %s=%d order by %s", "rv_layout_row", "tbl_id", escId.c_str(),
               "layout_id", layoutId, "seqno");
    CdDBResultHandle result;
    ret = RVLIST_RUN(connection, sql.c_str(), result);
    if (ret != 0) {
        return ret;
    }
    static const char* const NAMES[] = {"layout_row_id", "seqno", "layout_cols", "layout_row_height",
                                        "layout_row_type"};
    ret = RVLIST_FETCH(*result, NAMES, 5, [&out](const NString* v) {
        RvDbLayoutRowPtr row(new RvDbLayoutRow());
        row->layout_row_id = rvappTextToInt(v[0].c_str());
        row->seqno = rvappTextToInt(v[1].c_str());
        row->layout_cols = rvappTextToInt(v[2].c_str());
        row->layout_row_height = v[3];
        row->layout_row_type = v[4].c_str()[0];
        out.push_back(row);
    });
    if (ret != 0) {
        return ret;
    }
    if (withColumns) {
        ret = rvappGetDbLayoutColPtrArray(connection, tblId, layoutId, out);
        if (ret != 0) {
            COMTRACE("ret[%d]", ret);
        }
    }
    return ret;
}
