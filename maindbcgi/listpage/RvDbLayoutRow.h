// One row of a layout (rv_layout_row) with its columns.
#ifndef RVDBLAYOUTROW_H
#define RVDBLAYOUTROW_H

#include <vector>

#include "RvDbLayoutCol.h"
#include "RvDbPtr.h"
#include "nstring.h"
#include "rvresult.h"

class RvDbLayoutRow {
public:
    RvDbLayoutRow() : layout_row_id(0), seqno(0), layout_cols(1), layout_row_type('n'), is_new(false) {}

    // Empty passes; else 0 to 10, for "layout_row_height".
    static RvResult checkLayoutRowHeight(const NString& value);
    // Required; 1 to 3, for "layout_cols".
    static RvResult checkLayoutCols(const NString& value);
    // Empty passes; else 0 to 999999999, for "seqno".
    static RvResult checkSeqno(const NString& value);
    // Required; exactly 'n', 'e' or 's', for "layout_row_type".
    static RvResult checkLayoutRowType(const NString& value);

    int layout_row_id;
    int seqno;
    int layout_cols;
    NString layout_row_height;
    char layout_row_type;
    std::vector<RvDbLayoutColPtr> columns;
    bool is_new;  // not stored yet: the writer gives it an id
};

typedef RvDbPtr<RvDbLayoutRow> RvDbLayoutRowPtr;

#endif
