#include "rvappGetDbSerchConditionPtrArray.h"

#include "cddbconnection.h"
#include "rvappFieldCheck.h"
#include "rvappListSql.h"

int rvappGetDbSerchConditionPtrArray(CdDBConnection* connection, const char* tblId, int filterId,
                                     std::vector<RvDbSearchCondition>& out)
{
    NString escId;
    int ret = RVLIST_TABLE_ID(connection, tblId, escId);
    if (ret != 0) {
        return ret;
    }
    NStringBuffer sql(4096);
    sql.appendf("select * from %s where %s='%s' and %s=%d order by %s", "rv_search_cond", "tbl_id",
                escId.c_str(), "filter_id", filterId, "seqno");
    CdDBResultHandle result;
    ret = RVLIST_RUN(connection, sql.c_str(), result);
    if (ret != 0) {
        return ret;
    }
    static const char* const NAMES[] = {"cond_id", "col_id", "comp_type", "comp_val_type", "comp_val", "seqno"};
    return RVLIST_FETCH(*result, NAMES, 6, [&out](const NString* v) {
        RvDbSearchCondition cond;
        cond.cond_id = rvappTextToInt(v[0].c_str());
        cond.col_id = v[1].isNullOrEmpty() ? NString("*") : v[1];
        cond.comp_type = v[2];
        cond.comp_val_type = rvappTextToInt(v[3].c_str());
        cond.comp_val = v[4];
        cond.seqno = rvappTextToInt(v[5].c_str());
        out.push_back(cond);
    });
}
