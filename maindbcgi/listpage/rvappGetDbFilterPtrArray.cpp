#include "rvappGetDbFilterPtrArray.h"

#include "cddbconnection.h"
#include "comtrace.h"
#include "rvappFieldCheck.h"
#include "rvappGetDbSerchConditionPtrArray.h"
#include "rvappListSql.h"

int rvappGetDbFilterPtrArray(CdDBConnection* connection, const char* tblId, bool withConditions,
                             std::vector<RvDbSearchFilterPtr>& out, const char* viewId)
{
    // Both ids stand unquoted in the statement: only integers pass.
    NString tbl;
    if (connection == nullptr || rvappIntegerIdText(tblId, tbl) != 0) {
        COMTRACE("%s", "");
        return -100001;
    }
    NStringBuffer sql(4096);
    if (viewId == nullptr || viewId[0] == '\0') {
        sql.appendf("select * from %s where %s=%s order by %s", "rv_search_filter", "tbl_id", tbl.c_str(), "seqno");
    } else {
        NString view;
        if (rvappIntegerIdText(viewId, view) != 0) {
            COMTRACE("ret[%d] vid[%.64s]", -100001, viewId);
            return -100001;
        }
        sql.appendf("select b.* from %s as a left join %s as b on (b.%s=a.%s and b.%s=a.%s) where a.%s=%s and "
                    "a.%s=%s order by b.%s",
                    "rv_view_sfilters", "rv_search_filter", "tbl_id", "tbl_id", "filter_id", "filter_id", "tbl_id",
                    tbl.c_str(), "view_id", view.c_str(), "seqno");
    }
    CdDBResultHandle result;
    int ret = RVLIST_RUN(connection, sql.c_str(), result);
    if (ret != 0) {
        return ret;
    }
    while (!result->isEOF()) {
        RvDbSearchFilterPtr filter(new RvDbSearchFilter());
        NString condition;
        NString seqno;
        if ((ret = result->getValueByName(filter->filter_id, "filter_id")) == 0 &&
            (ret = result->getValueByName(filter->filter_name, "filter_name")) == 0 &&
            (ret = result->getValueByName(condition, "condition")) == 0) {
            ret = result->getValueByName(seqno, "seqno");
        }
        if (ret != 0) {
            COMTRACE("ret[%d]", ret);
            return ret;
        }
        filter->condition = condition.c_str()[0];
        filter->seqno = rvappTextToInt(seqno.c_str());
        out.push_back(filter);
        if ((ret = result->next()) != 0) {
            COMTRACE("ret[%d]", ret);
            return ret;
        }
    }
    if (withConditions) {
        for (const RvDbSearchFilterPtr& filter : out) {
            ret = rvappGetDbSerchConditionPtrArray(connection, tblId, rvappTextToInt(filter->filter_id.c_str()),
                                                   filter->conditions);
            if (ret != 0) {
                COMTRACE("ret[%d]", ret);
                return ret;
            }
        }
    }
    return 0;
}
