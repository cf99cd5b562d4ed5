#include "rvappGetDbLayoutColPtrArray.h"

#include "cddbconnection.h"
#include "comtrace.h"
#include "rvappFieldCheck.h"
#include "rvappListSql.h"

int rvappGetDbLayoutColPtrArray(CdDBConnection* connection, const char* tblId, int layoutId,
                                std::vector<RvDbLayoutRowPtr>& rows)
{
    if (connection == nullptr || tblId == nullptr || tblId[0] == '\0') {
        COMTRACE("%s", "");
        return -100001;
    }
    if (rows.empty()) {
        return 0;
    }
    NString escId;
    int ret = RVLIST_ESCAPE(connection, tblId, escId);
    if (ret != 0) {
        return ret;
    }
    NStringBuffer ids(4096);
    for (size_t i = 0; i < rows.size(); ++i) {
        ids.appendf("%s%d", i == 0 ? "" : ",", rows[i]->layout_row_id);
    }
    NStringBuffer sql(4096);
    sql.appendf("select * from %s where %s='%s' and %s=%d and %s in (%s) order by %s, %s ", "rv_layout_col",
                "tbl_id", escId.c_str(), "layout_id", layoutId, "layout_row_id", ids.c_str(), "layout_row_id",
                "layout_col_id");
    CdDBResultHandle result;
    ret = RVLIST_RUN(connection, sql.c_str(), result);
    if (ret != 0 || result->isEOF()) {
        return ret;
    }
    static const char* const NAMES[] = {"layout_row_id", "layout_col_id", "layout_item_id"};
    int pos[3];
    if ((ret = RVLIST_POSITIONS(*result, NAMES, 3, pos)) != 0) {
        return ret;
    }
    while (!result->isEOF()) {
        NString value;
        if ((ret = result->getValue(value, pos[0])) != 0) {
            COMTRACE("ret[%d]", ret);
            return ret;
        }
        int rowId = rvappTextToInt(value.c_str());
        RvDbLayoutRow* row = nullptr;
        for (const RvDbLayoutRowPtr& r : rows) {
            if (r->layout_row_id == rowId) {
                row = r.get();
                break;
            }
        }
        if (row != nullptr) {
            RvDbLayoutColPtr col(new RvDbLayoutCol());
            if ((ret = result->getValue(value, pos[1])) == 0) {
                col->layout_col_id = rvappTextToInt(value.c_str());
                ret = result->getValue(col->layout_item_id, pos[2]);
            }
            if (ret != 0) {
                COMTRACE("%s", "");
                return ret;
            }
            row->columns.push_back(col);
        }
        if ((ret = result->next()) != 0) {
            COMTRACE("ret[%d]", ret);
            return ret;
        }
    }
    return 0;
}
