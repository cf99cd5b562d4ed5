#include "rvdbTotal.h"

#include "cddbconnection.h"
#include "comtrace.h"
#include "rvappFieldCheck.h"
#include "rvappListSql.h"

namespace {

bool given(const char* text)
{
    return text != nullptr && text[0] != '\0';
}

struct Column {
    const char* name;
    NString RvdbTotal::*field;
};

const Column COLUMNS[] = {
    {"tbl_id", &RvdbTotal::tbl_id},
    {"total_id", &RvdbTotal::total_id},
    {"total_name", &RvdbTotal::total_name},
    {"tval_type", &RvdbTotal::tval_type},
    {"tval_col_id", &RvdbTotal::tval_col_id},
    {"tval_sorder", &RvdbTotal::tval_sorder},
    {"sub1_col_id", &RvdbTotal::sub1_col_id},
    {"sub1_opt", &RvdbTotal::sub1_opt},
    {"sub1_sorder", &RvdbTotal::sub1_sorder},
    {"sub2_col_id", &RvdbTotal::sub2_col_id},
    {"sub2_opt", &RvdbTotal::sub2_opt},
    {"sub2_sorder", &RvdbTotal::sub2_sorder},
    {"sub3_col_id", &RvdbTotal::sub3_col_id},
    {"sub3_opt", &RvdbTotal::sub3_opt},
    {"sub3_sorder", &RvdbTotal::sub3_sorder},
    {"crosstab", &RvdbTotal::crosstab},
    {"crosstab_col_id", &RvdbTotal::crosstab_col_id},
    {"crosstab_opt", &RvdbTotal::crosstab_opt},
    {"sort_col", &RvdbTotal::sort_col},
    {"seqno", &RvdbTotal::seqno},
};

}  // namespace

int rvdbTotal(CdDBConnection* connection, std::vector<RvdbTotalPtr>& out, const char* tblId,
              const char* totalId, const char* limit, const char* offset)
{
    if (connection == nullptr) {
        COMTRACE("%s", "");
        return -100001;
    }
    // The ids stand unquoted in the statement: only integers pass.
    NStringBuffer cond(4096);
    NString id;
    if (given(tblId)) {
        if (rvappIntegerIdText(tblId, id) != 0) {
            COMTRACE("%s", "");
            return -100001;
        }
        cond.appendf(" %s=%s", "tbl_id", id.c_str());
    }
    if (given(totalId)) {
        if (rvappIntegerIdText(totalId, id) != 0) {
            COMTRACE("%s", "");
            return -100001;
        }
        if (cond.length() > 0) {
            cond.append(" and");
        }
        cond.appendf(" %s=%s", "total_id", id.c_str());
    }
    NString where;
    if (cond.length() > 0) {
        where.format(" where%s", cond.c_str());
    }
    NString limitText;
    NString offsetText;
    if (given(limit)) {
        limitText.format(" limit %d", rvappTextToInt(limit));
    }
    if (given(offset)) {
        offsetText.format(" offset %d", rvappTextToInt(offset));
    }
    NStringBuffer sql(4096);
    sql.appendf("select * from %s%s order by %s,%s%s%s", "rv_total", where.c_str(), "tbl_id", "seqno",
                limitText.c_str(), offsetText.c_str());
    CdDBResultHandle result;
    int ret = RVLIST_RUN(connection, sql.c_str(), result);
    if (ret != 0) {
        return ret;
    }
    while (!result->isEOF()) {
        RvdbTotalPtr total(new RvdbTotal());
        out.push_back(total);
        for (const Column& c : COLUMNS) {
            ret = result->getValueByName((*total).*c.field, c.name);
            if (ret != 0) {
                COMTRACE("ret[%d]", ret);
                return ret;
            }
        }
        if ((ret = result->next()) != 0) {
            COMTRACE("ret[%d]", ret);
            return ret;
        }
    }
    return 0;
}
