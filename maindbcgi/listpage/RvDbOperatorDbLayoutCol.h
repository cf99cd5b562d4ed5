// Statements on the columns of a layout row (rv_layout_col): single
// inserts, updates and deletes, and the save of all columns of a row.
// Runs on the caller's transaction.
#ifndef RVDBOPERATORDBLAYOUTCOL_H
#define RVDBOPERATORDBLAYOUTCOL_H

#include <vector>

#include "RvDbLayoutCol.h"
#include "RvDbSaveOptions.h"
#include "nstring.h"
#include "rvresult.h"

class CdDBConnection;

class RvDbOperatorDbLayoutCol {
public:
    // Compares the row's columns with the stored ids and inserts, updates
    // and deletes as the options allow. New columns (is_new) are numbered
    // after the highest id, or below the lowest when their own id is
    // negative, of the stored columns and of those inserted under their own
    // ids. The new ids are not written back.
    static RvResult saveAll(CdDBConnection* connection, const char* tblId, int layoutId, int rowId,
                            const std::vector<RvDbLayoutColPtr>& columns, const RvDbSaveOptions& options);
    // useId: the id to insert under (the column's own when null).
    static RvResult insert(CdDBConnection* connection, const char* tblId, int layoutId, int rowId,
                           const RvDbLayoutCol& column, const int* useId = nullptr);
    static RvResult update(CdDBConnection* connection, const char* tblId, int layoutId, int rowId,
                           const RvDbLayoutCol& column);
    static RvResult insertFields(CdDBConnection* connection, const char* tblId, int layoutId, int rowId,
                                 int colId, const NString& layoutItemId);
    // layoutItemId null: nothing to set, 0 without a statement.
    static RvResult updateFields(CdDBConnection* connection, const char* tblId, int layoutId, int rowId,
                                 int colId, const NString* layoutItemId);
    // Splits the columns: a stored id with a column of that id (is_new
    // clear) is updated with the first such column, else deleted; every
    // other column is inserted. Always 0.
    static int classify(const std::vector<int>& storedIds, const std::vector<RvDbLayoutColPtr>& columns,
                        std::vector<RvDbLayoutColPtr>& toInsert, std::vector<RvDbLayoutColPtr>& toUpdate,
                        std::vector<int>& toDelete);
    static int selectIds(CdDBConnection* connection, const char* tblId, int layoutId, int rowId,
                         std::vector<int>& ids);
    // Deleting an id that is not stored succeeds.
    static int deleteCol(CdDBConnection* connection, const char* tblId, int layoutId, int rowId, int colId);
    static int deleteCols(CdDBConnection* connection, const char* tblId, int layoutId, int rowId,
                          const std::vector<int>& colIds);
    // Every column of every row of the layout.
    static int deleteLayoutCols(CdDBConnection* connection, const char* tblId, int layoutId);
};

#endif
