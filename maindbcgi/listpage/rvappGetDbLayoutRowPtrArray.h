// Reading the rows of a layout from rv_layout_row.
#ifndef RVAPPGETDBLAYOUTROWPTRARRAY_H
#define RVAPPGETDBLAYOUTROWPTRARRAY_H

#include <vector>

#include "RvDbLayoutRow.h"

class CdDBConnection;

// Appends the layout's rows in seqno order; withColumns: then attaches the
// stored columns to the rows of out (rvappGetDbLayoutColPtrArray). 0;
// -100001 without a table id; encoder, statement and value codes (rows
// appended before a failing row stay).
int rvappGetDbLayoutRowPtrArray(CdDBConnection* connection, const char* tblId, int layoutId,
                                bool withColumns, std::vector<RvDbLayoutRowPtr>& out);

#endif
