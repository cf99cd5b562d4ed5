#include "RvDbOperatorDbLayoutRow.h"

#include <climits>

#include "RvDbOperator.h"
#include "RvDbOperatorDbLayoutCol.h"
#include "cddbconnection.h"
#include "comtrace.h"
#include "rvappFieldCheck.h"
#include "rvappListSql.h"

namespace {

const char* const TABLE = "rv_layout_row";

enum { F_SEQNO, F_COLS, F_HEIGHT, F_TYPE, F_COUNT };

const char* const COLUMNS[F_COUNT] = {"seqno", "layout_cols", "layout_row_height", "layout_row_type"};

RvResult checkField(int field, const NString& value)
{
    switch (field) {
    case F_SEQNO:
        return RvDbLayoutRow::checkSeqno(value);
    case F_COLS:
        return RvDbLayoutRow::checkLayoutCols(value);
    case F_HEIGHT:
        return RvDbLayoutRow::checkLayoutRowHeight(value);
    default:
        return RvDbLayoutRow::checkLayoutRowType(value);
    }
}

// Checks the given fields in column order: the first failure, else 0.
RvResult checkFields(const NString* const* values)
{
    for (int f = 0; f < F_COUNT; ++f) {
        if (values[f] != nullptr) {
            RvResult r = checkField(f, *values[f]);
            if (r.isError()) {
                COMTRACE("ret[%d] %s", r.getCode(), COLUMNS[f]);
                return r;
            }
        }
    }
    return RvResult();
}

void rowTexts(const RvDbLayoutRow& row, NString* texts)
{
    RvDbOperator::intToText(texts[F_SEQNO], row.seqno);
    RvDbOperator::intToText(texts[F_COLS], row.layout_cols);
    texts[F_HEIGHT] = row.layout_row_height;
    RvDbOperator::charToText(texts[F_TYPE], row.layout_row_type);
}

}  // namespace

RvResult RvDbOperatorDbLayoutRow::saveAll(CdDBConnection* connection, const char* tblId, int layoutId,
                                          const std::vector<RvDbLayoutRowPtr>& rows,
                                          const RvDbSaveOptions& rowOptions, const RvDbSaveOptions& colOptions)
{
    std::vector<int> stored;
    int ret = selectIds(connection, tblId, layoutId, stored);
    if (ret != 0) {
        COMTRACE("ret[%d]", ret);
        return RvResult(ret);
    }
    std::vector<RvDbLayoutRowPtr> toInsert, toUpdate;
    std::vector<int> toDelete;
    classify(stored, rows, toInsert, toUpdate, toDelete);

    if (rowOptions.insert) {
        // New ids keep clear of the stored ids and of the ids inserted as given.
        long long next = 0;
        for (int id : stored) {
            if (id >= next) {
                next = id + 1LL;
            }
        }
        for (const RvDbLayoutRowPtr& r : toInsert) {
            if (!r->is_new && r->layout_row_id >= next) {
                next = r->layout_row_id + 1LL;
            }
        }
        for (const RvDbLayoutRowPtr& r : toInsert) {
            if (r->is_new && next > INT_MAX) {
                COMTRACE("ret[%d] row[%lld]", -100001, next);
                return RvResult(-100001);
            }
            int id = r->is_new ? static_cast<int>(next++) : r->layout_row_id;
            RvResult res = insert(connection, tblId, layoutId, r, &id, colOptions.insert != 0);
            if (res.isError()) {
                COMTRACE("ret[%d] row[%d]", res.getCode(), id);
                return res;
            }
        }
    }
    if (rowOptions.update) {
        for (const RvDbLayoutRowPtr& r : toUpdate) {
            RvResult res = update(connection, tblId, layoutId, r, colOptions.update != 0);
            if (res.isError()) {
                COMTRACE("ret[%d] row[%d]", res.getCode(), r->layout_row_id);
                return res;
            }
        }
    }
    if (rowOptions.del) {
        for (int id : toDelete) {
            ret = deleteRow(connection, tblId, layoutId, id);
            if (ret != 0) {
                COMTRACE("ret[%d] row[%d]", ret, id);
                return RvResult(ret);
            }
        }
    }
    return RvResult();
}

