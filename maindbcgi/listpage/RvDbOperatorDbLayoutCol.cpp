#include "RvDbOperatorDbLayoutCol.h"

#include <climits>

#include "RvDbOperator.h"
#include "cddbconnection.h"
#include "comtrace.h"
#include "rvappListSql.h"

namespace {

const char* const TABLE = "rv_layout_col";

}  // namespace

RvResult RvDbOperatorDbLayoutCol::saveAll(CdDBConnection* connection, const char* tblId, int layoutId, int rowId,
                                          const std::vector<RvDbLayoutColPtr>& columns,
                                          const RvDbSaveOptions& options)
{
    std::vector<int> stored;
    int ret = selectIds(connection, tblId, layoutId, rowId, stored);
    if (ret != 0) {
        COMTRACE("ret[%d]", ret);
        return RvResult(ret);
    }
    std::vector<RvDbLayoutColPtr> toInsert, toUpdate;
    std::vector<int> toDelete;
    classify(stored, columns, toInsert, toUpdate, toDelete);

    if (options.insert) {
        // New ids keep clear of the stored ids and of the ids inserted as given.
        std::vector<int> taken(stored);
        for (const RvDbLayoutColPtr& c : toInsert) {
            if (!c->is_new) {
                taken.push_back(c->layout_col_id);
            }
        }
        long long up = 0;
        long long down = -1;
        for (int id : taken) {
            if (id >= up) {
                up = id + 1LL;
            }
            if (id <= down) {
                down = id - 1LL;
            }
        }
        for (const RvDbLayoutColPtr& c : toInsert) {
            long long next = c->layout_col_id;
            if (c->is_new) {
                next = c->layout_col_id >= 0 ? up++ : down--;
            }
            if (next > INT_MAX || next < INT_MIN) {
                COMTRACE("ret[%d] col[%lld]", -100001, next);
                return RvResult(-100001);
            }
            int id = static_cast<int>(next);
            RvResult r = insert(connection, tblId, layoutId, rowId, *c, &id);
            if (r.isError()) {
                COMTRACE("ret[%d] col[%d]", r.getCode(), id);
                return r;
            }
        }
    }
    if (options.update) {
        for (const RvDbLayoutColPtr& c : toUpdate) {
            RvResult r = update(connection, tblId, layoutId, rowId, *c);
            if (r.isError()) {
                COMTRACE("ret[%d] col[%d]", r.getCode(), c->layout_col_id);
                return r;
            }
        }
    }
    if (options.del) {
        for (int id : toDelete) {
            ret = deleteCol(connection, tblId, layoutId, rowId, id);
            if (ret != 0) {
                COMTRACE("ret[%d] col[%d]", ret, id);
                return RvResult(ret);
            }
        }
    }
    return RvResult();
}

RvResult RvDbOperatorDbLayoutCol::insert(CdDBConnection* connection, const char* tblId, int layoutId, int rowId,
                                         const RvDbLayoutCol& column, const int* useId)
{
    return insertFields(connection, tblId, layoutId, rowId, useId != nullptr ? *useId : column.layout_col_id,
                        column.layout_item_id);
}

RvResult RvDbOperatorDbLayoutCol::update(CdDBConnection* connection, const char* tblId, int layoutId, int rowId,
                                         const RvDbLayoutCol& column)
{
    return updateFields(connection, tblId, layoutId, rowId, column.layout_col_id, &column.layout_item_id);
}

RvResult RvDbOperatorDbLayoutCol::insertFields(CdDBConnection* connection, const char* tblId, int layoutId,
                                               int rowId, int colId, const NString& layoutItemId)
{
    NString escId;
    int ret = RVLIST_TABLE_ID_CODE(connection, tblId, escId);
    if (ret != 0) {
        return RvResult(ret);
    }
    RvResult check = RvDbLayoutCol::checkLayoutItemId(layoutItemId);
    if (check.isError()) {
        COMTRACE("ret[%d]", check.getCode());
        return check;
    }
    CdDBSqlEncoder* encoder = connection->getSqlEncoder();
    NStringBuffer names(RvDbOperator::LIST_SIZE);
    NStringBuffer values(RvDbOperator::LIST_SIZE);
    ret = RvDbOperator::addInsertItemEscaped(encoder, "tbl_id", NString(tblId), names, values);
    if (ret == 0) {
        ret = RvDbOperator::addInsertItemInt("layout_id", layoutId, names, values);
    }
    if (ret == 0) {
        ret = RvDbOperator::addInsertItemInt("layout_row_id", rowId, names, values);
    }
    if (ret == 0) {
        ret = RvDbOperator::addInsertItemInt("layout_col_id", colId, names, values);
    }
    if (ret == 0) {
        ret = RvDbOperator::addInsertItemEscaped(encoder, "layout_item_id", layoutItemId, names, values);
    }
    if (ret == 0) {
        ret = RVLIST_INSERT(connection, TABLE, names, values);
    }
    return ret != 0 ? RvResult(ret) : RvResult();
}

