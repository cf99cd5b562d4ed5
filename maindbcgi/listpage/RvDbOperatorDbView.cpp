#include "RvDbOperatorDbView.h"

#include <climits>
#include <cstring>
#include <vector>

#include "RvDbOperator.h"
#include "RvDbView.h"
#include "cddbconnection.h"
#include "comstr.h"
#include "comtrace.h"
#include "rvappFieldCheck.h"
#include "rvappGetDbView.h"
#include "rvappListSql.h"
#include "rvddGetTblColList.h"

namespace {

const char* const TABLE = "rv_view";

// Columns written besides tbl_id and view_id, in statement order.
enum Field {
    F_NAME, F_SEQNO, F_LLAYOUT, F_ILAYOUT, F_DLAYOUT, F_SORT1, F_ORDER1, F_SORT2, F_ORDER2, F_SORT3,
    F_ORDER3, F_ROWS, F_DISP, F_DEF, F_COUNT
};

const char* const COLUMNS[F_COUNT] = {
    "view_name", "seqno", "l_layout_id", "i_layout_id", "d_layout_id", "l_sort1_col_id", "l_sort1_order",
    "l_sort2_col_id", "l_sort2_order", "l_sort3_col_id", "l_sort3_order", "rows_per_page", "dispflg", "defflg"};

enum Kind { QUOTED, NUMBER, CHECKED_INT };

const Kind KINDS[F_COUNT] = {QUOTED, CHECKED_INT, CHECKED_INT, CHECKED_INT, CHECKED_INT, NUMBER, QUOTED,
                             NUMBER, QUOTED, NUMBER, QUOTED, CHECKED_INT, QUOTED, QUOTED};

int emptyTableId(const char* tblId)
{
    if (tblId == nullptr || tblId[0] == '\0') {
        COMTRACE("ret[%d]", -100001);
        return -100001;
    }
    return 0;
}

// Escaped table id; -100001 for a missing connection or table id.
int escapedTableId(CdDBConnection* connection, const char* tblId, NString& escId)
{
    int ret = connection == nullptr ? -100001 : emptyTableId(tblId);
    if (ret == 0) {
        ret = RVLIST_ESCAPE(connection, tblId, escId);
    }
    return ret;
}

int runSql(CdDBConnection* connection, const char* sql)
{
    CdDBResultHandle result;
    return RVLIST_RUN(connection, sql, result);
}

RvResult checkField(CdDBConnection* connection, const char* tblId, int field, const NString& v)
{
    switch (field) {
    case F_NAME:
        return RvDbView::checkViewName(v);
    case F_SEQNO: {
        RvResult r = RvDbView::checkSeqno();
        if (r.isError()) {
            return r;
        }
        // Written unquoted: it must be an integer.
        return rvappCheckOptionalIntRange(v, INT_MIN, INT_MAX, "seqno");
    }
    case F_LLAYOUT:
        return RvDbView::checkLLayoutId(connection, tblId, v);
    case F_ILAYOUT:
        return RvDbView::checkILayoutId(connection, tblId, v);
    case F_DLAYOUT:
        return RvDbView::checkDLayoutId(connection, tblId, v);
    case F_SORT1:
    case F_SORT2:
    case F_SORT3:
        return RvDbView::checkSortColId(connection, tblId, v, COLUMNS[field]);
    case F_ORDER1:
    case F_ORDER2:
    case F_ORDER3:
        return RvDbView::checkSortOrder(v, COLUMNS[field]);
    case F_ROWS:
        return RvDbView::checkRowsPerPage(v);
    case F_DISP:
        return RvDbView::checkDispFlg(v);
    default:
        return RvDbView::checkDefFlg(v);
    }
}

// The literal text of a checked value: numbers that passed an integer
// check are written as the parsed integer.
NString numberText(int field, const NString& v)
{
    if (KINDS[field] != CHECKED_INT || v.isNullOrEmpty()) {
        return v;
    }
    NString out;
    RvDbOperator::intToText(out, rvappTextToInt(v.c_str()));
    return out;
}

// Shared by insert (every value given) and update.
RvResult writeView(CdDBConnection* connection, const char* tblId, int viewId, const NString* const* values,
                   bool insert)
{
    int ret = connection == nullptr ? -100001 : emptyTableId(tblId);
    if (ret != 0) {
        return RvResult(ret);
    }
    for (int f = 0; f < F_COUNT; ++f) {
        if (values[f] != nullptr) {
            RvResult r = checkField(connection, tblId, f, *values[f]);
            if (r.isError()) {
                COMTRACE("ret[%d] %s", r.getCode(), COLUMNS[f]);
                return r;
            }
        }
    }
    if (values[F_NAME] != nullptr) {
        ret = RvDbOperatorDbView::checkViewNameUnique(connection, tblId, *values[F_NAME],
                                                      insert ? nullptr : &viewId);
        if (ret != 0) {
            COMTRACE("ret[%d]", ret);
            return RvResult(ret);
        }
    }
    ret = RvDbOperatorDbView::checkSortColumns(connection, tblId, values[F_SORT1], values[F_SORT2],
                                               values[F_SORT3]);
    if (ret != 0) {
        COMTRACE("ret[%d]", ret);
        return RvResult(ret);
    }

    NString escId;
    ret = RVLIST_ESCAPE(connection, tblId, escId);
    if (ret != 0) {
        return RvResult(ret);
    }
    CdDBSqlEncoder* encoder = connection->getSqlEncoder();
    NStringBuffer names(RvDbOperator::LIST_SIZE);
    NStringBuffer list(RvDbOperator::LIST_SIZE);
    if (insert) {
        ret = RvDbOperator::addInsertItemEscaped(encoder, "tbl_id", NString(tblId), names, list);
        if (ret == 0) {
            ret = RvDbOperator::addInsertItemInt("view_id", viewId, names, list);
        }
    }
    for (int f = 0; ret == 0 && f < F_COUNT; ++f) {
        if (values[f] == nullptr) {
            continue;
        }
        NString v = numberText(f, *values[f]);
        if (insert) {
            ret = KINDS[f] == QUOTED ? RvDbOperator::addInsertItemEscaped(encoder, COLUMNS[f], v, names, list)
                                     : RvDbOperator::addInsertItem(COLUMNS[f], v, names, list, false);
        } else {
            ret = KINDS[f] == QUOTED ? RvDbOperator::addSetItemEscaped(encoder, COLUMNS[f], v, list)
                                     : RvDbOperator::addSetItem(COLUMNS[f], v, list, false);
        }
    }
    if (ret != 0) {
        COMTRACE("ret[%d]", ret);
        return RvResult(ret);
    }
    if (insert) {
        ret = RVLIST_INSERT(connection, TABLE, names, list);
    } else {
        if (list.length() == 0) {
            return RvResult();
        }
        NString sql;
        sql.format("update %s set %s where %s='%s' and %s=%d", TABLE, list.c_str(), "tbl_id", escId.c_str(),
                   "view_id", viewId);
        ret = runSql(connection, sql.c_str());
    }
    return ret != 0 ? RvResult(ret) : RvResult();
}

// The record's fields as texts, in statement order.
void recordTexts(const RvDbView& view, NString* texts)
{
    texts[F_NAME] = view.view_name;
    RvDbOperator::intToText(texts[F_SEQNO], view.seqno);
    RvDbOperator::intToText(texts[F_LLAYOUT], view.l_layout_id);
    RvDbOperator::intToText(texts[F_ILAYOUT], view.i_layout_id);
    RvDbOperator::intToText(texts[F_DLAYOUT], view.d_layout_id);
    texts[F_SORT1] = view.l_sort1_col_id;
    RvDbOperator::charToText(texts[F_ORDER1], view.l_sort1_order);
    texts[F_SORT2] = view.l_sort2_col_id;
    RvDbOperator::charToText(texts[F_ORDER2], view.l_sort2_order);
    texts[F_SORT3] = view.l_sort3_col_id;
    RvDbOperator::charToText(texts[F_ORDER3], view.l_sort3_order);
    RvDbOperator::intToText(texts[F_ROWS], view.rows_per_page);
    RvDbOperator::charToText(texts[F_DISP], view.dispflg);
    texts[F_DEF] = view.defflg;
}

}  // namespace