RvResult RvDbOperatorDbLayoutRow::insert(CdDBConnection* connection, const char* tblId, int layoutId,
                                         const RvDbLayoutRowPtr& row, const int* useId, bool withColumns)
{
    if (!row) {
        COMTRACE("ret[%d]", -100001);
        return RvResult(-100001);
    }
    NString t[F_COUNT];
    rowTexts(*row, t);
    int rowId = useId != nullptr ? *useId : row->layout_row_id;
    RvResult r = insertFields(connection, tblId, layoutId, rowId, t[F_SEQNO], t[F_COLS], t[F_HEIGHT], t[F_TYPE]);
    if (r.isError() || !withColumns) {
        return r;
    }
    return RvDbOperatorDbLayoutCol::saveAll(connection, tblId, layoutId, rowId, row->columns,
                                            RvDbSaveOptions(true, false, false));
}

RvResult RvDbOperatorDbLayoutRow::update(CdDBConnection* connection, const char* tblId, int layoutId,
                                         const RvDbLayoutRowPtr& row, bool withColumns)
{
    if (!row) {
        COMTRACE("ret[%d]", -100001);
        return RvResult(-100001);
    }
    NString t[F_COUNT];
    rowTexts(*row, t);
    RvResult r = updateFields(connection, tblId, layoutId, row->layout_row_id, &t[F_SEQNO], &t[F_COLS],
                              &t[F_HEIGHT], &t[F_TYPE]);
    if (r.isError() || !withColumns) {
        return r;
    }
    return RvDbOperatorDbLayoutCol::saveAll(connection, tblId, layoutId, row->layout_row_id, row->columns,
                                            RvDbSaveOptions(true, true, true));
}

RvResult RvDbOperatorDbLayoutRow::insertFields(CdDBConnection* connection, const char* tblId, int layoutId,
                                               int rowId, const NString& seqno, const NString& layoutCols,
                                               const NString& layoutRowHeight, const NString& layoutRowType)
{
    NString escId;
    int ret = RVLIST_TABLE_ID_CODE(connection, tblId, escId);
    if (ret != 0) {
        return RvResult(ret);
    }
    const NString* values[F_COUNT] = {&seqno, &layoutCols, &layoutRowHeight, &layoutRowType};
    RvResult check = checkFields(values);
    if (check.isError()) {
        return check;
    }
    CdDBSqlEncoder* encoder = connection->getSqlEncoder();
    NStringBuffer names(RvDbOperator::LIST_SIZE);
    NStringBuffer list(RvDbOperator::LIST_SIZE);
    ret = RvDbOperator::addInsertItemEscaped(encoder, "tbl_id", NString(tblId), names, list);
    if (ret == 0) {
        ret = RvDbOperator::addInsertItemInt("layout_id", layoutId, names, list);
    }
    if (ret == 0) {
        ret = RvDbOperator::addInsertItemInt("layout_row_id", rowId, names, list);
    }
    for (int f = F_SEQNO; ret == 0 && f < F_TYPE; ++f) {
        ret = RvDbOperator::addInsertItem(COLUMNS[f], *values[f], names, list, false);
    }
    if (ret == 0) {
        ret = RvDbOperator::addInsertItemEscaped(encoder, COLUMNS[F_TYPE], layoutRowType, names, list);
    }
    if (ret == 0) {
        ret = RVLIST_INSERT(connection, TABLE, names, list);
    }
    return ret != 0 ? RvResult(ret) : RvResult();
}

RvResult RvDbOperatorDbLayoutRow::updateFields(CdDBConnection* connection, const char* tblId, int layoutId,
                                               int rowId, const NString* seqno, const NString* layoutCols,
                                               const NString* layoutRowHeight, const NString* layoutRowType)
{
    NString escId;
    int ret = RVLIST_TABLE_ID_CODE(connection, tblId, escId);
    if (ret != 0) {
        return RvResult(ret);
    }
    const NString* values[F_COUNT] = {seqno, layoutCols, layoutRowHeight, layoutRowType};
    RvResult check = checkFields(values);
    if (check.isError()) {
        return check;
    }
    NStringBuffer set(RvDbOperator::LIST_SIZE);
    for (int f = F_SEQNO; ret == 0 && f < F_COUNT; ++f) {
        if (values[f] == nullptr) {
            continue;
        }
        ret = f == F_TYPE ? RvDbOperator::addSetItemEscaped(connection->getSqlEncoder(), COLUMNS[f], *values[f], set)
                          : RvDbOperator::addSetItem(COLUMNS[f], *values[f], set, false);
    }
    if (ret != 0) {
        return RvResult(ret);
    }
    if (set.length() == 0) {
        return RvResult();
    }
    NString sql;
    sql.format("update %s set %s where %s='%s' and %s=%d and %s=%d", TABLE, set.c_str(), "tbl_id", escId.c_str(),
               "layout_id", layoutId, "layout_row_id", rowId);
    CdDBResultHandle result;
    ret = RVLIST_RUN(connection, sql.c_str(), result);
    return ret != 0 ? RvResult(ret) : RvResult();
}

