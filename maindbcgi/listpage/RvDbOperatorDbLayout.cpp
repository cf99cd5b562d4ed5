#include "RvDbOperatorDbLayout.h"

#include "RvDbLayout.h"
#include "RvDbOperator.h"
#include "RvDbOperatorDbLayoutRow.h"
#include "cddbconnection.h"
#include "comtrace.h"
#include "rvappFieldCheck.h"
#include "rvappListSql.h"

namespace {

const char* const TABLE = "rv_layout";

// The integer text of a table id that stands unquoted; -100001 otherwise.
int integerTableId(CdDBConnection* connection, const char* tblId, NString& id)
{
    if (connection == nullptr || rvappIntegerIdText(tblId, id) != 0) {
        COMTRACE("ret[%d] tid[%.64s]", -100001, tblId ? tblId : "");
        return -100001;
    }
    return 0;
}

// Checks the type and gives the layout_table_cols value to store: the
// checked text for a detail layout not numbered -1, else empty (null).
RvResult typeAndTableCols(int layoutId, const NString& type, const NString& tableCols, NString& stored)
{
    RvResult r = RvDbLayout::checkLayoutType(type);
    if (r.isError()) {
        COMTRACE("ret[%d]", r.getCode());
        return r;
    }
    if (layoutId != -1 && type.c_str()[0] == 'd') {
        r = RvDbLayout::checkLayoutTableCols(tableCols);
        if (r.isError()) {
            COMTRACE("ret[%d]", r.getCode());
            return r;
        }
        stored = tableCols;
    } else {
        stored = NString("");
    }
    return RvResult();
}

}  // namespace

int RvDbOperatorDbLayout::exists(CdDBConnection* connection, const char* tblId, int layoutId,
                                 bool& found)
{
    NString id;
    int ret = integerTableId(connection, tblId, id);
    if (ret != 0) {
        return ret;
    }
    NString sql;
    sql.format("select %s from %s where %s=%s and %s=%d", "layout_id", "rv_layout", "tbl_id", id.c_str(),
               "layout_id", layoutId);
    return RVLIST_HAS_ROWS(connection, sql.c_str(), found);
}

RvResult RvDbOperatorDbLayout::save(CdDBConnection* connection, const char* tblId, const RvDbLayout& layout,
                                    int& newId, const RvDbSaveOptions& rowOptions,
                                    const RvDbSaveOptions& colOptions)
{
    return RvDbOperator::saveRecord(
        __FILE__, __LINE__, connection, tblId, "LAYOUTID", layout.is_new, layout.layout_id, "layout", exists,
        [&](int id) {
            return insert(connection, tblId, layout, &id, rowOptions.insert != 0, colOptions.insert != 0);
        },
        [&]() { return update(connection, tblId, layout, true, rowOptions, colOptions); }, newId);
}

RvResult RvDbOperatorDbLayout::insert(CdDBConnection* connection, const char* tblId, const RvDbLayout& layout,
                                      const int* useId, bool withRows, bool withColumns)
{
    int id = useId != nullptr ? *useId : layout.layout_id;
    NString type;
    RvDbOperator::charToText(type, layout.layout_type);
    RvResult r = insertFields(connection, tblId, id, type, layout.layout_table_cols);
    if (r.isError() || !withRows) {
        return r;
    }
    return RvDbOperatorDbLayoutRow::saveAll(connection, tblId, id, layout.rows, RvDbSaveOptions(true, false, false),
                                            RvDbSaveOptions(withColumns, false, false));
}

RvResult RvDbOperatorDbLayout::update(CdDBConnection* connection, const char* tblId, const RvDbLayout& layout,
                                      bool withRows, const RvDbSaveOptions& rowOptions,
                                      const RvDbSaveOptions& colOptions)
{
    NString type;
    RvDbOperator::charToText(type, layout.layout_type);
    RvResult r = updateFields(connection, tblId, layout.layout_id, &type, layout.layout_table_cols);
    if (r.isError() || !withRows) {
        return r;
    }
    return RvDbOperatorDbLayoutRow::saveAll(connection, tblId, layout.layout_id, layout.rows, rowOptions,
                                            colOptions);
}

RvResult RvDbOperatorDbLayout::insertFields(CdDBConnection* connection, const char* tblId, int layoutId,
                                            const NString& layoutType, const NString& layoutTableCols)
{
    if (connection == nullptr || tblId == nullptr || tblId[0] == '\0') {
        COMTRACE("ret[%d]", -100001);
        return RvResult(-100001);
    }
    NString tableCols;
    RvResult r = typeAndTableCols(layoutId, layoutType, layoutTableCols, tableCols);
    if (r.isError()) {
        return r;
    }
    CdDBSqlEncoder* encoder = connection->getSqlEncoder();
    NStringBuffer names(RvDbOperator::LIST_SIZE);
    NStringBuffer values(RvDbOperator::LIST_SIZE);
    int ret = RvDbOperator::addInsertItemEscaped(encoder, "tbl_id", NString(tblId), names, values);
    if (ret == 0) {
        ret = RvDbOperator::addInsertItemInt("layout_id", layoutId, names, values);
    }
    if (ret == 0) {
        ret = RvDbOperator::addInsertItemEscaped(encoder, "layout_type", layoutType, names, values);
    }
    if (ret == 0 && !layoutTableCols.isNullOrEmpty()) {
        ret = RvDbOperator::addInsertItemEscaped(encoder, "layout_table_cols", tableCols, names, values);
    }
    if (ret == 0) {
        ret = RVLIST_INSERT(connection, TABLE, names, values);
    }
    return ret != 0 ? RvResult(ret) : RvResult();
}

RvResult RvDbOperatorDbLayout::updateFields(CdDBConnection* connection, const char* tblId, int layoutId,
                                            const NString* layoutType, const NString& layoutTableCols)
{
    NString id;
    int ret = integerTableId(connection, tblId, id);
    if (ret != 0) {
        return RvResult(ret);
    }
    if (layoutType == nullptr) {
        // Without the type the rule for layout_table_cols cannot be applied.
        return RvResult();
    }
    NString tableCols;
    RvResult r = typeAndTableCols(layoutId, *layoutType, layoutTableCols, tableCols);
    if (r.isError()) {
        return r;
    }
    CdDBSqlEncoder* encoder = connection->getSqlEncoder();
    NStringBuffer set(RvDbOperator::LIST_SIZE);
    ret = RvDbOperator::addSetItemEscaped(encoder, "layout_type", *layoutType, set);
    if (ret == 0) {
        ret = RvDbOperator::addSetItemEscaped(encoder, "layout_table_cols", tableCols, set);
    }
    if (ret != 0) {
        return RvResult(ret);
    }
    NString sql;
    sql.format("update %s set %s where %s=%s and %s=%d", TABLE, set.c_str(), "tbl_id", id.c_str(), "layout_id",
               layoutId);
    CdDBResultHandle result;
    ret = RVLIST_RUN(connection, sql.c_str(), result);
    return ret != 0 ? RvResult(ret) : RvResult();
}

int RvDbOperatorDbLayout::deleteLayout(CdDBConnection* connection, const char* tblId, int layoutId)
{
    NString id;
    int ret = integerTableId(connection, tblId, id);
    if (ret != 0) {
        return ret;
    }
    NString sql;
    sql.format("delete from %s where %s=%s and %s=%d", TABLE, "tbl_id", id.c_str(), "layout_id", layoutId);
    CdDBResultHandle result;
    return RVLIST_RUN(connection, sql.c_str(), result);
}
