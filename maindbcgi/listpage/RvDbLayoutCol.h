// One column of a layout row (rv_layout_col): the layout item it shows.
#ifndef RVDBLAYOUTCOL_H
#define RVDBLAYOUTCOL_H

#include "RvDbPtr.h"
#include "nstring.h"
#include "rvresult.h"

class RvDbLayoutCol {
public:
    RvDbLayoutCol() : layout_col_id(0), is_new(false) {}

    // Required: -210001 for "layout_item_id".
    static RvResult checkLayoutItemId(const NString& value);

    int layout_col_id;       // may be negative
    NString layout_item_id;
    bool is_new;             // not stored yet: the writer gives it an id
};

typedef RvDbPtr<RvDbLayoutCol> RvDbLayoutColPtr;

#endif