int RvDbOperatorDbView::exists(CdDBConnection* connection, const char* tblId, int viewId, bool& found)
{
    NString escId;
    int ret = RVLIST_TABLE_ID_CODE(connection, tblId, escId);
    if (ret != 0) {
        return ret;
    }
    NString sql;
    sql.format("select %s from %s where %s='%s' and %s=%d", "view_id", "rv_view", "tbl_id", escId.c_str(),
               "view_id", viewId);
    return RVLIST_HAS_ROWS(connection, sql.c_str(), found);
}

int RvDbOperatorDbView::nextSeqno(CdDBConnection* connection, const char* tblId, int& seqno)
{
    NString escId;
    int ret = escapedTableId(connection, tblId, escId);
    if (ret != 0) {
        return ret;
    }
    NString sql;
    sql.format("select max(%s) from %s where %s='%s'", "seqno", TABLE, "tbl_id", escId.c_str());
    NString value;
    bool found = false;
    ret = RVLIST_FIRST_VALUE(connection, sql.c_str(), value, found);
    if (ret != 0) {
        return ret;
    }
    const int last = found ? rvappTextToInt(value.c_str()) : 0;
    if (last == INT_MAX) {
        // The next number would pass the int range.
        COMTRACE("ret[%d] seqno[%d]", -210003, last);
        return -210003;
    }
    seqno = last + 1;
    return 0;
}

