#include "RvDbLayoutRow.h"

#include "rvappFieldCheck.h"

RvResult RvDbLayoutRow::checkLayoutRowHeight(const NString& value)
{
    return rvappCheckOptionalIntRange(value, 0, 10, "layout_row_height");
}

RvResult RvDbLayoutRow::checkLayoutCols(const NString& value)
{
    return rvappCheckRequiredIntRange(value, 1, 3, "layout_cols");
}

RvResult RvDbLayoutRow::checkSeqno(const NString& value)
{
    return rvappCheckOptionalIntRange(value, 0, 999999999, "seqno");
}

RvResult RvDbLayoutRow::checkLayoutRowType(const NString& value)
{
    return rvappCheckOneChar(value, "nes", "layout_row_type");
}
