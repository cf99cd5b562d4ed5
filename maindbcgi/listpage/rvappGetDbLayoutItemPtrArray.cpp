#include "rvappGetDbLayoutItemPtrArray.h"

#include "cddbconnection.h"
#include "comtrace.h"
#include "rvappListSql.h"

int rvappGetDbLayoutItemPtrArray(CdDBConnection* connection, const char* tblId,
                                 std::vector<RvDbLayoutItemPtr>& out)
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
    sql.format("select * from %s where %s='%s'", "rv_layout_item", "tbl_id", escId.c_str());
    CdDBResultHandle result;
    ret = RVLIST_RUN(connection, sql.c_str(), result);
    if (ret != 0) {
        return ret;
    }
    static const char* const NAMES[] = {"layout_item_id", "layout_item_type", "col_id", "rel_tbl_id",
                                        "rel_col_id"};
    int pos[5];
    if ((ret = RVLIST_POSITIONS(*result, NAMES, 5, pos)) != 0) {
        return ret;
    }
    while (!result->isEOF()) {
        RvDbLayoutItemPtr item(new RvDbLayoutItem());
        NString type;
        if ((ret = result->getValue(item->layout_item_id, pos[0])) == 0 &&
            (ret = result->getValue(type, pos[1])) == 0 && (ret = result->getValue(item->col_id, pos[2])) == 0 &&
            (ret = result->getValue(item->rel_tbl_id, pos[3])) == 0) {
            ret = result->getValue(item->rel_col_id, pos[4]);
        }
        if (ret != 0) {
            COMTRACE("ret[%d]", ret);
            return ret;
        }
        item->layout_item_type = type.c_str()[0];
        out.push_back(item);
        if ((ret = result->next()) != 0) {
            COMTRACE("ret[%d]", ret);
            return ret;
        }
    }
    return 0;
}
