// Display format of a layout item in one layout (rv_layout_item_format):
// width, the title (t_) and data (d_) groups, and the related-item values.
#ifndef RVDBLAYOUTITEMFORMAT_H
#define RVDBLAYOUTITEMFORMAT_H

#include "RvDbLayoutFormatGroup.h"
#include "RvDbPtr.h"
#include "nstring.h"
#include "rvresult.h"

class CdDBConnection;

class RvDbLayoutItemFormat {
public:
    // Both groups: empty colours, align 'c', valign 'm', fontsize 3,
    // fontstyle 0; every other text empty, rel_view_id 0.
    RvDbLayoutItemFormat();

    // Empty passes; else 50 to 999999999, for "width".
    static RvResult checkWidth(const NString& value);
    // Empty passes; else 1 to 9999, for "img_width" / "img_height".
    static RvResult checkImgWidth(const NString& value);
    static RvResult checkImgHeight(const NString& value);
    // rvappCheckColorCode for key.
    static RvResult checkBgColor(const NString& value, const char* key);
    static RvResult checkFontColor(const NString& value, const char* key);

    // The group fields, each under its column name.
    static RvResult checkTBgColor(const NString& value);
    static RvResult checkDBgColor(const NString& value);
    static RvResult checkTFontColor(const NString& value);
    static RvResult checkDFontColor(const NString& value);
    static RvResult checkTFontSize(const NString& value);
    static RvResult checkDFontSize(const NString& value);
    static RvResult checkTFontStyle(const NString& value);
    static RvResult checkDFontStyle(const NString& value);
    static RvResult checkTAlign(const NString& value);
    static RvResult checkDAlign(const NString& value);
    static RvResult checkTValign(const NString& value);
    static RvResult checkDValign(const NString& value);

    // "" or "0" passes. Otherwise the item must be a related item ('1')
    // with a related table (else -210006 for "layout_item_id") whose view
    // of that number exists (else -210006 for "rel_view_id").
    static RvResult checkRelViewId(CdDBConnection* connection, const char* tblId,
                                   const NString& layoutItemId, const NString& value);

    NString layout_item_id;
    NString width;
    RvDbLayoutFormatGroup t;  // title
    RvDbLayoutFormatGroup d;  // data
    NString rel_title;
    int rel_view_id;
    NString img_width;
    NString img_height;
};

typedef RvDbPtr<RvDbLayoutItemFormat> RvDbLayoutItemFormatPtr;

#endif
