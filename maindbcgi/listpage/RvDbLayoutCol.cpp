#include "RvDbLayoutCol.h"

#include "rvappFieldCheck.h"

RvResult RvDbLayoutCol::checkLayoutItemId(const NString& value)
{
    return rvappFieldResult(rvValidatorCheckRequired(value.c_str()), "layout_item_id");
}
