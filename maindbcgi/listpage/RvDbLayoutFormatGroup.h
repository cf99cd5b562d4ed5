// One display-format group of a layout item format: the title (t_) or the
// data (d_) values.
#ifndef RVDBLAYOUTFORMATGROUP_H
#define RVDBLAYOUTFORMATGROUP_H

#include "nstring.h"

class RvDbLayoutFormatGroup {
public:
    // Empty colours; align, valign, fontsize and fontstyle 0.
    RvDbLayoutFormatGroup() : align(0), valign(0), fontsize(0), fontstyle(0) {}
    RvDbLayoutFormatGroup(const NString& bgcolorValue, char alignValue, char valignValue,
                          int fontsizeValue, const NString& fontcolorValue, int fontstyleValue)
        : bgcolor(bgcolorValue), align(alignValue), valign(valignValue), fontsize(fontsizeValue),
          fontcolor(fontcolorValue), fontstyle(fontstyleValue)
    {
    }

    NString bgcolor;    // six upper-case hex digits
    char align;         // 'l', 'c', 'r'
    char valign;        // 't', 'm', 'b'
    int fontsize;       // 1 to 5
    NString fontcolor;  // six upper-case hex digits
    int fontstyle;      // 0 to 3
};

#endif
