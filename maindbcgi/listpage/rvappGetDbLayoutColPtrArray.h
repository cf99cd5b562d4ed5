// Reading the columns of layout rows from rv_layout_col.
#ifndef RVAPPGETDBLAYOUTCOLPTRARRAY_H
#define RVAPPGETDBLAYOUTCOLPTRARRAY_H

#include <vector>

#include "RvDbLayoutRow.h"

class CdDBConnection;

// Appends each stored column of the given rows, in layout_col_id order, to
// the first row of rows with its layout_row_id; columns of other rows are
// ignored. No rows: 0 without a statement. -100001 without a table id;
// encoder, statement and value codes.
int rvappGetDbLayoutColPtrArray(CdDBConnection* connection, const char* tblId, int layoutId,
                                std::vector<RvDbLayoutRowPtr>& rows);

#endif
