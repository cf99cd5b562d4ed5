// Statements on the rows of a layout (rv_layout_row): single inserts,
// updates and deletes, the save of all rows of a layout with their columns,
// the next seqno and the clean-up of empty detail rows. Runs on the caller's
// transaction.
#ifndef RVDBOPERATORDBLAYOUTROW_H
#define RVDBOPERATORDBLAYOUTROW_H

#include <vector>

#include "RvDbLayoutRow.h"
#include "RvDbSaveOptions.h"
#include "nstring.h"
#include "rvresult.h"

class CdDBConnection;

class RvDbOperatorDbLayoutRow {
public:
    // Compares the rows with the stored ids and inserts, updates and
    // deletes as rowOptions allow; new rows (is_new) are numbered after the
    // highest id of the stored rows and of those inserted under their own
    // ids. Columns are saved with inserted rows when colOptions.insert is
    // set, with updated rows when colOptions.update is set. The new ids are
    // not written back.
    static RvResult saveAll(CdDBConnection* connection, const char* tblId, int layoutId,
                            const std::vector<RvDbLayoutRowPtr>& rows, const RvDbSaveOptions& rowOptions,
                            const RvDbSaveOptions& colOptions);
    // useId: the id to insert under (the row's own when null). withColumns
    // inserts the row's columns too.
    static RvResult insert(CdDBConnection* connection, const char* tblId, int layoutId, const RvDbLayoutRowPtr& row,
                           const int* useId, bool withColumns);
    // withColumns saves the row's columns with insert, update and delete.
    static RvResult update(CdDBConnection* connection, const char* tblId, int layoutId, const RvDbLayoutRowPtr& row,
                           bool withColumns);
    static RvResult insertFields(CdDBConnection* connection, const char* tblId, int layoutId, int rowId,
                                 const NString& seqno, const NString& layoutCols, const NString& layoutRowHeight,
                                 const NString& layoutRowType);
    // Only the given (non-null) fields are checked and set; none: 0 without
    // a statement.
    static RvResult updateFields(CdDBConnection* connection, const char* tblId, int layoutId, int rowId,
                                 const NString* seqno, const NString* layoutCols, const NString* layoutRowHeight,
                                 const NString* layoutRowType);
    // As RvDbOperatorDbLayoutCol::classify, by layout_row_id. Always 0.
    static int classify(const std::vector<int>& storedIds, const std::vector<RvDbLayoutRowPtr>& rows,
                        std::vector<RvDbLayoutRowPtr>& toInsert, std::vector<RvDbLayoutRowPtr>& toUpdate,
                        std::vector<int>& toDelete);
    static int selectIds(CdDBConnection* connection, const char* tblId, int layoutId, std::vector<int>& ids);
    // seqno = highest seqno of the layout's rows + 1 (0 without rows).
    // -210003 when the highest is already the largest int.
    static int nextSeqno(CdDBConnection* connection, const char* tblId, int layoutId, int& seqno);
    // Deletes the row and its columns; a row that is not stored succeeds.
    static int deleteRow(CdDBConnection* connection, const char* tblId, int layoutId, int rowId);
    // Deletes the table's rows of type 'n' without columns in detail
    // layouts. -100001 for a table id that is not an integer.
    static int deleteOrphanRows(CdDBConnection* connection, const char* tblId);
};

#endif
