#include "RvDbLayout.h"

#include "rvappFieldCheck.h"

RvResult RvDbLayout::checkLayoutType(const NString& value)
{
    return rvappCheckOneChar(value, "dl", "layout_type");
}

RvResult RvDbLayout::checkLayoutTableCols(const NString& value)
{
    return rvappCheckRequiredIntRange(value, 1, 3, "layout_table_cols");
}
