#include "rvappGetDbLayoutItemPtrArray.h"

#include "cddbconnection.h"
#include "rvappListSql.h"

int rvappGetDbLayoutItemPtrArray(CdDBConnection* connection, const char* tblId,
                                 std::vector<RvDbLayoutItemPtr>& out)
{
    NString escId;
    int ret = RVLIST_TABLE_ID(connection, tblId, escId);
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
    return RVLIST_FETCH(*result, NAMES, 5, [&out](const NString* v) {
        RvDbLayoutItemPtr item(new RvDbLayoutItem());
        item->layout_item_id = v[0];
        item->layout_item_type = v[1].c_str()[0];
        item->col_id = v[2];
        item->rel_tbl_id = v[3];
        item->rel_col_id = v[4];
        out.push_back(item);
    });
}