int RvDbOperatorDbLayoutRow::classify(const std::vector<int>& storedIds, const std::vector<RvDbLayoutRowPtr>& rows,
                                      std::vector<RvDbLayoutRowPtr>& toInsert,
                                      std::vector<RvDbLayoutRowPtr>& toUpdate, std::vector<int>& toDelete)
{
    RvDbOperator::classify(storedIds, rows, &RvDbLayoutRow::layout_row_id, toInsert, toUpdate, toDelete);
    return 0;
}

int RvDbOperatorDbLayoutRow::selectIds(CdDBConnection* connection, const char* tblId, int layoutId,
                                       std::vector<int>& ids)
{
    NString escId;
    int ret = RVLIST_TABLE_ID_CODE(connection, tblId, escId);
    if (ret != 0) {
        return ret;
    }
    NString sql;
    sql.format("select %s from %s where %s='%s' and %s=%d", "layout_row_id", TABLE, "tbl_id", escId.c_str(),
               "layout_id", layoutId);
    CdDBResultHandle result;
    ret = RVLIST_RUN(connection, sql.c_str(), result);
    if (ret != 0) {
        return ret;
    }
    return RVLIST_INT_COLUMN(*result, ids);
}

int RvDbOperatorDbLayoutRow::nextSeqno(CdDBConnection* connection, const char* tblId, int layoutId, int& seqno)
{
    NString escId;
    int ret = RVLIST_TABLE_ID_CODE(connection, tblId, escId);
    if (ret != 0) {
        return ret;
    }
    NString sql;
    sql.format("select max(%s) from %s where %s='%s' and %s='%d'", "seqno", TABLE, "tbl_id", escId.c_str(),
               "layout_id", layoutId);
    NString value;
    bool found = false;
    ret = RVLIST_FIRST_VALUE(connection, sql.c_str(), value, found);
    if (ret != 0) {
        return ret;
    }
    if (!found || value.isNullOrEmpty()) {
        seqno = 0;
        return 0;
    }
    const int last = rvappTextToInt(value.c_str());
    if (last == INT_MAX) {
        // The next number would pass the int range.
        COMTRACE("ret[%d] seqno[%d]", -210003, last);
        return -210003;
    }
    seqno = last + 1;
    return 0;
}

int RvDbOperatorDbLayoutRow::deleteRow(CdDBConnection* connection, const char* tblId, int layoutId, int rowId)
{
    NString escId;
    int ret = RVLIST_TABLE_ID_CODE(connection, tblId, escId);
    if (ret != 0) {
        return ret;
    }
    NString sql;
    sql.format("delete from %s where %s='%s' and %s=%d and %s=%d", TABLE, "tbl_id", escId.c_str(), "layout_id",
               layoutId, "layout_row_id", rowId);
    CdDBResultHandle result;
    ret = RVLIST_RUN(connection, sql.c_str(), result);
    if (ret != 0) {
        return ret;
    }
    if (result->getAffectedRows() != 1) {
        COMTRACE("rows[%d] row[%d]", result->getAffectedRows(), rowId);
    }
    // The row's columns go with it, so that a later row under this id starts empty.
    sql.format("delete from %s where %s='%s' and %s=%d and %s=%d", "rv_layout_col", "tbl_id", escId.c_str(),
               "layout_id", layoutId, "layout_row_id", rowId);
    CdDBResultHandle cols;
    return RVLIST_RUN(connection, sql.c_str(), cols);
}

int RvDbOperatorDbLayoutRow::deleteOrphanRows(CdDBConnection* connection, const char* tblId)
{
    NString id;
    if (connection == nullptr || rvappIntegerIdText(tblId, id) != 0) {
        COMTRACE("ret[%d] tid[%.64s]", -100001, tblId ? tblId : "");
        return -100001;
    }
    NString sql;
    sql.format("delete from %s a where a.%s=%s and a.%s='%c' and not exists (select * from %s b where b.%s=a.%s "
               "and b.%s=a.%s and b.%s=a.%s) and exists (select * from %s c where c.%s=a.%s and c.%s=a.%s and "
               "c.%s='%c')",
               TABLE, "tbl_id", id.c_str(), "layout_row_type", 'n', "rv_layout_col", "tbl_id", "tbl_id",
               "layout_id", "layout_id", "layout_row_id", "layout_row_id", "rv_layout", "tbl_id", "tbl_id",
               "layout_id", "layout_id", "layout_type", 'd');
    CdDBResultHandle result;
    return RVLIST_RUN(connection, sql.c_str(), result);
}
