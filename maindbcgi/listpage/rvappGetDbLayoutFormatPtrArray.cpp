#include "rvappGetDbLayoutFormatPtrArray.h"

#include "cddbconnection.h"
#include "comtrace.h"
#include "rvappFieldCheck.h"
#include "rvappListSql.h"

namespace {

const char* const NAMES[] = {"layout_item_id", "width",       "t_bgcolor",   "t_align",    "t_valign",
                             "t_fontsize",     "t_fontcolor", "t_fontstyle", "d_bgcolor",  "d_align",
                             "d_valign",       "d_fontsize",  "d_fontcolor", "d_fontstyle", "rel_title",
                             "rel_view_id",    "img_width",   "img_height"};
const int COUNT = sizeof NAMES / sizeof NAMES[0];

// The value, or the default when it is empty.
const char* orDefault(const NString& value, const char* def)
{
    return value.isNullOrEmpty() ? def : value.c_str();
}

NString textOr(const NString& value, const char* def)
{
    return value.isNullOrEmpty() ? NString(def) : value;
}

void fillGroup(RvDbLayoutFormatGroup& g, const NString* v, const char* bgcolor, const char* align,
               const char* valign, const char* fontsize, const char* fontcolor, const char* fontstyle)
{
    g.bgcolor = textOr(v[0], bgcolor);
    g.align = orDefault(v[1], align)[0];
    g.valign = orDefault(v[2], valign)[0];
    g.fontsize = rvappTextToInt(orDefault(v[3], fontsize));
    g.fontcolor = textOr(v[4], fontcolor);
    g.fontstyle = rvappTextToInt(orDefault(v[5], fontstyle));
}

}  // namespace

int rvappFetchDbLayoutFormatRows(const CdDBResultHandle& result, std::vector<RvDbLayoutItemFormatPtr>& out)
{
    return RVLIST_FETCH(*result, NAMES, COUNT, [&out](const NString* v) {
        RvDbLayoutItemFormatPtr f(new RvDbLayoutItemFormat());
        f->layout_item_id = v[0];
        f->width = textOr(v[1], "100");
        fillGroup(f->t, v + 2, "EEF2FF", "c", "m", "3", "333333", "1");
        fillGroup(f->d, v + 8, "FFFFFF", "l", "t", "3", "333333", "0");
        f->rel_title = v[14];
        f->rel_view_id = rvappTextToInt(v[15].c_str());
        f->img_width = v[16];
        f->img_height = v[17];
        out.push_back(f);
    });
}

int rvappGetDbLayoutFormatPtrArray(CdDBConnection* connection, const char* tblId, int layoutId,
                                   std::vector<RvDbLayoutItemFormatPtr>& out)
{
    NString escId;
    int ret = RVLIST_TABLE_ID(connection, tblId, escId);
    if (ret != 0) {
        return ret;
    }
    NString sql;
    sql.format("select * from %s where %s='%s' and %s=%d", "rv_layout_item_format", "tbl_id", escId.c_str(),
               "layout_id", layoutId);
    CdDBResultHandle result;
    ret = RVLIST_RUN(connection, sql.c_str(), result);
    if (ret != 0) {
        return ret;
    }
    ret = rvappFetchDbLayoutFormatRows(result, out);
    if (ret != 0) {
        COMTRACE("ret[%d]", ret);
    }
    return ret;
}
