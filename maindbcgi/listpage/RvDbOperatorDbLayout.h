// Statements on stored layouts (rv_layout): existence, insert, update,
// delete and save with a new id from the table's "LAYOUTID" counter, with
// the rows and columns on request. Runs on the caller's transaction.
#ifndef RVDBOPERATORDBLAYOUT_H
#define RVDBOPERATORDBLAYOUT_H

#include "RvDbSaveOptions.h"
#include "nstring.h"
#include "rvresult.h"

class CdDBConnection;
class RvDbLayout;

class RvDbOperatorDbLayout {
public:
    // found = the table has a layout with this id. 0; -100001 for a table
    // id that is missing or not an integer; the statement's code.
    static int exists(CdDBConnection* connection, const char* tblId, int layoutId, bool& found);

    // A new layout (is_new) is inserted under the next "LAYOUTID" id,
    // returned in newId, with its rows when rowOptions.insert is set and
    // their columns when colOptions.insert is set. A stored one is updated
    // with both option sets (-100016 when its row is gone).
    static RvResult save(CdDBConnection* connection, const char* tblId, const RvDbLayout& layout, int& newId,
                         const RvDbSaveOptions& rowOptions, const RvDbSaveOptions& colOptions);
    // useId: the id to insert under (the layout's own when null).
    static RvResult insert(CdDBConnection* connection, const char* tblId, const RvDbLayout& layout,
                           const int* useId, bool withRows, bool withColumns);
    static RvResult update(CdDBConnection* connection, const char* tblId, const RvDbLayout& layout, bool withRows,
                           const RvDbSaveOptions& rowOptions, const RvDbSaveOptions& colOptions);
    // layout_table_cols is stored (checked) only for a detail layout ('d')
    // whose id is not -1, else null; it is left out of the statement when
    // the given text is empty.
    static RvResult insertFields(CdDBConnection* connection, const char* tblId, int layoutId,
                                 const NString& layoutType, const NString& layoutTableCols);
    // layoutType null: nothing is set (layout_table_cols stays).
    static RvResult updateFields(CdDBConnection* connection, const char* tblId, int layoutId,
                                 const NString* layoutType, const NString& layoutTableCols);
    // Deletes the rv_layout row only. -100001 for a table id that is not an
    // integer.
    static int deleteLayout(CdDBConnection* connection, const char* tblId, int layoutId);
};

#endif
