// Reading the item formats of a layout from rv_layout_item_format.
#ifndef RVAPPGETDBLAYOUTFORMATPTRARRAY_H
#define RVAPPGETDBLAYOUTFORMATPTRARRAY_H

#include <vector>

#include "RvDbLayoutItemFormat.h"
#include "cddbresult.h"

class CdDBConnection;

// Appends the layout's formats in the order the database returns them,
// empty values replaced by the defaults (width "100"; title EEF2FF, c, m,
// 3, 333333, 1; data FFFFFF, l, t, 3, 333333, 0); other values are taken
// unchecked. 0; -100001 without a table id; encoder, statement and value
// codes.
int rvappGetDbLayoutFormatPtrArray(CdDBConnection* connection, const char* tblId, int layoutId,
                                   std::vector<RvDbLayoutItemFormatPtr>& out);

// Appends one format per remaining row of result (columns found by exact
// name; a missing one fails with -1008). A failing row is dropped; formats
// appended before stay.
int rvappFetchDbLayoutFormatRows(const CdDBResultHandle& result, std::vector<RvDbLayoutItemFormatPtr>& out);

#endif
