#include "RvDbLayoutItem.h"

#include "rvappFieldCheck.h"

RvResult RvDbLayoutItem::checkLayoutItemType(const NString& value)
{
    return rvappCheckOneChar(value, "01", "layout_item_type");
}

RvResult RvDbLayoutItem::checkRelColId(const NString& value, int companion)
{
    if (value.isNullOrEmpty() || companion != 0) {
        return RvResult();
    }
    return rvappFieldResult(RvCheckResult(RV_VALID_REQUIRED), "rel_col_id");
}
