// A table's column definitions in the order of a layout's first row.
#ifndef RVAPPGETALLDBLAYOUTITEMPTRARRAY_H
#define RVAPPGETALLDBLAYOUTITEMPTRARRAY_H

#include <vector>

#include "rvdbcolumnset.h"

class CdDBConnection;

// out (emptied first) = every column definition of the table once: those
// shown in the layout's first row, in its column order, then the others in
// table order. 0; -330007 for a layout without rows; codes of the reads.
int rvappGetAllDbLayoutItemPtrArray(CdDBConnection* connection, const char* tblId, int layoutId,
                                    std::vector<RvdbColumnSetPtr>& out);

#endif
