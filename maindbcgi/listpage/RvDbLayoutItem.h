// A layout item of a table (rv_layout_item): what a grid position shows.
#ifndef RVDBLAYOUTITEM_H
#define RVDBLAYOUTITEM_H

#include "RvDbPtr.h"
#include "nstring.h"
#include "rvresult.h"

class RvDbLayoutItem {
public:
    RvDbLayoutItem() : layout_item_type(0) {}

    // Required; exactly '0' or '1', for "layout_item_type".
    static RvResult checkLayoutItemType(const NString& value);
    // Empty passes; a non-zero companion passes; else -210001 for
    // "rel_col_id".
    static RvResult checkRelColId(const NString& value, int companion);

    NString layout_item_id;
    char layout_item_type;  // '0' a column of the table, '1' a related item
    NString col_id;
    NString rel_tbl_id;
    NString rel_col_id;
};

typedef RvDbPtr<RvDbLayoutItem> RvDbLayoutItemPtr;

#endif
