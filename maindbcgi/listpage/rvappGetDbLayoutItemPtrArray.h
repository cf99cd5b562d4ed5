// Reading all layout items of a table from rv_layout_item.
#ifndef RVAPPGETDBLAYOUTITEMPTRARRAY_H
#define RVAPPGETDBLAYOUTITEMPTRARRAY_H

#include <vector>

#include "RvDbLayoutItem.h"

class CdDBConnection;

// Appends the table's items in the order the database returns them. 0;
// -100001 without a table id; encoder, statement and value codes (items
// appended before a failing row stay).
int rvappGetDbLayoutItemPtrArray(CdDBConnection* connection, const char* tblId,
                                 std::vector<RvDbLayoutItemPtr>& out);

#endif
