#include "RvDbLayoutItemFormat.h"

#include <cstring>

#include "RvDbLayoutItem.h"
#include "RvDbOperatorDbView.h"
#include "comtrace.h"
#include "rvappCheckLayoutFormat.h"
#include "rvappFieldCheck.h"
#include "rvappGetDbLayoutItem.h"

RvDbLayoutItemFormat::RvDbLayoutItemFormat()
    : t(NString(), 'c', 'm', 3, NString(), 0), d(NString(), 'c', 'm', 3, NString(), 0), rel_view_id(0)
{
}

RvResult RvDbLayoutItemFormat::checkWidth(const NString& value)
{
    return rvappCheckOptionalIntRange(value, 50, 999999999, "width");
}

RvResult RvDbLayoutItemFormat::checkImgWidth(const NString& value)
{
    return rvappCheckOptionalIntRange(value, 1, 9999, "img_width");
}

RvResult RvDbLayoutItemFormat::checkImgHeight(const NString& value)
{
    return rvappCheckOptionalIntRange(value, 1, 9999, "img_height");
}

RvResult RvDbLayoutItemFormat::checkBgColor(const NString& value, const char* key)
{
    return rvappCheckColorCode(value, key);
}

RvResult RvDbLayoutItemFormat::checkFontColor(const NString& value, const char* key)
{
    return rvappCheckColorCode(value, key);
}

RvResult RvDbLayoutItemFormat::checkTBgColor(const NString& value) { return checkBgColor(value, "t_bgcolor"); }
RvResult RvDbLayoutItemFormat::checkDBgColor(const NString& value) { return checkBgColor(value, "d_bgcolor"); }
RvResult RvDbLayoutItemFormat::checkTFontColor(const NString& value) { return checkFontColor(value, "t_fontcolor"); }
RvResult RvDbLayoutItemFormat::checkDFontColor(const NString& value) { return checkFontColor(value, "d_fontcolor"); }
RvResult RvDbLayoutItemFormat::checkTFontSize(const NString& value) { return rvappCheckFontSize(value, "t_fontsize"); }
RvResult RvDbLayoutItemFormat::checkDFontSize(const NString& value) { return rvappCheckFontSize(value, "d_fontsize"); }
RvResult RvDbLayoutItemFormat::checkTFontStyle(const NString& value) { return rvappCheckFontStyle(value, "t_fontstyle"); }
RvResult RvDbLayoutItemFormat::checkDFontStyle(const NString& value) { return rvappCheckFontStyle(value, "d_fontstyle"); }
RvResult RvDbLayoutItemFormat::checkTAlign(const NString& value) { return rvappCheckAlign(value, "t_align"); }
RvResult RvDbLayoutItemFormat::checkDAlign(const NString& value) { return rvappCheckAlign(value, "d_align"); }
RvResult RvDbLayoutItemFormat::checkTValign(const NString& value) { return rvappCheckValign(value, "t_valign"); }
RvResult RvDbLayoutItemFormat::checkDValign(const NString& value) { return rvappCheckValign(value, "d_valign"); }

RvResult RvDbLayoutItemFormat::checkRelViewId(CdDBConnection* connection, const char* tblId,
                                              const NString& layoutItemId, const NString& value)
{
    if (value.isNullOrEmpty() || strcmp(value.c_str(), "0") == 0) {
        return RvResult();
    }
    RvResult invalidItem = rvappFieldResult(rvValidatorInvalidValue(nullptr), "layout_item_id");
    RvDbLayoutItem item;
    int ret = rvappGetDbLayoutItem(connection, tblId, layoutItemId.c_str(), item);
    if (ret != 0) {
        COMTRACE("ret[%d]", ret);
        return invalidItem;
    }
    if (item.layout_item_type != '1' || item.rel_tbl_id.isNullOrEmpty()) {
        COMTRACE("type[%c] reltid[%s]", item.layout_item_type ? item.layout_item_type : ' ',
                 item.rel_tbl_id.c_str());
        return invalidItem;
    }
    bool found = false;
    ret = RvDbOperatorDbView::exists(connection, item.rel_tbl_id.c_str(), rvappTextToInt(value.c_str()), found);
    if (ret != 0 || !found) {
        COMTRACE("ret[%d] found[%d]", ret, found ? 1 : 0);
        return rvappFieldResult(rvValidatorInvalidValue(nullptr), "rel_view_id");
    }
    return RvResult();
}
