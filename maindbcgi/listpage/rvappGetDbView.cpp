#include "rvappGetDbView.h"

#include "cddbconnection.h"
#include "comtrace.h"
#include "rvappFieldCheck.h"
#include "rvappListSql.h"

namespace {

bool given(const char* text)
{
    return text != nullptr && text[0] != '\0';
}

enum Kind { INT, CHAR, TEXT };

struct Column {
    const char* name;
    Kind kind;
    int RvDbView::*intField;
    char RvDbView::*charField;
    NString RvDbView::*textField;
};

const Column COLUMNS[] = {
    {"tbl_id", INT, &RvDbView::tbl_id, nullptr, nullptr},
    {"view_id", INT, &RvDbView::view_id, nullptr, nullptr},
    {"view_name", TEXT, nullptr, nullptr, &RvDbView::view_name},
    {"seqno", INT, &RvDbView::seqno, nullptr, nullptr},
    {"l_layout_id", INT, &RvDbView::l_layout_id, nullptr, nullptr},
    {"i_layout_id", INT, &RvDbView::i_layout_id, nullptr, nullptr},
    {"d_layout_id", INT, &RvDbView::d_layout_id, nullptr, nullptr},
    {"l_sort1_col_id", TEXT, nullptr, nullptr, &RvDbView::l_sort1_col_id},
    {"l_sort1_order", CHAR, nullptr, &RvDbView::l_sort1_order, nullptr},
    {"l_sort2_col_id", TEXT, nullptr, nullptr, &RvDbView::l_sort2_col_id},
    {"l_sort2_order", CHAR, nullptr, &RvDbView::l_sort2_order, nullptr},
    {"l_sort3_col_id", TEXT, nullptr, nullptr, &RvDbView::l_sort3_col_id},
    {"l_sort3_order", CHAR, nullptr, &RvDbView::l_sort3_order, nullptr},
    {"rows_per_page", INT, &RvDbView::rows_per_page, nullptr, nullptr},
    {"dispflg", CHAR, nullptr, &RvDbView::dispflg, nullptr},
    {"defflg", TEXT, nullptr, nullptr, &RvDbView::defflg},
};
const int COLUMN_COUNT = sizeof COLUMNS / sizeof COLUMNS[0];

}  // namespace

int rvappGetDbViewCount(CdDBConnection* connection, NString& out, const char* tblId)
{
    NString escId;
    int ret = RVLIST_TABLE_ID(connection, tblId, escId);
    if (ret != 0) {
        return ret;
    }
    NString sql;
    sql.format("select count(*) from %s where %s='%s'", "rv_view", "tbl_id", escId.c_str());
    CdDBResultHandle result;
    ret = RVLIST_RUN(connection, sql.c_str(), result);
    if (ret != 0) {
        return ret;
    }
    ret = result->getValue(out, 0);
    if (ret != 0) {
        COMTRACE("ret[%d]", ret);
    }
    return ret;
}

int rvappGetDbViewPtrArray(CdDBConnection* connection, const char* tblId, const char* defflg,
                           const char* limit, const char* offset, std::vector<RvDbViewPtr>& out)
{
    if (connection == nullptr) {
        COMTRACE("%s", "");
        return -100001;
    }
    NStringBuffer where(4096);
    NString esc;
    int ret = 0;
    if (given(tblId)) {
        if ((ret = RVLIST_ESCAPE(connection, tblId, esc)) != 0) {
            return ret;
        }
        where.appendf("%s='%s'", "tbl_id", esc.c_str());
    }
    if (given(defflg)) {
        if ((ret = RVLIST_ESCAPE(connection, defflg, esc)) != 0) {
            return ret;
        }
        where.appendf("%s%s='%s'", where.length() > 0 ? " and " : "", "defflg", esc.c_str());
    }
    NStringBuffer sql(4096);
    sql.appendf("select * from %s", "rv_view");
    if (where.length() > 0) {
        sql.appendf(" where %s", where.c_str());
    }
    sql.appendf(" order by %s,%s ", "tbl_id", "seqno");
    if (given(limit)) {
        sql.appendf("limit %d ", rvappTextToInt(limit));
    }
    if (given(offset)) {
        sql.appendf("offset %d ", rvappTextToInt(offset));
    }
    CdDBResultHandle result;
    ret = RVLIST_RUN(connection, sql.c_str(), result);
    if (ret != 0) {
        return ret;
    }
    ret = rvappFetchDbViewRows(result, out);
    if (ret != 0) {
        COMTRACE("ret[%d]", ret);
    }
    return ret;
}

int rvappFetchDbViewRows(const CdDBResultHandle& result, std::vector<RvDbViewPtr>& out)
{
    const char* names[COLUMN_COUNT];
    for (int i = 0; i < COLUMN_COUNT; ++i) {
        names[i] = COLUMNS[i].name;
    }
    int pos[COLUMN_COUNT];
    int ret = RVLIST_POSITIONS(*result, names, COLUMN_COUNT, pos);
    if (ret != 0) {
        return ret;
    }
    while (!result->isEOF()) {
        RvDbViewPtr view(new RvDbView());
        out.push_back(view);
        for (int i = 0; i < COLUMN_COUNT; ++i) {
            NString value;
            ret = result->getValue(value, pos[i]);
            if (ret != 0) {
                COMTRACE("ret[%d]", ret);
                return ret;
            }
            const Column& c = COLUMNS[i];
            if (c.kind == INT) {
                (*view).*c.intField = rvappTextToInt(value.c_str());
            } else if (c.kind == CHAR) {
                (*view).*c.charField = value.c_str()[0];
            } else {
                (*view).*c.textField = value;
            }
        }
        ret = result->next();
        if (ret != 0) {
            COMTRACE("ret[%d]", ret);
            return ret;
        }
    }
    return 0;
}

int rvappGetDbView(CdDBConnection* connection, const char* tblId, int viewId, RvDbView& out)
{
    NString escId;
    int ret = RVLIST_TABLE_ID(connection, tblId, escId);
    if (ret != 0) {
        return ret;
    }
    NString sql;
    sql.format("select * from %s where %s='%s' and %s=%d order by %s", "rv_view", "tbl_id", escId.c_str(),
               "view_id", viewId, "seqno");
    CdDBResultHandle result;
    ret = RVLIST_RUN(connection, sql.c_str(), result);
    if (ret != 0) {
        return ret;
    }
    if (result->isEOF()) {
        COMTRACE("%s", "");
        return -100010;
    }
    std::vector<RvDbViewPtr> views;
    ret = rvappFetchDbViewRows(result, views);
    if (ret != 0) {
        COMTRACE("ret[%d]", ret);
        return ret;
    }
    out = *views[0];
    return 0;
}

int rvappGetDbDefaultView(CdDBConnection* connection, const char* tblId, RvDbView& out)
{
    std::vector<RvDbViewPtr> views;
    int ret = rvappGetDbViewPtrArray(connection, tblId, "1", nullptr, nullptr, views);
    if (ret != 0) {
        COMTRACE("tid[%s]", tblId ? tblId : "");
        return ret;
    }
    if (views.empty()) {
        ret = rvappGetDbView(connection, tblId, -1, out);
        if (ret != 0) {
            COMTRACE("tid[%s]", tblId ? tblId : "");
        }
        return ret;
    }
    out = *views[0];
    return 0;
}