RvResult RvDbOperatorDbLayoutCol::updateFields(CdDBConnection* connection, const char* tblId, int layoutId,
                                               int rowId, int colId, const NString* layoutItemId)
{
    NString escId;
    int ret = RVLIST_TABLE_ID_CODE(connection, tblId, escId);
    if (ret != 0) {
        return RvResult(ret);
    }
    if (layoutItemId == nullptr) {
        return RvResult();
    }
    RvResult check = RvDbLayoutCol::checkLayoutItemId(*layoutItemId);
    if (check.isError()) {
        COMTRACE("ret[%d]", check.getCode());
        return check;
    }
    NStringBuffer set(RvDbOperator::LIST_SIZE);
    ret = RvDbOperator::addSetItemEscaped(connection->getSqlEncoder(), "layout_item_id", *layoutItemId, set);
    if (ret != 0) {
        return RvResult(ret);
    }
    NString sql;
    sql.format("update %s set %s where %s='%s' and %s=%d and %s=%d and %s=%d", TABLE, set.c_str(), "tbl_id",
               escId.c_str(), "layout_id", layoutId, "layout_row_id", rowId, "layout_col_id", colId);
    CdDBResultHandle result;
    ret = RVLIST_RUN(connection, sql.c_str(), result);
    return ret != 0 ? RvResult(ret) : RvResult();
}

int RvDbOperatorDbLayoutCol::classify(const std::vector<int>& storedIds, const std::vector<RvDbLayoutColPtr>& columns,
                                      std::vector<RvDbLayoutColPtr>& toInsert,
                                      std::vector<RvDbLayoutColPtr>& toUpdate, std::vector<int>& toDelete)
{
    RvDbOperator::classify(storedIds, columns, &RvDbLayoutCol::layout_col_id, toInsert, toUpdate, toDelete);
    return 0;
}

int RvDbOperatorDbLayoutCol::selectIds(CdDBConnection* connection, const char* tblId, int layoutId, int rowId,
                                       std::vector<int>& ids)
{
    NString escId;
    int ret = RVLIST_TABLE_ID_CODE(connection, tblId, escId);
    if (ret != 0) {
        return ret;
    }
    NString sql;
    sql.format("select %s from %s where %s='%s' and %s=%d and %s=%d", "layout_col_id", TABLE, "tbl_id",
               escId.c_str(), "layout_id", layoutId, "layout_row_id", rowId);
    CdDBResultHandle result;
    ret = RVLIST_RUN(connection, sql.c_str(), result);
    if (ret != 0) {
        return ret;
    }
    return RVLIST_INT_COLUMN(*result, ids);
}

int RvDbOperatorDbLayoutCol::deleteCol(CdDBConnection* connection, const char* tblId, int layoutId, int rowId,
                                       int colId)
{
    NString escId;
    int ret = RVLIST_TABLE_ID_CODE(connection, tblId, escId);
    if (ret != 0) {
        return ret;
    }
    NString sql;
    sql.format("delete from %s where %s='%s' and %s=%d and %s=%d and %s=%d", TABLE, "tbl_id", escId.c_str(),
               "layout_id", layoutId, "layout_row_id", rowId, "layout_col_id", colId);
    CdDBResultHandle result;
    ret = RVLIST_RUN(connection, sql.c_str(), result);
    if (ret != 0) {
        return ret;
    }
    if (result->getAffectedRows() != 1) {
        COMTRACE("rows[%d] col[%d]", result->getAffectedRows(), colId);
    }
    return 0;
}

int RvDbOperatorDbLayoutCol::deleteCols(CdDBConnection* connection, const char* tblId, int layoutId, int rowId,
                                        const std::vector<int>& colIds)
{
    for (int id : colIds) {
        int ret = deleteCol(connection, tblId, layoutId, rowId, id);
        if (ret != 0) {
            COMTRACE("ret[%d]", ret);
            return ret;
        }
    }
    return 0;
}

int RvDbOperatorDbLayoutCol::deleteLayoutCols(CdDBConnection* connection, const char* tblId, int layoutId)
{
    NString escId;
    int ret = RVLIST_TABLE_ID_CODE(connection, tblId, escId);
    if (ret != 0) {
        return ret;
    }
    NString sql;
    sql.format("delete from %s where %s='%s' and %s=%d", TABLE, "tbl_id", escId.c_str(), "layout_id", layoutId);
    CdDBResultHandle result;
    return RVLIST_RUN(connection, sql.c_str(), result);
}
