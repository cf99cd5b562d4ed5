#include "rvappGetDbLayoutRowPtrArray.h"

#include "cddbconnection.h"
#include "comtrace.h"
#include "rvappFieldCheck.h"
#include "rvappGetDbLayoutColPtrArray.h"
#include "rvappListSql.h"

int rvappGetDbLayoutRowPtrArray(CdDBConnection* connection, const char* tblId, int layoutId,
                                bool withColumns, std::vector<RvDbLayoutRowPtr>& out)
{
    if (connection == nullptr || tblId == nullptr || tblId[0] == '\0') {
        COMTRACE("%s", "");
        return -100001;
    }
    NString escId;
    int ret = RVLIST_ESCAPE(connection, tblId, escId);
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
    int pos[5];
    if ((ret = RVLIST_POSITIONS(*result, NAMES, 5, pos)) != 0) {
        return ret;
    }
    while (!result->isEOF()) {
        NString v[5];
        for (int i = 0; i < 5; ++i) {
            if ((ret = result->getValue(v[i], pos[i])) != 0) {
                COMTRACE("ret[%d]", ret);
                return ret;
            }
        }
        RvDbLayoutRowPtr row(new RvDbLayoutRow());
        row->layout_row_id = rvappTextToInt(v[0].c_str());
        row->seqno = rvappTextToInt(v[1].c_str());
        row->layout_cols = rvappTextToInt(v[2].c_str());
        row->layout_row_height = v[3];
        row->layout_row_type = v[4].c_str()[0];
        out.push_back(row);
        if ((ret = result->next()) != 0) {
            COMTRACE("ret[%d]", ret);
            return ret;
        }
    }
    if (withColumns) {
        ret = rvappGetDbLayoutColPtrArray(connection, tblId, layoutId, out);
        if (ret != 0) {
            COMTRACE("ret[%d]", ret);
        }
    }
    return ret;
}
