#include "rvappGetDbLayoutItem.h"

#include "RvDbLayoutItem.h"
#include "cddbconnection.h"
#include "comtrace.h"
#include "rvappListSql.h"

int rvappGetDbLayoutItem(CdDBConnection* connection, const char* tblId, const char* layoutItemId,
                         RvDbLayoutItem& out)
{
    if (connection == nullptr || tblId == nullptr || tblId[0] == '\0' || layoutItemId == nullptr ||
        layoutItemId[0] == '\0') {
        COMTRACE("%s", "");
        return -100001;
    }
    NString escTbl;
    NString escItem;
    int ret = RVLIST_ESCAPE(connection, tblId, escTbl);
    if (ret == 0) {
        ret = RVLIST_ESCAPE(connection, layoutItemId, escItem);
    }
    if (ret != 0) {
        return ret;
    }
    NString sql;
    sql.format("select * from %s where %s='%s' and %s='%s'", "rv_layout_item", "tbl_id", escTbl.c_str(),
               "layout_item_id", escItem.c_str());
    CdDBResultHandle result;
    ret = RVLIST_RUN(connection, sql.c_str(), result);
    if (ret != 0) {
        return ret;
    }
    static const char* const NAMES[] = {"layout_item_type", "col_id", "rel_tbl_id", "rel_col_id"};
    int pos[4];
    ret = RVLIST_POSITIONS(*result, NAMES, 4, pos);
    if (ret != 0) {
        return ret;
    }
    NString values[4];
    for (int i = 0; i < 4; ++i) {
        ret = result->getValue(values[i], pos[i]);
        if (ret != 0) {
            COMTRACE("ret[%d]", ret);
            return ret;
        }
    }
    RvDbLayoutItem item;
    item.layout_item_id = out.layout_item_id;
    item.layout_item_type = values[0].c_str()[0];
    item.col_id = NString(values[1].c_str());
    item.rel_tbl_id = NString(values[2].c_str());
    item.rel_col_id = NString(values[3].c_str());
    out = item;
    return 0;
}