int RvDbOperatorDbView::deleteView(CdDBConnection* connection, const char* tblId, int viewId)
{
    NString escId;
    int ret = escapedTableId(connection, tblId, escId);
    if (ret != 0) {
        return ret;
    }
    NString sql;
    sql.format("delete from %s where %s='%s' and %s=%d", TABLE, "tbl_id", escId.c_str(), "view_id", viewId);
    return runSql(connection, sql.c_str());
}

int RvDbOperatorDbView::deleteViews(CdDBConnection* connection, const char* tblId, const char* idList)
{
    int ret = connection == nullptr ? -100001 : emptyTableId(tblId);
    if (ret != 0) {
        return ret;
    }
    if (idList == nullptr || idList[0] == '\0') {
        COMTRACE("ret[%d]", -100001);
        return -100001;
    }
    // The list stands unquoted: each entry must be an integer.
    NStringBuffer ids(RvDbOperator::LIST_SIZE);
    const char* p = idList;
    for (;;) {
        const char* comma = strchr(p, ',');
        NString entry(p, comma ? static_cast<int>(comma - p) : -1);
        NString id;
        if (rvappIntegerIdText(entry.trim().c_str(), id) != 0) {
            COMTRACE("ret[%d] ids[%.256s]", -100001, idList);
            return -100001;
        }
        ids.appendf(ids.length() == 0 ? "%s" : ",%s", id.c_str());
        if (comma == nullptr) {
            break;
        }
        p = comma + 1;
    }
    NString escId;
    ret = RVLIST_ESCAPE(connection, tblId, escId);
    if (ret != 0) {
        return ret;
    }
    NString sql;
    sql.format("delete from %s where %s='%s' and %s IN(%s)", TABLE, "tbl_id", escId.c_str(), "view_id",
               ids.c_str());
    return runSql(connection, sql.c_str());
}

int RvDbOperatorDbView::checkViewNameUnique(CdDBConnection* connection, const char* tblId,
                                            const NString& viewName, const int* skipViewId)
{
    if (connection == nullptr || tblId == nullptr || tblId[0] == '\0' || viewName.isNullOrEmpty()) {
        COMTRACE("ret[%d]", -100001);
        return -100001;
    }
    std::vector<RvDbViewPtr> views;
    int ret = rvappGetDbViewPtrArray(connection, tblId, nullptr, nullptr, nullptr, views);
    if (ret != 0) {
        COMTRACE("ret[%d]", ret);
        return ret;
    }
    for (const RvDbViewPtr& view : views) {
        if (strcmp(view->view_name.c_str(), viewName.c_str()) != 0) {
            continue;
        }
        if (skipViewId != nullptr && view->view_id == *skipViewId) {
            continue;
        }
        COMTRACE("ret[%d] name[%.256s]", -320031, viewName.c_str());
        return -320031;
    }
    return 0;
}

