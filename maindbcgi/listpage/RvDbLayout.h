// A layout of a table (rv_layout): a grid of rows and columns.
#ifndef RVDBLAYOUT_H
#define RVDBLAYOUT_H

#include <vector>

#include "RvDbLayoutRow.h"
#include "RvDbPtr.h"
#include "nstring.h"
#include "rvresult.h"

class RvDbLayout {
public:
    RvDbLayout() : layout_id(0), layout_type(0), is_new(false) {}

    // Required; exactly 'd' or 'l', for "layout_type".
    static RvResult checkLayoutType(const NString& value);
    // Required; 1 to 3, for "layout_table_cols".
    static RvResult checkLayoutTableCols(const NString& value);

    int layout_id;
    char layout_type;           // 'l' list, 'd' detail
    NString layout_table_cols;  // grid columns as text
    std::vector<RvDbLayoutRowPtr> rows;
    bool is_new;                // not stored yet: the writer allocates layout_id
};

typedef RvDbPtr<RvDbLayout> RvDbLayoutPtr;

#endif