int RvDbOperatorDbView::checkSortColumns(CdDBConnection* connection, const char* tblId, const NString* sort1,
                                         const NString* sort2, const NString* sort3)
{
    int ret = connection == nullptr ? -100001 : emptyTableId(tblId);
    if (ret != 0) {
        return ret;
    }
    const NString* sorts[3] = {sort1, sort2, sort3};
    bool found[3];
    bool all = true;
    for (int i = 0; i < 3; ++i) {
        found[i] = sorts[i] == nullptr || sorts[i]->isNullOrEmpty();
        all = all && found[i];
    }
    if (all) {
        return 0;
    }
    std::vector<RvdbColumnSetPtr> sets;
    ret = rvddGetTblColListSimple(connection, sets, tblId);
    if (ret != 0) {
        COMTRACE("ret[%d]", ret);
        return ret;
    }
    for (size_t s = 0; s < sets.size() && !all; ++s) {
        all = true;
        for (int i = 0; i < 3; ++i) {
            if (!found[i] && strcmp(sets[s]->getColId().c_str(), sorts[i]->c_str()) == 0) {
                found[i] = true;
            }
            all = all && found[i];
        }
    }
    if (!all) {
        COMTRACE("ret[%d]", -320042);
        return -320042;
    }
    return 0;
}

RvResult RvDbOperatorDbView::update(CdDBConnection* connection, const char* tblId, int viewId,
                                    const NString* viewName, const NString* seqno, const NString* lLayoutId,
                                    const NString* iLayoutId, const NString* dLayoutId, const NString* sort1ColId,
                                    const NString* sort1Order, const NString* sort2ColId, const NString* sort2Order,
                                    const NString* sort3ColId, const NString* sort3Order,
                                    const NString* rowsPerPage, const NString* dispflg, const NString* defflg)
{
    const NString* values[F_COUNT] = {viewName,   seqno,      lLayoutId,  iLayoutId,   dLayoutId,
                                      sort1ColId, sort1Order, sort2ColId, sort2Order,  sort3ColId,
                                      sort3Order, rowsPerPage, dispflg,   defflg};
    return writeView(connection, tblId, viewId, values, false);
}

RvResult RvDbOperatorDbView::insert(CdDBConnection* connection, const char* tblId, int viewId,
                                    const NString& viewName, const NString& seqno, const NString& lLayoutId,
                                    const NString& iLayoutId, const NString& dLayoutId, const NString& sort1ColId,
                                    const NString& sort1Order, const NString& sort2ColId, const NString& sort2Order,
                                    const NString& sort3ColId, const NString& sort3Order,
                                    const NString& rowsPerPage, const NString& dispflg, const NString& defflg)
{
    const NString* values[F_COUNT] = {&viewName,   &seqno,      &lLayoutId,  &iLayoutId,   &dLayoutId,
                                      &sort1ColId, &sort1Order, &sort2ColId, &sort2Order,  &sort3ColId,
                                      &sort3Order, &rowsPerPage, &dispflg,   &defflg};
    return writeView(connection, tblId, viewId, values, true);
}

RvResult RvDbOperatorDbView::insertRecord(CdDBConnection* connection, const char* tblId, const RvDbView& view,
                                          const int* newId)
{
    NString t[F_COUNT];
    recordTexts(view, t);
    return insert(connection, tblId, newId != nullptr ? *newId : view.view_id, t[0], t[1], t[2], t[3], t[4],
                  t[5], t[6], t[7], t[8], t[9], t[10], t[11], t[12], t[13]);
}

RvResult RvDbOperatorDbView::updateRecord(CdDBConnection* connection, const char* tblId, const RvDbView& view)
{
    NString t[F_COUNT];
    recordTexts(view, t);
    return update(connection, tblId, view.view_id, &t[0], &t[1], &t[2], &t[3], &t[4], &t[5], &t[6], &t[7],
                  &t[8], &t[9], &t[10], &t[11], &t[12], &t[13]);
}

RvResult RvDbOperatorDbView::save(CdDBConnection* connection, const char* tblId, const RvDbView& view,
                                  int& viewId)
{
    return RvDbOperator::saveRecord(
        __FILE__, __LINE__, connection, tblId, "VIEW", view.is_new, view.view_id, "view", exists,
        [&](int newId) { return insertRecord(connection, tblId, view, &newId); },
        [&]() { return updateRecord(connection, tblId, view); }, viewId);
}
